#include "vst3host/WavWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

using namespace Tarno::Host;

namespace {

using Bytes = std::vector<uint8_t>;

const double kNaN = std::numeric_limits<double>::quiet_NaN ();
const double kInf = std::numeric_limits<double>::infinity ();

uint32_t le16 (const Bytes& b, size_t at) { return uint32_t (b.at (at) | (b.at (at + 1) << 8)); }
uint32_t le32 (const Bytes& b, size_t at) { return le16 (b, at) | (le16 (b, at + 2) << 16); }
int32_t le24s (const Bytes& b, size_t at)
{
	const uint32_t u = uint32_t (b.at (at) | (b.at (at + 1) << 8) | (b.at (at + 2) << 16));
	return int32_t (u << 8) >> 8;
}
std::string tag (const Bytes& b, size_t at) { return std::string (b.begin () + long (at), b.begin () + long (at) + 4); }

// A file path unique to the running test, removed when the helper goes away.
struct TempFile
{
	std::string path;
	TempFile ()
	{
		const auto* info = ::testing::UnitTest::GetInstance ()->current_test_info ();
		path = (std::filesystem::temp_directory_path () /
		        (std::string ("tarno-host-") + info->test_suite_name () + "-" + info->name () + ".wav"))
		           .string ();
	}
	~TempFile () { std::remove (path.c_str ()); }
};

Bytes readAll (const std::string& path)
{
	Bytes b;
	std::FILE* f = std::fopen (path.c_str (), "rb");
	if (f == nullptr)
		return b;
	int c;
	while ((c = std::fgetc (f)) != EOF)
		b.push_back (uint8_t (c));
	std::fclose (f);
	return b;
}

// Writes one block of interleaved channel data and closes the file.
template <typename T>
Bytes writeFile (const std::string& path, int channels, SampleFormat format,
                 const std::vector<std::vector<T>>& data, int rate = 48000)
{
	WavWriter w;
	std::string error;
	EXPECT_TRUE (w.open (path, channels, rate, format, error)) << error;
	std::vector<const T*> pointers;
	for (const auto& ch : data)
		pointers.push_back (ch.data ());
	EXPECT_TRUE (w.write (pointers.data (), data.front ().size (), error)) << error;
	EXPECT_TRUE (w.close (error)) << error;
	return readAll (path);
}

} // namespace

//------------------------------------------------------------------------
TEST (HostWavWriter, Int16EncodingRoundsToNearestAndClips)
{
	const double lsb = 1.0 / 32768.0;
	struct Case
	{
		double x;
		int32_t expected;
		bool clipped;
	};
	const Case cases[] = {
	    {0.0, 0, false},
	    {-0.0, 0, false},
	    {0.5, 16384, false},
	    {-0.5, -16384, false},
	    {lsb, 1, false},
	    {0.49 * lsb, 0, false},
	    {0.5 * lsb, 1, false},   // halves go away from zero
	    {-0.5 * lsb, -1, false},
	    {1.5 * lsb, 2, false},
	    {-1.5 * lsb, -2, false},
	    {32767.0 * lsb, 32767, false},
	    {32767.4 * lsb, 32767, false},
	    {32767.5 * lsb, 32767, true}, // rounds to 32768: out of range
	    {1.0, 32767, true},
	    {-1.0, -32768, false},        // exactly the smallest value
	    {-32768.6 * lsb, -32768, true},
	    {2.0, 32767, true},
	    {-2.0, -32768, true},
	    {kInf, 32767, true},
	    {-kInf, -32768, true},
	    {kNaN, 0, false},
	};
	for (const Case& c : cases)
	{
		bool clipped = !c.clipped;
		EXPECT_EQ (encodeInt16 (c.x, &clipped), c.expected) << "x = " << c.x;
		EXPECT_EQ (clipped, c.clipped) << "x = " << c.x;
	}
	EXPECT_EQ (encodeInt16 (0.25), 8192); // clipped pointer is optional
}

TEST (HostWavWriter, Int24EncodingRoundsToNearestAndClips)
{
	const double lsb = 1.0 / 8388608.0;
	struct Case
	{
		double x;
		int32_t expected;
		bool clipped;
	};
	const Case cases[] = {
	    {0.25, 2097152, false},
	    {-0.25, -2097152, false},
	    {0.5 * lsb, 1, false},
	    {-0.5 * lsb, -1, false},
	    {0.4999 * lsb, 0, false},
	    {8388607.0 * lsb, 8388607, false},
	    {1.0, 8388607, true},
	    {-1.0, -8388608, false},
	    {-1.5, -8388608, true},
	    {kNaN, 0, false},
	};
	for (const Case& c : cases)
	{
		bool clipped = !c.clipped;
		EXPECT_EQ (encodeInt24 (c.x, &clipped), c.expected) << "x = " << c.x;
		EXPECT_EQ (clipped, c.clipped) << "x = " << c.x;
	}
}

TEST (HostWavWriter, ParsesFormatNames)
{
	SampleFormat f = SampleFormat::Int16;
	EXPECT_TRUE (parseSampleFormat ("f32", f));
	EXPECT_EQ (f, SampleFormat::Float32);
	EXPECT_TRUE (parseSampleFormat ("s24", f));
	EXPECT_EQ (f, SampleFormat::Int24);
	EXPECT_TRUE (parseSampleFormat ("s16", f));
	EXPECT_EQ (f, SampleFormat::Int16);
	EXPECT_FALSE (parseSampleFormat ("S16", f));
	EXPECT_FALSE (parseSampleFormat ("s32", f));
	EXPECT_FALSE (parseSampleFormat ("", f));
	EXPECT_EQ (f, SampleFormat::Int16);
	EXPECT_STREQ (sampleFormatName (SampleFormat::Int24), "s24");
	EXPECT_EQ (bytesPerSample (SampleFormat::Int24), 3);
}

TEST (HostWavWriter, PcmHeaderAndInterleavedSamples)
{
	TempFile tmp;
	const Bytes b = writeFile<float> (tmp.path, 2, SampleFormat::Int16,
	                                  {{0.5f, -1.0f, 0.0f}, {-0.5f, 1.0f, 0.25f}}, 44100);
	ASSERT_EQ (b.size (), 44u + 12u);
	EXPECT_EQ (tag (b, 0), "RIFF");
	EXPECT_EQ (le32 (b, 4), 36u + 12u);
	EXPECT_EQ (tag (b, 8), "WAVE");
	EXPECT_EQ (tag (b, 12), "fmt ");
	EXPECT_EQ (le32 (b, 16), 16u);
	EXPECT_EQ (le16 (b, 20), 1u);         // PCM
	EXPECT_EQ (le16 (b, 22), 2u);         // channels
	EXPECT_EQ (le32 (b, 24), 44100u);     // sample rate
	EXPECT_EQ (le32 (b, 28), 44100u * 4); // bytes per second
	EXPECT_EQ (le16 (b, 32), 4u);         // block align
	EXPECT_EQ (le16 (b, 34), 16u);        // bits
	EXPECT_EQ (tag (b, 36), "data");
	EXPECT_EQ (le32 (b, 40), 12u);
	// Frames interleaved L, R.
	const int16_t expected[] = {16384, -16384, -32768, 32767, 0, 8192};
	for (int i = 0; i < 6; ++i)
		EXPECT_EQ (int16_t (le16 (b, 44 + size_t (2 * i))), expected[i]) << "sample " << i;
}

TEST (HostWavWriter, Int24MonoPadsOddDataChunk)
{
	TempFile tmp;
	const Bytes b = writeFile<double> (tmp.path, 1, SampleFormat::Int24, {{0.25, -0.25, 1.0}});
	// 3 frames x 3 bytes = 9 data bytes plus one pad byte.
	ASSERT_EQ (b.size (), 44u + 9u + 1u);
	EXPECT_EQ (le32 (b, 4), 36u + 9u + 1u);
	EXPECT_EQ (le16 (b, 32), 3u);
	EXPECT_EQ (le16 (b, 34), 24u);
	EXPECT_EQ (le32 (b, 40), 9u);
	EXPECT_EQ (le24s (b, 44), 2097152);
	EXPECT_EQ (le24s (b, 47), -2097152);
	EXPECT_EQ (le24s (b, 50), 8388607);
	EXPECT_EQ (b.back (), 0);
}

TEST (HostWavWriter, FloatHeaderHasFactChunkAndSamplesAreExact)
{
	const float values[] = {0.0f, -0.0f, 1.5f, -3.25f, 1e-40f /* subnormal */, 0.1f,
	                        std::numeric_limits<float>::max (), -1.0f};
	std::vector<float> channel (std::begin (values), std::end (values));
	TempFile tmp;
	const Bytes b = writeFile<float> (tmp.path, 1, SampleFormat::Float32, {channel}, 96000);
	ASSERT_EQ (b.size (), 58u + 32u);
	EXPECT_EQ (le32 (b, 16), 18u);
	EXPECT_EQ (le16 (b, 20), 3u); // IEEE float
	EXPECT_EQ (le32 (b, 24), 96000u);
	EXPECT_EQ (le32 (b, 28), 96000u * 4);
	EXPECT_EQ (le16 (b, 34), 32u);
	EXPECT_EQ (le16 (b, 36), 0u); // no extension
	EXPECT_EQ (tag (b, 38), "fact");
	EXPECT_EQ (le32 (b, 42), 4u);
	EXPECT_EQ (le32 (b, 46), 8u); // frames
	EXPECT_EQ (tag (b, 50), "data");
	EXPECT_EQ (le32 (b, 54), 32u);
	EXPECT_EQ (le32 (b, 4), uint32_t (b.size () - 8));
	for (size_t i = 0; i < channel.size (); ++i)
	{
		uint32_t bits;
		std::memcpy (&bits, &values[i], 4);
		EXPECT_EQ (le32 (b, 58 + 4 * i), bits) << "sample " << i;
	}
}

TEST (HostWavWriter, DoubleInputBecomesNearestFloat)
{
	TempFile tmp;
	const std::vector<double> channel = {0.1, 1.0 / 3.0, -2.5e-7};
	const Bytes b = writeFile<double> (tmp.path, 1, SampleFormat::Float32, {channel});
	for (size_t i = 0; i < channel.size (); ++i)
	{
		const float f = float (channel[i]);
		uint32_t bits;
		std::memcpy (&bits, &f, 4);
		EXPECT_EQ (le32 (b, 58 + 4 * i), bits);
	}
}

TEST (HostWavWriter, MoreThanTwoChannelsUseExtensibleFormat)
{
	TempFile tmp;
	const Bytes b =
	    writeFile<float> (tmp.path, 3, SampleFormat::Int24, {{0.5f}, {0.0f}, {-0.5f}});
	EXPECT_EQ (le32 (b, 16), 40u);
	EXPECT_EQ (le16 (b, 20), 0xFFFEu);
	EXPECT_EQ (le16 (b, 22), 3u);
	EXPECT_EQ (le16 (b, 32), 9u);  // block align
	EXPECT_EQ (le16 (b, 36), 22u); // extension size
	EXPECT_EQ (le16 (b, 38), 24u); // valid bits
	EXPECT_EQ (le16 (b, 44), 1u);  // sub-format: PCM
	EXPECT_EQ (b[50], 0x10);
	EXPECT_EQ (b[59], 0x71);
	EXPECT_EQ (tag (b, 60), "data");
	EXPECT_EQ (le32 (b, 64), 9u);
	EXPECT_EQ (le24s (b, 68), 4194304);
	EXPECT_EQ (le24s (b, 74), -4194304);

	const Bytes header = WavWriter::makeHeader (4, 48000, SampleFormat::Float32, 32);
	EXPECT_EQ (le16 (header, 44), 3u); // sub-format: IEEE float
	EXPECT_EQ (tag (header, 60), "fact");
	EXPECT_EQ (le32 (header, 68), 2u); // 32 bytes / (4 channels x 4 bytes)
}

TEST (HostWavWriter, SeveralWritesAccumulateAndStatsCount)
{
	TempFile tmp;
	WavWriter w;
	std::string error;
	ASSERT_TRUE (w.open (tmp.path, 1, 8000, SampleFormat::Int16, error)) << error;
	EXPECT_TRUE (w.isOpen ());
	const float a[] = {0.5f, -0.75f};
	const float bad[] = {1.5f, std::numeric_limits<float>::quiet_NaN (), -2.0f};
	const float* pa = a;
	const float* pb = bad;
	ASSERT_TRUE (w.write (&pa, 2, error));
	ASSERT_TRUE (w.write (&pb, 3, error));
	ASSERT_TRUE (w.write (&pa, 0, error));
	EXPECT_EQ (w.stats ().frames, 5u);
	EXPECT_EQ (w.stats ().clippedSamples, 2u);
	EXPECT_EQ (w.stats ().nonFiniteSamples, 1u);
	EXPECT_DOUBLE_EQ (w.stats ().peak, 2.0);
	ASSERT_TRUE (w.close (error));
	EXPECT_FALSE (w.isOpen ());
	EXPECT_TRUE (w.close (error)); // closing twice is harmless

	const Bytes b = readAll (tmp.path);
	ASSERT_EQ (b.size (), 44u + 10u);
	EXPECT_EQ (le32 (b, 40), 10u);
	EXPECT_EQ (int16_t (le16 (b, 46)), -24576);
	EXPECT_EQ (int16_t (le16 (b, 48)), 32767);
	EXPECT_EQ (int16_t (le16 (b, 50)), 0);
	EXPECT_EQ (int16_t (le16 (b, 52)), -32768);
}

TEST (HostWavWriter, DestructorFinishesTheFile)
{
	TempFile tmp;
	{
		WavWriter w;
		std::string error;
		ASSERT_TRUE (w.open (tmp.path, 2, 48000, SampleFormat::Float32, error));
		const double l[] = {0.25}, r[] = {-0.25};
		const double* p[] = {l, r};
		ASSERT_TRUE (w.write (p, 1, error));
	}
	const Bytes b = readAll (tmp.path);
	ASSERT_EQ (b.size (), 58u + 8u);
	EXPECT_EQ (le32 (b, 54), 8u);
	EXPECT_EQ (le32 (b, 46), 1u);
}

TEST (HostWavWriter, ReportsErrors)
{
	WavWriter w;
	std::string error;
	const std::string unwritable =
	    (std::filesystem::temp_directory_path () / "tarno-host-no-such-dir" / "out.wav").string ();
	EXPECT_FALSE (w.open (unwritable, 2, 48000, SampleFormat::Int16, error));
	EXPECT_NE (error.find ("cannot write"), std::string::npos) << error;
	EXPECT_FALSE (w.isOpen ());

	const float s[] = {0.f};
	const float* p = s;
	error.clear ();
	EXPECT_FALSE (w.write (&p, 1, error));
	EXPECT_FALSE (error.empty ());

	TempFile tmp;
	EXPECT_FALSE (w.open (tmp.path, 0, 48000, SampleFormat::Int16, error));
	EXPECT_FALSE (w.open (tmp.path, 2, 0, SampleFormat::Int16, error));
}
