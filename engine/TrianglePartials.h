// The band-limited triangle: the sum of its odd partials up to a given
// harmonic, evaluated for the two oversampled sub-steps at once (one per
// lane of a Double2). Inline: the voice keeps the sines in registers.
#pragma once

#include "engine/Double2.h"

namespace Tarno {
namespace TARNO_VOICE_PATH {

// The 32 odd partials are split into eight interleaved series that each
// step by 16θ: series j holds harmonics 2j+1, 2j+17, 2j+33, 2j+49. Each
// series is summed with Clenshaw's recurrence; the eight are independent,
// which keeps the chain of dependent operations short.
constexpr int kTriangleSeries = 8;
constexpr int kTriangleTermsPerSeries = 4;
constexpr int kTriangleMaxPartials = kTriangleSeries * kTriangleTermsPerSeries;

// The AVX2 build runs two series side by side for both sub-steps in one
// Double4, lanes {series 2g at sub-step 0, at sub-step 1, series 2g + 1 at
// sub-step 0, at sub-step 1}; the baseline build runs one series for both
// sub-steps in one Double2.
#if defined(__AVX__)
using TriangleVector = Double4;
constexpr int kSeriesPerGroup = 2;
#else
using TriangleVector = Double2;
constexpr int kSeriesPerGroup = 1;
#endif
constexpr int kTriangleGroups = kTriangleSeries / kSeriesPerGroup;

// What the recurrence of one group of series needs: the coefficients a3 and
// a2 of their last two terms, a1 - a3, and a0 (0 beyond the partials summed).
struct TriangleCoefficients
{
	TriangleVector a3, a2, a1MinusA3, a0;
};

// The same sum written as Σ_j sin((2j+1)θ) · P_j(2 cos 16θ), over the
// eight series j (see triangleParts for where it comes from), with each
// P_j a cubic: P_j(α) = cubic[j] α³ + square[j] α² + linear[j] α +
// constant[j]. Every coefficient is stored in all four lanes of a vector
// (arithmetic reads it straight from memory), for the rendering of several
// samples at once, where each lane is a sub-step of its own.
struct TrianglePolynomial
{
	Double4 cubic[kTriangleSeries], square[kTriangleSeries], linear[kTriangleSeries], constant[kTriangleSeries];
};

// grouped[p][g]: the coefficients of group g when only the first p odd
// partials are summed; polynomial[p]: the cubics of that sum. Plain arrays:
// no library code is called from this build's inline functions.
struct TriangleWeights
{
	TriangleCoefficients grouped[kTriangleMaxPartials + 1][kTriangleGroups];
	TrianglePolynomial polynomial[kTriangleMaxPartials + 1];
};
extern const TriangleWeights kTriangleWeights;

// Sines of the first odd multiples of the oscillator angle θ, as the partial
// sums need them: for each group, in the lanes of its series j, sin φ where
// the series starts (φ = (2j+1)θ) and -sin(φ - 16θ) = sin((15-2j)θ); and
// 2 cos 16θ in every lane.
struct OddSines
{
	Double2 s[3]; // sin θ, sin 3θ, sin 5θ (the sine's character)
	TriangleVector start[kTriangleGroups], back[kTriangleGroups];
	TriangleVector twoCos16;
};

// Builds the odd sines from sin θ by angle addition:
// sin(a + d) = 2 cos d · sin a - sin(a - d), with 2 cos 2θ = 2 - 4 sin² θ
// and 2 cos 2d = (2 cos d)² - 2. Steps of 4θ and 8θ (instead of one step of
// 2θ at a time) keep the chain of dependent operations short.
__attribute__ ((always_inline)) inline OddSines oddSines (Double2 s1)
{
	const Double2 twoCos2 = mulAdd (s1 * s1, splat (-4.0), splat (2.0));
	const Double2 s3 = mulAdd (twoCos2, s1, s1); // sin 3θ = 2 cos 2θ sin θ + sin θ
	OddSines o;
	o.s[0] = s1;
	o.s[1] = s3;
#if defined(__AVX__)
	// Lanes {sin aθ, sin bθ} written {a, b}, each for both sub-steps.
	const Double4 c2 = join (twoCos2, twoCos2);
	const Double4 c4 = mulAdd (c2, c2, splat4 (-2.0)), c8 = mulAdd (c4, c4, splat4 (-2.0));
	const Double4 s1s3 = join (s1, s3), s3s1 = join (s3, s1);
	const Double4 s5s7 = mulAdd (c4, s1s3, s3s1), s7s5 = mulAdd (c4, s3s1, s1s3);
	const Double4 s9s11 = mulAdd (c8, s1s3, s7s5), s11s9 = mulAdd (c8, s3s1, s5s7);
	const Double4 s13s15 = mulAdd (c8, s5s7, s3s1), s15s13 = mulAdd (c8, s7s5, s1s3);
	o.s[2] = lowHalf (s5s7);
	o.start[0] = s1s3, o.back[0] = s15s13;
	o.start[1] = s5s7, o.back[1] = s11s9;
	o.start[2] = s9s11, o.back[2] = s7s5;
	o.start[3] = s13s15, o.back[3] = s3s1;
	o.twoCos16 = mulAdd (c8, c8, splat4 (-2.0));
#else
	const Double2 c4 = mulAdd (twoCos2, twoCos2, splat (-2.0)), c8 = mulAdd (c4, c4, splat (-2.0));
	Double2 s[8];
	s[0] = s1;
	s[1] = s3;
	s[2] = mulAdd (c4, s[0], s[1]); // sin 5θ = 2 cos 4θ sin θ + sin 3θ
	s[3] = mulAdd (c4, s[1], s[0]);
	s[4] = mulAdd (c8, s[0], s[3]); // sin 9θ = 2 cos 8θ sin θ + sin 7θ
	s[5] = mulAdd (c8, s[1], s[2]);
	s[6] = mulAdd (c8, s[2], s[1]);
	s[7] = mulAdd (c8, s[3], s[0]);
	o.s[2] = s[2];
	for (int j = 0; j < kTriangleSeries; ++j)
	{
		o.start[j] = s[j];
		o.back[j] = s[kTriangleSeries - 1 - j];
	}
	o.twoCos16 = mulAdd (c8, c8, splat (-2.0));
#endif
	return o;
}

// (8/π²) · Σ (-1)^((i-1)/2) · sin(iθ) / i² over the first `partials` odd i
// (at most 32), for both sub-steps, in parts: the sum of the lanes of each
// sub-step is its triangle (in the AVX2 build lanes 0 and 2 for sub-step 0,
// lanes 1 and 3 for sub-step 1; in the baseline build one lane each).
__attribute__ ((always_inline)) inline TriangleVector triangleParts (const OddSines& sines, int partials)
{
	if (partials == 0)
		return TriangleVector{};
	const TriangleCoefficients* weights = kTriangleWeights.grouped[partials];
	const TriangleVector alpha = sines.twoCos16;

	// Clenshaw: b_m = a_m + 2cos(16θ) · b_{m+1} - b_{m+2}, from the last term
	// down; then Σ a_m sin(φ + 16mθ) = b_0 sin φ - b_1 sin(φ - 16θ), where
	// series j starts at φ = (2j+1)θ and sin(φ - 16θ) = -sin((15-2j)θ).
	// With b_0 written out, the sum is
	//   b_1 · (2cos(16θ) sin φ - sin(φ - 16θ)) + (a_0 - b_2) · sin φ,
	// whose parts wait for one multiply-add less.
	TriangleVector terms[kTriangleGroups];
#pragma GCC unroll 8
	for (int g = 0; g < kTriangleGroups; ++g)
	{
		const TriangleCoefficients& w = weights[g];
		const TriangleVector start = sines.start[g];
		const TriangleVector b2 = mulAdd (alpha, w.a3, w.a2);
		const TriangleVector b1 = mulAdd (alpha, b2, w.a1MinusA3);
		const TriangleVector turned = mulAdd (alpha, start, sines.back[g]);
		terms[g] = mulAdd (b1, turned, negMulAdd (b2, start, w.a0 * start));
	}
	// Added pairwise.
#if defined(__AVX__)
	return (terms[0] + terms[1]) + (terms[2] + terms[3]);
#else
	return ((terms[0] + terms[1]) + (terms[2] + terms[3])) + ((terms[4] + terms[5]) + (terms[6] + terms[7]));
#endif
}

// The triangle at both sub-steps.
__attribute__ ((always_inline)) inline Double2 triangle (const OddSines& sines, int partials)
{
	const TriangleVector parts = triangleParts (sines, partials);
#if defined(__AVX__)
	return lowHalf (parts) + highHalf (parts);
#else
	return parts;
#endif
}

// The odd sines sin θ, sin 3θ ... sin 15θ of several sub-steps, one per
// lane of a Double2 or a Double4, and 2 cos 16θ: the same steps as
// oddSines, so each lane holds what oddSines gives for its sub-step, bit
// for bit.
template <typename V>
struct OddSinesAcross
{
	V s[kTriangleSeries]; // s[j] = sin((2j + 1) θ)
	V twoCos16;
};

template <typename V>
__attribute__ ((always_inline)) inline OddSinesAcross<V> oddSinesAcross (const V& s1)
{
	const V zero = {};
	const V twoCos2 = mulAdd (s1 * s1, zero - 4.0, zero + 2.0);
	const V c4 = mulAdd (twoCos2, twoCos2, zero - 2.0), c8 = mulAdd (c4, c4, zero - 2.0);
	OddSinesAcross<V> o;
	V* s = o.s;
	s[0] = s1;
	s[1] = mulAdd (twoCos2, s1, s1);
	s[2] = mulAdd (c4, s[0], s[1]);
	s[3] = mulAdd (c4, s[1], s[0]);
	s[4] = mulAdd (c8, s[0], s[3]);
	s[5] = mulAdd (c8, s[1], s[2]);
	s[6] = mulAdd (c8, s[2], s[1]);
	s[7] = mulAdd (c8, s[3], s[0]);
	o.twoCos16 = mulAdd (c8, c8, zero - 2.0);
	return o;
}

// A coefficient stored four-wide, for a vector of sub-steps whose first
// half has the partial count of `first` and whose second half that of
// `second` (a Double4 holds two samples, a Double2 one).
__attribute__ ((always_inline)) inline Double4 coefficient (const Double4& first, const Double4& second, bool same, Double4*)
{
	return same ? first : __builtin_shufflevector (first, second, 0, 1, 6, 7);
}
__attribute__ ((always_inline)) inline Double2 coefficient (const Double4& first, const Double4&, bool, Double2*)
{
	Double2 low;
	__builtin_memcpy (&low, &first, sizeof low);
	return low;
}

// The triangle of the sub-steps in a vector from their odd sines: Clenshaw's
// sums of triangleParts, multiplied out. With α = 2 cos 16θ and
// s_j = sin((2j+1)θ), series j adds
//   b1_j (α s_j + s_{7-j}) + (a0_j - b2_j) s_j,
// b2_j = α a3_j + a2_j and b1_j = α b2_j + (a1_j - a3_j); gathered by s_j,
// the whole sum is Σ_j s_j P_j(α) with the cubics of TrianglePolynomial.
// Four sums of eight products and three steps of Horner's scheme: about
// two thirds of the operations of the eight Clenshaw sums. Rounded
// differently from triangle (), within a few units of the last place.
// `first` and `second` are the partial counts (see coefficient).
template <typename V, bool same>
__attribute__ ((always_inline)) inline V triangleAcross (const OddSinesAcross<V>& o, const TrianglePolynomial& a,
                                                         const TrianglePolynomial& b)
{
	auto pick = [] (const Double4& x, const Double4& y) { return coefficient (x, y, same, static_cast<V*> (nullptr)); };
	V cubic = o.s[0] * pick (a.cubic[0], b.cubic[0]), square = o.s[0] * pick (a.square[0], b.square[0]);
	V linear = o.s[0] * pick (a.linear[0], b.linear[0]), constant = o.s[0] * pick (a.constant[0], b.constant[0]);
#pragma GCC unroll 8
	for (int j = 1; j < kTriangleSeries; ++j)
	{
		cubic = mulAdd (o.s[j], pick (a.cubic[j], b.cubic[j]), cubic);
		square = mulAdd (o.s[j], pick (a.square[j], b.square[j]), square);
		linear = mulAdd (o.s[j], pick (a.linear[j], b.linear[j]), linear);
		constant = mulAdd (o.s[j], pick (a.constant[j], b.constant[j]), constant);
	}
	const V alpha = o.twoCos16;
	return mulAdd (mulAdd (mulAdd (cubic, alpha, square), alpha, linear), alpha, constant);
}

template <typename V>
__attribute__ ((always_inline)) inline V triangleAcross (const OddSinesAcross<V>& o, int first, int second)
{
	const TrianglePolynomial* w = kTriangleWeights.polynomial;
	if (__builtin_expect (first == second && first != 0, 1))
		return triangleAcross<V, true> (o, w[first], w[first]);
	V sum = triangleAcross<V, false> (o, w[first], w[second]);
	// No partials (a NaN step only): 0, as triangle () gives.
	constexpr int lanes = sizeof (V) / sizeof (double);
	for (int lane = 0; lane < lanes; ++lane)
		if ((lane < lanes / 2 ? first : second) == 0)
			sum[lane] = 0.0;
	return sum;
}

// Coefficients of several sums Σ_j s_j Q_j(α), each Q_j a cubic:
// [c][j][lane] holds coefficient c of Q_j (cubic, square, linear,
// constant) for a sub-step's lane. Plain doubles, read four-wide from an
// array aligned to 16 bytes.
using SeriesCubics = double[4][kTriangleSeries][4];

// The triangle at `partials` odd partials scaled by triangleGain, plus the
// sine at sineGain with its third and fifth harmonics at `third` and
// `fifth`: the triangle's cubics scaled, with the sine's terms added to the
// constant terms of series 0, 1 and 2 (s_0, s_1, s_2 are sin θ, sin 3θ,
// sin 5θ).
inline void mixCubics (SeriesCubics& q, int partials, double triangleGain, double sineGain, double third, double fifth)
{
	const TrianglePolynomial& t = kTriangleWeights.polynomial[partials];
	const double sine[kTriangleSeries] = {sineGain, sineGain * third, sineGain * fifth};
	for (int j = 0; j < kTriangleSeries; ++j)
		for (int lane = 0; lane < 4; ++lane)
		{
			q[0][j][lane] = triangleGain * t.cubic[j][lane];
			q[1][j][lane] = triangleGain * t.square[j][lane];
			q[2][j][lane] = triangleGain * t.linear[j][lane];
			q[3][j][lane] = triangleGain * t.constant[j][lane] + sine[j];
		}
}

// start + Σ_j s_j Q_j(α) of the sub-steps in a vector, summed as
// triangleAcross sums its cubics.
template <typename V>
__attribute__ ((always_inline)) inline V seriesSum (const OddSinesAcross<V>& o, const SeriesCubics& q, const V& start)
{
	auto at = [&q] (int c, int j) { return readLanes (q[c][j], static_cast<V*> (nullptr)); };
	// Each coefficient's sum in two halves (series 0 to 3 and 4 to 7), whose
	// chains of multiply-adds are half as long; the cubic by Estrin's scheme.
	V sums[2][4];
#pragma GCC unroll 2
	for (int half = 0; half < 2; ++half)
	{
		const int first = half * kTriangleSeries / 2;
#pragma GCC unroll 4
		for (int c = 0; c < 4; ++c)
			sums[half][c] = half == 0 && c == 3 ? mulAdd (o.s[first], at (c, first), start) : o.s[first] * at (c, first);
#pragma GCC unroll 4
		for (int j = first + 1; j < first + kTriangleSeries / 2; ++j)
#pragma GCC unroll 4
			for (int c = 0; c < 4; ++c)
				sums[half][c] = mulAdd (o.s[j], at (c, j), sums[half][c]);
	}
	const V cubic = sums[0][0] + sums[1][0], square = sums[0][1] + sums[1][1];
	const V linear = sums[0][2] + sums[1][2], constant = sums[0][3] + sums[1][3];
	const V alpha = o.twoCos16;
	return mulAdd (mulAdd (cubic, alpha, square), alpha * alpha, mulAdd (linear, alpha, constant));
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
