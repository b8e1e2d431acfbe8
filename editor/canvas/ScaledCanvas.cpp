#include "editor/canvas/ScaledCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Tarno {

namespace {

// Scaled coordinates are kept well inside int, whatever a caller passes.
constexpr double kCoordinateLimit = 1 << 30;

int roundToInt (double v) { return static_cast<int> (std::clamp (std::floor (v + 0.5), -kCoordinateLimit, kCoordinateLimit)); }

// Where a plain pen of this width is centred relative to the point it is
// given: on the pixel's centre for odd widths, on its top-left grid corner
// for even ones (so that it covers whole pixels).
double penOffset (int width) { return (width % 2) ? 0.5 : 0.0; }

} // namespace

bool acceptableContentScale (double f) { return f >= kMinContentScale && f <= kMaxContentScale; }

int scaledLength (int v, double f) { return roundToInt (v * f); }

FontSpec scaledFont (const FontSpec& font, double f) { return {font.face, scaledLength (font.height, f), font.weight}; }

ScaledCanvas::ScaledCanvas (Canvas& t, double scale) : target (t), f (scale) {}

Rect ScaledCanvas::edges (const Rect& r) const { return {edge (r.left), edge (r.top), edge (r.right), edge (r.bottom)}; }

int ScaledCanvas::penWidth (int width) const { return std::max (1, scaledLength (std::max (width, 1), f)); }

Point ScaledCanvas::penEnd (Point p, int width, int scaledWidth) const
{
	// The pen's centre line scales with the panel; the end is the point
	// that puts the wider pen's centre nearest to it.
	const double shift = penOffset (scaledWidth);
	return {roundToInt (f * (p.x + penOffset (width)) - shift), roundToInt (f * (p.y + penOffset (width)) - shift)};
}

float ScaledCanvas::at (float v) const { return static_cast<float> (f * v + (f - 1) / 2); }

RectF ScaledCanvas::at (const RectF& r) const { return {at (r.x), at (r.y), length (r.width), length (r.height)}; }

Fill ScaledCanvas::at (const Fill& fill) const
{
	Fill scaled = fill;
	scaled.p0 = at (fill.p0);
	scaled.p1 = at (fill.p1);
	return scaled;
}

void ScaledCanvas::fillRect (const Rect& r, Rgb color) { target.fillRect (edges (r), color); }

void ScaledCanvas::fillRectWithPanelBrush (const Rect& r) { target.fillRectWithPanelBrush (edges (r)); }

void ScaledCanvas::ellipseOutline (const Rect& box, Rgb color, int width)
{
	target.ellipseOutline (edges (box), color, penWidth (width));
}

void ScaledCanvas::line (Point a, Point b, Rgb color, int width)
{
	const int w = std::max (width, 1);
	const int scaledWidth = penWidth (w);
	target.line (penEnd (a, w, scaledWidth), penEnd (b, w, scaledWidth), color, scaledWidth);
}

void ScaledCanvas::textAt (int x, int y, const char* text, const FontSpec& font, Rgb color)
{
	target.textAt (edge (x), edge (y), text, scaledFont (font, f), color);
}

void ScaledCanvas::textInRect (const Rect& r, const char* text, const FontSpec& font, Rgb color, unsigned flags)
{
	target.textInRect (edges (r), text, scaledFont (font, f), color, flags);
}

void ScaledCanvas::textInRectW (const Rect& r, const char16_t* text, const FontSpec& font, Rgb color,
                                unsigned flags)
{
	target.textInRectW (edges (r), text, scaledFont (font, f), color, flags);
}

void ScaledCanvas::aaFillRect (const RectF& r, const Fill& fill) { target.aaFillRect (at (r), at (fill)); }

void ScaledCanvas::aaFillEllipse (const RectF& box, const Fill& fill) { target.aaFillEllipse (at (box), at (fill)); }

void ScaledCanvas::aaRectOutline (const RectF& r, Argb color, float width)
{
	target.aaRectOutline (at (r), color, length (width));
}

void ScaledCanvas::aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps)
{
	target.aaLine (at (a), at (b), color, length (width), roundCaps);
}

void ScaledCanvas::aaArc (const RectF& box, float startDegrees, float sweepDegrees, Argb color, float width,
                          bool roundCaps)
{
	target.aaArc (at (box), startDegrees, sweepDegrees, color, length (width), roundCaps);
}

void ScaledCanvas::aaCurve (const PointF* points, int count, float tension, Argb color, float width)
{
	if (!points || count < 2)
		return;
	curve.resize (static_cast<size_t> (count));
	for (int i = 0; i < count; ++i)
		curve[size_t (i)] = at (points[i]);
	target.aaCurve (curve.data (), count, tension, color, length (width));
}

} // namespace Tarno
