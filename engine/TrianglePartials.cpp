#include "engine/TrianglePartials.h"

#include "engine/VoiceConstants.h"

namespace Tarno {
namespace TARNO_VOICE_PATH {

namespace {

// The coefficient of term m of series j when the first p odd partials are summed.
double weight (int p, int m, int j)
{
	const int partial = j + kTriangleSeries * m; // 0-based index among odd harmonics
	const double harmonic = 2 * partial + 1;
	const double sign = j % 2 == 0 ? 1.0 : -1.0; // + for 1, 5, 9...; - for 3, 7, 11...
	return partial < p ? sign * kTriangleGain / (harmonic * harmonic) : 0.0;
}

// The coefficient of term m of every series in group g, each series in the
// lanes of its two sub-steps; f gives a coefficient from m and the series.
template <typename F>
TriangleVector lanes (int g, int m, F&& f)
{
	TriangleVector v{};
	for (int lane = 0; lane < 2 * kSeriesPerGroup; ++lane)
		v[lane] = f (m, kSeriesPerGroup * g + lane / 2);
	return v;
}

TriangleWeights makeWeights ()
{
	TriangleWeights w{};
	for (int p = 0; p <= kTriangleMaxPartials; ++p)
	{
		auto a = [p] (int m, int j) { return weight (p, m, j); };
		auto a1MinusA3 = [p] (int, int j) { return weight (p, 1, j) - weight (p, 3, j); };
		for (int g = 0; g < kTriangleGroups; ++g)
		{
			TriangleCoefficients& c = w.grouped[p][g];
			c.a3 = lanes (g, 3, a);
			c.a2 = lanes (g, 2, a);
			c.a1MinusA3 = lanes (g, 1, a1MinusA3);
			c.a0 = lanes (g, 0, a);
		}
		// The cubic of each series j (see TrianglePolynomial), from its own
		// coefficients and those of series 7 - j, whose Clenshaw sum also
		// reads sin((2j+1)θ).
		TrianglePolynomial& c = w.polynomial[p];
		for (int j = 0; j < kTriangleSeries; ++j)
		{
			const int mirror = kTriangleSeries - 1 - j;
			c.cubic[j] = splat4 (a (3, j));
			c.square[j] = splat4 (a (2, j) + a (3, mirror));
			c.linear[j] = splat4 (a1MinusA3 (1, j) - a (3, j) + a (2, mirror));
			c.constant[j] = splat4 (a (0, j) - a (2, j) + a1MinusA3 (1, mirror));
		}
	}
	return w;
}

} // namespace

const TriangleWeights kTriangleWeights = makeWeights ();

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
