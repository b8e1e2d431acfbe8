#include "editor/skins/Overlay.h"

#include "editor/skins/EditorFonts.h"
#include "editor/skins/PanelLayout.h"

namespace Tarno {

namespace {

const OverlayColours kColours[kNumSkins] = {
	// ORIGINAL: the strip has the panel's background colour.
	{{20, 34, 38}, {168, 195, 193}, {68, 95, 98}, {33, 53, 58}, {226, 176, 104}, {21, 35, 38},
	 {80, 107, 109}, {226, 176, 104}, {21, 35, 38}, {33, 53, 58}, {168, 195, 193}},
	// VINTAGE
	{{198, 190, 157}, {51, 62, 46}, {106, 113, 82}, {215, 207, 174}, {45, 62, 47}, {239, 230, 187},
	 {129, 131, 104}, {221, 213, 179}, {45, 62, 47}, {20, 26, 22}, {209, 196, 151}},
	// SILVER
	{{204, 216, 224}, {46, 76, 94}, {128, 151, 167}, {232, 240, 244}, {33, 94, 115}, {240, 251, 255},
	 {88, 107, 120}, {33, 94, 115}, {240, 251, 255}, {232, 240, 244}, {46, 76, 94}},
};

const char* const kSkinButtonTexts[kNumSkins] = {"ORIGINAL", "VINTAGE", "SILVER"};

constexpr unsigned kCentredFlags = kTextCenter | kTextVCenter | kTextSingleLine | kTextNoPrefix;

void paintAppearanceSelector (Canvas& canvas, const OverlayColours& c, int32_t skin)
{
	canvas.fillRect ({514, 16, 826, 78}, c.strip);
	canvas.textInRect ({523, 20, 690, 36}, "APPEARANCE", kSmallFont, c.label,
	                   kTextSingleLine | kTextVCenter | kTextNoPrefix);
	canvas.textInRect ({723, 20, 817, 36}, "VST3 / 1.2", kSmallFont, c.label, kCentredFlags);

	for (int32_t k = 0; k < kNumSkins; ++k)
	{
		const Rect r = kOverlayLayout.skinButton (k);
		const bool selected = k == skin;
		canvas.fillRect (r, c.buttonBorder);
		canvas.fillRect ({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, selected ? c.selectedFace : c.buttonFace);
		canvas.textInRect ({r.left, r.top + 1, r.right, r.bottom - 1}, kSkinButtonTexts[k], kSmallFont,
		                   selected ? c.selectedText : c.label, kCentredFlags);
	}
}

void paintLegatoSwitch (Canvas& canvas, const OverlayColours& c, bool on)
{
	const PixelBox& box = kOverlayLayout.legato;
	const int onLeft = kOverlayLayout.legatoOnLeft;
	canvas.fillRect ({box.left, box.top, box.right + 1, box.bottom + 1}, c.legatoFrame);

	struct Cell
	{
		Rect face;
		Rect text;
		const char* label;
		bool lit;
	};
	// Two cells inside a 2-pixel frame, parted by a 2-pixel bar.
	const Cell cells[2] = {
		{{box.left + 2, box.top + 2, onLeft - 2, box.bottom - 1}, {box.left + 2, box.top + 3, onLeft - 2, box.bottom - 3},
		 "OFF", !on},
		{{onLeft, box.top + 2, box.right - 1, box.bottom - 1}, {onLeft, box.top + 3, box.right - 1, box.bottom - 3},
		 "ON", on},
	};
	for (const Cell& cell : cells)
	{
		canvas.fillRect (cell.face, cell.lit ? c.litCell : c.unlitCell);
		canvas.textInRect (cell.text, cell.label, kSmallFont, cell.lit ? c.litText : c.unlitText, kCentredFlags);
	}
}

} // namespace

const OverlayColours& overlayColours (int32_t skin)
{
	return kColours[skin >= 0 && skin < kNumSkins ? skin : kSkinOriginal];
}

const char* skinButtonText (int32_t k)
{
	return k >= 0 && k < kNumSkins ? kSkinButtonTexts[k] : "";
}

void paintOverlay (Canvas& canvas, const ParamBlock& values, int32_t skin)
{
	paintOverlayKept (canvas, skin);
	paintLegatoSwitchStage (canvas, values, skin);
}

void paintOverlayKept (Canvas& canvas, int32_t skin)
{
	canvas.save ();
	paintAppearanceSelector (canvas, overlayColours (skin), skin);
	canvas.restore ();
}

void paintLegatoSwitchStage (Canvas& canvas, const ParamBlock& values, int32_t skin)
{
	canvas.save ();
	paintLegatoSwitch (canvas, overlayColours (skin), legatoIsOn (values[kLegatoParam]));
	canvas.restore ();
}

} // namespace Tarno
