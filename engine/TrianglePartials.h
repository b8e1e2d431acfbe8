// The band-limited triangle: the sum of its odd partials up to a given
// harmonic, evaluated for the two oversampled sub-steps at once (one per
// lane of a Double2).
#pragma once

#include "engine/Double2.h"

namespace Tarno {

// Sines of the first odd multiples of the oscillator angle θ, and what the
// partial sums need from them.
struct OddSines
{
	Double2 s[8];     // sin θ, sin 3θ, ..., sin 15θ
	Double2 twoCos16; // 2 cos 16θ
};

// Builds the odd sines from sin θ and cos θ by angle addition.
OddSines oddSines (Double2 sinTheta, Double2 cosTheta);

// (8/π²) · Σ (-1)^((i-1)/2) · sin(iθ) / i² over odd i up to `highestHarmonic`
// (at most 63).
Double2 triangle (const OddSines& sines, int highestHarmonic);

} // namespace Tarno
