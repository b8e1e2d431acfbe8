#ifdef _WIN32

#include "editor/win32/GdiPanelPicture.h"

namespace Tarno {

namespace {

void copy (HDC to, HDC from, const RECT& r)
{
	BitBlt (to, r.left, r.top, r.right - r.left, r.bottom - r.top, from, r.left, r.top, SRCCOPY);
}

bool overlap (const Rect& a, const Rect& b)
{
	return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

} // namespace

bool GdiPanelPicture::makeLayer (Layer& layer, HDC reference, int w, int h)
{
	layer.dc = CreateCompatibleDC (reference);
	layer.bitmap = layer.dc ? CreateCompatibleBitmap (reference, w, h) : nullptr;
	if (!layer.bitmap)
		return false;
	layer.previous = SelectObject (layer.dc, layer.bitmap);
	return true;
}

void GdiPanelPicture::freeLayer (Layer& layer)
{
	if (layer.dc && layer.previous)
		SelectObject (layer.dc, layer.previous);
	if (layer.bitmap)
		DeleteObject (layer.bitmap);
	if (layer.dc)
		DeleteDC (layer.dc);
	layer = Layer{};
}

bool GdiPanelPicture::make (HDC reference, int w, int h)
{
	release ();
	if (!makeLayer (kept, reference, w, h) || !makeLayer (scratch, reference, w, h) ||
	    !makeLayer (shown, reference, w, h))
	{
		release ();
		return false;
	}
	width = w;
	height = h;
	return true;
}

void GdiPanelPicture::release ()
{
	freeLayer (shown);
	freeLayer (scratch);
	freeLayer (kept);
	width = height = 0;
}

void GdiPanelPicture::update (EditorCore& core, HDC reference, HBRUSH panelBrush, const GdiFontEntry* fonts,
                              int fontCount, std::vector<RECT>& changed)
{
	changed.clear ();
	EditorCore::Repaint repaint = core.startRepaint ();
	const int w = core.pixelWidth (), h = core.pixelHeight ();
	if (!shown.bitmap || w != width || h != height)
	{
		if (!make (reference, w, h))
			return;
		repaint.newKept = true;
		repaint.pieces.set ();
	}

	if (repaint.newKept)
	{
		// Black first, as a new bitmap is: the skins at some scales leave
		// the top row and left column of pixels undrawn.
		PatBlt (kept.dc, 0, 0, w, h, BLACKNESS);
		GdiCanvas canvas (kept.dc, panelBrush, fonts, fontCount);
		core.paintKept (canvas);
	}
	if (repaint.pieces.all ())
	{
		const RECT all = {0, 0, w, h};
		copy (shown.dc, kept.dc, all);
		GdiCanvas canvas (shown.dc, panelBrush, fonts, fontCount);
		core.paintPieces (canvas, repaint.pieces);
		changed.push_back (all);
		return;
	}
	if (repaint.pieces.none ())
		return;

	// The changed pieces' areas, and every piece that touches one of them.
	const double f = core.scale ();
	PieceSet draw;
	for (int p = 0; p < kPanelPieces; ++p)
	{
		if (!repaint.pieces[size_t (p)])
			continue;
		const Rect box = pieceBox (p, f);
		changed.push_back ({box.left, box.top, box.right, box.bottom});
		for (int q = 0; q < kPanelPieces; ++q)
			if (!draw[size_t (q)] && overlap (box, pieceBox (q, f)))
				draw.set (size_t (q));
	}
	for (const RECT& r : changed)
		copy (scratch.dc, kept.dc, r);
	{
		GdiCanvas canvas (scratch.dc, panelBrush, fonts, fontCount);
		core.paintPieces (canvas, draw);
	}
	for (const RECT& r : changed)
		copy (shown.dc, scratch.dc, r);
}

void GdiPanelPicture::copyTo (HDC dc, const RECT& r) const
{
	if (shown.dc)
		copy (dc, shown.dc, r);
}

} // namespace Tarno

#endif // _WIN32
