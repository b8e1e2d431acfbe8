// The voice's per-sample code is built twice from the same sources: once for
// any x86-64 processor (SSE2) and once for x86-64-v3 processors (AVX2 and
// FMA). Each build's functions live in a namespace of their own, so
// that the two builds' inline functions never stand in for one another at
// link time: an AVX2 copy picked for the baseline code would fault on an
// older processor.
#pragma once

#include <cstdint>

#ifndef TARNO_VOICE_PATH
#define TARNO_VOICE_PATH baseline
#endif

namespace Tarno {

enum class VoicePath
{
	baseline, // SSE2, every x86-64 processor
	avx2,     // AVX2 and FMA
};

class Engine;

// The per-sample code of one build (engine/Voice.cpp); a friend of Engine.
namespace baseline {
struct Voice
{
	static double tick (Engine& e);
	static void render (Engine& e, double* out, int32_t count);
	// Four samples at a time while nothing but the running state changes.
	static void renderGroups (Engine& e, double* out, int32_t groups);
};
} // namespace baseline
namespace avx2 {
struct Voice
{
	static double tick (Engine& e);
	static void render (Engine& e, double* out, int32_t count);
	// Four samples at a time while nothing but the running state changes.
	static void renderGroups (Engine& e, double* out, int32_t groups);
};
} // namespace avx2

} // namespace Tarno
