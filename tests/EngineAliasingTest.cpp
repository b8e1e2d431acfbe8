// The oscillator runs at twice the sample rate; whatever it puts above half
// the output rate must be removed by the decimator before every second
// sample is kept, or it folds back as inharmonic aliases.
#include "engine/Engine.h"
#include "tests/EngineTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

using namespace Tarno;
using namespace TarnoTest;

namespace {

// Power at DFT bin k of x, through a four-term Blackman-Harris window whose
// low side lobes keep strong harmonics out of the weak alias bins.
double binPower (const std::vector<double>& x, int k)
{
	const double n = double (x.size ());
	double re = 0.0, im = 0.0;
	for (size_t i = 0; i < x.size (); ++i)
	{
		const double t = 2.0 * kPi * double (i) / n;
		const double w = 0.35875 - 0.48829 * std::cos (t) + 0.14128 * std::cos (2 * t) - 0.01168 * std::cos (3 * t);
		const double a = 2.0 * kPi * double (k) * double (i) / n;
		re += w * x[i] * std::cos (a);
		im -= w * x[i] * std::sin (a);
	}
	return re * re + im * im;
}

constexpr double kRate = 44100.0;
constexpr int kLength = 4410; // 10 Hz bins: the 440 Hz note's harmonics sit on multiples of bin 44

// Renders a square wave at 440 Hz.
std::vector<double> renderSquare (double (*tick) (Engine&))
{
	auto e = preparedEngine (kRate);
	e->setParameter (kSquareParam, 1.0);
	e->setParameter (kTriangleParam, 0.0);
	e->setParameter (kSineParam, 0.0);
	e->setParameter (kOutputParam, 1.0);
	e->setParameter (kAttackParam, 0.0);
	e->reset ();
	e->noteOn (0, 69, 1.0f);
	for (int i = 0; i < kLength; ++i)
		tick (*e);
	std::vector<double> x (kLength);
	for (double& v : x)
		v = tick (*e);
	return x;
}

// The same voice without the decimation filter: every second sample of the
// oversampled mix. Shows what the filter has to remove.
double unfilteredTick (Engine& e)
{
	const VoiceState saved = e.state ();
	VoiceState passThrough = saved;
	for (Biquad& b : passThrough.decimator)
		b = Biquad{1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
	e.setState (passThrough);
	const double out = e.tick ();
	VoiceState after = e.state ();
	for (int i = 0; i < 2; ++i)
		after.decimator[i] = saved.decimator[i];
	e.setState (after);
	return out;
}

// Magnitude response in dB of the decimator at `hz` on the doubled rate.
double decimatorDb (const Engine& e, double hz)
{
	const std::complex<double> z1 = std::polar (1.0, -2.0 * kPi * hz / (2.0 * kRate));
	std::complex<double> h = 1.0;
	for (const Biquad& b : e.state ().decimator)
		h *= (b.b0 + b.b1 * z1 + b.b2 * z1 * z1) / (1.0 + b.a1 * z1 + b.a2 * z1 * z1);
	return 20.0 * std::log10 (std::abs (h));
}

double decibels (double ratio) { return 10.0 * std::log10 (ratio); }

} // namespace

TEST (EngineSpectrum, DecimatorSuppressesFoldedPartials)
{
	const std::vector<double> filtered = renderSquare ([] (Engine& e) { return e.tick (); });
	const std::vector<double> raw = renderSquare (unfilteredTick);
	const auto response = preparedEngine (kRate);

	// Odd partial k (440·k Hz) between half the rate and the rate folds down to
	// 44100 - 440·k Hz, bin 4410 - 44·k, where nothing else lies. The filter
	// must take it down by its response at the partial's own frequency.
	double harmonicPower = 0.0, aliasPower = 0.0, rawAliasPower = 0.0;
	for (int k = 1; k < 50; k += 2)
		harmonicPower += binPower (filtered, 44 * k);
	for (int k = 51; k < 100; k += 2)
	{
		const int bin = kLength - 44 * k;
		const double f = binPower (filtered, bin), r = binPower (raw, bin);
		aliasPower += f;
		rawAliasPower += r;
		if (k <= 75)
		{
			EXPECT_NEAR (decibels (f / r), decimatorDb (*response, 440.0 * k), 1.5) << "partial " << k;
		}
	}
	const double aliasDb = decibels (aliasPower / harmonicPower);
	const double rawDb = decibels (rawAliasPower / harmonicPower);
	std::printf ("folded partials: %.1f dB below the harmonics with the decimator, %.1f dB without\n", -aliasDb,
	             -rawDb);
	EXPECT_LT (aliasDb, rawDb - 10.0);
	EXPECT_LT (aliasDb, -40.0);
	// The filter's design: -3 dB at 0.44 fs, strong rejection near the doubled rate's top.
	EXPECT_NEAR (decimatorDb (*response, 0.44 * kRate), -3.0103, 0.01);
	EXPECT_LT (decimatorDb (*response, 0.75 * kRate), -30.0);
	EXPECT_NEAR (decimatorDb (*response, 0.0), 0.0, 1e-9);
}

TEST (EngineSpectrum, PassbandKeepsTheFundamentalAtUnityGain)
{
	// A pure sine (character 0) well below the cutoff comes out at its level.
	auto e = preparedEngine (48000);
	e->setParameter (kSquareParam, 0.0);
	e->setParameter (kTriangleParam, 0.0);
	e->setParameter (kSineParam, 1.0);
	e->setParameter (kSineCharacterParam, 0.0);
	e->setParameter (kOutputParam, 1.0);
	e->setParameter (kAttackParam, 0.0);
	e->reset ();
	e->noteOn (0, 57, 1.0f);
	for (int i = 0; i < 4800; ++i)
		e->tick ();
	double peak = 0.0;
	for (int i = 0; i < 4800; ++i)
		peak = std::max (peak, std::fabs (e->tick ()));
	EXPECT_NEAR (peak, 1.0, 1e-3);
}
