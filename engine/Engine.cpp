#include "engine/Engine.h"

#include "engine/Double2.h"
#include "engine/Exp2.h"
#include "engine/PhaseSine.h"
#include "engine/TrianglePartials.h"
#include "engine/VoiceMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Tarno {

namespace {

// A smoothed value this close to its target is set to the target: it ends
// the exponential approach before it reaches subnormal numbers and lets the
// values derived from it settle.
constexpr double kSmoothingSnap = 1e-13;

// Filter state below this is cleared, so that silence at the filter input
// never decays into subnormal numbers.
constexpr double kFilterFloor = 1e-200;

// x - floor(x), with the common cases (a phase that moved by less than a
// cycle) done without the library call.
double frac (double x)
{
	if (x >= 0.0 && x < 1.0)
		return x;
	if (x >= 1.0 && x < 2.0)
		return x - 1.0;
	return x - std::floor (x);
}

// Polynomial band-limited step around a discontinuity at phase 0.
double blep (double t, double dt)
{
	if (t < dt)
	{
		const double x = t / dt;
		return 2.0 * x - x * x - 1.0;
	}
	if (t > 1.0 - dt)
	{
		const double x = (t - 1.0) / dt;
		return x * x + 2.0 * x + 1.0;
	}
	return 0.0;
}

double bandLimitedSquare (double phase, double dt)
{
	return (phase < 0.5 ? 1.0 : -1.0) + blep (phase, dt) - blep (frac (phase + 0.5), dt);
}

// Transposed direct form II.
double runBiquad (Biquad& f, double x)
{
	const double y = f.b0 * x + f.z1;
	f.z1 = f.b1 * x - f.a1 * y + f.z2;
	f.z2 = f.b2 * x - f.a2 * y;
	return y;
}

double flushTiny (double z) { return std::fabs (z) < kFilterFloor ? 0.0 : z; }

// The highest triangle harmonic below 0.96 · fs, at most 63.
int highestTriangleHarmonic (double dt)
{
	const double n = kTriangleBandLimit / dt;
	if (n >= kMaxTriangleHarmonic)
		return kMaxTriangleHarmonic;
	return n >= 1.0 ? static_cast<int> (n) : 0; // NaN gives 0
}

} // namespace

void Engine::reset ()
{
	phase = vibratoPhase = tremoloPhase = 0.0;
	envelope = 0.0;
	retriggerFade = 0.0;
	sustain = gate = frequencySet = false;
	currentNote = -1;
	noteCounter = 0;
	for (NoteSlot& slot : notes)
		slot = NoteSlot{};
	smoothed = target;
	pitchBend = 0.5;
	modWheel = 0.0;
	for (Biquad& section : decimator)
		section.z1 = section.z2 = 0.0;
}

void Engine::prepare (double rate)
{
	// std::max would pass a NaN rate through; this comparison does not.
	sampleRate = rate >= kMinSampleRate ? rate : kMinSampleRate;
	reset ();
	for (int i = 0; i < 2; ++i)
	{
		const BiquadCoefficients& c = kDecimatorSections[i];
		decimator[i] = Biquad{c.b0, c.b1, c.b2, c.a1, c.a2, 0.0, 0.0};
	}
}

void Engine::updateDerived ()
{
	// When no input of the derived values changed (bit for bit) since they
	// were computed, there is nothing to do.
	Derived& d = derived;
	const double fs = sampleRate;
	if (std::memcmp (&target, &d.targetSeen, sizeof target) == 0 &&
	    std::memcmp (&smoothed, &d.smoothedSeen, sizeof smoothed) == 0 && currentNote == d.noteSeen &&
	    std::memcmp (&pitchBend, &d.bendSeen, sizeof pitchBend) == 0 && std::memcmp (&fs, &d.rateSeen, sizeof fs) == 0)
		return;
	d.targetSeen = target;
	d.smoothedSeen = smoothed;
	d.noteSeen = currentNote;
	d.bendSeen = pitchBend;
	d.rateSeen = fs;
	const double note = currentNote < 0 ? 0.0 : (currentNote % kNumPitches) - kReferencePitch;

	if (!(fs == d.rate))
	{
		d.rate = fs;
		d.smoothingCoefficient = 1.0 - std::exp (-1.0 / (kSmoothingTime * fs));
	}

	// Target pitch, limited to [16 Hz, min(16 kHz, 0.4 · fs)].
	const double pitchKey[4] = {note, target[kTranspose], smoothed[kFineTune], pitchBend};
	if (!std::equal (pitchKey, pitchKey + 4, d.pitchKey) || !(fs == d.pitchRate))
	{
		std::copy (pitchKey, pitchKey + 4, d.pitchKey);
		d.pitchRate = fs;
		const double semitones = transposeSemitones (target[kTranspose]) + note + fineSemitones (smoothed[kFineTune]) +
		                         kPitchBendRange * (pitchBend - 0.5);
		const double ceiling = std::min (kMaxFrequency, kMaxTargetRatio * fs);
		d.targetFrequency = std::min (std::max (semitonesToHz (semitones), kMinFrequency), ceiling);
	}

	if (!(smoothed[kGlissando] == d.glideKey) || !(fs == d.glideRate))
	{
		d.glideKey = smoothed[kGlissando];
		d.glideRate = fs;
		const double time = glideSeconds (smoothed[kGlissando]);
		d.glideCoefficient = time >= kMinGlideTime ? 1.0 - std::exp (-1.0 / (time * fs)) : 0.0;
	}

	if (!(smoothed[kVibratoRate] == d.vibratoRateKey) || !(smoothed[kTremoloRate] == d.tremoloRateKey) ||
	    !(fs == d.modRate))
	{
		d.vibratoRateKey = smoothed[kVibratoRate];
		d.tremoloRateKey = smoothed[kTremoloRate];
		d.modRate = fs;
		d.vibratoStep = modRateHz (smoothed[kVibratoRate]) / fs;
		d.tremoloStep = modRateHz (smoothed[kTremoloRate]) / fs;
	}

	if (!(target[kAttack] == d.attackKey) || !(target[kRelease] == d.releaseKey) || !(fs == d.envelopeRate))
	{
		d.attackKey = target[kAttack];
		d.releaseKey = target[kRelease];
		d.envelopeRate = fs;
		d.attackStep = 1.0 / (attackSeconds (target[kAttack]) * fs);
		d.releaseStep = 1.0 / (releaseSeconds (target[kRelease]) * fs);
	}

	const double mixKey[4] = {smoothed[kSquare], smoothed[kTriangle], smoothed[kSine], smoothed[kSineCharacter]};
	if (!std::equal (mixKey, mixKey + 4, d.mixKey))
	{
		std::copy (mixKey, mixKey + 4, d.mixKey);
		// Levels summing to more than 1 are scaled back to 1.
		const double scale = std::max (1.0, mixKey[0] + mixKey[1] + mixKey[2]);
		const double character = mixKey[3];
		d.squareGain = mixKey[0] / scale;
		d.triangleGain = mixKey[1] / scale;
		d.sineGain = mixKey[2] / (scale * (1.0 + kSineCharacterNorm * character));
		d.sineThird = kSineThirdHarmonic * character;
		d.sineFifth = kSineFifthHarmonic * character;
	}

	if (!(smoothed[kOutput] == d.outputKey))
	{
		d.outputKey = smoothed[kOutput];
		d.outputGain = std::pow (10.0, outputDecibels (smoothed[kOutput]) / kDecibelsPerDecade);
	}
}

void Engine::smoothParameters ()
{
	const double fs = sampleRate;
	const double k = derived.rate == fs ? derived.smoothingCoefficient : 1.0 - std::exp (-1.0 / (kSmoothingTime * fs));
	// A step below the snap distance lands exactly on the target (the
	// difference of two close doubles is exact). Two parameters at a time.
	for (int i = 0; i < kNumParams; i += 2)
	{
		const Double2 t = {target[i], target[i + 1]}, s = {smoothed[i], smoothed[i + 1]};
		const Double2 step = t - s;
		const Double2 next = s + step * (step < kSmoothingSnap && step > -kSmoothingSnap ? splat (1.0) : splat (k));
		smoothed[i] = next[0];
		smoothed[i + 1] = next[1];
	}
}

double Engine::tick ()
{
	const double fs = sampleRate;

	// Parameter smoothing: one pole with an 8 ms time constant. Once every
	// value has reached its target there is nothing to do.
	if (std::memcmp (&target, &smoothed, sizeof target) != 0)
		smoothParameters ();
	updateDerived ();

	// Glide towards the target pitch, exponential in hertz.
	if (derived.glideCoefficient != 0.0)
		frequency = frequency + (derived.targetFrequency - frequency) * derived.glideCoefficient;
	else
		frequency = derived.targetFrequency;

	// Envelope: linear attack and release, or the retrigger fade to 0.
	if (retriggerFade > 0.0)
	{
		const double old = retriggerFade;
		retriggerFade = old - 1.0;
		envelope = envelope * std::max (0.0, (old - 1.0) / old);
	}
	else
	{
		envelope = gate ? envelope + derived.attackStep : envelope - derived.releaseStep;
		envelope = std::min (std::max (envelope, 0.0), 1.0);
	}

	// Vibrato reads its phase before this sample's advance. Its sine was
	// usually computed at the end of the previous sample, off the chain of
	// work that each sample's oscillator waits for.
	const double vibratoSine =
	    vibratoPhase == derived.vibratoSinePhase ? derived.vibratoSine : sinCycles (splat (vibratoPhase))[0];
	vibratoPhase = frac (vibratoPhase + derived.vibratoStep);
	tremoloPhase = frac (tremoloPhase + derived.tremoloStep);

	// The mod wheel adds vibrato depth.
	const double depth = std::min (vibratoCents (smoothed[kVibratoDepth]) + kModWheelCents * modWheel, kMaxVibratoCents);
	const double vibrato = depth == 0.0 ? 1.0 : exp2Small (depth * vibratoSine * (1.0 / kCentsPerOctave));
	const double f = std::min (frequency * vibrato, kMaxVibratoRatio * fs);

	// Two oscillator sub-steps at twice the rate. Their phases do not depend
	// on the audio, so both are known before either is rendered.
	const double dt = f / (2.0 * fs);
	const double phases[2] = {phase, frac (phase + dt)};
	phase = frac (phases[1] + dt);

	Double2 sinTheta, cosTheta;
	sinCosCycles (Double2{phases[0], phases[1]}, sinTheta, cosTheta);
	const OddSines sines = oddSines (sinTheta, cosTheta);
	const Double2 triangles = triangle (sines, highestTriangleHarmonic (dt));

	// Mixer: square, triangle, and the sine with its added third and fifth
	// harmonics (its character).
	const Derived& d = derived;
	const Double2 squares = {bandLimitedSquare (phases[0], dt), bandLimitedSquare (phases[1], dt)};
	const Double2 sineWithCharacter = sines.s[0] + d.sineThird * sines.s[1] + d.sineFifth * sines.s[2];
	const Double2 mixed = d.squareGain * squares + d.triangleGain * triangles + d.sineGain * sineWithCharacter;

	// Decimation: both sub-steps through the filter; the second one's output is kept.
	runBiquad (decimator[1], runBiquad (decimator[0], mixed[0]));
	const double y = runBiquad (decimator[1], runBiquad (decimator[0], mixed[1]));
	for (Biquad& section : decimator)
	{
		section.z1 = flushTiny (section.z1);
		section.z2 = flushTiny (section.z2);
	}

	// Gain stages: envelope, tremolo (phase after its advance), velocity, output level.
	const double tremoloDepth = smoothed[kTremoloDepth];
	// Tremolo reads its phase after the advance; the vibrato sine for the next
	// sample comes in the same evaluation.
	const Double2 modSines = sinCycles (Double2{vibratoPhase, tremoloPhase});
	derived.vibratoSinePhase = vibratoPhase;
	derived.vibratoSine = modSines[0];
	const double tremolo = tremoloDepth == 0.0 ? 1.0 : 1.0 - tremoloDepth * (0.5 + 0.5 * modSines[1]);
	const double velocityGain = 1.0 - smoothed[kVelocity] * (1.0 - velocity);
	// The gains do not wait for the oscillator; one multiplication joins them.
	const double out = y * (envelope * tremolo * velocityGain * derived.outputGain);

	return std::isfinite (out) ? out : 0.0;
}

} // namespace Tarno
