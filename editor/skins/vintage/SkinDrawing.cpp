#include "editor/skins/vintage/SkinDrawing.h"

#include <cstdlib>

namespace Tarno {

void drawSkinText (Canvas& canvas, const char16_t* text, const char* face, int height, int weight, Rgb colour,
                   const Rect& rect, bool centred)
{
	const FontSpec font = {face, std::abs (height), weight};
	unsigned flags = kTextSingleLine | kTextVCenter | kTextNoPrefix;
	if (centred)
		flags |= kTextCenter;
	canvas.textInRectW (rect, text, font, colour, flags);
}

void drawScrew (Canvas& canvas, float x, float y, Argb light, Argb dark)
{
	// Shadow: one pixel left of the head, three past its right and bottom.
	canvas.aaFillEllipse ({x, y, 11.0f, 11.0f}, Fill::solid ({120, 0, 0, 0}));
	// Head, lit from the top left.
	canvas.aaFillEllipse ({x + 1.0f, y, 8.0f, 8.0f},
	                      Fill::linear ({x + 1.0f, y}, {x + 9.0f, y + 8.0f}, light, dark));
	// Slot, rising slightly to the right.
	canvas.aaLine ({x + 3.0f, y + 5.0f}, {x + 7.0f, y + 3.0f}, {255, 23, 23, 21}, 1.4f, false);
}

} // namespace Tarno
