#include "formats/vst3/StateBlob.h"
#include "tests/StreamUtil.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Tarno;
using namespace TarnoTest;
using namespace Steinberg;

namespace {

ParamBlock sample ()
{
	ParamBlock v;
	for (int i = 0; i < kNumParams; ++i)
		v[i] = (i + 1) / 17.0;
	return v;
}

} // namespace

TEST (StateBlob, WritesTheDocumentedBytes)
{
	MemoryStream stream;
	ASSERT_EQ (writeState (&stream, kDefaultParams), kResultOk);
	const Bytes bytes = bytesOf (stream);
	ASSERT_EQ (bytes.size (), 136u);
	EXPECT_EQ (Bytes (bytes.begin (), bytes.begin () + 16),
	           (Bytes{0x31, 0x4C, 0x56, 0x54, 0x01, 0, 0, 0, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xE1, 0x3F}));
	EXPECT_EQ (Bytes (bytes.end () - 8, bytes.end ()), (Bytes{0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0xD6, 0x3F}));
	EXPECT_EQ (bytes, stateBlob (kDefaultParams));
}

TEST (StateBlob, RoundTripsBitForBitAndIgnoresTrailingBytes)
{
	Bytes blob = stateBlob (sample ());
	ParamBlock read{};
	ASSERT_TRUE (readState (streamOf (blob), read));
	EXPECT_EQ (read, sample ());
	blob.insert (blob.end (), {1, 2, 3, 4});
	read = {};
	EXPECT_TRUE (readState (streamOf (blob), read));
	EXPECT_EQ (read, sample ());

	ParamBlock edges = sample ();
	edges[0] = 0.0;
	edges[15] = 1.0;
	EXPECT_TRUE (readState (streamOf (stateBlob (edges)), read));
}

TEST (StateBlob, RefusesEveryMalformedBlob)
{
	ParamBlock read{};
	EXPECT_FALSE (readState (nullptr, read));
	Bytes shortBlob = stateBlob (sample ());
	shortBlob.pop_back ();
	EXPECT_FALSE (readState (streamOf (shortBlob), read));
	EXPECT_FALSE (readState (streamOf ({}), read));
	EXPECT_FALSE (readState (streamOf ({0x31, 0x4C, 0x56}), read));
	EXPECT_FALSE (readState (streamOf (stateBlob (sample (), 0x54564C31, 2)), read));
	EXPECT_FALSE (readState (streamOf (stateBlob (sample (), 0x314C5654)), read)); // big-endian magic

	for (double bad : {1.0000001, -0.0000001, std::numeric_limits<double>::quiet_NaN (),
	                   std::numeric_limits<double>::infinity (), -std::numeric_limits<double>::infinity ()})
	{
		ParamBlock values = sample ();
		values[11] = bad;
		EXPECT_FALSE (readState (streamOf (stateBlob (values)), read)) << bad;
	}
}

TEST (StateBlob, ShortWritesAndNullStreams)
{
	EXPECT_EQ (writeState (nullptr, kDefaultParams), kInvalidArgument);
	for (size_t room : {0, 3, 4, 8, 40, 135})
	{
		LimitedStream limited (room);
		EXPECT_EQ (writeState (&limited, kDefaultParams), kResultFalse) << room;
		EXPECT_EQ (limited.data.size (), room); // what fitted stays written
	}
	LimitedStream exact (136);
	EXPECT_EQ (writeState (&exact, kDefaultParams), kResultOk);
	EXPECT_EQ (exact.data, stateBlob (kDefaultParams));
}
