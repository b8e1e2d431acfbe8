// A plain, literal evaluation of the voice's per-sample formulas, kept as the
// reference that the optimised Engine::tick is held to.
#pragma once

#include "engine/Engine.h"

namespace TarnoTest {

// Advances `e` by one output sample exactly as the formulas read, using only
// the engine's documented fields and parameter values, and returns the sample.
double referenceTick (Tarno::Engine& e);

} // namespace TarnoTest
