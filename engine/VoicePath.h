// The voice's per-sample code is built twice from the same sources: once for
// any x86-64 processor (SSE2) and once for x86-64-v3 processors (AVX2 and
// FMA). Each build's functions live in a namespace of their own, so
// that the two builds' inline functions never stand in for one another at
// link time: an AVX2 copy picked for the baseline code would fault on an
// older processor. The same holds for what the voice's sources call: at -O0
// every inline or template function they use is emitted out of line, and
// one of a library's (std::min, std::array::operator[]) would be compiled
// into both builds under one name. So those sources call no library
// templates or inline functions outside their build's namespace (only C
// library functions, which neither build compiles); the test
// voice_builds_apart reads both Debug-compiled builds' symbol tables.
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
