// VST 3 preset files (.vstpreset), read and written with the SDK's
// PresetFile: a header with the processor's class ID, the chunks (the
// processor's state "Comp", the controller's own state "Cont", meta
// information "Info") and the chunk list at the end.
//
// The reader trusts nothing in the file: the header, the class ID, every
// entry of the chunk list and every chunk's place and size are checked
// before a byte of state is handed out, and a refusal names the file and
// the reason in one line.
#pragma once

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstddef>
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
// host sees them). On failure returns false, leaves `out` unchanged, and
// sets `error` to one line naming the file and the reason.
bool readPresetFile (const std::string& path, const Steinberg::TUID classId, PresetContents& out, std::string& error);
// Writes a .vstpreset file (class ID, component chunk, controller chunk when
// non-empty, optional meta-info XML).
bool writePresetFile (const std::string& path, const Steinberg::TUID classId, const PresetContents& contents,
                      const std::string& metaInfoXml, std::string& error);

// The same on bytes in memory; `name` stands for the file in messages.
bool parsePresetFile (const uint8_t* data, size_t size, const std::string& name, const Steinberg::TUID classId,
                      PresetContents& out, std::string& error);
bool makePresetFile (const Steinberg::TUID classId, const PresetContents& contents, const std::string& metaInfoXml,
                     std::vector<uint8_t>& bytes, std::string& error);

// The meta-information XML of a preset: its name, the plug-in's name and
// the plug-in's category (such as "Instrument|Synth"), as hosts' preset
// browsers read them. Empty texts are left out.
std::string presetMetaInfo (const std::string& presetName, const std::string& plugInName,
                            const std::string& plugInCategory);

// The file name for a preset: its name with each character that Windows,
// macOS or Linux refuse in file names (and a trailing dot or blank)
// replaced by '_', then ".vstpreset".
std::string presetFileName (const std::string& presetName);

// Applies a preset as a host does: the component's setState, then the
// controller's setComponentState (skipped when the controller is the
// component itself), then, when the preset has a controller chunk, the
// controller's setState. When any step is refused, what the earlier steps
// changed is put back from the states read before the first step, and
// false is returned with the reason. `controller` may be null.
bool applyPresetContents (Steinberg::Vst::IComponent* component, Steinberg::Vst::IEditController* controller,
                          bool controllerIsComponent, const PresetContents& contents, std::string& error);

// Files larger than this are refused unread: no preset state comes near it.
constexpr size_t kMaxPresetFileSize = size_t (64) << 20;

} // namespace Host
} // namespace Tarno
