// The panel at a content scale. A host on a high-density screen gives the
// editor a factor f (IPlugViewContentScaleSupport); the view then is
// round(860 f) × round(530 f) pixels and shows the same panel, drawn at that
// size rather than stretched from a small picture.
//
// ScaledCanvas carries the scale: the skins and the overlay keep drawing in
// panel coordinates onto it, and it hands every operation on to the window's
// own canvas (GDI and GDI+, or Cairo) in that canvas's pixels:
//  - a panel pixel (i, j) becomes the square from (f i, f j) to
//    (f (i + 1), f (j + 1)); grid lines (rectangle and box edges, text
//    positions) go to round (f v);
//  - anti-aliased shapes take the exact affine map of the GDI+ convention
//    (pixel centres on whole coordinates): v → f v + (f − 1) / 2, widths and
//    gradient points included, angles unchanged;
//  - plain pens are round (f w) pixels wide (at least 1), their ends placed
//    where that pen covers the scaled pixels the panel's pen covered;
//  - fonts are f times their character height, rounded.
// At f = 1 every coordinate passes through unchanged; the views draw on
// their canvas directly then all the same.
#pragma once

#include "editor/canvas/Canvas.h"

#include <vector>

namespace Tarno {

constexpr double kMinContentScale = 1.0;
constexpr double kMaxContentScale = 4.0;

// True for factors the editor can show: finite, from 1 to 4.
bool acceptableContentScale (double f);
// A panel length (or grid coordinate) in window pixels: round (f v).
int scaledLength (int v, double f);
// The font a text of `font` is drawn with at scale f.
FontSpec scaledFont (const FontSpec& font, double f);

class ScaledCanvas final : public Canvas
{
public:
	// target receives everything, at scale f (acceptableContentScale).
	ScaledCanvas (Canvas& target, double f);

	void setTextRenderingHint (int hint) override { target.setTextRenderingHint (hint); }
	void save () override { target.save (); }
	void restore () override { target.restore (); }

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
	int edge (int v) const { return scaledLength (v, f); }
	Rect edges (const Rect& r) const;
	int penWidth (int width) const;
	Point penEnd (Point p, int width, int scaledWidth) const;
	float at (float v) const;
	PointF at (PointF p) const { return {at (p.x), at (p.y)}; }
	RectF at (const RectF& r) const;
	Fill at (const Fill& fill) const;
	float length (float v) const { return static_cast<float> (v * f); }

	Canvas& target;
	double f;
	std::vector<PointF> curve; // reused for aaCurve's points
};

} // namespace Tarno
