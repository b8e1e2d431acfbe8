// The SILVER panel, checked call by call on a recording canvas, and
// (natively) pixel by pixel on the Cairo canvas.
#include "editor/skins/silver/SilverSkin.h"
#include "editor/skins/vintage/SkinDrawing.h"
#include "params/Presets.h"

#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)
#include "editor/canvas/CairoCanvas.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace Tarno;

namespace {

enum class Op { other, fill, ellipse, outline, line, text };

// One canvas call with all its arguments; unused fields stay zero.
struct Call
{
	Op op = Op::other;
	RectF r{};
	Fill fill{};
	Argb c{};
	float width = 0;
	bool round = false;
	std::u16string text;
	std::string face;
	int height = 0, weight = 0;
	Rect tr{};
	Rgb tc{};
	unsigned flags = 0;
};

bool same (Argb x, Argb y) { return x.a == y.a && x.r == y.r && x.g == y.g && x.b == y.b; }
bool same (PointF p, PointF q) { return p.x == q.x && p.y == q.y; }
bool same (const RectF& p, const RectF& q) { return p.x == q.x && p.y == q.y && p.width == q.width && p.height == q.height; }
bool same (const Fill& f, const Fill& g)
{
	return f.gradient == g.gradient && same (f.c0, g.c0) && same (f.c1, g.c1) && (!f.gradient || (same (f.p0, g.p0) && same (f.p1, g.p1)));
}
bool same (const Call& x, const Call& y)
{
	return x.op == y.op && same (x.r, y.r) && same (x.fill, y.fill) && same (x.c, y.c) && x.width == y.width &&
	       x.round == y.round && x.text == y.text && x.face == y.face && x.height == y.height && x.weight == y.weight &&
	       x.tr.left == y.tr.left && x.tr.top == y.tr.top && x.tr.right == y.tr.right && x.tr.bottom == y.tr.bottom &&
	       x.tc == y.tc && x.flags == y.flags;
}

std::ostream& operator<< (std::ostream& os, const Call& c)
{
	os << "op " << int (c.op) << " rect " << c.r.x << "," << c.r.y << " " << c.r.width << "x" << c.r.height << " colour "
	   << int (c.c.a) << "/" << int (c.c.r) << "," << int (c.c.g) << "," << int (c.c.b) << " fill " << int (c.fill.c0.a)
	   << "/" << int (c.fill.c0.r) << "," << int (c.fill.c0.g) << "," << int (c.fill.c0.b) << " width " << c.width;
	return os;
}

class RecordingCanvas : public Canvas
{
public:
	std::vector<Call> calls;

	// A text rendering hint counts as an "other" call: this panel sets none.
	void setTextRenderingHint (int) override { calls.emplace_back (); }
	void save () override {}
	void restore () override {}
	void fillRect (const Rect&, Rgb) override { calls.emplace_back (); }
	void fillRectWithPanelBrush (const Rect&) override { calls.emplace_back (); }
	void ellipseOutline (const Rect&, Rgb, int) override { calls.emplace_back (); }
	void line (Point, Point, Rgb, int) override { calls.emplace_back (); }
	void textAt (int, int, const char*, const FontSpec&, Rgb) override { calls.emplace_back (); }
	void textInRect (const Rect&, const char*, const FontSpec&, Rgb, unsigned) override { calls.emplace_back (); }
	void textInRectW (const Rect& r, const char16_t* t, const FontSpec& f, Rgb colour, unsigned flags) override
	{
		Call& c = add (Op::text);
		c.tr = r;
		c.text = t;
		c.face = f.face;
		c.height = f.height;
		c.weight = f.weight;
		c.tc = colour;
		c.flags = flags;
	}
	void aaFillRect (const RectF& r, const Fill& f) override { add (Op::fill, r).fill = f; }
	void aaFillEllipse (const RectF& r, const Fill& f) override { add (Op::ellipse, r).fill = f; }
	void aaRectOutline (const RectF& r, Argb colour, float width) override
	{
		Call& c = add (Op::outline, r);
		c.c = colour;
		c.width = width;
	}
	void aaLine (PointF a, PointF b, Argb colour, float width, bool round) override
	{
		Call& c = add (Op::line, {a.x, a.y, b.x, b.y}); // the end points, not a rectangle
		c.c = colour;
		c.width = width;
		c.round = round;
	}
	void aaArc (const RectF&, float, float, Argb, float, bool) override { calls.emplace_back (); }
	void aaCurve (const PointF*, int, float, Argb, float) override { calls.emplace_back (); }

private:
	Call& add (Op op, RectF r = {})
	{
		calls.emplace_back ();
		calls.back ().op = op;
		calls.back ().r = r;
		return calls.back ();
	}
};

std::vector<Call> recordPaint (const ParamBlock& values, int32_t active = -1)
{
	RecordingCanvas canvas;
	Silver::Skin::paint (canvas, values, active);
	return canvas.calls;
}

std::vector<Call> recordSlider (int32_t id, float cx, float top, double v, bool highlighted)
{
	RecordingCanvas canvas;
	Silver::Skin::slider (canvas, id, cx, top, v, highlighted);
	return canvas.calls;
}

// What the shared text and screw procedures draw, to compare the panel's
// stretches of calls with.
std::vector<Call> textCalls (const char16_t* t, const char* face, int height, int weight, Rgb colour, Rect r, bool centred)
{
	RecordingCanvas canvas;
	drawSkinText (canvas, t, face, height, weight, colour, r, centred);
	return canvas.calls;
}

std::vector<Call> screwCalls (float x, float y)
{
	RecordingCanvas canvas;
	drawScrew (canvas, x, y, {255, 245, 248, 250}, {255, 76, 89, 99});
	return canvas.calls;
}

// Walks a recording in order, checking each element against what it must be.
class Reader
{
public:
	explicit Reader (const std::vector<Call>& c) : calls (c) {}

	void expect (const Call& want)
	{
		if (pos >= calls.size ())
		{
			ADD_FAILURE () << "recording ended early, wanted " << want;
			return;
		}
		EXPECT_TRUE (same (calls[pos], want)) << "call " << pos << ": got " << calls[pos] << ", wanted " << want;
		++pos;
	}
	void expect (const std::vector<Call>& want)
	{
		ASSERT_FALSE (want.empty ());
		for (const Call& w : want)
			expect (w);
	}
	void fill (RectF r, Fill f) { expect (shape (Op::fill, r, f, {}, 0)); }
	void line (float x1, float y1, float x2, float y2, Argb colour, float width)
	{
		expect (shape (Op::line, {x1, y1, x2, y2}, {}, colour, width));
	}
	static Call shape (Op op, RectF r, Fill f, Argb colour, float width)
	{
		Call c;
		c.op = op;
		c.r = r;
		c.fill = f;
		c.c = colour;
		c.width = width;
		return c;
	}
	void text (const char16_t* t, int height, int weight, Rgb colour, Rect r, bool centred, const char* face = "Arial")
	{
		expect (textCalls (t, face, height, weight, colour, r, centred));
	}
	// Skips n calls (one fader) and returns them.
	std::vector<Call> take (size_t n)
	{
		const size_t end = std::min (calls.size (), pos + n);
		std::vector<Call> out (calls.begin () + static_cast<std::ptrdiff_t> (pos), calls.begin () + static_cast<std::ptrdiff_t> (end));
		pos = end;
		return out;
	}
	bool atEnd () const { return pos == calls.size (); }

private:
	const std::vector<Call>& calls;
	size_t pos = 0;
};

constexpr size_t kSliderCalls = 32; // 22 ticks, 2 slot lines, slot fill, 4 thumb shapes, 3 thumb lines, index line

Fill solid (uint8_t a, uint8_t r, uint8_t g, uint8_t b) { return Fill::solid ({a, r, g, b}); }

// Walks a whole paint: every element at its place, in its colours. Returns
// the fifteen fader recordings, by parameter ID (empty for Legato).
std::vector<std::vector<Call>> expectPanel (const std::vector<Call>& calls, int marked, int32_t active,
                                            const char16_t* const values[kNumParams])
{
	Reader in (calls);
	in.fill ({0, 0, 860, 530}, solid (255, 30, 39, 45));
	in.fill ({14, 0, 832, 530}, Fill::linear ({0, 0}, {860, 530}, {255, 237, 242, 245}, {255, 161, 177, 187}));
	for (int y = 0; y < 530; ++y)
		in.line (15, float (y), 845, float (y), y % 3 == 0 ? Argb{14, 49, 70, 86} : Argb{18, 255, 255, 255}, 1);
	in.line (14, 0, 14, 530, {255, 243, 249, 252}, 1.5f);
	in.line (845, 0, 845, 530, {255, 100, 122, 138}, 2);
	in.line (31, 88, 829, 88, {255, 82, 106, 121}, 1);
	in.line (31, 90, 829, 90, {255, 245, 249, 251}, 1);
	in.text (u"TARNOVELLE", -31, 700, {30, 49, 61}, {38, 20, 448, 59}, false);
	in.text (u"TVL-404-B   /   MONOPHONIC SYNTHESIZER", -10, 400, {79, 103, 117}, {40, 60, 480, 76}, false);
	in.expect (screwCalls (18, 8));
	in.expect (screwCalls (831, 8));
	in.expect (screwCalls (18, 514));
	in.expect (screwCalls (831, 514));

	for (int n = 0; n < 5; ++n)
	{
		const float x = float (30 + 160 * n);
		in.fill ({x, 107, 150, 28}, solid (255, 79, 102, 116));
		in.fill ({x, 105, 150, 27}, Fill::linear ({x, 105}, {x, 131}, {255, 239, 244, 247}, {255, 177, 192, 202}));
		in.line (x, 105, x + 150, 105, {255, 254, 255, 255}, 1);
		in.text (kFactoryPresets[n].capitalTitle, -10, 700, n == marked ? Rgb{27, 88, 105} : Rgb{54, 75, 89},
		         {int (x), 107, int (x) + 150, 129}, true);
		if (n == marked)
			in.fill ({x + 1, 130, 148, 3}, solid (255, 40, 102, 119));
	}

	const char16_t* labels[kNumParams] = {u"SQUARE",     u"TRIANGLE",  u"SINE",      u"ATTACK",     u"RELEASE",    u"GLISSANDO",
	                                      u"VIB. RATE",  u"VIB. DEPTH", u"TREM. RATE", u"TREM. DEPTH", u"TRANSPOSE", u"FINE TUNE",
	                                      u"OUTPUT",     u"VELOCITY",  u"LEGATO",    u"SINE COLOR"};
	std::vector<std::vector<Call>> faders (kNumParams);
	for (int32_t j = 0; j < kNumParams; ++j)
	{
		SCOPED_TRACE (j);
		const int x0 = 30 + 103 * (j % 8), y0 = 154 + 150 * (j / 8);
		const float x = float (x0), y = float (y0);
		const Argb accent = j <= 2 ? Argb{255, 168, 87, 50} : j == 12 ? Argb{255, 166, 59, 47} : Argb{255, 32, 98, 112};
		in.fill ({x - 1, y - 9, 91, 145}, Fill::linear ({x, y - 10}, {x + 92, y + 131}, {210, 235, 240, 243}, {200, 180, 195, 205}));
		in.line (x - 1, y - 9, x - 1, y + 136, {255, 246, 251, 253}, 1);
		in.line (x + 90, y - 9, x + 90, y + 136, {255, 126, 147, 161}, 1);
		in.fill ({x + 6, y - 9, 77, 2}, Fill::solid (accent));
		in.text (labels[j], -10, 700, {43, 64, 78}, {x0 - 2, y0 - 1, x0 + 90, y0 + 15}, true);
		if (j != kLegatoParam)
			faders[size_t (j)] = in.take (kSliderCalls);
		in.fill ({x + 3, y + 111, 81, 18}, j == active ? solid (255, 29, 81, 98) : solid (255, 40, 57, 68));
		in.line (x + 3, y + 130, x + 84, y + 130, {255, 241, 247, 250}, 1);
		in.text (values[j], -11, 400, {222, 240, 241}, {x0, y0 + 109, x0 + 87, y0 + 132}, true, "Consolas");
	}

	in.line (38, 448, 821, 448, {255, 104, 128, 142}, 1);
	in.line (38, 449, 821, 449, {255, 240, 246, 249}, 1);
	in.text (u"VCO  /  MIXER  /  VCA", -10, 700, {57, 82, 98}, {39, 455, 299, 474}, false);
	in.text (u"MIDI   \u00B7   BEND \u00B12   \u00B7   CC1 VIBRATO   \u00B7   CC64 SUSTAIN", -10, 400, {57, 82, 98},
	         {354, 455, 822, 474}, false);
	in.fill ({38, 484, 784, 26}, solid (255, 176, 192, 201));
	in.line (38, 484, 822, 484, {255, 140, 161, 174}, 1);
	in.text (Silver::kFooterText, -11, 400, {45, 70, 87}, {42, 486, 818, 507}, true);
	EXPECT_TRUE (in.atEnd ()) << "nothing after the footer text";
	return faders;
}

const char16_t* const kDefaultTexts[kNumParams] = {u"55.0 %", u"30.0 %", u"15.0 %",   u"10.0 ms", u"280.0 ms", u"0.0 ms",
                                                   u"6.0 Hz", u"0.0 cent", u"5.0 Hz", u"0.0 %",   u"0 oct",    u"0.0 cent",
                                                   u"-12.0 dB", u"0.0 %", u"On",      u"35.0 %"};

} // namespace

// ---------------------------------------------------------------------------
// The panel, call by call.

TEST (SilverSkin, EveryStageInOrderWithItsGeometryAndColours)
{
	const std::vector<Call> calls = recordPaint (kDefaultParams);
	const auto faders = expectPanel (calls, 0, -1, kDefaultTexts);
	// Each fader is the one slider draws for its strip and value.
	for (int32_t j = 0; j < kNumParams; ++j)
	{
		if (j == kLegatoParam)
			continue;
		SCOPED_TRACE (j);
		const auto want = recordSlider (j, float (73 + 103 * (j % 8)), float (174 + 150 * (j / 8)), kDefaultParams[size_t (j)], false);
		ASSERT_EQ (faders[size_t (j)].size (), want.size ());
		for (size_t k = 0; k < want.size (); ++k)
			EXPECT_TRUE (same (faders[size_t (j)][k], want[k])) << k;
	}
	// Totals: pens (lines and outlines), brushes (fills) and texts.
	size_t pens = 0, brushes = 0, texts = 0;
	for (const Call& c : calls)
	{
		pens += c.op == Op::line || c.op == Op::outline;
		brushes += c.op == Op::fill || c.op == Op::ellipse;
		texts += c.op == Op::text;
		EXPECT_NE (c.op, Op::other) << "only anti-aliased shapes and UTF-16 texts, no text rendering hint";
		EXPECT_FALSE (c.round) << "every line has flat ends";
	}
	EXPECT_EQ (pens, 1029u);
	EXPECT_EQ (brushes, 115u); // 114 and the marker bar
	EXPECT_EQ (texts, 42u);
}

TEST (SilverSkin, SliderScaleSlotAndThumbFollowTheValue)
{
	for (double v : {0.0, 0.5, 1.0})
	{
		SCOPED_TRACE (v);
		const std::vector<Call> calls = recordSlider (kSquareParam, 73, 174, v, false);
		Reader in (calls);
		for (int i = 0; i <= 10; ++i)
		{
			const float y = float (174 + 8 * i), len = i % 5 == 0 ? 10.f : 5.f, w = i % 5 == 0 ? 1.3f : 0.8f;
			in.line (52 - len, y, 52, y, {255, 75, 91, 101}, w);
			in.line (94, y, 94 + len, y, {255, 75, 91, 101}, w);
		}
		in.line (69, 173, 69, 255, {255, 105, 120, 130}, 1.4f);
		in.line (77, 173, 77, 255, {255, 247, 250, 252}, 1.4f);
		in.fill ({70, 173, 6, 82}, solid (255, 26, 35, 41));
		const float ty = float (254 - 80 * v); // 254, 214, 174
		in.fill ({57, ty - 7, 34, 20}, solid (95, 13, 26, 34));
		in.fill ({57, ty - 9, 32, 18}, Fill::linear ({73, ty - 9}, {73, ty + 9}, {255, 246, 248, 249}, {255, 147, 163, 174}));
		in.expect (Reader::shape (Op::outline, {57, ty - 9, 32, 18}, {}, {255, 88, 107, 120}, 0.8f));
		in.line (59, ty - 7, 87, ty - 7, {255, 255, 255, 255}, 1);
		in.line (60, ty + 5, 86, ty + 5, {255, 97, 117, 132}, 0.7f);
		in.line (60, ty - 4, 86, ty - 4, {255, 191, 205, 214}, 0.7f);
		in.line (58, ty, 88, ty, {255, 168, 87, 50}, 2.7f);
		EXPECT_TRUE (in.atEnd ());
	}
	// Fractional centres: the slot fill alone lands on whole pixels.
	const std::vector<Call> calls = recordSlider (kAttackParam, 73.6f, 174.7f, 2.0, false);
	EXPECT_TRUE (same (calls[24].r, RectF{70, 173, 6, 82}));
	EXPECT_FLOAT_EQ (calls.back ().r.y, 174.7f - 80.f) << "the value is not clamped";
}

TEST (SilverSkin, AccentColourPerControl)
{
	// The panel walk checks the strips; here the index line of a lone fader.
	for (int32_t j = 0; j < kNumParams; ++j)
	{
		const Argb want = j <= kSineParam ? Argb{255, 168, 87, 50} : j == kOutputParam ? Argb{255, 166, 59, 47} : Argb{255, 32, 98, 112};
		EXPECT_TRUE (same (Silver::accentColour (j), want)) << j;
		EXPECT_TRUE (same (recordSlider (j, 73, 174, 0.5, false).back ().c, want)) << j;
	}
}

TEST (SilverSkin, HighlightOnlyForTheDraggedControl)
{
	for (int32_t active : {-1, 0, 5, 12, 14, 15, 16, 1000})
	{
		SCOPED_TRACE (active);
		const auto faders = expectPanel (recordPaint (kDefaultParams, active), 0, active, kDefaultTexts);
		for (int32_t j = 0; j < kNumParams; ++j)
		{
			if (j == kLegatoParam)
				continue;
			const Call& outline = faders[size_t (j)][27];
			ASSERT_EQ (outline.op, Op::outline);
			EXPECT_TRUE (same (outline.c, j == active ? Silver::accentColour (j) : Argb{255, 88, 107, 120})) << j;
			EXPECT_EQ (outline.width, j == active ? 1.5f : 0.8f) << j;
		}
	}
}

TEST (SilverSkin, PresetMarkFollowsTheValues)
{
	EXPECT_EQ (Silver::matchingPreset (kDefaultParams), 0);
	for (int n = 0; n < 5; ++n)
		EXPECT_EQ (Silver::matchingPreset (kFactoryPresets[n].values), n);
	for (int32_t i = 0; i < kNumParams; ++i)
	{
		SCOPED_TRACE (i);
		for (double d : {0.00002, -0.00002})
		{
			ParamBlock v = kFactoryPresets[2].values;
			v[size_t (i)] += d;
			EXPECT_EQ (Silver::matchingPreset (v), -1);
		}
		for (double d : {0.000009, -0.000009})
		{
			ParamBlock v = kFactoryPresets[2].values;
			v[size_t (i)] += d;
			EXPECT_EQ (Silver::matchingPreset (v), 2);
		}
		ParamBlock v = kDefaultParams;
		v[size_t (i)] = std::numeric_limits<double>::quiet_NaN ();
		EXPECT_EQ (Silver::matchingPreset (v), -1);
	}
	ParamBlock noLegato = kDefaultParams;
	noLegato[kLegatoParam] = 0.0;
	EXPECT_EQ (Silver::matchingPreset (noLegato), -1);

	// The plates as painted: the Bass values mark plate 3 only, a moved
	// value marks none.
	const char16_t* bass[kNumParams] = {u"80.0 %", u"25.0 %", u"0.0 %",   u"10.0 ms", u"129.9 ms", u"70.0 ms",
	                                    u"6.0 Hz", u"0.0 cent", u"5.0 Hz", u"0.0 %",   u"-1 oct",   u"0.0 cent",
	                                    u"-12.0 dB", u"0.0 %",  u"On",     u"35.0 %"};
	expectPanel (recordPaint (kFactoryPresets[2].values), 2, -1, bass);
	ParamBlock moved = kDefaultParams;
	moved[kSquareParam] += 0.00002;
	expectPanel (recordPaint (moved), -1, -1, kDefaultTexts);
}

TEST (SilverSkin, ValueTextsAreClampedAndFormatted)
{
	ParamBlock v = kDefaultParams;
	v[kLegatoParam] = 0.49;
	v[kTransposeParam] = 1.0 / 3.0;
	v[kSquareParam] = std::numeric_limits<double>::quiet_NaN ();
	v[kOutputParam] = 1.5;
	const char16_t* texts[kNumParams] = {u"0.0 %",  u"30.0 %",   u"15.0 %", u"10.0 ms", u"280.0 ms", u"0.0 ms",
	                                     u"6.0 Hz", u"0.0 cent", u"5.0 Hz", u"0.0 %",   u"-1 oct",   u"0.0 cent",
	                                     u"0.0 dB", u"0.0 %",    u"Off",    u"35.0 %"};
	const auto faders = expectPanel (recordPaint (v), -1, -1, texts);
	EXPECT_FLOAT_EQ (faders[kOutputParam].back ().r.y, 324.f - 40.f) << "the fader gets 1.5 unclamped";
}

// ---------------------------------------------------------------------------
// Pixels, through the Cairo canvas (natively, where it is built).

#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)

namespace {

std::unique_ptr<CairoCanvas> render (const ParamBlock& values, int32_t active = -1)
{
	auto canvas = std::make_unique<CairoCanvas> (860, 530, Rgb{0, 0, 0});
	Silver::Skin::paint (*canvas, values, active);
	canvas->flush ();
	return canvas;
}

} // namespace

TEST (SilverSkinPixels, FrameThumbsAndMarker)
{
	ParamBlock half;
	half.fill (0.5);
	const auto canvas = render (half);
	for (Point p : {Point{5, 265}, Point{852, 100}, Point{3, 528}})
		EXPECT_EQ (canvas->pixel (p.x, p.y), (Rgb{30, 39, 45})) << p.x << "," << p.y;
	// At 0.5 the index lines lie on y = top + 40, in the accent colours.
	EXPECT_EQ (canvas->pixel (73, 214), (Rgb{168, 87, 50}));
	EXPECT_EQ (canvas->pixel (83, 214), (Rgb{168, 87, 50}));
	EXPECT_EQ (canvas->pixel (485, 364), (Rgb{166, 59, 47}));
	EXPECT_EQ (canvas->pixel (382, 214), (Rgb{32, 98, 112}));
	// Above the thumb the slot is bare; no marker on any plate for these values.
	EXPECT_EQ (canvas->pixel (73, 190), (Rgb{26, 35, 41}));
	EXPECT_NE (canvas->pixel (100, 131), (Rgb{40, 102, 119}));

	const auto defaults = render (kDefaultParams, 0);
	EXPECT_EQ (defaults->pixel (100, 131), (Rgb{40, 102, 119})) << "preset 1 marked";
	EXPECT_NE (defaults->pixel (260, 131), (Rgb{40, 102, 119}));
	// Square at 0.55 puts its index line at 174 + 36 = 210; 214 is thumb body.
	EXPECT_EQ (defaults->pixel (73, 210), (Rgb{168, 87, 50}));
	EXPECT_NE (defaults->pixel (73, 214), (Rgb{168, 87, 50}));
	EXPECT_EQ (defaults->pixel (36, 268), (Rgb{29, 81, 98})) << "dragged value box";
	EXPECT_EQ (defaults->pixel (139, 268), (Rgb{40, 57, 68}));
}

TEST (SilverSkinPixels, PaintingTwiceGivesTheSamePicture)
{
	const auto first = render (kDefaultParams, 3);
	const auto second = render (kDefaultParams, 3);
	// The same canvas painted over a different picture.
	auto over = std::make_unique<CairoCanvas> (860, 530, Rgb{0, 0, 0});
	ParamBlock other;
	other.fill (0.9);
	Silver::Skin::paint (*over, other, 7);
	Silver::Skin::paint (*over, kDefaultParams, 3);
	over->flush ();
	int differ = 0, differOver = 0;
	for (int y = 0; y < 530; ++y)
		for (int x = 0; x < 860; ++x)
		{
			differ += first->pixel (x, y) != second->pixel (x, y);
			// The outermost pixels are only half covered by the frame.
			if (x > 0 && y > 0 && x < 859 && y < 529)
				differOver += first->pixel (x, y) != over->pixel (x, y);
		}
	EXPECT_EQ (differ, 0);
	EXPECT_EQ (differOver, 0);
}

#endif // TARNO_HAVE_CAIRO_CANVAS
