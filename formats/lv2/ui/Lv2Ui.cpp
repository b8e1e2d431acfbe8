#include "formats/lv2/ui/Lv2Ui.h"

#include "editor/canvas/ScaledCanvas.h"

#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace Tarno {

namespace {

const void* featureData (const LV2_Feature* const* features, const char* uri)
{
	for (const LV2_Feature* const* f = features; f && *f; ++f)
		if ((*f)->URI && std::strcmp ((*f)->URI, uri) == 0)
			return (*f)->data;
	return nullptr;
}

bool endOfOptions (const LV2_Options_Option& o) { return o.key == 0 && o.value == nullptr; }

} // namespace

Lv2Ui::Lv2Ui (LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
              const LV2UI_Resize* resize)
: host (urids, write, controller, touch), window (host), resize (resize)
{
}

Lv2Ui* Lv2Ui::create (LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_Feature* const* features)
{
	const auto parent = reinterpret_cast<uintptr_t> (featureData (features, LV2_UI__parent));
	const auto* map = static_cast<const LV2_URID_Map*> (featureData (features, LV2_URID__map));
	if (write == nullptr || parent == 0 || parent > UINT32_MAX || map == nullptr)
		return nullptr;
	Lv2Ui* ui = new (std::nothrow) Lv2Ui (write, controller,
	                                      static_cast<const LV2UI_Touch*> (featureData (features, LV2_UI__touch)),
	                                      static_cast<const LV2UI_Resize*> (featureData (features, LV2_UI__resize)));
	if (ui == nullptr)
		return nullptr;
	bool usable = ui->urids.map (*map);
	double scale = 1.0;
	const auto* options = static_cast<const LV2_Options_Option*> (featureData (features, LV2_OPTIONS__options));
	for (const LV2_Options_Option* o = options; usable && o && !endOfOptions (*o); ++o)
		usable = ui->readScale (*o, scale);
	// Sized before it opens: the window appears at its scale at once.
	usable = usable && ui->window.setScale (scale) && ui->window.open (uint32_t (parent));
	if (!usable)
	{
		delete ui;
		return nullptr;
	}
	ui->reportedScale = float (scale);
	ui->announceSize ();
	ui->host.requestSkin ();
	return ui;
}

void Lv2Ui::destroy (Lv2Ui* ui)
{
	// A cleanup from inside the first one's touch call changes nothing.
	if (ui == nullptr || ui->closing)
		return;
	ui->closing = true;
	// The Call deletes the UI as it ends, unless an outer call is still on
	// its way: then that one does.
	Call call (*ui);
	ui->window.close ();
}

Lv2Ui::Call::~Call ()
{
	if (--ui.depth == 0 && ui.closing)
		delete &ui;
}

LV2UI_Widget Lv2Ui::widget () const { return reinterpret_cast<LV2UI_Widget> (uintptr_t (window.windowId ())); }

void Lv2Ui::portEvent (uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
	// The window's timer repaints what changed.
	host.portEvent (port, size, format, buffer);
}

int Lv2Ui::idle ()
{
	if (!window.hasWindow ())
		return 1;
	window.onEvents ();
	const auto now = std::chrono::steady_clock::now ();
	if (now >= nextTick)
	{
		nextTick = now + std::chrono::milliseconds (X11Window::kTimerMs);
		window.onTimer ();
	}
	return window.hasWindow () ? 0 : 1;
}

int Lv2Ui::show ()
{
	if (!window.hasWindow ())
		return 1;
	window.setVisible (true);
	return 0;
}

int Lv2Ui::hide ()
{
	window.setVisible (false);
	return 0;
}

bool Lv2Ui::readScale (const LV2_Options_Option& o, double& scale) const
{
	if (o.key != urids.scaleFactor || o.context != LV2_OPTIONS_INSTANCE)
		return true;
	double f = 0.0;
	if (o.value && o.type == urids.atomFloat && o.size == sizeof (float))
	{
		float v;
		std::memcpy (&v, o.value, sizeof v);
		f = v;
	}
	else if (o.value && o.type == urids.atomDouble && o.size == sizeof (double))
		std::memcpy (&f, o.value, sizeof f);
	if (!acceptableContentScale (f))
		return false;
	scale = f;
	return true;
}

uint32_t Lv2Ui::getOptions (LV2_Options_Option* options)
{
	uint32_t status = LV2_OPTIONS_SUCCESS;
	for (LV2_Options_Option* o = options; o && !endOfOptions (*o); ++o)
	{
		if (o->key != urids.scaleFactor || o->context != LV2_OPTIONS_INSTANCE)
		{
			status |= LV2_OPTIONS_ERR_BAD_KEY;
			continue;
		}
		o->size = sizeof reportedScale;
		o->type = urids.atomFloat;
		o->value = &reportedScale;
	}
	return status;
}

uint32_t Lv2Ui::setOptions (const LV2_Options_Option* options)
{
	uint32_t status = LV2_OPTIONS_SUCCESS;
	for (const LV2_Options_Option* o = options; o && !endOfOptions (*o); ++o)
	{
		double scale = window.scale ();
		if (o->key != urids.scaleFactor || o->context != LV2_OPTIONS_INSTANCE)
			status |= LV2_OPTIONS_ERR_BAD_KEY;
		else if (!readScale (*o, scale))
			status |= LV2_OPTIONS_ERR_BAD_VALUE;
		else if (scale != window.scale ())
		{
			// Out of memory for the new picture: the window stays as it was.
			if (!window.setScale (scale))
			{
				status |= LV2_OPTIONS_ERR_UNKNOWN;
				continue;
			}
			reportedScale = float (scale);
			announceSize ();
		}
	}
	return status;
}

void Lv2Ui::announceSize ()
{
	if (resize && resize->ui_resize)
		resize->ui_resize (resize->handle, window.pixelWidth (), window.pixelHeight ());
}

} // namespace Tarno
