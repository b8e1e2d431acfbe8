// What the editor windows share, free of any window system and plug-in
// format: the values and skin read from the EditorHost, the paint of skin and overlay onto a
// canvas, the mouse gestures (EditorInput) and the repaint decision. The
// Windows and the X11 window are thin shells around it: they turn their
// platform's messages into EditorInput calls and their timer into
// wantsTimerRepaint, and give paint a canvas on their off-screen picture.
#pragma once

#include "editor/EditorHost.h"
#include "editor/EditorInput.h"
#include "editor/canvas/Canvas.h"
#include "editor/skins/SkinPainter.h"
#include "params/ParamTable.h"

#include <cstdint>

namespace Tarno {

class EditorCore
{
public:
	EditorCore (EditorHost& host, EditorWindow* window);

	// Paints the host's current skin and values, with the dragged
	// control highlighted, and the overlay; remembers what it painted.
	// canvas is the window's picture, pixelWidth () × pixelHeight ().
	void paint (Canvas& canvas);

	// The same paint in layers, for a window that keeps its picture between
	// paints (SkinPainter.h: the kept layer and the moving pieces).
	// startRepaint reads the host's current skin, values and active
	// control, records them as painted and tells what to draw for them:
	// a new kept layer (first paint, or the skin or the scale changed: then
	// every piece too) or the pieces that look different since the last
	// paint (none if nothing changed). paintKept and paintPieces draw the
	// recorded state at the current scale.
	struct Repaint
	{
		bool newKept = false;
		PieceSet pieces;
	};
	Repaint startRepaint ();
	void paintKept (Canvas& canvas) const;
	void paintPieces (Canvas& canvas, const PieceSet& which) const;

	// The content scale (acceptableContentScale): the size of the window's
	// picture, the panel's scale on it and the input's mapping back.
	void setScale (double f);
	double scale () const { return input.scale (); }
	int pixelWidth () const;
	int pixelHeight () const;

	// The timer's question. Never during a drag (every drag step repaints by
	// itself). Otherwise always when `always`, else only when the values, the
	// skin or the active control differ from those of the last paint, or
	// nothing was painted yet.
	bool wantsTimerRepaint (bool always) const;

	EditorInput input;

private:
	struct Picture
	{
		ParamBlock values;
		int32_t skin;
		int32_t activeParam;
		bool operator== (const Picture& other) const;
	};
	Picture current () const;

	EditorHost& host;
	Picture lastPainted{};
	bool painted = false;
};

// X11 sends presses only: a second press counts as a double-click when it
// comes within kDoubleClickMs of the first (by the server's event times),
// within kDoubleClickSlop pixels of it and on the same control.
class DoubleClickDetector
{
public:
	static constexpr uint32_t kDoubleClickMs = 400;
	static constexpr int32_t kDoubleClickSlop = 4;

	// True when this press completes a double-click; `control` identifies
	// what is under the pointer (EditorInput::controlAt, or any other code).
	// A press that completes one does not start the next.
	bool press (uint32_t timeMs, int32_t x, int32_t y, int32_t control);
	void reset () { pending = false; }

private:
	bool pending = false;
	uint32_t firstTime = 0;
	int32_t firstX = 0, firstY = 0, firstControl = -1;
};

} // namespace Tarno
