// Deterministic note and parameter sequences that drive an engine the way a
// process block would, shared by the golden-reference and spectrum tests.
#pragma once

#include "engine/Engine.h"

#include <cstdint>

namespace TarnoTest {

// A tiny, platform-independent pseudo-random generator.
class Lcg
{
public:
	explicit Lcg (uint64_t seed) : state (seed) {}
	uint32_t next ()
	{
		state = state * 6364136223846793005ull + 1442695040888963407ull;
		return uint32_t (state >> 33);
	}
	double unit () { return next () / 2147483648.0; } // [0, 1)
	int below (int n) { return int (next () % uint32_t (n)); }

private:
	uint64_t state;
};

// The patch with everything on: all three levels full, sine character full,
// 100 cents of vibrato plus the full mod wheel, tremolo, 500 ms glide and
// full velocity sensitivity.
void applyEverythingOn (Tarno::Engine& e);

// Calls before sample `index` of a phrase: notes, pedal, bend, wheel and
// parameter changes on several channels. The same seed and index give the
// same calls on every platform.
class BusyPhrase
{
public:
	explicit BusyPhrase (uint64_t seed) : random (seed) {}
	void before (int64_t index, Tarno::Engine& e);

private:
	Lcg random;
	int heldCount = 0;
	int16_t held[8][2] = {};
};

} // namespace TarnoTest
