#include "formats/vst3/StateBlob.h"

#include "base/source/fstreamer.h"

namespace Tarno {

using namespace Steinberg;

bool readState (IBStream* stream, ParamBlock& values)
{
	if (stream == nullptr)
		return false;
	IBStreamer streamer (stream, kLittleEndian);
	int32 magic = 0, version = 0;
	if (!streamer.readInt32 (magic) || !streamer.readInt32 (version))
		return false;
	if (magic != kStateMagic || version != kStateVersion)
		return false;
	for (double& value : values)
	{
		// Also refuses NaN, which fails both comparisons.
		if (!streamer.readDouble (value) || !(value >= 0.0 && value <= 1.0))
			return false;
	}
	return true;
}

tresult writeState (IBStream* stream, const ParamBlock& values)
{
	if (stream == nullptr)
		return kInvalidArgument;
	IBStreamer streamer (stream, kLittleEndian);
	if (!streamer.writeInt32 (kStateMagic) || !streamer.writeInt32 (kStateVersion))
		return kResultFalse;
	for (double value : values)
		if (!streamer.writeDouble (value))
			return kResultFalse;
	return kResultOk;
}

} // namespace Tarno
