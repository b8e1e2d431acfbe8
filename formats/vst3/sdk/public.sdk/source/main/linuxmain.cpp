// Linux module entry for VST 3 plug-ins, for SDK copies that lack it
// (Debian's reduced copy). Compiled into the plug-in .so itself so that
// ModuleEntry/ModuleExit are exported from it.
//
// The host calls ModuleEntry with the dlopen handle after loading the module
// and ModuleExit before unloading it; only the first entry runs InitModule
// and only the matching last exit runs DeinitModule, both defined by the
// plug-in.

#include "pluginterfaces/base/fplatform.h"

extern bool InitModule ();
extern bool DeinitModule ();

// The dlopen handle of this module while it is entered.
void* moduleHandle = nullptr;

// Balance of ModuleEntry over ModuleExit calls.
static int moduleCounter = 0;

extern "C" {
SMTG_EXPORT_SYMBOL bool ModuleEntry (void* sharedLibraryHandle);
SMTG_EXPORT_SYMBOL bool ModuleExit ();
}

bool ModuleEntry (void* sharedLibraryHandle)
{
	if (++moduleCounter == 1)
	{
		moduleHandle = sharedLibraryHandle;
		return InitModule ();
	}
	return true;
}

bool ModuleExit ()
{
	--moduleCounter;
	if (moduleCounter == 0)
	{
		const bool result = DeinitModule ();
		moduleHandle = nullptr;
		return result;
	}
	// More exits than entries is a host error: refused, and the balance
	// stays negative.
	if (moduleCounter < 0)
		return false;
	return true;
}
