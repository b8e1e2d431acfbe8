// Sine and cosine of a phase given in cycles, without a library call.
// The phase is reduced to the nearest quarter cycle, leaving |x| ≤ π/4,
// where Taylor polynomials up to x^15 (sine) and x^16 (cosine) are already
// exact to double precision (the first omitted terms are below 5e-17).
// Written once for a Double2 of phases; the scalar form uses one lane.
#pragma once

#include "engine/Double2.h"

namespace Tarno {

__attribute__ ((always_inline)) inline void sinCosCycles (Double2 phase, Double2& s, Double2& c)
{
	constexpr double kTwoPi = 6.283185307179586476925;
	// The nearest quarter: 0 to 4 for a phase in [0, 1); anything else (NaN)
	// counts as 0 and gives a NaN result.
	int q[2];
	for (int lane = 0; lane < 2; ++lane)
	{
		const double rounded = phase[lane] * 4.0 + 0.5;
		q[lane] = rounded >= 0.0 && rounded < 8.0 ? static_cast<int> (rounded) : 0;
	}
	const Double2 x = (phase - Double2{double (q[0]), double (q[1])} * 0.25) * kTwoPi; // the subtraction is exact
	// Both polynomials in x² by Estrin's scheme: independent pairs of terms
	// keep the chain of dependent operations short.
	const Double2 x2 = x * x, x4 = x2 * x2, x8 = x4 * x4;
	const Double2 sinX =
	    x * (((1.0 - x2 * (1.0 / 6)) + x4 * (1.0 / 120 - x2 * (1.0 / 5040))) +
	         x8 * ((1.0 / 362880 - x2 * (1.0 / 39916800)) + x4 * (1.0 / 6227020800.0 - x2 * (1.0 / 1307674368000.0))));
	const Double2 cosX =
	    ((1.0 - x2 * 0.5) + x4 * (1.0 / 24 - x2 * (1.0 / 720))) +
	    x8 * (((1.0 / 40320 - x2 * (1.0 / 3628800)) + x4 * (1.0 / 479001600.0 - x2 * (1.0 / 87178291200.0))) +
	          x8 * (1.0 / 20922789888000.0));
	// Back to the full circle: quarter q turns (sin x, cos x) by q · 90°:
	// q = 0: (S, C); 1: (C, -S); 2: (-S, -C); 3: (-C, S). Selected with
	// whole-register operations, since writing single lanes of a register
	// goes through memory.
	const Double2 swapped = {double (q[0] & 1), double (q[1] & 1)};
	const Double2 signSin = {q[0] & 2 ? -1.0 : 1.0, q[1] & 2 ? -1.0 : 1.0};
	const Double2 signCos = {(q[0] + 1) & 2 ? -1.0 : 1.0, (q[1] + 1) & 2 ? -1.0 : 1.0};
	s = signSin * (swapped != 0.0 ? cosX : sinX);
	c = signCos * (swapped != 0.0 ? sinX : cosX);
}

// sin(2π · phase) of two phases.
__attribute__ ((always_inline)) inline Double2 sinCycles (Double2 phase)
{
	Double2 s, c;
	sinCosCycles (phase, s, c);
	return s;
}

} // namespace Tarno
