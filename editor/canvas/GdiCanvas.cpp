#ifdef _WIN32

#include "editor/canvas/GdiCanvas.h"

#include <gdiplus.h>

#include <cstdlib>
#include <cstring>

namespace Tarno {

namespace GP = Gdiplus::DllExports;

namespace {

COLORREF colorRef (Rgb c) { return RGB (c.r, c.g, c.b); }

Gdiplus::ARGB argb (Argb c)
{
	return (static_cast<Gdiplus::ARGB> (c.a) << 24) | (static_cast<Gdiplus::ARGB> (c.r) << 16) |
	       (static_cast<Gdiplus::ARGB> (c.g) << 8) | c.b;
}

RECT winRect (const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

// A brush for one anti-aliased fill; null if GDI+ refused it (a line brush
// from two equal points, for example).
Gdiplus::GpBrush* createBrush (const Fill& fill)
{
	if (!fill.gradient)
	{
		Gdiplus::GpSolidFill* solid = nullptr;
		if (GP::GdipCreateSolidFill (argb (fill.c0), &solid) != Gdiplus::Ok)
			return nullptr;
		return solid;
	}
	const Gdiplus::GpPointF p0 (fill.p0.x, fill.p0.y), p1 (fill.p1.x, fill.p1.y);
	Gdiplus::GpLineGradient* gradient = nullptr;
	if (GP::GdipCreateLineBrush (&p0, &p1, argb (fill.c0), argb (fill.c1), Gdiplus::WrapModeTile, &gradient) !=
	    Gdiplus::Ok)
		return nullptr;
	return gradient;
}

// A pen `width` units wide in world units (pixels here, as the graphics
// object keeps the identity transform), with round caps if asked for.
Gdiplus::GpPen* createPen (Argb color, float width, bool roundCaps)
{
	Gdiplus::GpPen* pen = nullptr;
	if (GP::GdipCreatePen1 (argb (color), width, Gdiplus::UnitWorld, &pen) != Gdiplus::Ok)
		return nullptr;
	if (roundCaps)
	{
		GP::GdipSetPenStartCap (pen, Gdiplus::LineCapRound);
		GP::GdipSetPenEndCap (pen, Gdiplus::LineCapRound);
	}
	return pen;
}

} // namespace

// The DC for one plain operation: GDI+ is flushed first, and while a
// graphics object exists the DC is borrowed from it (GdipGetDC) and handed
// back (GdipReleaseDC) when the operation is done.
class GdiCanvas::PlainDc
{
public:
	explicit PlainDc (GdiCanvas& canvas) : graphics (canvas.gdip), hdc (canvas.dc)
	{
		if (!graphics)
			return;
		GP::GdipFlush (graphics, Gdiplus::FlushIntentionSync);
		HDC borrowed = nullptr;
		if (GP::GdipGetDC (graphics, &borrowed) == Gdiplus::Ok && borrowed)
		{
			hdc = borrowed;
			fromGraphics = true;
		}
	}
	~PlainDc ()
	{
		if (fromGraphics)
			GP::GdipReleaseDC (graphics, hdc);
	}
	PlainDc (const PlainDc&) = delete;
	PlainDc& operator= (const PlainDc&) = delete;

	operator HDC () const { return hdc; }

private:
	Gdiplus::GpGraphics* graphics;
	HDC hdc;
	bool fromGraphics = false;
};

GdiCanvas::GdiCanvas (HDC dc_, HBRUSH panelBrush_, const GdiFontEntry* fonts_, int fontCount)
: dc (dc_), panelBrush (panelBrush_)
{
	if (fonts_ && fontCount > 0)
		fonts.assign (fonts_, fonts_ + fontCount);
}

GdiCanvas::~GdiCanvas () { flush (); }

void GdiCanvas::flush ()
{
	if (!gdip)
		return;
	GP::GdipFlush (gdip, Gdiplus::FlushIntentionSync);
	GP::GdipDeleteGraphics (gdip);
	gdip = nullptr;
}

Gdiplus::GpGraphics* GdiCanvas::graphics ()
{
	if (!gdip && GP::GdipCreateFromHDC (dc, &gdip) == Gdiplus::Ok && gdip)
	{
		GP::GdipSetSmoothingMode (gdip, Gdiplus::SmoothingModeAntiAlias);
		if (textHint >= 0)
			GP::GdipSetTextRenderingHint (gdip, static_cast<Gdiplus::TextRenderingHint> (textHint));
	}
	return gdip;
}

void GdiCanvas::setTextRenderingHint (int hint)
{
	// A graphics object made later takes the hint when it is made.
	textHint = hint;
	if (gdip)
		GP::GdipSetTextRenderingHint (gdip, static_cast<Gdiplus::TextRenderingHint> (hint));
}

HFONT GdiCanvas::createFont (const FontSpec& font)
{
	return CreateFontA (-std::abs (font.height), 0, 0, 0, font.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
	                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
	                    font.face ? font.face : "");
}

HFONT GdiCanvas::tableFont (const FontSpec& font) const
{
	for (const GdiFontEntry& e : fonts)
		if (e.font && e.spec.height == font.height && e.spec.weight == font.weight && e.spec.face && font.face &&
		    std::strcmp (e.spec.face, font.face) == 0)
			return e.font;
	return nullptr;
}

// ---- State ---------------------------------------------------------------

void GdiCanvas::save ()
{
	flush ();
	SaveDC (dc);
}

void GdiCanvas::restore ()
{
	flush ();
	RestoreDC (dc, -1);
}

// ---- Plain drawing -------------------------------------------------------

void GdiCanvas::fillRect (const Rect& r, Rgb color)
{
	PlainDc hdc (*this);
	HBRUSH brush = CreateSolidBrush (colorRef (color));
	const RECT rc = winRect (r);
	FillRect (hdc, &rc, brush);
	DeleteObject (brush);
}

void GdiCanvas::fillRectWithPanelBrush (const Rect& r)
{
	PlainDc hdc (*this);
	const RECT rc = winRect (r);
	FillRect (hdc, &rc, panelBrush);
}

void GdiCanvas::ellipseOutline (const Rect& box, Rgb color, int width)
{
	PlainDc hdc (*this);
	HPEN pen = CreatePen (PS_SOLID, width, colorRef (color));
	HGDIOBJ previousPen = SelectObject (hdc, pen);
	HGDIOBJ previousBrush = SelectObject (hdc, GetStockObject (NULL_BRUSH));
	Ellipse (hdc, box.left, box.top, box.right, box.bottom);
	SelectObject (hdc, previousBrush);
	SelectObject (hdc, previousPen);
	DeleteObject (pen);
}

void GdiCanvas::line (Point a, Point b, Rgb color, int width)
{
	PlainDc hdc (*this);
	HPEN pen = CreatePen (PS_SOLID, width, colorRef (color));
	HGDIOBJ previousPen = SelectObject (hdc, pen);
	MoveToEx (hdc, a.x, a.y, nullptr);
	LineTo (hdc, b.x, b.y);
	SelectObject (hdc, previousPen);
	DeleteObject (pen);
}

namespace {

// A font selected for one text, transparent background and the text colour
// set; all put back when the text is drawn, the font deleted if made for it.
class TextSetup
{
public:
	TextSetup (HDC dc, HFONT font, bool madeForThisText, Rgb color)
	: dc (dc), font (font), made (madeForThisText), previousFont (SelectObject (dc, font)),
	  previousColor (SetTextColor (dc, colorRef (color))), previousMode (SetBkMode (dc, TRANSPARENT))
	{
	}
	~TextSetup ()
	{
		SetBkMode (dc, previousMode);
		SetTextColor (dc, previousColor);
		SelectObject (dc, previousFont);
		if (made)
			DeleteObject (font);
	}
	TextSetup (const TextSetup&) = delete;
	TextSetup& operator= (const TextSetup&) = delete;

private:
	HDC dc;
	HFONT font;
	bool made;
	HGDIOBJ previousFont;
	COLORREF previousColor;
	int previousMode;
};

} // namespace

HFONT GdiCanvas::narrowFont (const FontSpec& font, bool& made)
{
	HFONT f = tableFont (font);
	made = f == nullptr;
	return made ? createFont (font) : f;
}

void GdiCanvas::textAt (int x, int y, const char* text, const FontSpec& font, Rgb color)
{
	if (!text)
		return;
	PlainDc hdc (*this);
	bool made = false;
	HFONT f = narrowFont (font, made);
	TextSetup setup (hdc, f, made, color);
	TextOutA (hdc, x, y, text, static_cast<int> (std::strlen (text)));
}

void GdiCanvas::textInRect (const Rect& r, const char* text, const FontSpec& font, Rgb color, unsigned flags)
{
	if (!text)
		return;
	PlainDc hdc (*this);
	bool made = false;
	HFONT f = narrowFont (font, made);
	TextSetup setup (hdc, f, made, color);
	RECT rc = winRect (r);
	DrawTextA (hdc, text, -1, &rc, flags);
}

void GdiCanvas::textInRectW (const Rect& r, const char16_t* text, const FontSpec& font, Rgb color,
                             unsigned flags)
{
	static_assert (sizeof (wchar_t) == sizeof (char16_t), "Windows wide characters are UTF-16 units");
	if (!text)
		return;
	// The face name widened byte by byte (face names are ASCII).
	wchar_t face[LF_FACESIZE] = {};
	for (int i = 0; font.face && font.face[i] && i < LF_FACESIZE - 1; ++i)
		face[i] = static_cast<unsigned char> (font.face[i]);

	PlainDc hdc (*this);
	HFONT f = CreateFontW (-std::abs (font.height), 0, 0, 0, font.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
	                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
	                       face);
	TextSetup setup (hdc, f, true, color);
	RECT rc = winRect (r);
	DrawTextW (hdc, reinterpret_cast<const wchar_t*> (text), -1, &rc, flags);
}

// ---- Anti-aliased drawing ------------------------------------------------

// Each shape gets a brush or pen made just before it is drawn and deleted
// right after; nothing is drawn if the graphics object or the brush or pen
// cannot be made.
template <typename Draw>
void GdiCanvas::withBrush (const Fill& fill, Draw draw)
{
	Gdiplus::GpGraphics* g = graphics ();
	if (!g)
		return;
	if (Gdiplus::GpBrush* brush = createBrush (fill))
	{
		draw (g, brush);
		GP::GdipDeleteBrush (brush);
	}
}

template <typename Draw>
void GdiCanvas::withPen (Argb color, float width, bool roundCaps, Draw draw)
{
	Gdiplus::GpGraphics* g = graphics ();
	if (!g)
		return;
	if (Gdiplus::GpPen* pen = createPen (color, width, roundCaps))
	{
		draw (g, pen);
		GP::GdipDeletePen (pen);
	}
}

void GdiCanvas::aaFillRect (const RectF& r, const Fill& fill)
{
	withBrush (fill, [&] (Gdiplus::GpGraphics* g, Gdiplus::GpBrush* brush) {
		GP::GdipFillRectangle (g, brush, r.x, r.y, r.width, r.height);
	});
}

void GdiCanvas::aaFillEllipse (const RectF& box, const Fill& fill)
{
	withBrush (fill, [&] (Gdiplus::GpGraphics* g, Gdiplus::GpBrush* brush) {
		GP::GdipFillEllipse (g, brush, box.x, box.y, box.width, box.height);
	});
}

void GdiCanvas::aaRectOutline (const RectF& r, Argb color, float width)
{
	withPen (color, width, false, [&] (Gdiplus::GpGraphics* g, Gdiplus::GpPen* pen) {
		GP::GdipDrawRectangle (g, pen, r.x, r.y, r.width, r.height);
	});
}

void GdiCanvas::aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps)
{
	withPen (color, width, roundCaps, [&] (Gdiplus::GpGraphics* g, Gdiplus::GpPen* pen) {
		GP::GdipDrawLine (g, pen, a.x, a.y, b.x, b.y);
	});
}

void GdiCanvas::aaArc (const RectF& box, float startDegrees, float sweepDegrees, Argb color, float width,
                       bool roundCaps)
{
	withPen (color, width, roundCaps, [&] (Gdiplus::GpGraphics* g, Gdiplus::GpPen* pen) {
		GP::GdipDrawArc (g, pen, box.x, box.y, box.width, box.height, startDegrees, sweepDegrees);
	});
}

void GdiCanvas::aaCurve (const PointF* points, int count, float tension, Argb color, float width)
{
	if (!points || count < 2)
		return;
	std::vector<Gdiplus::GpPointF> pts;
	pts.reserve (static_cast<size_t> (count));
	for (int i = 0; i < count; ++i)
		pts.emplace_back (points[i].x, points[i].y);
	withPen (color, width, false, [&] (Gdiplus::GpGraphics* g, Gdiplus::GpPen* pen) {
		GP::GdipDrawCurve2 (g, pen, pts.data (), count, tension);
	});
}

} // namespace Tarno

#endif // _WIN32
