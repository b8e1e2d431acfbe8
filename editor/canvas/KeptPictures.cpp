#ifndef _WIN32

#include "editor/canvas/KeptPictures.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <utility>

namespace Tarno {

namespace {

inline uint32_t addSaturated8x2 (uint32_t a, uint32_t b)
{
	uint32_t t = a + b;
	t |= 0x1000100u - ((t >> 8) & 0xff00ffu);
	return t & 0xff00ffu;
}

// Two 8-bit channels (bits 0..7 and 16..23) times a / 255, rounded as
// Cairo (kHalf 127) or pixman (kHalf 128) rounds.
template <uint32_t kHalf>
inline uint32_t multiply8x2 (uint32_t x, uint32_t a)
{
	uint32_t t = (x & 0xff00ffu) * a + kHalf * 0x10001u;
	return ((t + ((t >> 8) & 0xff00ffu)) >> 8) & 0xff00ffu;
}

// Premultiplied picture pixel p over image pixel d.
template <uint32_t kHalf>
inline uint32_t over (uint32_t p, uint32_t d)
{
	const uint32_t rest = 255 - (p >> 24);
	return addSaturated8x2 (p & 0xff00ffu, multiply8x2<kHalf> (d, rest))
	       | addSaturated8x2 ((p >> 8) & 0xff00ffu, multiply8x2<kHalf> (d >> 8, rest)) << 8;
}

template <uint32_t kHalf>
void blendRun (uint32_t* to, const uint32_t* from, int length)
{
	int i = 0;
#ifdef __SSE2__
	// Four pixels at a time, the same arithmetic in 16-bit lanes:
	// (t + t / 256) / 256 is t · 257 / 65536 for every t below 65536.
	const __m128i zero = _mm_setzero_si128 ();
	const __m128i full = _mm_set1_epi16 (255);
	const __m128i half = _mm_set1_epi16 (kHalf);
	const __m128i by257 = _mm_set1_epi16 (257);
	auto blendTwo = [&] (__m128i p, __m128i d) {
		__m128i rest = _mm_shufflehi_epi16 (_mm_shufflelo_epi16 (p, 0xff), 0xff);
		rest = _mm_sub_epi16 (full, rest);
		return _mm_mulhi_epu16 (_mm_add_epi16 (_mm_mullo_epi16 (d, rest), half), by257);
	};
	for (; i + 4 <= length; i += 4)
	{
		const __m128i p = _mm_loadu_si128 (reinterpret_cast<const __m128i*> (from + i));
		const __m128i d = _mm_loadu_si128 (reinterpret_cast<const __m128i*> (to + i));
		const __m128i low = blendTwo (_mm_unpacklo_epi8 (p, zero), _mm_unpacklo_epi8 (d, zero));
		const __m128i high = blendTwo (_mm_unpackhi_epi8 (p, zero), _mm_unpackhi_epi8 (d, zero));
		_mm_storeu_si128 (reinterpret_cast<__m128i*> (to + i), _mm_adds_epu8 (_mm_packus_epi16 (low, high), p));
	}
#endif
	for (; i < length; ++i)
		to[i] = over<kHalf> (from[i], to[i]);
}

} // namespace

// Blending leaves a pixel under a transparent picture pixel as it is and
// replaces one under an opaque picture pixel. So a blended run may take in
// short gaps and opaque stretches, and may be lengthened (up to the image's
// width) to whole groups of four for blendRun; only long opaque stretches
// are copied and long gaps left out.
void KeptPicture::addRow (const uint32_t* row, int y, int left, int right, int imageWidth)
{
	constexpr int kLong = 16;
	int blendStart = -1;
	auto endBlend = [&] (int end) {
		if (blendStart < 0)
			return;
		while ((end - blendStart) % 4 != 0 && end < imageWidth)
			++end;
		add (row, y, blendStart, end, false);
		blendStart = -1;
	};
	for (int x = left; x < right;)
	{
		int end = x + 1;
		if (row[x] == 0)
		{
			while (end < right && row[end] == 0)
				++end;
			if (end - x >= kLong || end == right)
				endBlend (x);
		}
		else if ((row[x] >> 24) == 0xff)
		{
			while (end < right && (row[end] >> 24) == 0xff)
				++end;
			if (end - x >= kLong)
			{
				endBlend (x);
				add (row, y, x, end, true);
			}
			else if (blendStart < 0)
				blendStart = x;
		}
		else if (blendStart < 0)
			blendStart = x;
		x = end;
	}
	endBlend (right);
}

void KeptPicture::add (const uint32_t* row, int y, int start, int end, bool opaque)
{
	runs.push_back ({start, y, end - start, opaque});
	pixels.insert (pixels.end (), row + start, row + end);
}

void KeptPicture::shrinkToFit ()
{
	runs.shrink_to_fit ();
	pixels.shrink_to_fit ();
}

void KeptPicture::compositeOnto (unsigned char* data, int stride) const
{
	const uint32_t* from = pixels.data ();
	for (const Run& run : runs)
	{
		uint32_t* to = reinterpret_cast<uint32_t*> (data + run.y * stride) + run.x;
		if (run.opaque)
			std::memcpy (to, from, size_t (run.length) * 4);
		else if (blend == Blend::opaqueColour)
			blendRun<127> (to, from, run.length);
		else
			blendRun<128> (to, from, run.length);
		from += run.length;
	}
}

size_t KeptPicture::bytes (const std::string& key) const
{
	return sizeof (KeptPicture) + key.size () + 64 + runs.capacity () * sizeof (Run) + pixels.capacity () * 4;
}

KeptPicture* KeptPictures::find (const std::string& key)
{
	const auto found = pictures.find (key);
	if (found == pictures.end ())
		return nullptr;
	found->second.lastUse = ++clock;
	return &found->second;
}

KeptPicture* KeptPictures::add (const std::string& key, KeptPicture&& picture)
{
	const size_t more = picture.bytes (key);
	const auto old = pictures.find (key);
	if (old != pictures.end ())
	{
		byteCount -= old->second.bytes (key);
		pictures.erase (old);
	}
	if (byteCount + more > byteLimit)
	{
		// Down to three quarters, so that a canvas that keeps meeting new
		// shapes sorts its pictures by age only now and then.
		const size_t target = byteLimit / 4 * 3;
		shrinkTo (more < target ? target - more : 0);
	}
	byteCount += more;
	picture.lastUse = ++clock;
	return &pictures.insert_or_assign (key, std::move (picture)).first->second;
}

void KeptPictures::setLimit (size_t bytes)
{
	byteLimit = bytes;
	shrinkTo (bytes);
}

void KeptPictures::shrinkTo (size_t target)
{
	if (byteCount <= target)
		return;
	std::vector<std::pair<uint64_t, const std::string*>> byAge;
	byAge.reserve (pictures.size ());
	for (const auto& entry : pictures)
		byAge.emplace_back (entry.second.lastUse, &entry.first);
	std::sort (byAge.begin (), byAge.end ());
	for (const auto& old : byAge)
	{
		if (byteCount <= target)
			break;
		const auto it = pictures.find (*old.second);
		byteCount -= it->second.bytes (it->first);
		pictures.erase (it);
	}
}

} // namespace Tarno

#endif // _WIN32
