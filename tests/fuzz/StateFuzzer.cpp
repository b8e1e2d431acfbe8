// libFuzzer entry: arbitrary bytes into the processor's and the controller's
// state readers. Any broken rule aborts, so the fuzzer reports the input.
#include "tests/StateFuzzHarness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
	const std::string problem = TarnoTest::checkStateInput (data, size);
	if (!problem.empty ())
	{
		std::fprintf (stderr, "state input broke a rule: %s\n", problem.c_str ());
		std::abort ();
	}
	return 0;
}
