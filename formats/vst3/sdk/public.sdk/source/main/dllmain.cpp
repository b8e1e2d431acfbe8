// Windows module entry for VST 3 plug-ins, for SDK copies that lack it
// (Debian's reduced copy). Compiled into the plug-in .dll itself so that
// InitDll/ExitDll are exported from it.
//
// DllMain records the module handle and the folder the .dll lives in, and
// when the module is unloaded frees what would otherwise outlive it. The
// host calls InitDll after loading the module and ExitDll before unloading
// it; only the first InitDll runs InitModule and only the matching last
// ExitDll runs DeinitModule, both defined by the plug-in.

#include "pluginterfaces/base/fplatform.h"
#include "public.sdk/source/main/pluginfactory.h"

#include <windows.h>

extern bool InitModule ();
extern bool DeinitModule ();

HINSTANCE ghInst = nullptr;
void* moduleHandle = nullptr;
// Folder of the module, ending in a backslash; empty when it is unknown.
WCHAR gPath[MAX_PATH] = {0};

// Balance of InitDll over ExitDll calls.
static int moduleCounter = 0;

extern "C" {
SMTG_EXPORT_SYMBOL bool InitDll ();
SMTG_EXPORT_SYMBOL bool ExitDll ();
BOOL WINAPI DllMain (HINSTANCE hInst, DWORD dwReason, LPVOID reserved);
}

bool InitDll ()
{
	if (++moduleCounter == 1)
		return InitModule ();
	return true;
}

bool ExitDll ()
{
	--moduleCounter;
	if (moduleCounter == 0)
		return DeinitModule ();
	// More exits than entries is a host error: refused, and the balance
	// stays negative.
	if (moduleCounter < 0)
		return false;
	return true;
}

// Stores the folder of `module` (with its trailing backslash) in gPath, or
// leaves gPath empty when the file name cannot be had in full.
static void storeModuleFolder (HINSTANCE module)
{
	gPath[0] = 0;
	const DWORD length = GetModuleFileNameW (module, gPath, MAX_PATH);
	// length == MAX_PATH means the name was truncated.
	if (length == 0 || length >= MAX_PATH)
	{
		gPath[0] = 0;
		return;
	}
	DWORD cut = length;
	while (cut > 0 && gPath[cut - 1] != L'\\' && gPath[cut - 1] != L'/')
		--cut;
	gPath[cut] = 0;
}

#if defined(__GLIBCXX__)
// libstdc++ allocates an emergency exception buffer at start-up and frees it
// only in __freeres; a statically linked copy would leave it behind on every
// unload.
namespace __gnu_cxx {
void __freeres ();
}
#endif

BOOL WINAPI DllMain (HINSTANCE hInst, DWORD dwReason, LPVOID reserved)
{
	if (dwReason == DLL_PROCESS_ATTACH)
	{
		ghInst = hInst;
		moduleHandle = hInst;
		storeModuleFolder (hInst);
	}
	// reserved is null when the module is unloaded with FreeLibrary and the
	// process goes on; at process exit the memory goes with the process.
	else if (dwReason == DLL_PROCESS_DETACH && reserved == nullptr)
	{
		// A factory the host did not release: nothing can call it once the
		// module's code is gone.
		delete gPluginFactory;
#if defined(__GLIBCXX__)
		// Only the static destructors run after this, and they throw nothing.
		__gnu_cxx::__freeres ();
#endif
	}
	return TRUE;
}
