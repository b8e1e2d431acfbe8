// The patch messages that carry the skin between the UI and the plug-in, as
// atom:Objects: patch:Set (patch:property the skin, patch:value an atom:Int)
// and patch:Get (patch:property the skin), which asks the plug-in to answer
// with a patch:Set.
#pragma once

#include "formats/lv2/ui/UiUris.h"

#include <lv2/atom/atom.h>

#include <cstdint>

namespace Tarno {

struct SkinUridProperty
{
	LV2_Atom_Property_Body head;
	LV2_URID body;
	uint32_t pad;
};

struct SkinIntProperty
{
	LV2_Atom_Property_Body head;
	int32_t body;
	uint32_t pad;
};

struct SkinSetMessage
{
	LV2_Atom_Object object;
	SkinUridProperty property;
	SkinIntProperty value;
};

struct SkinGetMessage
{
	LV2_Atom_Object object;
	SkinUridProperty property;
};

SkinSetMessage makeSkinSet (const UiUrids& urids, int32_t skin);
SkinGetMessage makeSkinGet (const UiUrids& urids);

// The skin (0 to kNumSkins - 1) a patch:Set of the skin property in
// `buffer` carries; -1 for any other atom, a skin out of range, or an atom
// that does not fit in `size` bytes.
int32_t readSkinSet (const UiUrids& urids, const void* buffer, uint32_t size);

} // namespace Tarno
