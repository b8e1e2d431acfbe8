// The plug-in's ports by index, as the plug-in and its description
// (written by tarnovelle-lv2-ttl) both number them.
#pragma once

#include "params/ParamTable.h"

#include <cstdint>

namespace Tarno {
namespace Lv2 {

// The 16 parameters first, in parameter-ID order and plain units; then the
// input sequence (MIDI and patch messages), the two audio outputs and the
// notify sequence (patch messages to the UI).
enum PortIndex : uint32_t
{
	kControlPort = kNumParams,
	kOutLeftPort,
	kOutRightPort,
	kNotifyPort,
	kNumPorts,
};

} // namespace Lv2
} // namespace Tarno
