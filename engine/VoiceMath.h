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

inline double semitonesToHz (double semitones)
{
	return kReferenceFrequency * std::pow (2.0, semitones / kSemitonesPerOctave);
}

} // namespace Tarno
