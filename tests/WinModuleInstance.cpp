// In the test executable the plug-in's code is linked in directly, without
// the module entry that records the module's instance handle: the
// executable's own handle stands in for it.
#ifdef _WIN32
#include <windows.h>

HINSTANCE ghInst = GetModuleHandleW (nullptr);
#endif
