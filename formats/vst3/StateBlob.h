// The processor's persisted state: magic "TVL1", version 1, then the 16
// normalized parameter values, little-endian (136 bytes).
#pragma once

#include "params/ParamTable.h"

#include "pluginterfaces/base/ftypes.h"
#include "pluginterfaces/base/funknown.h"

namespace Steinberg { class IBStream; }

namespace Tarno {

constexpr Steinberg::int32 kStateMagic = 0x54564C31; // "TVL1"
constexpr Steinberg::int32 kStateVersion = 1;
constexpr Steinberg::int32 kStateSize = 8 + 8 * kNumParams;

// Reads and validates a blob into `values`, which it overwrites as it goes:
// callers read into a scratch copy and apply it only when this gives true.
// False for a null stream, a short read, a foreign magic or version, or a
// value that is not finite or lies outside [0, 1]. Bytes after the blob are
// left unread.
bool readState (Steinberg::IBStream* stream, ParamBlock& values);

// Writes the blob. kInvalidArgument for a null stream, kResultFalse when a
// write moves fewer bytes than it should (what was written stays).
Steinberg::tresult writeState (Steinberg::IBStream* stream, const ParamBlock& values);

} // namespace Tarno
