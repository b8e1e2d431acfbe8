// Paints the panel of the selected skin (without the overlay).
#pragma once

#include "editor/Canvas.h"
#include "params/ParamTable.h"

namespace Tarno {

// skin 0 ORIGINAL, 1 VINTAGE, 2 SILVER; any other index paints ORIGINAL.
// activeParam is the parameter being dragged, or -1.
void paintSkin (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam);

} // namespace Tarno
