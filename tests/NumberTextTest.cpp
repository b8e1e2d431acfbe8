// Numbers to and from text as the "C" locale has them: the same texts and
// values as printf and strtod give in the "C" locale, also while the process
// runs in a decimal-comma locale.
#include "params/NumberText.h"
#include "params/ParamTable.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

using namespace Tarno;

namespace {

const char* const kTexts[] = {
	"-6.5 dB", "  \t+5", "--5", "+-5", "-", "", "abc", ".5", "-.5e1x", "5.", "1e", "1e+", "1e-3%",
	"0x1p3", "0X1.8p1", "0x", "0xg", "0x.8", "-0x10", "1e999", "-1e999", "1e-400", "-1e-400",
	"0.0000000000000000000000000000000000001e-300", "1e-320", "179769313486231570000000000000000000000000000"
	"000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
	"000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
	"000000000000000000000000000000000000000000000000000000000000000000000.5", "9e308", "0x1p-2000",
	"0x1p2000", "inf", "-Infinity", "INFINITE", "nan", "-nan", "nan(12)", "nanx", "in", "1,5", "12abc", " 0 ",
};

std::string fixedByPrintf (double v, int decimals)
{
	char text[512];
	std::snprintf (text, sizeof text, "%.*f", decimals, v);
	return text;
}

// Sets a decimal-comma locale for numbers; false when the system has none.
bool setCommaLocale ()
{
	for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "German_Germany.1252", "de-DE"})
		if (std::setlocale (LC_NUMERIC, name) != nullptr && std::strcmp (std::localeconv ()->decimal_point, ",") == 0)
			return true;
	std::setlocale (LC_NUMERIC, "C");
	return false;
}

} // namespace

// Reading agrees with strtod in the "C" locale: the characters used and the
// value, bit for bit (NaN as NaN), out-of-range numbers included.
TEST (NumberText, ParsesLikeStrtodInTheCLocale)
{
	for (const char* text : kTexts)
	{
		char* end = nullptr;
		const double expected = std::strtod (text, &end);
		double value = 42.0;
		const size_t used = parseNumber (text, value);
		EXPECT_EQ (used, size_t (end - text)) << '"' << text << '"';
		if (used == 0)
			EXPECT_EQ (value, 42.0) << text;
		else if (std::isnan (expected))
			EXPECT_TRUE (std::isnan (value)) << text;
		else
			EXPECT_EQ (value, expected) << text;
	}
	double value = 1.0;
	EXPECT_EQ (parseNumber (nullptr, value), 0u);
}

// Writing agrees with printf's "%.*f"; a text that does not fit, and a value
// that is not finite, give an empty text and 0.
TEST (NumberText, FormatsLikePrintfInTheCLocale)
{
	std::mt19937_64 random (7);
	std::uniform_real_distribution<double> any (-6000.0, 6000.0);
	for (int i = 0; i < 2000; ++i)
	{
		const double v = i < 1000 ? any (random) : std::round (any (random) * 20.0) / 20.0; // ties included
		for (int decimals : {0, 1, 4})
		{
			char text[64];
			const std::string expected = fixedByPrintf (v, decimals);
			EXPECT_EQ (formatFixed (v, decimals, text, sizeof text), expected.size ());
			EXPECT_EQ (text, expected) << v;
		}
	}
	char small[8] = "xxxxxxx";
	EXPECT_EQ (formatFixed (1e308, 4, small, sizeof small), 0u);
	EXPECT_STREQ (small, "");
	EXPECT_EQ (formatFixed (-123.25, 2, small, sizeof small), 7u); // exactly fits with its NUL
	EXPECT_STREQ (small, "-123.25");
	for (double v : {NAN, INFINITY, -INFINITY})
	{
		char text[16] = "x";
		EXPECT_EQ (formatFixed (v, 1, text, sizeof text), 0u);
		EXPECT_STREQ (text, "");
	}
}

// In a decimal-comma locale the value texts stay as they are in "C".
TEST (NumberText, ValueTextsIgnoreTheProcessLocale)
{
	if (!setCommaLocale ())
		GTEST_SKIP () << "no decimal-comma locale installed";
	ValueText text;
	formatValue (kOutputParam, 0.9, text);
	double normalized = 0.0;
	const bool parsed = parseValue (kOutputParam, "-6.5", normalized);
	double comma = 0.0;
	parseNumber ("-6,5", comma);
	std::setlocale (LC_NUMERIC, "C");

	EXPECT_STREQ (text, "-6.0 dB");
	EXPECT_TRUE (parsed);
	EXPECT_DOUBLE_EQ (toPlain (kOutputParam, normalized), -6.5);
	EXPECT_EQ (comma, -6.0);
}
