// The ORIGINAL panel: plain shapes and left-aligned text on a dark
// blue-green ground, drawn through a Canvas.
#pragma once

#include "editor/canvas/Canvas.h"
#include "params/ParamTable.h"

namespace Tarno {

// Panel colours.
namespace OriginalColours {
inline constexpr Rgb kBackground = {20, 34, 38};
inline constexpr Rgb kTitle = {240, 235, 218};
inline constexpr Rgb kSubtitle = {126, 181, 184}; // also the first footer line
inline constexpr Rgb kPresetFace = {42, 62, 66};
inline constexpr Rgb kPresetText = {231, 220, 184};
inline constexpr Rgb kLabel = {174, 191, 187};
inline constexpr Rgb kRing = {80, 107, 109};
inline constexpr Rgb kPointer = {240, 180, 90};
inline constexpr Rgb kValue = {237, 225, 201};
inline constexpr Rgb kSecondFooter = {136, 150, 149};
} // namespace OriginalColours

// End of the knob pointer at `radius` pixels from the knob centre, relative
// to the centre (y pointing down), for the normalized value v. The value is
// clamped first (NaN and infinities count as 0); the pointer sweeps 270
// degrees clockwise from down-left (v = 0) through straight up (v = 0.5).
Point originalPointerOffset (double v, int radius);

// Draws the whole panel from the 16 normalized values. Leaves the canvas
// state bracketing to the caller (see paintOriginalStage).
void paintOriginal (Canvas& canvas, const ParamBlock& values);

// The panel in two layers: paintOriginalKept draws everything that no
// value changes (ground, title, preset buttons, labels, rings, footer);
// paintOriginalControl what parameter i's value moves over it (its knob's
// pointer and its value text). paintOriginal draws the same calls, each
// control's after its label and ring.
void paintOriginalKept (Canvas& canvas);
void paintOriginalControl (Canvas& canvas, int32_t i, double value);

// paintOriginal between canvas.save() and canvas.restore(), as the editor
// paints it.
void paintOriginalStage (Canvas& canvas, const ParamBlock& values);

} // namespace Tarno
