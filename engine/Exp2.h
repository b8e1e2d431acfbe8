// 2^x for the small exponents of the vibrato, without a library call.
#pragma once

#include "engine/VoicePath.h"

namespace Tarno {
namespace TARNO_VOICE_PATH {

// 2^x for |x| ≤ 1/8 (150 cents): the Taylor series of e^(x · ln 2) to the
// 11th power, whose first omitted term is below 1e-22. Evaluated by Estrin's
// scheme to keep the dependency chain short.
inline double exp2Small (double x)
{
	constexpr double kLn2 = 0.693147180559945309417;
	const double y = x * kLn2, y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
	const double low = ((1.0 + y) + y2 * (1.0 / 2 + y * (1.0 / 6))) + y4 * ((1.0 / 24 + y * (1.0 / 120)) + y2 * (1.0 / 720 + y * (1.0 / 5040)));
	const double high = (1.0 / 40320 + y * (1.0 / 362880)) + y2 * (1.0 / 3628800 + y * (1.0 / 39916800));
	return low + y8 * high;
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
