// The picture a Windows editor keeps between paints, in three off-screen
// bitmaps of the window's size:
//  - kept: the panel's kept layer (SkinPainter.h), drawn once per skin and
//    content scale;
//  - shown: what the window shows, the kept layer with the moving pieces
//    drawn over it;
//  - scratch: where changed areas are drawn afresh before they go to shown.
// When pieces change, each one's area is copied from kept to scratch, every
// piece that touches one of these areas is drawn again over them, in piece
// order, and the areas are copied on to shown. Pixels outside the areas
// keep what they showed, so the picture is always the one a paint of the
// whole panel gives.
#pragma once

#ifdef _WIN32

#include "editor/EditorCore.h"
#include "editor/canvas/GdiCanvas.h"

#include <windows.h>

#include <vector>

namespace Tarno {

class GdiPanelPicture
{
public:
	GdiPanelPicture () = default;
	~GdiPanelPicture () { release (); }
	GdiPanelPicture (const GdiPanelPicture&) = delete;
	GdiPanelPicture& operator= (const GdiPanelPicture&) = delete;

	// Brings the picture up to the core's current state (startRepaint),
	// drawing through GdiCanvas with the editor's panel brush and fonts, on
	// bitmaps compatible with `reference`. Sets `changed` to the window
	// rectangles whose pixels may have changed (none if nothing did).
	void update (EditorCore& core, HDC reference, HBRUSH panelBrush, const GdiFontEntry* fonts, int fontCount,
	             std::vector<RECT>& changed);
	// Copies rectangle r of the picture to the same place on dc.
	void copyTo (HDC dc, const RECT& r) const;
	// Frees the bitmaps; the next update draws everything afresh.
	void release ();

private:
	struct Layer
	{
		HDC dc = nullptr;
		HBITMAP bitmap = nullptr;
		HGDIOBJ previous = nullptr;
	};
	bool make (HDC reference, int w, int h);
	static bool makeLayer (Layer& layer, HDC reference, int w, int h);
	static void freeLayer (Layer& layer);

	Layer kept, scratch, shown;
	int width = 0, height = 0;
};

} // namespace Tarno

#endif // _WIN32
