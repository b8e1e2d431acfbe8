// Sine and cosine of a phase given in cycles, without a library call.
// The phase is reduced to the nearest quarter cycle, leaving |x| ≤ π/4,
// where Taylor polynomials up to x^15 (sine) and x^16 (cosine) are already
// exact to double precision (the first omitted terms are below 5e-17).
// Works on a Double2 of phases; every step is a whole-register operation.
#pragma once

#include "engine/Double2.h"
#include "engine/VoiceConstants.h"

#include <cstdint>

namespace Tarno {
namespace TARNO_VOICE_PATH {

__attribute__ ((always_inline)) inline void sinCosCycles (Double2 phase, Double2& s, Double2& c)
{
	// Adding 1.5 · 2^52 rounds to the nearest integer and leaves it in the low
	// bits: the nearest quarter q, 0 to 4 for a phase in [0, 1).
	constexpr double kRoundingShift = 6755399441055744.0;
	const Double2 shifted = phase * 4.0 + kRoundingShift;
	const Double2 quarter = shifted - kRoundingShift;
	const Int2 q = bitsOf (shifted);
	const Double2 x = (phase - quarter * 0.25) * kTwoPi; // the subtraction is exact

	// Both polynomials in x² by Estrin's scheme: independent pairs of terms
	// keep the chain of dependent operations short. Each pair a + b · x² and
	// each join is one mulAdd.
	const Double2 x2 = x * x, x4 = x2 * x2, x8 = x4 * x4;
	auto pair = [x2] (double a, double b) { return mulAdd (x2, splat (b), splat (a)); };
	const Double2 sinX =
	    x * mulAdd (x8, mulAdd (x4, pair (1.0 / 6227020800.0, -1.0 / 1307674368000.0), pair (1.0 / 362880, -1.0 / 39916800)),
	                mulAdd (x4, pair (1.0 / 120, -1.0 / 5040), pair (1.0, -1.0 / 6)));
	const Double2 cosX =
	    mulAdd (x8,
	            mulAdd (x8, splat (1.0 / 20922789888000.0),
	                    mulAdd (x4, pair (1.0 / 479001600.0, -1.0 / 87178291200.0), pair (1.0 / 40320, -1.0 / 3628800))),
	            mulAdd (x4, pair (1.0 / 24, -1.0 / 720), pair (1.0, -0.5)));

	// Back to the full circle: quarter q turns (sin x, cos x) by q · 90°:
	// q = 0: (S, C); 1: (C, -S); 2: (-S, -C); 3: (-C, S). An odd quarter
	// swaps the two; the sine's sign flips with bit 1 of q, the cosine's with
	// bit 1 of q + 1.
	const Int2 swap = (q & 1) != 0;
	const Int2 sinSign = (q & 2) << 62, cosSign = ((q + 1) & 2) << 62;
	const Int2 sinBits = bitsOf (sinX), cosBits = bitsOf (cosX);
	const Int2 sBits = ((swap & cosBits) | (~swap & sinBits)) ^ sinSign;
	const Int2 cBits = ((swap & sinBits) | (~swap & cosBits)) ^ cosSign;
	s = fromBits (sBits);
	c = fromBits (cBits);
}

// sin(2π · phase) of two phases.
__attribute__ ((always_inline)) inline Double2 sinCycles (Double2 phase)
{
	Double2 s, c;
	sinCosCycles (phase, s, c);
	return s;
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
