#include "editor/skins/silver/SilverSkin.h"

#include "editor/skins/PanelLayout.h"
#include "editor/skins/vintage/SkinDrawing.h"
#include "params/Presets.h"

#include <cmath>
#include <cstddef>

namespace Silver {

using Tarno::Argb;
using Tarno::Canvas;
using Tarno::Fill;
using Tarno::ParamBlock;
using Tarno::PointF;
using Tarno::Rect;
using Tarno::RectF;
using Tarno::Rgb;

namespace {

constexpr double kMatchTolerance = 0.00001;

// Fader travel in pixels from normalized 1 (top) down to normalized 0.

// A line with flat ends, as every line of this panel has.
void line (Canvas& canvas, float x1, float y1, float x2, float y2, Argb colour, float width)
{
	canvas.aaLine (PointF{x1, y1}, PointF{x2, y2}, colour, width, false);
}

void fillSolid (Canvas& canvas, float x, float y, float w, float h, Argb colour)
{
	canvas.aaFillRect (RectF{x, y, w, h}, Fill::solid (colour));
}

void text (Canvas& canvas, const char16_t* t, const char* face, int height, int weight, Rgb colour, Rect r,
           bool centred)
{
	Tarno::drawSkinText (canvas, t, face, height, weight, colour, r, centred);
}

// The fader's scale and slot (slider without its thumb).
void sliderScale (Canvas& canvas, float cx, float top)
{
	// Scale: a tick pair every 8 pixels, long and heavier at 0, 0.5 and 1.
	const Argb tickColour = {255, 75, 91, 101};
	for (int i = 0; i <= 10; ++i)
	{
		const float y = top + 8.0f * static_cast<float> (i);
		const bool major = i % 5 == 0;
		const float length = major ? 10.0f : 5.0f;
		const float width = major ? 1.3f : 0.8f;
		line (canvas, cx - 21 - length, y, cx - 21, y, tickColour, width);
		line (canvas, cx + 21, y, cx + 21 + length, y, tickColour, width);
	}

	// Slot: a dark groove between a shaded left and a lit right lip. Its fill
	// sits on whole pixels.
	line (canvas, cx - 4, top - 1, cx - 4, top + 81, Argb{255, 105, 120, 130}, 1.4f);
	line (canvas, cx + 4, top - 1, cx + 4, top + 81, Argb{255, 247, 250, 252}, 1.4f);
	fillSolid (canvas, static_cast<float> (static_cast<int> (cx - 3)), static_cast<float> (static_cast<int> (top - 1)),
	           6, 82, Argb{255, 26, 35, 41});
}

// The fader's thumb for the value.
void sliderThumb (Canvas& canvas, int32_t id, float cx, float top, double value, bool highlighted)
{
	const Argb accent = accentColour (id);

	// Thumb centre: top for 1, top + 80 for 0.
	const double travel = Tarno::skinLayout (Tarno::kSkinSilver).faderTravel;
	const float ty = static_cast<float> (top + travel - travel * value);

	fillSolid (canvas, cx - 16, ty - 7, 34, 20, Argb{95, 13, 26, 34});
	canvas.aaFillRect (RectF{cx - 16, ty - 9, 32, 18}, Fill::linear (PointF{cx, ty - 9}, PointF{cx, ty + 9},
	                                                                Argb{255, 246, 248, 249}, Argb{255, 147, 163, 174}));
	if (highlighted)
		canvas.aaRectOutline (RectF{cx - 16, ty - 9, 32, 18}, accent, 1.5f);
	else
		canvas.aaRectOutline (RectF{cx - 16, ty - 9, 32, 18}, Argb{255, 88, 107, 120}, 0.8f);
	line (canvas, cx - 14, ty - 7, cx + 14, ty - 7, Argb{255, 255, 255, 255}, 1);
	line (canvas, cx - 13, ty + 5, cx + 13, ty + 5, Argb{255, 97, 117, 132}, 0.7f);
	line (canvas, cx - 13, ty - 4, cx + 13, ty - 4, Argb{255, 191, 205, 214}, 0.7f);
	line (canvas, cx - 15, ty, cx + 15, ty, accent, 2.7f);
}

void paintPlates (Canvas& canvas, int marked)
{
	const Tarno::SkinLayout& layout = Tarno::skinLayout (Tarno::kSkinSilver);
	for (int n = 0; n < Tarno::kNumFactoryPresets; ++n)
	{
		const int x = layout.presetLeft + layout.presetPitch * n;
		const float xf = static_cast<float> (x);
		fillSolid (canvas, xf, 107, 150, 28, Argb{255, 79, 102, 116});
		canvas.aaFillRect (RectF{xf, 105, 150, 27}, Fill::linear (PointF{xf, 105}, PointF{xf, 131},
		                                                          Argb{255, 239, 244, 247}, Argb{255, 177, 192, 202}));
		line (canvas, xf, 105, xf + 150, 105, Argb{255, 254, 255, 255}, 1);
		const Rgb titleColour = n == marked ? Rgb{27, 88, 105} : Rgb{54, 75, 89};
		text (canvas, Tarno::kFactoryPresets[n].capitalTitle, "Arial", -10, 700, titleColour, {x, 107, x + 150, 129},
		      true);
		if (n == marked)
			fillSolid (canvas, xf + 1, 130, 148, 3, Argb{255, 40, 102, 119});
	}
}

const char16_t* const kLabels[Tarno::kNumParams] = {
	u"SQUARE",     u"TRIANGLE",    u"SINE",      u"ATTACK",    u"RELEASE", u"GLISSANDO", u"VIB. RATE", u"VIB. DEPTH",
	u"TREM. RATE", u"TREM. DEPTH", u"TRANSPOSE", u"FINE TUNE", u"OUTPUT",  u"VELOCITY",  u"LEGATO",    u"SINE COLOR",
};

// The strip of control j: its translucent plate, edges, accent and label,
// and its fader's scale and slot.
void paintStrip (Canvas& canvas, int32_t j)
{
	const Tarno::Point origin = stripOrigin (j);
	const int x0 = origin.x;
	const int y0 = origin.y;
	const float xf = static_cast<float> (x0);
	const float yf = static_cast<float> (y0);

	// Slightly translucent, so that the brushing shows through.
	canvas.aaFillRect (RectF{xf - 1, yf - 9, 91, 145},
	                   Fill::linear (PointF{xf, yf - 10}, PointF{xf + 92, yf + 131}, Argb{210, 235, 240, 243},
	                                 Argb{200, 180, 195, 205}));
	line (canvas, xf - 1, yf - 9, xf - 1, yf + 136, Argb{255, 246, 251, 253}, 1);
	line (canvas, xf + 90, yf - 9, xf + 90, yf + 136, Argb{255, 126, 147, 161}, 1);
	fillSolid (canvas, xf + 6, yf - 9, 77, 2, accentColour (j));
	text (canvas, kLabels[j], "Arial", -10, 700, Rgb{43, 64, 78}, {x0 - 2, y0 - 1, x0 + 90, y0 + 15}, true);

	// Legato has no fader: the editor's overlay puts its switch here.
	if (j != Tarno::kLegatoParam)
		sliderScale (canvas, xf + 43, yf + static_cast<float> (Tarno::skinLayout (Tarno::kSkinSilver).faderTop));
}

// Slate frame, brushed front, its edges, the header and the corner screws.
void paintFrame (Canvas& canvas)
{
	// Slate frame, then the metal front over all but 14 pixels on each side.
	fillSolid (canvas, 0, 0, 860, 530, Argb{255, 30, 39, 45});
	canvas.aaFillRect (RectF{14, 0, 832, 530}, Fill::linear (PointF{0, 0}, PointF{860, 530}, Argb{255, 237, 242, 245},
	                                                        Argb{255, 161, 177, 187}));

	// Brushing: every third line a faint dark one, the others faint light.
	for (int y = 0; y < 530; ++y)
	{
		const float yf = static_cast<float> (y);
		line (canvas, 15, yf, 845, yf, y % 3 == 0 ? Argb{14, 49, 70, 86} : Argb{18, 255, 255, 255}, 1);
	}

	// Lit left edge, shaded right edge of the front.
	line (canvas, 14, 0, 14, 530, Argb{255, 243, 249, 252}, 1.5f);
	line (canvas, 845, 0, 845, 530, Argb{255, 100, 122, 138}, 2);

	// Header rule: a dark line with a light one under it.
	line (canvas, 31, 88, 829, 88, Argb{255, 82, 106, 121}, 1);
	line (canvas, 31, 90, 829, 90, Argb{255, 245, 249, 251}, 1);

	text (canvas, u"TARNOVELLE", "Arial", -31, 700, Rgb{30, 49, 61}, {38, 20, 448, 59}, false);
	text (canvas, u"TVL-404-B   /   MONOPHONIC SYNTHESIZER", "Arial", -10, 400, Rgb{79, 103, 117}, {40, 60, 480, 76},
	      false);

	const Argb screwLight = {255, 245, 248, 250};
	const Argb screwDark = {255, 76, 89, 99};
	Tarno::drawScrew (canvas, 18, 8, screwLight, screwDark);
	Tarno::drawScrew (canvas, 831, 8, screwLight, screwDark);
	Tarno::drawScrew (canvas, 18, 514, screwLight, screwDark);
	Tarno::drawScrew (canvas, 831, 514, screwLight, screwDark);
}

// Lower rule, the two legends under the strips and the footer band.
void paintFooter (Canvas& canvas)
{
	line (canvas, 38, 448, 821, 448, Argb{255, 104, 128, 142}, 1);
	line (canvas, 38, 449, 821, 449, Argb{255, 240, 246, 249}, 1);
	text (canvas, u"VCO  /  MIXER  /  VCA", "Arial", -10, 700, Rgb{57, 82, 98}, {39, 455, 299, 474}, false);
	text (canvas, u"MIDI   \u00B7   BEND \u00B12   \u00B7   CC1 VIBRATO   \u00B7   CC64 SUSTAIN", "Arial", -10, 400,
	      Rgb{57, 82, 98}, {354, 455, 822, 474}, false);

	// Footer band with its top line and one centred line of text.
	fillSolid (canvas, 38, 484, 784, 26, Argb{255, 176, 192, 201});
	line (canvas, 38, 484, 822, 484, Argb{255, 140, 161, 174}, 1);
	text (canvas, kFooterText, "Arial", -11, 400, Rgb{45, 70, 87}, {42, 486, 818, 507}, true);
}

} // namespace

Argb accentColour (int32_t id)
{
	if (id >= Tarno::kSquareParam && id <= Tarno::kSineParam)
		return kCopper;
	if (id == Tarno::kOutputParam)
		return kRed;
	return kTeal;
}

int matchingPreset (const ParamBlock& values)
{
	int match = -1;
	for (int n = 0; n < Tarno::kNumFactoryPresets; ++n)
	{
		bool all = true;
		for (int32_t i = 0; i < Tarno::kNumParams; ++i)
		{
			// Written as "within", so that a NaN value matches nothing.
			if (!(std::fabs (Tarno::kFactoryPresets[n].values[i] - values[i]) <= kMatchTolerance))
			{
				all = false;
				break;
			}
		}
		if (all)
			match = n;
	}
	return match;
}

Tarno::Point stripOrigin (int32_t id)
{
	return Tarno::skinLayout (Tarno::kSkinSilver).cell (id);
}

void Skin::slider (Canvas& canvas, int32_t id, float cx, float top, double value, bool highlighted)
{
	sliderScale (canvas, cx, top);
	sliderThumb (canvas, id, cx, top, value, highlighted);
}

void Skin::paintControl (Canvas& canvas, int32_t j, double value, bool active)
{
	const Tarno::Point origin = stripOrigin (j);
	const int x0 = origin.x;
	const int y0 = origin.y;
	const float xf = static_cast<float> (x0);
	const float yf = static_cast<float> (y0);

	if (j != Tarno::kLegatoParam)
		sliderThumb (canvas, j, xf + 43, yf + static_cast<float> (Tarno::skinLayout (Tarno::kSkinSilver).faderTop),
		             value, active);

	// formatValue clamps the value; its bytes are ASCII, widened one by one.
	Tarno::ValueText narrow;
	Tarno::formatValue (j, value, narrow);
	char16_t wide[Tarno::kValueTextSize];
	for (size_t k = 0; k < Tarno::kValueTextSize; ++k)
	{
		wide[k] = static_cast<char16_t> (static_cast<unsigned char> (narrow[k]));
		if (narrow[k] == '\0')
			break;
	}
	wide[Tarno::kValueTextSize - 1] = u'\0';

	fillSolid (canvas, xf + 3, yf + 111, 81, 18, active ? Argb{255, 29, 81, 98} : Argb{255, 40, 57, 68});
	line (canvas, xf + 3, yf + 130, xf + 84, yf + 130, Argb{255, 241, 247, 250}, 1);
	text (canvas, wide, "Consolas", -11, 400, Rgb{222, 240, 241}, {x0, y0 + 109, x0 + 87, y0 + 132}, true);
}

void Skin::paintPresetPlates (Canvas& canvas, const ParamBlock& values)
{
	paintPlates (canvas, matchingPreset (values));
}

void Skin::paint (Canvas& canvas, const ParamBlock& values, int32_t activeParam)
{
	paintFrame (canvas);
	paintPresetPlates (canvas, values);
	for (int32_t j = 0; j < Tarno::kNumParams; ++j)
	{
		paintStrip (canvas, j);
		paintControl (canvas, j, values[j], j == activeParam);
	}
	paintFooter (canvas);
}

void Skin::paintKept (Canvas& canvas)
{
	paintFrame (canvas);
	for (int32_t j = 0; j < Tarno::kNumParams; ++j)
		paintStrip (canvas, j);
	paintFooter (canvas);
}

} // namespace Silver
