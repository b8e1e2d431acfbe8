// Small helpers shared by the engine tests.
#pragma once

#include "engine/Engine.h"

#include <cmath>
#include <memory>

namespace TarnoTest {

constexpr double kPi = 3.14159265358979323846;

// Engines are ~49 kB; tests keep them on the heap.
inline std::unique_ptr<Tarno::Engine> preparedEngine (double rate)
{
	auto e = std::make_unique<Tarno::Engine> ();
	e->prepare (rate);
	return e;
}

// Sets a parameter with no smoothing ramp.
inline void setNow (Tarno::Engine& e, int32_t id, double value)
{
	e.setParameter (id, value);
	if (Tarno::isTableParam (id))
		e.smoothed[id] = value;
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
