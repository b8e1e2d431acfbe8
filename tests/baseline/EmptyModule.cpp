// A module with the plug-in's entry points and nothing behind them, built
// with the plug-in's compiler, flags and runtime: what loading and unloading
// any such module costs the process, against which the load cycles of the
// real bundle are held (tests/LoadCycleTest.cpp).
#include "pluginterfaces/base/ipluginbase.h"

extern "C" {

#if SMTG_OS_WINDOWS
SMTG_EXPORT_SYMBOL bool InitDll () { return true; }
SMTG_EXPORT_SYMBOL bool ExitDll () { return true; }
#else
SMTG_EXPORT_SYMBOL bool ModuleEntry (void*) { return true; }
SMTG_EXPORT_SYMBOL bool ModuleExit () { return true; }
#endif

SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory () { return nullptr; }

} // extern "C"
