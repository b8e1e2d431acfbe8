// 2^x for the small exponents of the vibrato, without a library call.
#pragma once

#include "engine/Double2.h"

namespace Tarno {
namespace TARNO_VOICE_PATH {

// 2^x for |x| ≤ 1/8 (150 cents): the Taylor series of e^(x · ln 2) to the
// 9th power, whose first omitted term is below 1e-17 (a tenth of the
// rounding of the result). Evaluated by Estrin's scheme to keep the
// dependency chain short, each pair and each join one mulAdd. For a double
// or for every lane of a vector, with the same steps.
template <typename V>
__attribute__ ((always_inline)) inline V exp2Small (const V& x)
{
	const V zero = {};
	auto all = [zero] (double a) { return zero + a; };
	constexpr double kLn2 = 0.693147180559945309417;
	const V y = x * kLn2, y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
	const V low = mulAdd (y4, mulAdd (y2, mulAdd (y, all (1.0 / 5040), all (1.0 / 720)), mulAdd (y, all (1.0 / 120), all (1.0 / 24))),
	                      mulAdd (y2, mulAdd (y, all (1.0 / 6), all (1.0 / 2)), 1.0 + y));
	return mulAdd (y8, mulAdd (y, all (1.0 / 362880), all (1.0 / 40320)), low);
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
