#include "editor/skins/PanelLayout.h"

#include "params/Presets.h"

namespace Tarno {

namespace {

// ORIGINAL and VINTAGE have knobs, SILVER faders, on the same grid of
// 103 × 150 cells and under the same preset band.
constexpr SkinLayout kKnobLayout = {
	8, 30, 154, 103, 150,
	{0, 0, 93, 139},
	30, 105, 133, 150, 160,
	0, 0, 0,
};

constexpr SkinLayout kFaderLayout = {
	8, 30, 154, 103, 150,
	{11, 10, 75, 110},
	30, 105, 133, 150, 160,
	20, 80, 10,
};

const SkinLayout* const kLayouts[kNumSkins] = {&kKnobLayout, &kKnobLayout, &kFaderLayout};

} // namespace

const OverlayLayout kOverlayLayout = {
	523, 42, 27, 94, 98,
	{658, 345, 727, 382},
	694,
};

PixelBox SkinLayout::presetBand () const
{
	return {presetLeft, presetTop, presetLeft + presetPitch * kNumFactoryPresets - 1, presetBottom};
}

const SkinLayout& skinLayout (int32_t skin)
{
	return *kLayouts[skin >= 0 && skin < kNumSkins ? skin : kSkinOriginal];
}

Rect OverlayLayout::skinButton (int32_t k) const
{
	const int left = skinButtonLeft + skinButtonPitch * k;
	return {left, skinButtonTop, left + skinButtonWidth, skinButtonTop + skinButtonHeight};
}

int32_t OverlayLayout::skinButtonAt (int32_t x, int32_t y) const
{
	for (int32_t k = 0; k < kNumSkins; ++k)
	{
		const Rect r = skinButton (k);
		if (PixelBox{r.left, r.top, r.right - 1, r.bottom}.contains (x, y))
			return k;
	}
	return -1;
}

} // namespace Tarno
