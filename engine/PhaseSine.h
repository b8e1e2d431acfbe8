// Sine of a phase given in cycles, without a library call. The phase is
// reduced to the nearest half cycle, leaving r in [-1/4, 1/4], where the
// Taylor polynomial of sin(2π r) up to r^21 is exact to double precision
// (the first omitted term is below 2e-18). 2π is folded into the
// coefficients, so the polynomial reads the reduced phase directly.
// Works on a Double2 or a Double4 of phases; every step is a whole-register
// operation.
#pragma once

#include "engine/Double2.h"

namespace Tarno {
namespace TARNO_VOICE_PATH {

// sin(2π · phase) of every lane, for phases in [-2^50, 2^50].
template <typename V>
__attribute__ ((always_inline)) inline V sinCycles (V phase)
{
	const V zero = {};
	auto all = [zero] (double a) { return zero + a; };

	// Adding 1.5 · 2^52 rounds to the nearest integer and leaves it in the low
	// bits: the nearest half cycle n (0 to 2 for a phase in [0, 1)).
	constexpr double kRoundingShift = 6755399441055744.0;
	const V shifted = mulAdd (phase, all (2.0), all (kRoundingShift)); // 2 · phase is exact
	const V half = shifted - kRoundingShift;
	const auto n = bitsOf (shifted);
	const V r = phase - half * 0.5; // exact

	// (-1)^k (2π)^(2k+1) / (2k+1)! for k = 0 to 10, rounded to double.
	constexpr double c[11] = {6.283185307179586,   -41.34170224039976,   81.60524927607506,     -76.70585975306139,
	                          42.058693944897655,  -15.09464257682299,   3.819952584848282,     -0.7181223017785006,
	                          0.10422916220813984, -0.012031585942120627, 0.0011309237482517963};

	// The polynomial in z = r² by Estrin's scheme: independent pairs of terms
	// keep the chain of dependent operations short; each pair a + b · z and
	// each join is one mulAdd.
	const V z = r * r, z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
	auto pair = [z, all] (double a, double b) { return mulAdd (z, all (b), all (a)); };
	const V low = mulAdd (z4, mulAdd (z2, pair (c[6], c[7]), pair (c[4], c[5])), mulAdd (z2, pair (c[2], c[3]), pair (c[0], c[1])));
	const V high = mulAdd (z2, all (c[10]), pair (c[8], c[9]));
	const V sinR = r * mulAdd (z8, high, low);

	// sin(2π (r + n/2)) = (-1)^n sin(2π r): an odd n flips the sign bit.
	return fromBits (bitsOf (sinR) ^ (n << 63));
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
