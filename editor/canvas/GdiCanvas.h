// Canvas that paints into a Windows device context (the editor's memory
// DC): plain operations with GDI, anti-aliased ones with the GDI+ flat API.
//
// GDI+ must have been started (GdiplusStartup) before the first
// anti-aliased operation; the editor does that, not the canvas.
//
// Mixing GDI and GDI+ on one device context. The canvas keeps one GDI+
// graphics object, created from the DC at the first anti-aliased operation.
// The rules that keep every stroke in the picture, in drawing order:
//  - every plain operation first flushes GDI+ synchronously (GdipFlush with
//    FlushIntentionSync), so the shapes drawn so far are in the bitmap, and
//    then draws through the DC that GdipGetDC hands out, which it gives
//    back with GdipReleaseDC straight after;
//  - save(), restore() and flush() delete the graphics object after
//    flushing it: SaveDC and RestoreDC change the state the graphics was
//    created from, so the next anti-aliased operation makes a new one;
//  - the destructor does what flush() does. The picture is complete once
//    the canvas is destroyed or flushed, and only then may the DC be copied
//    (BitBlt) or its bitmap read.
//
// Fonts: textAt and textInRect use the long-lived fonts of the table given
// to the constructor, found by face, height and weight; a font that is not
// in the table is created with the same CreateFontA arguments the editor
// uses for its own and deleted after the call. textInRectW always creates
// its font with CreateFontW and deletes it after the call.
#pragma once

#ifdef _WIN32

#include "editor/canvas/Canvas.h"

#include <windows.h>

#include <vector>

namespace Gdiplus {
class GpGraphics;
}

namespace Tarno {

// A font the editor owns for its whole life, with the FontSpec it was made
// from.
struct GdiFontEntry
{
	FontSpec spec;
	HFONT font;
};

class GdiCanvas final : public Canvas
{
public:
	// dc: the device context to draw into; panelBrush: the editor's panel
	// brush (not owned); fonts: fontCount long-lived fonts (not owned; the
	// table is copied).
	GdiCanvas (HDC dc, HBRUSH panelBrush, const GdiFontEntry* fonts, int fontCount);
	~GdiCanvas () override;

	GdiCanvas (const GdiCanvas&) = delete;
	GdiCanvas& operator= (const GdiCanvas&) = delete;

	// Finishes the GDI+ drawing and deletes the graphics object, so that
	// everything drawn so far is in the DC's bitmap.
	void flush ();

	// The CreateFontA arguments the editor uses for its fonts: character
	// height (negated), weight, CLEARTYPE_QUALITY, the rest defaults.
	static HFONT createFont (const FontSpec& font);

	// ---- Canvas
	void setTextRenderingHint (int hint) override;
	void save () override;
	void restore () override;

	void fillRect (const Rect& r, Rgb color) override;
	void fillRectWithPanelBrush (const Rect& r) override;
	void ellipseOutline (const Rect& box, Rgb color, int width) override;
	void line (Point a, Point b, Rgb color, int width) override;
	void textAt (int x, int y, const char* text, const FontSpec& font, Rgb color) override;
	void textInRect (const Rect& r, const char* text, const FontSpec& font, Rgb color, unsigned flags) override;
	void textInRectW (const Rect& r, const char16_t* text, const FontSpec& font, Rgb color,
	                  unsigned flags) override;

	void aaFillRect (const RectF& r, const Fill& fill) override;
	void aaFillEllipse (const RectF& box, const Fill& fill) override;
	void aaRectOutline (const RectF& r, Argb color, float width) override;
	void aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps) override;
	void aaArc (const RectF& box, float startDegrees, float sweepDegrees, Argb color, float width,
	            bool roundCaps) override;
	void aaCurve (const PointF* points, int count, float tension, Argb color, float width) override;

private:
	class PlainDc;

	Gdiplus::GpGraphics* graphics ();
	HFONT tableFont (const FontSpec& font) const;
	// The editor's long-lived font for `font`, or one made for a single text
	// (made = true: the caller deletes it).
	HFONT narrowFont (const FontSpec& font, bool& made);
	// Calls draw (graphics, brush or pen) with a brush or pen made for this
	// one shape and deleted after it.
	template <typename Draw>
	void withBrush (const Fill& fill, Draw draw);
	template <typename Draw>
	void withPen (Argb color, float width, bool roundCaps, Draw draw);

	HDC dc;
	HBRUSH panelBrush;
	std::vector<GdiFontEntry> fonts;
	Gdiplus::GpGraphics* gdip = nullptr;
	// Text rendering hint for every graphics object made here; -1 leaves
	// GDI+'s default.
	int textHint = -1;
};

} // namespace Tarno

#endif // _WIN32
