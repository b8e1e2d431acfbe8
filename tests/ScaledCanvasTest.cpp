// The panel at a content scale, drawn through the Cairo canvas: unchanged at
// 1.0, and at 1.5 and 2.0 every flat area of each skin at its scaled place,
// with text drawn in fonts of the scaled size.
#ifdef TARNO_HAVE_CAIRO_CANVAS

#include "editor/canvas/CairoCanvas.h"
#include "editor/skins/Overlay.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/SkinPainter.h"
#include "tests/ScaleProbes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

using namespace Tarno;

namespace {

constexpr Rgb kPanelBrush = {20, 34, 38};

// Passes everything on but text: hinted glyphs do not grow exactly in
// proportion to their size, so a line of text ends a few pixels off its
// scaled place; shapes and fills do not.
class WithoutText final : public Canvas
{
public:
	explicit WithoutText (Canvas& c) : c (c) {}
	void save () override { c.save (); }
	void restore () override { c.restore (); }
	void fillRect (const Rect& r, Rgb color) override { c.fillRect (r, color); }
	void fillRectWithPanelBrush (const Rect& r) override { c.fillRectWithPanelBrush (r); }
	void ellipseOutline (const Rect& box, Rgb color, int width) override { c.ellipseOutline (box, color, width); }
	void line (Point a, Point b, Rgb color, int width) override { c.line (a, b, color, width); }
	void textAt (int, int, const char*, const FontSpec&, Rgb) override {}
	void textInRect (const Rect&, const char*, const FontSpec&, Rgb, unsigned) override {}
	void textInRectW (const Rect&, const char16_t*, const FontSpec&, Rgb, unsigned) override {}
	void aaFillRect (const RectF& r, const Fill& fill) override { c.aaFillRect (r, fill); }
	void aaFillEllipse (const RectF& box, const Fill& fill) override { c.aaFillEllipse (box, fill); }
	void aaRectOutline (const RectF& r, Argb color, float width) override { c.aaRectOutline (r, color, width); }
	void aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps) override
	{
		c.aaLine (a, b, color, width, roundCaps);
	}
	void aaArc (const RectF& box, float start, float sweep, Argb color, float width, bool roundCaps) override
	{
		c.aaArc (box, start, sweep, color, width, roundCaps);
	}
	void aaCurve (const PointF* points, int count, float tension, Argb color, float width) override
	{
		c.aaCurve (points, count, tension, color, width);
	}

private:
	Canvas& c;
};

enum class Through
{
	canvas,       // straight onto the canvas
	scaled,       // through ScaledCanvas
	scaledNoText, // through ScaledCanvas, texts left out
};

std::unique_ptr<CairoCanvas> panel (int32_t skin, double f, Through through = Through::scaled)
{
	auto canvas = std::make_unique<CairoCanvas> (scaledLength (kPanelWidth, f), scaledLength (kPanelHeight, f),
	                                             kPanelBrush);
	ScaledCanvas scaled (*canvas, f);
	WithoutText noText (scaled);
	Canvas& target = through == Through::canvas   ? static_cast<Canvas&> (*canvas)
	                 : through == Through::scaled ? static_cast<Canvas&> (scaled)
	                                              : noText;
	paintSkin (target, skin, kDefaultParams, -1);
	paintOverlay (target, kDefaultParams, skin);
	canvas->flush ();
	return canvas;
}

// The canvas's pixels as the probes take them.
auto pixels (const CairoCanvas& c)
{
	return [&c] (int x, int y) {
		const Rgb p = c.pixel (x, y);
		return TarnoTest::Pixel {p.r, p.g, p.b};
	};
}

} // namespace

TEST (ContentScale, FactorsAndSizes)
{
	const double nan = std::numeric_limits<double>::quiet_NaN (), inf = std::numeric_limits<double>::infinity ();
	for (double f : {1.0, 1.25, 1.5, 2.0, 4.0})
		EXPECT_TRUE (acceptableContentScale (f)) << f;
	for (double f : {0.0, 0.5, 0.999, 4.001, -1.0, nan, inf, -inf})
		EXPECT_FALSE (acceptableContentScale (f)) << f;
	const int sizes[][3] = {{100, 860, 530}, {125, 1075, 663}, {150, 1290, 795}, {200, 1720, 1060}, {400, 3440, 2120}};
	for (const auto& s : sizes)
	{
		EXPECT_EQ (scaledLength (kPanelWidth, s[0] / 100.0), s[1]) << s[0];
		EXPECT_EQ (scaledLength (kPanelHeight, s[0] / 100.0), s[2]) << s[0];
	}
	EXPECT_EQ (scaledLength (std::numeric_limits<int>::max (), 4.0), 1 << 30) << "kept inside int";
}

// Through ScaledCanvas at 1.0 each skin is pixel for pixel what the canvas
// draws by itself.
TEST (ContentScale, OneChangesNothing)
{
	for (int32_t skin = 0; skin < kNumSkins; ++skin)
	{
		const auto direct = panel (skin, 1.0, Through::canvas), scaled = panel (skin, 1.0);
		int differing = 0;
		for (int y = 0; y < kPanelHeight; ++y)
			for (int x = 0; x < kPanelWidth; ++x)
				differing += direct->pixel (x, y) != scaled->pixel (x, y);
		EXPECT_EQ (differing, 0) << skin;
	}
}

// Every panel pixel whose 5 × 5 neighbourhood is one flat colour (fills,
// knob faces, fader slots, button faces, gaps between controls) has that
// colour at the centre of its scaled square. Texts are left out here; the
// next test takes them.
TEST (ContentScale, FlatAreasAtTheirScaledPlace)
{
	for (int32_t skin = 0; skin < kNumSkins; ++skin)
	{
		const auto one = panel (skin, 1.0, Through::scaledNoText);
		for (double f : {1.5, 2.0})
		{
			const auto big = panel (skin, f, Through::scaledNoText);
			const auto r = TarnoTest::probeFlatAreas (kPanelWidth, kPanelHeight, f, pixels (*one), pixels (*big));
			EXPECT_GT (r.probes, 5000) << skin;
			EXPECT_EQ (r.wrong, 0) << "skin " << skin << " at " << f << ", of " << r.probes << "; first at panel ("
			                       << r.firstWrongX << ", " << r.firstWrongY << ")";
		}
	}
}

// Texts are drawn f times as high: the ink of a text covers about f² times
// the pixels at its scaled place (the title, a value and the overlay's small
// caption of the ORIGINAL panel).
TEST (ContentScale, TextInkGrowsWithTheSquare)
{
	const Rect texts[] = {{20, 15, 330, 65}, {26, 256, 100, 280}, {520, 18, 690, 38}};
	const auto one = panel (kSkinOriginal, 1.0);
	for (double f : {1.5, 2.0})
	{
		const auto big = panel (kSkinOriginal, f);
		for (const Rect& r : texts)
		{
			const TarnoTest::Pixel background = pixels (*one) (r.left, r.top);
			const int small = TarnoTest::ink (pixels (*one), r.left, r.top, r.right, r.bottom, background);
			auto s = [f] (int v) { return scaledLength (v, f); };
			const double ratio =
				double (TarnoTest::ink (pixels (*big), s (r.left), s (r.top), s (r.right), s (r.bottom), background)) / small;
			EXPECT_GT (small, 20) << r.left;
			EXPECT_NEAR (ratio, f * f, 0.3 * f * f) << "text at " << r.left << ", " << r.top << " at " << f;
		}
	}
}

#endif // TARNO_HAVE_CAIRO_CANVAS
