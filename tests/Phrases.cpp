#include "tests/Phrases.h"

namespace TarnoTest {

using namespace Tarno;

void applyEverythingOn (Engine& e)
{
	e.setParameter (kSquareParam, 1.0);
	e.setParameter (kTriangleParam, 1.0);
	e.setParameter (kSineParam, 1.0);
	e.setParameter (kSineCharacterParam, 1.0);
	e.setParameter (kVibratoDepthParam, 1.0);
	e.setParameter (kModWheelParam, 1.0);
	e.setParameter (kTremoloDepthParam, 0.6);
	e.setParameter (kGlissandoParam, 0.25);
	e.setParameter (kVelocityParam, 1.0);
}

void BusyPhrase::before (int64_t index, Engine& e)
{
	// Roughly every 37 samples something happens.
	if (random.below (37) != 0)
		return;
	const int what = random.below (20);
	if (what < 8)
	{
		const int16_t channel = int16_t (random.below (16));
		const int16_t pitch = int16_t (24 + random.below (84));
		e.noteOn (channel, pitch, float (random.unit ()));
		if (heldCount < 8)
		{
			held[heldCount][0] = channel;
			held[heldCount][1] = pitch;
			++heldCount;
		}
	}
	else if (what < 14)
	{
		if (heldCount > 0)
		{
			const int k = random.below (heldCount);
			e.noteOff (held[k][0], held[k][1]);
			held[k][0] = held[heldCount - 1][0];
			held[k][1] = held[heldCount - 1][1];
			--heldCount;
		}
	}
	else if (what == 14)
		e.setParameter (kSustainParam, random.unit ());
	else if (what == 15)
		e.setParameter (kPitchBendParam, random.unit ());
	else if (what == 16)
		e.setParameter (kModWheelParam, random.unit ());
	else if (what == 17 && index % 5 == 0)
		e.setParameter (kAllNotesOffParam, 0.0);
	else
		e.setParameter (random.below (kNumParams), random.unit ());
}

} // namespace TarnoTest
