// The ORIGINAL panel and the overlay, checked call by call on a recording
// canvas, and (natively) pixel by pixel on the Cairo canvas.
#include "editor/skins/EditorFonts.h"
#include "editor/skins/OriginalSkin.h"
#include "editor/skins/PanelLayout.h"
#include "editor/skins/Overlay.h"

#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)
#include "editor/canvas/CairoCanvas.h"
#endif

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Comparison and printing for the canvas types, found by argument-dependent
// lookup; internal to this file.
namespace Tarno {

static bool operator== (const Rect& x, const Rect& y)
{
	return x.left == y.left && x.top == y.top && x.right == y.right && x.bottom == y.bottom;
}
static bool operator== (const Point& p, const Point& q) { return p.x == q.x && p.y == q.y; }

static std::ostream& operator<< (std::ostream& os, const Rgb& c)
{
	return os << "rgb(" << int (c.r) << "," << int (c.g) << "," << int (c.b) << ")";
}
static std::ostream& operator<< (std::ostream& os, const Rect& r)
{
	return os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}
static std::ostream& operator<< (std::ostream& os, const Point& p)
{
	return os << "(" << p.x << "," << p.y << ")";
}

} // namespace Tarno

using namespace Tarno;

namespace {

// ---------------------------------------------------------------------------
// A canvas that records every call with its arguments.

enum class Op
{
	save,
	restore,
	fillRect,
	fillPanel,
	ellipse,
	line,
	textAt,
	textInRect,
	textInRectW,
	antiAliased, // any of the aa operations, which these panels never use
};

struct Call
{
	Op op;
	Rect rect{};
	Point a{}, b{};
	Rgb color{};
	int width = 0;
	std::string text, face;
	int fontHeight = 0, fontWeight = 0;
	unsigned flags = 0;
};

class RecordingCanvas : public Canvas
{
public:
	std::vector<Call> calls;

	void save () override { add (Op::save); }
	void restore () override { add (Op::restore); }
	void fillRect (const Rect& r, Rgb color) override { add (Op::fillRect, r, color); }
	void fillRectWithPanelBrush (const Rect& r) override { add (Op::fillPanel, r); }
	void ellipseOutline (const Rect& box, Rgb color, int width) override { add (Op::ellipse, box, color).width = width; }
	void line (Point a, Point b, Rgb color, int width) override
	{
		Call& c = add (Op::line, {}, color);
		c.a = a;
		c.b = b;
		c.width = width;
	}
	void textAt (int x, int y, const char* text, const FontSpec& font, Rgb color) override
	{
		add (Op::textAt, {}, color, text, &font).a = {x, y};
	}
	void textInRect (const Rect& r, const char* text, const FontSpec& font, Rgb color, unsigned flags) override
	{
		add (Op::textInRect, r, color, text, &font).flags = flags;
	}
	void textInRectW (const Rect& r, const char16_t*, const FontSpec& font, Rgb color, unsigned flags) override
	{
		add (Op::textInRectW, r, color, "", &font).flags = flags;
	}
	void aaFillRect (const RectF&, const Fill&) override { add (Op::antiAliased); }
	void aaFillEllipse (const RectF&, const Fill&) override { add (Op::antiAliased); }
	void aaRectOutline (const RectF&, Argb, float) override { add (Op::antiAliased); }
	void aaLine (PointF, PointF, Argb, float, bool) override { add (Op::antiAliased); }
	void aaArc (const RectF&, float, float, Argb, float, bool) override { add (Op::antiAliased); }
	void aaCurve (const PointF*, int, float, Argb, float) override { add (Op::antiAliased); }

private:
	Call& add (Op op, Rect r = {}, Rgb color = {}, const char* text = "", const FontSpec* font = nullptr)
	{
		Call c{};
		c.op = op;
		c.rect = r;
		c.color = color;
		c.text = text;
		if (font)
		{
			c.face = font->face;
			c.fontHeight = font->height;
			c.fontWeight = font->weight;
		}
		calls.push_back (c);
		return calls.back ();
	}
};

bool sameFont (const Call& c, const FontSpec& f)
{
	return c.face == f.face && c.fontHeight == f.height && c.fontWeight == f.weight;
}

void expectText (const Call& c, int x, int y, const char* text, const FontSpec& font, Rgb color)
{
	ASSERT_EQ (c.op, Op::textAt) << "expected the text " << text;
	EXPECT_EQ (c.a, (Point{x, y})) << text;
	EXPECT_EQ (c.text, text);
	EXPECT_TRUE (sameFont (c, font)) << text << " in " << c.face << " " << c.fontHeight << "/" << c.fontWeight;
	EXPECT_EQ (c.color, color) << text;
}

void expectRectText (const Call& c, Rect r, const char* text, Rgb color, unsigned flags)
{
	ASSERT_EQ (c.op, Op::textInRect) << "expected the text " << text;
	EXPECT_EQ (c.rect, r) << text;
	EXPECT_EQ (c.text, text);
	EXPECT_TRUE (sameFont (c, kSmallFont)) << text;
	EXPECT_EQ (c.color, color) << text;
	EXPECT_EQ (c.flags, flags) << text;
}

void expectFill (const Call& c, Rect r, Rgb color)
{
	ASSERT_EQ (c.op, Op::fillRect) << "expected a fill of " << r;
	EXPECT_EQ (c.rect, r);
	EXPECT_EQ (c.color, color) << r;
}

ParamBlock filled (double v)
{
	ParamBlock b;
	b.fill (v);
	return b;
}

std::vector<Call> recordOriginal (const ParamBlock& values)
{
	RecordingCanvas canvas;
	paintOriginal (canvas, values);
	return canvas.calls;
}

// The calls of parameter i in a recording of the whole panel: label, ring,
// pointer and value text (label and value text for Legato). The panel opens
// with 13 calls: background, title, subtitle, five times fill and title.
std::vector<Call> controlCalls (const std::vector<Call>& calls, int32_t i)
{
	size_t first = 13;
	for (int32_t k = 0; k < i; ++k)
		first += k == kLegatoParam ? 2 : 4;
	const size_t count = i == kLegatoParam ? 2 : 4;
	return std::vector<Call> (calls.begin () + first, calls.begin () + first + count);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN ();
const double kInf = std::numeric_limits<double>::infinity ();

} // namespace

// ---------------------------------------------------------------------------
// The ORIGINAL panel, call by call.

TEST (OriginalSkin, FontsAreTheEditorsThree)
{
	EXPECT_STREQ (kTextFont.face, "Segoe UI");
	EXPECT_EQ (kTextFont.height, 13);
	EXPECT_EQ (kTextFont.weight, 400);
	EXPECT_STREQ (kTitleFont.face, "Segoe UI");
	EXPECT_EQ (kTitleFont.height, 36);
	EXPECT_EQ (kTitleFont.weight, 700);
	EXPECT_STREQ (kSmallFont.face, "Segoe UI");
	EXPECT_EQ (kSmallFont.height, 11);
	EXPECT_EQ (kSmallFont.weight, 400);
}

TEST (OriginalSkin, DrawsEveryElementOnceInOrderWithoutTouchingTheCanvasState)
{
	const std::vector<Call> calls = recordOriginal (kDefaultParams);
	// 1 background + 2 title texts + 5 × 2 preset calls + 15 × 4 knob
	// positions + 2 Legato calls + 2 footer lines.
	ASSERT_EQ (calls.size (), 77u);
	for (const Call& c : calls)
	{
		EXPECT_NE (c.op, Op::save) << "the caller brackets the panel";
		EXPECT_NE (c.op, Op::restore) << "the caller brackets the panel";
		EXPECT_TRUE (c.op == Op::fillPanel || c.op == Op::fillRect || c.op == Op::textAt || c.op == Op::ellipse ||
		             c.op == Op::line)
		    << "only plain drawing";
	}
}

TEST (OriginalSkin, BackgroundFirstThenTitleAndSubtitle)
{
	const std::vector<Call> calls = recordOriginal (kDefaultParams);
	ASSERT_GE (calls.size (), 3u);
	ASSERT_EQ (calls[0].op, Op::fillPanel);
	EXPECT_EQ (calls[0].rect, (Rect{0, 0, 860, 530}));
	expectText (calls[1], 28, 22, "TARNOVELLE", kTitleFont, Rgb{240, 235, 218});
	expectText (calls[2], 31, 67, "TVL-404-B / MONOPHONIC ANALOG-INSPIRED SYNTH", kTextFont, Rgb{126, 181, 184});
	// The background is painted once only, and nothing else uses the panel brush.
	size_t panelFills = 0;
	for (const Call& c : calls)
		panelFills += c.op == Op::fillPanel;
	EXPECT_EQ (panelFills, 1u);
}

TEST (OriginalSkin, FivePresetButtonsWithTheirTitles)
{
	const std::vector<Call> calls = recordOriginal (kDefaultParams);
	const char* titles[5] = {"01  Original", "02  Soft reed", "03  Bass", "04  Lantern", "05  Glide"};
	for (int n = 0; n < 5; ++n)
	{
		SCOPED_TRACE (n);
		expectFill (calls[3 + 2 * n], {30 + 160 * n, 105, 180 + 160 * n, 133}, Rgb{42, 62, 66});
		expectText (calls[4 + 2 * n], 39 + 160 * n, 111, titles[n], kTextFont, Rgb{231, 220, 184});
	}
	// All five look alike: these are the only solid fills of the panel.
	size_t fills = 0;
	for (const Call& c : calls)
		fills += c.op == Op::fillRect;
	EXPECT_EQ (fills, 5u);
}

TEST (OriginalSkin, EachControlHasLabelRingPointerAndValueInItsCell)
{
	const std::vector<Call> calls = recordOriginal (kDefaultParams);
	const char* labels[kNumParams] = {"Square",       "Triangle",      "Sine",      "Attack",
	                                  "Release",      "Glissando",     "Vibrato rate", "Vibrato depth",
	                                  "Tremolo rate", "Tremolo depth", "Transpose", "Fine tune",
	                                  "Output",       "Velocity",      "Legato",    "Sine character"};
	for (int32_t i = 0; i < kNumParams; ++i)
	{
		SCOPED_TRACE (labels[i]);
		const int cx = 103 * (i % 8);
		const int ry = 150 * (i / 8);
		EXPECT_EQ (skinLayout (kSkinOriginal).cell (i), (Point{cx + 30, ry + 154}));
		const std::vector<Call> cc = controlCalls (calls, i);
		expectText (cc.front (), cx + 30, ry + 154, labels[i], kTextFont, Rgb{174, 191, 187});
		if (i == kLegatoParam)
		{
			EXPECT_EQ (cx + 30, 648);
			EXPECT_EQ (ry + 154, 304);
			EXPECT_EQ (cc[1].op, Op::textAt) << "no knob at the Legato position";
			EXPECT_EQ (cc[1].a, (Point{648, 410}));
			continue;
		}
		ASSERT_EQ (cc[1].op, Op::ellipse);
		EXPECT_EQ (cc[1].rect, (Rect{cx + 40, ry + 182, cx + 106, ry + 248}));
		EXPECT_EQ (cc[1].color, (Rgb{80, 107, 109}));
		EXPECT_EQ (cc[1].width, 2);
		ASSERT_EQ (cc[2].op, Op::line);
		EXPECT_EQ (cc[2].color, (Rgb{240, 180, 90}));
		EXPECT_EQ (cc[2].width, 4);
		EXPECT_EQ (cc[3].op, Op::textAt);
		EXPECT_EQ (cc[3].a, (Point{cx + 30, ry + 260}));
		EXPECT_EQ (cc[3].color, (Rgb{237, 225, 201}));
		EXPECT_TRUE (sameFont (cc[3], kTextFont));
	}
	// Fifteen rings and fifteen pointers in all.
	size_t rings = 0, pointers = 0;
	for (const Call& c : calls)
	{
		rings += c.op == Op::ellipse;
		pointers += c.op == Op::line;
	}
	EXPECT_EQ (rings, 15u);
	EXPECT_EQ (pointers, 15u);
}

TEST (OriginalSkin, PointerEndsFollowTheTruncatedSweep)
{
	struct Row
	{
		double v;
		Point inner, outer;
	};
	const Row rows[] = {
		{0.0, {-10, 10}, {-19, 19}}, {0.25, {-13, -5}, {-24, -10}}, {0.5, {0, -15}, {0, -27}},
		{0.75, {13, -5}, {24, -10}}, {1.0, {10, 10}, {19, 19}},
	};
	for (const Row& row : rows)
	{
		SCOPED_TRACE (row.v);
		EXPECT_EQ (originalPointerOffset (row.v, 15), row.inner);
		EXPECT_EQ (originalPointerOffset (row.v, 27), row.outer);
		const std::vector<Call> calls = recordOriginal (filled (row.v));
		for (int32_t i = 0; i < kNumParams; ++i)
		{
			if (i == kLegatoParam)
				continue;
			SCOPED_TRACE (i);
			const int cx = 103 * (i % 8);
			const int ry = 150 * (i / 8);
			const Call pointer = controlCalls (calls, i)[2];
			ASSERT_EQ (pointer.op, Op::line);
			EXPECT_EQ (pointer.a, (Point{cx + 73 + row.inner.x, ry + 215 + row.inner.y}));
			EXPECT_EQ (pointer.b, (Point{cx + 73 + row.outer.x, ry + 215 + row.outer.y}));
		}
	}
	// 15 and 27 times sin 45 degrees are 10.6 and 19.09: the table's 10 and
	// 19 come from truncating, on both sides of the centre. At 5/6 the
	// pointer lies flat to the right (cos 90 degrees is a tiny positive).
	EXPECT_EQ (originalPointerOffset (5.0 / 6.0, 27), (Point{27, 0}));
	EXPECT_EQ (originalPointerOffset (1.0 / 6.0, 15), (Point{-15, 0}));
	// Half way: a vertical pointer from (cx+73, ry+200) to (cx+73, ry+188).
	const Call square = controlCalls (recordOriginal (filled (0.5)), kSquareParam)[2];
	EXPECT_EQ (square.a, (Point{73, 200}));
	EXPECT_EQ (square.b, (Point{73, 188}));
}

TEST (OriginalSkin, ValueTextsOfTheDefaults)
{
	const std::vector<Call> calls = recordOriginal (kDefaultParams);
	const char* expected[kNumParams] = {"55.0 %",   "30.0 %",   "15.0 %",   "10.0 ms", "280.0 ms",  "0.0 ms",
	                                    "6.0 Hz",   "0.0 cent", "5.0 Hz",   "0.0 %",   "0 oct",     "0.0 cent",
	                                    "-12.0 dB", "0.0 %",    "On",       "35.0 %"};
	for (int32_t i = 0; i < kNumParams; ++i)
	{
		SCOPED_TRACE (i);
		const Call value = controlCalls (calls, i).back ();
		expectText (value, 103 * (i % 8) + 30, 150 * (i / 8) + 260, expected[i], kTextFont, Rgb{237, 225, 201});
	}
}

TEST (OriginalSkin, SteppedAndLegatoTexts)
{
	ParamBlock values = kDefaultParams;
	values[kTransposeParam] = 0.0;
	values[kLegatoParam] = 0.0;
	std::vector<Call> calls = recordOriginal (values);
	EXPECT_EQ (controlCalls (calls, kTransposeParam).back ().text, "-3 oct");
	EXPECT_EQ (controlCalls (calls, kLegatoParam).back ().text, "Off");

	values[kTransposeParam] = 1.0;
	values[kLegatoParam] = 0.5;
	calls = recordOriginal (values);
	EXPECT_EQ (controlCalls (calls, kTransposeParam).back ().text, "3 oct");
	EXPECT_EQ (controlCalls (calls, kLegatoParam).back ().text, "On");

	// Just below the centre Transpose rounds to a plain zero, never "-0 oct".
	values[kTransposeParam] = 0.45;
	values[kLegatoParam] = 0.49;
	calls = recordOriginal (values);
	EXPECT_EQ (controlCalls (calls, kTransposeParam).back ().text, "0 oct");
	EXPECT_EQ (controlCalls (calls, kLegatoParam).back ().text, "Off");
}

TEST (OriginalSkin, NonFiniteAndOutOfRangeValuesAreClamped)
{
	for (double bad : {kNaN, kInf, -kInf, -0.3})
	{
		SCOPED_TRACE (bad);
		const std::vector<Call> calls = recordOriginal (filled (bad));
		EXPECT_EQ (calls.size (), 77u);
		const std::vector<Call> square = controlCalls (calls, kSquareParam);
		EXPECT_EQ (square[3].text, "0.0 %");
		EXPECT_EQ (square[2].a, (Point{73 - 10, 215 + 10})) << "pointer as for 0";
		EXPECT_EQ (square[2].b, (Point{73 - 19, 215 + 19}));
		EXPECT_EQ (controlCalls (calls, kOutputParam)[3].text, "-60.0 dB");
		EXPECT_EQ (controlCalls (calls, kTransposeParam)[3].text, "-3 oct");
		EXPECT_EQ (controlCalls (calls, kLegatoParam).back ().text, "Off");
	}
	const std::vector<Call> calls = recordOriginal (filled (1.7));
	const std::vector<Call> square = controlCalls (calls, kSquareParam);
	EXPECT_EQ (square[3].text, "100.0 %");
	EXPECT_EQ (square[2].a, (Point{73 + 10, 215 + 10})) << "pointer as for 1";
	EXPECT_EQ (square[2].b, (Point{73 + 19, 215 + 19}));
}

TEST (OriginalSkin, FooterLinesCloseThePanel)
{
	const std::vector<Call> calls = recordOriginal (kDefaultParams);
	ASSERT_GE (calls.size (), 2u);
	expectText (calls[calls.size () - 2], 30, 474,
	            "MONO / LAST NOTE     |     PITCH BEND +/-2     |     MOD WHEEL > VIBRATO     |     CC64 SUSTAIN",
	            kTextFont, Rgb{126, 181, 184});
	expectText (calls.back (), 30, 498,
	            "Drag vertically to edit. Shift = fine. Double-click = default. Audio output is dual mono.",
	            kTextFont, Rgb{136, 150, 149});
}

TEST (OriginalSkin, StageBracketsThePanelWithSaveAndRestore)
{
	RecordingCanvas canvas;
	paintOriginalStage (canvas, kDefaultParams);
	ASSERT_EQ (canvas.calls.size (), 79u);
	EXPECT_EQ (canvas.calls.front ().op, Op::save);
	EXPECT_EQ (canvas.calls[1].op, Op::fillPanel);
	EXPECT_EQ (canvas.calls.back ().op, Op::restore);
}

// ---------------------------------------------------------------------------
// The overlay, call by call.

namespace {

constexpr unsigned kCentred = kTextCenter | kTextVCenter | kTextSingleLine | kTextNoPrefix;

struct SkinColours
{
	Rgb strip, label, border, face, selFace, selText, frame, lit, litText, unlit, unlitText;
};

// The overlay colours of the three skins, written out again here so that a
// mistyped entry in the editor's own table shows up.
const SkinColours kExpected[3] = {
	{{20, 34, 38}, {168, 195, 193}, {68, 95, 98}, {33, 53, 58}, {226, 176, 104}, {21, 35, 38}, {80, 107, 109},
	 {226, 176, 104}, {21, 35, 38}, {33, 53, 58}, {168, 195, 193}},
	{{198, 190, 157}, {51, 62, 46}, {106, 113, 82}, {215, 207, 174}, {45, 62, 47}, {239, 230, 187}, {129, 131, 104},
	 {221, 213, 179}, {45, 62, 47}, {20, 26, 22}, {209, 196, 151}},
	{{204, 216, 224}, {46, 76, 94}, {128, 151, 167}, {232, 240, 244}, {33, 94, 115}, {240, 251, 255}, {88, 107, 120},
	 {33, 94, 115}, {240, 251, 255}, {232, 240, 244}, {46, 76, 94}},
};

std::vector<Call> recordOverlay (double legato, int32_t skin)
{
	RecordingCanvas canvas;
	ParamBlock values = kDefaultParams;
	values[kLegatoParam] = legato;
	paintOverlay (canvas, values, skin);
	return canvas.calls;
}

// Checks a whole overlay recording: `selected` is the marked button (-1 for
// none), `legatoOn` which cell is lit.
void expectOverlay (const std::vector<Call>& calls, const SkinColours& c, int selected, bool legatoOn)
{
	// save, strip, 2 labels, 3 × 3 button calls, restore, save, frame,
	// 2 × 2 cell calls, restore.
	ASSERT_EQ (calls.size (), 21u);
	EXPECT_EQ (calls[0].op, Op::save);
	expectFill (calls[1], {514, 16, 826, 78}, c.strip);
	expectRectText (calls[2], {523, 20, 690, 36}, "APPEARANCE", c.label, kTextSingleLine | kTextVCenter | kTextNoPrefix);
	expectRectText (calls[3], {723, 20, 817, 36}, "VST3 / 1.2", c.label, kCentred);
	const char* names[3] = {"ORIGINAL", "VINTAGE", "SILVER"};
	for (int k = 0; k < 3; ++k)
	{
		SCOPED_TRACE (names[k]);
		const int dx = 98 * k;
		const bool sel = k == selected;
		expectFill (calls[4 + 3 * k], {523 + dx, 42, 617 + dx, 69}, c.border);
		expectFill (calls[5 + 3 * k], {524 + dx, 43, 616 + dx, 68}, sel ? c.selFace : c.face);
		expectRectText (calls[6 + 3 * k], {523 + dx, 43, 617 + dx, 68}, names[k], sel ? c.selText : c.label, kCentred);
	}
	EXPECT_EQ (calls[13].op, Op::restore);
	EXPECT_EQ (calls[14].op, Op::save);
	expectFill (calls[15], {658, 345, 728, 383}, c.frame);
	expectFill (calls[16], {660, 347, 692, 381}, legatoOn ? c.unlit : c.lit);
	expectRectText (calls[17], {660, 348, 692, 379}, "OFF", legatoOn ? c.unlitText : c.litText, kCentred);
	expectFill (calls[18], {694, 347, 726, 381}, legatoOn ? c.lit : c.unlit);
	expectRectText (calls[19], {694, 348, 726, 379}, "ON", legatoOn ? c.litText : c.unlitText, kCentred);
	EXPECT_EQ (calls[20].op, Op::restore);
}

} // namespace

TEST (Overlay, EachSkinPaintsItsColoursAndMarksItsButton)
{
	const char* names[3] = {"ORIGINAL", "VINTAGE", "SILVER"};
	for (int32_t skin = 0; skin < 3; ++skin)
	{
		SCOPED_TRACE (skin);
		expectOverlay (recordOverlay (1.0, skin), kExpected[skin], skin, true);
		EXPECT_STREQ (skinButtonText (skin), names[skin]);
	}
}

TEST (Overlay, LegatoCellLitFromHalfUp)
{
	for (int32_t skin = 0; skin < 3; ++skin)
	{
		SCOPED_TRACE (skin);
		expectOverlay (recordOverlay (0.49, skin), kExpected[skin], skin, false);
		expectOverlay (recordOverlay (0.5, skin), kExpected[skin], skin, true);
		expectOverlay (recordOverlay (0.0, skin), kExpected[skin], skin, false);
		expectOverlay (recordOverlay (kNaN, skin), kExpected[skin], skin, false);
	}
	EXPECT_FALSE (legatoIsOn (0.49));
	EXPECT_TRUE (legatoIsOn (0.5));
}

TEST (Overlay, SkinIndexOutOfRangeUsesOriginalColoursAndMarksNoButton)
{
	for (int32_t skin : {-1, 3, 7, std::numeric_limits<int32_t>::min (), std::numeric_limits<int32_t>::max ()})
	{
		SCOPED_TRACE (skin);
		expectOverlay (recordOverlay (1.0, skin), kExpected[0], -1, true);
		EXPECT_STREQ (skinButtonText (skin), "");
	}
}

TEST (Overlay, OnlyPlainFillsAndTextsInTheSmallFont)
{
	for (const Call& c : recordOverlay (1.0, kSkinSilver))
	{
		EXPECT_TRUE (c.op == Op::save || c.op == Op::restore || c.op == Op::fillRect || c.op == Op::textInRect);
		if (c.op == Op::textInRect)
		{
			EXPECT_TRUE (sameFont (c, kSmallFont)) << c.text;
		}
	}
}

// ---------------------------------------------------------------------------
// Pixels, through the Cairo canvas (natively, where it is built).

#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)

namespace {

constexpr Rgb kBackground = {20, 34, 38};
constexpr Rgb kPresetFace = {42, 62, 66};
constexpr Rgb kRing = {80, 107, 109};
constexpr Rgb kPointer = {240, 180, 90};

std::unique_ptr<CairoCanvas> renderPanel (const ParamBlock& values)
{
	auto canvas = std::make_unique<CairoCanvas> (860, 530, kBackground);
	paintOriginalStage (*canvas, values);
	canvas->flush ();
	return canvas;
}

std::unique_ptr<CairoCanvas> renderWithOverlay (const ParamBlock& values, int32_t skin)
{
	auto canvas = std::make_unique<CairoCanvas> (860, 530, kBackground);
	paintOriginalStage (*canvas, values);
	paintOverlay (*canvas, values, skin);
	canvas->flush ();
	return canvas;
}

int distance (Rgb a, Rgb b)
{
	return std::abs (a.r - b.r) + std::abs (a.g - b.g) + std::abs (a.b - b.b);
}

// Pixels in r that are nearer to `ink` than to `ground`: how much text of
// that colour the rectangle holds.
int inkPixels (const CairoCanvas& canvas, Rect r, Rgb ink, Rgb ground)
{
	int n = 0;
	for (int y = r.top; y < r.bottom; ++y)
		for (int x = r.left; x < r.right; ++x)
			n += distance (canvas.pixel (x, y), ink) < distance (canvas.pixel (x, y), ground);
	return n;
}

} // namespace

TEST (OriginalSkinPixels, BackgroundPresetFacesAndTitle)
{
	const auto canvas = renderPanel (kDefaultParams);
	EXPECT_EQ (canvas->pixel (5, 5), kBackground);
	EXPECT_EQ (canvas->pixel (845, 120), kBackground);
	EXPECT_EQ (canvas->pixel (430, 95), kBackground);
	EXPECT_EQ (canvas->pixel (855, 525), kBackground);
	for (int n = 0; n < 5; ++n)
	{
		SCOPED_TRACE (n);
		EXPECT_EQ (canvas->pixel (32 + 160 * n, 106), kPresetFace);
		EXPECT_EQ (canvas->pixel (178 + 160 * n, 132), kPresetFace);
		// The gap between two buttons and the row above and below them.
		EXPECT_EQ (canvas->pixel (180 + 160 * n, 120), kBackground);
		EXPECT_EQ (canvas->pixel (100 + 160 * n, 104), kBackground);
		EXPECT_EQ (canvas->pixel (100 + 160 * n, 133), kBackground);
		// Each button holds its title in the preset text colour.
		EXPECT_GT (inkPixels (*canvas, {30 + 160 * n, 105, 180 + 160 * n, 133}, Rgb{231, 220, 184}, kPresetFace), 30);
	}
	// The bold title, solid in its own colour.
	int titlePixels = 0;
	for (int y = 22; y < 70; ++y)
		for (int x = 28; x < 400; ++x)
			titlePixels += canvas->pixel (x, y) == Rgb{240, 235, 218};
	EXPECT_GT (titlePixels, 300);
}

TEST (OriginalSkinPixels, RingsAndPointers)
{
	const auto up = renderPanel (filled (0.5));
	const auto downLeft = renderPanel (filled (0.0));
	for (int32_t i = 0; i < kNumParams; ++i)
	{
		if (i == kLegatoParam)
			continue;
		SCOPED_TRACE (i);
		const int cx = 103 * (i % 8);
		const int ry = 150 * (i / 8);
		// The ring's leftmost, rightmost, top and bottom pixels.
		EXPECT_EQ (up->pixel (cx + 40, ry + 215), kRing);
		EXPECT_EQ (up->pixel (cx + 105, ry + 215), kRing);
		EXPECT_EQ (up->pixel (cx + 73, ry + 182), kRing);
		EXPECT_EQ (up->pixel (cx + 73, ry + 247), kRing);
		// Not filled.
		EXPECT_EQ (up->pixel (cx + 73, ry + 235), kBackground);
		EXPECT_EQ (up->pixel (cx + 60, ry + 215), kBackground);
		// Straight up near its outer end at 0.5; elsewhere at 0.
		EXPECT_EQ (up->pixel (cx + 73, ry + 189), kPointer);
		EXPECT_EQ (up->pixel (cx + 73, ry + 199), kPointer);
		EXPECT_EQ (downLeft->pixel (cx + 73, ry + 189), kBackground);
		EXPECT_EQ (downLeft->pixel (cx + 73 - 15, ry + 215 + 15), kPointer);
		EXPECT_EQ (up->pixel (cx + 73 - 15, ry + 215 + 15), kBackground);
		// The pointer stays off the centre: it starts at radius 15.
		EXPECT_EQ (up->pixel (cx + 73, ry + 210), kBackground);
	}
}

TEST (OriginalSkinPixels, RingColourOnlyOnTheRings)
{
	// Nothing but the rings is drawn in the ring colour: no stray strokes
	// between a label and its knob.
	const auto canvas = renderPanel (kDefaultParams);
	for (int32_t i = 0; i < kNumParams; ++i)
	{
		SCOPED_TRACE (i);
		const int cx = 103 * (i % 8);
		const int ry = 150 * (i / 8);
		int onRing = 0, offRing = 0;
		for (int y = ry + 150; y < ry + 300; ++y)
			for (int x = cx + 28; x < cx + 103 && x < 860; ++x)
			{
				if (canvas->pixel (x, y) != kRing)
					continue;
				const double dx = x + 0.5 - (cx + 73), dy = y + 0.5 - (ry + 215);
				const double r = std::sqrt (dx * dx + dy * dy);
				(r > 30.0 && r < 35.0 ? onRing : offRing) += 1;
			}
		EXPECT_EQ (offRing, 0);
		if (i == kLegatoParam)
			EXPECT_EQ (onRing, 0) << "the Legato position has no knob";
		else
			EXPECT_GT (onRing, 150);
	}
}

TEST (OriginalSkinPixels, LegatoPositionHasNoKnob)
{
	const auto canvas = renderPanel (kDefaultParams);
	// Where a ring would be in the Legato cell, and the same spot one cell
	// to the left, which has one.
	EXPECT_EQ (canvas->pixel (618 + 73, 150 + 182), kBackground);
	EXPECT_EQ (canvas->pixel (618 + 73, 150 + 247), kBackground);
	EXPECT_EQ (canvas->pixel (618 + 40, 150 + 215), kBackground);
	EXPECT_EQ (canvas->pixel (515 + 73, 150 + 182), kRing);
}

TEST (OverlayPixels, StripButtonsAndLegatoCellsPerSkin)
{
	for (int32_t skin = 0; skin < 3; ++skin)
	{
		SCOPED_TRACE (skin);
		const SkinColours& c = kExpected[skin];
		for (double legato : {0.49, 0.5})
		{
			SCOPED_TRACE (legato);
			ParamBlock values = kDefaultParams;
			values[kLegatoParam] = legato;
			const auto canvas = renderWithOverlay (values, skin);
			EXPECT_EQ (canvas->pixel (514, 16), c.strip);
			EXPECT_EQ (canvas->pixel (518, 75), c.strip);
			EXPECT_EQ (canvas->pixel (825, 77), c.strip);
			EXPECT_EQ (canvas->pixel (826, 78), kBackground);
			EXPECT_GT (inkPixels (*canvas, {523, 20, 690, 36}, c.label, c.strip), 20) << "APPEARANCE";
			EXPECT_GT (inkPixels (*canvas, {723, 20, 817, 36}, c.label, c.strip), 20) << "VST3 / 1.2";
			for (int k = 0; k < 3; ++k)
			{
				SCOPED_TRACE (k);
				const int dx = 98 * k;
				const Rgb face = k == skin ? c.selFace : c.face;
				const Rgb text = k == skin ? c.selText : c.label;
				EXPECT_EQ (canvas->pixel (523 + dx, 55), c.border);
				EXPECT_EQ (canvas->pixel (570 + dx, 42), c.border);
				EXPECT_EQ (canvas->pixel (616 + dx, 68), c.border);
				EXPECT_EQ (canvas->pixel (527 + dx, 46), face);
				EXPECT_EQ (canvas->pixel (612 + dx, 65), face);
				EXPECT_GT (inkPixels (*canvas, {524 + dx, 43, 616 + dx, 68}, text, face), 20);
			}
			const bool on = legato >= 0.5;
			EXPECT_EQ (canvas->pixel (658, 364), c.frame);
			EXPECT_EQ (canvas->pixel (693, 364), c.frame);
			EXPECT_EQ (canvas->pixel (727, 382), c.frame);
			const Rgb offCell = on ? c.unlit : c.lit;
			const Rgb onCell = on ? c.lit : c.unlit;
			EXPECT_EQ (canvas->pixel (662, 349), offCell);
			EXPECT_EQ (canvas->pixel (690, 379), offCell);
			EXPECT_EQ (canvas->pixel (696, 349), onCell);
			EXPECT_EQ (canvas->pixel (724, 379), onCell);
			EXPECT_GT (inkPixels (*canvas, {660, 348, 692, 379}, on ? c.unlitText : c.litText, offCell), 10) << "OFF";
			EXPECT_GT (inkPixels (*canvas, {694, 348, 726, 379}, on ? c.litText : c.unlitText, onCell), 8) << "ON";
		}
	}
}

#endif // TARNO_HAVE_CAIRO_CANVAS
