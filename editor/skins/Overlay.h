// What the editor paints on top of every skin: the appearance selector in
// the top right corner and the Legato OFF/ON switch.
#pragma once

#include "editor/canvas/Canvas.h"
#include "params/ParamTable.h"
#include "params/Skins.h"

namespace Tarno {

// The overlay's colours in one skin.
struct OverlayColours
{
	Rgb strip;          // appearance strip
	Rgb label;          // labels and unselected button text
	Rgb buttonBorder;
	Rgb buttonFace;
	Rgb selectedFace;
	Rgb selectedText;
	Rgb legatoFrame;
	Rgb litCell;
	Rgb litText;
	Rgb unlitCell;
	Rgb unlitText;
};

// The colour set of `skin`; any index outside 0..2 gets ORIGINAL's.
const OverlayColours& overlayColours (int32_t skin);

// The text of skin button k (0..2): "ORIGINAL", "VINTAGE", "SILVER".
const char* skinButtonText (int32_t k);

// Legato counts as on from normalized 0.5 up (NaN counts as off).
inline bool legatoIsOn (double normalized) { return normalized >= 0.5; }

// Paints the appearance selector (with the button of `skin` marked) and the
// Legato switch (lit by values[kLegatoParam]) in the colours of `skin`. Each of
// the two is drawn between its own canvas.save() and canvas.restore().
// A skin index outside 0..2 marks no button.
void paintOverlay (Canvas& canvas, const ParamBlock& values, int32_t skin);

// The two halves of paintOverlay, each between its own save and restore:
// the appearance selector, which no value changes, and the Legato switch.
void paintOverlayKept (Canvas& canvas, int32_t skin);
void paintLegatoSwitchStage (Canvas& canvas, const ParamBlock& values, int32_t skin);

} // namespace Tarno
