// The single monophonic voice: parameter smoothing, pitch and glide,
// envelope, vibrato and tremolo, an oscillator rendered at twice the sample
// rate and decimated by a fixed low-pass, and the note logic that drives it.
#pragma once

#include "params/ParamTable.h"

#include <cstdint>

namespace Tarno {

constexpr int32_t kNumChannels = 16;
constexpr int32_t kNumPitches = 128;
constexpr int32_t kNumNoteSlots = kNumChannels * kNumPitches;

struct NoteSlot
{
	bool held = false;
	uint64_t stamp = 0; // 0: the slot can never be selected
	double velocity = 1.0;
};

// One second-order section in transposed direct form II.
struct Biquad
{
	double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
	double z1 = 0, z2 = 0;
};

class Engine
{
public:
	// Renders the next output sample.
	double tick ();
	// Silence, no notes, pedal up, controllers centred; parameters kept.
	void reset ();
	// Sets the sample rate (at least 8000 Hz), resets and loads the decimator.
	void prepare (double rate);

	// Note and controller input; values arrive already clamped to [0, 1].
	void setParameter (int32_t id, double value);
	void noteOn (int16_t channel, int16_t pitch, float noteVelocity);
	void noteOff (int16_t channel, int16_t pitch);
	void selectNote ();
	void allNotesOff ();

	ParamBlock target = kDefaultParams;
	ParamBlock smoothed = kDefaultParams;
	double sampleRate = 44100.0;
	double phase = 0.0;
	double vibratoPhase = 0.0;
	double tremoloPhase = 0.0;
	double envelope = 0.0;
	double frequency = 440.0;
	double velocity = 1.0;
	double pitchBend = 0.5;
	double modWheel = 0.0;
	double retriggerFade = 0.0;
	bool gate = false;
	bool frequencySet = false;
	bool sustain = false;
	int32_t currentNote = -1;
	uint64_t noteCounter = 0;
	NoteSlot notes[kNumNoteSlots];
	Biquad decimator[2];
};

} // namespace Tarno
