#include "editor/Overlay.h"

#include "editor/EditorFonts.h"

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
		const int dx = 98 * k;
		const bool selected = k == skin;
		canvas.fillRect ({523 + dx, 42, 617 + dx, 69}, c.buttonBorder);
		canvas.fillRect ({524 + dx, 43, 616 + dx, 68}, selected ? c.selectedFace : c.buttonFace);
		canvas.textInRect ({523 + dx, 43, 617 + dx, 68}, kSkinButtonTexts[k], kSmallFont,
		                   selected ? c.selectedText : c.label, kCentredFlags);
	}
}

void paintLegatoSwitch (Canvas& canvas, const OverlayColours& c, bool on)
{
	canvas.fillRect ({658, 345, 728, 383}, c.legatoFrame);

	struct Cell
	{
		Rect face;
		Rect text;
		const char* label;
		bool lit;
	};
	const Cell cells[2] = {
		{{660, 347, 692, 381}, {660, 348, 692, 379}, "OFF", !on},
		{{694, 347, 726, 381}, {694, 348, 726, 379}, "ON", on},
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
	const OverlayColours& colours = overlayColours (skin);

	canvas.save ();
	paintAppearanceSelector (canvas, colours, skin);
	canvas.restore ();

	canvas.save ();
	paintLegatoSwitch (canvas, colours, legatoIsOn (values[kLegato]));
	canvas.restore ();
}

} // namespace Tarno
