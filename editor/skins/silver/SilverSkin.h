// The SILVER panel: a brushed-aluminium desk with a slate frame, corner
// screws, five preset plates (the one equal to the current sound marked)
// and sixteen control strips, fifteen of them vertical faders. Shapes are
// drawn with the canvas's anti-aliased operations, texts through
// drawSkinText.
#pragma once

#include "editor/canvas/Canvas.h"
#include "params/ParamTable.h"

#include <cstdint>

namespace Silver {

// Accent colour of a control: copper for Square, Triangle and Sine, red for
// Output, teal for all others. Used for the strip above the control, its
// fader's index line and the thumb outline while it is dragged.
inline constexpr Tarno::Argb kCopper = {255, 168, 87, 50};
inline constexpr Tarno::Argb kRed = {255, 166, 59, 47};
inline constexpr Tarno::Argb kTeal = {255, 32, 98, 112};

Tarno::Argb accentColour (int32_t id);

// The footer line: a dedication and a credit.
inline constexpr const char16_t* kFooterText =
	u"Dedicated to everyone who plays by ear   \u00B7   Designed and built by the Tarnovelle team";

// Index 0 to 4 of the factory preset whose sixteen values all lie within
// 0.00001 of `values`, or -1 when none does.
int matchingPreset (const Tarno::ParamBlock& values);

// Top-left corner (x0, y0) of the strip of parameter `id`: column id mod 8,
// row id div 8.
Tarno::Point stripOrigin (int32_t id);

struct Skin
{
	// Paints the whole 860 × 530 panel. activeParam is the parameter being
	// dragged (0 to 15), or -1; any other number highlights nothing.
	static void paint (Tarno::Canvas& canvas, const Tarno::ParamBlock& values, int32_t activeParam);

	// The panel in layers: paintKept draws everything that no value, no
	// active control and no preset changes (frame, brushing, header, the
	// strips with their labels and fader scales, legends, footer); over it
	// paintPresetPlates draws the five plates with the matching one marked,
	// and paintControl what parameter j's value moves (its fader's thumb,
	// value box and value text; Legato's box and text only). paint draws
	// the same calls, the plates after the header and each control's after
	// its strip.
	static void paintKept (Tarno::Canvas& canvas);
	static void paintPresetPlates (Tarno::Canvas& canvas, const Tarno::ParamBlock& values);
	static void paintControl (Tarno::Canvas& canvas, int32_t j, double value, bool active);

	// One fader: slot centred on x = cx, the mark of normalized 1 at y = top
	// and that of normalized 0 at top + 80. The value is used unclamped.
	// id selects the accent colour; highlighted while the user drags it.
	static void slider (Tarno::Canvas& canvas, int32_t id, float cx, float top, double value, bool highlighted);
};

} // namespace Silver
