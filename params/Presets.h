// The five factory presets: complete sets of the 16 sound parameters that
// the editor's preset row loads with one click. They live only in the
// editor; the host sees a preset load as 16 ordinary edit gestures.
#pragma once

#include "params/ParamTable.h"

#include <cstdint>

namespace Tarno {

struct FactoryPreset
{
	int32_t number;              // 1 to 5; the index in kFactoryPresets is number - 1
	const char* title;           // drawn by the ORIGINAL skin
	const char16_t* capitalTitle; // drawn by the VINTAGE and SILVER skins
	ParamBlock values;           // normalized, in parameter-ID order
};

constexpr int32_t kNumFactoryPresets = 5;

// In the order of the editor's preset row, left to right.
extern const FactoryPreset kFactoryPresets[kNumFactoryPresets];

} // namespace Tarno
