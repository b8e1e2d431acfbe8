#include "editor/skins/SkinPainter.h"

#include "editor/skins/OriginalSkin.h"
#include "editor/skins/Overlay.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/silver/SilverSkin.h"
#include "editor/skins/vintage/VintageSkin.h"
#include "params/Skins.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Tarno {

namespace {

// Draws on the canvas at scale f, through a ScaledCanvas but at 1.
template <typename Paint>
void atScale (Canvas& canvas, double f, Paint paint)
{
	ScaledCanvas scaled (canvas, f);
	paint (f == 1.0 ? canvas : static_cast<Canvas&> (scaled));
}

bool sameBits (double a, double b) { return std::memcmp (&a, &b, sizeof a) == 0; }

bool allNormalized (const ParamBlock& values)
{
	return std::all_of (values.begin (), values.end (), [] (double v) { return v >= 0.0 && v <= 1.0; });
}

// What a piece may touch, in panel pixels (right and bottom exclusive). A
// control's moving parts lie within its column of the cell grid, from
// below its label to above the next row's label; the three skins share the
// grid.
Rect panelBox (int piece)
{
	if (piece == kPresetPiece)
		return {28, 103, 822, 138};
	if (piece == kLegatoSwitchPiece)
	{
		const PixelBox& b = kOverlayLayout.legato;
		return {b.left, b.top, b.right + 1, b.bottom + 1};
	}
	const Point cell = skinLayout (kSkinOriginal).cell (piece);
	return {cell.x - 3, cell.y + 8, cell.x + 100, cell.y + 140};
}

} // namespace

void paintSkin (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam)
{
	canvas.save ();
	if (skin == kSkinVintage)
		Vintage::Skin::paint (canvas, values, activeParam);
	else if (skin == kSkinSilver)
		Silver::Skin::paint (canvas, values, activeParam);
	else
		paintOriginal (canvas, values);
	canvas.restore ();
}

void paintPanel (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam, double f)
{
	atScale (canvas, f, [&] (Canvas& target) {
		paintSkin (target, skin, values, activeParam);
		paintOverlay (target, values, skin);
	});
}

void paintKeptLayer (Canvas& canvas, int32_t skin, double f)
{
	atScale (canvas, f, [&] (Canvas& target) {
		target.save ();
		if (skin == kSkinVintage)
			Vintage::Skin::paintKept (target);
		else if (skin == kSkinSilver)
			Silver::Skin::paintKept (target);
		else
			paintOriginalKept (target);
		target.restore ();
		paintOverlayKept (target, skin);
	});
}

void paintPieces (Canvas& canvas, int32_t skin, const ParamBlock& values, int32_t activeParam, const PieceSet& which,
                  double f)
{
	if (which.none ())
		return;
	atScale (canvas, f, [&] (Canvas& target) {
		target.save ();
		if (skin == kSkinVintage)
			target.setTextRenderingHint (kTextHintAntiAliasGridFit); // as the whole skin's paint sets it
		if (skin == kSkinSilver && which[kPresetPiece])
			Silver::Skin::paintPresetPlates (target, values);
		for (int32_t id = 0; id < kNumParams; ++id)
		{
			if (!which[size_t (id)])
				continue;
			const bool active = id == activeParam;
			if (skin == kSkinVintage)
				Vintage::Skin::paintControl (target, id, values[size_t (id)], active);
			else if (skin == kSkinSilver)
				Silver::Skin::paintControl (target, id, values[size_t (id)], active);
			else
				paintOriginalControl (target, id, values[size_t (id)]);
		}
		target.restore ();
		if (which[kLegatoSwitchPiece])
			paintLegatoSwitchStage (target, values, skin);
	});
}

PieceSet changedPieces (int32_t skin, const ParamBlock& before, int32_t activeBefore, const ParamBlock& now,
                        int32_t activeNow)
{
	PieceSet changed;
	if (!allNormalized (before) || !allNormalized (now))
		return changed.set ();
	for (int32_t id = 0; id < kNumParams; ++id)
		changed[size_t (id)] = !sameBits (before[size_t (id)], now[size_t (id)]) ||
		                       (id == activeBefore) != (id == activeNow);
	changed[kPresetPiece] = skin == kSkinSilver && Silver::matchingPreset (before) != Silver::matchingPreset (now);
	changed[kLegatoSwitchPiece] = legatoIsOn (before[kLegatoParam]) != legatoIsOn (now[kLegatoParam]);
	return changed;
}

Rect pieceBox (int piece, double f)
{
	// Two pixels more on each side for the anti-aliased edges of the scaled
	// shapes.
	const Rect r = panelBox (piece);
	auto down = [f] (int v) { return static_cast<int> (std::floor (v * f)) - 2; };
	auto up = [f] (int v) { return static_cast<int> (std::ceil (v * f)) + 2; };
	return {std::max (down (r.left), 0), std::max (down (r.top), 0),
	        std::min (up (r.right), scaledLength (kPanelWidth, f)), std::min (up (r.bottom), scaledLength (kPanelHeight, f))};
}

} // namespace Tarno
