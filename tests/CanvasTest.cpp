// Pixel probes of the two canvases. The same probes run natively against
// CairoCanvas and, in the Windows build under Wine, against GdiCanvas
// drawing into a 32-bit DIB section selected into a memory DC.
// TARNO_CANVAS_BACKEND comes with tarno_canvas when it has a canvas for
// the platform; without it this file compiles to nothing.

#ifdef TARNO_CANVAS_BACKEND

#include "editor/canvas/Canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include "editor/canvas/GdiCanvas.h"
#include <gdiplus.h>
#else
#include "editor/canvas/CairoCanvas.h"
#include <cairo.h>
#include <unistd.h>
#endif

using namespace Tarno;

namespace {

constexpr Rgb kBackground = {10, 20, 30};
constexpr Rgb kPanel = {20, 34, 38};
constexpr Rgb kRed = {220, 40, 30};
constexpr Rgb kWhite = {255, 255, 255};
constexpr Argb kOpaqueGreen = {255, 30, 200, 60};
constexpr FontSpec kText = {"Segoe UI", 13, 400};
constexpr FontSpec kTitle = {"Segoe UI", 36, 700};
constexpr FontSpec kSmall = {"Segoe UI", 11, 400};

int distance (Rgb a, Rgb b)
{
	return std::max ({std::abs (a.r - b.r), std::abs (a.g - b.g), std::abs (a.b - b.b)});
}

#ifdef _WIN32
// GDI+ is started once for the whole test program, as the editor does it
// once for its window.
class GdiplusEnvironment : public ::testing::Environment
{
public:
	void SetUp () override
	{
		Gdiplus::GdiplusStartupInput input;
		Gdiplus::GdiplusStartup (&token, &input, nullptr);
	}
	void TearDown () override
	{
		if (token)
			Gdiplus::GdiplusShutdown (token);
	}

private:
	ULONG_PTR token = 0;
};
::testing::Environment* const gdiplusEnvironment = ::testing::AddGlobalTestEnvironment (new GdiplusEnvironment);

// A 32-bit top-down DIB section in a memory DC, the panel brush and the
// editor's three fonts, with a GdiCanvas on them.
class Surface
{
public:
	Surface (int w, int h) : width (w), height (h)
	{
		BITMAPINFO info = {};
		info.bmiHeader.biSize = sizeof (BITMAPINFOHEADER);
		info.bmiHeader.biWidth = w;
		info.bmiHeader.biHeight = -h;
		info.bmiHeader.biPlanes = 1;
		info.bmiHeader.biBitCount = 32;
		info.bmiHeader.biCompression = BI_RGB;
		dc = CreateCompatibleDC (nullptr);
		bitmap = CreateDIBSection (dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
		previousBitmap = SelectObject (dc, bitmap);
		panelBrush = CreateSolidBrush (RGB (kPanel.r, kPanel.g, kPanel.b));
		const FontSpec specs[3] = {kText, kTitle, kSmall};
		GdiFontEntry table[3];
		for (int i = 0; i < 3; ++i)
			table[i] = {specs[i], fonts[i] = GdiCanvas::createFont (specs[i])};
		gdi = std::make_unique<GdiCanvas> (dc, panelBrush, table, 3);
	}
	~Surface ()
	{
		gdi.reset ();
		SelectObject (dc, previousBitmap);
		DeleteObject (bitmap);
		DeleteDC (dc);
		DeleteObject (panelBrush);
		for (HFONT f : fonts)
			DeleteObject (f);
	}
	bool valid () const { return dc && bitmap && bits; }
	Canvas& canvas () { return *gdi; }
	// Finishes the drawing, then reads the DIB's bytes (blue, green, red, x).
	Rgb pixel (int x, int y)
	{
		gdi->flush ();
		GdiFlush ();
		if (x < 0 || y < 0 || x >= width || y >= height)
			return {0, 0, 0};
		const uint8_t* p = static_cast<const uint8_t*> (bits) + (y * width + x) * 4;
		return {p[2], p[1], p[0]};
	}

	const int width, height;

private:
	HDC dc = nullptr;
	HBITMAP bitmap = nullptr;
	HGDIOBJ previousBitmap = nullptr;
	HBRUSH panelBrush = nullptr;
	HFONT fonts[3] = {};
	void* bits = nullptr;
	std::unique_ptr<GdiCanvas> gdi;
};
#else
class Surface
{
public:
	Surface (int w, int h) : width (w), height (h), cairo (w, h, kPanel) {}
	bool valid () const { return true; }
	Canvas& canvas () { return cairo; }
	Rgb pixel (int x, int y) { return cairo.pixel (x, y); }

	const int width, height;
	CairoCanvas cairo;
};
#endif

// Where the pixels that differ from the background lie in a region.
struct Ink
{
	int count = 0;
	int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // right, bottom inclusive
	int nearColour = 0; // pixels within 60 of the colour asked for
};

Ink inkIn (Surface& s, const Rect& region, Rgb background, Rgb colour = kWhite)
{
	Ink ink;
	for (int y = std::max (region.top, 0); y < std::min (region.bottom, s.height); ++y)
		for (int x = std::max (region.left, 0); x < std::min (region.right, s.width); ++x)
		{
			const Rgb p = s.pixel (x, y);
			if (p == background)
				continue;
			++ink.count;
			ink.left = std::min (ink.left, x);
			ink.right = std::max (ink.right, x);
			ink.top = std::min (ink.top, y);
			ink.bottom = std::max (ink.bottom, y);
			if (distance (p, colour) <= 60)
				++ink.nearColour;
		}
	return ink;
}

// Ink of the whole surface outside a rectangle.
int inkOutside (Surface& s, const Rect& r, Rgb background)
{
	int n = 0;
	for (int y = 0; y < s.height; ++y)
		for (int x = 0; x < s.width; ++x)
			if ((x < r.left || x >= r.right || y < r.top || y >= r.bottom) && s.pixel (x, y) != background)
				++n;
	return n;
}

class CanvasTest : public ::testing::Test
{
protected:
	void SetUp () override
	{
		ASSERT_TRUE (s.valid ());
		s.canvas ().fillRect ({0, 0, s.width, s.height}, kBackground);
	}
	Canvas& c () { return s.canvas (); }
	Surface s{200, 160};
};

// ---- Fills ---------------------------------------------------------------

TEST_F (CanvasTest, FillsCoverLeftToRightMinusOneAndTopToBottomMinusOne)
{
	c ().fillRect ({10, 20, 30, 25}, kRed);
	EXPECT_EQ (s.pixel (10, 20), kRed);
	EXPECT_EQ (s.pixel (29, 24), kRed);
	EXPECT_EQ (s.pixel (9, 22), kBackground);  // left of left
	EXPECT_EQ (s.pixel (30, 22), kBackground); // the right edge itself
	EXPECT_EQ (s.pixel (20, 19), kBackground); // above top
	EXPECT_EQ (s.pixel (20, 25), kBackground); // the bottom edge itself
	const Ink ink = inkIn (s, {0, 0, 45, 60}, kBackground, kRed);
	EXPECT_EQ (ink.count, 20 * 5);
	EXPECT_EQ (ink.nearColour, 20 * 5);

	c ().fillRectWithPanelBrush ({50, 6, 60, 16});
	EXPECT_EQ (s.pixel (50, 6), kPanel);
	EXPECT_EQ (s.pixel (59, 15), kPanel);
	EXPECT_EQ (s.pixel (60, 15), kBackground);
	EXPECT_EQ (s.pixel (59, 16), kBackground);
}

TEST_F (CanvasTest, EmptyRectanglesFillNothingAndInvertedOnesFillBackwards)
{
	c ().fillRect ({10, 10, 10, 30}, kRed);
	c ().fillRect ({10, 40, 30, 40}, kRed);
	EXPECT_EQ (inkIn (s, {0, 0, 60, 60}, kBackground).count, 0);
	c ().fillRect ({40, 30, 20, 10}, kRed);
	const Ink ink = inkIn (s, {0, 0, 60, 60}, kBackground);
	EXPECT_EQ (ink.count, 20 * 20);
	// As a blit with negative extents: from the left and top edges back.
	EXPECT_EQ (ink.left, 21);
	EXPECT_EQ (ink.right, 40);
	EXPECT_EQ (ink.top, 11);
	EXPECT_EQ (ink.bottom, 30);
}

// ---- Lines and ellipses --------------------------------------------------

TEST_F (CanvasTest, OnePixelLineLeavesOutItsEndPoint)
{
	c ().line ({10, 10}, {20, 10}, kRed, 1);
	for (int x = 10; x < 20; ++x)
		EXPECT_EQ (s.pixel (x, 10), kRed) << x;
	EXPECT_EQ (s.pixel (20, 10), kBackground);
	EXPECT_EQ (s.pixel (9, 10), kBackground);
	EXPECT_EQ (inkIn (s, {0, 0, 40, 40}, kBackground).count, 10);

	// Backwards and diagonal: the end point is left out as well.
	c ().line ({60, 30}, {50, 30}, kRed, 1);
	EXPECT_EQ (s.pixel (60, 30), kRed);
	EXPECT_EQ (s.pixel (51, 30), kRed);
	EXPECT_EQ (s.pixel (50, 30), kBackground);
	c ().line ({100, 100}, {105, 105}, kRed, 1);
	for (int i = 0; i < 5; ++i)
		EXPECT_EQ (s.pixel (100 + i, 100 + i), kRed) << i;
	EXPECT_EQ (s.pixel (105, 105), kBackground);

	// Halfway between two rows, the upper one, in either direction.
	c ().line ({150, 15}, {130, 10}, kRed, 1); // y = 10.5 at x = 132
	c ().line ({130, 25}, {150, 20}, kRed, 1); // y = 24.5 at x = 132
	EXPECT_EQ (s.pixel (132, 10), kRed);
	EXPECT_EQ (s.pixel (132, 11), kBackground);
	EXPECT_EQ (s.pixel (132, 24), kRed);
	EXPECT_EQ (s.pixel (132, 25), kBackground);
}

TEST_F (CanvasTest, WideLineHasItsWidthAndRoundEnds)
{
	// The knob pointer of a value of 0.5: 4 pixels wide, vertical.
	c ().line ({73, 100}, {73, 88}, kRed, 4);
	EXPECT_EQ (s.pixel (73, 94), kRed);
	EXPECT_EQ (s.pixel (72, 94), kRed);
	EXPECT_EQ (s.pixel (74, 94), kRed);
	EXPECT_EQ (s.pixel (69, 94), kBackground);
	EXPECT_EQ (s.pixel (77, 94), kBackground);
	const Ink ink = inkIn (s, {50, 70, 100, 120}, kBackground, kRed);
	EXPECT_GE (ink.right - ink.left + 1, 4);
	EXPECT_LE (ink.right - ink.left + 1, 5);
	// The round ends reach about half the width beyond both end points.
	EXPECT_EQ (s.pixel (73, 100), kRed);
	EXPECT_LE (ink.top, 87);
	EXPECT_GE (ink.top, 85);
	EXPECT_GE (ink.bottom, 101);
	EXPECT_LE (ink.bottom, 103);
}

TEST_F (CanvasTest, EllipseOutlineIsARingInsideItsBox)
{
	// The knob ring: box (40, 40, 106, 106), pen 2 pixels, covering the
	// pixels 39 and 40 on the left and 104 and 105 on the right.
	c ().ellipseOutline ({40, 40, 106, 106}, kRed, 2);
	EXPECT_EQ (s.pixel (73, 73), kBackground); // hollow centre
	EXPECT_EQ (s.pixel (60, 73), kBackground);
	EXPECT_EQ (s.pixel (40, 73), kRed);
	EXPECT_EQ (s.pixel (73, 40), kRed);
	EXPECT_EQ (s.pixel (105, 73), kRed);
	EXPECT_EQ (s.pixel (73, 105), kRed);
	EXPECT_EQ (s.pixel (42, 73), kBackground);
	EXPECT_EQ (s.pixel (37, 73), kBackground);
	EXPECT_EQ (s.pixel (107, 73), kBackground);
	const Ink ink = inkIn (s, {0, 0, 150, 150}, kBackground, kRed);
	EXPECT_EQ (ink.left, 39);
	EXPECT_EQ (ink.right, 105);
	EXPECT_EQ (ink.top, 39);
	EXPECT_EQ (ink.bottom, 105);

	// With a 1-pixel pen the box's right and bottom are exclusive.
	c ().fillRect ({0, 0, 200, 160}, kBackground);
	c ().ellipseOutline ({120, 20, 160, 60}, kRed, 1);
	EXPECT_EQ (s.pixel (120, 40), kRed);
	EXPECT_EQ (s.pixel (159, 40), kRed);
	EXPECT_EQ (s.pixel (160, 40), kBackground);
	EXPECT_EQ (s.pixel (140, 20), kRed);
	EXPECT_EQ (s.pixel (140, 59), kRed);
	EXPECT_EQ (s.pixel (140, 60), kBackground);
	EXPECT_EQ (s.pixel (140, 40), kBackground);
}

// ---- Text ----------------------------------------------------------------

TEST_F (CanvasTest, TextInRectStaysInsideItsRectangle)
{
	const Rect r = {20, 30, 120, 50};
	c ().textInRect (r, "APPEARANCE", kText, kWhite, kTextSingleLine | kTextVCenter | kTextNoPrefix);
	const Ink ink = inkIn (s, r, kBackground);
	EXPECT_GT (ink.count, 30);
	EXPECT_GT (ink.nearColour, 5);
	EXPECT_EQ (inkOutside (s, r, kBackground), 0);
	EXPECT_LE (ink.left, r.left + 3); // left-aligned

	// Text too big for its rectangle is clipped at it.
	const Rect small = {20, 80, 60, 95};
	c ().textInRect (small, "A TEXT MUCH WIDER THAN ITS BOX", kTitle, kWhite, kTextSingleLine | kTextVCenter);
	EXPECT_GT (inkIn (s, small, kBackground).count, 20);
	EXPECT_EQ (inkOutside (s, {20, 30, 120, 95}, kBackground), 0);

	// UTF-16 text, with letters beyond ASCII, in a face not among the fonts.
	c ().fillRect ({0, 0, 200, 160}, kBackground);
	const Rect wide = {20, 110, 180, 140};
	const char16_t text[] = {u'V', u'a', u'l', u'u', u'e', u' ', 0x00E9, u' ', 0x03A9, 0};
	c ().textInRectW (wide, text, {"Consolas", 11, 400}, kWhite, kTextCenter | kTextVCenter | kTextSingleLine);
	EXPECT_GT (inkIn (s, wide, kBackground).count, 30);
	EXPECT_EQ (inkOutside (s, wide, kBackground), 0);
}

TEST_F (CanvasTest, CentredTextIsCentredBothWays)
{
	const Rect r = {10, 40, 190, 80};
	c ().textInRect (r, "HHHHHH", kText, kWhite, kTextCenter | kTextVCenter | kTextSingleLine | kTextNoPrefix);
	const Ink ink = inkIn (s, r, kBackground);
	ASSERT_GT (ink.count, 30);
	EXPECT_NEAR ((ink.left + ink.right + 1) / 2.0, (r.left + r.right) / 2.0, 3.0);
	EXPECT_NEAR ((ink.top + ink.bottom + 1) / 2.0, (r.top + r.bottom) / 2.0, 3.0);

	// Right-aligned text ends at the right edge.
	c ().fillRect ({0, 0, 200, 160}, kBackground);
	c ().textInRect (r, "HHHHHH", kText, kWhite, kTextRight | kTextSingleLine);
	const Ink right = inkIn (s, r, kBackground);
	EXPECT_GE (right.right, r.right - 4);
	EXPECT_LT (right.top, r.top + 12); // no DT_VCENTER: at the top
}

TEST_F (CanvasTest, TextAtHasItsTopLeftCornerAtThePoint)
{
	c ().textAt (50, 60, "Hello", kText, kWhite);
	const Ink ink = inkIn (s, {0, 0, 200, 160}, kBackground);
	ASSERT_GT (ink.count, 20);
	EXPECT_GE (ink.left, 50);
	EXPECT_LE (ink.left, 53);
	EXPECT_GE (ink.top, 60); // nothing above the top of the text cell
	EXPECT_LE (ink.top, 66);
	EXPECT_LE (ink.bottom, 60 + 18);
	EXPECT_GT (ink.nearColour, 5);
}

TEST_F (CanvasTest, FontHeightSetsTheSizeOfTheLetters)
{
	c ().textAt (10, 10, "H", kSmall, kWhite);
	c ().textAt (10, 60, "H", kTitle, kWhite);
	c ().textAt (100, 10, "H", {"Segoe UI", 24, 400}, kWhite); // not among the editor's fonts
	const Ink small = inkIn (s, {0, 0, 60, 50}, kBackground);
	const Ink title = inkIn (s, {0, 50, 90, 160}, kBackground);
	const Ink other = inkIn (s, {90, 0, 200, 50}, kBackground);
	const int smallCap = small.bottom - small.top + 1, titleCap = title.bottom - title.top + 1,
	          otherCap = other.bottom - other.top + 1;
	// Capital letters are roughly 0.7 of the character height.
	EXPECT_NEAR (smallCap, 0.72 * 11, 2.5);
	EXPECT_NEAR (titleCap, 0.72 * 36, 4.0);
	EXPECT_NEAR (otherCap, 0.72 * 24, 3.0);
}

// ---- Anti-aliased shapes -------------------------------------------------

TEST_F (CanvasTest, AntiAliasedFillsAndOutlinesCoverTheirShape)
{
	c ().aaFillRect ({20, 20, 40, 30}, Fill::solid (kOpaqueGreen));
	EXPECT_EQ (s.pixel (40, 35), (Rgb{30, 200, 60}));
	EXPECT_EQ (s.pixel (21, 21), (Rgb{30, 200, 60}));
	EXPECT_EQ (s.pixel (18, 35), kBackground);
	EXPECT_EQ (s.pixel (62, 35), kBackground);

	c ().aaFillEllipse ({100, 20, 60, 60}, Fill::solid (kOpaqueGreen));
	EXPECT_EQ (s.pixel (130, 50), (Rgb{30, 200, 60}));
	EXPECT_EQ (s.pixel (102, 22), kBackground); // corner of the box
	EXPECT_EQ (s.pixel (157, 77), kBackground);

	// A translucent fill blends over what lies below.
	c ().aaFillRect ({20, 100, 40, 30}, Fill::solid ({128, 255, 255, 255}));
	const Rgb blend = s.pixel (40, 115);
	EXPECT_NEAR (blend.r, (10 + 255) / 2, 4);
	EXPECT_NEAR (blend.b, (30 + 255) / 2, 4);

	// An outline is only the edges.
	c ().aaRectOutline ({100, 100, 60, 40}, kOpaqueGreen, 2);
	EXPECT_NE (s.pixel (100, 120), kBackground);
	EXPECT_NE (s.pixel (160, 120), kBackground);
	EXPECT_NE (s.pixel (130, 100), kBackground);
	EXPECT_NE (s.pixel (130, 140), kBackground);
	EXPECT_EQ (s.pixel (130, 120), kBackground);
	EXPECT_EQ (s.pixel (96, 120), kBackground);
}

TEST_F (CanvasTest, GradientRunsBetweenItsPointsAndRepeatsBeyond)
{
	// Black at x = 40, white at x = 140, over a rectangle from x = 0 to 200.
	c ().aaFillRect ({0, 0, 200, 20}, Fill::linear ({40, 0}, {140, 0}, {255, 0, 0, 0}, {255, 255, 255, 255}));
	EXPECT_LE (s.pixel (41, 10).r, 12);
	EXPECT_GE (s.pixel (138, 10).r, 243);
	EXPECT_NEAR (s.pixel (90, 10).r, 128, 10);
	// Constant across the gradient's direction.
	EXPECT_NEAR (s.pixel (90, 2).r, s.pixel (90, 18).r, 2);
	// Tiled: just past the end it starts again from black; just before the
	// start it is nearly white.
	EXPECT_LE (s.pixel (145, 10).r, 30);
	EXPECT_GE (s.pixel (35, 10).r, 225);

	// GDI+ makes no line brush from two equal points: nothing is drawn.
	c ().aaFillRect ({0, 40, 200, 20}, Fill::linear ({50, 50}, {50, 50}, {255, 0, 0, 0}, {255, 255, 255, 255}));
	EXPECT_EQ (inkIn (s, {0, 30, 200, 70}, kBackground).count, 0);
}

TEST_F (CanvasTest, RoundCapsReachBeyondTheEndsAndFlatCapsDoNot)
{
	c ().aaLine ({50, 40}, {100, 40}, kOpaqueGreen, 8, true);
	c ().aaLine ({50, 100}, {100, 100}, kOpaqueGreen, 8, false);
	const Rgb green = {30, 200, 60};
	EXPECT_EQ (s.pixel (75, 40), green);
	EXPECT_EQ (s.pixel (75, 37), green); // width 8: 36..44
	EXPECT_EQ (s.pixel (75, 30), kBackground);
	EXPECT_EQ (s.pixel (102, 40), green);
	EXPECT_EQ (s.pixel (48, 40), green);
	EXPECT_EQ (s.pixel (106, 40), kBackground);

	EXPECT_EQ (s.pixel (75, 100), green);
	EXPECT_EQ (s.pixel (98, 100), green);
	EXPECT_EQ (s.pixel (103, 100), kBackground);
	EXPECT_EQ (s.pixel (47, 100), kBackground);
}

TEST_F (CanvasTest, ArcIsDrawnOverItsSweepOnly)
{
	// Circle of radius 30 around (100, 80); from 3 o'clock clockwise
	// (downwards on the screen) through 90 degrees.
	c ().aaArc ({70, 50, 60, 60}, 0, 90, kOpaqueGreen, 3, false);
	auto at = [&] (double degrees) {
		const double a = degrees * 3.14159265358979 / 180.0;
		return s.pixel (static_cast<int> (std::lround (100 + 30 * std::cos (a))),
		                static_cast<int> (std::lround (80 + 30 * std::sin (a))));
	};
	EXPECT_NE (at (10), kBackground);
	EXPECT_NE (at (45), kBackground);
	EXPECT_NE (at (80), kBackground);
	EXPECT_EQ (at (-20), kBackground); // above 3 o'clock
	EXPECT_EQ (at (110), kBackground); // past 6 o'clock
	EXPECT_EQ (at (180), kBackground);
	EXPECT_EQ (at (270), kBackground);

	// A negative sweep runs the other way, over the top.
	c ().fillRect ({0, 0, 200, 160}, kBackground);
	c ().aaArc ({70, 50, 60, 60}, 0, -90, kOpaqueGreen, 3, false);
	EXPECT_NE (at (-45), kBackground);
	EXPECT_EQ (at (45), kBackground);
}

TEST_F (CanvasTest, CurvePassesThroughItsPoints)
{
	const PointF points[] = {{20, 100}, {60, 60}, {100, 100}, {140, 60}, {180, 100}};
	c ().aaCurve (points, 5, 0.5f, kOpaqueGreen, 3);
	// Through every point (the two ends probed a pixel inside their flat
	// caps, which end right on the point).
	EXPECT_NE (s.pixel (21, 99), kBackground);
	for (int i = 1; i < 4; ++i)
		EXPECT_NE (s.pixel (static_cast<int> (points[i].x), static_cast<int> (points[i].y)), kBackground) << i;
	EXPECT_NE (s.pixel (179, 99), kBackground);
	// At (60, 60) the spline runs level (its tangent follows the
	// neighbours (20, 100) and (100, 100)); straight segments would not.
	EXPECT_NE (s.pixel (55, 60), kBackground);
	EXPECT_EQ (s.pixel (55, 65), kBackground);

	// With tension 0 the curve is the polyline.
	c ().fillRect ({0, 0, 200, 160}, kBackground);
	c ().aaCurve (points, 5, 0.0f, kOpaqueGreen, 3);
	EXPECT_EQ (s.pixel (55, 60), kBackground);
	EXPECT_NE (s.pixel (55, 65), kBackground);
}

// ---- Mixing plain and anti-aliased drawing -------------------------------

TEST_F (CanvasTest, PlainDrawingAfterAntiAliasedShapesIsKeptInOrder)
{
	// Shape, then text and a fill on top of it, then another shape.
	c ().aaFillRect ({10, 10, 180, 60}, Fill::solid ({255, 40, 60, 80}));
	c ().textInRect ({20, 20, 180, 60}, "ORIGINAL", kSmall, kWhite,
	                 kTextCenter | kTextVCenter | kTextSingleLine | kTextNoPrefix);
	c ().fillRect ({10, 100, 60, 120}, kRed);
	c ().aaFillRect ({40, 110, 60, 30}, Fill::solid (kOpaqueGreen));
	c ().line ({100, 150}, {190, 150}, kRed, 1);

	const Rgb plate = {40, 60, 80};
	EXPECT_EQ (s.pixel (15, 15), plate);
	const Ink text = inkIn (s, {20, 20, 180, 60}, plate);
	EXPECT_GT (text.count, 20);
	EXPECT_GT (text.nearColour, 3);
	EXPECT_EQ (s.pixel (20, 105), kRed);                 // plain fill after the first shape
	EXPECT_EQ (s.pixel (50, 125), (Rgb{30, 200, 60}));   // second shape over the fill
	EXPECT_EQ (s.pixel (150, 150), kRed);                // plain line after the second shape
}

TEST_F (CanvasTest, ShapesAfterTextDoNotStartWhereTheTextEnded)
{
	// Each shape is drawn on its own: no stroke joins the end of a text to
	// the next outline, arc or curve.
	c ().textAt (10, 10, "Label", kText, kWhite);
	c ().ellipseOutline ({120, 0, 160, 40}, kRed, 2);
	c ().textInRect ({10, 60, 60, 80}, "Value", kText, kWhite, kTextSingleLine);
	c ().aaArc ({120, 50, 40, 40}, 0, 360, kOpaqueGreen, 2, false);
	c ().textAt (10, 110, "More", kText, kWhite);
	const PointF points[] = {{120, 130}, {140, 120}, {160, 130}};
	c ().aaCurve (points, 3, 0.5f, kOpaqueGreen, 2);
	EXPECT_EQ (inkIn (s, {75, 0, 115, 160}, kBackground).count, 0);
}

TEST_F (CanvasTest, SaveAndRestoreLeaveDrawingWorking)
{
	c ().save ();
	c ().aaFillRect ({10, 10, 20, 20}, Fill::solid (kOpaqueGreen));
	c ().restore ();
	c ().restore (); // unmatched: ignored
	c ().fillRect ({50, 10, 60, 20}, kRed);
	c ().aaFillRect ({80, 10, 20, 20}, Fill::solid (kOpaqueGreen));
	EXPECT_EQ (s.pixel (20, 20), (Rgb{30, 200, 60}));
	EXPECT_EQ (s.pixel (55, 15), kRed);
	EXPECT_EQ (s.pixel (90, 20), (Rgb{30, 200, 60}));
}

// ---- Cairo only ----------------------------------------------------------

#ifndef _WIN32
TEST (CairoCanvasTest, WritesAPngThatReadsBackTheSame)
{
	CairoCanvas canvas (40, 30, kPanel);
	canvas.fillRectWithPanelBrush ({0, 0, 40, 30});
	canvas.fillRect ({5, 5, 10, 10}, kRed);
	char path[] = "/tmp/tarno-canvas-XXXXXX.png";
	const int fd = mkstemps (path, 4);
	ASSERT_GE (fd, 0);
	close (fd);
	ASSERT_TRUE (canvas.writePng (path));

	unsigned char magic[8] = {};
	FILE* f = std::fopen (path, "rb");
	ASSERT_NE (f, nullptr);
	EXPECT_EQ (std::fread (magic, 1, 8, f), 8u);
	std::fclose (f);
	const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
	EXPECT_TRUE (std::equal (magic, magic + 8, png));

	cairo_surface_t* back = cairo_image_surface_create_from_png (path);
	ASSERT_EQ (cairo_surface_status (back), CAIRO_STATUS_SUCCESS);
	EXPECT_EQ (cairo_image_surface_get_width (back), 40);
	EXPECT_EQ (cairo_image_surface_get_height (back), 30);
	const unsigned char* data = cairo_image_surface_get_data (back);
	const int stride = cairo_image_surface_get_stride (back);
	uint32_t v;
	std::memcpy (&v, data + 7 * stride + 7 * 4, 4);
	EXPECT_EQ (v & 0xFFFFFF, (220u << 16) | (40u << 8) | 30u);
	cairo_surface_destroy (back);
	std::remove (path);

	EXPECT_FALSE (canvas.writePng ("/nonexistent-dir/x.png"));
}

TEST (CairoCanvasTest, ArgbImageKeepsAlphaAndReportsUnmultipliedColour)
{
	CairoCanvas canvas (20, 20, kPanel, CairoCanvas::Format::argb32);
	EXPECT_EQ (canvas.alpha (5, 5), 0);
	canvas.aaFillRect ({0, 0, 20, 20}, Fill::solid ({128, 200, 100, 50}));
	EXPECT_NEAR (canvas.alpha (10, 10), 128, 1);
	const Rgb p = canvas.pixel (10, 10);
	EXPECT_NEAR (p.r, 200, 2);
	EXPECT_NEAR (p.g, 100, 2);
	EXPECT_NEAR (p.b, 50, 2);
	EXPECT_EQ (canvas.pixel (-1, 3), (Rgb{0, 0, 0}));
	EXPECT_EQ (canvas.alpha (20, 3), 0);
}

TEST (CairoCanvasTest, WindowsFacesAreReplacedByDejaVu)
{
	EXPECT_STREQ (CairoCanvas::linuxFace ("Segoe UI"), "DejaVu Sans");
	EXPECT_STREQ (CairoCanvas::linuxFace ("arial"), "DejaVu Sans");
	EXPECT_STREQ (CairoCanvas::linuxFace ("Consolas"), "DejaVu Sans Mono");
	EXPECT_STREQ (CairoCanvas::linuxFace ("DejaVu Serif"), "DejaVu Serif");
	EXPECT_STREQ (CairoCanvas::linuxFace (nullptr), "DejaVu Sans");
}

TEST (CairoCanvasTest, PrefixAmpersandsAreDroppedUnlessNoPrefix)
{
	CairoCanvas a (120, 30, kPanel), b (120, 30, kPanel), c (120, 30, kPanel);
	const unsigned flags = kTextSingleLine | kTextVCenter;
	a.textInRect ({0, 0, 120, 30}, "R&&D &Save", kText, kWhite, flags);
	b.textInRect ({0, 0, 120, 30}, "R&D Save", kText, kWhite, flags | kTextNoPrefix);
	c.textInRect ({0, 0, 120, 30}, "R&&D &Save", kText, kWhite, flags | kTextNoPrefix);
	bool sameAsB = true, sameAsC = true;
	for (int y = 0; y < 30; ++y)
		for (int x = 0; x < 120; ++x)
		{
			sameAsB = sameAsB && a.pixel (x, y) == b.pixel (x, y);
			sameAsC = sameAsC && a.pixel (x, y) == c.pixel (x, y);
		}
	EXPECT_TRUE (sameAsB);
	EXPECT_FALSE (sameAsC);
}

TEST (CairoCanvasTest, CodePage1252AndBrokenUtf16AreStillDrawn)
{
	// Cairo refuses malformed UTF-8 by going into an error state for good;
	// the 8-bit texts are code page 1252 and must not do that.
	CairoCanvas canvas (100, 40, kPanel);
	canvas.textAt (2, 2, "5\xB0 \x80 \x81", kText, kWhite);
	const char16_t broken[] = {u'A', 0xD800, u'B', 0xDC00, 0};
	canvas.textInRectW ({0, 20, 100, 40}, broken, kText, kWhite, kTextSingleLine);
	canvas.fillRect ({90, 0, 100, 10}, kRed);
	EXPECT_EQ (canvas.pixel (95, 5), kRed);
}
#endif

} // namespace

#endif // TARNO_CANVAS_BACKEND
