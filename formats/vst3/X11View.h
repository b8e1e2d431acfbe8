// The editor as a VST 3 view on Linux: the X11 window (editor/x11) embedded
// in the host's window (X11EmbedWindowID) and served by the run loop the
// host's IPlugFrame offers: a handler for the window's connection and a
// timer. Content scales, zoom, the parameter finder and the host's context
// menu come through EditorViewBase.
#pragma once

#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR)

#include "editor/x11/X11Window.h"
#include "formats/vst3/Controller.h"
#include "formats/vst3/ControllerEditorHost.h"
#include "formats/vst3/EditorViewBase.h"

#include "pluginterfaces/gui/iplugview.h"

namespace Tarno {

class X11View : public EditorViewBase
{
public:
	static constexpr Steinberg::Linux::TimerInterval kTimerMs = X11Window::kTimerMs;

	explicit X11View (Controller* controller);
	~X11View () override;

	Steinberg::tresult PLUGIN_API isPlatformTypeSupported (Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API attached (void* parent, Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API removed () SMTG_OVERRIDE;

	// For tests: the child window while attached (0 otherwise), the paints
	// so far, the X errors reported for the window's requests.
	xcb_window_t windowId () const { return window.windowId (); }
	int paintCount () const { return window.paintCount (); }
	int errorCount () const { return window.errorCount (); }
	// For tests: whether the window's own menu or the typed-value field is open.
	bool menuOpen () const { return window.menuOpen (); }
	const ValueEntry& valueEntry () const { return window.valueEntry (); }

private:
	class Handler;

	bool contentScaleChanged (double f) override;
	bool zoomChanged (double zoom) override { return window.setZoom (zoom); }
	int32_t parameterAt (int32_t x, int32_t y) const override { return window.parameterAt (x, y); }
	void chooseMenuItem (int32_t tag, int32_t param) override { window.chooseMenuItem (tag, param); }
	// Registers the handler with the frame's run loop; false without one.
	bool serveFromRunLoop ();
	// Unregisters the handler and closes the window; safe at any stage.
	void tearDown ();
	void serve (bool timer);

	ControllerEditorHost editorHost;
	X11Window window;
	Steinberg::IPtr<Steinberg::Linux::IRunLoop> runLoop;
	Handler* handler = nullptr;
};

} // namespace Tarno

#endif
