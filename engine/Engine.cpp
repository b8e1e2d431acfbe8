#include "engine/Engine.h"
#include "engine/VoiceConstants.h"

#include <algorithm>
#include <cmath>

namespace Tarno {

namespace {

double frac (double x) { return x - std::floor (x); }

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

double runBiquad (Biquad& f, double x)
{
	const double y = f.b0 * x + f.z1;
	f.z1 = f.b1 * x - f.a1 * y + f.z2;
	f.z2 = f.b2 * x - f.a2 * y;
	return y;
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

double Engine::tick ()
{
	const double fs = sampleRate;

	// 1. Parameter smoothing.
	const double k = 1.0 - std::exp (-1.0 / (kSmoothingTime * fs));
	for (int i = 0; i < kNumParams; ++i)
		smoothed[i] = smoothed[i] + (target[i] - smoothed[i]) * k;

	// 2. Target pitch.
	const double note = currentNote < 0 ? 0.0 : (currentNote % kNumPitches) - kReferencePitch;
	const double transpose =
	    kSemitonesPerOctave * std::round (kTransposeSteps * clampNormalized (target[kTranspose]) - kTransposeOctaves);
	const double fine = (kFineSpanCents * clampNormalized (smoothed[kFineTune]) - kFineMinCents) / kCentsPerSemitone;
	const double semitones = transpose + note + fine + kPitchBendRange * (pitchBend - 0.5);
	const double ceiling = std::min (kMaxFrequency, kMaxTargetRatio * fs);
	const double targetFrequency =
	    std::min (std::max (kReferenceFrequency * std::pow (2.0, semitones / kSemitonesPerOctave), kMinFrequency), ceiling);

	// 3. Glide, exponential in hertz.
	const double glideTime = kGlideSpanMs * clampNormalized (smoothed[kGlissando]) * 0.001;
	if (glideTime >= kMinGlideTime)
		frequency = frequency + (targetFrequency - frequency) * (1.0 - std::exp (-1.0 / (glideTime * fs)));
	else
		frequency = targetFrequency;

	// 4. Envelope: linear attack and release, or the retrigger fade.
	const double attack = (kAttackMinMs + kAttackSpanMs * clampNormalized (target[kAttack])) * 0.001;
	const double release = (kReleaseMinMs + kReleaseSpanMs * clampNormalized (target[kRelease])) * 0.001;
	if (retriggerFade > 0.0)
	{
		const double old = retriggerFade;
		retriggerFade = old - 1.0;
		envelope = envelope * std::max (0.0, (old - 1.0) / old);
	}
	else
	{
		envelope = gate ? envelope + 1.0 / (attack * fs) : envelope - 1.0 / (release * fs);
		envelope = std::min (std::max (envelope, 0.0), 1.0);
	}

	// 5. Vibrato.
	const double depth = std::min (kVibratoSpanCents * clampNormalized (smoothed[kVibratoDepth]) + kModWheelCents * modWheel,
	                               kMaxVibratoCents);
	const double vibrato = std::pow (2.0, depth * std::sin (kTwoPi * vibratoPhase) / kCentsPerOctave);
	const double f = std::min (frequency * vibrato, kMaxVibratoRatio * fs);

	// 6. Modulation oscillators.
	const double vibratoRate = kModRateMinHz + kModRateSpanHz * clampNormalized (smoothed[kVibratoRate]);
	const double tremoloRate = kModRateMinHz + kModRateSpanHz * clampNormalized (smoothed[kTremoloRate]);
	vibratoPhase = frac (vibratoPhase + vibratoRate / fs);
	tremoloPhase = frac (tremoloPhase + tremoloRate / fs);

	// 7. Oscillator and mixer at twice the rate, then the decimation filter.
	const double dt = f / (2.0 * fs);
	const double levelSquare = smoothed[kSquare], levelTriangle = smoothed[kTriangle], levelSine = smoothed[kSine];
	const double mixScale = std::max (1.0, levelSquare + levelTriangle + levelSine);
	const double character = smoothed[kSineCharacter];
	const int partials = std::min (static_cast<int> (kTriangleBandLimit / dt), kMaxTriangleHarmonic);
	double y = 0.0;
	for (int step = 0; step < 2; ++step)
	{
		const double theta = kTwoPi * phase;
		const double square = (phase < 0.5 ? 1.0 : -1.0) + blep (phase, dt) - blep (frac (phase + 0.5), dt);

		double triangle = 0.0;
		if (partials >= 1)
		{
			const double s2 = std::sin (2.0 * theta), c2 = std::cos (2.0 * theta);
			double s = std::sin (theta), c = std::cos (theta);
			double sign = 1.0;
			for (int i = 1; i <= partials; i += 2)
			{
				triangle += sign * s / (static_cast<double> (i) * i);
				const double sNext = s * c2 + c * s2;
				c = c * c2 - s * s2;
				s = sNext;
				sign = -sign;
			}
			triangle *= kTriangleGain;
		}

		const double sine = (std::sin (theta) + kSineThirdHarmonic * character * std::sin (3.0 * theta) +
		                     kSineFifthHarmonic * character * std::sin (5.0 * theta)) /
		                    (1.0 + kSineCharacterNorm * character);

		const double x = (levelSquare * square + levelTriangle * triangle + levelSine * sine) / mixScale;
		y = runBiquad (decimator[1], runBiquad (decimator[0], x));
		phase = frac (phase + dt);
	}

	// 8. Output gain stages.
	const double tremoloDepth = smoothed[kTremoloDepth];
	const double tremolo = 1.0 - tremoloDepth * (0.5 + 0.5 * std::sin (kTwoPi * tremoloPhase));
	const double velocityGain = 1.0 - smoothed[kVelocity] * (1.0 - velocity);
	const double gainDb = kOutputSpanDb * clampNormalized (smoothed[kOutput]) - kOutputSpanDb;
	const double out = y * envelope * tremolo * velocityGain * std::pow (10.0, gainDb / kDecibelsPerDecade);

	// 9. Nothing non-finite leaves the voice.
	return std::isfinite (out) ? out : 0.0;
}

} // namespace Tarno
