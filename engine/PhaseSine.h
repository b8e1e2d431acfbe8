// Sine of a phase given in cycles, without a library call. The phase is
// reduced to the nearest half cycle, leaving r in [-1/4, 1/4], where an odd
// polynomial of degree 15 in r matches sin(2π r) to within 3e-16 (its
// coefficients are the near-minimax Chebyshev fit of sin(2π r) / r in r²,
// so 2π is folded in and the polynomial reads the reduced phase directly).
// Works on a Double2 or a Double4 of phases; every step is a whole-register
// operation.
#pragma once

#include "engine/Double2.h"

namespace Tarno {
namespace TARNO_VOICE_PATH {

// sin(2π · phase) of every lane, for phases in [-2^50, 2^50]; `reduced`
// receives each phase's signed distance to its nearest half cycle (exact).
template <typename V>
__attribute__ ((always_inline)) inline V sinCycles (const V& phase, V& reduced)
{
	const V zero = {};
	auto all = [zero] (double a) { return zero + a; };

	// Adding 1.5 · 2^52 rounds to the nearest integer and leaves it in the low
	// bits: the nearest half cycle n (0 to 2 for a phase in [0, 1)).
	constexpr double kRoundingShift = 6755399441055744.0;
	const V shifted = mulAdd (phase, all (2.0), all (kRoundingShift)); // 2 · phase is exact
	const V half = shifted - kRoundingShift;
	const auto n = bitsOf (shifted);
	const V r = mulAdd (half, all (-0.5), phase); // exact

	// The polynomial in z = r² by Estrin's scheme: independent pairs of terms
	// keep the chain of dependent operations short; each pair a + b · z and
	// each join is one mulAdd.
	constexpr double c[8] = {6.283185307179585,  -41.341702240398284, 81.60524927557977,   -76.70585968962867,
	                         42.05868995395094,  -15.09450614073429,  3.817365633469135,   -0.6925067010720717};
	const V z = r * r, z2 = z * z, z4 = z2 * z2;
	auto pair = [z, all] (double a, double b) { return mulAdd (z, all (b), all (a)); };
	const V sinR = r * mulAdd (z4, mulAdd (z2, pair (c[6], c[7]), pair (c[4], c[5])), mulAdd (z2, pair (c[2], c[3]), pair (c[0], c[1])));

	// sin(2π (r + n/2)) = (-1)^n sin(2π r): an odd n flips the sign bit.
	reduced = r;
	return fromBits (bitsOf (sinR) ^ (n << 63));
}

template <typename V>
__attribute__ ((always_inline)) inline V sinCycles (const V& phase)
{
	V reduced;
	return sinCycles (phase, reduced);
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
