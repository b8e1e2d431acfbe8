// The single monophonic voice: parameter smoothing, pitch and glide,
// envelope, vibrato and tremolo, an oscillator rendered at twice the sample
// rate and decimated by a fixed low-pass, and the note logic that drives it.
#pragma once

#include "engine/VoicePath.h"
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

// The voice's running state: what each sample steps on to the next.
struct VoiceState
{
	double phase = 0.0;         // oscillator, in cycles
	double vibratoPhase = 0.0;  // in cycles
	double tremoloPhase = 0.0;  // in cycles
	double envelope = 0.0;
	double frequency = 440.0;   // Hz, gliding towards the target pitch
	double retriggerFade = 0.0; // samples of the retrigger fade still to go
	Biquad decimator[2];        // silent (all zero) until prepare loads it
};

class Engine
{
public:
	Engine ();

	// Renders the next output sample, on the path chosen by prepare or usePath.
	double tick () { return tickFunction (*this); }
	// Renders `count` samples into `out`: the same samples as `count` calls
	// of tick, worked out several at a time where nothing changes between
	// them. Nothing for a count of 0 or less, or without a buffer.
	void render (double* out, int32_t count) { renderFunction (*this, out, count); }
	// Silence, no notes, pedal up, controllers centred; parameters kept.
	void reset ();
	// Sets the sample rate (at least 8000 Hz), resets and loads the decimator,
	// and picks the fastest path this processor runs.
	void prepare (double newRate);
	double sampleRate () const { return rate; }

	// Whether this processor runs a path (the baseline always).
	static bool pathAvailable (VoicePath p);
	// The AVX2 path where the processor has AVX2 and FMA, else the baseline.
	static VoicePath fastestPath ();
	// Renders on `p` from now on; false (path unchanged) if the processor
	// lacks it. Both paths give the same sound to within rounding.
	bool usePath (VoicePath p);
	VoicePath path () const { return voicePath; }

	// Note and controller input; values arrive already clamped to [0, 1].
	// A sound parameter moves to its new value over the smoothing time.
	void setParameter (int32_t id, double value);
	// All sound parameters at once, with no smoothing (a restored state).
	void setParametersNow (const ParamBlock& values);
	// Where a parameter's smoothing stands, for tests and the literal
	// evaluation of the voice that steps the smoothing itself.
	void setSmoothed (int32_t id, double value);

	// The parameter values set, and where their smoothing stands.
	const ParamBlock& targetValues () const { return target; }
	const ParamBlock& smoothedValues () const { return smoothed; }

	void noteOn (int16_t channel, int16_t pitch, float noteVelocity);
	void noteOff (int16_t channel, int16_t pitch);
	void selectNote ();
	void allNotesOff ();

	// The inputs the voice derives its pitch and gain from: they change only
	// through the operations above (setParameter for bend and wheel).
	double pitchBend () const { return bend; }
	double modWheel () const { return wheel; }
	int32_t currentNote () const { return currentSlot; } // slot index, -1 before the first note
	double velocity () const { return currentVelocity; }

	// The note logic's state: whether the voice is gated, the pedal down,
	// a first pitch set (later notes glide from it), how many note-ons were
	// stamped since the reset, and each slot (channel · 128 + pitch; an
	// index out of range reads as a key never played).
	bool gate () const { return gateOpen; }
	bool sustain () const { return pedalDown; }
	bool frequencySet () const { return pitchStarted; }
	uint64_t noteCounter () const { return stampCounter; }
	const NoteSlot& noteSlot (int32_t index) const;

	// The voice's running state. setState replaces it as a whole: the literal
	// evaluation of the voice in the tests steps a copy and writes it back,
	// and tests start the voice from chosen phases. What the voice worked out
	// ahead is kept with the state it was worked out from, so any state may
	// be set between samples.
	const VoiceState& state () const { return voice; }
	void setState (const VoiceState& s) { voice = s; }

private:
	friend struct baseline::Voice;
	friend struct avx2::Voice;

	VoicePath voicePath = VoicePath::baseline;
	double (*tickFunction) (Engine&);
	void (*renderFunction) (Engine&, double*, int32_t);

	VoiceState voice;
	bool gateOpen = false;
	bool pitchStarted = false;
	bool pedalDown = false;
	uint64_t stampCounter = 0;
	NoteSlot slots[kNumNoteSlots];

	double rate = 44100.0;
	double bend = 0.5;
	double wheel = 0.0;
	int32_t currentSlot = -1;
	double currentVelocity = 1.0;

	ParamBlock target = kDefaultParams;
	ParamBlock smoothed = kDefaultParams;
	// Whether smoothed may differ from target, and whether a parameter or an
	// input above changed since the derived values were computed.
	bool smoothing = false;
	bool inputsChanged = true;

	// The slots whose stamp is not 0, in no order: the only ones selectNote
	// needs to look at.
	int16_t liveSlots[kNumNoteSlots] = {};
	int32_t liveCount = 0;
	void stampSlot (int32_t index, uint64_t stamp);
	void clearNotes ();

	// Values that depend only on inputs that rarely change, recomputed by the
	// first tick after one of them changed. Each group keeps the inputs it
	// was computed from and is recomputed only when they differ.
	struct Derived
	{
		double rate = kUnset;
		double smoothingCoefficient = 0.0;

		double pitchKey[4] = {kUnset, kUnset, kUnset, kUnset}; // note, transpose, fine, bend
		double pitchRate = kUnset;
		double targetFrequency = 0.0;
		// The oscillator step and the triangle's odd partial count at the
		// target frequency: the pitch of every sample while there is neither
		// glide nor vibrato (fixedPitch).
		double fixedStep = 0.0;
		int fixedPartials = 0;
		bool fixedPitch = false;

		double glideKey = kUnset, glideRate = kUnset;
		double glideCoefficient = 0.0; // 0: jump to the target

		double vibratoRateKey = kUnset, tremoloRateKey = kUnset, modRate = kUnset;
		double vibratoStep = 0.0, tremoloStep = 0.0;
		double vibratoCents = 0.0; // depth with the mod wheel's share, at most 150

		double attackKey = kUnset, releaseKey = kUnset, envelopeRate = kUnset;
		double attackStep = 0.0, releaseStep = 0.0; // envelope change per sample

		double mixKey[4] = {kUnset, kUnset, kUnset, kUnset}; // the three levels, sine character
		double squareGain = 0.0, triangleGain = 0.0, sineGain = 0.0;
		double sineThird = 0.0, sineFifth = 0.0;

		// sin(2π · phase) of a vibrato phase, worked out two samples ahead.
		double vibratoSinePhase = kUnset, vibratoSine = 0.0;
		// The vibrato's sine and factor (for the depth vibratoFactorDepth) at
		// the phase vibratoFactorPhase, worked out a sample ahead.
		double vibratoFactorPhase = kUnset, vibratoFactorSine = 0.0;
		double vibratoFactorDepth = kUnset, vibratoFactor = 1.0;
		// The oscillator step (and the triangle's odd partial count) for the
		// frequency nextFrequency, worked out ahead; void after a rate change.
		double nextFrequency = kUnset;
		double nextStep = 0.0;
		int nextPartials = 0;

		double tremoloDepth = 0.0;

		double outputKey = kUnset;
		double outputGain = 0.0;
		double noteGain = 0.0; // velocity and output level

		// The decimator over four samples (eight sub-steps) at once, for the
		// coefficients of both sections in decimatorKey: the second
		// section's output of each sample (out) and the state after them
		// (state), as sums of columns scaled by the state before them (z1 and
		// z2 of each section: columns 0 to 3) and by the eight inputs
		// (columns 4 to 11).
		// The mixer's triangle and sine (with its third and fifth harmonics)
		// as one sum Σ_j sin((2j+1)θ) · Q_j(2 cos 16θ) over the triangle's
		// eight series, for the partial count and the gains in mixKeys: the
		// triangle's cubics scaled by its gain, with the sine's terms added to
		// the constant terms of series 0, 1 and 2. mixPolynomial[c][j] holds
		// coefficient c of Q_j (cubic, square, linear, constant) in four lanes.
		static constexpr int kMixSeries = 8;
		int mixPartials = -1;
		double mixGains[4] = {kUnset, kUnset, kUnset, kUnset}; // triangle, sine, third, fifth
		alignas (16) double mixPolynomial[4][kMixSeries][4] = {}; // read as vectors

		double decimatorKey[10] = {kUnset, kUnset, kUnset, kUnset, kUnset, kUnset, kUnset, kUnset, kUnset, kUnset};
		double decimatorOut[12][4] = {}, decimatorState[12][4] = {};
		// The same map by rows, rows 0 to 3 the outputs and 4 to 7 the state
		// words, each with its factors of the state before them, of the
		// first four inputs and of the last four.
		alignas (16) double decimatorRows[8][3][4] = {}; // read as vectors

		// Never equal to anything, so the first tick computes everything.
		static constexpr double kUnset = __builtin_nan ("");
	};
	Derived derived;

	void updateDerived ();
	// One step of the parameter smoothing; ends it once every value has
	// reached its target.
	void smoothParameters ();
	// Brings the decimator's four-sample form up to date with the sections'
	// coefficients (which prepare loads and setState may replace).
	void updateDecimatorBlock ();
};

} // namespace Tarno
