#include "editor/OriginalSkin.h"

#include "editor/EditorFonts.h"
#include "params/Presets.h"

#include <cmath>

namespace Tarno {

namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr int kCellWidth = 103;
constexpr int kCellHeight = 150;

} // namespace

Point originalCellOrigin (int32_t id)
{
	return {kCellWidth * (id % 8), kCellHeight * (id / 8)};
}

Point originalPointerOffset (double v, int radius)
{
	const double degrees = 270.0 * clampNormalized (v) - 135.0;
	const double theta = degrees * kPi / 180.0;
	// The casts truncate toward zero, which the pointer's end points follow.
	return {static_cast<int> (radius * std::sin (theta)), -static_cast<int> (radius * std::cos (theta))};
}

void paintOriginal (Canvas& canvas, const ParamBlock& values)
{
	using namespace OriginalColours;

	canvas.fillRectWithPanelBrush ({0, 0, 860, 530});

	canvas.textAt (28, 22, "TARNOVELLE", kTitleFont, kTitle);
	canvas.textAt (31, 67, "TVL-404-B / MONOPHONIC ANALOG-INSPIRED SYNTH", kTextFont, kSubtitle);

	// Five buttons 150 wide with 10-pixel gaps; none is marked as current.
	for (int n = 0; n < kNumFactoryPresets; ++n)
	{
		canvas.fillRect ({30 + 160 * n, 105, 180 + 160 * n, 133}, kPresetFace);
		canvas.textAt (39 + 160 * n, 111, kFactoryPresets[n].title, kTextFont, kPresetText);
	}

	for (int32_t i = 0; i < kNumParams; ++i)
	{
		const Point cell = originalCellOrigin (i);
		const int cx = cell.x;
		const int ry = cell.y;

		canvas.textAt (cx + 30, ry + 154, specs[i].name, kTextFont, kLabel);

		// The Legato position shows only its label and value text; the
		// editor's OFF/ON switch fills the space between them.
		if (i != kLegato)
		{
			canvas.ellipseOutline ({cx + 40, ry + 182, cx + 106, ry + 248}, kRing, 2);
			const Point centre = {cx + 73, ry + 215};
			const Point inner = originalPointerOffset (values[i], 15);
			const Point outer = originalPointerOffset (values[i], 27);
			canvas.line ({centre.x + inner.x, centre.y + inner.y}, {centre.x + outer.x, centre.y + outer.y},
			             kPointer, 4);
		}

		ValueText text;
		formatValue (i, values[i], text);
		canvas.textAt (cx + 30, ry + 260, text, kTextFont, kValue);
	}

	canvas.textAt (30, 474,
	               "MONO / LAST NOTE     |     PITCH BEND +/-2     |     MOD WHEEL > VIBRATO     |     CC64 SUSTAIN",
	               kTextFont, kSubtitle);
	canvas.textAt (30, 498,
	               "Drag vertically to edit. Shift = fine. Double-click = default. Audio output is dual mono.",
	               kTextFont, kSecondFooter);
}

void paintOriginalStage (Canvas& canvas, const ParamBlock& values)
{
	canvas.save ();
	paintOriginal (canvas, values);
	canvas.restore ();
}

} // namespace Tarno
