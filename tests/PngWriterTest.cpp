// The screenshot PNG encoder: checksums against their published check
// values, and a small image read back chunk by chunk through its stored
// deflate blocks.
#include "tests/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace TarnoTest;

namespace {

uint32_t be32 (const std::vector<uint8_t>& b, size_t at)
{
	return uint32_t (b[at]) << 24 | uint32_t (b[at + 1]) << 16 | uint32_t (b[at + 2]) << 8 | uint32_t (b[at + 3]);
}

struct Chunk
{
	std::string type;
	std::vector<uint8_t> data;
	uint32_t crc;
	uint32_t computedCrc;
};

// The chunks after the signature; stops at a chunk that would run past the end.
std::vector<Chunk> chunksOf (const std::vector<uint8_t>& png)
{
	std::vector<Chunk> chunks;
	size_t at = 8;
	while (at + 12 <= png.size ())
	{
		const uint32_t length = be32 (png, at);
		if (at + 12 + length > png.size ())
			break;
		Chunk c;
		c.type.assign (reinterpret_cast<const char*> (&png[at + 4]), 4);
		c.data.assign (png.begin () + std::ptrdiff_t (at + 8), png.begin () + std::ptrdiff_t (at + 8 + length));
		c.crc = be32 (png, at + 8 + length);
		c.computedCrc = crc32 (&png[at + 4], 4 + length);
		chunks.push_back (c);
		at += 12 + length;
	}
	return chunks;
}

// Undoes a zlib stream made of stored blocks only; fails the test on anything else.
std::vector<uint8_t> unstore (const std::vector<uint8_t>& z)
{
	std::vector<uint8_t> out;
	EXPECT_GE (z.size (), 6u);
	if (z.size () < 6)
		return out;
	EXPECT_EQ (z[0] & 0x0F, 8) << "compression method deflate";
	EXPECT_EQ ((z[0] * 256 + z[1]) % 31, 0) << "header check bits";
	size_t at = 2;
	bool last = false;
	while (!last && at + 5 <= z.size ())
	{
		last = (z[at] & 1) != 0;
		EXPECT_EQ (z[at] & 6, 0) << "stored block";
		const size_t n = z[at + 1] | size_t (z[at + 2]) << 8;
		const size_t nComplement = z[at + 3] | size_t (z[at + 4]) << 8;
		EXPECT_EQ (n ^ 0xFFFF, nComplement);
		at += 5;
		if (at + n > z.size ())
		{
			ADD_FAILURE () << "block runs past the stream";
			return out;
		}
		out.insert (out.end (), z.begin () + std::ptrdiff_t (at), z.begin () + std::ptrdiff_t (at + n));
		at += n;
	}
	EXPECT_TRUE (last);
	EXPECT_EQ (at + 4, z.size ()) << "Adler-32 ends the stream";
	if (at + 4 <= z.size ())
	{
		EXPECT_EQ (be32 (z, at), adler32 (out.data (), out.size ()));
	}
	return out;
}

} // namespace

TEST (PngWriter, ChecksumsMatchTheirCheckValues)
{
	const char* text = "123456789";
	const auto* bytes = reinterpret_cast<const uint8_t*> (text);
	EXPECT_EQ (crc32 (bytes, 9), 0xCBF43926u);
	EXPECT_EQ (crc32 (bytes + 4, 5, crc32 (bytes, 4)), 0xCBF43926u) << "continued over two pieces";
	EXPECT_EQ (adler32 (reinterpret_cast<const uint8_t*> ("Wikipedia"), 9), 0x11E60398u);
	EXPECT_EQ (adler32 (nullptr, 0), 1u);
	// Large enough for the sums to wrap modulo 65521.
	std::vector<uint8_t> ff (100000, 0xFF);
	uint32_t a = 1, b = 0;
	for (uint8_t v : ff)
	{
		a = (a + v) % 65521;
		b = (b + a) % 65521;
	}
	EXPECT_EQ (adler32 (ff.data (), ff.size ()), b << 16 | a);
}

TEST (PngWriter, SmallImageReadsBack)
{
	const int w = 3, h = 2;
	std::vector<uint8_t> rgb;
	for (int i = 0; i < w * h * 3; ++i)
		rgb.push_back (uint8_t (i * 13 + 1));
	const std::vector<uint8_t> png = encodePng (w, h, rgb);
	ASSERT_GE (png.size (), 8u);
	const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
	EXPECT_EQ (std::memcmp (png.data (), signature, 8), 0);

	const auto chunks = chunksOf (png);
	ASSERT_EQ (chunks.size (), 3u);
	EXPECT_EQ (chunks[0].type, "IHDR");
	ASSERT_EQ (chunks[0].data.size (), 13u);
	EXPECT_EQ (be32 (chunks[0].data, 0), uint32_t (w));
	EXPECT_EQ (be32 (chunks[0].data, 4), uint32_t (h));
	EXPECT_EQ (std::vector<uint8_t> (chunks[0].data.begin () + 8, chunks[0].data.end ()),
	           (std::vector<uint8_t> {8, 2, 0, 0, 0}))
	    << "8-bit RGB, deflate, filter 0, no interlace";
	EXPECT_EQ (chunks[1].type, "IDAT");
	EXPECT_EQ (chunks[2].type, "IEND");
	EXPECT_TRUE (chunks[2].data.empty ());
	EXPECT_EQ (chunks[2].crc, 0xAE426082u) << "the IEND chunk is always the same 12 bytes";
	for (const auto& c : chunks)
		EXPECT_EQ (c.crc, c.computedCrc) << c.type;

	// Each row is filter byte 0 followed by the row's pixels.
	const std::vector<uint8_t> raw = unstore (chunks[1].data);
	std::vector<uint8_t> expected;
	for (int y = 0; y < h; ++y)
	{
		expected.push_back (0);
		expected.insert (expected.end (), rgb.begin () + y * w * 3, rgb.begin () + (y + 1) * w * 3);
	}
	EXPECT_EQ (raw, expected);
}

TEST (PngWriter, LargeImageSpansSeveralStoredBlocks)
{
	// 200 × 200 RGB is 120,200 filtered bytes: two full blocks and a partial one.
	const int w = 200, h = 200;
	std::vector<uint8_t> rgb (size_t (w * h * 3));
	for (size_t i = 0; i < rgb.size (); ++i)
		rgb[i] = uint8_t (i * 7 + i / 600);
	const auto chunks = chunksOf (encodePng (w, h, rgb));
	ASSERT_EQ (chunks.size (), 3u);
	const auto raw = unstore (chunks[1].data);
	ASSERT_EQ (raw.size (), size_t (h * (w * 3 + 1)));
	EXPECT_EQ (chunks[1].crc, chunks[1].computedCrc);
	for (int y = 0; y < h; ++y)
	{
		const size_t row = size_t (y * (w * 3 + 1));
		ASSERT_EQ (raw[row], 0) << "filter byte of row " << y;
		ASSERT_EQ (std::memcmp (&raw[row + 1], &rgb[size_t (y * w * 3)], size_t (w * 3)), 0) << "row " << y;
	}
}

TEST (PngWriter, RefusesAMismatchedImageAndWritesFiles)
{
	EXPECT_TRUE (encodePng (2, 2, std::vector<uint8_t> (11)).empty ());
	EXPECT_TRUE (encodePng (0, 1, {}).empty ());
	EXPECT_FALSE (writePng ("png-writer-test-bad.png", 2, 2, std::vector<uint8_t> (11)));
	EXPECT_FALSE (writePng ("no-such-directory/x.png", 1, 1, {1, 2, 3}));

	const std::string path = "png-writer-test.png";
	ASSERT_TRUE (writePng (path, 1, 1, {10, 20, 30}));
	std::FILE* f = std::fopen (path.c_str (), "rb");
	ASSERT_NE (f, nullptr);
	std::vector<uint8_t> back (4096);
	back.resize (std::fread (back.data (), 1, back.size (), f));
	std::fclose (f);
	std::remove (path.c_str ());
	EXPECT_EQ (back, encodePng (1, 1, {10, 20, 30}));
}
