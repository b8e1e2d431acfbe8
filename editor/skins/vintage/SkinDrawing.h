// Two drawing procedures that the GDI+-style skins (VINTAGE and SILVER)
// share: one line of text drawn through GDI onto the anti-aliased picture,
// and one slotted screw head.
#pragma once

#include "editor/canvas/Canvas.h"

namespace Tarno {

// Draws one line of text in `rect`: vertically centred, no '&' prefixes,
// clipped at the rectangle; horizontally centred when `centred`, otherwise
// left-aligned. `height` is the character height in pixels; a negative
// height (the CreateFontW form) means the same as its absolute value.
// `weight` is 400 for normal, 700 for bold. The canvas flushes the
// anti-aliased drawing before the text is drawn over it.
void drawSkinText (Canvas& canvas, const char16_t* text, const char* face, int height, int weight, Rgb colour,
                   const Rect& rect, bool centred);

// Draws one slotted screw head whose 11 × 11 shadow ellipse has its
// bounding box's top-left corner at (x, y); the 8 × 8 head sits at
// (x + 1, y) with a diagonal gradient from `light` to `dark`.
void drawScrew (Canvas& canvas, float x, float y, Argb light, Argb dark);

} // namespace Tarno
