#include "engine/Engine.h"
#include "tests/EngineTestUtil.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace Tarno;
using namespace TarnoTest;

namespace {

int32_t slot (int channel, int pitch) { return channel * 128 + pitch; }

class Notes : public ::testing::Test
{
protected:
	std::unique_ptr<Engine> e = preparedEngine (44100);

	void run (int samples)
	{
		for (int i = 0; i < samples; ++i)
			e->tick ();
	}
	void legato (bool on) { setNow (*e, kLegatoParam, on ? 1.0 : 0.0); }
};

} // namespace

TEST_F (Notes, LegatoOnKeepsTheEnvelopeAndReturnsToTheHeldNote)
{
	legato (true);
	e->noteOn (0, 60, 0.5f);
	run (200);
	const double level = e->state ().envelope;
	e->noteOn (0, 64, 0.9f);
	EXPECT_EQ (e->currentNote (), slot (0, 64));
	EXPECT_EQ (e->state ().retriggerFade, 0.0);
	EXPECT_EQ (e->velocity (), double (0.9f));
	e->tick ();
	EXPECT_GT (e->state ().envelope, level);
	EXPECT_DOUBLE_EQ (e->state ().frequency, noteFrequency (64));

	e->noteOff (0, 64);
	EXPECT_EQ (e->currentNote (), slot (0, 60));
	EXPECT_EQ (e->velocity (), 0.5);
	EXPECT_TRUE (e->gate ());
	EXPECT_EQ (e->state ().retriggerFade, 0.0);

	e->noteOff (0, 60);
	EXPECT_FALSE (e->gate ());
	EXPECT_EQ (e->currentNote (), slot (0, 60)); // releases at its last pitch
	run (10);
	EXPECT_DOUBLE_EQ (e->state ().frequency, noteFrequency (60));
}

TEST_F (Notes, LegatoOffFadesOnlyWhenANoteWasSounding)
{
	legato (false);
	e->noteOn (0, 60, 1.0f);
	EXPECT_EQ (e->state ().retriggerFade, 0.0); // nothing sounded before
	run (500);
	e->noteOn (0, 64, 1.0f);
	EXPECT_DOUBLE_EQ (e->state ().retriggerFade, 88.2);
	run (5);
	e->noteOn (0, 67, 1.0f); // a second note-on restarts the full fade
	EXPECT_DOUBLE_EQ (e->state ().retriggerFade, 88.2);
	run (100);
	e->noteOff (0, 67);
	EXPECT_EQ (e->currentNote (), slot (0, 64)); // back to the held note without a fade
	EXPECT_LE (e->state ().retriggerFade, 0.0);

	// After everything is released, a new note does not fade even while the
	// envelope is still releasing.
	e->noteOff (0, 64);
	e->noteOff (0, 60);
	run (10);
	ASSERT_GT (e->state ().envelope, 0.0);
	const double level = e->state ().envelope;
	e->noteOn (0, 70, 1.0f);
	EXPECT_LE (e->state ().retriggerFade, 0.0);
	e->tick ();
	EXPECT_GT (e->state ().envelope, level);
}

TEST_F (Notes, LastNotePriorityAcrossChannels)
{
	e->noteOn (0, 60, 1.0f);
	e->noteOn (15, 60, 1.0f); // same pitch on another channel: its own slot
	e->noteOn (7, 72, 1.0f);
	EXPECT_EQ (e->currentNote (), slot (7, 72));
	e->noteOff (15, 60); // not selected: nothing changes
	EXPECT_EQ (e->currentNote (), slot (7, 72));
	e->noteOff (7, 72);
	EXPECT_EQ (e->currentNote (), slot (0, 60)); // newest still held
	EXPECT_TRUE (e->noteSlot (slot (0, 60)).held);
	EXPECT_FALSE (e->noteSlot (slot (15, 60)).held);
	for (int32_t outside : {-1, kNumNoteSlots}) // reads as a key never played
		EXPECT_TRUE (!e->noteSlot (outside).held && e->noteSlot (outside).stamp == 0);
	e->noteOff (1, 60); // the other channel's release does not touch channel 0
	EXPECT_TRUE (e->gate ());
	e->noteOff (0, 60);
	EXPECT_FALSE (e->gate ());
	EXPECT_EQ (e->noteCounter (), 3u);
}

TEST_F (Notes, RepeatedKeyTakesTheNewestStamp)
{
	e->noteOn (0, 60, 1.0f);
	e->noteOn (0, 62, 1.0f);
	e->noteOn (0, 60, 0.3f); // pressed again: newest
	EXPECT_EQ (e->currentNote (), slot (0, 60));
	EXPECT_EQ (e->noteSlot (slot (0, 60)).stamp, 3u);
	e->noteOff (0, 60);
	EXPECT_EQ (e->currentNote (), slot (0, 62));
}

TEST_F (Notes, SustainHoldsReleasedNotes)
{
	legato (false);
	e->setParameter (kSustainParam, 1.0);
	EXPECT_TRUE (e->sustain ());
	e->noteOn (0, 60, 1.0f);
	e->noteOff (0, 60);
	EXPECT_TRUE (e->gate ()); // A keeps sounding
	EXPECT_EQ (e->currentNote (), slot (0, 60));
	run (100);
	e->noteOn (0, 64, 1.0f);
	EXPECT_GT (e->state ().retriggerFade, 0.0); // B takes over with a fade
	e->noteOff (0, 64);
	EXPECT_EQ (e->currentNote (), slot (0, 64)); // B keeps sounding
	EXPECT_TRUE (e->gate ());
	e->setParameter (kSustainParam, 0.49);
	EXPECT_FALSE (e->sustain ());
	EXPECT_FALSE (e->gate ()); // nothing held: B releases
	EXPECT_EQ (e->currentNote (), slot (0, 64));
	EXPECT_EQ (e->noteSlot (slot (0, 60)).stamp, 0u);
}

TEST_F (Notes, LiftingThePedalReturnsToTheHeldKeyWithoutFade)
{
	legato (false);
	e->setParameter (kSustainParam, 0.5); // 0.5 counts as down
	e->noteOn (0, 60, 0.4f);
	run (200);
	e->noteOn (0, 67, 1.0f);
	e->noteOff (0, 67);
	run (200);
	EXPECT_EQ (e->currentNote (), slot (0, 67));
	e->setParameter (kSustainParam, 0.0);
	EXPECT_EQ (e->currentNote (), slot (0, 60));
	EXPECT_EQ (e->velocity (), double (0.4f));
	EXPECT_TRUE (e->gate ());
	EXPECT_LE (e->state ().retriggerFade, 0.0);
}

TEST_F (Notes, AllNotesOffReleasesAtTheLastPitchWhateverTheValue)
{
	e->setParameter (kSustainParam, 1.0);
	e->noteOn (2, 50, 0.7f);
	e->noteOn (2, 55, 0.6f);
	run (100);
	e->setParameter (kAllNotesOffParam, 0.0);
	EXPECT_FALSE (e->gate ());
	EXPECT_FALSE (e->sustain ());
	EXPECT_EQ (e->currentNote (), slot (2, 55));
	EXPECT_EQ (e->velocity (), double (0.6f));
	EXPECT_EQ (e->noteCounter (), 2u);
	for (int32_t i = 0; i < kNumNoteSlots; ++i)
	{
		const NoteSlot& s = e->noteSlot (i);
		ASSERT_TRUE (!s.held && s.stamp == 0 && s.velocity == 1.0);
	}
	run (10);
	EXPECT_DOUBLE_EQ (e->state ().frequency, noteFrequency (55));
}

TEST_F (Notes, VelocityZeroIsANoteOffAndOddVelocitiesAreKept)
{
	e->noteOn (0, 60, 1.0f);
	e->noteOn (0, 62, 1.0f);
	e->noteOn (0, 62, 0.0f);
	EXPECT_EQ (e->currentNote (), slot (0, 60));
	EXPECT_FALSE (e->noteSlot (slot (0, 62)).held);
	EXPECT_EQ (e->noteCounter (), 2u);
	e->noteOn (0, 64, -0.5f);
	EXPECT_EQ (e->currentNote (), slot (0, 60));

	e->noteOn (0, 65, 3.0f);
	EXPECT_EQ (e->velocity (), 1.0);
	e->noteOn (0, 66, std::numeric_limits<float>::quiet_NaN ());
	EXPECT_EQ (e->currentNote (), slot (0, 66)); // sounds, at velocity 0
	EXPECT_EQ (e->velocity (), 0.0);
	e->noteOn (0, 67, std::numeric_limits<float>::infinity ());
	EXPECT_EQ (e->velocity (), 0.0);
}

TEST_F (Notes, OutOfRangeChannelsAndPitchesAreIgnored)
{
	e->noteOn (16, 60, 1.0f);
	e->noteOn (0, 128, 1.0f);
	e->noteOn (-1, 60, 1.0f);
	e->noteOn (0, -1, 1.0f);
	e->noteOn (32767, 32767, 1.0f);
	EXPECT_FALSE (e->gate ());
	EXPECT_EQ (e->noteCounter (), 0u);
	e->noteOn (0, 127, 1.0f);
	e->noteOff (16, 127);
	e->noteOff (0, -128);
	EXPECT_TRUE (e->gate ());
	e->setParameter (99, 1.0);
	e->setParameter (104, 1.0);
	e->setParameter (-1, 1.0);
	EXPECT_EQ (e->targetValues (), kDefaultParams);
	EXPECT_TRUE (e->gate ());
}

TEST_F (Notes, FirstNoteJumpsUsingUnsmoothedTuningAndNoBend)
{
	setNow (*e, kGlissandoParam, 1.0);
	e->setParameter (kTransposeParam, 1.0 / 3.0); // target only: -1 oct
	e->setParameter (kFineTuneParam, 1.0);        // +1 semitone, not yet smoothed
	e->setParameter (kPitchBendParam, 1.0);
	e->noteOn (0, 69, 1.0f);
	EXPECT_DOUBLE_EQ (e->state ().frequency, 440.0 * std::pow (2.0, -11.0 / 12.0));
	EXPECT_TRUE (e->frequencySet ());
	e->tick (); // from here on the target includes the bend and glides there
	EXPECT_GT (e->state ().frequency, 440.0 * std::pow (2.0, -11.0 / 12.0));

	// The second note glides, however long after the first.
	e->noteOff (0, 69);
	run (44100);
	const double before = e->state ().frequency;
	e->noteOn (0, 81, 1.0f);
	EXPECT_EQ (e->state ().frequency, before);
	// A reset makes the next note jump again.
	e->reset ();
	e->noteOn (0, 57, 1.0f);
	EXPECT_DOUBLE_EQ (e->state ().frequency, 440.0 * std::pow (2.0, -23.0 / 12.0));
}

TEST_F (Notes, PitchBendAndModWheelAreStoredAsGiven)
{
	e->setParameter (kPitchBendParam, 0.25);
	e->setParameter (kModWheelParam, 0.75);
	EXPECT_EQ (e->pitchBend (), 0.25);
	EXPECT_EQ (e->modWheel (), 0.75);
	e->setParameter (kSquareParam, 0.125);
	EXPECT_EQ (e->targetValues ()[kSquareParam], 0.125);
	EXPECT_EQ (e->smoothedValues ()[kSquareParam], kDefaultParams[kSquareParam]);
}

TEST_F (Notes, RandomPlayingFollowsTheNewestSoundingKey)
{
	// A model of the note rules: each key's stamp of its last press, kept
	// while it is held or the pedal holds it. After every event the engine
	// must sound the key with the newest such stamp, at its velocity.
	struct Key
	{
		bool held = false;
		uint64_t stamp = 0;
		float velocity = 0.0f;
	};
	std::vector<Key> model (kNumNoteSlots);
	bool pedal = false;
	uint64_t presses = 0;
	uint32_t seed = 12345;
	auto next = [&seed] (uint32_t n) {
		seed = seed * 1664525u + 1013904223u;
		return (seed >> 8) % n;
	};
	for (int step = 0; step < 20000; ++step)
	{
		// Few channels and pitches, so that keys meet again often.
		const int16_t channel = int16_t (next (3) * 7), pitch = int16_t (40 + next (12));
		const int32_t i = slot (channel, pitch);
		const uint32_t what = next (20);
		if (what < 9)
		{
			const float v = 0.1f + 0.05f * float (next (16));
			e->noteOn (channel, pitch, v);
			model[i] = {true, ++presses, v};
		}
		else if (what < 18)
		{
			e->noteOff (channel, pitch);
			model[i].held = false;
			if (!pedal)
				model[i].stamp = 0;
		}
		else if (what == 18)
		{
			pedal = !pedal;
			e->setParameter (kSustainParam, pedal ? 1.0 : 0.0);
			if (!pedal)
				for (Key& k : model)
					if (!k.held)
						k.stamp = 0;
		}
		else
		{
			e->setParameter (kAllNotesOffParam, 1.0);
			model.assign (kNumNoteSlots, Key{});
			pedal = false;
		}
		int32_t newest = -1;
		for (int32_t k = 0; k < kNumNoteSlots; ++k)
			if (model[k].stamp != 0 && (newest < 0 || model[k].stamp > model[newest].stamp))
				newest = k;
		ASSERT_EQ (e->gate (), newest >= 0) << "step " << step;
		if (newest >= 0)
		{
			ASSERT_EQ (e->currentNote (), newest) << "step " << step;
			ASSERT_EQ (e->velocity (), double (model[newest].velocity)) << "step " << step;
		}
	}
}
