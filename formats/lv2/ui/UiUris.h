// The names the LV2 UI shares with the plug-in and its host: the URIs of the
// plug-in, the UI and the skin property, the ports it speaks to besides the
// 16 control ports, and the URIDs it needs, mapped once at instantiate.
#pragma once

#include "formats/lv2/Ports.h"
#include "formats/lv2/Uris.h"

#include <lv2/urid/urid.h>

#include <cstdint>

namespace Tarno {

constexpr const char* kLv2PluginUri = Lv2::kPluginUri;
constexpr const char* kLv2UiUri = Lv2::kUiUri;
constexpr const char* kLv2SkinUri = Lv2::kSkinUri;

// Ports 0 to 15 are the sound parameters' control inputs, by parameter ID.
// The skin travels as patch messages: to the plug-in on its atom input, back
// to the UI on its notify output.
constexpr uint32_t kLv2ControlInPort = Lv2::kControlPort;
constexpr uint32_t kLv2NotifyPort = Lv2::kNotifyPort;

struct UiUrids
{
	LV2_URID eventTransfer = 0;
	LV2_URID atomObject = 0;
	LV2_URID atomBlank = 0;
	LV2_URID atomUrid = 0;
	LV2_URID atomInt = 0;
	LV2_URID atomFloat = 0;
	LV2_URID atomDouble = 0;
	LV2_URID patchSet = 0;
	LV2_URID patchGet = 0;
	LV2_URID patchProperty = 0;
	LV2_URID patchValue = 0;
	LV2_URID skin = 0;
	LV2_URID scaleFactor = 0;

	// Maps every URI; false when the host's map gives 0 for any of them.
	bool map (const LV2_URID_Map& map);
};

} // namespace Tarno
