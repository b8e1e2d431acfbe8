// The Cairo canvas keeps the pictures of anti-aliased shapes and composites
// them on later calls. Whatever it keeps, the pixels must be those of
// drawing every shape afresh: checked shape by shape over a busy background,
// and for whole panels painted one after another on one canvas against
// fresh, uncached canvases.
#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)

#include "editor/canvas/CairoCanvas.h"
#include "editor/skins/Overlay.h"
#include "editor/skins/SkinPainter.h"
#include "params/Skins.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>

using namespace Tarno;

namespace {

constexpr int kW = 120, kH = 90;

// Stripes and blocks in many colours, so that every rounding of a blend
// shows somewhere.
void paintBackground (Canvas& c, int width, int height)
{
	for (int x = 0; x < width; x += 3)
		c.fillRect ({x, 0, x + 3, height}, Rgb{uint8_t (x * 7), uint8_t (255 - x * 3), uint8_t (x * 13 + 40)});
	for (int y = 0; y < height; y += 10)
		c.aaFillRect ({0, float (y), float (width), 4}, Fill::solid ({uint8_t (60 + y), uint8_t (y * 5), 200, 90}));
}

// Where the two canvases differ: the count of pixels, and the first.
// `border` pixels along the edges are left out.
std::string differences (CairoCanvas& a, CairoCanvas& b, int border = 0)
{
	int count = 0;
	std::string first;
	for (int y = border; y < a.height () - border; ++y)
		for (int x = border; x < a.width () - border; ++x)
		{
			const Rgb p = a.pixel (x, y), q = b.pixel (x, y);
			if (p != q || a.alpha (x, y) != b.alpha (x, y))
			{
				if (count++ == 0)
					first = " first at (" + std::to_string (x) + ", " + std::to_string (y) + ")";
			}
		}
	return count ? std::to_string (count) + " pixels differ," + first : std::string ();
}

const PointF kWave[] = {{-10, 40}, {20, 10}, {50, 70}, {80, 20}, {130, 60}};

struct ShapeCase
{
	const char* name;
	std::function<void (Canvas&)> draw;
};

const ShapeCase kShapes[] = {
	{"opaque diagonal line", [] (Canvas& c) { c.aaLine ({10, 80}, {100, 13}, {255, 23, 23, 21}, 1.4f, false); }},
	{"translucent line, round caps", [] (Canvas& c) { c.aaLine ({15, 15}, {95, 70}, {120, 250, 240, 10}, 5.5f, true); }},
	{"level hairline", [] (Canvas& c) { c.aaLine ({5, 30}, {115, 30}, {18, 255, 255, 255}, 1, false); }},
	{"upright line, half pixels", [] (Canvas& c) { c.aaLine ({40.5f, 3}, {40.5f, 87}, {200, 30, 20, 13}, 2, false); }},
	{"short ticks", [] (Canvas& c) {
		 for (int i = 0; i < 12; ++i)
			 c.aaLine ({20.0f + 7 * i, 50}, {23.3f + 7 * i, 58.6f}, {255, 217, 172, 101}, 1.1f, false);
	 }},
	{"arc", [] (Canvas& c) { c.aaArc ({20, 10, 70, 60}, 190, 140, {150, 93, 96, 81}, 0.8f, false); }},
	{"arc backwards, round caps", [] (Canvas& c) { c.aaArc ({30, 20, 50, 50}, 10, -250, {255, 9, 99, 200}, 3, true); }},
	{"curve through the edge", [] (Canvas& c) { c.aaCurve (kWave, 5, 0.5f, {60, 203, 141, 77}, 0.7f); }},
	{"opaque curve", [] (Canvas& c) { c.aaCurve (kWave, 5, 0.9f, {255, 240, 10, 10}, 2.5f); }},
	{"opaque ellipse", [] (Canvas& c) { c.aaFillEllipse ({20.3f, 11, 64, 64}, Fill::solid ({255, 14, 17, 16})); }},
	{"translucent ellipse", [] (Canvas& c) { c.aaFillEllipse ({17, 14, 68, 69}, Fill::solid ({125, 0, 0, 0})); }},
	{"gradient ellipse", [] (Canvas& c) {
		 c.aaFillEllipse ({30, 20, 52, 52}, Fill::linear ({15, 19}, {78, 71}, {255, 69, 73, 64}, {255, 20, 23, 22}));
	 }},
	{"opaque gradient, tiled", [] (Canvas& c) {
		 c.aaFillRect ({4, 6, 110, 70}, Fill::linear ({10, 0}, {60, 40}, {255, 237, 242, 245}, {255, 61, 77, 87}));
	 }},
	{"translucent gradient", [] (Canvas& c) {
		 c.aaFillRect ({9, 5, 91, 80}, Fill::linear ({10, 4}, {102, 145}, {210, 235, 240, 243}, {200, 180, 195, 205}));
	 }},
	{"outlines", [] (Canvas& c) {
		 c.aaRectOutline ({27, 31, 32, 18}, {255, 88, 107, 120}, 0.8f);
		 c.aaRectOutline ({60.5f, 30, 40, 25}, {90, 33, 94, 115}, 1.5f);
	 }},
	{"partly and wholly outside", [] (Canvas& c) {
		 c.aaFillEllipse ({-30, 60, 80, 80}, Fill::solid ({180, 20, 200, 20}));
		 c.aaLine ({200, 10}, {300, 50}, {255, 0, 0, 0}, 3, true);
	 }},
	{"the same shape twice", [] (Canvas& c) {
		 c.aaFillEllipse ({10, 10, 40, 30}, Fill::solid ({100, 255, 0, 0}));
		 c.aaFillEllipse ({10, 10, 40, 30}, Fill::solid ({100, 255, 0, 0}));
	 }},
	{"not finite, huge", [] (Canvas& c) {
		 const float nan = std::numeric_limits<float>::quiet_NaN ();
		 c.aaLine ({10, 10}, {nan, 50}, {255, 0, 0, 0}, 2, false);
		 c.aaLine ({10, 10}, {3e9f, 50}, {255, 0, 0, 0}, 2, false);
		 c.aaFillEllipse ({40, 40, 20, 20}, Fill::solid ({255, 250, 250, 0}));
	 }},
};

} // namespace

TEST (CairoShapeCache, KeptShapesGiveThePixelsOfFreshOnes)
{
	for (const auto format : {CairoCanvas::Format::rgb24, CairoCanvas::Format::argb32})
		for (const ShapeCase& shape : kShapes)
		{
			SCOPED_TRACE (std::string (shape.name) + (format == CairoCanvas::Format::argb32 ? ", argb32" : ""));
			CairoCanvas fresh (kW, kH, Rgb{0, 0, 0}, format), kept (kW, kH, Rgb{0, 0, 0}, format);
			fresh.setShapeCacheLimit (0);
			paintBackground (fresh, kW, kH);
			shape.draw (fresh);

			// The first time the shapes are drawn on the canvas, the second
			// time drawn and kept, the third time composited from what was
			// kept.
			for (int pass = 0; pass < 3; ++pass)
			{
				paintBackground (kept, kW, kH);
				shape.draw (kept);
				EXPECT_EQ (differences (fresh, kept), "") << "pass " << pass;
			}
		}
}

TEST (CairoShapeCache, KeepsPicturesOnceAndWithinItsLimit)
{
	CairoCanvas canvas (860, 530, Rgb{20, 34, 38});
	// Shapes met once are only noted; met again, they are kept.
	paintSkin (canvas, kSkinVintage, kDefaultParams, -1);
	const size_t noted = canvas.shapeCacheBytes ();
	paintSkin (canvas, kSkinVintage, kDefaultParams, -1);
	const size_t once = canvas.shapeCacheBytes ();
	EXPECT_GT (noted, 0u);
	EXPECT_GT (once, 20 * noted);
	// Repainting the same panel finds every shape it keeps.
	paintSkin (canvas, kSkinVintage, kDefaultParams, -1);
	EXPECT_EQ (canvas.shapeCacheBytes (), once);

	canvas.setShapeCacheLimit (once / 3);
	EXPECT_LE (canvas.shapeCacheBytes (), once / 3);
	paintSkin (canvas, kSkinSilver, kDefaultParams, -1);
	EXPECT_LE (canvas.shapeCacheBytes (), once / 3);
	canvas.setShapeCacheLimit (0);
	EXPECT_EQ (canvas.shapeCacheBytes (), 0u);
	paintSkin (canvas, kSkinVintage, kDefaultParams, -1);
	EXPECT_EQ (canvas.shapeCacheBytes (), 0u);
}

TEST (CairoShapeCache, PanelsInSequenceMatchFreshCanvases)
{
	const double nan = std::numeric_limits<double>::quiet_NaN ();
	ParamBlock attack = kDefaultParams;
	attack[kAttackParam] = 0.25;
	ParamBlock half;
	half.fill (0.5);
	ParamBlock full;
	full.fill (1.0);
	ParamBlock wild = kDefaultParams;
	wild[kSquareParam] = nan;
	wild[kTriangleParam] = 1e300;
	wild[kReleaseParam] = -3.0;

	const struct
	{
		int32_t skin;
		const ParamBlock* values;
		int32_t active;
	} steps[] = {
		{kSkinVintage, &kDefaultParams, -1}, {kSkinVintage, &kDefaultParams, 3}, {kSkinVintage, &attack, 3},
		{kSkinSilver, &kDefaultParams, -1},  {kSkinSilver, &half, 7},           {kSkinOriginal, &kDefaultParams, -1},
		{kSkinVintage, &full, 12},           {kSkinSilver, &wild, 0},           {kSkinVintage, &wild, 1},
		{kSkinSilver, &kDefaultParams, -1},  {kSkinVintage, &kDefaultParams, -1},
	};

	// With room for all pictures, and with so little that pictures are
	// dropped in the middle of a panel. Each panel is compared with the
	// same panel on a fresh canvas that keeps nothing, and with the same
	// sequence of panels on a canvas that keeps nothing (the outermost
	// pixels are only half covered by a panel: they show what lay below).
	for (const size_t limit : {CairoCanvas::kDefaultShapeCacheLimit, size_t (200) << 10})
	{
		CairoCanvas kept (860, 530, Rgb{20, 34, 38}), unkept (860, 530, Rgb{20, 34, 38});
		kept.setShapeCacheLimit (limit);
		unkept.setShapeCacheLimit (0);
		int n = 0;
		for (const auto& step : steps)
		{
			SCOPED_TRACE ("limit " + std::to_string (limit) + ", step " + std::to_string (n++));
			CairoCanvas fresh (860, 530, Rgb{20, 34, 38});
			fresh.setShapeCacheLimit (0);
			for (CairoCanvas* c : {&kept, &unkept, &fresh})
			{
				paintSkin (*c, step.skin, *step.values, step.active);
				paintOverlay (*c, *step.values, step.skin);
			}
			EXPECT_EQ (differences (fresh, kept, 1), "");
			EXPECT_EQ (differences (unkept, kept), "");
			EXPECT_LE (kept.shapeCacheBytes (), limit);
		}
	}
}

#endif // TARNO_HAVE_CAIRO_CANVAS
