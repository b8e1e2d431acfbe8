#include "editor/EditorZoom.h"

#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/PanelLayout.h"

#include <algorithm>
#include <cmath>

namespace Tarno {

bool acceptableZoom (double zoom) { return zoom >= kMinZoom && zoom <= kMaxZoom; }

PanelSize zoomedPanelSize (double contentScale, double zoom)
{
	const double f = contentScale * zoom;
	return {scaledLength (kPanelWidth, f), scaledLength (kPanelHeight, f)};
}

double zoomForSize (int width, int height, double contentScale, double current)
{
	const PanelSize proposed = {width, height};
	if (acceptableZoom (current) && zoomedPanelSize (contentScale, current) == proposed)
		return current;
	for (int percent : kZoomChoicePercent)
		if (zoomedPanelSize (contentScale, percent / 100.0) == proposed)
			return percent / 100.0;
	const double byWidth = width / (kPanelWidth * contentScale);
	const double byHeight = height / (kPanelHeight * contentScale);
	const double zoom = std::min (byWidth, byHeight);
	if (!std::isfinite (zoom))
		return 1.0;
	return std::clamp (zoom, kMinZoom, kMaxZoom);
}

} // namespace Tarno
