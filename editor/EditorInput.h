// The editor's mouse handling, free of any window system: presses, drags,
// double-clicks and wheel turns become edit gestures on the controller,
// preset loads and skin changes. The Windows editor routes its mouse
// messages here; the few window operations it needs come back through
// EditorWindow, so the same rules run natively in the tests.
//
// Message routing (all answer 0):
//   WM_LBUTTONDOWN    press (mousePoint (lParam), MK_SHIFT in wParam)
//   WM_MOUSEMOVE      move (mousePoint (lParam), MK_SHIFT in wParam)
//   WM_LBUTTONUP      buttonUp ()
//   WM_CAPTURECHANGED captureChanged ()
//   WM_LBUTTONDBLCLK  doubleClick (mousePoint (lParam))
//   WM_MOUSEWHEEL     wheel (mousePoint (lParam) converted to client
//                     coordinates, wheelInfo (wParam))
//   removed () and destruction of the view: endDrag ()
#pragma once

#include "controller/Controller.h"

#include "pluginterfaces/base/ftypes.h"

#include <cstdint>

namespace Tarno {

struct SkinLayout;

// The window operations the input handling needs.
class EditorWindow
{
public:
	virtual ~EditorWindow () = default;
	// Marks the whole client area for repainting, without erasing it.
	virtual void invalidate () = 0;
	virtual void setCapture () = 0;
	// Gives up the mouse capture. On Windows this sends WM_CAPTURECHANGED
	// to the window before it returns.
	virtual void releaseCapture () = 0;
	// True while this window holds the mouse capture.
	virtual bool hasCapture () = 0;
};

// The MK_SHIFT flag of a mouse message's wParam.
constexpr uint32_t kMouseShiftFlag = 0x0004;

struct MousePoint
{
	Steinberg::int32 x;
	Steinberg::int32 y;
};

// x is the signed low word, y the signed high word of a mouse message's
// lParam (as GET_X_LPARAM and GET_Y_LPARAM take them), so points left of or
// above the window, and on monitors left of or above the primary one, come
// out negative.
MousePoint mousePoint (uint32_t lParam);

struct WheelInfo
{
	Steinberg::int32 delta; // signed, 120 per notch
	bool shift;
};

// Splits WM_MOUSEWHEEL's wParam: delta is its signed high word, shift the
// MK_SHIFT flag of its low word.
WheelInfo wheelInfo (uint32_t wParam);

class EditorInput
{
public:
	// The editor holds the reference to the controller for as long as this
	// object exists. window may be null; the window operations are then
	// skipped.
	EditorInput (Controller& controller, EditorWindow* window);

	// The window's content scale (acceptableContentScale; 1 at first). All
	// points below are window pixels; they are mapped back to the panel, so
	// every gesture works as at 1.0, and a drag moves a value by the same
	// amount for the same distance on the panel: the same hand movement on
	// a high-density screen as on a standard one, and a fader's thumb stays
	// under the pointer. A drag in progress ends first.
	void setScale (double f);
	double scale () const { return scaleFactor; }
	// The panel pixel under window pixel (x, y): the one that holds the
	// window pixel's centre.
	MousePoint toPanel (Steinberg::int32 x, Steinberg::int32 y) const;

	void press (Steinberg::int32 x, Steinberg::int32 y, bool shift);
	void move (Steinberg::int32 x, Steinberg::int32 y, bool shift);
	void buttonUp ();
	void captureChanged ();
	void doubleClick (Steinberg::int32 x, Steinberg::int32 y);
	// (x, y) in client coordinates. Ignored while a drag is in progress.
	void wheel (Steinberg::int32 x, Steinberg::int32 y, Steinberg::int32 delta, bool shift);
	// Ends a drag in progress with its endEdit and releases the capture; for
	// removed () and destruction of the view.
	void endDrag ();

	// Index of the control cell at window pixel (x, y) in the controller's
	// current skin, or -1. There is no cell for Legato (it has the switch).
	Steinberg::int32 controlAt (Steinberg::int32 x, Steinberg::int32 y) const;
	// One complete edit gesture: beginEdit, setParamNormalized, performEdit,
	// invalidate, endEdit. IDs outside the 16 sound parameters are ignored.
	void applyEdit (Steinberg::int32 id, double value);
	// Loads factory preset n (0 to 4) as 16 edit gestures in ID order.
	void applyPreset (Steinberg::int32 n);

	bool dragging () const { return activeParam >= 0; }

	// Read by the editor's painting and timer; written only by this class.
	Steinberg::int32 activeParam = -1; // the parameter being dragged, or -1
	Steinberg::int32 dragLastY = 0;    // window y last taken into account by the drag
	double dragValue = 0.0;            // the drag's value, clamped to 0..1, not quantised

private:
	// The same on panel coordinates.
	Steinberg::int32 panelControlAt (Steinberg::int32 x, Steinberg::int32 y) const;
	void pressSkinButton (Steinberg::int32 k);
	void startDrag (Steinberg::int32 i, Steinberg::int32 y, bool shift);
	void closeGesture ();
	void invalidate ();
	// The layout of the skin the controller shows now.
	const SkinLayout& layout () const;

	Controller& controller;
	EditorWindow* window;
	double scaleFactor = 1.0;
};

} // namespace Tarno
