// The plug-in's own editor on Linux: an 860 × 530 child window of the
// host's X11 window (larger at a content scale above 1), painted double-buffered through the Cairo canvas, with
// the same gestures as the Windows editor (EditorCore). Everything runs on
// the host's UI thread through the run loop the host's IPlugFrame offers:
// a handler for the X connection's descriptor drains the pending events,
// and a 100 ms timer repaints when the values, the skin or the active
// control changed since the last paint (an idle editor draws nothing).
//
// The view speaks XCB rather than Xlib: XCB reports errors per request
// instead of through process-wide error handlers, which a plug-in must not
// replace in its host, and a closed connection shows as a flag to check
// instead of Xlib's I/O error handler, which ends the process.
#pragma once

#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR)

#include "controller/Controller.h"
#include "editor/CairoCanvas.h"
#include "editor/EditorCore.h"
#include "editor/EditorViewBase.h"

#include "base/source/fobject.h"
#include "pluginterfaces/gui/iplugview.h"

#include <xcb/xcb.h>

#include <memory>

namespace Tarno {

class X11Editor : public EditorViewBase, private EditorWindow
{
public:
	static constexpr Steinberg::Linux::TimerInterval kTimerMs = 100;

	explicit X11Editor (Controller* controller);
	~X11Editor () override;

	Steinberg::tresult PLUGIN_API isPlatformTypeSupported (Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API attached (void* parent, Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API removed () SMTG_OVERRIDE;

	// The child window while attached (0 otherwise); for tests.
	xcb_window_t windowId () const { return window; }
	// Number of paints so far; for tests.
	int paintCount () const { return paints; }
	// Number of X errors the server reported for the view's requests; for tests.
	int errorCount () const { return errors; }

private:
	class Handler;

	bool contentScaleChanged (double f) override;
	// The off-screen picture at the current size; false (and none) when it
	// could not be made.
	bool makeCanvas ();
	// What attached () makes; false, and tearDown () to do, when anything
	// could not be made.
	bool makeWindow (void* parent);

	// EditorWindow
	void invalidate () override;
	void setCapture () override;
	void releaseCapture () override;
	bool hasCapture () override;

	void onEvents ();
	void onTimer ();
	void tick ();
	void forgetPointerQuery ();
	void handle (const xcb_generic_event_t& event);
	void paintNow ();
	// Everything attached made, in reverse; safe at any stage of it.
	void tearDown ();

	EditorCore core;
	EditorInput& input;
	DoubleClickDetector clicks;
	std::unique_ptr<CairoCanvas> canvas;

	Steinberg::IPtr<Steinberg::Linux::IRunLoop> runLoop;
	Handler* handler = nullptr;
	xcb_connection_t* connection = nullptr;
	xcb_window_t window = 0;
	bool windowAlive = false;
	cairo_surface_t* windowSurface = nullptr;
	bool captured = false;
	bool paintPending = false;
	bool draining = false;
	// A pointer query sent during a drag, answered by the next timer tick:
	// a drag whose button-up went elsewhere (window unmapped meanwhile) ends.
	// A drag's start or end forgets the question asked for the one before.
	unsigned int pointerQuery = 0;
	bool pointerQueryPending = false;
	int paints = 0;
	int errors = 0;
};

} // namespace Tarno

#endif
