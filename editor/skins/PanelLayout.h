// Where things are on the 860 × 530 panel: one table per skin, read both by
// the skin's painting and by the editor's hit-testing, so that what is drawn
// and what takes a press cannot drift apart. Ranges are in panel pixels and
// inclusive at both ends.
#pragma once

#include "editor/canvas/Canvas.h"
#include "params/Skins.h"

#include <cstdint>

namespace Tarno {

constexpr int32_t kPanelWidth = 860;
constexpr int32_t kPanelHeight = 530;

struct PixelBox
{
	int32_t left, top, right, bottom;
	bool contains (int32_t x, int32_t y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

struct SkinLayout
{
	// Control cells: parameter i's cell has its corner at
	// (cellLeft + cellPitchX · (i mod cellColumns), cellTop + cellPitchY · (i div cellColumns)).
	int32_t cellColumns;
	int32_t cellLeft, cellTop;
	int32_t cellPitchX, cellPitchY;
	// The part of a cell that takes presses, drags and wheel turns, relative
	// to the cell's corner. The Legato cell has none: its switch is there.
	PixelBox control;

	// Preset band: button n is presetWidth wide from presetLeft + presetPitch · n,
	// rows presetTop to presetBottom. A press in the gap after a button
	// counts for that button.
	int32_t presetLeft, presetTop, presetBottom;
	int32_t presetWidth, presetPitch;

	// Faders (0 travel for knobs): value 1 at faderTop below the cell's
	// corner, 0 at faderTop + faderTravel; a press within faderThumbReach of
	// the thumb's centre grabs the thumb instead of moving it there.
	int32_t faderTop, faderTravel, faderThumbReach;

	Point cell (int32_t id) const
	{
		return {cellLeft + cellPitchX * (id % cellColumns), cellTop + cellPitchY * (id / cellColumns)};
	}
	bool hasFaders () const { return faderTravel > 0; }
	PixelBox presetBand () const;
};

// The table of skin `skin`; ORIGINAL's for an index outside the skins.
const SkinLayout& skinLayout (int32_t skin);

// The overlay every skin shares: the skin buttons and the Legato switch.
struct OverlayLayout
{
	// Skin button k: x from skinButtonLeft + skinButtonPitch · k, skinButtonWidth
	// pixels wide (paint) and one pixel more deep for presses.
	int32_t skinButtonLeft, skinButtonTop, skinButtonHeight;
	int32_t skinButtonWidth, skinButtonPitch;
	// The Legato switch: OFF left of legatoOnLeft, ON from there.
	PixelBox legato;
	int32_t legatoOnLeft;

	// The painted rectangle of skin button k (right and bottom exclusive).
	Rect skinButton (int32_t k) const;
	// The skin button at (x, y), or -1.
	int32_t skinButtonAt (int32_t x, int32_t y) const;
};

extern const OverlayLayout kOverlayLayout;

} // namespace Tarno
