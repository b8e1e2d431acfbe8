#include "tests/AllocationHooks.h"

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARNO_ALLOCATION_HOOKS 0
#else
#define TARNO_ALLOCATION_HOOKS 1
#endif

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;
thread_local long untilFailure = -1;

#if TARNO_ALLOCATION_HOOKS
void* hookedAlloc (std::size_t size)
{
	if (counting)
		++allocations;
	if (untilFailure >= 0 && untilFailure-- == 0)
		throw std::bad_alloc ();
	if (void* p = std::malloc (size ? size : 1))
		return p;
	throw std::bad_alloc ();
}

// Out of line, so that the compiler does not pair a new expression with
// free () and warn about it.
__attribute__ ((noinline)) void hookedFree (void* p) { std::free (p); }
#endif

} // namespace

namespace TarnoTest {
namespace Allocations {

bool active () { return TARNO_ALLOCATION_HOOKS != 0; }
void count (bool on)
{
	counting = on;
	if (on)
		allocations = 0;
}
long counted () { return allocations; }
void failAfter (long n) { untilFailure = n < 0 ? -1 : n; }
bool pending () { return untilFailure >= 0; }

} // namespace Allocations
} // namespace TarnoTest

#if TARNO_ALLOCATION_HOOKS
void* operator new (std::size_t size) { return hookedAlloc (size); }
void* operator new[] (std::size_t size) { return hookedAlloc (size); }
void operator delete (void* p) noexcept { hookedFree (p); }
void operator delete[] (void* p) noexcept { hookedFree (p); }
void operator delete (void* p, std::size_t) noexcept { hookedFree (p); }
void operator delete[] (void* p, std::size_t) noexcept { hookedFree (p); }
#endif
