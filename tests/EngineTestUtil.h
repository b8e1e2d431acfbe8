// Small helpers shared by the engine tests.
#pragma once

#include "engine/Engine.h"

#include <cmath>
#include <memory>
#include <vector>

namespace TarnoTest {

constexpr double kPi = 3.14159265358979323846;

// Engines hold a large note table; tests keep them on the heap.
inline std::unique_ptr<Tarno::Engine> preparedEngine (double rate)
{
	auto e = std::make_unique<Tarno::Engine> ();
	e->prepare (rate);
	return e;
}

// The voice paths this processor runs: the baseline always, AVX2 where the
// processor has it. Tests of the sound run on each in turn.
inline std::vector<Tarno::VoicePath> runnablePaths ()
{
	std::vector<Tarno::VoicePath> paths;
	for (Tarno::VoicePath p : {Tarno::VoicePath::baseline, Tarno::VoicePath::avx2})
		if (Tarno::Engine::pathAvailable (p))
			paths.push_back (p);
	return paths;
}

inline const char* pathName (Tarno::VoicePath p) { return p == Tarno::VoicePath::avx2 ? "avx2" : "baseline"; }

// Sets a parameter with no smoothing ramp.
inline void setNow (Tarno::Engine& e, int32_t id, double value)
{
	e.setParameter (id, value);
	e.setSmoothed (id, value);
}

// The oscillator frequency of the last tick, read from its phase advance
// (two sub-steps of f / (2 fs) each).
inline double lastOscillatorFrequency (double phaseBefore, double phaseAfter, double rate)
{
	double d = phaseAfter - phaseBefore;
	d -= std::floor (d);
	return d * rate;
}

inline double noteFrequency (double note) { return 440.0 * std::pow (2.0, (note - 69.0) / 12.0); }

} // namespace TarnoTest
