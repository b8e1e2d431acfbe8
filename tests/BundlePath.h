// The plug-in bundle the tests load: $TARNO_BUNDLE, or Tarnovelle.vst3 in the
// working directory (the build directory, where ctest runs the tests).
#pragma once

#include <cstdlib>
#include <string>

namespace TarnoTest {

inline std::string bundlePath ()
{
	const char* env = std::getenv ("TARNO_BUNDLE");
	return env && *env ? env : "Tarnovelle.vst3";
}

} // namespace TarnoTest
