// The interface IDs of the plug-in view interfaces. The SDK leaves their
// definition to whoever uses them; the plug-in and our host both do, and
// the tests link both, so they are defined once here for all of them.
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg {

DEF_CLASS_IID (IPlugView)
DEF_CLASS_IID (IPlugFrame)
DEF_CLASS_IID (IPlugViewContentScaleSupport)

// iplugview.h declares the Linux run-loop interfaces on Linux only.
#if SMTG_OS_LINUX
namespace Linux {
DEF_CLASS_IID (IEventHandler)
DEF_CLASS_IID (ITimerHandler)
DEF_CLASS_IID (IRunLoop)
} // namespace Linux
#endif

} // namespace Steinberg
