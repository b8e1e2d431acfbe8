// Paints the panel of the selected skin, without the overlay (paintSkin) or
// with it, at a content scale (paintPanel); and the same panel in layers,
// for a window that keeps what does not change between paints.
#pragma once

#include "editor/canvas/Canvas.h"
#include "params/ParamTable.h"

#include <bitset>

namespace Tarno {

// skin 0 ORIGINAL, 1 VINTAGE, 2 SILVER; any other index paints ORIGINAL.
// activeParam is the parameter being dragged, or -1.
void paintSkin (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam);

// The whole panel as the editor shows it, the skin and then the overlay, at
// content scale f (acceptableContentScale) on a canvas of the scaled size;
// at 1 straight onto the canvas.
void paintPanel (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam, double f = 1.0);

// ---- The panel in layers ---------------------------------------------------
// The kept layer is everything that no value, active control or preset
// changes: it depends on the skin and the scale only. The moving pieces are
// drawn over it: piece i < kNumParams is control i (its knob's or fader's
// moving parts, value box and value text), then come the preset plates
// (SILVER marks the one the values match; the other skins draw nothing for
// this piece) and the Legato switch. The kept layer with all pieces drawn
// over it in this order has the pixels of paintPanel; so has any area of it
// in which the pieces that touch the area are drawn again, in order, over
// the kept layer's pixels (pieceBox gives the area a piece touches).
constexpr int kPresetPiece = kNumParams;
constexpr int kLegatoSwitchPiece = kNumParams + 1;
constexpr int kPanelPieces = kNumParams + 2;
using PieceSet = std::bitset<kPanelPieces>;

void paintKeptLayer (Canvas& canvas, int32_t skin, double f = 1.0);
// The pieces in `which`, in piece order.
void paintPieces (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam, const PieceSet& which,
                  double f = 1.0);

// The pieces of `skin` that look different with `now` than with `before`
// (the values compared bit for bit). Values outside [0, 1] may draw outside
// pieceBox (a SILVER thumb follows its value unclamped): then every piece.
PieceSet changedPieces (int32_t skin, const ParamBlock& before, int32_t activeBefore, const ParamBlock& now,
                        int32_t activeNow);

// Window pixels (right and bottom exclusive) that hold everything piece p
// draws at content scale f, whatever its value, within the panel of
// round (860 f) × round (530 f) pixels.
Rect pieceBox (int piece, double f);

} // namespace Tarno
