// Holds Engine::tick to the literal evaluation of the voice's formulas, on
// every path this processor runs.
#include "engine/Engine.h"
#include "tests/EngineTestUtil.h"
#include "tests/Phrases.h"
#include "tests/ReferenceVoice.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace Tarno;
using namespace TarnoTest;

namespace {

constexpr double kTolerance = 1e-9;
// render against tick: the same values but for the decimator's rounding.
constexpr double kRunTolerance = 1e-12;

// Writes part of the voice's running state between samples.
template <typename F>
void editState (Engine& e, F&& f)
{
	VoiceState s = e.state ();
	f (s);
	e.setState (s);
}

// What the calls between samples can change: inputs, note state and the
// running state, as one comparable record.
using Fingerprint = std::array<double, 2 * kNumParams + 18>;
Fingerprint fingerprint (const Engine& e)
{
	const VoiceState& v = e.state ();
	Fingerprint f;
	auto at = std::copy (e.targetValues ().begin (), e.targetValues ().end (), f.begin ());
	at = std::copy (e.smoothedValues ().begin (), e.smoothedValues ().end (), at);
	for (double x : {e.pitchBend (), e.modWheel (), double (e.currentNote ()), e.velocity (), double (e.gate ()),
	                 double (e.sustain ()), double (e.frequencySet ()), double (e.noteCounter ()), v.phase, v.vibratoPhase,
	                 v.tremoloPhase, v.envelope, v.frequency, v.retriggerFade, v.decimator[0].z1, v.decimator[0].z2,
	                 v.decimator[1].z1, v.decimator[1].z2})
		*at++ = x;
	return f;
}

// Three engines play the same phrase on one path: `literal` through the
// literal evaluation, `ticks` a sample at a time, and `runs` through
// render, in runs that end wherever the phrase does something and
// otherwise after 1, 2, ... 64 samples in turn (each cut by an event that
// changes nothing audible). `ticks` must stay within the tolerance of
// `literal`, and `runs` within rounding of `ticks`.
struct Pair
{
	std::unique_ptr<Engine> ticks, runs, literal;
	double largestDifference = 0.0; // of either engine from the literal voice
	Pair (double rate, VoicePath path)
	: ticks (preparedEngine (rate)), runs (preparedEngine (rate)), literal (preparedEngine (rate))
	{
		EXPECT_TRUE (ticks->usePath (path));
		EXPECT_TRUE (runs->usePath (path));
		EXPECT_EQ (ticks->path (), path);
	}

	template <typename F>
	void both (F&& f)
	{
		f (*ticks);
		f (*runs);
		f (*literal);
	}

	// Renders `samples` samples, calling before (i, engine) ahead of sample i
	// on each engine; fails at the first difference.
	template <typename Before>
	::testing::AssertionResult render (int64_t samples, Before&& before)
	{
		double peak = 0.0;
		std::vector<double> expected, literalRun, rendered (64);
		int64_t runStart = 0;
		int nextLength = 1;
		auto flush = [&] (int64_t i) {
			const int32_t count = int32_t (expected.size ());
			runs->render (rendered.data (), count);
			for (int32_t k = 0; k < count; ++k)
			{
				const double r = rendered[size_t (k)], t = expected[size_t (k)], l = literalRun[size_t (k)];
				largestDifference = std::max (largestDifference, std::fabs (r - l));
				if (!(std::fabs (r - t) <= kRunTolerance) || !(std::fabs (r - l) <= kTolerance))
					return ::testing::AssertionFailure () << "render, sample " << runStart + k << " of the run at " << runStart
					                                      << ": " << r << " vs tick " << t << " and literal " << l;
			}
			expected.clear ();
			literalRun.clear ();
			runStart = i;
			return ::testing::AssertionSuccess ();
		};
		for (int64_t i = 0; i < samples; ++i)
		{
			const Fingerprint unchanged = fingerprint (*literal);
			before (i, *literal);
			const bool event = fingerprint (*literal) != unchanged;
			before (i, *ticks);
			const double a = ticks->tick ();
			const double b = referenceTick (*literal);
			peak = std::max (peak, std::fabs (b));
			largestDifference = std::max (largestDifference, std::fabs (a - b));
			if (!(std::fabs (a - b) <= kTolerance))
				return ::testing::AssertionFailure () << "sample " << i << ": " << a << " vs " << b;

			const bool cut = event || i - runStart == nextLength;
			if (cut)
			{
				if (::testing::AssertionResult r = flush (i); !r)
					return r;
				if (!event)
				{
					runs->setParameter (kModWheelParam, runs->modWheel ()); // an event that changes no sample
					nextLength = nextLength % 64 + 1;
				}
			}
			before (i, *runs);
			expected.push_back (a);
			literalRun.push_back (b);
		}
		if (::testing::AssertionResult r = flush (samples); !r)
			return r;
		if (peak < 1e-3)
			return ::testing::AssertionFailure () << "the phrase was silent (peak " << peak << ")";
		return ::testing::AssertionSuccess ();
	}
};

// One note-on every quarter second, alternating legato, with pitch bends.
void everythingOnPhrase (int64_t i, Engine& e, double rate)
{
	const int64_t quarter = int64_t (rate / 4);
	if (i % quarter != 0)
		return;
	const int64_t n = i / quarter;
	const int16_t pitches[] = {36, 48, 55, 60, 67, 72, 79, 84, 91, 96, 103, 110};
	e.setParameter (kLegatoParam, (n / 3) % 2 ? 1.0 : 0.0);
	e.noteOn (int16_t (n % 16), pitches[n % 12], float (0.3 + 0.05 * double (n % 14)));
	if (n % 4 == 3)
		e.noteOff (int16_t ((n - 1) % 16), pitches[(n - 1) % 12]);
	e.setParameter (kPitchBendParam, 0.5 + 0.4 * std::sin (double (n)));
}

void sweepsAndSettling (VoicePath path)
{
	Pair p (48000, path);
	p.both ([] (Engine& e) {
		applyEverythingOn (e);
		e.noteOn (0, 45, 0.8f);
	});
	EXPECT_TRUE (p.render (96000, [] (int64_t i, Engine& e) {
		if (i < 48000 && i % 480 == 0)
			for (int32_t id = 0; id < kNumParams; ++id)
				e.setParameter (id, 0.5 + 0.5 * std::sin (0.001 * double (i) * (id + 1)));
		if (i == 48000)
			for (int32_t id = 0; id < kNumParams; ++id)
				e.setParameter (id, id == kOutputParam || id == kSquareParam ? 1.0 : 0.0);
		if (i == 60000)
			e.noteOn (1, 80, 1.0f);
		if (i == 72000) // a restored state: every value at once, no ramp
		{
			ParamBlock restored = kDefaultParams;
			restored[kOutputParam] = 0.6;
			restored[kTriangleParam] = 0.9;
			restored[kVibratoDepthParam] = 0.7;
			e.setParametersNow (restored);
		}
	}));
}

} // namespace

TEST (EngineGolden, EverythingOnPatchMatchesTheLiteralVoice)
{
	for (VoicePath path : runnablePaths ())
		for (double rate : {44100.0, 48000.0, 96000.0})
		{
			Pair p (rate, path);
			p.both (applyEverythingOn);
			EXPECT_TRUE (p.render (int64_t (3 * rate), [rate] (int64_t i, Engine& e) { everythingOnPhrase (i, e, rate); }))
			    << pathName (path) << " " << rate;
		}
}

TEST (EngineGolden, BusyPhraseMatchesTheLiteralVoice)
{
	for (VoicePath path : runnablePaths ())
		for (double rate : {8000.0, 44100.0, 48000.0, 96000.0})
		{
			Pair p (rate, path);
			BusyPhrase a (77), b (77), c (77);
			EXPECT_TRUE (p.render (int64_t (4 * rate), [&] (int64_t i, Engine& e) {
				(&e == p.ticks.get () ? a : &e == p.runs.get () ? b : c).before (i, e);
			})) << pathName (path) << " " << rate;
		}
}

TEST (EngineGolden, ParameterSweepsAndSettledValuesMatch)
{
	// Slow sweeps through every parameter, then everything settles at 0 and
	// stays there for a while, then a whole new set of values arrives at once:
	// the cached and the recomputed values must agree.
	for (VoicePath path : runnablePaths ())
	{
		SCOPED_TRACE (pathName (path));
		sweepsAndSettling (path);
	}
}

// A minute of one held note at 96 kHz on the default patch (a steady
// pitch), and 20 s of one with everything on (glide settled, vibrato and tremolo
// running): a phase stepped or summed differently from the literal voice
// would drift away from it.
TEST (EngineGolden, HeldNoteForAMinute)
{
	constexpr double kRate = 96000.0;
	for (VoicePath path : runnablePaths ())
		for (bool everythingOn : {false, true})
		{
			SCOPED_TRACE (std::string (pathName (path)) + (everythingOn ? ", everything on" : ", default patch"));
			Pair p (kRate, path);
			p.both ([everythingOn] (Engine& e) {
				if (everythingOn)
					applyEverythingOn (e);
				e.noteOn (0, 57, 0.9f);
			});
			// With everything on a third of the time does: the pitch moves
			// with the vibrato all the time.
			EXPECT_TRUE (p.render (int64_t ((everythingOn ? 20 : 60) * kRate), [] (int64_t, Engine&) {}));
			std::printf ("%s: largest difference from the literal voice %.3g\n", everythingOn ? "everything on" : "default patch",
			             p.largestDifference);
		}
}

// The voice works some values out a sample ahead (the vibrato factor, the
// oscillator step) or once for a steady pitch or mix; running state written
// and inputs changed between samples must void them. With everything on, and with the
// default patch, whose frequency stays put.
TEST (EngineGolden, FieldsWrittenBetweenSamplesMatch)
{
	for (VoicePath path : runnablePaths ())
		for (bool everythingOn : {true, false})
		{
			SCOPED_TRACE (std::string (pathName (path)) + (everythingOn ? ", everything on" : ", default patch"));
			Pair p (48000, path);
			p.both ([everythingOn] (Engine& e) {
				if (everythingOn)
					applyEverythingOn (e);
				e.noteOn (0, 50, 0.9f);
			});
			EXPECT_TRUE (p.render (24000, [] (int64_t i, Engine& e) {
				switch (i % 4000)
				{
				case 250: // the mixer's levels at once, the pitch kept: what the voice folded them into must follow
				{
					ParamBlock values = e.targetValues ();
					values[kTriangleParam] = i % 8000 == 250 ? 0.9 : 0.2;
					values[kSineCharacterParam] = i % 8000 == 250 ? 1.0 : 0.0;
					e.setParametersNow (values);
					break;
				}
				case 500: // at once, so that runs are rendered four samples at a time from here
				{
					ParamBlock values = e.targetValues ();
					values[kGlissandoParam] = i % 8000 == 500 ? 0.1 : 0.0;
					e.setParametersNow (values);
					break;
				}
				case 1000: editState (e, [] (VoiceState& s) { s.phase = 1.25; }); break; // outside [0, 1) as well
				case 1500: editState (e, [i] (VoiceState& s) { s.vibratoPhase = i % 8000 == 1500 ? 0.8 : -0.3; }); break;
				case 2000: editState (e, [] (VoiceState& s) { s.frequency *= 1.5; }); break;
				case 2500: // 0, 1, 0.25, 0 again: vibrato on and off
					e.setParameter (kModWheelParam, e.modWheel () == 0.0 ? 1.0 : e.modWheel () == 1.0 ? 0.25 : 0.0);
					break;
				case 3000: e.setParameter (kPitchBendParam, e.pitchBend () > 0.5 ? 0.375 : 0.75); break;
				case 3500: editState (e, [] (VoiceState& s) { s.tremoloPhase = 0.75; }); break;
				case 3750: editState (e, [] (VoiceState& s) { s.frequency = -300.0; }); break; // glides up through 0 while glide is on

				default: break;
				}
			}));
		}
}

// The square's steps are worked out only near its discontinuities (0, 0.5
// and 1 cycle); phases at and around dt from each, on both sides, must still
// give the literal square.
TEST (EngineGolden, SquareNearItsSteps)
{
	for (VoicePath path : runnablePaths ())
		for (double rate : {44100.0, 96000.0})
		{
			SCOPED_TRACE (std::string (pathName (path)) + " " + std::to_string (rate));
			Pair p (rate, path);
			p.both ([] (Engine& e) {
				e.setParameter (kSquareParam, 1.0);
				e.noteOn (0, 69, 1.0f);
			});
			ASSERT_TRUE (p.render (int64_t (rate / 10), [] (int64_t, Engine&) {})); // past the attack
			const double dt = p.ticks->state ().frequency / (2.0 * rate);
			const double offsets[] = {0.0, 0x1p-52, 0x1p-50, 0x1p-41, 0x1p-40, 0x1p-39, 1e-9};
			std::vector<double> phases;
			for (double edge : {0.0, 0.5, 1.0})
				for (double side : {-1.0, 1.0})
					for (double offset : offsets)
						for (double sign : {-1.0, 1.0})
							phases.push_back (edge + side * (dt + sign * offset * (1.0 + dt)));
			EXPECT_TRUE (p.render (int64_t (phases.size ()), [&phases] (int64_t i, Engine& e) {
				editState (e, [&] (VoiceState& s) { s.phase = phases[size_t (i)]; });
			}));
		}
}

// The baseline runs everywhere; prepare picks the AVX2 path exactly where
// the processor has it, and a path the processor lacks is refused.
TEST (EngineGolden, PathChoice)
{
	const bool avx2 = Engine::pathAvailable (VoicePath::avx2);
	EXPECT_TRUE (Engine::pathAvailable (VoicePath::baseline));
	auto e = preparedEngine (48000);
	EXPECT_EQ (e->path (), avx2 ? VoicePath::avx2 : VoicePath::baseline);
	EXPECT_EQ (Engine::fastestPath (), e->path ());
	EXPECT_TRUE (e->usePath (VoicePath::baseline));
	EXPECT_EQ (e->path (), VoicePath::baseline);
	EXPECT_EQ (e->usePath (VoicePath::avx2), avx2);
	EXPECT_EQ (e->path (), avx2 ? VoicePath::avx2 : VoicePath::baseline);
	// A copy renders on its original's path.
	const Engine copy = *e;
	EXPECT_EQ (copy.path (), e->path ());
	std::printf ("voice paths on this processor: baseline%s\n", avx2 ? ", avx2" : " only");
}

