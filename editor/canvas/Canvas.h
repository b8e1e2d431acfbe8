// The drawing surface the editor's skins paint on. The skins are written
// once against this interface; GdiCanvas draws with GDI and GDI+ into a
// Windows device context, CairoCanvas with Cairo into an image (Linux,
// where the tests take snapshots of the skins).
//
// Coordinates are client pixels of the 860 × 530 panel, origin at the top
// left, y pointing down. Rectangles are (left, top, right, bottom); fills of
// integer rectangles cover left..right-1 and top..bottom-1, as GDI's do.
//
// Two families of operations:
//  - plain, aliased shapes and text, as GDI draws them (every brush and pen
//    is created for the one call and deleted after it);
//  - anti-aliased shapes as GDI+ draws them with anti-aliasing on, taking
//    float coordinates and colours with alpha.
#pragma once

#include <cstdint>

namespace Tarno {

struct Rgb
{
	uint8_t r, g, b;
	bool operator== (const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
	bool operator!= (const Rgb& o) const { return !(*this == o); }
};

struct Argb
{
	uint8_t a, r, g, b;
};

struct Point
{
	int x, y;
};

struct Rect
{
	int left, top, right, bottom;
};

struct PointF
{
	float x, y;
};

struct RectF
{
	float x, y, width, height;
};

// A font by face name, character height in pixels and weight (400 normal,
// 700 bold). GDI selects it with a negative height, as CreateFont does for
// character heights.
struct FontSpec
{
	const char* face;
	int height;
	int weight;
};

// What fills an anti-aliased shape: one colour, or a linear gradient that
// runs from colour c0 at p0 to c1 at p1 (GDI+ line brush, tiles beyond).
struct Fill
{
	Argb c0;
	Argb c1;
	PointF p0;
	PointF p1;
	bool gradient;

	static Fill solid (Argb c) { return {c, c, {0, 0}, {0, 0}, false}; }
	static Fill linear (PointF from, PointF to, Argb c0, Argb c1) { return {c0, c1, from, to, true}; }
};

// Text layout flags, with the values of the DrawText flags they stand for.
enum TextFlags : unsigned
{
	kTextLeft = 0x0,
	kTextCenter = 0x1,      // DT_CENTER
	kTextRight = 0x2,       // DT_RIGHT
	kTextVCenter = 0x4,     // DT_VCENTER
	kTextSingleLine = 0x20, // DT_SINGLELINE
	kTextNoPrefix = 0x800,  // DT_NOPREFIX
};

// GDI+ text rendering hint TextRenderingHintAntiAliasGridFit.
constexpr int kTextHintAntiAliasGridFit = 3;

class Canvas
{
public:
	virtual ~Canvas () = default;

	// Text rendering hint of the anti-aliased (GDI+) drawing state. It
	// governs only text drawn through GDI+; canvases without such text
	// ignore it.
	virtual void setTextRenderingHint (int /*hint*/) {}

	// Saves and restores the drawing state (font, text colour, background
	// mode, clipping), like SaveDC and RestoreDC.
	virtual void save () = 0;
	virtual void restore () = 0;

	// ---- Plain GDI-style drawing -------------------------------------
	// Fills with a solid brush made for this call.
	virtual void fillRect (const Rect& r, Rgb color) = 0;
	// Fills with the editor's long-lived panel background brush.
	virtual void fillRectWithPanelBrush (const Rect& r) = 0;
	// Ellipse outline in the bounding box, pen of `width` pixels, hollow brush.
	virtual void ellipseOutline (const Rect& box, Rgb color, int width) = 0;
	// Straight line from a to b with a solid pen of `width` pixels
	// (MoveToEx, LineTo: the end point itself is not drawn).
	virtual void line (Point a, Point b, Rgb color, int width) = 0;
	// 8-bit text with its top-left corner at (x, y), transparent background.
	virtual void textAt (int x, int y, const char* text, const FontSpec& font, Rgb color) = 0;
	// 8-bit text laid out in a rectangle (DrawTextA), transparent background.
	virtual void textInRect (const Rect& r, const char* text, const FontSpec& font, Rgb color, unsigned flags) = 0;
	// UTF-16 text laid out in a rectangle (DrawTextW), transparent background.
	virtual void textInRectW (const Rect& r, const char16_t* text, const FontSpec& font, Rgb color,
	                          unsigned flags) = 0;

	// ---- Anti-aliased GDI+-style drawing ------------------------------
	virtual void aaFillRect (const RectF& r, const Fill& fill) = 0;
	virtual void aaFillEllipse (const RectF& box, const Fill& fill) = 0;
	virtual void aaRectOutline (const RectF& r, Argb color, float width) = 0;
	// Line with flat or round caps at both ends.
	virtual void aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps) = 0;
	// Arc of the ellipse in `box`, angles in degrees clockwise from the
	// positive x axis (as GDI+ measures them with y pointing down).
	virtual void aaArc (const RectF& box, float startDegrees, float sweepDegrees, Argb color, float width,
	                    bool roundCaps) = 0;
	// Cardinal spline through the points with the given tension (GDI+
	// DrawCurve; tension 0.5 is GDI+'s default).
	virtual void aaCurve (const PointF* points, int count, float tension, Argb color, float width) = 0;
};

} // namespace Tarno
