// Zoom: the panel drawn larger or smaller than its size at the content
// scale, by the musician's choice (a window's menu, or a host's frame the
// musician resized). The drawing scale is the content scale times the zoom;
// ScaledCanvas draws the panel sharply at any such factor, and the input
// maps window pixels back to the panel with the same factor.
#pragma once

namespace Tarno {

constexpr double kMinZoom = 0.5;
constexpr double kMaxZoom = 2.0;

// The zoom sizes the menus offer, in per cent.
constexpr int kNumZoomChoices = 5;
constexpr int kZoomChoicePercent[kNumZoomChoices] = {75, 100, 125, 150, 200};

// True for zooms the editor can show: finite, from 0.5 to 2.
bool acceptableZoom (double zoom);

struct PanelSize
{
	int width, height;
	bool operator== (const PanelSize& o) const { return width == o.width && height == o.height; }
};

// The window's size at content scale s and zoom z: round (860 s z) × round (530 s z).
PanelSize zoomedPanelSize (double contentScale, double zoom);

// The zoom for a window a host proposes, width × height pixels at content
// scale s: the largest whose panel fits in it, kept from 0.5 to 2. A size
// that is exactly the panel's at `current` or at one of the menu's zooms
// gives that zoom (no drift from rounding).
double zoomForSize (int width, int height, double contentScale, double current);

} // namespace Tarno
