#include "engine/TrianglePartials.h"

#include "engine/Double2.h"
#include "engine/VoiceConstants.h"

#include <array>

namespace Tarno {

namespace {

// The 32 odd partials are split into four interleaved series that each step
// by 8θ: series j holds harmonics 2j+1, 2j+9, ..., 2j+57. Each series is
// summed with Clenshaw's recurrence, so the four series are independent, and
// each runs for both sub-steps in one Double2.
constexpr int kSeries = 4;
constexpr int kTermsPerSeries = 8;
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
	const Double2 s2 = 2.0 * s1 * c1, c2 = (c1 - s1) * (c1 + s1);
	const Double2 s3 = s1 * c2 + c1 * s2, c3 = c1 * c2 - s1 * s2;
	const Double2 s5 = s3 * c2 + c3 * s2, c5 = c3 * c2 - s3 * s2;
	const Double2 s7 = s5 * c2 + c5 * s2;
	const Double2 s4 = 2.0 * s2 * c2;
	const Double2 c8 = 1.0 - 2.0 * s4 * s4;
	return {s1, s3, s5, s7, 2.0 * c8};
}

Double2 triangle (const OddSines& sines, int highestHarmonic)
{
	const int partials = highestHarmonic >= 1 ? (highestHarmonic + 1) / 2 : 0;
	if (partials == 0)
		return splat (0.0);
	const auto& weights = kWeights[partials];

	// Series j starts at sin((2j+1)θ); the sine one step before its start is
	// sin((2j+1)θ - 8θ) = -sin((7-2j)θ).
	const Double2 first[kSeries] = {sines.s1, sines.s3, sines.s5, sines.s7};
	const Double2 alpha = sines.twoCos8;

	// Clenshaw: b_m = a_m + 2cos(8θ) · b_{m+1} - b_{m+2}, from the last term down.
	Double2 b1[kSeries] = {}, b2[kSeries] = {};
#pragma GCC unroll 8
	for (int m = kTermsPerSeries - 1; m >= 0; --m)
	{
#pragma GCC unroll 4
		for (int j = 0; j < kSeries; ++j)
		{
			// (a_m - b_{m+2}) does not wait for the previous step.
			const Double2 b0 = (weights[m][j] - b2[j]) + alpha * b1[j];
			b2[j] = b1[j];
			b1[j] = b0;
		}
	}

	// Σ a_m sin(φ + 8mθ) = b_0 sin φ - b_1 sin(φ - 8θ) = b_0 sin φ + b_1 sin((7-2j)θ)
	Double2 sum = splat (0.0);
	for (int j = 0; j < kSeries; ++j)
		sum += b1[j] * first[j] + b2[j] * first[kSeries - 1 - j];
	return sum;
}

} // namespace Tarno
