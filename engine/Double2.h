// Two doubles processed together: one SSE2 register on x86-64. Used where
// the two oversampled sub-steps (or two neighbouring parameters) run the
// same arithmetic side by side. Element-wise operators come from the
// compiler's vector extension (g++ and clang).
#pragma once

#include "engine/VoicePath.h"

#if defined(__FMA__)
#include <immintrin.h>
#endif

namespace Tarno {
namespace TARNO_VOICE_PATH {

typedef double Double2 __attribute__ ((vector_size (16)));
// The same register seen as two 64-bit integers (bit patterns, masks).
typedef long long Int2 __attribute__ ((vector_size (16)));

inline Double2 splat (double x) { return Double2{x, x}; }

// Casts between vector types of one size keep the bits.
inline Int2 bitsOf (Double2 x) { return (Int2) x; }
inline Double2 fromBits (Int2 x) { return (Double2) x; }

// a · b + c and a · b - c. The AVX2 build fuses each into one instruction,
// rounded once; the baseline rounds the product and then the sum, as the
// expression reads (-ffp-contract=off keeps the compiler from fusing on its
// own, so fusing happens only here and only in that build).
inline Double2 mulAdd (Double2 a, Double2 b, Double2 c)
{
#if defined(__FMA__)
	return _mm_fmadd_pd (a, b, c);
#else
	return a * b + c;
#endif
}

inline Double2 mulSub (Double2 a, Double2 b, Double2 c)
{
#if defined(__FMA__)
	return _mm_fmsub_pd (a, b, c);
#else
	return a * b - c;
#endif
}

inline double mulAdd (double a, double b, double c)
{
#if defined(__FMA__)
	return __builtin_fma (a, b, c);
#else
	return a * b + c;
#endif
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
