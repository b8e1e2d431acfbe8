// The panels as Cairo draws them against the screenshots of the real
// Windows editor under Wine (docs/editor-*.png, renewed with
// scripts/screenshots.sh docs): same layout and colours, while
// anti-aliasing and font rasterisation may differ.
#ifdef TARNO_HAVE_CAIRO_CANVAS

#include "editor/canvas/CairoCanvas.h"
#include "editor/skins/Overlay.h"
#include "editor/skins/SkinPainter.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace Tarno;

namespace {

struct Comparison
{
	double closeShare = 0.0; // pixels whose channels all differ by at most 40
	double meanDifference = 0.0;
};

Comparison compareWithScreenshot (int32_t skin, const std::string& png)
{
	Comparison result;
	cairo_surface_t* shot = cairo_image_surface_create_from_png (png.c_str ());
	EXPECT_EQ (cairo_surface_status (shot), CAIRO_STATUS_SUCCESS) << png;
	if (cairo_surface_status (shot) != CAIRO_STATUS_SUCCESS)
	{
		cairo_surface_destroy (shot);
		return result;
	}
	const int width = cairo_image_surface_get_width (shot), height = cairo_image_surface_get_height (shot);
	EXPECT_EQ (width, 860);
	EXPECT_EQ (height, 530);

	CairoCanvas canvas (860, 530, Rgb{20, 34, 38});
	paintSkin (canvas, skin, kDefaultParams, -1);
	paintOverlay (canvas, kDefaultParams, skin);
	canvas.flush ();

	cairo_surface_flush (shot);
	const unsigned char* data = cairo_image_surface_get_data (shot);
	const int stride = cairo_image_surface_get_stride (shot);
	long close = 0, total = 0;
	double sum = 0.0;
	for (int y = 0; y < std::min (height, 530); ++y)
		for (int x = 0; x < std::min (width, 860); ++x)
		{
			// Cairo keeps pixels as native-endian 32-bit xRGB words.
			const uint32_t word = *reinterpret_cast<const uint32_t*> (data + y * stride + 4 * x);
			const Rgb a{uint8_t (word >> 16), uint8_t (word >> 8), uint8_t (word)};
			const Rgb b = canvas.pixel (x, y);
			const int d = std::max ({std::abs (a.r - b.r), std::abs (a.g - b.g), std::abs (a.b - b.b)});
			sum += d;
			close += d <= 40;
			++total;
		}
	cairo_surface_destroy (shot);
	result.closeShare = double (close) / double (total);
	result.meanDifference = sum / double (total);
	return result;
}

} // namespace

TEST (SkinSnapshot, CairoPanelsMatchTheWindowsScreenshots)
{
	const char* names[] = {"original", "vintage", "silver"};
	for (int32_t skin = 0; skin < 3; ++skin)
	{
		const std::string png = std::string (TARNO_SOURCE_DIR) + "/docs/editor-" + names[skin] + ".png";
		const Comparison c = compareWithScreenshot (skin, png);
		EXPECT_GE (c.closeShare, 0.93) << names[skin];
		EXPECT_LE (c.meanDifference, 8.0) << names[skin];
		std::printf ("%s: %.1f %% of pixels within 40, mean largest channel difference %.1f\n", names[skin],
		             100.0 * c.closeShare, c.meanDifference);
	}
	// The comparison tells skins apart: ORIGINAL's screenshot is far from SILVER.
	const Comparison wrong = compareWithScreenshot (kSkinSilver, std::string (TARNO_SOURCE_DIR) + "/docs/editor-original.png");
	EXPECT_LT (wrong.closeShare, 0.5);
}

#endif // TARNO_HAVE_CAIRO_CANVAS
