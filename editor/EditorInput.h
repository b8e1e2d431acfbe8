// The editor's mouse handling, free of any window system and plug-in
// format: presses, drags, double-clicks and wheel turns become edit gestures
// on the EditorHost, preset loads and skin changes. The Windows editor routes its mouse
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

#include "editor/EditorHost.h"

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
	int32_t x;
	int32_t y;
};

// x is the signed low word, y the signed high word of a mouse message's
// lParam (as GET_X_LPARAM and GET_Y_LPARAM take them), so points left of or
// above the window, and on monitors left of or above the primary one, come
// out negative.
MousePoint mousePoint (uint32_t lParam);

struct WheelInfo
{
	int32_t delta; // signed, 120 per notch
	bool shift;
};

// Splits WM_MOUSEWHEEL's wParam: delta is its signed high word, shift the
// MK_SHIFT flag of its low word.
WheelInfo wheelInfo (uint32_t wParam);

class EditorInput
{
public:
	// host must outlive this object. window may be null; the window
	// operations are then skipped.
	EditorInput (EditorHost& host, EditorWindow* window);

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
	MousePoint toPanel (int32_t x, int32_t y) const;

	void press (int32_t x, int32_t y, bool shift);
	void move (int32_t x, int32_t y, bool shift);
	void buttonUp ();
	void captureChanged ();
	void doubleClick (int32_t x, int32_t y);
	// (x, y) in client coordinates. Ignored while a drag is in progress.
	void wheel (int32_t x, int32_t y, int32_t delta, bool shift);
	// Ends a drag in progress with its endEdit and releases the capture; for
	// removed () and destruction of the view.
	void endDrag ();

	// Index of the control cell at window pixel (x, y) in the current skin,
	// or -1. There is no cell for Legato (it has the switch).
	int32_t controlAt (int32_t x, int32_t y) const;
	// The sound parameter a press at window pixel (x, y) acts on: a control
	// cell's, or Legato on its switch; -1 elsewhere. What a host's parameter
	// finder and the context menu go by.
	int32_t parameterAt (int32_t x, int32_t y) const;
	// One complete edit gesture: beginEdit, performEdit, invalidate,
	// endEdit. IDs outside the 16 sound parameters are ignored.
	void applyEdit (int32_t id, double value);
	// Loads factory preset n (0 to 4) as 16 edit gestures in ID order.
	void applyPreset (int32_t n);

	bool dragging () const { return activeParam >= 0; }

	// Read by the editor's painting and timer; written only by this class.
	int32_t activeParam = -1; // the parameter being dragged, or -1
	int32_t dragLastY = 0;    // window y last taken into account by the drag
	double dragValue = 0.0;            // the drag's value, clamped to 0..1, not quantised

private:
	// The same on panel coordinates.
	int32_t panelControlAt (int32_t x, int32_t y) const;
	void pressSkinButton (int32_t k);
	void startDrag (int32_t i, int32_t y, bool shift);
	void closeGesture ();
	void invalidate ();
	// The layout of the skin shown now.
	const SkinLayout& layout () const;

	EditorHost& host;
	EditorWindow* window;
	double scaleFactor = 1.0;
};

} // namespace Tarno
