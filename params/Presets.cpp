#include "params/Presets.h"

#include <cstddef>

namespace Tarno {

namespace {

struct Entry
{
	ParamId id;
	double value;
};

// The default block with the given entries replaced: every preset but the
// first differs from the defaults in a few parameters only.
template <size_t N>
constexpr ParamBlock defaultsWith (const Entry (&entries)[N])
{
	ParamBlock values = kDefaultParams;
	for (const Entry& e : entries)
		values[e.id] = e.value;
	return values;
}

constexpr Entry kSoftReed[] = {
	{kSquareParam, 0.12},  {kTriangleParam, 0.7},  {kSineParam, 0.5},
	{kAttackParam, 0.07},  {kReleaseParam, 0.22},  {kVibratoDepthParam, 0.14},
};

constexpr Entry kBass[] = {
	{kSquareParam, 0.8},      {kTriangleParam, 0.25},  {kSineParam, 0.0},
	{kReleaseParam, 0.025},   {kGlissandoParam, 0.035},
	// -1 oct: 2 of Transpose's 6 steps, the double nearest to 1/3.
	{kTransposeParam, 1.0 / 3.0},
};

constexpr Entry kLantern[] = {
	{kSquareParam, 0.15},  {kTriangleParam, 0.25},     {kSineParam, 0.85},         {kAttackParam, 0.12},
	{kReleaseParam, 0.35}, {kVibratoDepthParam, 0.22}, {kTremoloDepthParam, 0.38},
};

constexpr Entry kGlide[] = {
	{kSquareParam, 0.65},    {kTriangleParam, 0.2},       {kSineParam, 0.2},
	{kGlissandoParam, 0.25}, {kVibratoDepthParam, 0.12},  {kTremoloDepthParam, 0.15},
};

} // namespace

const FactoryPreset kFactoryPresets[kNumFactoryPresets] = {
	{1, "01  Original", u"01  ORIGINAL", kDefaultParams},
	{2, "02  Soft reed", u"02  SOFT REED", defaultsWith (kSoftReed)},
	{3, "03  Bass", u"03  BASS", defaultsWith (kBass)},
	{4, "04  Lantern", u"04  LANTERN", defaultsWith (kLantern)},
	{5, "05  Glide", u"05  GLIDE", defaultsWith (kGlide)},
};

} // namespace Tarno
