// The editor's window on Linux, for any plug-in format: an 860 × 530 child
// window of the host's X11 window (larger at a content scale above 1),
// painted double-buffered through the Cairo canvas, with the gestures of
// EditorCore. It runs on the host's UI thread and is driven from outside:
// whoever owns it calls onEvents when its connection's descriptor is
// readable (or simply often) and onTimer every kTimerMs; the timer repaints
// when the values, the skin or the active control changed since the last
// paint (an idle editor draws nothing).
//
// The window speaks XCB rather than Xlib: XCB reports errors per request
// instead of through process-wide error handlers, which a plug-in must not
// replace in its host, and a closed connection shows as a flag to check
// instead of Xlib's I/O error handler, which ends the process.
//
// A right-click asks the window's EditorMenuHost (if set) to show the host's
// context menu; without one, or when the host has none, the window draws the
// plug-in's menu in the panel (Escape or a click outside closes it). Typed
// values (Ctrl+click on a control, or the menu's "Enter value…") get a field
// drawn over the value readout; the window takes the keyboard focus while a
// menu or a field is open, reads keys through xkbcommon (the server's
// layout), and gives the focus back when they close. Zoom: the panel drawn
// at the content scale times the zoom (0.5 to 2).
//
// Any call to the EditorHost made while handling (an edit, the skin) may
// lead the host to close this window: the handlers find it closed and stop.
// Keeping the window's owner alive meanwhile is the owner's part.
#pragma once

#include "editor/EditorCore.h"
#include "editor/EditorMenu.h"
#include "editor/ValueEntry.h"
#include "editor/canvas/CairoCanvas.h"

#include <xcb/xcb.h>

#include <memory>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace Tarno {

class X11Window : private EditorWindow
{
public:
	static constexpr int kTimerMs = 100;

	explicit X11Window (EditorHost& host);
	~X11Window () override;
	X11Window (const X11Window&) = delete;
	X11Window& operator= (const X11Window&) = delete;

	// Opens the child window of `parent` on a connection of its own, mapped
	// and ready to paint. False, with nothing left open, when the display,
	// the parent or memory fails; also when already open.
	bool open (uint32_t parent);
	// Ends a drag in progress (its one endEdit) and closes everything open
	// closes; safe at any stage and when not open.
	void close ();
	bool isOpen () const { return connection != nullptr; }
	// Open and its window still there (the host's parent window, and this
	// one with it, may be destroyed while the connection stays open).
	bool hasWindow () const { return connection != nullptr && windowAlive; }
	// Maps or unmaps the window; hiding ends a drag in progress first.
	void setVisible (bool visible);
	// The connection's descriptor, to watch for readability; -1 when closed.
	int fileDescriptor () const;

	// Handles every event waiting, then paints once if anything asked for it.
	// Closes the window when the X server went away.
	void onEvents ();
	void onTimer ();

	// The content scale: the window's size, its picture and its input's
	// mapping. False when the new picture could not be made: nothing
	// changes then, and the scale is put back.
	bool setScale (double f);
	double scale () const { return contentScale; }
	// The zoom (acceptableZoom), the same way: the panel is drawn at
	// scale () × zoom ().
	bool setZoom (double zoom);
	double zoom () const { return zoomFactor; }
	int pixelWidth () const { return core.pixelWidth (); }
	int pixelHeight () const { return core.pixelHeight (); }

	// Who shows the host's context menu and resizes the window for a zoom;
	// null (the default): the window's own menu and zoom.
	void setMenuHost (EditorMenuHost* host) { menuHost = host; }
	// The sound parameter under window pixel (x, y), or -1 (EditorInput::parameterAt).
	int32_t parameterAt (int32_t x, int32_t y) const { return input.parameterAt (x, y); }
	// A menu item chosen (tags of EditorMenu.h) for parameter `param`: from
	// the host's menu, or the window's own.
	void chooseMenuItem (int32_t tag, int32_t param);
	// Opens the typed-value field over parameter `param`'s readout; false
	// when closed or for an index outside the sound parameters.
	bool openValueEntry (int32_t param);
	bool menuOpen () const { return menu.isOpen (); }
	const ValueEntry& valueEntry () const { return entry; }

	// The child window while open (0 otherwise); for tests.
	xcb_window_t windowId () const { return window; }
	// Number of paints so far; for tests.
	int paintCount () const { return paints; }
	// Number of X errors the server reported for the window's requests; for tests.
	int errorCount () const { return errors; }

private:
	// The off-screen picture at the current size; false (and none) when it
	// could not be made.
	bool makeCanvas ();
	bool makeWindow (uint32_t parent);

	// EditorWindow
	void invalidate () override;
	void setCapture () override;
	void releaseCapture () override;
	bool hasCapture () override;

	void tick ();
	void forgetPointerQuery ();
	void handle (const xcb_generic_event_t& event);
	void paintNow ();
	bool applyScale (double contentScale, double zoom);

	// The menu and the field: opened, answered, closed; the keyboard focus
	// follows them (updateFocus).
	void leftPress (const xcb_button_press_event_t& e);
	void rightPress (int32_t x, int32_t y);
	void key (const xcb_key_press_event_t& e);
	void focusLost ();
	void closeMenu ();
	void closeOverlays ();
	void commitEntry ();
	void updateFocus ();
	void giveBackFocus ();
	bool keyboardReady ();
	void freeKeyboard ();

	EditorHost& host;
	EditorCore core;
	EditorInput& input;
	DoubleClickDetector clicks;
	PanelMenu menu;
	ValueEntry entry;
	EditorMenuHost* menuHost = nullptr;
	double contentScale = 1.0;
	double zoomFactor = 1.0;
	// The focus taken for the menu or the field, and whose it was.
	bool focusTaken = false;
	xcb_window_t focusBefore = XCB_NONE;
	xkb_context* keyboardContext = nullptr;
	xkb_keymap* keymap = nullptr;
	xkb_state* keyboardState = nullptr;
	std::unique_ptr<CairoCanvas> canvas;

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
