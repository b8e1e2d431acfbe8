// Reading and writing .vstpreset files (the SDK's PresetFile): the class ID,
// the processor's state chunk ("Comp"), the controller's chunk ("Cont") when
// there is one, and optional meta-info XML.
#pragma once

#include "pluginterfaces/base/funknown.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Tarno {
namespace Host {

struct PresetContents
{
	std::vector<uint8_t> componentState;  // the processor's state chunk ("Comp")
	std::vector<uint8_t> controllerState; // the controller's chunk ("Cont"), empty when the file has none
};

// Reads a .vstpreset file written for the class `classId` (16 bytes as the
// host sees them). On failure returns false, leaves `out` unchanged, and sets
// `error` to one line naming the file and the reason.
bool readPresetFile (const std::string& path, const Steinberg::TUID classId, PresetContents& out,
                     std::string& error);
// Writes a .vstpreset file (class ID, component chunk, controller chunk when
// non-empty, optional meta-info XML). The file is written under a temporary
// name first and then renamed, so a failed write leaves an existing file as
// it was.
bool writePresetFile (const std::string& path, const Steinberg::TUID classId, const PresetContents& contents,
                      const std::string& metaInfoXml, std::string& error);

} // namespace Host
} // namespace Tarno
