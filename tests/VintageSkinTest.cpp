// The VINTAGE panel and the two drawing procedures it shares with the
// SILVER panel, checked call by call on a recording canvas, and (natively)
// pixel by pixel on the Cairo canvas.
#include "editor/skins/vintage/SkinDrawing.h"
#include "editor/skins/vintage/VintageSkin.h"
#include "params/Presets.h"

#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)
#include "editor/canvas/CairoCanvas.h"
#endif

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace Tarno;

namespace {

// ---------------------------------------------------------------------------
// A canvas that records every call with its arguments.

enum class Op
{
	save,
	restore,
	plain, // any GDI-style shape or 8-bit text, which this panel never uses
	textW,
	fillRect,
	fillEllipse,
	rectOutline,
	line,
	arc,
	curve,
	textHint,
};

struct Call
{
	Op op = Op::plain;
	RectF box{};
	Fill fill = Fill::solid ({0, 0, 0, 0});
	Argb colour{};
	float width = 0;
	bool roundCaps = false;
	PointF a{}, b{};
	float start = 0, sweep = 0, tension = 0;
	std::vector<PointF> points;
	Rect rect{};
	std::u16string text;
	std::string face;
	int fontHeight = 0, fontWeight = 0;
	int textHint = -1;
	Rgb rgb{};
	unsigned flags = 0;
};

class RecordingCanvas : public Canvas
{
public:
	std::vector<Call> calls;

	void setTextRenderingHint (int hint) override { add (Op::textHint).textHint = hint; }
	void save () override { add (Op::save); }
	void restore () override { add (Op::restore); }
	void fillRect (const Rect&, Rgb) override { add (Op::plain); }
	void fillRectWithPanelBrush (const Rect&) override { add (Op::plain); }
	void ellipseOutline (const Rect&, Rgb, int) override { add (Op::plain); }
	void line (Point, Point, Rgb, int) override { add (Op::plain); }
	void textAt (int, int, const char*, const FontSpec&, Rgb) override { add (Op::plain); }
	void textInRect (const Rect&, const char*, const FontSpec&, Rgb, unsigned) override { add (Op::plain); }
	void textInRectW (const Rect& r, const char16_t* text, const FontSpec& font, Rgb color, unsigned flags) override
	{
		Call& c = add (Op::textW);
		c.rect = r;
		c.text = text ? text : u"";
		c.face = font.face ? font.face : "";
		c.fontHeight = font.height;
		c.fontWeight = font.weight;
		c.rgb = color;
		c.flags = flags;
	}
	void aaFillRect (const RectF& r, const Fill& fill) override
	{
		Call& c = add (Op::fillRect);
		c.box = r;
		c.fill = fill;
	}
	void aaFillEllipse (const RectF& box, const Fill& fill) override
	{
		Call& c = add (Op::fillEllipse);
		c.box = box;
		c.fill = fill;
	}
	void aaRectOutline (const RectF& r, Argb color, float width) override
	{
		Call& c = add (Op::rectOutline);
		c.box = r;
		c.colour = color;
		c.width = width;
	}
	void aaLine (PointF a, PointF b, Argb color, float width, bool roundCaps) override
	{
		Call& c = add (Op::line);
		c.a = a;
		c.b = b;
		c.colour = color;
		c.width = width;
		c.roundCaps = roundCaps;
	}
	void aaArc (const RectF& box, float startDegrees, float sweepDegrees, Argb color, float width,
	            bool roundCaps) override
	{
		Call& c = add (Op::arc);
		c.box = box;
		c.start = startDegrees;
		c.sweep = sweepDegrees;
		c.colour = color;
		c.width = width;
		c.roundCaps = roundCaps;
	}
	void aaCurve (const PointF* points, int count, float tension, Argb color, float width) override
	{
		Call& c = add (Op::curve);
		c.points.assign (points, points + count);
		c.tension = tension;
		c.colour = color;
		c.width = width;
	}

private:
	Call& add (Op op)
	{
		calls.emplace_back ();
		calls.back ().op = op;
		return calls.back ();
	}
};

// ---------------------------------------------------------------------------
// Comparisons.

constexpr float kTolerance = 1e-3f;

bool near (float x, float y) { return std::fabs (x - y) <= kTolerance; }

bool sameArgb (Argb x, Argb y) { return x.a == y.a && x.r == y.r && x.g == y.g && x.b == y.b; }

std::string show (Argb c)
{
	return "argb(" + std::to_string (c.a) + "," + std::to_string (c.r) + "," + std::to_string (c.g) + "," +
	       std::to_string (c.b) + ")";
}

std::string show (const RectF& r)
{
	return "(" + std::to_string (r.x) + "," + std::to_string (r.y) + ") " + std::to_string (r.width) + "x" +
	       std::to_string (r.height);
}

std::string show (PointF p) { return "(" + std::to_string (p.x) + "," + std::to_string (p.y) + ")"; }

// Plain UTF-16 to ASCII with \uXXXX for everything else, for messages.
std::string show (const std::u16string& s)
{
	std::string out;
	for (char16_t ch : s)
	{
		if (ch >= 0x20 && ch < 0x7f)
			out += static_cast<char> (ch);
		else
		{
			char buffer[8];
			std::snprintf (buffer, sizeof buffer, "\\u%04X", static_cast<unsigned> (ch));
			out += buffer;
		}
	}
	return out;
}

bool sameBox (const RectF& r, float x, float y, float w, float h)
{
	return near (r.x, x) && near (r.y, y) && near (r.width, w) && near (r.height, h);
}

bool samePoint (PointF p, float x, float y) { return near (p.x, x) && near (p.y, y); }

bool sameRect (const Rect& r, const Rect& e)
{
	return r.left == e.left && r.top == e.top && r.right == e.right && r.bottom == e.bottom;
}

void expectSolid (const Call& c, Op op, float x, float y, float w, float h, Argb colour)
{
	ASSERT_EQ (c.op, op) << "expected a solid fill of " << show (RectF{x, y, w, h});
	EXPECT_TRUE (sameBox (c.box, x, y, w, h)) << show (c.box) << " instead of " << show (RectF{x, y, w, h});
	EXPECT_FALSE (c.fill.gradient) << show (c.box);
	EXPECT_TRUE (sameArgb (c.fill.c0, colour)) << show (c.fill.c0) << " instead of " << show (colour);
}

void expectGradient (const Call& c, Op op, RectF box, PointF p0, PointF p1, Argb c0, Argb c1)
{
	ASSERT_EQ (c.op, op) << "expected a gradient fill of " << show (box);
	EXPECT_TRUE (sameBox (c.box, box.x, box.y, box.width, box.height)) << show (c.box) << " instead of " << show (box);
	ASSERT_TRUE (c.fill.gradient) << show (box);
	EXPECT_TRUE (samePoint (c.fill.p0, p0.x, p0.y)) << show (c.fill.p0) << " instead of " << show (p0);
	EXPECT_TRUE (samePoint (c.fill.p1, p1.x, p1.y)) << show (c.fill.p1) << " instead of " << show (p1);
	EXPECT_TRUE (sameArgb (c.fill.c0, c0)) << show (c.fill.c0) << " instead of " << show (c0);
	EXPECT_TRUE (sameArgb (c.fill.c1, c1)) << show (c.fill.c1) << " instead of " << show (c1);
}

void expectLine (const Call& c, PointF a, PointF b, Argb colour, float width, bool roundCaps = false)
{
	ASSERT_EQ (c.op, Op::line) << "expected the line " << show (a) << "-" << show (b);
	EXPECT_TRUE (samePoint (c.a, a.x, a.y)) << show (c.a) << " instead of " << show (a);
	EXPECT_TRUE (samePoint (c.b, b.x, b.y)) << show (c.b) << " instead of " << show (b);
	EXPECT_TRUE (sameArgb (c.colour, colour)) << show (c.colour) << " instead of " << show (colour) << " on "
	                                          << show (a) << "-" << show (b);
	EXPECT_FLOAT_EQ (c.width, width) << show (a) << "-" << show (b);
	EXPECT_EQ (c.roundCaps, roundCaps) << show (a) << "-" << show (b);
}

void expectText (const Call& c, const std::u16string& text, const char* face, int height, int weight, Rgb colour,
                 Rect rect, bool centred)
{
	ASSERT_EQ (c.op, Op::textW) << "expected the text " << show (text);
	EXPECT_EQ (c.text, text) << show (c.text) << " instead of " << show (text);
	EXPECT_EQ (c.face, face) << show (text);
	EXPECT_EQ (c.fontHeight, height) << show (text);
	EXPECT_EQ (c.fontWeight, weight) << show (text);
	EXPECT_TRUE (c.rgb == colour) << show (text) << ": rgb(" << int (c.rgb.r) << "," << int (c.rgb.g) << ","
	                              << int (c.rgb.b) << ")";
	EXPECT_TRUE (sameRect (c.rect, rect)) << show (text) << ": (" << c.rect.left << "," << c.rect.top << ","
	                                      << c.rect.right << "," << c.rect.bottom << ")";
	// DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, plus DT_CENTER when centred.
	EXPECT_EQ (c.flags, centred ? 0x825u : 0x824u) << show (text);
}

constexpr Argb kScrewLight = {255, 175, 167, 142};
constexpr Argb kScrewDark = {255, 44, 44, 39};

void expectScrew (const std::vector<Call>& calls, size_t i, float x, float y, Argb light, Argb dark)
{
	SCOPED_TRACE ("screw at " + show (PointF{x, y}));
	ASSERT_LE (i + 3, calls.size ());
	expectSolid (calls[i], Op::fillEllipse, x, y, 11, 11, {120, 0, 0, 0});
	expectGradient (calls[i + 1], Op::fillEllipse, {x + 1, y, 8, 8}, {x + 1, y}, {x + 9, y + 8}, light, dark);
	expectLine (calls[i + 2], {x + 3, y + 5}, {x + 7, y + 3}, {255, 23, 23, 21}, 1.4f);
}

// Point at `radius` from the centre, `degrees` clockwise from 12 o'clock.
PointF polar (float cx, float cy, float radius, double degrees)
{
	const double a = degrees * 3.14159265358979323846 / 180.0;
	return {static_cast<float> (cx + radius * std::sin (a)), static_cast<float> (cy - radius * std::cos (a))};
}

constexpr Argb kLit = {255, 217, 172, 101};
constexpr Argb kDark = {255, 132, 128, 107};
constexpr size_t kKnobCalls = 58; // 11 ticks, 3 fills, 40 grip strokes, cap, arc, pointer, centre

// Checks the 58 calls of one knob from index i; `lit` ticks from the first
// are expected lit.
void expectKnob (const std::vector<Call>& calls, size_t i, float cx, float cy, double v, int lit)
{
	SCOPED_TRACE ("knob at " + show (PointF{cx, cy}));
	ASSERT_LE (i + kKnobCalls, calls.size ());
	for (int t = 0; t <= 10; ++t)
	{
		SCOPED_TRACE ("tick " + std::to_string (t));
		const bool major = t % 5 == 0;
		const double a = -135.0 + 27.0 * t;
		expectLine (calls[i + t], polar (cx, cy, 38, a), polar (cx, cy, major ? 44.0f : 41.0f, a), t < lit ? kLit : kDark,
		            major ? 1.7f : 1.1f);
	}
	i += 11;
	expectSolid (calls[i++], Op::fillEllipse, cx - 33, cy - 30, 68, 69, {125, 0, 0, 0});
	expectGradient (calls[i++], Op::fillEllipse, {cx - 32, cy - 32, 64, 64}, {cx, cy - 33}, {cx, cy + 33},
	                {255, 116, 112, 96}, {255, 32, 33, 29});
	expectSolid (calls[i++], Op::fillEllipse, cx - 30, cy - 30, 60, 60, {255, 14, 17, 16});
	for (int k = 0; k < 40; ++k)
	{
		SCOPED_TRACE ("grip " + std::to_string (k));
		expectLine (calls[i++], polar (cx, cy, 27, 9.0 * k), polar (cx, cy, 29.5f, 9.0 * k), {255, 74, 76, 66}, 1.15f);
	}
	expectGradient (calls[i++], Op::fillEllipse, {cx - 26, cy - 26, 52, 52}, {cx - 15, cy - 27}, {cx + 18, cy + 25},
	                {255, 69, 73, 64}, {255, 20, 23, 22});
	const Call& arc = calls[i++];
	ASSERT_EQ (arc.op, Op::arc);
	EXPECT_TRUE (sameBox (arc.box, cx - 25, cy - 25, 50, 50)) << show (arc.box);
	EXPECT_FLOAT_EQ (arc.start, 190.0f);
	EXPECT_FLOAT_EQ (arc.sweep, 140.0f);
	EXPECT_TRUE (sameArgb (arc.colour, {150, 93, 96, 81})) << show (arc.colour);
	EXPECT_FLOAT_EQ (arc.width, 0.8f);
	EXPECT_FALSE (arc.roundCaps);
	const double p = 270.0 * v - 135.0;
	expectLine (calls[i++], polar (cx, cy, 13, p), polar (cx, cy, 23, p), {255, 241, 225, 181}, 3.0f, true);
	expectSolid (calls[i++], Op::fillEllipse, cx - 6, cy - 6, 12, 12, {255, 38, 42, 37});
}

std::vector<Call> recordPanel (const ParamBlock& values, int32_t activeParam)
{
	RecordingCanvas canvas;
	Vintage::Skin::paint (canvas, values, activeParam);
	return canvas.calls;
}

std::vector<Call> recordKnob (double v, float cx = 100, float cy = 100)
{
	RecordingCanvas canvas;
	Vintage::Skin::knob (canvas, cx, cy, v);
	return canvas.calls;
}

// Lit ticks of a recorded knob, after checking that they come first.
int litTicks (const std::vector<Call>& calls)
{
	int lit = 0;
	for (int t = 0; t <= 10; ++t)
	{
		if (sameArgb (calls.at (t).colour, kLit))
		{
			EXPECT_EQ (lit, t) << "tick " << t << " is lit after a dark one";
			++lit;
		}
		else
			EXPECT_TRUE (sameArgb (calls.at (t).colour, kDark)) << "tick " << t << ": " << show (calls.at (t).colour);
	}
	return lit;
}

size_t count (const std::vector<Call>& calls, Op op)
{
	size_t n = 0;
	for (const Call& c : calls)
		n += c.op == op;
	return n;
}

// The texts of a recording, in order.
std::vector<const Call*> texts (const std::vector<Call>& calls)
{
	std::vector<const Call*> out;
	for (const Call& c : calls)
		if (c.op == Op::textW)
			out.push_back (&c);
	return out;
}
// The pointers point into the recording, which must outlive them.
std::vector<const Call*> texts (std::vector<Call>&&) = delete;

// Index in texts() of the label of control j (7 texts precede the controls:
// two on the name plate and five preset titles); its value text follows it.
size_t labelText (int32_t j) { return 7 + 2 * static_cast<size_t> (j); }

const std::u16string kLabels[kNumParams] = {
	u"SQUARE",     u"TRIANGLE",    u"SINE",      u"ATTACK",    u"RELEASE", u"GLISSANDO",
	u"VIB. RATE",  u"VIB. DEPTH",  u"TREM. RATE", u"TREM. DEPTH", u"TRANSPOSE", u"FINE TUNE",
	u"OUTPUT",     u"VELOCITY",    u"LEGATO",    u"SINE COLOR",
};

const char16_t* const kMidiLegend = u"MIDI   \u2022   BEND \u00B1 2   \u2022   CC1 VIBRATO   \u2022   CC64 SUSTAIN";

const double kNaN = std::numeric_limits<double>::quiet_NaN ();
const double kInf = std::numeric_limits<double>::infinity ();

} // namespace

// ---------------------------------------------------------------------------
// The shared procedures.

TEST (VintageSkinDrawing, TextFlagsFontAndRectangle)
{
	RecordingCanvas canvas;
	drawSkinText (canvas, u"A\u00B1B", "Arial", -31, 700, {1, 2, 3}, {10, 20, 30, 40}, false);
	drawSkinText (canvas, u"C", "Consolas", 11, 400, {4, 5, 6}, {1, 2, 3, 4}, true);
	ASSERT_EQ (canvas.calls.size (), 2u);
	// A negative (CreateFontW-style) height is the same character height.
	expectText (canvas.calls[0], u"A\u00B1B", "Arial", 31, 700, {1, 2, 3}, {10, 20, 30, 40}, false);
	expectText (canvas.calls[1], u"C", "Consolas", 11, 400, {4, 5, 6}, {1, 2, 3, 4}, true);
}

TEST (VintageSkinDrawing, ScrewShadowHeadAndSlot)
{
	RecordingCanvas canvas;
	drawScrew (canvas, 30.5f, 18, {255, 1, 2, 3}, {255, 4, 5, 6});
	ASSERT_EQ (canvas.calls.size (), 3u);
	expectScrew (canvas.calls, 0, 30.5f, 18, {255, 1, 2, 3}, {255, 4, 5, 6});
}

// ---------------------------------------------------------------------------
// The panel, call by call.

TEST (VintageSkin, CallCountsPerKind)
{
	const auto calls = recordPanel (kDefaultParams, -1);
	// Background, two cheeks, front, name plate, 5 × 2 plate fills, 16
	// value boxes and the footer.
	EXPECT_EQ (count (calls, Op::fillRect), 32u);
	// Six screws of two fills and fifteen knobs of five.
	EXPECT_EQ (count (calls, Op::fillEllipse), 87u);
	// 175 scan lines, 4 cheek edges, 36 + 2 plate lines, 6 screw slots, 10
	// preset plate edges, 5 dividers, 15 knobs × 52, separator and footer.
	EXPECT_EQ (count (calls, Op::line), 1020u);
	EXPECT_EQ (count (calls, Op::curve), 80u);
	EXPECT_EQ (count (calls, Op::arc), 15u);
	EXPECT_EQ (count (calls, Op::textW), 42u);
	EXPECT_EQ (count (calls, Op::plain), 0u);
	EXPECT_EQ (count (calls, Op::rectOutline), 0u);
	EXPECT_EQ (count (calls, Op::save), count (calls, Op::restore));
	// The text rendering hint is set once, before anything is drawn.
	EXPECT_EQ (count (calls, Op::textHint), 1u);
	EXPECT_EQ (calls.size (), 1u + 32u + 87u + 1020u + 80u + 15u + 42u);
}

// Walks the whole recording from the first call to the last.
TEST (VintageSkin, EveryStageInOrder)
{
	ParamBlock values = kDefaultParams;
	values[kSquareParam] = 0.0;
	values[kSineParam] = 1.0;
	const auto calls = recordPanel (values, -1);
	ASSERT_EQ (calls.size (), 1277u);
	size_t i = 0;

	ASSERT_EQ (calls[i].op, Op::textHint);
	EXPECT_EQ (calls[i++].textHint, kTextHintAntiAliasGridFit);
	expectSolid (calls[i++], Op::fillRect, 0, 0, 860, 530, {255, 44, 26, 17});

	for (float x : {0.0f, 836.0f})
	{
		SCOPED_TRACE ("cheek at " + std::to_string (x));
		expectGradient (calls[i++], Op::fillRect, {x, 0, 24, 530}, {x, 0}, {x + 24, 0}, {255, 60, 32, 18},
		                {255, 134, 82, 43});
		for (int g = 0; g < 40; ++g)
		{
			const Call& c = calls[i++];
			ASSERT_EQ (c.op, Op::curve) << "grain " << g;
			ASSERT_EQ (c.points.size (), 6u) << "grain " << g;
			for (int k = 0; k < 6; ++k)
				EXPECT_TRUE (samePoint (c.points[k], static_cast<float> (x + 0.61 * g + 1.7 * std::sin (1.3 * g + 0.7 * k)),
				                        106.0f * k))
				    << "grain " << g << " point " << k << " " << show (c.points[k]);
			EXPECT_FLOAT_EQ (c.tension, 0.5f);
			EXPECT_FLOAT_EQ (c.width, 0.7f);
			EXPECT_TRUE (sameArgb (c.colour, g % 3 == 0 ? Argb{60, 203, 141, 77} : Argb{65, 40, 23, 14}))
			    << "grain " << g << " " << show (c.colour);
		}
		expectLine (calls[i++], {x + 1, 0}, {x + 1, 530}, {170, 186, 121, 68}, 1);
		expectLine (calls[i++], {x + 22, 0}, {x + 22, 530}, {200, 30, 20, 13}, 2);
	}

	expectGradient (calls[i++], Op::fillRect, {24, 0, 812, 530}, {24, 0}, {836, 530}, {255, 43, 49, 43},
	                {255, 23, 29, 26});

	const uint8_t alphas[5] = {7, 5, 8, 6, 4};
	for (int y = 3, n = 0; y <= 525; y += 3, ++n)
		expectLine (calls[i++], {25, float (y)}, {835, float (y)}, {alphas[n % 5], 139, 146, 119}, 1);

	expectSolid (calls[i++], Op::fillRect, 25, 12, 810, 75, {255, 198, 190, 157});
	for (int y = 14; y <= 84; y += 2)
		expectLine (calls[i++], {26, float (y)}, {834, float (y)}, {18, 245, 236, 198}, 1);
	expectLine (calls[i++], {25, 12}, {835, 12}, {255, 235, 222, 186}, 1);
	expectLine (calls[i++], {25, 87}, {835, 87}, {255, 5, 9, 8}, 2);
	expectText (calls[i++], u"TARNOVELLE", "Arial", 31, 700, {37, 44, 38}, {45, 20, 425, 57}, false);
	expectText (calls[i++], u"TVL-404-B   /   MONOPHONIC SYNTHESIZER", "Arial", 10, 400, {66, 70, 54},
	            {47, 58, 527, 74}, false);
	for (PointF p : {PointF{30, 18}, PointF{820, 18}, PointF{30, 73}, PointF{820, 73}})
	{
		expectScrew (calls, i, p.x, p.y, kScrewLight, kScrewDark);
		i += 3;
	}

	const std::u16string titles[5] = {u"01  ORIGINAL", u"02  SOFT REED", u"03  BASS", u"04  LANTERN", u"05  GLIDE"};
	for (int n = 0; n < 5; ++n)
	{
		SCOPED_TRACE ("preset plate " + std::to_string (n));
		const int x = 30 + 160 * n;
		const float xf = float (x);
		expectSolid (calls[i++], Op::fillRect, xf, 107, 150, 29, {255, 10, 13, 11});
		expectGradient (calls[i++], Op::fillRect, {xf, 105, 150, 27}, {xf, 105}, {xf, 132}, {255, 205, 198, 163},
		                {255, 157, 151, 121});
		expectLine (calls[i++], {xf + 1, 106}, {xf + 149, 106}, {255, 234, 225, 191}, 1);
		expectLine (calls[i++], {xf, 131}, {xf + 150, 131}, {255, 82, 84, 65}, 1);
		expectText (calls[i++], titles[n], "Arial", 10, 700, {32, 41, 34}, {x, 109, x + 150, 127}, true);
	}

	for (auto d : {std::pair<float, float>{332, 148}, {641, 148}, {229, 300}, {435, 300}, {641, 300}})
		expectLine (calls[i++], {d.first, d.second}, {d.first, d.second + 133}, {60, 129, 131, 104}, 1);

	for (int32_t j = 0; j < kNumParams; ++j)
	{
		SCOPED_TRACE ("control " + std::to_string (j));
		const int x0 = 30 + 103 * (j % 8);
		const int y0 = 154 + 150 * (j / 8);
		expectText (calls[i++], kLabels[j], "Arial", 10, 700, {221, 213, 179}, {x0 - 3, y0 - 2, x0 + 89, y0 + 14},
		            true);
		if (j != kLegatoParam)
		{
			const double v = values[j];
			expectKnob (calls, i, float (x0 + 43), float (y0 + 61), v, int (std::trunc (10 * v + 0.001)) + 1);
			i += kKnobCalls;
		}
		expectSolid (calls[i++], Op::fillRect, float (x0 + 3), float (y0 + 110), 81, 20, {255, 20, 26, 22});
		ASSERT_EQ (calls[i].op, Op::textW);
		EXPECT_TRUE (sameRect (calls[i].rect, {x0, y0 + 108, x0 + 87, y0 + 132}));
		EXPECT_EQ (calls[i].face, "Consolas");
		EXPECT_EQ (calls[i].fontHeight, 11);
		EXPECT_EQ (calls[i].fontWeight, 400);
		EXPECT_EQ (calls[i].flags, 0x825u);
		++i;
	}

	expectLine (calls[i++], {45, 447}, {814, 447}, {255, 109, 114, 89}, 1);
	expectText (calls[i++], u"VCO  /  MIXER  /  VCA", "Arial", 10, 700, {176, 176, 144}, {45, 454, 315, 469}, false);
	expectText (calls[i++], kMidiLegend, "Arial", 9, 400, {175, 177, 145}, {354, 454, 811, 469}, false);
	expectSolid (calls[i++], Op::fillRect, 45, 480, 770, 31, {255, 20, 25, 21});
	expectLine (calls[i++], {45, 480}, {815, 480}, {255, 80, 88, 66}, 1);
	ASSERT_EQ (calls[i].op, Op::textW);
	EXPECT_EQ (calls[i].face, "Arial");
	EXPECT_EQ (calls[i].fontHeight, 11);
	EXPECT_EQ (calls[i].fontWeight, 400);
	EXPECT_TRUE (calls[i].rgb == (Rgb{208, 197, 158}));
	EXPECT_TRUE (sameRect (calls[i].rect, {48, 485, 812, 505}));
	EXPECT_EQ (calls[i].flags, 0x825u);
	EXPECT_FALSE (calls[i].text.empty ());
	++i;
	expectScrew (calls, i, 30, 515, kScrewLight, kScrewDark);
	i += 3;
	expectScrew (calls, i, 820, 515, kScrewLight, kScrewDark);
	i += 3;
	EXPECT_EQ (i, calls.size ());
}

TEST (VintageSkin, LegendsKeepTheirSpecialCharacters)
{
	const auto calls = recordPanel (kDefaultParams, -1);
	const auto t = texts (calls);
	ASSERT_EQ (t.size (), 42u);
	// Texts: 2 on the name plate, 5 plates, 32 in the controls, then the
	// group legend, the MIDI legend and the footer line.
	const std::u16string& legend = t[40]->text;
	EXPECT_EQ (legend, kMidiLegend) << show (legend);
	int bullets = 0, plusMinus = 0;
	for (char16_t ch : legend)
	{
		bullets += ch == 0x2022;
		plusMinus += ch == 0x00B1;
	}
	EXPECT_EQ (bullets, 3);
	EXPECT_EQ (plusMinus, 1);
	// The footer line: a dedication and a credit, in plain characters and
	// the same bullet.
	const std::u16string& footer = t[41]->text;
	EXPECT_NE (footer.find (u"Tarnovelle"), std::u16string::npos) << show (footer);
	EXPECT_NE (footer.find (u'\u2022'), std::u16string::npos) << show (footer);
}

TEST (VintageSkin, LabelsAreTheSkinsOwnUpperCaseTexts)
{
	const auto calls = recordPanel (kDefaultParams, -1);
	const auto t = texts (calls);
	ASSERT_EQ (t.size (), 42u);
	for (int32_t j = 0; j < kNumParams; ++j)
		EXPECT_EQ (t[labelText (j)]->text, kLabels[j]) << j;
}

TEST (VintageSkin, ValueBoxAndTextHighlightFollowTheActiveParameter)
{
	constexpr Argb kBox = {255, 20, 26, 22};
	constexpr Argb kActiveBox = {255, 67, 65, 43};
	constexpr Rgb kText = {209, 196, 151};
	constexpr Rgb kActiveText = {255, 222, 153};

	for (int32_t active : {-1, 0, 14, 15, 16, 99})
	{
		SCOPED_TRACE ("activeParam " + std::to_string (active));
		const auto calls = recordPanel (kDefaultParams, active);
		// The value boxes are the 81 × 20 rectangle fills.
		std::vector<const Call*> boxes;
		for (const Call& c : calls)
			if (c.op == Op::fillRect && near (c.box.width, 81) && near (c.box.height, 20))
				boxes.push_back (&c);
		ASSERT_EQ (boxes.size (), 16u);
		const auto t = texts (calls);
		ASSERT_EQ (t.size (), 42u);
		for (int32_t j = 0; j < kNumParams; ++j)
		{
			const bool lit = j == active;
			EXPECT_TRUE (sameArgb (boxes[j]->fill.c0, lit ? kActiveBox : kBox)) << j << " " << show (boxes[j]->fill.c0);
			EXPECT_TRUE (t[labelText (j) + 1]->rgb == (lit ? kActiveText : kText)) << j;
			// Labels never change.
			EXPECT_TRUE (t[labelText (j)]->rgb == (Rgb{221, 213, 179})) << j;
		}
	}
}

TEST (VintageSkin, ValueTextsAreClampedAndFormatted)
{
	ParamBlock values = kDefaultParams;
	values[kSquareParam] = 1.5;
	values[kTriangleParam] = kNaN;
	values[kSineParam] = -kInf;
	values[kAttackParam] = 0.5;
	values[kTransposeParam] = 0.5;
	values[kOutputParam] = 0.0;
	values[kLegatoParam] = 0.5;
	const auto calls = recordPanel (values, -1);
	const auto t = texts (calls);
	ASSERT_EQ (t.size (), 42u);
	auto valueText = [&] (int32_t j) { return t[labelText (j) + 1]->text; };
	EXPECT_EQ (valueText (kSquareParam), u"100.0 %");
	EXPECT_EQ (valueText (kTriangleParam), u"0.0 %");
	EXPECT_EQ (valueText (kSineParam), u"0.0 %");
	EXPECT_EQ (valueText (kAttackParam), u"1501.0 ms");
	EXPECT_EQ (valueText (kTransposeParam), u"0 oct");
	EXPECT_EQ (valueText (kOutputParam), u"-60.0 dB");
	EXPECT_EQ (valueText (kLegatoParam), u"On");

	values[kLegatoParam] = 0.49;
	const auto offCalls = recordPanel (values, -1);
	EXPECT_EQ (texts (offCalls)[labelText (kLegatoParam) + 1]->text, u"Off");
}

TEST (VintageSkin, FifteenKnobsAndNoneAtTheLegatoPosition)
{
	const auto calls = recordPanel (kDefaultParams, -1);
	// Each knob has exactly one 68 × 69 shadow; its box gives the centre.
	std::vector<PointF> centres;
	for (const Call& c : calls)
		if (c.op == Op::fillEllipse && near (c.box.width, 68) && near (c.box.height, 69))
			centres.push_back ({c.box.x + 33, c.box.y + 30});
	ASSERT_EQ (centres.size (), 15u);
	size_t n = 0;
	for (int32_t j = 0; j < kNumParams; ++j)
	{
		if (j == kLegatoParam)
			continue;
		EXPECT_TRUE (samePoint (centres[n], float (73 + 103 * (j % 8)), float (215 + 150 * (j / 8))))
		    << j << " " << show (centres[n]);
		++n;
	}
	// Nothing at all is centred near (691, 365), apart from the scan lines
	// that cross the whole front.
	for (const Call& c : calls)
	{
		if (c.op == Op::fillEllipse || c.op == Op::arc)
		{
			EXPECT_FALSE (std::fabs (c.box.x + c.box.width / 2 - 691) < 40 &&
			              std::fabs (c.box.y + c.box.height / 2 - 365) < 40)
			    << show (c.box);
		}
	}
}

TEST (VintageSkin, KnobsGetTheValuesUnclamped)
{
	ParamBlock values = kDefaultParams;
	values[kSquareParam] = 1.5;  // pointer at 270° (9 o'clock), all ticks lit
	values[kSineParam] = -0.25; // pointer at −202.5°, no tick lit
	const auto calls = recordPanel (values, -1);
	// Each knob's calls start 11 (its ticks) before its shadow.
	std::vector<size_t> starts;
	for (size_t i = 0; i < calls.size (); ++i)
		if (calls[i].op == Op::fillEllipse && near (calls[i].box.width, 68))
			starts.push_back (i - 11);
	ASSERT_EQ (starts.size (), 15u);
	expectKnob (calls, starts[0], 73, 215, 1.5, 11);
	expectKnob (calls, starts[2], 279, 215, -0.25, 0);
	// The pointer of Square points left: from (60, 215) to (50, 215).
	const Call& pointer = calls[starts[0] + 56];
	EXPECT_TRUE (samePoint (pointer.a, 60, 215)) << show (pointer.a);
	EXPECT_TRUE (samePoint (pointer.b, 50, 215)) << show (pointer.b);
}

TEST (VintageSkin, PresetPlatesNeverMarked)
{
	// The plates depend on nothing: the same calls for every preset's values
	// and any active parameter.
	auto plates = [] (const ParamBlock& values, int32_t active) {
		const auto calls = recordPanel (values, active);
		std::vector<Call> out;
		for (const Call& c : calls)
		{
			const bool title = c.op == Op::textW && c.rect.top == 109;
			const bool fill = c.op == Op::fillRect && near (c.box.width, 150) && c.box.y >= 105 && c.box.y <= 107;
			const bool edge = c.op == Op::line && (near (c.a.y, 106) || near (c.a.y, 131));
			if (title || fill || edge)
				out.push_back (c);
		}
		return out;
	};
	const auto reference = plates (kDefaultParams, -1);
	ASSERT_EQ (reference.size (), 25u);
	for (int n = 0; n < kNumFactoryPresets; ++n)
	{
		const auto other = plates (kFactoryPresets[n].values, n);
		ASSERT_EQ (other.size (), reference.size ()) << n;
		for (size_t k = 0; k < reference.size (); ++k)
		{
			EXPECT_TRUE (sameArgb (other[k].fill.c0, reference[k].fill.c0)) << n << " " << k;
			EXPECT_TRUE (sameArgb (other[k].colour, reference[k].colour)) << n << " " << k;
			EXPECT_TRUE (other[k].rgb == reference[k].rgb) << n << " " << k;
			EXPECT_EQ (other[k].text, reference[k].text) << n << " " << k;
		}
	}
}

TEST (VintageSkin, ScrewsAtTheFourPlateCornersAndTheBottom)
{
	const auto calls = recordPanel (kDefaultParams, -1);
	std::vector<PointF> shadows;
	for (const Call& c : calls)
		if (c.op == Op::fillEllipse && near (c.box.width, 11) && near (c.box.height, 11))
			shadows.push_back ({c.box.x, c.box.y});
	const PointF expected[6] = {{30, 18}, {820, 18}, {30, 73}, {820, 73}, {30, 515}, {820, 515}};
	ASSERT_EQ (shadows.size (), 6u);
	for (int k = 0; k < 6; ++k)
		EXPECT_TRUE (samePoint (shadows[k], expected[k].x, expected[k].y)) << k << " " << show (shadows[k]);
}

// ---------------------------------------------------------------------------
// One knob.

TEST (VintageKnob, LitTicksFollowTheTruncatedTenths)
{
	struct Case
	{
		double v;
		int lit;
	};
	const Case cases[] = {
		{0.0, 1},    {0.29995, 4}, {0.7 - 0.4, 4}, {0.2985, 3}, {0.3, 4}, {0.5, 6},  {1.0, 11},
		{0.09995, 2}, {0.0989, 1},  {-0.05, 1},     {-0.2, 0},   {1.7, 11}, {kNaN, 0}, {kInf, 11},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE ("v = " + std::to_string (c.v));
		const auto calls = recordKnob (c.v);
		EXPECT_EQ (litTicks (calls), c.lit);
	}
}

TEST (VintageKnob, FiftyEightCallsWithTheirGeometry)
{
	for (double v : {0.0, 0.3, 0.5, 1.0})
	{
		SCOPED_TRACE ("v = " + std::to_string (v));
		const auto calls = recordKnob (v, 382, 215);
		ASSERT_EQ (calls.size (), kKnobCalls);
		expectKnob (calls, 0, 382, 215, v, int (std::trunc (10 * v + 0.001)) + 1);
	}
}

TEST (VintageKnob, PointerDirection)
{
	// v = 0: lower left; v = 0.5: straight up; v = 1: lower right.
	const float d13 = 13 * std::sqrt (0.5f), d23 = 23 * std::sqrt (0.5f);
	const Call low = recordKnob (0.0).at (56);
	EXPECT_TRUE (samePoint (low.a, 100 - d13, 100 + d13)) << show (low.a);
	EXPECT_TRUE (samePoint (low.b, 100 - d23, 100 + d23)) << show (low.b);
	const Call up = recordKnob (0.5).at (56);
	EXPECT_TRUE (samePoint (up.a, 100, 87)) << show (up.a);
	EXPECT_TRUE (samePoint (up.b, 100, 77)) << show (up.b);
	const Call high = recordKnob (1.0).at (56);
	EXPECT_TRUE (samePoint (high.a, 100 + d13, 100 + d13)) << show (high.a);
	EXPECT_TRUE (samePoint (high.b, 100 + d23, 100 + d23)) << show (high.b);
	EXPECT_TRUE (high.roundCaps);
	EXPECT_FLOAT_EQ (high.width, 3.0f);
}

TEST (VintageKnob, ValueWithoutDirectionLeavesOutOnlyThePointer)
{
	for (double v : {kNaN, kInf, -kInf})
	{
		SCOPED_TRACE ("v = " + std::to_string (v));
		const auto calls = recordKnob (v);
		ASSERT_EQ (calls.size (), kKnobCalls - 1);
		for (const Call& c : calls)
			if (c.op == Op::line)
			{
				EXPECT_TRUE (std::isfinite (c.a.x) && std::isfinite (c.a.y) && std::isfinite (c.b.x) &&
				             std::isfinite (c.b.y));
				EXPECT_FALSE (c.roundCaps);
			}
		EXPECT_EQ (calls.back ().op, Op::fillEllipse);
	}
	// A huge finite value keeps its pointer, at a finite position.
	const auto calls = recordKnob (1e300);
	ASSERT_EQ (calls.size (), kKnobCalls);
	EXPECT_TRUE (std::isfinite (calls[56].a.x) && std::isfinite (calls[56].b.y));
}

// ---------------------------------------------------------------------------
// Pixels, through the Cairo canvas (Linux).

#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)

namespace {

std::unique_ptr<CairoCanvas> render (const ParamBlock& values, int32_t active, Rgb ground = {0, 0, 0})
{
	auto canvas = std::make_unique<CairoCanvas> (860, 530, ground);
	canvas->fillRectWithPanelBrush ({0, 0, 860, 530});
	Vintage::Skin::paint (*canvas, values, active);
	canvas->flush ();
	return canvas;
}

int distance (Rgb a, Rgb b) { return std::abs (a.r - b.r) + std::abs (a.g - b.g) + std::abs (a.b - b.b); }

::testing::AssertionResult closeTo (Rgb actual, Rgb expected, int tolerance = 4)
{
	if (distance (actual, expected) <= tolerance)
		return ::testing::AssertionSuccess ();
	return ::testing::AssertionFailure () << "rgb(" << int (actual.r) << "," << int (actual.g) << "," << int (actual.b)
	                                      << ") instead of rgb(" << int (expected.r) << "," << int (expected.g) << ","
	                                      << int (expected.b) << ")";
}

// The front's diagonal gradient at (x, y), from (24, 0) to (836, 530).
Rgb front (int x, int y)
{
	const double dx = 812, dy = 530;
	const double t = ((x - 24) * dx + y * dy) / (dx * dx + dy * dy);
	auto mix = [t] (int a, int b) { return static_cast<uint8_t> (std::lround (a + (b - a) * t)); };
	return {mix (43, 23), mix (49, 29), mix (43, 26)};
}

} // namespace

TEST (VintageSkinPixels, FrontPlateFooterAndValueBoxes)
{
	const auto canvas = render (kDefaultParams, 0);
	// The front between scan lines (rows 3, 6, …), near both gradient ends.
	EXPECT_TRUE (closeTo (canvas->pixel (400, 5), front (400, 5)));
	EXPECT_TRUE (closeTo (canvas->pixel (830, 470), front (830, 470)));
	EXPECT_GT (distance (canvas->pixel (400, 5), canvas->pixel (830, 470)), 20);
	// Name plate between its fine lines, and on one of them.
	EXPECT_TRUE (closeTo (canvas->pixel (600, 41), {198, 190, 157}));
	EXPECT_TRUE (closeTo (canvas->pixel (600, 40), {201, 193, 160}));
	// Footer, left of its text.
	EXPECT_TRUE (closeTo (canvas->pixel (50, 500), {20, 25, 21}));
	// The active value box (Square) and an ordinary one (Triangle), left of
	// their centred texts.
	EXPECT_TRUE (closeTo (canvas->pixel (36, 267), {67, 65, 43}));
	EXPECT_TRUE (closeTo (canvas->pixel (139, 267), {20, 26, 22}));
	// Preset plate shadow below its face.
	EXPECT_TRUE (closeTo (canvas->pixel (100, 134), {10, 13, 11}));
}

TEST (VintageSkinPixels, WoodenCheeksAreWarm)
{
	const auto canvas = render (kDefaultParams, -1);
	for (int x : {5, 12, 18, 840, 848, 854})
		for (int y : {50, 250, 450})
		{
			const Rgb p = canvas->pixel (x, y);
			EXPECT_TRUE (p.r > p.g && p.g > p.b && p.r >= 40) << x << "," << y << ": " << int (p.r) << "," << int (p.g)
			                                                  << "," << int (p.b);
		}
	// The lacquered front right of the cheek is green-grey, not warm.
	const Rgb p = canvas->pixel (30, 250);
	EXPECT_TRUE (p.g > p.r) << int (p.r) << "," << int (p.g) << "," << int (p.b);
}

TEST (VintageSkinPixels, LitAndDarkTicks)
{
	ParamBlock values = kDefaultParams;
	values[kAttackParam] = 0.5;  // top tick lit
	values[kReleaseParam] = 0.4; // top tick dark
	const auto canvas = render (values, -1);
	// The top tick runs from y = 177 to 171 on the knob's vertical axis.
	EXPECT_TRUE (closeTo (canvas->pixel (382, 174), {217, 172, 101}));
	EXPECT_TRUE (closeTo (canvas->pixel (485, 174), {132, 128, 107}));
}

TEST (VintageSkinPixels, NoKnobAtTheLegatoPosition)
{
	const auto canvas = render (kDefaultParams, -1);
	// One pixel inside the top of a skirt: light on Velocity, bare front at
	// Legato.
	const Rgb skirt = canvas->pixel (588, 334);
	EXPECT_GT (skirt.r, 90) << int (skirt.r);
	EXPECT_TRUE (closeTo (canvas->pixel (691, 334), front (691, 334), 8));
	EXPECT_TRUE (closeTo (canvas->pixel (691, 365), front (691, 365), 8));
}

TEST (VintageSkinPixels, PaintCoversThePanelAndRepeatsExactly)
{
	ParamBlock values = kDefaultParams;
	values[kFineTuneParam] = 0.83;
	const auto onBlack = render (values, 11, {0, 0, 0});
	const auto onWhite = render (values, 11, {255, 255, 255});
	const auto again = render (values, 11, {0, 0, 0});
	int showsGround = 0, repeatDiffers = 0;
	for (int y = 0; y < 530; ++y)
		for (int x = 0; x < 860; ++x)
		{
			repeatDiffers += onBlack->pixel (x, y) != again->pixel (x, y);
			// Pixels are centred on whole coordinates, so the background
			// rectangle from (0, 0) covers the first row and column only by
			// half; everything else hides the ground completely.
			if (x > 0 && y > 0)
				showsGround += onBlack->pixel (x, y) != onWhite->pixel (x, y);
		}
	EXPECT_EQ (repeatDiffers, 0);
	EXPECT_EQ (showsGround, 0);
	// The half-covered top row: the panel's colours over black, darker
	// than the panel itself.
	const Rgb corner = onBlack->pixel (400, 0);
	EXPECT_GT (corner.r, 10);
	EXPECT_LT (corner.r, 44);
}

#endif
