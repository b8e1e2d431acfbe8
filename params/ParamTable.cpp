#include "params/ParamTable.h"

#include "params/NumberText.h"

#include <cmath>
#include <cstring>

namespace Tarno {

const ParamSpec specs[kNumParams] = {
	// name              unit    min     max     default (from kDefaultParams), steps
	{"Square",          "%",    0.0,    100.0,  kDefaultParams[kSquareParam], 0},
	{"Triangle",        "%",    0.0,    100.0,  kDefaultParams[kTriangleParam], 0},
	{"Sine",            "%",    0.0,    100.0,  kDefaultParams[kSineParam], 0},
	{"Attack",          "ms",   2.0,    3000.0, kDefaultParams[kAttackParam], 0},
	{"Release",         "ms",   5.0,    5000.0, kDefaultParams[kReleaseParam], 0},
	{"Glissando",       "ms",   0.0,    2000.0, kDefaultParams[kGlissandoParam], 0},
	{"Vibrato rate",    "Hz",   4.0,    8.0,    kDefaultParams[kVibratoRateParam], 0},
	{"Vibrato depth",   "cent", 0.0,    100.0,  kDefaultParams[kVibratoDepthParam], 0},
	{"Tremolo rate",    "Hz",   4.0,    8.0,    kDefaultParams[kTremoloRateParam], 0},
	{"Tremolo depth",   "%",    0.0,    100.0,  kDefaultParams[kTremoloDepthParam], 0},
	{"Transpose",       "oct",  -3.0,   3.0,    kDefaultParams[kTransposeParam], 6},
	{"Fine tune",       "cent", -100.0, 100.0,  kDefaultParams[kFineTuneParam], 0},
	{"Output",          "dB",   -60.0,  0.0,    kDefaultParams[kOutputParam], 0},
	{"Velocity",        "%",    0.0,    100.0,  kDefaultParams[kVelocityParam], 0},
	{"Legato",          "",     0.0,    1.0,    kDefaultParams[kLegatoParam], 1},
	{"Sine character",  "%",    0.0,    100.0,  kDefaultParams[kSineCharacterParam], 0},
};

double snapNormalized (int32_t id, double x)
{
	double c = clampNormalized (x);
	if (isTableParam (id) && specs[id].stepCount != 0)
	{
		const double steps = specs[id].stepCount;
		c = std::round (c * steps) / steps;
	}
	return c;
}

double toPlain (int32_t id, double normalized)
{
	if (!isTableParam (id))
		return normalized;
	const ParamSpec& spec = specs[id];
	double v = (spec.max - spec.min) * clampNormalized (normalized) + spec.min;
	if (spec.stepCount != 0)
		v = std::round (v);
	return v;
}

double toNormalized (int32_t id, double plain)
{
	if (!isTableParam (id))
		return plain;
	const ParamSpec& spec = specs[id];
	return clampNormalized ((plain - spec.min) / (spec.max - spec.min));
}

bool formatValue (int32_t id, double normalized, ValueText& text)
{
	text[0] = '\0';
	if (!isTableParam (id))
		return false;
	const ParamSpec& spec = specs[id];
	// toPlain rounds stepped values; adding +0.0 turns a rounded -0 (Transpose
	// just below its centre) into a plain 0 so that it reads "0 oct".
	const double v = toPlain (id, normalized) + 0.0;
	if (id == kLegatoParam)
	{
		std::strcpy (text, v > 0.5 ? "On" : "Off");
		return true;
	}
	// At most 9 characters of number (-5000.0) and a unit of at most 4.
	size_t length = formatFixed (v, spec.stepCount != 0 ? 0 : 1, text, kValueTextSize);
	text[length++] = ' ';
	std::strcpy (text + length, spec.unit);
	return true;
}

bool parseValue (int32_t id, const char* text, double& normalized)
{
	if (!isTableParam (id) || text == nullptr)
		return false;
	if (id == kLegatoParam)
	{
		double number = 0.0; // no number reads as 0, like atof
		parseNumber (text, number);
		normalized = (std::strcmp (text, "On") == 0 || number > 0.0) ? 1.0 : 0.0;
		return true;
	}
	double plain = 0.0;
	if (parseNumber (text, plain) == 0)
		return false;
	normalized = toNormalized (id, plain);
	return true;
}

} // namespace Tarno
