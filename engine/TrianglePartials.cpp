#include "engine/TrianglePartials.h"

#include "engine/Double2.h"
#include "engine/VoiceConstants.h"

#include <array>

namespace Tarno {

namespace {

// The 32 odd partials are split into eight interleaved series that each
// step by 16θ: series j holds harmonics 2j+1, 2j+17, 2j+33, 2j+49. Each
// series is summed with Clenshaw's recurrence; the eight are independent,
// which keeps the chain of dependent operations short, and each runs for
// both sub-steps in one Double2.
constexpr int kSeries = 8;
constexpr int kTermsPerSeries = 4;
constexpr int kMaxPartials = kSeries * kTermsPerSeries;

// weights[p][m][j]: the coefficient of term m in series j when only the
// first p odd partials are summed (0 beyond them), in both lanes.
using WeightTable = std::array<std::array<std::array<Double2, kSeries>, kTermsPerSeries>, kMaxPartials + 1>;

WeightTable makeWeights ()
{
	WeightTable w{};
	for (int p = 0; p <= kMaxPartials; ++p)
		for (int m = 0; m < kTermsPerSeries; ++m)
			for (int j = 0; j < kSeries; ++j)
			{
				const int partial = j + kSeries * m; // 0-based index among odd harmonics
				const double harmonic = 2 * partial + 1;
				const double sign = j % 2 == 0 ? 1.0 : -1.0; // + for 1, 5, 9...; - for 3, 7, 11...
				w[p][m][j] = splat (partial < p ? sign * kTriangleGain / (harmonic * harmonic) : 0.0);
			}
	return w;
}

const WeightTable kWeights = makeWeights ();


} // namespace

OddSines oddSines (Double2 s1, Double2 c1)
{
	// The odd sines follow sin((k+2)θ) = 2 cos 2θ · sin kθ − sin((k−2)θ),
	// starting from sin(−θ) = −sin θ; 2 cos 16θ comes from doubling the angle.
	OddSines o;
	const Double2 twoCos2 = 2.0 * ((c1 - s1) * (c1 + s1));
	o.s[0] = s1;
	o.s[1] = twoCos2 * s1 + s1;
	for (int k = 2; k < 8; ++k)
		o.s[k] = twoCos2 * o.s[k - 1] - o.s[k - 2];
	const Double2 c2 = 0.5 * twoCos2;
	const Double2 c4 = 2.0 * c2 * c2 - 1.0;
	const Double2 c8 = 2.0 * c4 * c4 - 1.0;
	o.twoCos16 = 2.0 * (2.0 * c8 * c8 - 1.0);
	return o;
}

Double2 triangle (const OddSines& sines, int highestHarmonic)
{
	const int partials = highestHarmonic >= 1 ? (highestHarmonic + 1) / 2 : 0;
	if (partials == 0)
		return splat (0.0);
	const auto& weights = kWeights[partials];
	const Double2 alpha = sines.twoCos16;

	// Clenshaw: b_m = a_m + 2cos(16θ) · b_{m+1} - b_{m+2}, from the last term
	// down; then Σ a_m sin(φ + 16mθ) = b_0 sin φ - b_1 sin(φ - 16θ), where
	// series j starts at φ = (2j+1)θ and sin(φ - 16θ) = -sin((15-2j)θ).
	Double2 terms[kSeries];
#pragma GCC unroll 8
	for (int j = 0; j < kSeries; ++j)
	{
		const Double2 b3 = weights[3][j];
		const Double2 b2 = weights[2][j] + alpha * b3;
		const Double2 b1 = (weights[1][j] - b3) + alpha * b2;
		const Double2 b0 = (weights[0][j] - b2) + alpha * b1;
		terms[j] = b0 * sines.s[j] + b1 * sines.s[kSeries - 1 - j];
	}
	// Added pairwise, three additions deep instead of eight.
	return ((terms[0] + terms[1]) + (terms[2] + terms[3])) + ((terms[4] + terms[5]) + (terms[6] + terms[7]));
}

} // namespace Tarno
