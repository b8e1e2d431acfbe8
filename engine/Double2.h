// Two doubles processed together: one SSE2 register on x86-64. Used where
// the two oversampled sub-steps (or two neighbouring parameters) run the
// same arithmetic side by side. Element-wise operators come from the
// compiler's vector extension (g++ and clang).
#pragma once

namespace Tarno {

typedef double Double2 __attribute__ ((vector_size (16)));
// The same register seen as two 64-bit integers (bit patterns, masks).
typedef long long Int2 __attribute__ ((vector_size (16)));

inline Double2 splat (double x) { return Double2{x, x}; }

// Casts between vector types of one size keep the bits.
inline Int2 bitsOf (Double2 x) { return (Int2) x; }
inline Double2 fromBits (Int2 x) { return (Double2) x; }

} // namespace Tarno
