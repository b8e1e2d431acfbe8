// Two doubles processed together: one SSE2 register on x86-64. Used where
// the two oversampled sub-steps (or two neighbouring parameters) run the
// same arithmetic side by side. Element-wise operators come from the
// compiler's vector extension (g++ and clang).
//
// Four doubles (Double4): one AVX register in the AVX2 build, a pair of SSE2
// registers in the baseline build (the compiler splits each operation). The
// AVX2 build never relies on 32-byte alignment of the stack or of memory:
// the Windows build assembles every aligned vector move as an unaligned one
// (see CMakeLists.txt), because mingw-w64's g++ does not keep 32-byte stack
// slots aligned.
#pragma once

#include "engine/VoicePath.h"

#if defined(__AVX__)
#include <immintrin.h>
#endif

namespace Tarno {
namespace TARNO_VOICE_PATH {

typedef double Double2 __attribute__ ((vector_size (16)));
// The same register seen as two 64-bit integers (bit patterns, masks).
typedef long long Int2 __attribute__ ((vector_size (16)));

// The baseline build passes a Double4 differently from the AVX2 build; g++
// warns about that for every function taking or returning one. Harmless
// here: each build's functions are inline in its own namespace and never
// call the other build's.
#if !defined(__AVX__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
typedef double Double4 __attribute__ ((vector_size (32)));
typedef long long Int4 __attribute__ ((vector_size (32)));

inline Double2 splat (double x) { return Double2{x, x}; }
inline Double4 splat4 (double x) { return Double4{x, x, x, x}; }

// Two or four doubles read from a plain double array aligned to 16 bytes,
// as an operand of the arithmetic that uses them (an SSE2 operand needs
// that alignment; AVX operands none).
typedef double Double2Loose __attribute__ ((vector_size (16), aligned (16), may_alias));
typedef double Double4Loose __attribute__ ((vector_size (32), aligned (16), may_alias));
inline Double2 readLanes (const double* x, const Double2*) { return *reinterpret_cast<const Double2Loose*> (x); }
inline Double4 readLanes (const double* x, const Double4*) { return *reinterpret_cast<const Double4Loose*> (x); }

// The two halves of a Double4, and a Double4 from two halves.
inline Double2 lowHalf (Double4 x) { return __builtin_shufflevector (x, x, 0, 1); }
inline Double2 highHalf (Double4 x)
{
#if defined(__AVX__)
	return _mm256_extractf128_pd (x, 1); // in a register (g++ may go through memory otherwise)
#else
	return __builtin_shufflevector (x, x, 2, 3);
#endif
}
inline Double4 join (Double2 low, Double2 high) { return __builtin_shufflevector (low, high, 0, 1, 2, 3); }
inline Int2 lowHalf (Int4 x) { return __builtin_shufflevector (x, x, 0, 1); }
inline Int2 highHalf (Int4 x) { return __builtin_shufflevector (x, x, 2, 3); }

// Casts between vector types of one size keep the bits.
inline Int2 bitsOf (Double2 x) { return (Int2) x; }
inline Double2 fromBits (Int2 x) { return (Double2) x; }
inline Int4 bitsOf (Double4 x) { return (Int4) x; }
inline Double4 fromBits (Int4 x) { return (Double4) x; }

// a · b + c, a · b - c and c - a · b, for a double, a Double2 or a Double4.
// The AVX2 build fuses each into one instruction, rounded once; the baseline
// rounds the product and then the sum, as the expression reads
// (-ffp-contract=off keeps the compiler from fusing on its own, so fusing
// happens only here and only in that build).
template <typename V>
inline V mulAdd (V a, V b, V c)
{
#if defined(__FMA__)
	if constexpr (sizeof (V) == sizeof (double))
		return __builtin_fma (a, b, c);
	else if constexpr (sizeof (V) == sizeof (Double2))
		return _mm_fmadd_pd (a, b, c);
	else
		return _mm256_fmadd_pd (a, b, c);
#else
	return a * b + c;
#endif
}

template <typename V>
inline V mulSub (V a, V b, V c)
{
#if defined(__FMA__)
	return mulAdd (a, b, -c); // negating c is exact
#else
	return a * b - c;
#endif
}

template <typename V>
inline V negMulAdd (V a, V b, V c)
{
#if defined(__FMA__)
	return mulAdd (-a, b, c); // negating a is exact
#else
	return c - a * b;
#endif
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
