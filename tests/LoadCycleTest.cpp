// Loading and unloading the real bundle again and again, as a host does when
// it scans plug-ins or opens and closes projects, must not make the process
// grow. Each cycle (load, entry, factory, a processor started and stopped, a
// controller with its editor view, everything released, exit, unload) is
// held to what the same number of cycles of an empty module built the same
// way leaves behind: that much belongs to the system (or Wine) loading any
// module, the rest would be the plug-in's.
#ifdef TARNO_HAVE_PLUGIN

#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARNO_UNDER_SANITIZER 1
#endif

using namespace Steinberg;
using namespace Steinberg::Vst;
using Tarno::Host::Module;
using Tarno::Host::PluginInstance;

namespace {

constexpr int kWarmUpCycles = 20;
constexpr int kCycles = 200;
// What a cycle may leave behind beyond the empty module's share. Leaks the
// module had (the C++ runtime's exception buffer, the blocks the threads
// library allocated for a static's guard) each exceed the heap margin.
constexpr double kHeapMarginPerCycle = 256;
#if defined(_WIN32)
// Private pages are committed a page or more at a time as heaps grow,
// whatever allocates: their margin of a page per cycle catches only what
// leaks outside heaps.
constexpr double kPageMarginPerCycle = 4096;
#endif

struct Usage
{
	// Bytes allocated and not freed, over every allocator we can see.
	int64_t heap = 0;
	// Committed private pages (heaps, stacks, VirtualAlloc'd memory), Windows.
	int64_t privatePages = 0;
};

Usage usage ()
{
	Usage u;
#if defined(_WIN32)
	// The busy blocks of every heap: the C runtime's, the process heap and
	// those of the system libraries.
	std::vector<HANDLE> heaps (GetProcessHeaps (0, nullptr) + 16);
	heaps.resize (GetProcessHeaps (DWORD (heaps.size ()), heaps.data ()));
	for (HANDLE heap : heaps)
	{
		if (!HeapLock (heap))
			continue;
		PROCESS_HEAP_ENTRY entry = {};
		while (HeapWalk (heap, &entry))
			if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
				u.heap += int64_t (entry.cbData);
		HeapUnlock (heap);
	}
	MEMORY_BASIC_INFORMATION region;
	const char* address = nullptr;
	while (VirtualQuery (address, &region, sizeof region) == sizeof region)
	{
		if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
			u.privatePages += int64_t (region.RegionSize);
		const char* next = static_cast<const char*> (region.BaseAddress) + region.RegionSize;
		if (next <= address)
			break;
		address = next;
	}
#else
	// Counts the chunks glibc keeps in its per-thread cache as in use: that
	// cache fills in steps of a few hundred bytes, now and then.
	const struct mallinfo2 info = mallinfo2 ();
	u.heap = int64_t (info.uordblks + info.hblkhd);
#endif
	return u;
}

struct Growth
{
	double heap;
	double privatePages;
};

// Per-cycle growth after kWarmUpCycles (first loads of system libraries, the
// allocators' own caches), the smaller of two runs of kCycles / 2: a leak
// grows both, a cache that fills up once only one of them. Stops at the
// first failing cycle.
Growth measure (const std::function<void ()>& cycle)
{
	auto run = [&] (int cycles) {
		for (int i = 0; i < cycles && !testing::Test::HasFailure (); ++i)
			cycle ();
	};
	run (kWarmUpCycles);
	const Usage start = usage ();
	run (kCycles / 2);
	const Usage middle = usage ();
	run (kCycles / 2);
	const Usage end = usage ();
	auto perCycle = [] (int64_t first, int64_t second) { return double (std::min (first, second)) / (kCycles / 2); };
	return {perCycle (middle.heap - start.heap, end.heap - middle.heap),
	        perCycle (middle.privatePages - start.privatePages, end.privatePages - middle.privatePages)};
}

// A module through its entry points, by the platform's own calls: the
// empty one, and on Windows the bundle of a host that never releases the
// factory it got.
void rawCycle (const char* binary, bool releaseFactory)
{
	using Factory = IPluginFactory* (PLUGIN_API*) ();
#if defined(_WIN32)
	HMODULE module = LoadLibraryA (binary);
	ASSERT_NE (module, nullptr) << binary;
	auto symbol = [&] (const char* name) {
		return reinterpret_cast<void (*) ()> (GetProcAddress (module, name));
	};
	auto enter = reinterpret_cast<bool (*) ()> (symbol ("InitDll"));
	auto exit = reinterpret_cast<bool (*) ()> (symbol ("ExitDll"));
	auto getFactory = reinterpret_cast<Factory> (symbol ("GetPluginFactory"));
	ASSERT_TRUE (enter && exit && getFactory);
	EXPECT_TRUE (enter ());
#else
	void* module = dlopen (binary, RTLD_NOW | RTLD_LOCAL);
	ASSERT_NE (module, nullptr) << dlerror ();
	auto enter = reinterpret_cast<bool (*) (void*)> (dlsym (module, "ModuleEntry"));
	auto exit = reinterpret_cast<bool (*) ()> (dlsym (module, "ModuleExit"));
	auto getFactory = reinterpret_cast<Factory> (dlsym (module, "GetPluginFactory"));
	ASSERT_TRUE (enter && exit && getFactory);
	EXPECT_TRUE (enter (module));
#endif
	if (IPluginFactory* factory = getFactory ())
	{
		EXPECT_EQ (factory->countClasses (), 2);
		if (releaseFactory)
			factory->release ();
	}
	EXPECT_TRUE (exit ());
#if defined(_WIN32)
	FreeLibrary (module);
#else
	dlclose (module);
#endif
}

#if defined(_WIN32)
const char* const kEmptyModule = "tarno_load_baseline.dll";
#else
const char* const kEmptyModule = "./tarno_load_baseline.so";
#endif

// The bundle through our host, as a DAW uses it.
void bundleCycle ()
{
	std::string error;
	auto module = Module::load ("Tarnovelle.vst3", error);
	ASSERT_TRUE (module) << error;
	PluginInstance plugin;
	ASSERT_EQ (plugin.create (*module, module->classes ()[0], error), kResultOk) << error;
	Tarno::Host::ProcessOptions options;
	options.processMode = kRealtime;
	ASSERT_EQ (plugin.setupProcessing (options, error), kResultOk) << error;
	ASSERT_EQ (plugin.startProcessing (error), kResultOk) << error;
	EXPECT_EQ (plugin.process (64), kResultOk);
	plugin.stopProcessing ();
	IPlugView* view = plugin.controller ()->createView (ViewType::kEditor);
#if defined(_WIN32)
	EXPECT_NE (view, nullptr);
#endif
	if (view)
		view->release ();
	plugin.destroy ();
}

} // namespace

TEST (ModuleLoadCycles, LeaveNoMoreBehindThanAnEmptyModule)
{
#if defined(TARNO_UNDER_SANITIZER)
	// malloc is the sanitizer's, and glibc's count says nothing. Address-
	// Sanitizer also adds an exit handler of its own, kept to the end of the
	// process, for each static destructor a module registers: every load of
	// the bundle leaves entries in glibc's exit handler lists.
	GTEST_SKIP () << "the sanitizers keep exit handlers of every load";
#endif
	const Growth empty = measure ([] { rawCycle (kEmptyModule, true); });
	ASSERT_FALSE (HasFailure ());
	const Growth bundle = measure (bundleCycle);
	ASSERT_FALSE (HasFailure ());
	std::printf ("bytes left per load cycle: heap %.1f (empty module %.1f)", bundle.heap, empty.heap);
#if defined(_WIN32)
	std::printf (", private pages %.1f (empty module %.1f)", bundle.privatePages, empty.privatePages);
#endif
	std::printf ("\n");
	EXPECT_LE (bundle.heap, empty.heap + kHeapMarginPerCycle);
#if defined(_WIN32)
	EXPECT_LE (bundle.privatePages, empty.privatePages + kPageMarginPerCycle);
#endif

#if defined(_WIN32)
	// The factory of a host that forgets it goes with the module's code.
	std::string binary, error;
	ASSERT_TRUE (Module::findBinary ("Tarnovelle.vst3", binary, error)) << error;
	const Growth kept = measure ([&] { rawCycle (binary.c_str (), false); });
	ASSERT_FALSE (HasFailure ());
	EXPECT_LE (kept.heap, empty.heap + kHeapMarginPerCycle);
#endif
}

#endif // TARNO_HAVE_PLUGIN
