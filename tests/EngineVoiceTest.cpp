#include "engine/Engine.h"
#include "engine/Exp2.h"
#include "engine/PhaseSine.h"
#include "tests/EngineTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using namespace Tarno;
using namespace TarnoTest;

namespace {

const double kInf = std::numeric_limits<double>::infinity ();
const double kNaN = std::numeric_limits<double>::quiet_NaN ();

double attackNormalized (double ms) { return (ms - 2.0) / 2998.0; }
double releaseNormalized (double ms) { return (ms - 5.0) / 4995.0; }

// Frequency of the oscillator (before vibrato) once it has settled on a note.
double settledFrequency (double rate, int16_t pitch, void (*setup) (Engine&))
{
	auto e = preparedEngine (rate);
	setup (*e);
	e->noteOn (0, pitch, 1.0f);
	e->tick ();
	return e->state ().frequency;
}

} // namespace

TEST (EngineVoice, ConstructionAndPrepare)
{
	auto fresh = std::make_unique<Engine> ();
	EXPECT_EQ (fresh->sampleRate (), 44100.0);
	EXPECT_EQ (fresh->state ().frequency, 440.0);
	EXPECT_EQ (fresh->currentNote (), -1);
	EXPECT_EQ (fresh->targetValues (), kDefaultParams);
	// Until prepare has loaded the decimator the engine renders silence.
	fresh->noteOn (0, 60, 1.0f);
	for (int i = 0; i < 2000; ++i)
		ASSERT_EQ (fresh->tick (), 0.0);

	EXPECT_EQ (preparedEngine (4000.0)->sampleRate (), 8000.0);
	EXPECT_EQ (preparedEngine (kNaN)->sampleRate (), 8000.0);
	EXPECT_EQ (preparedEngine (-kInf)->sampleRate (), 8000.0);
	EXPECT_EQ (preparedEngine (96000.0)->sampleRate (), 96000.0);
}

TEST (EngineVoice, DecimatorIsAFourthOrderButterworthAt044OfTheRate)
{
	// Both sections from the bilinear transform with K = tan(0.22 π).
	const double K = std::tan (0.22 * kPi);
	const double Q[2] = {0.5411961, 1.306563};
	for (double rate : {8000.0, 44100.0, 96000.0})
	{
		auto e = preparedEngine (rate);
		for (int i = 0; i < 2; ++i)
		{
			const Biquad& b = e->state ().decimator[i];
			const double m = 1.0 / (1.0 + K / Q[i] + K * K);
			EXPECT_NEAR (b.b0, K * K * m, 1e-7);
			EXPECT_EQ (b.b1, 2.0 * b.b0);
			EXPECT_EQ (b.b2, b.b0);
			EXPECT_NEAR (b.a1, 2.0 * (K * K - 1.0) * m, 1e-7);
			EXPECT_NEAR (b.a2, (1.0 - K / Q[i] + K * K) * m, 1e-7);
			EXPECT_NEAR ((b.b0 + b.b1 + b.b2) / (1.0 + b.a1 + b.a2), 1.0, 1e-12); // unity gain at 0 Hz
		}
		EXPECT_EQ (e->state ().decimator[1].a2, 0.4535886796714638);
	}
}

TEST (EngineVoice, SilentWithoutANoteAndPitchOfNote69)
{
	auto e = preparedEngine (44100.0);
	for (int i = 0; i < 4410; ++i)
		ASSERT_EQ (e->tick (), 0.0);
	EXPECT_EQ (e->state ().frequency, 440.0);
}

TEST (EngineVoice, PitchFromNoteTransposeFineTuneAndBend)
{
	auto none = [] (Engine&) {};
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, none), 440.0);
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 60, none), noteFrequency (60));
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { setNow (e, kTransposeParam, 0.75); }), 1760.0);
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { setNow (e, kTransposeParam, 0.25); }), 110.0);
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { setNow (e, kTransposeParam, 1.0 / 3.0); }), 220.0);
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { setNow (e, kTransposeParam, 0.58); }), 440.0);
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { setNow (e, kFineTuneParam, 1.0); }), noteFrequency (70));
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { setNow (e, kFineTuneParam, 0.0); }), noteFrequency (68));
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { e.setParameter (kPitchBendParam, 1.0); }),
	                  noteFrequency (71));
	EXPECT_DOUBLE_EQ (settledFrequency (44100, 69, [] (Engine& e) { e.setParameter (kPitchBendParam, 0.0); }),
	                  noteFrequency (67));
	// The channel is not part of the pitch.
	auto e = preparedEngine (44100);
	e->noteOn (9, 69, 1.0f);
	e->tick ();
	EXPECT_DOUBLE_EQ (e->state ().frequency, 440.0);
}

TEST (EngineVoice, TargetPitchLimitsDependOnTheRate)
{
	auto highest = [] (Engine& e) { setNow (e, kTransposeParam, 1.0); };
	EXPECT_EQ (settledFrequency (44100, 127, highest), 16000.0);
	EXPECT_EQ (settledFrequency (96000, 127, highest), 16000.0);
	EXPECT_EQ (settledFrequency (32000, 127, highest), 12800.0);
	EXPECT_EQ (settledFrequency (8000, 127, highest), 3200.0);
	EXPECT_EQ (settledFrequency (4000, 127, highest), 3200.0);
	EXPECT_EQ (settledFrequency (44100, 0, [] (Engine& e) { setNow (e, kTransposeParam, 0.0); }), 16.0);
}

TEST (EngineVoice, GlideIsExponentialInHertzAndShortTimesJump)
{
	auto e = preparedEngine (48000);
	setNow (*e, kGlissandoParam, 0.25); // 500 ms
	e->noteOn (0, 57, 1.0f);       // first note: no glide even with a glide time set
	e->tick ();
	EXPECT_DOUBLE_EQ (e->state ().frequency, 220.0);
	e->noteOn (0, 69, 1.0f);
	const int timeConstant = 24000; // 0.5 s at 48 kHz
	for (int i = 0; i < timeConstant; ++i)
		e->tick ();
	// After one time constant the distance in hertz has shrunk to 1/e.
	EXPECT_NEAR ((440.0 - e->state ().frequency) / 220.0, std::exp (-1.0), 1e-4);

	// Glide times below half a millisecond jump at once.
	auto jump = preparedEngine (48000);
	setNow (*jump, kGlissandoParam, 0.00024); // 0.48 ms
	jump->noteOn (0, 57, 1.0f);
	jump->tick ();
	jump->noteOn (0, 69, 1.0f);
	jump->tick ();
	EXPECT_EQ (jump->state ().frequency, 440.0);
	setNow (*jump, kGlissandoParam, 0.00025); // 0.5 ms glides
	jump->noteOn (0, 57, 1.0f);
	jump->tick ();
	EXPECT_GT (jump->state ().frequency, 220.0);
}

TEST (EngineVoice, EnvelopeIsLinearWithTheAttackAndReleaseTimes)
{
	const double rate = 44100;
	auto e = preparedEngine (rate);
	e->setParameter (kAttackParam, attackNormalized (100.0));
	e->setParameter (kReleaseParam, releaseNormalized (200.0));
	e->noteOn (0, 60, 1.0f);
	int samples = 0;
	while (e->state ().envelope < 1.0 && samples < 100000)
	{
		e->tick ();
		++samples;
		if (samples == 2205)
		{
			EXPECT_NEAR (e->state ().envelope, 0.5, 1e-9);
		}
	}
	EXPECT_NEAR (samples, 4410, 1);
	for (int i = 0; i < 1000; ++i)
		e->tick ();
	EXPECT_EQ (e->state ().envelope, 1.0);

	e->noteOff (0, 60);
	samples = 0;
	while (e->state ().envelope > 0.0 && samples < 100000)
	{
		e->tick ();
		++samples;
		if (samples == 4410)
		{
			EXPECT_NEAR (e->state ().envelope, 0.5, 1e-9);
		}
	}
	EXPECT_NEAR (samples, 8820, 1);
}

TEST (EngineVoice, EnvelopeTimesIgnoreSmoothing)
{
	auto e = preparedEngine (44100);
	e->noteOn (0, 60, 1.0f);
	e->setParameter (kAttackParam, 1.0); // 3 s, effective at once
	e->tick ();
	EXPECT_NEAR (e->state ().envelope, 1.0 / (3.0 * 44100), 1e-15);
}

TEST (EngineVoice, RetriggerFadeReachesZeroOnTheLastSample)
{
	struct Case
	{
		double rate;
		int zeroOn;
	};
	for (const Case& c : {Case{44100, 89}, Case{48000, 96}})
	{
		auto e = preparedEngine (c.rate);
		setNow (*e, kLegatoParam, 0.0);
		e->noteOn (0, 60, 1.0f);
		for (int i = 0; i < 20000; ++i)
			e->tick ();
		ASSERT_EQ (e->state ().envelope, 1.0);
		e->noteOn (0, 64, 1.0f);
		EXPECT_DOUBLE_EQ (e->state ().retriggerFade, 0.002 * c.rate);
		for (int i = 1; i < c.zeroOn; ++i)
		{
			e->tick ();
			ASSERT_GT (e->state ().envelope, 0.0) << "sample " << i << " at " << c.rate;
		}
		e->tick ();
		EXPECT_EQ (e->state ().envelope, 0.0) << c.rate;
		// The attack then starts from 0 on the next sample.
		e->tick ();
		const double attack = (2.0 + 2998.0 * kDefaultParams[kAttackParam]) * 0.001;
		EXPECT_DOUBLE_EQ (e->state ().envelope, 1.0 / (attack * c.rate)) << c.rate;
	}
}

TEST (EngineVoice, VibratoDepthAndModWheelAreCappedAt150Cents)
{
	struct Case
	{
		double depth, wheel, cents;
	};
	for (const Case& c : {Case{1.0, 1.0, 150.0}, Case{0.0, 0.5, 25.0}, Case{0.4, 0.0, 40.0}, Case{1.0, 0.0, 100.0}})
	{
		const double rate = 48000;
		auto e = preparedEngine (rate);
		setNow (*e, kVibratoDepthParam, c.depth);
		e->setParameter (kModWheelParam, c.wheel);
		e->noteOn (0, 69, 1.0f);
		VoiceState peak = e->state ();
		peak.vibratoPhase = 0.25; // the sine of the vibrato at its peak
		e->setState (peak);
		const double before = e->state ().phase;
		e->tick ();
		EXPECT_NEAR (lastOscillatorFrequency (before, e->state ().phase, rate), 440.0 * std::pow (2.0, c.cents / 1200.0), 1e-6)
		    << c.depth << " " << c.wheel;
	}
}

TEST (EngineVoice, VibratoRateAdvancesItsPhase)
{
	auto e = preparedEngine (48000);
	setNow (*e, kVibratoRateParam, 1.0);
	setNow (*e, kTremoloRateParam, 0.0);
	for (int i = 0; i < 4800; ++i)
		e->tick ();
	EXPECT_NEAR (e->state ().vibratoPhase, 0.8, 1e-9); // 8 Hz for 0.1 s
	EXPECT_NEAR (e->state ().tremoloPhase, 0.4, 1e-9); // 4 Hz for 0.1 s
}

// Two engines in lockstep that differ only in `vary`; the ratio of their
// outputs isolates one gain stage.
class GainStage : public ::testing::Test
{
protected:
	std::unique_ptr<Engine> plain = preparedEngine (48000), varied = preparedEngine (48000);

	void both (void (*f) (Engine&))
	{
		f (*plain);
		f (*varied);
	}
	double ratio ()
	{
		const double a = plain->tick (), b = varied->tick ();
		return b / a;
	}
	void play ()
	{
		both ([] (Engine& e) {
			setNow (e, kAttackParam, 0.0);
			e.noteOn (0, 57, 0.25f);
			for (int i = 0; i < 2000; ++i)
				e.tick ();
		});
	}
};

TEST_F (GainStage, TremoloUsesThePhaseAfterItsAdvance)
{
	setNow (*varied, kTremoloDepthParam, 1.0);
	play ();
	for (int i = 0; i < 50; ++i)
	{
		const double r = ratio ();
		const double expected = 1.0 - (0.5 + 0.5 * std::sin (2.0 * kPi * varied->state ().tremoloPhase));
		ASSERT_NEAR (r, expected, 1e-9);
	}
	setNow (*varied, kTremoloDepthParam, 0.5);
	const double r = ratio ();
	EXPECT_NEAR (r, 1.0 - 0.5 * (0.5 + 0.5 * std::sin (2.0 * kPi * varied->state ().tremoloPhase)), 1e-9);
}

TEST_F (GainStage, VelocitySensitivity)
{
	setNow (*varied, kVelocityParam, 1.0);
	play ();
	EXPECT_NEAR (ratio (), 0.25, 1e-9); // full sensitivity: the gain is the velocity
	setNow (*varied, kVelocityParam, 0.5);
	EXPECT_NEAR (ratio (), 1.0 - 0.5 * 0.75, 1e-9);
}

TEST_F (GainStage, OutputLevelInDecibels)
{
	setNow (*varied, kOutputParam, 0.0);
	play ();
	EXPECT_NEAR (ratio (), 0.001 / std::pow (10.0, -12.0 / 20.0), 1e-9); // -60 dB against -12 dB
	setNow (*varied, kOutputParam, 1.0);
	EXPECT_NEAR (ratio (), 1.0 / std::pow (10.0, -12.0 / 20.0), 1e-9);
}

TEST_F (GainStage, InfinityActsAsZero)
{
	both ([] (Engine& e) { setNow (e, kOutputParam, 0.0); });
	setNow (*varied, kOutputParam, kInf);
	play ();
	// Equal up to rounding: a compiler may fold the gain of a constant 0 at
	// build time while computing the other at run time.
	for (int i = 0; i < 100; ++i)
		ASSERT_NEAR (ratio (), 1.0, 1e-12);
}

// The mixer is linear and the decimator too, so levels add up; a level sum
// above 1 is scaled back to 1.
TEST (EngineVoice, MixerLevelsAddAndLargeSumsAreNormalized)
{
	auto render = [] (double square, double triangle, double sine, std::vector<double>& out) {
		auto e = preparedEngine (44100);
		setNow (*e, kSquareParam, square);
		setNow (*e, kTriangleParam, triangle);
		setNow (*e, kSineParam, sine);
		setNow (*e, kSineCharacterParam, 1.0);
		e->noteOn (0, 45, 1.0f);
		for (double& x : out)
			x = e->tick ();
	};
	std::vector<double> sq (3000), tri (3000), sin (3000), all (3000), def (3000);
	render (1, 0, 0, sq);
	render (0, 1, 0, tri);
	render (0, 0, 1, sin);
	render (1, 1, 1, all);
	render (0.55, 0.3, 0.15, def);
	double peak = 0;
	for (size_t i = 0; i < all.size (); ++i)
	{
		ASSERT_NEAR (all[i], (sq[i] + tri[i] + sin[i]) / 3.0, 1e-12) << i;
		ASSERT_NEAR (def[i], 0.55 * sq[i] + 0.3 * tri[i] + 0.15 * sin[i], 1e-12) << i;
		peak = std::max (peak, std::fabs (tri[i]));
	}
	EXPECT_GT (peak, 0.1); // the triangle is really there
}

TEST (EngineVoice, SmoothingHasAnEightMillisecondTimeConstant)
{
	auto e = preparedEngine (48000);
	e->setParameter (kSquareParam, 1.0);
	for (int i = 0; i < 384; ++i) // 8 ms
		e->tick ();
	EXPECT_NEAR ((e->smoothedValues ()[kSquareParam] - 0.55) / 0.45, 1.0 - std::exp (-1.0), 1e-9);
	EXPECT_EQ (e->targetValues ()[kSquareParam], 1.0);
}

TEST (EngineVoice, ResetKeepsParametersAndClearsTheVoice)
{
	auto e = preparedEngine (48000);
	e->setParameter (kSquareParam, 0.9);
	e->setParameter (kPitchBendParam, 0.9);
	e->setParameter (kModWheelParam, 0.9);
	e->setParameter (kSustainParam, 1.0);
	e->noteOn (3, 50, 0.5f);
	for (int i = 0; i < 500; ++i)
		e->tick ();
	const double frequency = e->state ().frequency;
	e->reset ();
	EXPECT_EQ (e->smoothedValues (), e->targetValues ());
	EXPECT_EQ (e->targetValues ()[kSquareParam], 0.9);
	EXPECT_EQ (e->pitchBend (), 0.5);
	EXPECT_EQ (e->modWheel (), 0.0);
	EXPECT_FALSE (e->sustain ());
	EXPECT_FALSE (e->gate ());
	EXPECT_FALSE (e->frequencySet ());
	EXPECT_EQ (e->currentNote (), -1);
	EXPECT_EQ (e->noteCounter (), 0u);
	EXPECT_EQ (e->state ().envelope, 0.0);
	EXPECT_EQ (e->state ().phase, 0.0);
	EXPECT_EQ (e->state ().frequency, frequency);
	EXPECT_EQ (e->velocity (), 0.5);
	EXPECT_EQ (e->state ().decimator[0].z1, 0.0);
	EXPECT_EQ (e->state ().decimator[1].z2, 0.0);
	EXPECT_EQ (e->noteSlot (3 * 128 + 50).stamp, 0u);
	EXPECT_EQ (e->tick (), 0.0);
}

TEST (EngineVoice, NoNonFiniteSampleEverLeaves)
{
	std::mt19937_64 random (1234);
	const double specials[] = {kNaN, kInf, -kInf, -1.0, 2.0, 1e300, -1e300, 0.0, 1.0};
	std::uniform_real_distribution<double> unit (0.0, 1.0);
	for (double rate : {kNaN, 0.0, 7999.0, 8000.0, 44100.0, 192000.0, 1e12, kInf})
	{
		auto e = preparedEngine (rate);
		for (int block = 0; block < 40; ++block)
		{
			for (int id = 0; id < kNumParams; ++id)
				e->setParameter (id, random () % 3 == 0 ? specials[random () % 9] : unit (random));
			e->setParameter (kPitchBendParam, random () % 2 ? unit (random) : specials[random () % 9]);
			e->setParameter (kModWheelParam, random () % 2 ? unit (random) : specials[random () % 9]);
			e->noteOn (int16_t (random () % 18) - 1, int16_t (random () % 130) - 1,
			           random () % 4 ? float (unit (random)) : float (specials[random () % 9]));
			for (int i = 0; i < 300; ++i)
			{
				const double out = e->tick ();
				ASSERT_TRUE (std::isfinite (out)) << rate;
			}
		}
	}
}

// The voice's own sine and 2^x (the baseline build's copies; the AVX2
// build's run the same source) against the library, over the phases and
// exponents the voice gives them and beyond: phases outside [0, 1) as a
// written field may leave them, and the extremes of the vibrato's 150 cents.
TEST (EngineVoice, SineAndExponentKernelsMatchTheLibrary)
{
	std::mt19937_64 random (7);
	std::uniform_real_distribution<double> unit (0.0, 1.0);
	double worstSine = 0.0, worstExponent = 0.0;
	for (int i = 0; i < 200000; ++i)
	{
		const double phases[4] = {unit (random), i / 200000.0, 0.25 * (i % 9) + (i % 2 ? 1e-12 : -1e-12), 20.0 * unit (random) - 10.0};
		for (double phase : phases)
		{
			// Relative to 2π · phase, which the library's argument is rounded to.
			const double sine = baseline::sinCycles (baseline::splat (phase))[0];
			worstSine = std::max (worstSine, std::fabs (sine - std::sin (2.0 * kPi * phase)) / std::max (1.0, std::fabs (phase)));
		}
		const double exponent = (unit (random) - 0.5) / 4.0; // ±150 cents
		worstExponent = std::max (worstExponent, std::fabs (baseline::exp2Small (exponent) / std::exp2 (exponent) - 1.0));
	}
	EXPECT_LT (worstSine, 2e-15);
	EXPECT_LT (worstExponent, 5e-16);
}
