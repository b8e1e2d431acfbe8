// The factory preset data: numbers, titles and values.
#include "params/Presets.h"

#include "params/ParamTable.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tarno;

TEST (FactoryPresets, NumbersAndTitles)
{
	const char* const titles[] = {"01  Original", "02  Soft reed", "03  Bass", "04  Lantern", "05  Glide"};
	const char16_t* const capitals[] = {u"01  ORIGINAL", u"02  SOFT REED", u"03  BASS", u"04  LANTERN", u"05  GLIDE"};
	for (int n = 0; n < kNumFactoryPresets; ++n)
	{
		EXPECT_EQ (kFactoryPresets[n].number, n + 1);
		EXPECT_EQ (std::string (kFactoryPresets[n].title), titles[n]);
		EXPECT_EQ (std::u16string (kFactoryPresets[n].capitalTitle), capitals[n]) << n;
	}
}

TEST (FactoryPresets, ValuesAsListed)
{
	const double third = 1.0 / 3.0;
	const ParamBlock expected[kNumFactoryPresets] = {
		{0.55, 0.3, 0.15, 0.00266845, 0.055055, 0.0, 0.5, 0.0, 0.25, 0.0, 0.5, 0.5, 0.8, 0.0, 1.0, 0.35},
		{0.12, 0.7, 0.5, 0.07, 0.22, 0.0, 0.5, 0.14, 0.25, 0.0, 0.5, 0.5, 0.8, 0.0, 1.0, 0.35},
		{0.8, 0.25, 0.0, 0.00266845, 0.025, 0.035, 0.5, 0.0, 0.25, 0.0, third, 0.5, 0.8, 0.0, 1.0, 0.35},
		{0.15, 0.25, 0.85, 0.12, 0.35, 0.0, 0.5, 0.22, 0.25, 0.38, 0.5, 0.5, 0.8, 0.0, 1.0, 0.35},
		{0.65, 0.2, 0.2, 0.00266845, 0.055055, 0.25, 0.5, 0.12, 0.25, 0.15, 0.5, 0.5, 0.8, 0.0, 1.0, 0.35},
	};
	for (int n = 0; n < kNumFactoryPresets; ++n)
		for (int32_t i = 0; i < kNumParams; ++i)
			EXPECT_EQ (kFactoryPresets[n].values[i], expected[n][i]) << "preset " << n + 1 << ", parameter " << i;
	EXPECT_EQ (kFactoryPresets[0].values, kDefaultParams);
	EXPECT_EQ (kFactoryPresets[2].values[kTransposeParam], 0.3333333333333333);
}

TEST (FactoryPresets, EveryValueLiesOnItsParametersGrid)
{
	// Loading snaps each value; nothing in the table may move by it.
	for (const FactoryPreset& p : kFactoryPresets)
		for (int32_t i = 0; i < kNumParams; ++i)
			EXPECT_EQ (snapNormalized (i, p.values[i]), p.values[i]) << p.title << ", parameter " << i;
}
