// The editor as an LV2 ui:X11UI: the X11 window (editor/x11) as a child of
// the host's ui:parent, over Lv2EditorHost. The host drives it through the
// idle interface (X events at each call, the window's timer every
// kTimerMs); the show interface maps and unmaps it. Its content scale comes
// from the host's ui:scaleFactor option, at instantiate or later through the
// options interface, and the host hears of each size through ui:resize.
#pragma once

#include "editor/x11/X11Window.h"
#include "formats/lv2/ui/Lv2EditorHost.h"
#include "formats/lv2/ui/UiUris.h"

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <chrono>

namespace Tarno {

class Lv2Ui
{
public:
	// A new UI with its window open in the host's parent and the plug-in
	// asked for its skin; null when a required feature (ui:parent,
	// urid:map) is missing, the scale factor offered is not one from 1 to
	// 4, or the window cannot be opened.
	static Lv2Ui* create (LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_Feature* const* features);

	// cleanup: closes the window (ending a drag with its touch) and deletes
	// the UI; from inside a call the UI is making to the host, the delete
	// waits until the host's call into the UI returns (see Call).
	static void destroy (Lv2Ui* ui);

	// Held for the duration of each call from the host into the UI.
	class Call
	{
	public:
		explicit Call (Lv2Ui& ui) : ui (ui) { ++ui.depth; }
		~Call ();
		Call (const Call&) = delete;
		Call& operator= (const Call&) = delete;

	private:
		Lv2Ui& ui;
	};

	LV2UI_Widget widget () const;
	void portEvent (uint32_t port, uint32_t size, uint32_t format, const void* buffer);
	// Non-zero once the window is gone (its parent destroyed, the X server
	// lost, the UI cleaned up).
	int idle ();
	int show ();
	int hide ();
	uint32_t getOptions (LV2_Options_Option* options);
	uint32_t setOptions (const LV2_Options_Option* options);

private:
	Lv2Ui (LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
	       const LV2UI_Resize* resize);
	~Lv2Ui () = default;

	// Reads a ui:scaleFactor option: false when it is there but not a
	// number from 1 to 4; `scale` is set only when it is there and good.
	bool readScale (const LV2_Options_Option& option, double& scale) const;
	void announceSize ();

	UiUrids urids;
	Lv2EditorHost host;
	X11Window window;
	const LV2UI_Resize* resize;
	std::chrono::steady_clock::time_point nextTick;
	float reportedScale = 1.0f;
	int depth = 0;
	bool closing = false;
};

} // namespace Tarno
