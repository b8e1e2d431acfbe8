// tarnovelle-render-skin: paints the editor's panel and overlay for chosen
// parameter values into an 860 × 530 PNG file (larger at a scale above 1),
// through the Cairo canvas, so that a skin can be looked at without a host
// or Windows.
//
//   tarnovelle-render-skin --skin original --out file.png [--value ID=V ...] [--active ID] [--scale F]
//
// --skin     original, vintage or silver (or the index 0, 1, 2)
// --value    normalized value V for parameter ID (0..15); unset ones keep
//            their defaults
// --active   the parameter being dragged (-1, the default, for none)
// --scale    content scale from 1 to 4 (default 1): the panel as the editor
//            draws it on a high-density screen, round (860 F) × round (530 F)
//
// The panel is painted as the editor paints it: the skin's own panel, then
// the overlay. The ORIGINAL panel shows no dragged control, so --active
// changes nothing in it.
#include "editor/canvas/CairoCanvas.h"
#include "editor/skins/OriginalSkin.h"
#include "editor/skins/SkinPainter.h"
#include "editor/skins/Overlay.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "vst3host/Files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace Tarno;

namespace {

int usage ()
{
	std::fprintf (stderr,
	              "usage: tarnovelle-render-skin --skin original|vintage|silver --out FILE.png"
	              " [--value ID=V ...] [--active ID] [--scale F]\n");
	return 2;
}

// A whole decimal integer, nothing after it.
bool readInt (const char* text, long& out)
{
	char* end = nullptr;
	out = std::strtol (text, &end, 10);
	return end != text && *end == '\0';
}

bool readSkin (const char* text, int32_t& skin)
{
	for (int32_t k = 0; k < kNumSkins; ++k)
	{
		const char* name = skinButtonText (k);
		bool same = std::strlen (name) == std::strlen (text);
		for (size_t i = 0; same && name[i]; ++i)
			same = name[i] == (text[i] >= 'a' && text[i] <= 'z' ? text[i] - 'a' + 'A' : text[i]);
		if (same)
		{
			skin = k;
			return true;
		}
	}
	long index = 0;
	if (readInt (text, index) && index >= 0 && index < kNumSkins)
	{
		skin = static_cast<int32_t> (index);
		return true;
	}
	return false;
}

// "ID=V" with ID 0..15 and V a number.
bool readValue (const char* text, ParamBlock& values)
{
	const char* eq = std::strchr (text, '=');
	if (!eq)
		return false;
	long id = 0;
	if (!readInt (std::string (text, eq).c_str (), id) || !isTableParam (static_cast<int32_t> (id)))
		return false;
	char* end = nullptr;
	const double v = std::strtod (eq + 1, &end);
	if (end == eq + 1 || *end != '\0')
		return false;
	values[static_cast<size_t> (id)] = v;
	return true;
}

} // namespace

int main (int argc, char** argv)
{
	int32_t skin = -1;
	long active = -1;
	const char* out = nullptr;
	double scale = 1.0;
	ParamBlock values = kDefaultParams;

	for (int i = 1; i < argc; ++i)
	{
		const std::string arg = argv[i];
		if (i + 1 >= argc)
			return usage ();
		const char* next = argv[++i];
		if (arg == "--skin")
		{
			if (!readSkin (next, skin))
			{
				std::fprintf (stderr, "unknown skin '%s'\n", next);
				return 2;
			}
		}
		else if (arg == "--out")
			out = next;
		else if (arg == "--value")
		{
			if (!readValue (next, values))
			{
				std::fprintf (stderr, "--value wants ID=V with ID 0..15, not '%s'\n", next);
				return 2;
			}
		}
		else if (arg == "--active")
		{
			if (!readInt (next, active) || active < -1 || active >= kNumParams)
			{
				std::fprintf (stderr, "--active wants -1..15, not '%s'\n", next);
				return 2;
			}
		}
		else if (arg == "--scale")
		{
			char* end = nullptr;
			scale = std::strtod (next, &end);
			if (end == next || *end != '\0' || !acceptableContentScale (scale))
			{
				std::fprintf (stderr, "--scale wants a number from 1 to 4, not '%s'\n", next);
				return 2;
			}
		}
		else
			return usage ();
	}
	if (skin < 0 || !out)
		return usage ();

	CairoCanvas canvas (scaledLength (kPanelWidth, scale), scaledLength (kPanelHeight, scale),
	                    OriginalColours::kBackground);
	paintPanel (canvas, skin, values, static_cast<int32_t> (active), scale);
	canvas.flush ();
	const std::vector<uint8_t> png = canvas.pngBytes ();
	std::string error = "cannot encode the picture as PNG";
	if (png.empty () || !Tarno::Host::writeFileAtomically (out, png.data (), png.size (), error))
	{
		std::fprintf (stderr, "tarnovelle-render-skin: %s\n", error.c_str ());
		return 1;
	}
	return 0;
}
