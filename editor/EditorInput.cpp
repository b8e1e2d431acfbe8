#include "editor/EditorInput.h"

#include "editor/skins/PanelLayout.h"
#include "params/ParamTable.h"
#include "params/Presets.h"

#include <cmath>

namespace Tarno {

namespace {

// Change of normalized value per pixel of drag.
constexpr double kKnobSensitivity = 0.005;
constexpr double kKnobFineSensitivity = 0.0005;
constexpr double kFaderSensitivity = 0.0125;
constexpr double kFaderFineSensitivity = 0.00125;

// Wheel: 120 per notch; continuous parameters move by these per notch.
constexpr double kWheelDeltaPerNotch = 120.0;
constexpr double kWheelStep = 0.025;
constexpr double kWheelFineStep = 0.0025;

double legatoValueAt (int32_t x) { return x >= kOverlayLayout.legatoOnLeft ? 1.0 : 0.0; }

int16_t signedWord (uint32_t word) { return static_cast<int16_t> (static_cast<uint16_t> (word & 0xFFFFu)); }

} // namespace

MousePoint mousePoint (uint32_t lParam)
{
	return {signedWord (lParam), signedWord (lParam >> 16)};
}

WheelInfo wheelInfo (uint32_t wParam)
{
	return {signedWord (wParam >> 16), (wParam & kMouseShiftFlag) != 0};
}

EditorInput::EditorInput (EditorHost& h, EditorWindow* w) : host (h), window (w) {}

void EditorInput::invalidate ()
{
	if (window)
		window->invalidate ();
}

const SkinLayout& EditorInput::layout () const { return skinLayout (host.skin ()); }

void EditorInput::setScale (double f)
{
	endDrag ();
	scaleFactor = f;
}

MousePoint EditorInput::toPanel (int32_t x, int32_t y) const
{
	if (scaleFactor == 1.0)
		return {x, y};
	auto map = [this] (int32_t v) {
		return static_cast<int32_t> (std::floor ((static_cast<double> (v) + 0.5) / scaleFactor));
	};
	return {map (x), map (y)};
}

int32_t EditorInput::controlAt (int32_t x, int32_t y) const
{
	const MousePoint p = toPanel (x, y);
	return panelControlAt (p.x, p.y);
}

int32_t EditorInput::parameterAt (int32_t x, int32_t y) const
{
	const MousePoint p = toPanel (x, y);
	if (kOverlayLayout.legato.contains (p.x, p.y))
		return kLegatoParam;
	return panelControlAt (p.x, p.y);
}

int32_t EditorInput::panelControlAt (int32_t x, int32_t y) const
{
	const SkinLayout& l = layout ();
	for (int32_t i = 0; i < kNumParams; ++i)
	{
		if (i == kLegatoParam)
			continue;
		// The box moves to the cell (not the point to the box): points at the
		// ends of the int32_t range must not overflow.
		const Point cell = l.cell (i);
		const PixelBox box = {cell.x + l.control.left, cell.y + l.control.top, cell.x + l.control.right,
		                      cell.y + l.control.bottom};
		if (box.contains (x, y))
			return i;
	}
	return -1;
}

void EditorInput::applyEdit (int32_t id, double value)
{
	if (!isTableParam (id))
		return;
	const double v = snapNormalized (id, value);
	host.beginEdit (id);
	host.performEdit (id, v);
	invalidate ();
	host.endEdit (id);
}

void EditorInput::applyPreset (int32_t n)
{
	if (n < 0 || n >= kNumFactoryPresets)
		return;
	const ParamBlock& values = kFactoryPresets[n].values;
	for (int32_t i = 0; i < kNumParams; ++i)
		applyEdit (i, snapNormalized (i, values[i]));
}

void EditorInput::closeGesture ()
{
	if (activeParam < 0)
		return;
	const int32_t id = activeParam;
	activeParam = -1;
	host.endEdit (id);
}

void EditorInput::endDrag ()
{
	// endEdit and activeParam = -1 come before the release: releasing sends
	// WM_CAPTURECHANGED, which must find no drag left to end.
	closeGesture ();
	if (window && window->hasCapture ())
		window->releaseCapture ();
}

void EditorInput::press (int32_t x, int32_t y, bool shift)
{
	// A drag still open when a press arrives (its button-up never came, or a
	// skin button is pressed) ends first, so no gesture is left open.
	endDrag ();

	const int32_t windowY = y;
	const MousePoint p = toPanel (x, y);
	x = p.x;
	y = p.y;
	const int32_t k = kOverlayLayout.skinButtonAt (x, y);
	if (k >= 0)
	{
		pressSkinButton (k);
		return;
	}
	const SkinLayout& l = layout ();
	if (l.presetBand ().contains (x, y))
	{
		applyPreset ((x - l.presetLeft) / l.presetPitch);
		return;
	}
	if (kOverlayLayout.legato.contains (x, y))
	{
		applyEdit (kLegatoParam, legatoValueAt (x));
		return;
	}
	const int32_t i = panelControlAt (x, y);
	if (i >= 0)
		startDrag (i, windowY, shift);
}

void EditorInput::pressSkinButton (int32_t k)
{
	// Also when k is the skin already shown: the host is told and the
	// window repaints either way.
	host.setSkin (k);
	invalidate ();
}

void EditorInput::startDrag (int32_t i, int32_t y, bool shift)
{
	activeParam = i;
	dragLastY = y;
	dragValue = clampNormalized (host.value (i));
	host.beginEdit (i);
	// The host may have removed the view inside beginEdit, which ended this
	// gesture with its endEdit: nothing more belongs to it.
	if (activeParam != i)
		return;
	if (window)
		window->setCapture ();

	const SkinLayout& l = layout ();
	if (!l.hasFaders () || shift)
		return;
	// A fader jumps to the pointer unless the press is on its thumb; the
	// drag then goes on from the new value. The pointer counts as the panel
	// pixel under it, so a press gives the same value at any scale.
	const double travel = l.faderTravel;
	const double zeroY = l.cell (i).y + l.faderTop + travel;
	const double thumbY = zeroY - travel * dragValue;
	const double pointerY = static_cast<double> (toPanel (0, y).y);
	if (std::fabs (pointerY - thumbY) <= l.faderThumbReach)
		return;
	dragValue = clampNormalized ((zeroY - pointerY) / travel);
	host.performEdit (i, snapNormalized (i, dragValue));
	invalidate ();
}

void EditorInput::move (int32_t /*x*/, int32_t y, bool shift)
{
	if (activeParam < 0)
		return;
	double sensitivity = 0.0;
	if (layout ().hasFaders ())
		sensitivity = shift ? kFaderFineSensitivity : kFaderSensitivity;
	else
		sensitivity = shift ? kKnobFineSensitivity : kKnobSensitivity;
	// Moving up raises the value. The running value is clamped, so pushing
	// past an end builds up no overshoot. Distances are panel pixels, taken
	// in double so that no coordinates can overflow.
	const double pixels = (static_cast<double> (dragLastY) - static_cast<double> (y)) / scaleFactor;
	dragValue = clampNormalized (dragValue + pixels * sensitivity);
	dragLastY = y;
	host.performEdit (activeParam, snapNormalized (activeParam, dragValue));
	invalidate ();
}

void EditorInput::buttonUp () { endDrag (); }

void EditorInput::captureChanged ()
{
	// The capture is gone already: end the gesture, release nothing.
	closeGesture ();
}

void EditorInput::doubleClick (int32_t x, int32_t y)
{
	// The first press of the double-click has been ended by its button-up;
	// should that button-up have been lost, its drag ends here.
	endDrag ();

	const MousePoint p = toPanel (x, y);
	x = p.x;
	y = p.y;
	if (kOverlayLayout.legato.contains (x, y))
	{
		applyEdit (kLegatoParam, legatoValueAt (x));
		return;
	}
	// Skin buttons and presets acted on the first press; only a control
	// cell reacts, by going back to its default.
	const int32_t i = panelControlAt (x, y);
	if (i >= 0)
		applyEdit (i, snapNormalized (i, specs[i].defaultNormalized));
}

void EditorInput::wheel (int32_t x, int32_t y, int32_t delta, bool shift)
{
	// A drag holds its parameter's gesture open and carries its own running
	// value: a wheel edit now would open a second gesture, and the drag's
	// next move would undo it. The wheel waits until the drag is over.
	if (dragging ())
		return;
	const MousePoint p = toPanel (x, y);
	x = p.x;
	y = p.y;
	int32_t i = -1;
	double step = 0.0;
	if (kOverlayLayout.legato.contains (x, y))
	{
		i = kLegatoParam;
		step = 1.0;
	}
	else
	{
		i = panelControlAt (x, y);
		if (i < 0)
			return;
		if (specs[i].stepCount > 0)
			step = 1.0 / specs[i].stepCount; // one step per notch, with or without Shift
		else
			step = shift ? kWheelFineStep : kWheelStep;
	}
	const double notches = static_cast<double> (delta) / kWheelDeltaPerNotch;
	applyEdit (i, snapNormalized (i, host.value (i) + notches * step));
}

} // namespace Tarno
