// Speed of the voice engine, measured per output sample.
//
// Every case renders blocks of kBlock samples per benchmark iteration and
// reports, besides Google Benchmark's own columns:
//   items_per_second  output samples rendered per second of CPU time;
//   ns_per_sample     CPU time per output sample, in nanoseconds;
//   core_share_pct    the share of one core that rendering in real time at
//                     the case's sample rate takes, in percent.
// Both custom counters are derived by Google Benchmark from the measured time
// (see addSampleCounters), so ns_per_sample == 1e9 / items_per_second.
//
// Each case runs on both builds of the voice, "baseline" (any x86-64
// processor) and "avx2" (AVX2 and FMA; left out on a processor without
// them), and the note cases also through "plain", the literal evaluation of
// the formulas that the tests hold the engine to (tests/ReferenceVoice.cpp).
// The paths render through Engine::render, in runs that end at each event
// (as the processor calls it); bench/ProcessorBench.cpp times the same note
// through the processor.
// BenchMain.cpp prints the three side by side.
//
// The "Settled" and "Fresh" cases come in pairs: the same final patch, once
// reached after 30 s of audio (where slowly decaying values can end up as
// subnormal numbers) and once set up directly. BenchMain.cpp prints the cost
// ratio of each pair after the table.
#include "engine/Engine.h"
#include "params/ParamTable.h"
#include "tests/ReferenceVoice.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using Tarno::Engine;

constexpr int kBlock = 512; // output samples rendered per benchmark iteration
constexpr float kNoteVelocity = 0.8f;

// What renders the samples: one of the engine's two paths, or the literal
// evaluation of the formulas.
enum class Mode
{
	baseline,
	avx2,
	plain,
};

const char* modeName (Mode m) { return m == Mode::avx2 ? "avx2" : m == Mode::plain ? "plain" : "baseline"; }

std::unique_ptr<Engine> preparedEngine (double rate, Mode m)
{
	auto e = std::make_unique<Engine> ();
	e->prepare (rate);
	e->usePath (m == Mode::avx2 ? Tarno::VoicePath::avx2 : Tarno::VoicePath::baseline);
	return e;
}

// Renders n samples and returns their sum, so that no output can be dropped.
// The engine's paths render in runs of up to kBlock samples, as the
// processor calls them between events.
double render (Engine& e, int64_t n, Mode m)
{
	double sum = 0.0;
	if (m == Mode::plain)
	{
		for (int64_t i = 0; i < n; ++i)
			sum += TarnoTest::referenceTick (e);
		return sum;
	}
	double run[kBlock];
	while (n > 0)
	{
		const int32_t count = int32_t (std::min<int64_t> (n, kBlock));
		e.render (run, count);
		for (int32_t i = 0; i < count; ++i)
			sum += run[i];
		n -= count;
	}
	return sum;
}

int64_t samplesIn (double seconds, double rate) { return static_cast<int64_t> (seconds * rate); }

// Items = output samples. The two custom counters are rates of "samples per
// second of measured time", scaled and inverted:
//   kIsIterationInvariantRate gives  value · iterations / seconds,
//   kInvert then gives               seconds / (value · iterations),
// where seconds / (kBlock · iterations) is the time per sample. So
// value = kBlock · 1e-9 gives nanoseconds per sample, and
// value = kBlock / (100 · rate) gives seconds per sample · rate · 100, the
// percentage of one core (= ns_per_sample · rate / 1e9 · 100).
void addSampleCounters (benchmark::State& state, double rate)
{
	using benchmark::Counter;
	state.SetItemsProcessed (state.iterations () * kBlock);
	const auto perSample = Counter::Flags (Counter::kIsIterationInvariantRate | Counter::kInvert);
	state.counters["ns_per_sample"] = Counter (kBlock * 1e-9, perSample);
	state.counters["core_share_pct"] = Counter (kBlock / (100.0 * rate), perSample);
}

// Sample rate of a case, passed as its single argument.
double rateOf (const benchmark::State& state) { return static_cast<double> (state.range (0)); }

// ---------------------------------------------------------------------------
// The default patch with one held note.

void DefaultNote (benchmark::State& state, Mode m)
{
	const double rate = rateOf (state);
	auto e = preparedEngine (rate, m);
	e->noteOn (0, 60, kNoteVelocity);
	benchmark::DoNotOptimize (render (*e, samplesIn (0.1, rate), m)); // past the attack

	for (auto _ : state)
		benchmark::DoNotOptimize (render (*e, kBlock, m));
	addSampleCounters (state, rate);
}

// ---------------------------------------------------------------------------
// Renders n samples while calling event(k) before every sample whose running
// index (`clock`, kept by the caller across blocks) is k · period.
template <typename Event>
double renderWithEvents (Engine& e, Mode m, int64_t& clock, int64_t n, int64_t period, Event&& event)
{
	double sum = 0.0;
	while (n > 0)
	{
		if (clock % period == 0)
			event (clock / period);
		const int64_t chunk = std::min (n, period - clock % period);
		sum += render (e, chunk, m);
		clock += chunk;
		n -= chunk;
	}
	return sum;
}

// ---------------------------------------------------------------------------
// Everything on: all three waveforms, full sine character, 100 cents of
// vibrato plus the full mod wheel, tremolo, a 500 ms glide and full velocity
// sensitivity. Two notes take turns every 0.25 s of audio, legato, so the
// glide never comes to rest. Both notes (and their vibrato extremes) stay low
// enough that the triangle keeps all 32 of its partials at every rate tested,
// i.e. the oscillator does its full amount of work.

void applyEverythingOn (Engine& e)
{
	e.setParameter (Tarno::kSquareParam, 1.0);
	e.setParameter (Tarno::kTriangleParam, 1.0);
	e.setParameter (Tarno::kSineParam, 1.0);
	e.setParameter (Tarno::kSineCharacterParam, 1.0);
	e.setParameter (Tarno::kVibratoDepthParam, 1.0);
	e.setParameter (Tarno::kModWheelParam, 1.0);
	e.setParameter (Tarno::kTremoloDepthParam, 0.6);
	e.setParameter (Tarno::kGlissandoParam, 0.25);
	e.setParameter (Tarno::kVelocityParam, 1.0);
	e.setParameter (Tarno::kLegatoParam, 1.0);
}

void EverythingOn (benchmark::State& state, Mode m)
{
	const double rate = rateOf (state);
	auto e = preparedEngine (rate, m);
	applyEverythingOn (*e);
	e->reset (); // start with the smoothed values already at the patch

	static constexpr int16_t kNotes[2] = {55, 67}; // G3 and G4
	const int64_t period = samplesIn (0.25, rate);
	int64_t clock = 0;
	auto alternate = [&e] (int64_t k) {
		const int16_t next = kNotes[k % 2], previous = kNotes[(k + 1) % 2];
		e->noteOn (0, next, kNoteVelocity); // new key first: legato, no gap
		e->noteOff (0, previous);
	};
	benchmark::DoNotOptimize (renderWithEvents (*e, m, clock, samplesIn (1.0, rate), period, alternate));

	for (auto _ : state)
		benchmark::DoNotOptimize (renderWithEvents (*e, m, clock, kBlock, period, alternate));
	addSampleCounters (state, rate);
}

// ---------------------------------------------------------------------------
// A fast legato run on the default patch: every 16 samples a new key goes
// down (cycling over three channels) and the oldest of four held keys comes
// up, i.e. two note events, each of which rescans all note slots. Compare
// with DefaultNote at the same rate for the cost of the events alone.

void LegatoRun (benchmark::State& state, Mode m)
{
	const double rate = rateOf (state);
	auto e = preparedEngine (rate, m);

	constexpr int64_t kEventPeriod = 16;
	constexpr int kHeld = 4;
	int16_t held[kHeld][2] = {}; // channel, pitch; a ring, oldest at k % kHeld
	bool filled[kHeld] = {};
	int64_t clock = 0;
	auto step = [&] (int64_t k) {
		// Pitches 48..83 in steps of 5 (mod 36): any 36 consecutive keys
		// differ, so the four held ones always do.
		const int16_t channel = int16_t (k % 3);
		const int16_t pitch = int16_t (48 + (k * 5) % 36);
		const int slot = int (k % kHeld);
		e->noteOn (channel, pitch, kNoteVelocity);
		if (filled[slot])
			e->noteOff (held[slot][0], held[slot][1]);
		held[slot][0] = channel;
		held[slot][1] = pitch;
		filled[slot] = true;
	};
	benchmark::DoNotOptimize (renderWithEvents (*e, m, clock, samplesIn (0.1, rate), kEventPeriod, step));

	for (auto _ : state)
		benchmark::DoNotOptimize (renderWithEvents (*e, m, clock, kBlock, kEventPeriod, step));
	addSampleCounters (state, rate);
}

// ---------------------------------------------------------------------------
// Subnormal hazard. The smoothed parameters approach a new target
// exponentially; after a switch to 0 they pass through the subnormal range
// after a few seconds and can stay there (the step towards 0 rounds to
// nothing), and so can the decimation filter's states they feed. Arithmetic
// on subnormals may be far slower than on normal numbers.
//
// "Settled": a busy patch plays a note, then all 16 parameters are set to 0
// (Held: all but Output, which goes to 1.0 so that the output stage is not
// tiny as well) and, for Released, the key comes up; 30 s of audio follow
// before timing starts. "Fresh": the same final values set directly, with the
// smoothed values equal to them (reset), and the same note state.
// Target: Settled costs at most 10 % more than Fresh.

constexpr double kHazardRate = 48000.0;
constexpr double kSettleSeconds = 30.0;
constexpr int16_t kHazardNote = 60;

enum class Hazard
{
	Released,
	Held
};

double finalValue (Hazard h, int32_t id) { return (h == Hazard::Held && id == Tarno::kOutputParam) ? 1.0 : 0.0; }

void setFinalValues (Engine& e, Hazard h)
{
	for (int32_t id = 0; id < Tarno::kNumParams; ++id)
		e.setParameter (id, finalValue (h, id));
}

// The engine after the 30 s history. Built once per variant and copied into
// each run, because Google Benchmark calls a case several times while it
// picks the iteration count.
const Engine& settledEngine (Hazard h, Mode m)
{
	static std::unique_ptr<Engine> cache[2][3];
	std::unique_ptr<Engine>& e = cache[h == Hazard::Held ? 1 : 0][static_cast<int> (m)];
	if (!e)
	{
		e = preparedEngine (kHazardRate, m);
		for (int32_t id = 0; id < Tarno::kNumParams; ++id)
			e->setParameter (id, 0.5);
		e->noteOn (0, kHazardNote, kNoteVelocity);
		benchmark::DoNotOptimize (render (*e, samplesIn (0.5, kHazardRate), m));
		setFinalValues (*e, h);
		if (h == Hazard::Released)
			e->noteOff (0, kHazardNote);
		benchmark::DoNotOptimize (render (*e, samplesIn (kSettleSeconds, kHazardRate), m));
	}
	return *e;
}

std::unique_ptr<Engine> freshEngine (Hazard h, Mode m)
{
	auto e = preparedEngine (kHazardRate, m);
	setFinalValues (*e, h);
	e->reset (); // smoothed = target
	e->noteOn (0, kHazardNote, kNoteVelocity);
	if (h == Hazard::Released)
		e->noteOff (0, kHazardNote);
	benchmark::DoNotOptimize (render (*e, samplesIn (0.05, kHazardRate), m)); // past the attack when held
	return e;
}

// How many of the engine's evolving values are subnormal right now.
int countSubnormals (const Engine& e)
{
	int n = 0;
	auto check = [&n] (double x) { n += std::fpclassify (x) == FP_SUBNORMAL ? 1 : 0; };
	for (double x : e.smoothedValues ())
		check (x);
	for (const Tarno::Biquad& section : e.state ().decimator)
	{
		check (section.z1);
		check (section.z2);
	}
	const Tarno::VoiceState& v = e.state ();
	for (double x : {v.envelope, v.frequency, v.phase, v.vibratoPhase, v.tremoloPhase, v.retriggerFade})
		check (x);
	return n;
}

void runHazard (benchmark::State& state, std::unique_ptr<Engine> e, Mode m)
{
	// Shows whether the hazard is present: subnormal values at the start and
	// at the end of the timed rendering.
	const int before = countSubnormals (*e);
	for (auto _ : state)
		benchmark::DoNotOptimize (render (*e, kBlock, m));
	addSampleCounters (state, kHazardRate);
	state.counters["subnormals_start"] = before;
	state.counters["subnormals_end"] = countSubnormals (*e);
}

void Settled (benchmark::State& state, Hazard h, Mode m)
{
	runHazard (state, std::make_unique<Engine> (settledEngine (h, m)), m);
}
void Fresh (benchmark::State& state, Hazard h, Mode m) { runHazard (state, freshEngine (h, m), m); }

// Names read "Case/mode/rate:Hz"; the hazard pairs "Variant/Fresh/mode" and
// "Variant/Settled/mode" sit next to each other. Registered before main runs.
bool registerCases ()
{
	std::vector<Mode> fast = {Mode::baseline};
	if (Engine::pathAvailable (Tarno::VoicePath::avx2))
		fast.push_back (Mode::avx2);
	std::vector<Mode> all = fast;
	all.push_back (Mode::plain);
	const auto us = benchmark::kMicrosecond;

	for (Mode m : all)
		benchmark::RegisterBenchmark ((std::string ("DefaultNote/") + modeName (m)).c_str (), DefaultNote, m)
		    ->ArgName ("rate")->Arg (44100)->Arg (48000)->Arg (96000)->Unit (us);
	for (Mode m : all)
		benchmark::RegisterBenchmark ((std::string ("EverythingOn/") + modeName (m)).c_str (), EverythingOn, m)
		    ->ArgName ("rate")->Arg (44100)->Arg (48000)->Arg (96000)->Unit (us);
	for (Mode m : all)
		benchmark::RegisterBenchmark ((std::string ("LegatoRun/") + modeName (m)).c_str (), LegatoRun, m)
		    ->ArgName ("rate")->Arg (48000)->Unit (us);
	const std::string rate = "/rate:" + std::to_string (static_cast<int> (kHazardRate));
	for (Hazard h : {Hazard::Released, Hazard::Held})
		for (Mode m : fast)
		{
			const std::string variant = h == Hazard::Held ? "Held" : "Released";
			benchmark::RegisterBenchmark ((variant + "/Fresh/" + modeName (m) + rate).c_str (), Fresh, h, m)->Unit (us);
			benchmark::RegisterBenchmark ((variant + "/Settled/" + modeName (m) + rate).c_str (), Settled, h, m)->Unit (us);
		}
	return true;
}

[[maybe_unused]] const bool registered = registerCases ();

} // namespace
