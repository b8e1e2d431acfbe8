// libFuzzer entry: bytes decoded into a sequence of VST 3 calls, mostly with
// bad arguments, on the plug-in bundle built with the same sanitizers. The
// bundle is Tarnovelle.vst3 in the working directory (the fuzz build
// directory) or $TARNO_BUNDLE. Any broken rule aborts, so the fuzzer reports
// the input.
#include "vst3host/Module.h"
#include "tests/BundlePath.h"
#include "tests/CallSequenceHarness.h"
#include "tests/HostileUtil.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
	// Loaded once and never unloaded: the process ends with the module still
	// mapped, so that what LeakSanitizer reports at exit has a module to
	// point into.
	static Tarno::Host::Module* const module = [] {
		std::string error;
		auto loaded = Tarno::Host::Module::load (TarnoTest::bundlePath (), error);
		if (!loaded)
		{
			std::fprintf (stderr, "cannot load the plug-in bundle '%s' (set TARNO_BUNDLE): %s\n",
			              TarnoTest::bundlePath ().c_str (), error.c_str ());
			std::abort ();
		}
		return loaded.release ();
	}();
	const std::string problem = TarnoTest::runCallSequence (module->factory (), data, size);
	if (!problem.empty ())
	{
		std::fprintf (stderr, "call sequence broke a rule: %s\n", problem.c_str ());
		std::abort ();
	}
	return 0;
}
