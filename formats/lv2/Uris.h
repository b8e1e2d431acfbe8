// The plug-in's URIs and the URIDs it works with, mapped once at
// instantiation through the host's urid:map.
#pragma once

#include <lv2/urid/urid.h>

namespace Tarno {
namespace Lv2 {

#define TARNO_LV2_URI "https://tarnovelle.invalid/lv2/tarnovelle"
constexpr const char* kPluginUri = TARNO_LV2_URI;
constexpr const char* kUiUri = TARNO_LV2_URI "#ui";
// The editor skin (atom:Int, a SkinIndex): the state's key and the
// property of the patch messages that carry it.
constexpr const char* kSkinUri = TARNO_LV2_URI "#skin";

struct Urids
{
	LV2_URID atomInt = 0;
	LV2_URID atomUrid = 0;
	LV2_URID atomObject = 0;
	LV2_URID atomBlank = 0;
	LV2_URID atomSequence = 0;
	LV2_URID atomFrameTime = 0;
	LV2_URID midiEvent = 0;
	LV2_URID patchSet = 0;
	LV2_URID patchGet = 0;
	LV2_URID patchProperty = 0;
	LV2_URID patchValue = 0;
	LV2_URID maxBlockLength = 0;
	LV2_URID nominalBlockLength = 0;
	LV2_URID skin = 0;

	void map (const LV2_URID_Map& host);
};

} // namespace Lv2
} // namespace Tarno
