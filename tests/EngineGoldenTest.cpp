// Holds Engine::tick to the literal evaluation of the voice's formulas.
#include "engine/Engine.h"
#include "tests/EngineTestUtil.h"
#include "tests/Phrases.h"
#include "tests/ReferenceVoice.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Tarno;
using namespace TarnoTest;

namespace {

constexpr double kTolerance = 1e-9;

struct Pair
{
	std::unique_ptr<Engine> fast, literal;
	explicit Pair (double rate) : fast (preparedEngine (rate)), literal (preparedEngine (rate)) {}

	template <typename F>
	void both (F&& f)
	{
		f (*fast);
		f (*literal);
	}

	// Renders `samples` samples from both, failing at the first difference.
	template <typename Before>
	::testing::AssertionResult render (int64_t samples, Before&& before)
	{
		double peak = 0.0;
		for (int64_t i = 0; i < samples; ++i)
		{
			before (i, *fast);
			before (i, *literal);
			const double a = fast->tick ();
			const double b = referenceTick (*literal);
			peak = std::max (peak, std::fabs (b));
			if (!(std::fabs (a - b) <= kTolerance))
				return ::testing::AssertionFailure () << "sample " << i << ": " << a << " vs " << b;
		}
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
	e.setParameter (kLegato, (n / 3) % 2 ? 1.0 : 0.0);
	e.noteOn (int16_t (n % 16), pitches[n % 12], float (0.3 + 0.05 * double (n % 14)));
	if (n % 4 == 3)
		e.noteOff (int16_t ((n - 1) % 16), pitches[(n - 1) % 12]);
	e.setParameter (kPitchBend, 0.5 + 0.4 * std::sin (double (n)));
}

} // namespace

TEST (EngineGolden, EverythingOnPatchMatchesTheLiteralVoice)
{
	for (double rate : {44100.0, 48000.0, 96000.0})
	{
		Pair p (rate);
		p.both (applyEverythingOn);
		EXPECT_TRUE (p.render (int64_t (3 * rate), [rate] (int64_t i, Engine& e) { everythingOnPhrase (i, e, rate); }))
		    << rate;
	}
}

TEST (EngineGolden, BusyPhraseMatchesTheLiteralVoice)
{
	for (double rate : {8000.0, 44100.0, 48000.0})
	{
		Pair p (rate);
		BusyPhrase a (77), b (77);
		EXPECT_TRUE (p.render (int64_t (4 * rate), [&] (int64_t i, Engine& e) {
			(&e == p.fast.get () ? a : b).before (i, e);
		})) << rate;
	}
}

TEST (EngineGolden, ParameterSweepsAndSettledValuesMatch)
{
	// Slow sweeps through every parameter, then everything settles at 0 and
	// stays there for a while: the cached and the recomputed paths must agree.
	Pair p (48000);
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
				e.setParameter (id, id == kOutput || id == kSquare ? 1.0 : 0.0);
		if (i == 60000)
			e.noteOn (1, 80, 1.0f);
	}));
}
