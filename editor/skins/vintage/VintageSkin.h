// The VINTAGE panel: wooden side cheeks, a dark lacquered front with faint
// scan lines, a cream name plate with screws, five cream preset plates and
// sixteen controls, fifteen of them rotary knobs with a lit scale. Shapes
// are anti-aliased; texts are drawn with drawSkinText.
#pragma once

#include "editor/canvas/Canvas.h"
#include "params/ParamTable.h"

#include <cstdint>

namespace Vintage {

struct Skin
{
	// Paints the whole 860 × 530 panel from the 16 normalized values. The
	// value box and text of parameter `activeParam` (the one being dragged)
	// are highlighted; −1 or any other ID outside 0..15 highlights none. No
	// knob is drawn for Legato (ID 14): the editor's overlay puts its switch
	// there, and its appearance selector over the right of the name plate.
	static void paint (Tarno::Canvas& canvas, const Tarno::ParamBlock& values, int32_t activeParam);

	// The panel in two layers: paintKept draws everything that no value and
	// no active control changes (wood, front, plates, labels, legends);
	// paintControl draws what parameter id's value moves over it (its knob,
	// value box and value text; Legato's box and text only). paint draws
	// the same calls, each control's after its label.
	static void paintKept (Tarno::Canvas& canvas);
	static void paintControl (Tarno::Canvas& canvas, int32_t id, double value, bool active);

	// Draws one knob centred at (cx, cy) for the normalized value, which is
	// taken as it is (not clamped): the scale lights ticks 0 to
	// trunc(10·value + 0.001), and the pointer sits at 270·value − 135
	// degrees clockwise from 12 o'clock.
	static void knob (Tarno::Canvas& canvas, float cx, float cy, double value);
};

} // namespace Vintage
