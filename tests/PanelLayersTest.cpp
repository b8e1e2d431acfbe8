// The panel in layers (SkinPainter.h), as the Windows editor keeps it: the
// kept layer with every piece over it is the whole panel, each piece stays
// inside its box whatever its value, and a change marks the pieces that
// look different. Drawn with the Cairo canvas; the Windows window itself is
// compared with fresh paints in EditorWindowTest.
#if defined(TARNO_HAVE_CAIRO_CANVAS) && !defined(_WIN32)

#include "editor/canvas/CairoCanvas.h"
#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/SkinPainter.h"
#include "params/Presets.h"
#include "params/Skins.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Tarno;

namespace {

constexpr Rgb kPanelBrush = {20, 34, 38};

int differingPixels (const CairoCanvas& a, const CairoCanvas& b)
{
	int count = 0;
	for (int y = 0; y < a.height (); ++y)
		for (int x = 0; x < a.width (); ++x)
			count += a.pixel (x, y) != b.pixel (x, y);
	return count;
}

} // namespace

TEST (PanelLayers, KeptLayerWithEveryPieceIsTheWholePanel)
{
	ParamBlock values = kFactoryPresets[1].values;
	values[kAttackParam] = 1.0;
	for (double f : {1.0, 2.0})
		for (int32_t skin = 0; skin < kNumSkins; ++skin)
		{
			const int w = scaledLength (860, f), h = scaledLength (530, f);
			CairoCanvas whole (w, h, kPanelBrush), layered (w, h, kPanelBrush);
			paintPanel (whole, skin, values, kSineParam, f);
			paintKeptLayer (layered, skin, f);
			paintPieces (layered, skin, values, kSineParam, PieceSet ().set (), f);
			whole.flush ();
			layered.flush ();
			EXPECT_EQ (differingPixels (whole, layered), 0) << "skin " << skin << " at " << f;
		}
}

// Every piece alone on a transparent image, at the ends of its travel,
// dragged and with two presets' values (SILVER marks them), touches only
// pixels inside pieceBox.
TEST (PanelLayers, EveryPieceStaysInsideItsBox)
{
	for (double f : {1.0, 2.0})
		for (int32_t skin = 0; skin < kNumSkins; ++skin)
			for (int piece = 0; piece < kPanelPieces; ++piece)
			{
				CairoCanvas canvas (scaledLength (860, f), scaledLength (530, f), kPanelBrush,
				                    CairoCanvas::Format::argb32);
				PieceSet one;
				one.set (size_t (piece));
				for (int variant = 0; variant < 6; ++variant)
				{
					ParamBlock values;
					values.fill (variant % 2 ? 1.0 : 0.0);
					if (variant >= 4)
						values = kFactoryPresets[variant - 3].values;
					paintPieces (canvas, skin, values, variant / 2 == 1 ? piece : -1, one, f);
				}
				canvas.flush ();
				const Rect box = pieceBox (piece, f);
				int inside = 0, outside = 0;
				for (int y = 0; y < canvas.height (); ++y)
					for (int x = 0; x < canvas.width (); ++x)
						if (canvas.alpha (x, y) != 0)
							++(x >= box.left && x < box.right && y >= box.top && y < box.bottom ? inside : outside);
				EXPECT_EQ (outside, 0) << "skin " << skin << " at " << f << ", piece " << piece;
				if (piece != kPresetPiece || skin == kSkinSilver)
				{
					EXPECT_GT (inside, 0) << "skin " << skin << " at " << f << ", piece " << piece;
				}
			}
}

TEST (PanelLayers, ChangedPiecesFollowWhatEachPieceShows)
{
	const ParamBlock base = kDefaultParams;
	auto with = [&] (int32_t id, double v) {
		ParamBlock p = base;
		p[size_t (id)] = v;
		return p;
	};
	auto set = [] (std::initializer_list<int> pieces) {
		PieceSet s;
		for (int p : pieces)
			s.set (size_t (p));
		return s;
	};
	const double nan = std::numeric_limits<double>::quiet_NaN ();
	struct Case
	{
		const char* what;
		int32_t skin;
		ParamBlock now;
		int32_t activeBefore, activeNow;
		PieceSet expected;
	} cases[] = {
		{"nothing", kSkinVintage, base, -1, -1, {}},
		{"one value", kSkinOriginal, with (kAttackParam, 0.9), -1, -1, set ({kAttackParam})},
		{"drag starts", kSkinSilver, base, -1, kSineParam, set ({kSineParam})},
		{"drag moves on", kSkinSilver, base, kSineParam, kSquareParam, set ({kSineParam, kSquareParam})},
		{"Legato still on", kSkinVintage, with (kLegatoParam, 0.5), -1, -1, set ({kLegatoParam})},
		{"Legato off", kSkinVintage, with (kLegatoParam, 0.49), -1, -1, set ({kLegatoParam, kLegatoSwitchPiece})},
		{"SILVER preset no longer matched", kSkinSilver, with (kSineParam, 0.5), -1, -1,
		 set ({kSineParam, kPresetPiece})},
		{"other skins mark no preset", kSkinOriginal, with (kSineParam, 0.5), -1, -1, set ({kSineParam})},
		{"NaN", kSkinOriginal, with (kSineParam, nan), -1, -1, PieceSet ().set ()},
		{"above 1", kSkinSilver, with (kSineParam, 1.5), -1, -1, PieceSet ().set ()},
	};
	// The defaults are the first factory preset.
	ASSERT_EQ (kFactoryPresets[0].values, base);
	for (const Case& c : cases)
		EXPECT_EQ (changedPieces (c.skin, base, c.activeBefore, c.now, c.activeNow), c.expected) << c.what;
}

#endif // TARNO_HAVE_CAIRO_CANVAS
