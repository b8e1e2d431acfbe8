#include "editor/skins/vintage/VintageSkin.h"

#include "editor/skins/PanelLayout.h"
#include "editor/skins/vintage/SkinDrawing.h"
#include "params/Presets.h"

#include <cmath>

namespace Vintage {

using namespace Tarno;

namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr int kWidth = 860;
constexpr int kHeight = 530;

// The two screw colours of the name plate and the bottom edge.
constexpr Argb kScrewLight = {255, 175, 167, 142};
constexpr Argb kScrewDark = {255, 44, 44, 39};

constexpr Argb kTickLit = {255, 217, 172, 101};
constexpr Argb kTickDark = {255, 132, 128, 107};

// Point at `radius` from (cx, cy) in the direction `degrees`, measured
// clockwise from 12 o'clock (y points down).
PointF polar (float cx, float cy, float radius, float degrees)
{
	const float radians = degrees * static_cast<float> (kPi / 180.0);
	return {cx + radius * std::sin (radians), cy - radius * std::cos (radians)};
}

void line (Canvas& canvas, float x1, float y1, float x2, float y2, Argb colour, float width)
{
	canvas.aaLine ({x1, y1}, {x2, y2}, colour, width, false);
}

void solidRect (Canvas& canvas, float x, float y, float w, float h, Argb colour)
{
	canvas.aaFillRect ({x, y, w, h}, Fill::solid (colour));
}

// One wooden cheek, 24 pixels wide, with its left edge at x.
void paintCheek (Canvas& canvas, float x)
{
	canvas.aaFillRect ({x, 0, 24, kHeight},
	                   Fill::linear ({x, 0}, {x + 24, 0}, {255, 60, 32, 18}, {255, 134, 82, 43}));

	// Grain: 40 slightly wavy vertical curves, every third one light.
	for (int i = 0; i < 40; ++i)
	{
		PointF points[6];
		for (int k = 0; k < 6; ++k)
			points[k] = {static_cast<float> (x + 0.61 * i + 1.7 * std::sin (1.3 * i + 0.7 * k)),
			             static_cast<float> (106 * k)};
		const Argb colour = i % 3 == 0 ? Argb{60, 203, 141, 77} : Argb{65, 40, 23, 14};
		canvas.aaCurve (points, 6, 0.5f, colour, 0.7f);
	}

	line (canvas, x + 1, 0, x + 1, kHeight, {170, 186, 121, 68}, 1);
	line (canvas, x + 22, 0, x + 22, kHeight, {200, 30, 20, 13}, 2);
}

void paintNamePlate (Canvas& canvas)
{
	solidRect (canvas, 25, 12, 810, 75, {255, 198, 190, 157});
	for (int y = 14; y <= 84; y += 2)
		line (canvas, 26, y, 834, y, {18, 245, 236, 198}, 1);
	line (canvas, 25, 12, 835, 12, {255, 235, 222, 186}, 1);
	line (canvas, 25, 87, 835, 87, {255, 5, 9, 8}, 2);

	drawSkinText (canvas, u"TARNOVELLE", "Arial", -31, 700, {37, 44, 38}, {45, 20, 425, 57}, false);
	drawSkinText (canvas, u"TVL-404-B   /   MONOPHONIC SYNTHESIZER", "Arial", -10, 400, {66, 70, 54},
	              {47, 58, 527, 74}, false);

	drawScrew (canvas, 30, 18, kScrewLight, kScrewDark);
	drawScrew (canvas, 820, 18, kScrewLight, kScrewDark);
	drawScrew (canvas, 30, 73, kScrewLight, kScrewDark);
	drawScrew (canvas, 820, 73, kScrewLight, kScrewDark);
}

// The five preset plates, all alike: the skin never marks a current preset.
void paintPresetPlates (Canvas& canvas)
{
	const SkinLayout& layout = skinLayout (kSkinVintage);
	for (int n = 0; n < kNumFactoryPresets; ++n)
	{
		const int x = layout.presetLeft + layout.presetPitch * n;
		const float xf = static_cast<float> (x);
		solidRect (canvas, xf, 107, 150, 29, {255, 10, 13, 11});
		canvas.aaFillRect ({xf, 105, 150, 27},
		                   Fill::linear ({xf, 105}, {xf, 132}, {255, 205, 198, 163}, {255, 157, 151, 121}));
		line (canvas, xf + 1, 106, xf + 149, 106, {255, 234, 225, 191}, 1);
		line (canvas, xf, 131, xf + 150, 131, {255, 82, 84, 65}, 1);
		drawSkinText (canvas, kFactoryPresets[n].capitalTitle, "Arial", -10, 700, {32, 41, 34},
		              {x, 109, x + 150, 127}, true);
	}
}

void paintGroupDividers (Canvas& canvas)
{
	constexpr Argb colour = {60, 129, 131, 104};
	line (canvas, 332, 148, 332, 281, colour, 1);
	line (canvas, 641, 148, 641, 281, colour, 1);
	line (canvas, 229, 300, 229, 433, colour, 1);
	line (canvas, 435, 300, 435, 433, colour, 1);
	line (canvas, 641, 300, 641, 433, colour, 1);
}

// The skin's own control labels, in parameter-ID order.
constexpr const char16_t* kLabels[kNumParams] = {
	u"SQUARE",     u"TRIANGLE",    u"SINE",      u"ATTACK",    u"RELEASE", u"GLISSANDO",
	u"VIB. RATE",  u"VIB. DEPTH",  u"TREM. RATE", u"TREM. DEPTH", u"TRANSPOSE", u"FINE TUNE",
	u"OUTPUT",     u"VELOCITY",    u"LEGATO",    u"SINE COLOR",
};

void paintLabel (Canvas& canvas, int32_t id)
{
	const Point cell = skinLayout (kSkinVintage).cell (id);
	drawSkinText (canvas, kLabels[id], "Arial", -10, 700, {221, 213, 179},
	              {cell.x - 3, cell.y - 2, cell.x + 89, cell.y + 14}, true);
}

void paintBottom (Canvas& canvas)
{
	line (canvas, 45, 447, 814, 447, {255, 109, 114, 89}, 1);

	drawSkinText (canvas, u"VCO  /  MIXER  /  VCA", "Arial", -10, 700, {176, 176, 144}, {45, 454, 315, 469},
	              false);
	drawSkinText (canvas,
	              u"MIDI   \u2022   BEND \u00B1 2   \u2022   CC1 VIBRATO   \u2022   CC64 SUSTAIN", "Arial", -9,
	              400, {175, 177, 145}, {354, 454, 811, 469}, false);

	solidRect (canvas, 45, 480, 770, 31, {255, 20, 25, 21});
	line (canvas, 45, 480, 815, 480, {255, 80, 88, 66}, 1);
	drawSkinText (canvas, u"For everyone who still patches by ear   \u2022   Tarnovelle DSP", "Arial", -11, 400,
	              {208, 197, 158}, {48, 485, 812, 505}, true);

	drawScrew (canvas, 30, 515, kScrewLight, kScrewDark);
	drawScrew (canvas, 820, 515, kScrewLight, kScrewDark);
}

// Everything above the controls: wood, front, scan lines, name plate,
// preset plates and group dividers.
void paintFront (Canvas& canvas)
{
	canvas.setTextRenderingHint (kTextHintAntiAliasGridFit);
	solidRect (canvas, 0, 0, kWidth, kHeight, {255, 44, 26, 17});

	paintCheek (canvas, 0);
	paintCheek (canvas, 836);

	// The lacquered front, darkening from top left to bottom right.
	canvas.aaFillRect ({24, 0, 812, kHeight},
	                   Fill::linear ({24, 0}, {836, kHeight}, {255, 43, 49, 43}, {255, 23, 29, 26}));

	// Scan lines every 3 pixels; their alpha cycles 7, 5, 8, 6, 4.
	for (int y = 3; y <= 525; y += 3)
		line (canvas, 25, y, 835, y, {static_cast<uint8_t> (y % 5 + 4), 139, 146, 119}, 1);

	paintNamePlate (canvas);
	paintPresetPlates (canvas);
	paintGroupDividers (canvas);
}

} // namespace

void Skin::paint (Canvas& canvas, const ParamBlock& values, int32_t activeParam)
{
	paintFront (canvas);
	for (int32_t id = 0; id < kNumParams; ++id)
	{
		paintLabel (canvas, id);
		paintControl (canvas, id, values[id], id == activeParam);
	}
	paintBottom (canvas);
}

void Skin::paintKept (Canvas& canvas)
{
	paintFront (canvas);
	for (int32_t id = 0; id < kNumParams; ++id)
		paintLabel (canvas, id);
	paintBottom (canvas);
}

void Skin::paintControl (Canvas& canvas, int32_t id, double value, bool active)
{
	const Point cell = skinLayout (kSkinVintage).cell (id);
	const int x0 = cell.x;
	const int y0 = cell.y;

	if (id != kLegatoParam)
		Skin::knob (canvas, static_cast<float> (x0 + 43), static_cast<float> (y0 + 61), value);

	// formatValue clamps the value; its 8-bit text is widened byte by byte.
	ValueText text;
	formatValue (id, value, text);
	char16_t wide[kValueTextSize];
	size_t i = 0;
	for (; i + 1 < kValueTextSize && text[i] != '\0'; ++i)
		wide[i] = static_cast<unsigned char> (text[i]);
	wide[i] = u'\0';

	solidRect (canvas, static_cast<float> (x0 + 3), static_cast<float> (y0 + 110), 81, 20,
	           active ? Argb{255, 67, 65, 43} : Argb{255, 20, 26, 22});
	drawSkinText (canvas, wide, "Consolas", -11, 400, active ? Rgb{255, 222, 153} : Rgb{209, 196, 151},
	              {x0, y0 + 108, x0 + 87, y0 + 132}, true);
}

void Skin::knob (Canvas& canvas, float cx, float cy, double value)
{
	// Scale: eleven ticks from −135° to +135°, long and heavy at both ends
	// and in the middle. The last lit tick is trunc(10·v + 0.001); the small
	// offset keeps values such as 0.7 − 0.4 on the tick they mean. Kept in
	// double so that NaN and huge values need no special case: NaN lights
	// none, +infinity all.
	const double lastLit = std::trunc (10.0 * value + 0.001);
	for (int i = 0; i <= 10; ++i)
	{
		const float degrees = -135.0f + 27.0f * static_cast<float> (i);
		const bool major = i % 5 == 0;
		const PointF inner = polar (cx, cy, 38.0f, degrees);
		const PointF outer = polar (cx, cy, major ? 44.0f : 41.0f, degrees);
		canvas.aaLine (inner, outer, i <= lastLit ? kTickLit : kTickDark, major ? 1.7f : 1.1f, false);
	}

	// Shadow, one pixel taller than wide, falling to the lower right.
	canvas.aaFillEllipse ({cx - 33, cy - 30, 68, 69}, Fill::solid ({125, 0, 0, 0}));
	// Skirt.
	canvas.aaFillEllipse ({cx - 32, cy - 32, 64, 64},
	                      Fill::linear ({cx, cy - 33}, {cx, cy + 33}, {255, 116, 112, 96}, {255, 32, 33, 29}));
	// Ring.
	canvas.aaFillEllipse ({cx - 30, cy - 30, 60, 60}, Fill::solid ({255, 14, 17, 16}));

	// Grip: 40 short radial strokes, the first at 12 o'clock.
	for (int k = 0; k < 40; ++k)
	{
		const float degrees = 9.0f * static_cast<float> (k);
		canvas.aaLine (polar (cx, cy, 27.0f, degrees), polar (cx, cy, 29.5f, degrees), {255, 74, 76, 66}, 1.15f,
		               false);
	}

	// Cap, lit from the upper left, with a highlight arc over its top.
	canvas.aaFillEllipse ({cx - 26, cy - 26, 52, 52}, Fill::linear ({cx - 15, cy - 27}, {cx + 18, cy + 25},
	                                                                 {255, 69, 73, 64}, {255, 20, 23, 22}));
	canvas.aaArc ({cx - 25, cy - 25, 50, 50}, 190.0f, 140.0f, {150, 93, 96, 81}, 0.8f, false);

	// Pointer. A value without a direction (NaN, infinite) leaves it out,
	// as a failed drawing call would. Whole turns are taken off in double
	// precision so that a huge value still fits a float.
	const double pointerAngle = 270.0 * value - 135.0;
	if (std::isfinite (pointerAngle))
	{
		const float pointerDegrees = static_cast<float> (std::fmod (pointerAngle, 360.0));
		canvas.aaLine (polar (cx, cy, 13.0f, pointerDegrees), polar (cx, cy, 23.0f, pointerDegrees),
		               {255, 241, 225, 181}, 3.0f, true);
	}

	// Centre.
	canvas.aaFillEllipse ({cx - 6, cy - 6, 12, 12}, Fill::solid ({255, 38, 42, 37}));
}

} // namespace Vintage
