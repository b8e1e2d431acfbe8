#include "tests/PngWriter.h"

#include <array>
#include <cstdio>

namespace TarnoTest {

namespace {

void putBe32 (std::vector<uint8_t>& out, uint32_t v)
{
	for (int shift = 24; shift >= 0; shift -= 8)
		out.push_back (uint8_t (v >> shift));
}

// Length, type, data, and the CRC over type and data.
void putChunk (std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data)
{
	putBe32 (out, uint32_t (data.size ()));
	const size_t typeAt = out.size ();
	out.insert (out.end (), type, type + 4);
	out.insert (out.end (), data.begin (), data.end ());
	putBe32 (out, crc32 (out.data () + typeAt, out.size () - typeAt));
}

std::array<uint32_t, 256> crcTable ()
{
	std::array<uint32_t, 256> table {};
	for (uint32_t n = 0; n < 256; ++n)
	{
		uint32_t c = n;
		for (int k = 0; k < 8; ++k)
			c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
		table[n] = c;
	}
	return table;
}

} // namespace

uint32_t crc32 (const uint8_t* data, size_t size, uint32_t crc)
{
	static const std::array<uint32_t, 256> table = crcTable ();
	crc = ~crc;
	for (size_t i = 0; i < size; ++i)
		crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
	return ~crc;
}

uint32_t adler32 (const uint8_t* data, size_t size)
{
	uint32_t a = 1, b = 0;
	for (size_t i = 0; i < size; ++i)
	{
		a = (a + data[i]) % 65521u;
		b = (b + a) % 65521u;
	}
	return (b << 16) | a;
}

std::vector<uint8_t> encodePng (int width, int height, const std::vector<uint8_t>& rgb)
{
	if (width <= 0 || height <= 0 || rgb.size () != size_t (width) * size_t (height) * 3)
		return {};

	// The filtered image: every row starts with filter type 0 (none).
	const size_t rowBytes = size_t (width) * 3;
	std::vector<uint8_t> raw;
	raw.reserve ((rowBytes + 1) * size_t (height));
	for (int y = 0; y < height; ++y)
	{
		raw.push_back (0);
		const auto row = rgb.begin () + std::ptrdiff_t (rowBytes * size_t (y));
		raw.insert (raw.end (), row, row + std::ptrdiff_t (rowBytes));
	}

	// zlib stream: header (deflate, 32 K window, no dictionary, check bits),
	// stored blocks of at most 65535 bytes, Adler-32 of the raw data.
	std::vector<uint8_t> z = {0x78, 0x01};
	size_t at = 0;
	do
	{
		const size_t n = raw.size () - at < 65535 ? raw.size () - at : 65535;
		const bool last = at + n == raw.size ();
		z.push_back (last ? 1 : 0); // BFINAL, BTYPE 00 (stored)
		z.push_back (uint8_t (n));
		z.push_back (uint8_t (n >> 8));
		z.push_back (uint8_t (~n));
		z.push_back (uint8_t (~n >> 8));
		z.insert (z.end (), raw.begin () + std::ptrdiff_t (at), raw.begin () + std::ptrdiff_t (at + n));
		at += n;
	} while (at < raw.size ());
	putBe32 (z, adler32 (raw.data (), raw.size ()));

	std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
	std::vector<uint8_t> header;
	putBe32 (header, uint32_t (width));
	putBe32 (header, uint32_t (height));
	header.insert (header.end (), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, filter 0, no interlace
	putChunk (png, "IHDR", header);
	putChunk (png, "IDAT", z);
	putChunk (png, "IEND", {});
	return png;
}

bool writePng (const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
	const std::vector<uint8_t> png = encodePng (width, height, rgb);
	if (png.empty ())
		return false;
	std::FILE* file = std::fopen (path.c_str (), "wb");
	if (!file)
		return false;
	const bool written = std::fwrite (png.data (), 1, png.size (), file) == png.size ();
	return std::fclose (file) == 0 && written;
}

} // namespace TarnoTest
