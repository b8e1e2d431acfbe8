// Paints the panel of the selected skin, without the overlay (paintSkin) or
// with it, at a content scale (paintPanel).
#pragma once

#include "editor/Canvas.h"
#include "params/ParamTable.h"

namespace Tarno {

// skin 0 ORIGINAL, 1 VINTAGE, 2 SILVER; any other index paints ORIGINAL.
// activeParam is the parameter being dragged, or -1.
void paintSkin (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam);

// The whole panel as the editor shows it, the skin and then the overlay, at
// content scale f (acceptableContentScale) on a canvas of the scaled size;
// at 1 straight onto the canvas.
void paintPanel (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam, double f = 1.0);

} // namespace Tarno
