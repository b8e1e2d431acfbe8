// The fixed numbers of the voice, named once.
#pragma once

namespace Tarno {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

constexpr double kMinSampleRate = 8000.0;
constexpr double kSmoothingTime = 0.008;       // seconds, one-pole time constant
constexpr double kReferencePitch = 69.0;       // MIDI note of the reference frequency
constexpr double kReferenceFrequency = 440.0;  // Hz
constexpr double kPitchBendRange = 4.0;        // semitones from bend 0 to bend 1 (±2)
constexpr double kMinFrequency = 16.0;         // Hz, lowest target pitch
constexpr double kMaxFrequency = 16000.0;      // Hz, highest target pitch
constexpr double kMaxTargetRatio = 0.4;        // target pitch at most 0.4 · fs
constexpr double kMaxVibratoRatio = 0.44;      // pitch after vibrato at most 0.44 · fs
constexpr double kMinGlideTime = 0.0005;       // seconds; shorter glides jump
constexpr double kRetriggerFadeTime = 0.002;   // seconds
constexpr double kModWheelCents = 50.0;        // vibrato depth added by a full mod wheel
constexpr double kMaxVibratoCents = 150.0;
constexpr double kCentsPerOctave = 1200.0;
constexpr double kSemitonesPerOctave = 12.0;
constexpr double kDecibelsPerDecade = 20.0;

constexpr double kTriangleBandLimit = 0.48;    // highest partial at 0.48 of the doubled rate
constexpr int kMaxTriangleHarmonic = 63;       // 32 odd partials at most
constexpr double kTriangleGain = 0.8105694691387022; // 8 / π²

constexpr double kSineThirdHarmonic = 0.035;   // per unit of sine character
constexpr double kSineFifthHarmonic = 0.01;
constexpr double kSineCharacterNorm = 0.045;    // keeps the peak near 1 (0.035 + 0.01)

// Ranges of the physical parameter values, from normalized [0, 1].
constexpr double kAttackMinMs = 2.0, kAttackSpanMs = 2998.0;
constexpr double kReleaseMinMs = 5.0, kReleaseSpanMs = 4995.0;
constexpr double kGlideSpanMs = 2000.0;
constexpr double kModRateMinHz = 4.0, kModRateSpanHz = 4.0; // vibrato and tremolo
constexpr double kVibratoSpanCents = 100.0;
constexpr double kTransposeSteps = 6.0, kTransposeOctaves = 3.0;
constexpr double kFineSpanCents = 200.0, kFineMinCents = 100.0, kCentsPerSemitone = 100.0;
constexpr double kOutputSpanDb = 60.0;

// Fourth-order Butterworth low-pass at 0.22 of the doubled rate (0.44 · fs),
// two sections from the bilinear transform with K = tan(0.22 π).
struct BiquadCoefficients
{
	double b0, b1, b2, a1, a2;
};
constexpr BiquadCoefficients kDecimatorSections[2] = {
	{0.213004523863556, 0.426009047727112, 0.213004523863556, -0.1964664037914004, 0.048484499245624375},
	{0.29530333050192425, 0.5906066610038485, 0.29530333050192425, -0.2723753576637668, 0.4535886796714638},
};

} // namespace Tarno
