#include "editor/EditorCore.h"

#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/SkinPainter.h"

#include <cstdlib>

namespace Tarno {

EditorCore::EditorCore (EditorHost& h, EditorWindow* window) : input (h, window), host (h) {}

bool EditorCore::Picture::operator== (const Picture& other) const
{
	return values == other.values && skin == other.skin && activeParam == other.activeParam;
}

EditorCore::Picture EditorCore::current () const
{
	Picture p;
	for (int32_t i = 0; i < kNumParams; ++i)
		p.values[size_t (i)] = host.value (i);
	p.skin = host.skin ();
	p.activeParam = input.activeParam;
	return p;
}

void EditorCore::paint (Canvas& canvas)
{
	lastPainted = current ();
	painted = true;
	paintPanel (canvas, lastPainted.skin, lastPainted.values, lastPainted.activeParam, scale ());
}

EditorCore::Repaint EditorCore::startRepaint ()
{
	const Picture now = current ();
	Repaint r;
	r.newKept = !painted || now.skin != lastPainted.skin;
	if (r.newKept)
		r.pieces.set ();
	else
		r.pieces = changedPieces (now.skin, lastPainted.values, lastPainted.activeParam, now.values, now.activeParam);
	lastPainted = now;
	painted = true;
	return r;
}

void EditorCore::paintKept (Canvas& canvas) const { paintKeptLayer (canvas, lastPainted.skin, scale ()); }

void EditorCore::paintPieces (Canvas& canvas, const PieceSet& which) const
{
	Tarno::paintPieces (canvas, lastPainted.skin, lastPainted.values, lastPainted.activeParam, which, scale ());
}

void EditorCore::setScale (double f)
{
	input.setScale (f);
	painted = false;
}

int EditorCore::pixelWidth () const { return scaledLength (kPanelWidth, scale ()); }

int EditorCore::pixelHeight () const { return scaledLength (kPanelHeight, scale ()); }

bool EditorCore::wantsTimerRepaint (bool always) const
{
	if (input.dragging ())
		return false;
	return always || !painted || !(current () == lastPainted);
}

bool DoubleClickDetector::press (uint32_t timeMs, int32_t x, int32_t y, int32_t control)
{
	// Server times wrap around after 49 days; the unsigned difference copes.
	auto near = [] (int32_t a, int32_t b) { return std::llabs (int64_t (a) - int64_t (b)) <= kDoubleClickSlop; };
	const bool isDouble =
		pending && timeMs - firstTime <= kDoubleClickMs && near (x, firstX) && near (y, firstY) && control == firstControl;
	pending = !isDouble;
	firstTime = timeMs;
	firstX = x;
	firstY = y;
	firstControl = control;
	return isDouble;
}

} // namespace Tarno
