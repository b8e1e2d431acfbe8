// The bundle folder's icon (Windows shows it for Tarnovelle.vst3 through
// desktop.ini): a rounded tile in the ORIGINAL panel's colours with one
// stroke of waveform that turns from square through triangle into sine, as
// the oscillator mixes them. Drawn pixel by pixel here, without a graphics
// library, so that every build (the Windows one runs this under Wine) makes
// the same icon; written as a Windows .ico file of 32-bit images.
#pragma once

#include <cstdint>
#include <vector>

namespace Tarno {
namespace Packaging {

// One square image, rows top to bottom, 4 bytes a pixel: blue, green, red
// and alpha, colours not multiplied by alpha (what a 32-bit icon holds).
struct IconImage
{
	int size = 0;
	std::vector<uint8_t> bgra;
};

// The icon drawn at size × size pixels (1..256); empty outside that range.
IconImage drawPlugInIcon (int size);

// The sizes the .ico file holds, smallest first.
const std::vector<int>& plugInIconSizes ();

// A .ico file holding the images in the order given, each as a 32-bit
// bitmap with its 1-bit mask (set where alpha is 0). Empty when an image is
// not square, not 1..256 pixels or its pixel data has the wrong length.
std::vector<uint8_t> encodeIco (const std::vector<IconImage>& images);

// The text of desktop.ini that makes Windows show PlugIn.ico as the
// folder's icon (CRLF line ends).
const char* folderDesktopIni ();

} // namespace Packaging
} // namespace Tarno
