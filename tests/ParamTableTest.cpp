#include "params/ParamTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace Tarno;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN ();
const double kInf = std::numeric_limits<double>::infinity ();

std::string text (int32_t id, double normalized)
{
	ValueText t;
	EXPECT_TRUE (formatValue (id, normalized, t));
	return t;
}

} // namespace

TEST (ParamTable, DefaultsMatchTheTableAndConvertToTheirPlainValues)
{
	// The table takes its defaults from kDefaultParams: both are pinned here.
	const double defaults[kNumParams] = {0.55, 0.3,  0.15, 0.00266845, 0.055055, 0.0, 0.5, 0.0,
	                                     0.25, 0.0,  0.5,  0.5,        0.8,      0.0, 1.0, 0.35};
	for (int32_t id = 0; id < kNumParams; ++id)
		EXPECT_EQ (specs[id].defaultNormalized, defaults[id]) << specs[id].name;
	EXPECT_STREQ (specs[kSineCharacterParam].name, "Sine character");
	EXPECT_STREQ (specs[kLegatoParam].unit, "");
	EXPECT_EQ (specs[kTransposeParam].stepCount, 6);
	EXPECT_EQ (specs[kLegatoParam].stepCount, 1);
	EXPECT_NEAR (toPlain (kAttackParam, kDefaultParams[kAttackParam]), 10.0000131, 1e-6);
	EXPECT_NEAR (toPlain (kReleaseParam, kDefaultParams[kReleaseParam]), 279.999725, 1e-6);
	EXPECT_DOUBLE_EQ (toPlain (kOutputParam, kDefaultParams[kOutputParam]), -12.0);
}

TEST (ParamTable, ClampTurnsNonFiniteIntoZero)
{
	EXPECT_EQ (clampNormalized (kNaN), 0.0);
	EXPECT_EQ (clampNormalized (kInf), 0.0);
	EXPECT_EQ (clampNormalized (-kInf), 0.0);
	EXPECT_EQ (clampNormalized (-0.25), 0.0);
	EXPECT_EQ (clampNormalized (1.7), 1.0);
	EXPECT_EQ (clampNormalized (0.3), 0.3);
}

TEST (ParamTable, PlainAndNormalizedConversions)
{
	EXPECT_EQ (toPlain (kTransposeParam, 0.5), 0.0);
	EXPECT_EQ (toPlain (kTransposeParam, 1.0 / 3.0), -1.0);
	EXPECT_EQ (toPlain (kLegatoParam, 0.5), 1.0);
	EXPECT_EQ (toPlain (kSquareParam, kNaN), 0.0);
	EXPECT_EQ (toPlain (kOutputParam, kInf), -60.0);

	EXPECT_DOUBLE_EQ (toNormalized (kSquareParam, 55.0), 0.55);
	EXPECT_EQ (toNormalized (kAttackParam, 1.0), 0.0);
	EXPECT_EQ (toNormalized (kOutputParam, 10.0), 1.0);
	EXPECT_EQ (toNormalized (kTransposeParam, 1.5), 0.75);
	EXPECT_EQ (toNormalized (kSquareParam, kNaN), 0.0);

	// IDs outside the table pass through unchanged.
	EXPECT_EQ (toPlain (101, 0.7), 0.7);
	EXPECT_EQ (toNormalized (100, 1.7), 1.7);
	EXPECT_EQ (toPlain (-1, 3.0), 3.0);
}

TEST (ParamTable, SnapMovesOnlySteppedParameters)
{
	EXPECT_EQ (snapNormalized (kTransposeParam, 0.6), 4.0 / 6.0);
	EXPECT_EQ (snapNormalized (kLegatoParam, 0.5), 1.0);
	EXPECT_EQ (snapNormalized (kLegatoParam, 0.49), 0.0);
	EXPECT_EQ (snapNormalized (kSquareParam, 0.123), 0.123);
	EXPECT_EQ (snapNormalized (kTransposeParam, kNaN), 0.0);
	EXPECT_EQ (snapNormalized (kTransposeParam, 1.0 / 3.0), 1.0 / 3.0);
}

TEST (ParamTable, ValueTexts)
{
	EXPECT_EQ (text (kSquareParam, 0.55), "55.0 %");
	EXPECT_EQ (text (kAttackParam, 0.00266845), "10.0 ms");
	EXPECT_EQ (text (kReleaseParam, 0.055055), "280.0 ms");
	EXPECT_EQ (text (kVibratoRateParam, 0.5), "6.0 Hz");
	EXPECT_EQ (text (kOutputParam, 0.8), "-12.0 dB");
	EXPECT_EQ (text (kOutputParam, 0.0), "-60.0 dB");
	EXPECT_EQ (text (kFineTuneParam, 0.0), "-100.0 cent");
	EXPECT_EQ (text (kFineTuneParam, 0.5), "0.0 cent");
	EXPECT_EQ (text (kTransposeParam, 0.5), "0 oct");
	EXPECT_EQ (text (kTransposeParam, 0.58), "0 oct");
	EXPECT_EQ (text (kTransposeParam, 0.59), "1 oct");
	EXPECT_EQ (text (kTransposeParam, 0.0), "-3 oct");
	EXPECT_EQ (text (kTransposeParam, 1.0), "3 oct");
	EXPECT_EQ (text (kLegatoParam, 0.5), "On");
	EXPECT_EQ (text (kLegatoParam, 0.49), "Off");
	EXPECT_EQ (text (kSquareParam, kNaN), "0.0 %");
	EXPECT_EQ (text (kSquareParam, kInf), "0.0 %");
	EXPECT_EQ (text (kSquareParam, 1.7), "100.0 %");
}

TEST (ParamTable, TransposeJustBelowCentreReadsPlainZero)
{
	// Plain values in (-0.5, 0) round to minus zero; the text must not show "-0".
	for (double x : {5.0 / 12.0 + 1e-9, 0.45, 0.49, 0.4999999})
		EXPECT_EQ (text (kTransposeParam, x), "0 oct") << x;
	EXPECT_EQ (text (kTransposeParam, 5.0 / 12.0 - 1e-9), "-1 oct");
}

TEST (ParamTable, FormatRefusesIdsOutsideTheTable)
{
	ValueText t = "junk";
	EXPECT_FALSE (formatValue (16, 0.5, t));
	EXPECT_STREQ (t, "");
	EXPECT_FALSE (formatValue (100, 0.5, t));
	EXPECT_FALSE (formatValue (-1, 0.5, t));
}

TEST (ParamTable, ParseReadsNumbersAndIgnoresTrailingText)
{
	double v = -1.0;
	ASSERT_TRUE (parseValue (kSquareParam, "55.0 %", v));
	EXPECT_DOUBLE_EQ (v, 0.55);
	ASSERT_TRUE (parseValue (kReleaseParam, "1e9", v));
	EXPECT_EQ (v, 1.0);
	ASSERT_TRUE (parseValue (kOutputParam, "  -12 dB", v));
	EXPECT_DOUBLE_EQ (v, 0.8);
	ASSERT_TRUE (parseValue (kTransposeParam, "1.5", v));
	EXPECT_EQ (v, 0.75);
	ASSERT_TRUE (parseValue (kSquareParam, "-5", v));
	EXPECT_EQ (v, 0.0);
	ASSERT_TRUE (parseValue (kSquareParam, "inf", v));
	EXPECT_EQ (v, 0.0);
	ASSERT_TRUE (parseValue (kSquareParam, "nan", v));
	EXPECT_EQ (v, 0.0);
}

TEST (ParamTable, ParseFailureLeavesTheValueUntouched)
{
	double v = 0.42;
	EXPECT_FALSE (parseValue (kSquareParam, "abc", v));
	EXPECT_FALSE (parseValue (kAttackParam, "", v));
	EXPECT_FALSE (parseValue (kAttackParam, " ms", v));
	EXPECT_FALSE (parseValue (kSquareParam, nullptr, v));
	EXPECT_FALSE (parseValue (16, "5", v));
	EXPECT_EQ (v, 0.42);
}

TEST (ParamTable, LegatoParsingNeverFails)
{
	struct Case
	{
		const char* text;
		double expected;
	};
	for (const Case& c : {Case{"On", 1.0}, Case{"On ", 0.0}, Case{"on", 0.0}, Case{"Off", 0.0}, Case{"0", 0.0},
	                      Case{"", 0.0}, Case{"xyz", 0.0}, Case{"1", 1.0}, Case{"0.3", 1.0}, Case{"2", 1.0},
	                      Case{"5", 1.0}, Case{"-1", 0.0}, Case{"nan", 0.0}})
	{
		double v = 0.5;
		EXPECT_TRUE (parseValue (kLegatoParam, c.text, v)) << c.text;
		EXPECT_EQ (v, c.expected) << '"' << c.text << '"';
	}
}

TEST (ParamTable, EveryFormattedTextParsesBackToTheSameText)
{
	for (int32_t id = 0; id < kNumParams; ++id)
		for (double x = 0.0; x <= 1.0; x += 1.0 / 64.0)
		{
			ValueText shown;
			formatValue (id, x, shown);
			double back = -1.0;
			ASSERT_TRUE (parseValue (id, shown, back)) << shown;
			EXPECT_EQ (text (id, back), std::string (shown)) << specs[id].name << " at " << x;
		}
}
