// WASAPI output (Windows): shared mode, event-driven, on the default output
// device or the first one whose name contains --device. When the device goes
// away or the default device changes, poll () reports it lost and the main
// loop opens the (new) default again.
#pragma once

#include "player/AudioBackend.h"

#include <memory>
#include <string>
#include <vector>

namespace Tarno {
namespace Standalone {

struct OutputDevice
{
	std::string name;
	bool isDefault = false;
};

// The active output devices (empty with a reason when there are none).
std::vector<OutputDevice> listOutputDevices (std::string& error);

std::unique_ptr<AudioBackend> openWasapi (Player& player, const Options& options, std::string& error);

} // namespace Standalone
} // namespace Tarno
