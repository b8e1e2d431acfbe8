// The engine outside its per-sample work (engine/Voice.cpp): lifecycle, the
// choice of path, and the values derived from rarely changing inputs.
#include "engine/Engine.h"

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

} // namespace

Engine::Engine () : tickFunction (&baseline::Voice::tick), renderFunction (&baseline::Voice::render) {}

bool Engine::pathAvailable (VoicePath p)
{
	if (p == VoicePath::baseline)
		return true;
#if defined(__x86_64__) || defined(_M_X64)
	// Checks the processor's features and that the system saves the AVX
	// registers.
	__builtin_cpu_init ();
	return __builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma");
#else
	return false;
#endif
}

VoicePath Engine::fastestPath ()
{
	return pathAvailable (VoicePath::avx2) ? VoicePath::avx2 : VoicePath::baseline;
}

bool Engine::usePath (VoicePath p)
{
	if (!pathAvailable (p))
		return false;
	voicePath = p;
	const bool avx2 = p == VoicePath::avx2;
	tickFunction = avx2 ? &avx2::Voice::tick : &baseline::Voice::tick;
	renderFunction = avx2 ? &avx2::Voice::render : &baseline::Voice::render;
	return true;
}

void Engine::setParametersNow (const ParamBlock& values)
{
	target = smoothed = values;
	smoothing = false;
	inputsChanged = true;
}

void Engine::setSmoothed (int32_t id, double value)
{
	if (!isTableParam (id))
		return;
	smoothed[id] = value;
	smoothing = inputsChanged = true;
}

void Engine::reset ()
{
	voice.phase = voice.vibratoPhase = voice.tremoloPhase = 0.0;
	voice.envelope = 0.0;
	voice.retriggerFade = 0.0;
	pedalDown = gateOpen = pitchStarted = false;
	currentSlot = -1;
	stampCounter = 0;
	clearNotes ();
	smoothed = target;
	smoothing = false;
	inputsChanged = true;
	bend = 0.5;
	wheel = 0.0;
	for (Biquad& section : voice.decimator)
		section.z1 = section.z2 = 0.0;
}

void Engine::prepare (double newRate)
{
	// std::max would pass a NaN rate through; this comparison does not.
	rate = newRate >= kMinSampleRate ? newRate : kMinSampleRate;
	usePath (fastestPath ());
	reset ();
	for (int i = 0; i < 2; ++i)
	{
		const BiquadCoefficients& c = kDecimatorSections[i];
		voice.decimator[i] = Biquad{c.b0, c.b1, c.b2, c.a1, c.a2, 0.0, 0.0};
	}
}

void Engine::updateDerived ()
{
	// Called by the voice when an input changed since the last call.
	Derived& d = derived;
	const double fs = rate;
	inputsChanged = false;
	const double semitonesFromReference = currentSlot < 0 ? 0.0 : (currentSlot % kNumPitches) - kReferencePitch;

	if (!(fs == d.rate))
	{
		d.rate = fs;
		d.smoothingCoefficient = 1.0 - std::exp (-1.0 / (kSmoothingTime * fs));
		d.nextFrequency = Derived::kUnset; // its step was for the old rate
	}

	// Target pitch, limited to [16 Hz, min(16 kHz, 0.4 · fs)].
	const double pitchKey[4] = {semitonesFromReference, target[kTransposeParam], smoothed[kFineTuneParam], bend};
	if (!std::equal (pitchKey, pitchKey + 4, d.pitchKey) || !(fs == d.pitchRate))
	{
		std::copy (pitchKey, pitchKey + 4, d.pitchKey);
		d.pitchRate = fs;
		const double semitones = transposeSemitones (target[kTransposeParam]) + semitonesFromReference +
		                         fineSemitones (smoothed[kFineTuneParam]) + kPitchBendRange * (bend - 0.5);
		const double ceiling = std::min (kMaxFrequency, kMaxTargetRatio * fs);
		d.targetFrequency = std::min (std::max (semitonesToHz (semitones), kMinFrequency), ceiling);
		// As the voice works it out from a frequency with no vibrato.
		d.fixedStep = std::min (d.targetFrequency, kMaxVibratoRatio * fs) / (2.0 * fs);
		d.fixedPartials = trianglePartialCount (d.fixedStep);
	}

	if (!(smoothed[kGlissandoParam] == d.glideKey) || !(fs == d.glideRate))
	{
		d.glideKey = smoothed[kGlissandoParam];
		d.glideRate = fs;
		const double time = glideSeconds (smoothed[kGlissandoParam]);
		d.glideCoefficient = time >= kMinGlideTime ? 1.0 - std::exp (-1.0 / (time * fs)) : 0.0;
	}

	if (!(smoothed[kVibratoRateParam] == d.vibratoRateKey) || !(smoothed[kTremoloRateParam] == d.tremoloRateKey) ||
	    !(fs == d.modRate))
	{
		d.vibratoRateKey = smoothed[kVibratoRateParam];
		d.tremoloRateKey = smoothed[kTremoloRateParam];
		d.modRate = fs;
		d.vibratoStep = modRateHz (smoothed[kVibratoRateParam]) / fs;
		d.tremoloStep = modRateHz (smoothed[kTremoloRateParam]) / fs;
	}

	if (!(target[kAttackParam] == d.attackKey) || !(target[kReleaseParam] == d.releaseKey) || !(fs == d.envelopeRate))
	{
		d.attackKey = target[kAttackParam];
		d.releaseKey = target[kReleaseParam];
		d.envelopeRate = fs;
		d.attackStep = 1.0 / (attackSeconds (target[kAttackParam]) * fs);
		d.releaseStep = 1.0 / (releaseSeconds (target[kReleaseParam]) * fs);
	}

	d.vibratoCents = std::min (vibratoCents (smoothed[kVibratoDepthParam]) + kModWheelCents * wheel, kMaxVibratoCents);
	d.fixedPitch = d.glideCoefficient == 0.0 && d.vibratoCents == 0.0;

	const double mixKey[4] = {smoothed[kSquareParam], smoothed[kTriangleParam], smoothed[kSineParam], smoothed[kSineCharacterParam]};
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

	if (!(smoothed[kOutputParam] == d.outputKey))
	{
		d.outputKey = smoothed[kOutputParam];
		d.outputGain = std::pow (10.0, outputDecibels (smoothed[kOutputParam]) / kDecibelsPerDecade);
	}
	d.noteGain = (1.0 - smoothed[kVelocityParam] * (1.0 - currentVelocity)) * d.outputGain;
	d.tremoloDepth = smoothed[kTremoloDepthParam];
}

void Engine::smoothParameters ()
{
	const double k = derived.rate == rate ? derived.smoothingCoefficient : 1.0 - std::exp (-1.0 / (kSmoothingTime * rate));
	// A step below the snap distance lands exactly on the target (the
	// difference of two close doubles is exact).
	bool settled = true;
	for (int i = 0; i < kNumParams; ++i)
	{
		const double step = target[i] - smoothed[i];
		smoothed[i] = smoothed[i] + step * (step < kSmoothingSnap && step > -kSmoothingSnap ? 1.0 : k);
		settled = settled && std::memcmp (&smoothed[i], &target[i], sizeof (double)) == 0;
	}
	smoothing = !settled;
	inputsChanged = true;
}

void Engine::updateDecimatorBlock ()
{
	Derived& d = derived;
	const Biquad* sections = voice.decimator;
	const double key[10] = {sections[0].b0, sections[0].b1, sections[0].b2, sections[0].a1, sections[0].a2,
	                        sections[1].b0, sections[1].b1, sections[1].b2, sections[1].a1, sections[1].a2};
	if (std::equal (key, key + 10, d.decimatorKey))
		return;
	std::copy (key, key + 10, d.decimatorKey);
	// Each column is the filter's answer to a unit in one state word or one
	// input, the rest 0, worked out section by section as the voice runs it.
	auto run = [] (Biquad& f, double x) {
		const double y = f.b0 * x + f.z1;
		f.z1 = f.b1 * x - f.a1 * y + f.z2;
		f.z2 = f.b2 * x - f.a2 * y;
		return y;
	};
	for (int column = 0; column < 12; ++column)
	{
		Biquad f[2] = {sections[0], sections[1]};
		double* state[4] = {&f[0].z1, &f[0].z2, &f[1].z1, &f[1].z2};
		for (int i = 0; i < 4; ++i)
			*state[i] = i == column ? 1.0 : 0.0;
		for (int step = 0; step < 8; ++step)
		{
			const double y = run (f[1], run (f[0], column == 4 + step ? 1.0 : 0.0));
			if (step % 2 == 1)
				d.decimatorOut[column][step / 2] = y;
		}
		for (int i = 0; i < 4; ++i)
			d.decimatorState[column][i] = *state[i];
	}
	for (int row = 0; row < 8; ++row)
		for (int column = 0; column < 12; ++column)
			d.decimatorRows[row][column / 4][column % 4] = row < 4 ? d.decimatorOut[column][row] : d.decimatorState[column][row - 4];
}

} // namespace Tarno
