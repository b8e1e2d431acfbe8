// The editor skins, by the index the controller stores and saves.
#pragma once

#include <cstdint>

namespace Tarno {

enum SkinIndex : int32_t
{
	kSkinOriginal = 0,
	kSkinVintage = 1,
	kSkinSilver = 2,
	kNumSkins = 3,
};

} // namespace Tarno
