// The band-limited triangle: the sum of its odd partials up to a given
// harmonic, evaluated for the two oversampled sub-steps at once (one per
// lane of a Double2). Inline: the voice keeps the sines in registers.
#pragma once

#include "engine/Double2.h"

#include <array>

namespace Tarno {
namespace TARNO_VOICE_PATH {

// Sines of the first odd multiples of the oscillator angle θ, and what the
// partial sums need from them.
struct OddSines
{
	Double2 s[8];     // sin θ, sin 3θ, ..., sin 15θ
	Double2 twoCos16; // 2 cos 16θ
};

// The 32 odd partials are split into eight interleaved series that each
// step by 16θ: series j holds harmonics 2j+1, 2j+17, 2j+33, 2j+49. Each
// series is summed with Clenshaw's recurrence; the eight are independent,
// which keeps the chain of dependent operations short, and each runs for
// both sub-steps in one Double2.
constexpr int kTriangleSeries = 8;
constexpr int kTriangleTermsPerSeries = 4;
constexpr int kTriangleMaxPartials = kTriangleSeries * kTriangleTermsPerSeries;

// weights[p][m][j]: the coefficient of term m in series j when only the
// first p odd partials are summed (0 beyond them), in both lanes.
using TriangleWeights = std::array<std::array<std::array<Double2, kTriangleSeries>, kTriangleTermsPerSeries>,
                                   kTriangleMaxPartials + 1>;
extern const TriangleWeights kTriangleWeights;

// Builds the odd sines from sin θ and cos θ by angle addition.
__attribute__ ((always_inline)) inline OddSines oddSines (Double2 s1, Double2 c1)
{
	// The odd sines follow sin((k+2)θ) = 2 cos 2θ · sin kθ − sin((k−2)θ),
	// starting from sin(−θ) = −sin θ; 2 cos 16θ comes from doubling the angle.
	OddSines o;
	const Double2 twoCos2 = 2.0 * ((c1 - s1) * (c1 + s1));
	o.s[0] = s1;
	o.s[1] = mulAdd (twoCos2, s1, s1);
	for (int k = 2; k < 8; ++k)
		o.s[k] = mulSub (twoCos2, o.s[k - 1], o.s[k - 2]);
	const Double2 c2 = 0.5 * twoCos2;
	const Double2 c4 = 2.0 * c2 * c2 - 1.0;
	const Double2 c8 = 2.0 * c4 * c4 - 1.0;
	o.twoCos16 = 2.0 * (2.0 * c8 * c8 - 1.0);
	return o;
}

// (8/π²) · Σ (-1)^((i-1)/2) · sin(iθ) / i² over odd i up to `highestHarmonic`
// (at most 63).
__attribute__ ((always_inline)) inline Double2 triangle (const OddSines& sines, int highestHarmonic)
{
	const int partials = highestHarmonic >= 1 ? (highestHarmonic + 1) / 2 : 0;
	if (partials == 0)
		return splat (0.0);
	const auto& weights = kTriangleWeights[partials];
	const Double2 alpha = sines.twoCos16;

	// Clenshaw: b_m = a_m + 2cos(16θ) · b_{m+1} - b_{m+2}, from the last term
	// down; then Σ a_m sin(φ + 16mθ) = b_0 sin φ - b_1 sin(φ - 16θ), where
	// series j starts at φ = (2j+1)θ and sin(φ - 16θ) = -sin((15-2j)θ).
	Double2 terms[kTriangleSeries];
#pragma GCC unroll 8
	for (int j = 0; j < kTriangleSeries; ++j)
	{
		const Double2 b3 = weights[3][j];
		const Double2 b2 = mulAdd (alpha, b3, weights[2][j]);
		const Double2 b1 = mulAdd (alpha, b2, weights[1][j] - b3);
		const Double2 b0 = mulAdd (alpha, b1, weights[0][j] - b2);
		terms[j] = mulAdd (b0, sines.s[j], b1 * sines.s[kTriangleSeries - 1 - j]);
	}
	// Added pairwise, three additions deep instead of eight.
	return ((terms[0] + terms[1]) + (terms[2] + terms[3])) + ((terms[4] + terms[5]) + (terms[6] + terms[7]));
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
