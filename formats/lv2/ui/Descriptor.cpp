// The UI's entry point, lv2ui_descriptor, and the C functions of its
// descriptor and interfaces. Each call into the UI is held (Lv2Ui::Call) so
// that a cleanup the host makes from inside one of the UI's own calls to it
// deletes nothing under the UI's feet; nothing thrown leaves to the host.
#include "formats/lv2/ui/Lv2Ui.h"

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <cstring>

namespace Tarno {

namespace {

Lv2Ui* uiOf (LV2UI_Handle handle) { return static_cast<Lv2Ui*> (handle); }

// Runs f on the UI, held for the call; `failed` when the handle is null or
// f throws.
template <typename R, typename F>
R held (LV2UI_Handle handle, R failed, F f)
{
	if (handle == nullptr)
		return failed;
	Lv2Ui::Call call (*uiOf (handle));
	try
	{
		return f (*uiOf (handle));
	}
	catch (...)
	{
		return failed;
	}
}

LV2UI_Handle instantiate (const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                          LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
	if (pluginUri == nullptr || std::strcmp (pluginUri, kLv2PluginUri) != 0 || widget == nullptr)
		return nullptr;
	try
	{
		Lv2Ui* ui = Lv2Ui::create (write, controller, features);
		if (ui)
			*widget = ui->widget ();
		return ui;
	}
	catch (...)
	{
		return nullptr;
	}
}

void cleanup (LV2UI_Handle handle)
{
	try
	{
		Lv2Ui::destroy (uiOf (handle));
	}
	catch (...)
	{
	}
}

void portEvent (LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
	held (handle, 0, [&] (Lv2Ui& ui) {
		ui.portEvent (port, size, format, buffer);
		return 0;
	});
}

int idle (LV2UI_Handle handle)
{
	return held (handle, 1, [] (Lv2Ui& ui) { return ui.idle (); });
}

int show (LV2UI_Handle handle)
{
	return held (handle, 1, [] (Lv2Ui& ui) { return ui.show (); });
}

int hide (LV2UI_Handle handle)
{
	return held (handle, 1, [] (Lv2Ui& ui) { return ui.hide (); });
}

uint32_t getOptions (LV2_Handle handle, LV2_Options_Option* options)
{
	return held (handle, uint32_t (LV2_OPTIONS_ERR_UNKNOWN), [&] (Lv2Ui& ui) { return ui.getOptions (options); });
}

uint32_t setOptions (LV2_Handle handle, const LV2_Options_Option* options)
{
	return held (handle, uint32_t (LV2_OPTIONS_ERR_UNKNOWN), [&] (Lv2Ui& ui) { return ui.setOptions (options); });
}

const LV2UI_Idle_Interface kIdle = {idle};
const LV2UI_Show_Interface kShow = {show, hide};
const LV2_Options_Interface kOptions = {getOptions, setOptions};

const void* extensionData (const char* uri)
{
	if (uri == nullptr)
		return nullptr;
	if (std::strcmp (uri, LV2_UI__idleInterface) == 0)
		return &kIdle;
	if (std::strcmp (uri, LV2_UI__showInterface) == 0)
		return &kShow;
	if (std::strcmp (uri, LV2_OPTIONS__interface) == 0)
		return &kOptions;
	return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kLv2UiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

} // namespace Tarno

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
	return index == 0 ? &Tarno::kDescriptor : nullptr;
}
