// The test program's own operator new: it counts the allocations a thread
// makes while counting is on, and can make one chosen allocation fail with
// std::bad_alloc. Sanitizers bring their own allocators, which a replaced
// operator new would mix with, so under them the hooks are not installed
// and active () is false.
#pragma once

namespace TarnoTest {
namespace Allocations {

bool active ();

// Counting, per thread.
void count (bool on);
long counted ();

// The allocation `n` allocations from now on this thread (0: the next one)
// throws std::bad_alloc; a negative n disarms. pending () is true while the
// failure is still to come.
void failAfter (long n);
bool pending ();

} // namespace Allocations
} // namespace TarnoTest
