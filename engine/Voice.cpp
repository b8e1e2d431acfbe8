// The voice's per-sample work. This file is compiled twice: as it stands for
// every x86-64 processor, and with AVX2 and FMA enabled
// (TARNO_VOICE_PATH=avx2); Engine::prepare picks one of the two builds.
#include "engine/Double2.h"
#include "engine/Engine.h"
#include "engine/Exp2.h"
#include "engine/PhaseSine.h"
#include "engine/TrianglePartials.h"
#include "engine/VoiceMath.h"

#include <cmath>
#include <emmintrin.h>

namespace Tarno {
namespace TARNO_VOICE_PATH {

namespace {

// Filter state below this is cleared, so that silence at the filter input
// never decays into subnormal numbers.
constexpr double kFilterFloor = 1e-200;

// x - floor(x), with the common cases (a phase that moved by less than a
// cycle) done without the library call. The branches are almost always
// predicted, which keeps the phase's chain from one sample to the next short.
__attribute__ ((always_inline)) inline double frac (double x)
{
	if (x >= 0.0 && x < 1.0)
		return x;
	if (x >= 1.0 && x < 2.0)
		return x - 1.0;
	return x - std::floor (x);
}

// Polynomial band-limited step around a discontinuity at phase 0.
__attribute__ ((always_inline)) inline double blep (double t, double dt)
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

__attribute__ ((always_inline)) inline double bandLimitedSquare (double phase, double dt)
{
	return (phase < 0.5 ? 1.0 : -1.0) + blep (phase, dt) - blep (frac (phase + 0.5), dt);
}

// How far beyond dt a phase must be from a discontinuity for the quick test
// below: more than the rounding of t < dt and t > 1 - dt can move.
constexpr double kStepMargin = 0x1p-40;

// The square at two phases. Both steps are 0 unless a phase in [0, 1) lies
// within dt of a discontinuity (0, 0.5 or 1), i.e. unless its distance to
// the nearest half cycle (`reduced`, from the sine's reduction) is below dt.
// Away from them, nearly every sample, the square is its sign: one test of
// both phases instead of four comparisons and branches each.
__attribute__ ((always_inline)) inline Double2 bandLimitedSquares (Double2 phase, Double2 reduced, double dt)
{
	const Int2 distance = bitsOf (reduced) & ~bitsOf (splat (-0.0)); // |reduced|
	const Int2 clear = (phase >= 0.0) & (phase < 1.0) & (fromBits (distance) >= dt + kStepMargin);
	if (__builtin_expect (_mm_movemask_pd ((__m128d) clear) == 3, 1))
	{
		// -1 with its sign flipped where phase - 0.5 is negative: +1 below
		// half a cycle, -1 from there on.
		const Int2 below = bitsOf (phase - 0.5) & bitsOf (splat (-0.0));
		return fromBits (bitsOf (splat (-1.0)) ^ below);
	}
	return Double2{bandLimitedSquare (phase[0], dt), bandLimitedSquare (phase[1], dt)};
}

// Transposed direct form II: y = b0 x + z1, z1 = b1 x - a1 y + z2,
// z2 = b2 x - a2 y. The new z1 is taken as (b1 - a1 b0) x + (z2 - a1 z1),
// whose parts are known before x: it is one multiply-add after x, instead
// of three.
__attribute__ ((always_inline)) inline double runBiquad (Biquad& f, double x)
{
	const double y = mulAdd (f.b0, x, f.z1);
	const double fromInput = negMulAdd (f.a1, f.b0, f.b1), fromState = negMulAdd (f.a1, f.z1, f.z2);
	f.z1 = mulAdd (fromInput, x, fromState);
	f.z2 = negMulAdd (f.a2, y, f.b2 * x);
	return y;
}

__attribute__ ((always_inline)) inline double flushTiny (double z) { return std::fabs (z) < kFilterFloor ? 0.0 : z; }

// The frequency one sample on, gliding towards the target.
__attribute__ ((always_inline)) inline double glide (double frequency, double target, double coefficient)
{
	return coefficient != 0.0 ? frequency + (target - frequency) * coefficient : target;
}

// The vibrato's frequency factor, depth in cents.
__attribute__ ((always_inline)) inline double vibratoFactor (double depth, double vibratoSine)
{
	return exp2Small (depth * vibratoSine * (1.0 / kCentsPerOctave));
}

// sin(2π · phase) of the vibrato: the one worked out ahead for cachedPhase
// where that is the phase.
__attribute__ ((always_inline)) inline double vibratoSine (double cachedPhase, double cachedSine, double phase)
{
	return phase == cachedPhase ? cachedSine : sinCycles (splat (phase))[0];
}

// std::min, std::max and std::isfinite, written out: this file's inline
// functions must not call library templates, whose copies the two builds
// would share at link time (see VoicePath.h).
__attribute__ ((always_inline)) inline double lesser (double a, double b) { return b < a ? b : a; }
__attribute__ ((always_inline)) inline double greater (double a, double b) { return a < b ? b : a; }
__attribute__ ((always_inline)) inline bool finite (double x) { return x - x == 0.0; } // NaN for inf and NaN

// One sample of the envelope: the retrigger fade to 0 while it runs,
// otherwise a linear step (up with the gate open, down with it closed)
// kept within [0, 1].
__attribute__ ((always_inline)) inline void stepEnvelope (VoiceState& v, double step)
{
	if (__builtin_expect (v.retriggerFade > 0.0, 0))
	{
		const double old = v.retriggerFade;
		v.retriggerFade = old - 1.0;
		v.envelope = v.envelope * greater (0.0, (old - 1.0) / old);
	}
	else
		v.envelope = lesser (greater (v.envelope + step, 0.0), 1.0);
}

} // namespace

double Voice::tick (Engine& e)
{
	VoiceState& v = e.voice;
	const double fs = e.rate;

	// Parameter smoothing: one pole with an 8 ms time constant. Once every
	// value has reached its target there is nothing to do.
	if (e.smoothing)
		e.smoothParameters ();
	if (e.inputsChanged)
		e.updateDerived ();
	Engine::Derived& d = e.derived;

	// The oscillator's step (cycles per sub-step at twice the rate) and the
	// triangle's partial count for this sample's frequency.
	// Vibrato reads its phase before this sample's advance.
	const double depth = d.vibratoCents;
	const double vibratoPhase = v.vibratoPhase;
	v.vibratoPhase = frac (vibratoPhase + d.vibratoStep);
	v.tremoloPhase = frac (v.tremoloPhase + d.tremoloStep);
	double dt;
	int partials;
	if (d.fixedPitch)
	{
		// Neither glide nor vibrato: every sample has the target's pitch.
		v.frequency = d.targetFrequency;
		dt = d.fixedStep;
		partials = d.fixedPartials;
	}
	else
	{
		// Glide towards the target pitch, exponential in hertz.
		v.frequency = glide (v.frequency, d.targetFrequency, d.glideCoefficient);

		// The vibrato factor was usually worked out by the previous sample;
		// it holds where the phase and the depth are the ones it was worked
		// out for.
		double vibrato = 1.0;
		if (depth != 0.0)
		{
			if (vibratoPhase == d.vibratoFactorPhase && depth == d.vibratoFactorDepth)
				vibrato = d.vibratoFactor;
			else
				vibrato = vibratoFactor (depth, vibratoPhase == d.vibratoFactorPhase ? d.vibratoFactorSine : vibratoSine (d.vibratoSinePhase, d.vibratoSine, vibratoPhase));
		}
		const double f = lesser (v.frequency * vibrato, kMaxVibratoRatio * fs);

		// The step and the partial count were usually worked out by the
		// previous sample for this frequency (two divisions off the chain).
		if (__builtin_expect (f == d.nextFrequency, 1))
		{
			dt = d.nextStep;
			partials = d.nextPartials;
		}
		else
		{
			dt = f / (2.0 * fs);
			partials = trianglePartialCount (dt);
		}

		// What the next sample will most likely need: the vibrato factor at
		// its phase (with this sample's depth), and the step and partial
		// count for the frequency that follows (with this sample's glide).
		// The vibrato sine was worked out by the sample before, so none of
		// this waits for this sample's oscillator.
		double nextVibrato = 1.0;
		if (depth != 0.0)
		{
			const double nextSine = vibratoSine (d.vibratoSinePhase, d.vibratoSine, v.vibratoPhase);
			nextVibrato = vibratoFactor (depth, nextSine);
			d.vibratoFactorPhase = v.vibratoPhase;
			d.vibratoFactorSine = nextSine;
			d.vibratoFactorDepth = depth;
			d.vibratoFactor = nextVibrato;
		}
		const double nextF = lesser (glide (v.frequency, d.targetFrequency, d.glideCoefficient) * nextVibrato, kMaxVibratoRatio * fs);
		if (nextF != d.nextFrequency) // a steady frequency keeps them
		{
			d.nextFrequency = nextF;
			d.nextStep = nextF / (2.0 * fs);
			d.nextPartials = trianglePartialCount (d.nextStep);
		}
	}

	// Two oscillator sub-steps. Their phases do not depend on the audio, so
	// both are known before either is rendered.
	const double phases[2] = {v.phase, frac (v.phase + dt)};
	v.phase = frac (phases[1] + dt);

	// The oscillator's sine at both sub-steps; the tremolo's sine (phase after
	// its advance) and the vibrato sine for two samples on (while the
	// vibrato is off, for the next sample: its phase is at hand).
	const double laterVibratoPhase = depth != 0.0 ? frac (v.vibratoPhase + d.vibratoStep) : v.vibratoPhase;
#if defined(__AVX__)
	// One evaluation for all four.
	Double4 reduced;
	const Double4 allSines = sinCycles (Double4{phases[0], phases[1], laterVibratoPhase, v.tremoloPhase}, reduced);
	const Double2 sinTheta = lowHalf (allSines), modSines = highHalf (allSines), oscReduced = lowHalf (reduced);
	d.vibratoSinePhase = laterVibratoPhase;
	d.vibratoSine = modSines[0];
#else
	// Here the two pairs cost two evaluations; the second is left out while
	// neither vibrato nor tremolo is on (the vibrato sine is then computed
	// where it is needed).
	Double2 oscReduced;
	const Double2 sinTheta = sinCycles (Double2{phases[0], phases[1]}, oscReduced);
	Double2 modSines = {0.0, 0.0};
	if (depth != 0.0 || d.tremoloDepth != 0.0)
	{
		modSines = sinCycles (Double2{laterVibratoPhase, v.tremoloPhase});
		d.vibratoSinePhase = laterVibratoPhase;
		d.vibratoSine = modSines[0];
	}
#endif

	const OddSines sines = oddSines (sinTheta);
	const Double2 squares = bandLimitedSquares (Double2{phases[0], phases[1]}, oscReduced, dt);
	// Mixer: square, triangle, and the sine with its added third and fifth
	// harmonics (its character). The triangle, which comes last, is added last.
	const Double2 sineWithCharacter = mulAdd (splat (d.sineFifth), sines.s[2], mulAdd (splat (d.sineThird), sines.s[1], sines.s[0]));
	const Double2 early = mulAdd (splat (d.sineGain), sineWithCharacter, d.squareGain * squares);

	const Double2 mixed = mulAdd (splat (d.triangleGain), triangle (sines, partials), early);

	// Decimation: both sub-steps through the filter; the second one's output is kept.
	runBiquad (v.decimator[1], runBiquad (v.decimator[0], mixed[0]));
	const double y = runBiquad (v.decimator[1], runBiquad (v.decimator[0], mixed[1]));
	for (Biquad& section : v.decimator)
	{
		section.z1 = flushTiny (section.z1);
		section.z2 = flushTiny (section.z2);
	}

	// Envelope: linear attack and release, or the retrigger fade to 0. It
	// does not feed the oscillator, so it comes after it.
	stepEnvelope (v, e.gateOpen ? d.attackStep : -d.releaseStep);

	// Gain stages: envelope, tremolo (phase after its advance), and velocity
	// with output level. The gains do not wait for the oscillator; one
	// multiplication joins them.
	const double tremolo = d.tremoloDepth == 0.0 ? 1.0 : 1.0 - d.tremoloDepth * (0.5 + 0.5 * modSines[1]);
	const double out = y * (v.envelope * tremolo * d.noteGain);

	return finite (out) ? out : 0.0;
}

namespace {

// Samples rendered together by render: four output samples, eight
// oscillator sub-steps (two vectors of four).
constexpr int kGroup = 4;

// Four doubles of a local array, which the compiler keeps in registers.
__attribute__ ((always_inline)) inline Double4 lanes4 (const double* x) { return Double4{x[0], x[1], x[2], x[3]}; }

#if !defined(__AVX__)
// Four doubles from memory, alignment unknown: one vector load (the
// baseline's decimator columns).
__attribute__ ((always_inline)) inline Double4 load4 (const double* x)
{
	Double4 v;
	__builtin_memcpy (&v, x, sizeof v);
	return v;
}
#endif

// Whether every lane of a comparison's result is true, for the vectors the
// build renders with (see Lanes).
#if defined(__AVX__)
__attribute__ ((always_inline)) inline bool allLanes (Int4 m) { return _mm256_movemask_pd ((__m256d) m) == 15; }
#else
__attribute__ ((always_inline)) inline bool allLanes (Int2 m) { return _mm_movemask_pd ((__m128d) m) == 3; }
#endif

// Every lane of x that is NaN or infinite set to 0.
__attribute__ ((always_inline)) inline Double4 finiteOrZero (Double4 x)
{
	return fromBits (bitsOf (x) & (x - x == 0.0)); // x - x is NaN exactly where x is not finite
}

#if defined(__AVX__)
// The sums of the lanes of four vectors, in one vector.
__attribute__ ((always_inline)) inline Double4 sumLanes (const Double4 (&t)[4])
{
	const Double4 pairs01 = _mm256_hadd_pd (t[0], t[1]), pairs23 = _mm256_hadd_pd (t[2], t[3]);
	return _mm256_blend_pd (pairs01, pairs23, 0xc) + _mm256_permute2f128_pd (pairs01, pairs23, 0x21);
}
#endif

// frac for a sum of a phase in [0, 1) and a step in [0, 1), as frac gives it.
__attribute__ ((always_inline)) inline double wrapOnce (double x) { return x < 1.0 ? x : x - 1.0; }

// wrapOnce of two such sums at once: 1 taken off a lane that reached it
// (rarely; subtracting 0 from the other lane leaves it as it is).
__attribute__ ((always_inline)) inline Double2 wrapOnce (Double2 x)
{
	const Int2 over = x >= 1.0;
	if (__builtin_expect (_mm_movemask_pd ((__m128d) over) != 0, 0))
		x = x - fromBits (over & bitsOf (splat (1.0)));
	return x;
}

// Whether the pitch is steady through a run, as a type.
template <bool isSteady>
struct Pitch
{
	static constexpr bool steady = isSteady;
};

// The square at several phases in [0, 1) times its gain, as tick works it
// out lane by lane: ±gain unless a phase lies within dt of a step (the
// product with ±1 is exact, so the sign is flipped instead).
template <typename V>
__attribute__ ((always_inline)) inline V squaresAcross (const V& phase, const V& reduced, const V& dt, const V& gain)
{
	const V zero = {};
	const auto signBit = bitsOf (-zero); // -0.0 in every lane
	if (__builtin_expect (allLanes (fromBits (bitsOf (reduced) & ~signBit) >= dt + kStepMargin), 1))
		return fromBits (bitsOf (zero - gain) ^ (bitsOf (phase - 0.5) & signBit));
	V squares;
	for (int lane = 0; lane < int (sizeof (V) / sizeof (double)); ++lane)
		squares[lane] = gain[lane] * bandLimitedSquare (phase[lane], dt[lane]);
	return squares;
}

// The oscillator's sub-steps rendered side by side: four in the AVX2 build,
// two (one sample's) in the baseline build, whose sixteen registers would
// not hold the triangle's sums for four.
#if defined(__AVX__)
using Lanes = Double4;
#else
using Lanes = Double2;
#endif
constexpr int kLanes = sizeof (Lanes) / sizeof (double);

__attribute__ ((always_inline)) inline Lanes lanesOf (const double* x)
{
#if defined(__AVX__)
	return Lanes{x[0], x[1], x[2], x[3]};
#else
	return Lanes{x[0], x[1]};
#endif
}

} // namespace

// Renders `groups` groups of four samples while nothing changes from one
// sample to the next but the running state: no smoothing, derived values
// up to date, every phase in [0, 1), a frequency of 0 or more. The
// oscillator's phases and steps, the glide, the vibrato factors, the
// envelope and the gains take tick's steps, sample by sample, so they are
// tick's bit for bit. What differs: the sub-steps of four samples share
// vectors (two or four lanes at a time), the triangle is summed as cubics in
// 2 cos 16θ (triangleAcross), and where the four samples have one partial
// count the sine is folded into those cubics (seriesSum), the decimator
// takes the group's eight sub-steps in one linear map (the same filter,
// rounded differently), and nothing is looked up in or kept for later but
// the folded cubics.
void Voice::renderGroups (Engine& e, double* out, int32_t groups)
{
	Engine::Derived& d = e.derived;
	const double fs = e.rate;
	const double twoFs = 2.0 * fs, ceiling = kMaxVibratoRatio * fs;
	const double depth = d.vibratoCents, target = d.targetFrequency, glideCoefficient = d.glideCoefficient;
	const double vibratoStep = d.vibratoStep, tremoloStep = d.tremoloStep;
	const double tremoloDepth = d.tremoloDepth, noteGain = d.noteGain;
	const double envelopeStep = e.gateOpen ? d.attackStep : -d.releaseStep;
	const Lanes zero = {};
	const Lanes squareGain = zero + d.squareGain, sineGain = zero + d.sineGain, triangleGain = zero + d.triangleGain;
	const Lanes sineThird = zero + d.sineThird, sineFifth = zero + d.sineFifth;

	// The triangle and the sine folded into one set of cubics
	// (Derived::mixPolynomial), kept for the last partial count asked for
	// while the gains stay.
	static_assert (Engine::Derived::kMixSeries == kTriangleSeries, "one cubic per series");
	const double gains[4] = {d.triangleGain, d.sineGain, d.sineThird, d.sineFifth};
	if (!(gains[0] == d.mixGains[0] && gains[1] == d.mixGains[1] && gains[2] == d.mixGains[2] && gains[3] == d.mixGains[3]))
	{
		for (int i = 0; i < 4; ++i)
			d.mixGains[i] = gains[i];
		d.mixPartials = -1;
	}
	auto mixFor = [&d, &gains] (int partials) -> const SeriesCubics& {
		if (partials != d.mixPartials)
		{
			mixCubics (d.mixPolynomial, partials, gains[0], gains[1], gains[2], gains[3]);
			d.mixPartials = partials;
		}
		return d.mixPolynomial;
	};

	// The running state in locals, which the stores to `out` cannot touch;
	// the decimator's four state words in one vector.
	VoiceState v = e.voice;
	Double4 state = {v.decimator[0].z1, v.decimator[0].z2, v.decimator[1].z1, v.decimator[1].z2};
	// The vibrato and tremolo phases, stepped side by side.
	Double2 slowPhases = {v.vibratoPhase, v.tremoloPhase};
	const Double2 slowSteps = {vibratoStep, tremoloStep};
	// Whether the envelope stays where it is: at the top with the gate open,
	// or at 0 with it closed, and no fade.
	auto isSteady = [envelopeStep] (const VoiceState& s) {
		return !(s.retriggerFade > 0.0) && s.envelope == (envelopeStep > 0.0 ? 1.0 : 0.0);
	};
	bool envelopeSteady = isSteady (v);
	// Two instantiations of the loop: for a steady pitch (neither glide nor
	// vibrato), whose step and partial count are the same for every
	// sample, and for a moving one.
	auto run = [&] (auto pitch) {
		constexpr bool fixed = decltype (pitch)::steady;
		constexpr int kParts = 2 * kGroup / kLanes;
		// What the front of a group's work hands its back: the sines of the
		// sub-steps and the squares, the partial counts and the tremolo's
		// phases.
		struct Front
		{
			Lanes sines[kParts], squares[kParts];
			int partials[kGroup];
			Double4 tremoloPhases;
		};
		auto front = [&] (Front& f) __attribute__ ((always_inline)) {
			// The slow oscillators, the glide and the step of each sample. The
			// phases are sums of steps of 0 or more: where the last sum of a
			// chain is below 1, none reached 1, and wrapOnce leaves each as it
			// is. So the sums alone, and the wrapping chain only where a phase
			// passes 1.
			Double2 slow[kGroup + 1];
			slow[0] = slowPhases;
#pragma GCC unroll 4
			for (int k = 0; k < kGroup; ++k)
				slow[k + 1] = slow[k] + slowSteps;
			if (__builtin_expect (_mm_movemask_pd ((__m128d) (slow[kGroup] >= 1.0)) != 0, 0))
#pragma GCC unroll 4
				for (int k = 0; k < kGroup; ++k)
					slow[k + 1] = wrapOnce (slow[k] + slowSteps);
			slowPhases = slow[kGroup];
			// Vibrato reads the phase before its advance, tremolo the one after.
			auto vibratoPhases = [&slow] { return Double4{slow[0][0], slow[1][0], slow[2][0], slow[3][0]}; };
			f.tremoloPhases = Double4{slow[1][1], slow[2][1], slow[3][1], slow[4][1]};
			double frequencies[kGroup];
#pragma GCC unroll 4
			for (int k = 0; k < kGroup; ++k)
				if constexpr (!fixed)
					frequencies[k] = v.frequency = glide (v.frequency, target, glideCoefficient);
			Double4 dt;
			int* partials = f.partials;
			if constexpr (fixed)
			{
				v.frequency = target;
				dt = splat4 (d.fixedStep);
#pragma GCC unroll 4
				for (int k = 0; k < kGroup; ++k)
					partials[k] = d.fixedPartials;
			}
			else
			{
				Double4 f = lanes4 (frequencies);
				if (depth != 0.0)
					f = f * exp2Small (splat4 (depth) * sinCycles (vibratoPhases ()) * (1.0 / kCentsPerOctave));
				f = (ceiling < f) ? splat4 (ceiling) : f; // lesser (f, ceiling), lane by lane
				dt = f / twoFs;
				const Double4 highest = kTriangleBandLimit / dt; // one division for the four
#pragma GCC unroll 4
				for (int k = 0; k < kGroup; ++k)
					partials[k] = trianglePartialsBelow (highest[k]);
			}

			// The oscillator's eight sub-step phases: a chain of sums, each
			// rounded as tick rounds it (wrapped only where the chain passes 1,
			// as the slow phases are). Lanes in time order.
			double phases[2 * kGroup + 1], steps[2 * kGroup];
			phases[0] = v.phase;
#pragma GCC unroll 8
			for (int i = 0; i < 2 * kGroup; ++i)
			{
				steps[i] = dt[i / 2];
				phases[i + 1] = phases[i] + steps[i];
			}
			if (__builtin_expect (phases[2 * kGroup] >= 1.0, 0))
#pragma GCC unroll 8
				for (int i = 0; i < 2 * kGroup; ++i)
					phases[i + 1] = wrapOnce (phases[i] + steps[i]);
			v.phase = phases[2 * kGroup];
#pragma GCC unroll 4
			for (int part = 0; part < kParts; ++part)
			{
				const int first = part * kLanes; // sub-step
				// Built in registers from the lanes' values.
				const Lanes phase = lanesOf (phases + first);
				const Lanes step = lanesOf (steps + first);
				Lanes reduced;
				f.sines[part] = sinCycles (phase, reduced);
				f.squares[part] = squaresAcross (phase, reduced, step, squareGain);
			}
		};
		auto back = [&] (const Front& f, double* out) __attribute__ ((always_inline)) {
			const int* partials = f.partials;
			// Square, sine with its character and triangle, mixed: with the
			// triangle and the sine in one sum where the four samples have one
			// partial count (always, at a steady pitch).
			const bool onePartialCount = partials[0] == partials[1] && partials[1] == partials[2] && partials[2] == partials[3];
			const SeriesCubics* mix = onePartialCount ? &mixFor (partials[0]) : nullptr;
			Lanes mixed[kParts];
#pragma GCC unroll 4
			for (int part = 0; part < kParts; ++part)
			{
				const int first = part * kLanes; // sub-step
				const OddSinesAcross<Lanes> odd = oddSinesAcross (f.sines[part]);
				const Lanes squares = f.squares[part];
				if (mix != nullptr)
				{
					// The cubics are read as operands of the multiply-adds. Hidden
					// from the compiler that every part reads the same ones: it
					// would load them once into registers, which do not hold them,
					// and spill them to the stack.
					const SeriesCubics* cubics = mix;
					__asm__ ("" : "+r" (cubics));
					mixed[part] = seriesSum (odd, *cubics, squares);
					continue;
				}
				const Lanes sineWithCharacter = mulAdd (sineFifth, odd.s[2], mulAdd (sineThird, odd.s[1], odd.s[0]));
				const Lanes early = mulAdd (sineGain, sineWithCharacter, squares);
				mixed[part] = mulAdd (triangleGain, triangleAcross (odd, partials[first / 2], partials[(first + kLanes - 1) / 2]), early);
			}

			// Decimation of the eight sub-steps at once: the four samples'
			// outputs and the state after them.
#if defined(__AVX__)
			// By rows: each output and state word a sum of the products of its
			// factors with the inputs and the state, lane by lane, and then
			// across the lanes (a horizontal sum of four vectors at once). The
			// first two outputs do not depend on the last four inputs. The
			// products are added in the order their factors are ready: the
			// state's first, then the first inputs' (the first vector is ready
			// before the second).
			const Double4 x0 = mixed[0], x1 = mixed[1];
			Double4 outputTerms[4], stateTerms[4];
#pragma GCC unroll 4
			for (int r = 0; r < 4; ++r)
			{
				const auto& o = d.decimatorRows[r];
				const auto& s = d.decimatorRows[4 + r];
				outputTerms[r] = mulAdd (readLanes (o[1], &x0), x0, readLanes (o[0], &state) * state);
				if (r >= 2)
					outputTerms[r] = mulAdd (readLanes (o[2], &x1), x1, outputTerms[r]);
				stateTerms[r] = mulAdd (readLanes (s[2], &x1), x1, mulAdd (readLanes (s[1], &x0), x0, readLanes (s[0], &state) * state));
			}
			const Double4 y = sumLanes (outputTerms);
			state = sumLanes (stateTerms);
#else
			// Each a sum of columns scaled by the state before them and by the
			// inputs. The sums are taken in independent parts so that only the
			// state's part waits for the previous group.
			const double z[4] = {state[0], state[1], state[2], state[3]};
			Double4 fromInputs[2] = {}, nextFromInputs[2] = {};
#pragma GCC unroll 8
			for (int i = 0; i < 2 * kGroup; ++i)
			{
				// Taken from its register: a vector stored and read back a lane
				// at a time would wait for the store.
				const double xi = mixed[i / kLanes][i % kLanes];
				fromInputs[i % 2] = mulAdd (load4 (d.decimatorOut[4 + i]), splat4 (xi), fromInputs[i % 2]);
				nextFromInputs[i % 2] = mulAdd (load4 (d.decimatorState[4 + i]), splat4 (xi), nextFromInputs[i % 2]);
			}
			const Double4 y = mulAdd (load4 (d.decimatorOut[0]), splat4 (z[0]), mulAdd (load4 (d.decimatorOut[1]), splat4 (z[1]), fromInputs[0])) +
			                  mulAdd (load4 (d.decimatorOut[2]), splat4 (z[2]), mulAdd (load4 (d.decimatorOut[3]), splat4 (z[3]), fromInputs[1]));
			state = mulAdd (load4 (d.decimatorState[0]), splat4 (z[0]), mulAdd (load4 (d.decimatorState[1]), splat4 (z[1]), nextFromInputs[0])) +
			        mulAdd (load4 (d.decimatorState[2]), splat4 (z[2]), mulAdd (load4 (d.decimatorState[3]), splat4 (z[3]), nextFromInputs[1]));
#endif
			// State words below kFilterFloor are cleared, as tick clears them
			// (here once a group): silence never decays into subnormal numbers.
			state = fromBits (bitsOf (state) & ~(fromBits (bitsOf (state) & ~bitsOf (splat4 (-0.0))) < kFilterFloor));

			// Envelope, as tick steps it; at the top with the gate open (or at 0
			// with it closed) and no fade it stays there.
			Double4 envelope = splat4 (v.envelope);
			if (!envelopeSteady)
			{
				double envelopes[kGroup];
#pragma GCC unroll 4
				for (int k = 0; k < kGroup; ++k)
				{
					stepEnvelope (v, envelopeStep);
					envelopes[k] = v.envelope;
				}
				envelope = lanes4 (envelopes);
				envelopeSteady = isSteady (v);
			}

			Double4 tremolo = splat4 (1.0);
			if (tremoloDepth != 0.0)
				tremolo = 1.0 - tremoloDepth * (0.5 + 0.5 * sinCycles (f.tremoloPhases));
			const Double4 samples = finiteOrZero (y * (envelope * tremolo * noteGain));
#pragma GCC unroll 4
			for (int k = 0; k < kGroup; ++k)
				out[k] = samples[k];
		};
		// Software-pipelined by half a group. Each group is one long chain of
		// dependent operations (phases, sines, odd sines, sums, decimator),
		// longer than the processor's window of instructions in flight can
		// overlap with the next group's. So the next group's front (its
		// phases and sines) comes before this group's back, and the two run
		// side by side. Two Fronts taken in turn: nothing is copied from one
		// group's to the next.
		Front even, odd;
		front (even);
		for (int32_t g = 0; g < groups; g += 2, out += 2 * kGroup)
		{
			if (g + 1 == groups)
			{
				back (even, out);
				break;
			}
			front (odd);
			back (even, out);
			if (g + 2 < groups)
				front (even);
			back (odd, out + kGroup);
		}
	};
	if (d.fixedPitch)
		run (Pitch<true>{});
	else
		run (Pitch<false>{});
	v.vibratoPhase = slowPhases[0];
	v.tremoloPhase = slowPhases[1];
	v.decimator[0].z1 = state[0];
	v.decimator[0].z2 = state[1];
	v.decimator[1].z1 = state[2];
	v.decimator[1].z2 = state[3];
	e.voice = v;
}

namespace {

bool inUnitRange (double x) { return x >= 0.0 && x < 1.0; }

} // namespace

void Voice::render (Engine& e, double* out, int32_t count)
{
	if (out == nullptr)
		return;
	int32_t done = 0;
	while (done < count)
	{
		// Values derived from the inputs are brought up to date as tick's
		// first step would; while nothing is being smoothed they then hold
		// for the rest of the run. Phases written outside [0, 1) go back
		// into it after one sample; a negative or NaN frequency (only ever
		// written, never played) is left to tick.
		if (e.inputsChanged && !e.smoothing)
			e.updateDerived ();
		const VoiceState& v = e.voice;
		const int32_t groups = (count - done) / kGroup;
		if (e.smoothing || groups == 0 || !inUnitRange (v.phase) || !inUnitRange (v.vibratoPhase) ||
		    !inUnitRange (v.tremoloPhase) || !(v.frequency >= 0.0))
		{
			out[done++] = tick (e);
			continue;
		}
		e.updateDecimatorBlock ();
		renderGroups (e, out + done, groups);
		done += groups * kGroup;
	}
}

} // namespace TARNO_VOICE_PATH
} // namespace Tarno
