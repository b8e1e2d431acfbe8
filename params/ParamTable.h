// The table of the 16 sound parameters and the conversions between
// normalized values (what crosses every interface), plain values (what a
// user reads) and text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace Tarno {

constexpr int32_t kNumParams = 16;

// Sound parameters, in ID order.
enum ParamId : int32_t
{
	kSquareParam = 0,
	kTriangleParam,
	kSineParam,
	kAttackParam,
	kReleaseParam,
	kGlissandoParam,
	kVibratoRateParam,
	kVibratoDepthParam,
	kTremoloRateParam,
	kTremoloDepthParam,
	kTransposeParam,
	kFineTuneParam,
	kOutputParam,
	kVelocityParam,
	kLegatoParam,
	kSineCharacterParam,
};

// Hidden parameters that carry MIDI controller data from host to processor.
enum MidiParamId : int32_t
{
	kPitchBendParam = 100,
	kModWheelParam = 101,
	kSustainParam = 102,
	kAllNotesOffParam = 103,
};

// 16 normalized values in parameter-ID order.
using ParamBlock = std::array<double, kNumParams>;

struct ParamSpec
{
	const char* name;
	const char* unit;
	double min;
	double max;
	double defaultNormalized;
	int32_t stepCount; // 0: continuous; n > 0: n + 1 evenly spaced plain values
};

extern const ParamSpec specs[kNumParams];

// The normalized defaults of all 16 parameters.
constexpr ParamBlock kDefaultParams = {0.55, 0.3,  0.15, 0.00266845, 0.055055, 0.0, 0.5, 0.0,
                                       0.25, 0.0,  0.5,  0.5,        0.8,      0.0, 1.0, 0.35};

// Size of the buffer that formatValue writes (at most 63 characters).
constexpr size_t kValueTextSize = 64;
using ValueText = char[kValueTextSize];

inline bool isTableParam (int32_t id) { return id >= 0 && id < kNumParams; }

// Forces x into [0, 1]; NaN and both infinities give 0.
inline double clampNormalized (double x)
{
	if (!(x >= 0.0 && x <= 1.0))
		return x > 1.0 && x < std::numeric_limits<double>::infinity () ? 1.0 : 0.0;
	return x;
}

// clampNormalized, then moved to the nearest step for a stepped parameter.
double snapNormalized (int32_t id, double x);

// Normalized to plain; stepped parameters give whole step values.
// IDs outside the table return their input unchanged.
double toPlain (int32_t id, double normalized);

// Plain to normalized, clamped to [0, 1], not snapped.
// IDs outside the table return their input unchanged.
double toNormalized (int32_t id, double plain);

// Display text of a normalized value, for example "55.0 %" or "-3 oct".
// Returns false (and writes an empty text) for IDs outside the table.
bool formatValue (int32_t id, double normalized, ValueText& text);

// Reads a typed text as a plain value and gives its normalized form.
// Returns false, leaving `normalized` untouched, when the text holds no
// number (Legato never fails) or the ID is outside the table.
bool parseValue (int32_t id, const char* text, double& normalized);

} // namespace Tarno
