// Physical values of the voice from normalized parameter values.
#pragma once

#include "engine/VoiceConstants.h"
#include "params/ParamTable.h"

#include <cmath>

namespace Tarno {

inline double attackSeconds (double u) { return (kAttackMinMs + kAttackSpanMs * clampNormalized (u)) * 0.001; }
inline double releaseSeconds (double u) { return (kReleaseMinMs + kReleaseSpanMs * clampNormalized (u)) * 0.001; }
inline double glideSeconds (double u) { return kGlideSpanMs * clampNormalized (u) * 0.001; }
inline double modRateHz (double u) { return kModRateMinHz + kModRateSpanHz * clampNormalized (u); }
inline double vibratoCents (double u) { return kVibratoSpanCents * clampNormalized (u); }
inline double outputDecibels (double u) { return kOutputSpanDb * clampNormalized (u) - kOutputSpanDb; }

// Whole octaves, in semitones.
inline double transposeSemitones (double u)
{
	return kSemitonesPerOctave * std::round (kTransposeSteps * clampNormalized (u) - kTransposeOctaves);
}

inline double fineSemitones (double u) { return (kFineSpanCents * clampNormalized (u) - kFineMinCents) / kCentsPerSemitone; }

// The triangle's odd partials (harmonics 1, 3, 5...) below its band limit
// for an oscillator step of dt cycles per sub-step: harmonics up to
// 0.48 / dt, at most 63; none for a NaN step. The count from the ratio
// 0.48 / dt itself, and from the step. Always inlined: the AVX2 build of
// the voice calls them too, and must not leave a copy another caller could
// link to.
__attribute__ ((always_inline)) inline int trianglePartialsBelow (double highestHarmonic)
{
	const double n = highestHarmonic;
	const int highest = n >= kMaxTriangleHarmonic ? kMaxTriangleHarmonic : n >= 1.0 ? static_cast<int> (n) : 0;
	return (highest + 1) / 2;
}

__attribute__ ((always_inline)) inline int trianglePartialCount (double dt)
{
	return trianglePartialsBelow (kTriangleBandLimit / dt);
}

inline double semitonesToHz (double semitones)
{
	return kReferenceFrequency * std::pow (2.0, semitones / kSemitonesPerOctave);
}

} // namespace Tarno
