// Note and controller input: last-note priority over 16 channels × 128
// pitches, legato or retrigger, sustain pedal, all notes off.
#include "engine/Engine.h"
#include "engine/VoiceMath.h"

#include <cmath>

namespace Tarno {

namespace {

bool validNote (int16_t channel, int16_t pitch)
{
	return channel >= 0 && channel < kNumChannels && pitch >= 0 && pitch < kNumPitches;
}

int32_t slotIndex (int16_t channel, int16_t pitch) { return channel * kNumPitches + pitch; }

} // namespace

void Engine::setParameter (int32_t id, double value)
{
	if (isTableParam (id))
	{
		target[id] = value;
		smoothing = inputsChanged = true;
		return;
	}
	switch (id)
	{
		case kPitchBendParam:
			bend = value;
			inputsChanged = true;
			break;
		case kModWheelParam:
			wheel = value;
			inputsChanged = true;
			break;
		case kSustainParam:
			pedalDown = value >= 0.5;
			if (!pedalDown)
			{
				// Keys released while the pedal was down end now.
				for (int32_t i = liveCount - 1; i >= 0; --i)
					if (!slots[liveSlots[i]].held)
						stampSlot (liveSlots[i], 0);
				selectNote ();
			}
			break;
		case kAllNotesOffParam: allNotesOff (); break;
		default: break;
	}
}

void Engine::noteOn (int16_t channel, int16_t pitch, float noteVelocity)
{
	if (!validNote (channel, pitch))
		return;
	// A velocity of 0 or less releases the key; NaN is not "0 or less": it
	// sounds, stored as velocity 0 below.
	if (noteVelocity <= 0.0f)
	{
		noteOff (channel, pitch);
		return;
	}
	++stampCounter;
	const bool wasSounding = gateOpen;

	double v = noteVelocity;
	if (!std::isfinite (v))
		v = 0.0;
	else if (v > 1.0)
		v = 1.0;

	const int32_t index = slotIndex (channel, pitch);
	NoteSlot& slot = slots[index];
	slot.held = true;
	slot.velocity = v;
	stampSlot (index, stampCounter);
	selectNote ();

	if (wasSounding && target[kLegatoParam] < 0.5)
		voice.retriggerFade = kRetriggerFadeTime * rate;

	if (!pitchStarted)
	{
		// The first note after a reset starts at its own pitch (no glide),
		// from the unsmoothed tuning and without pitch bend or limits.
		voice.frequency = semitonesToHz (pitch - kReferencePitch + transposeSemitones (target[kTransposeParam]) +
		                           fineSemitones (target[kFineTuneParam]));
		pitchStarted = true;
	}
}

void Engine::noteOff (int16_t channel, int16_t pitch)
{
	if (!validNote (channel, pitch))
		return;
	const int32_t index = slotIndex (channel, pitch);
	slots[index].held = false;
	if (!pedalDown)
		stampSlot (index, 0);
	selectNote ();
}

void Engine::selectNote ()
{
	// Stamps are unique, so the newest eligible slot is the one with the
	// greatest stamp; an ineligible slot counts as stamp 0, which never wins.
	// Only live slots have a stamp.
	int32_t best = -1;
	uint64_t bestStamp = 0;
	const bool pedal = pedalDown;
	for (int32_t k = 0; k < liveCount; ++k)
	{
		const int32_t i = liveSlots[k];
		const uint64_t stamp = slots[i].held || pedal ? slots[i].stamp : 0;
		if (stamp > bestStamp)
		{
			best = i;
			bestStamp = stamp;
		}
	}
	if (best >= 0)
	{
		currentSlot = best;
		currentVelocity = slots[best].velocity;
		inputsChanged = true;
		gateOpen = true;
	}
	else
	{
		gateOpen = false;
	}
}

const NoteSlot& Engine::noteSlot (int32_t index) const
{
	static const NoteSlot kNeverPlayed{};
	return index >= 0 && index < kNumNoteSlots ? slots[index] : kNeverPlayed;
}

void Engine::allNotesOff ()
{
	clearNotes ();
	gateOpen = false;
	pedalDown = false;
}

void Engine::stampSlot (int32_t index, uint64_t stamp)
{
	// A slot leaves the list only once its key is up; it goes back to the
	// state of a key never played.
	NoteSlot& slot = slots[index];
	const bool wasLive = slot.stamp != 0, live = stamp != 0;
	slot.stamp = stamp;
	if (live && !wasLive)
		liveSlots[liveCount++] = static_cast<int16_t> (index);
	if (!live)
		slot = NoteSlot{};
	if (!live && wasLive)
		for (int32_t k = 0; k < liveCount; ++k)
			if (liveSlots[k] == index)
			{
				liveSlots[k] = liveSlots[--liveCount];
				break;
			}
}

void Engine::clearNotes ()
{
	for (int32_t k = 0; k < liveCount; ++k)
		slots[liveSlots[k]] = NoteSlot{};
	liveCount = 0;
}

} // namespace Tarno
