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
	{kSquare, 0.12},  {kTriangle, 0.7},  {kSine, 0.5},
	{kAttack, 0.07},  {kRelease, 0.22},  {kVibratoDepth, 0.14},
};

constexpr Entry kBass[] = {
	{kSquare, 0.8},      {kTriangle, 0.25},  {kSine, 0.0},
	{kRelease, 0.025},   {kGlissando, 0.035},
	// -1 oct: 2 of Transpose's 6 steps, the double nearest to 1/3.
	{kTranspose, 1.0 / 3.0},
};

constexpr Entry kLantern[] = {
	{kSquare, 0.15},  {kTriangle, 0.25},     {kSine, 0.85},         {kAttack, 0.12},
	{kRelease, 0.35}, {kVibratoDepth, 0.22}, {kTremoloDepth, 0.38},
};

constexpr Entry kGlide[] = {
	{kSquare, 0.65},    {kTriangle, 0.2},       {kSine, 0.2},
	{kGlissando, 0.25}, {kVibratoDepth, 0.12},  {kTremoloDepth, 0.15},
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
