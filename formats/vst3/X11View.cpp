#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR)

#include "formats/vst3/X11View.h"

#include "base/source/fobject.h"

#include <cstdint>
#include <cstring>

namespace Tarno {

using namespace Steinberg;

// What the run loop holds: a small object of its own, so that a host that
// releases the view without removed () still destroys it (the view then
// unregisters this and cuts it loose).
//
// Every call the window makes to its host while handling (beginEdit,
// performEdit, endEdit, setDirty) may remove the view, or release it for the
// last time. Both the handler and the view are held for the whole call, so
// that neither is destroyed under its own feet; the window stops handling as
// soon as it finds itself closed. Nothing thrown (out of memory while
// painting) reaches the host's run loop.
class X11View::Handler : public FObject, public Linux::IEventHandler, public Linux::ITimerHandler
{
public:
	explicit Handler (X11View* owner) : owner (owner) {}
	void PLUGIN_API onFDIsSet (Linux::FileDescriptor) SMTG_OVERRIDE { serve (false); }
	void PLUGIN_API onTimer () SMTG_OVERRIDE { serve (true); }
	X11View* owner;

private:
	void serve (bool timer)
	{
		IPtr<Handler> self (this);
		if (owner == nullptr)
			return;
		// Released before `self`: destroying the view cuts this handler loose.
		IPtr<X11View> view (owner);
		try
		{
			view->serve (timer);
		}
		catch (...)
		{
		}
	}

public:
	OBJ_METHODS (Handler, FObject)
	DEFINE_INTERFACES
		DEF_INTERFACE (Linux::IEventHandler)
		DEF_INTERFACE (Linux::ITimerHandler)
	END_DEFINE_INTERFACES (FObject)
	REFCOUNT_METHODS (FObject)
};

X11View::X11View (Controller* c) : EditorViewBase (c), editorHost (*c), window (editorHost)
{
	window.setZoom (zoom ());
	window.setMenuHost (this);
}

X11View::~X11View () { tearDown (); }

tresult PLUGIN_API X11View::isPlatformTypeSupported (FIDString type)
{
	return type && std::strcmp (type, kPlatformTypeX11EmbedWindowID) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API X11View::attached (void* parent, FIDString type)
{
	if (isPlatformTypeSupported (type) != kResultTrue || parent == nullptr || window.isOpen ())
		return kResultFalse;
	// Without the host's run loop the window could never be served.
	FUnknownPtr<Linux::IRunLoop> loop (plugFrame);
	if (!loop || !window.open (static_cast<uint32_t> (reinterpret_cast<uintptr_t> (parent))))
		return kResultFalse;
	runLoop = loop.getInterface ();
	if (!serveFromRunLoop ())
	{
		tearDown ();
		return kResultFalse;
	}
	return CPluginView::attached (parent, type);
}

bool X11View::serveFromRunLoop ()
{
	// Out of memory here (ours or the run loop's) leaves nothing registered
	// once tearDown has run.
	try
	{
		handler = new Handler (this);
		return runLoop->registerEventHandler (handler, window.fileDescriptor ()) == kResultOk &&
		       runLoop->registerTimer (handler, kTimerMs) == kResultOk;
	}
	catch (...)
	{
		return false;
	}
}

tresult PLUGIN_API X11View::removed ()
{
	tearDown ();
	return EditorViewBase::removed ();
}

void X11View::tearDown ()
{
	if (handler)
	{
		if (runLoop)
		{
			runLoop->unregisterEventHandler (handler);
			runLoop->unregisterTimer (handler);
		}
		handler->owner = nullptr;
		handler->release ();
		handler = nullptr;
	}
	runLoop = nullptr;
	window.close ();
}

void X11View::serve (bool timer)
{
	if (timer)
		window.onTimer ();
	else
		window.onEvents ();
	// The window closes itself when the X server goes away: the run loop
	// must stop serving a descriptor that is gone.
	if (!window.isOpen () && handler != nullptr)
		tearDown ();
}

bool X11View::contentScaleChanged (double f) { return window.setScale (f); }

} // namespace Tarno

#endif
