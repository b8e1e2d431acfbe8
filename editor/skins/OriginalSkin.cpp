#include "editor/skins/OriginalSkin.h"

#include "editor/skins/EditorFonts.h"
#include "editor/skins/PanelLayout.h"
#include "params/Presets.h"

#include <cmath>

namespace Tarno {

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

Point originalPointerOffset (double v, int radius)
{
	const double degrees = 270.0 * clampNormalized (v) - 135.0;
	const double theta = degrees * kPi / 180.0;
	// The casts truncate toward zero, which the pointer's end points follow.
	return {static_cast<int> (radius * std::sin (theta)), -static_cast<int> (radius * std::cos (theta))};
}

namespace {

using namespace OriginalColours;

void paintTop (Canvas& canvas)
{
	canvas.fillRectWithPanelBrush ({0, 0, 860, 530});

	canvas.textAt (28, 22, "TARNOVELLE", kTitleFont, kTitle);
	canvas.textAt (31, 67, "TVL-404-B / MONOPHONIC ANALOG-INSPIRED SYNTH", kTextFont, kSubtitle);

	const SkinLayout& layout = skinLayout (kSkinOriginal);

	// Five buttons with gaps between them; none is marked as current.
	for (int n = 0; n < kNumFactoryPresets; ++n)
	{
		const int x = layout.presetLeft + layout.presetPitch * n;
		canvas.fillRect ({x, layout.presetTop, x + layout.presetWidth, layout.presetBottom}, kPresetFace);
		canvas.textAt (x + 9, layout.presetTop + 6, kFactoryPresets[n].title, kTextFont, kPresetText);
	}
}

// A control's label and, but at the Legato position, its knob's ring.
void paintControlFrame (Canvas& canvas, int32_t i)
{
	const Point cell = skinLayout (kSkinOriginal).cell (i);
	canvas.textAt (cell.x, cell.y, specs[i].name, kTextFont, kLabel);
	// The Legato position shows only its label and value text; the
	// editor's OFF/ON switch fills the space between them.
	if (i != kLegatoParam)
		canvas.ellipseOutline ({cell.x + 10, cell.y + 28, cell.x + 76, cell.y + 94}, kRing, 2);
}

void paintFooter (Canvas& canvas)
{
	canvas.textAt (30, 474,
	               "MONO / LAST NOTE     |     PITCH BEND +/-2     |     MOD WHEEL > VIBRATO     |     CC64 SUSTAIN",
	               kTextFont, kSubtitle);
	canvas.textAt (30, 498,
	               "Drag vertically to edit. Shift = fine. Double-click = default. Audio output is dual mono.",
	               kTextFont, kSecondFooter);
}

} // namespace

void paintOriginal (Canvas& canvas, const ParamBlock& values)
{
	paintTop (canvas);
	for (int32_t i = 0; i < kNumParams; ++i)
	{
		paintControlFrame (canvas, i);
		paintOriginalControl (canvas, i, values[i]);
	}
	paintFooter (canvas);
}

void paintOriginalKept (Canvas& canvas)
{
	paintTop (canvas);
	for (int32_t i = 0; i < kNumParams; ++i)
		paintControlFrame (canvas, i);
	paintFooter (canvas);
}

void paintOriginalControl (Canvas& canvas, int32_t i, double value)
{
	using namespace OriginalColours;
	const Point cell = skinLayout (kSkinOriginal).cell (i);
	const int cx = cell.x;
	const int cy = cell.y;
	if (i != kLegatoParam)
	{
		const Point centre = {cx + 43, cy + 61};
		const Point inner = originalPointerOffset (value, 15);
		const Point outer = originalPointerOffset (value, 27);
		canvas.line ({centre.x + inner.x, centre.y + inner.y}, {centre.x + outer.x, centre.y + outer.y}, kPointer, 4);
	}

	ValueText text;
	formatValue (i, value, text);
	canvas.textAt (cx, cy + 106, text, kTextFont, kValue);
}

void paintOriginalStage (Canvas& canvas, const ParamBlock& values)
{
	canvas.save ();
	paintOriginal (canvas, values);
	canvas.restore ();
}

} // namespace Tarno
