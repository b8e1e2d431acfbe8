#include "engine/TrianglePartials.h"

#include "engine/VoiceConstants.h"

namespace Tarno {
namespace TARNO_VOICE_PATH {

namespace {

TriangleWeights makeWeights ()
{
	TriangleWeights w{};
	for (int p = 0; p <= kTriangleMaxPartials; ++p)
		for (int m = 0; m < kTriangleTermsPerSeries; ++m)
			for (int j = 0; j < kTriangleSeries; ++j)
			{
				const int partial = j + kTriangleSeries * m; // 0-based index among odd harmonics
				const double harmonic = 2 * partial + 1;
				const double sign = j % 2 == 0 ? 1.0 : -1.0; // + for 1, 5, 9...; - for 3, 7, 11...
				w[p][m][j] = splat (partial < p ? sign * kTriangleGain / (harmonic * harmonic) : 0.0);
			}
	return w;
}

} // namespace

const TriangleWeights kTriangleWeights = makeWeights ();

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
