// The SDK's editor view with what both editor windows add to it: the
// argument checks its base lacks (it accepts a null size, and its interface
// query a null pointer), the content scale a host on a high-density screen
// gives the view (IPlugViewContentScaleSupport), the parameter under a point
// (IParameterFinder), the host's context menu with the plug-in's items
// (IComponentHandler3), and zoom: a resizable view that keeps the panel's
// aspect, from 50 % to 200 % of its size at the content scale, saved in the
// controller's state.
#pragma once

#include "editor/EditorMenu.h"
#include "editor/EditorZoom.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "formats/vst3/Controller.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstplugview.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

namespace Tarno {

class EditorViewBase : public Steinberg::Vst::EditorView,
                       public Steinberg::IPlugViewContentScaleSupport,
                       public Steinberg::Vst::IParameterFinder,
                       protected EditorMenuHost
{
public:
	// The view opens at the zoom saved in the controller's state.
	explicit EditorViewBase (Controller* controller);
	~EditorViewBase () override;

	// A null size is refused. Any other size gives the zoom whose panel fits
	// in it (zoomForSize); the view takes the panel's exact size at that zoom.
	Steinberg::tresult PLUGIN_API onSize (Steinberg::ViewRect* newSize) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API canResize () SMTG_OVERRIDE { return Steinberg::kResultTrue; }
	// Makes `rect` the panel's size at the zoom nearest to it, its top left
	// corner kept.
	Steinberg::tresult PLUGIN_API checkSizeConstraint (Steinberg::ViewRect* rect) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API removed () SMTG_OVERRIDE;

	// A factor from 1 to 4 makes the view the panel's size at that scale and
	// the current zoom, with the panel drawn at that scale, and asks the
	// frame for the new size when attached. Anything else (below 1, above 4,
	// not finite) is refused with kResultFalse and changes nothing.
	Steinberg::tresult PLUGIN_API setContentScaleFactor (ScaleFactor factor) SMTG_OVERRIDE;

	// The sound parameter under view pixel (x, y), as the mouse finds it.
	Steinberg::tresult PLUGIN_API findParameter (Steinberg::int32 x, Steinberg::int32 y,
	                                             Steinberg::Vst::ParamID& resultTag) SMTG_OVERRIDE;

	// kInvalidArgument for a null IID or a null result pointer.
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return EditorView::addRef (); }
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return EditorView::release (); }

	double zoom () const { return zoomFactor; }

protected:
	// The window takes the new scale: its picture's size, its own size when
	// attached, and its input's mapping. The view's rectangle is set. False
	// when what the new size needs could not be made; the window then keeps
	// what it had, and is called again with the old scale.
	virtual bool contentScaleChanged (double f) = 0;
	// The same for a new zoom.
	virtual bool zoomChanged (double zoom) = 0;
	// What the window does for these.
	virtual int32_t parameterAt (int32_t x, int32_t y) const = 0;
	virtual void chooseMenuItem (int32_t tag, int32_t param) = 0;

	// EditorMenuHost: the window's right-click and the menu's zoom items.
	bool showHostMenu (int32_t x, int32_t y, int32_t param) override;
	bool requestZoom (double zoom) override;

	Controller& tarnoController;

private:
	class MenuTarget;

	bool changeScale (double f);
	bool changeZoom (double zoom);
	// Cuts the target of the last host menu loose: a host that calls it
	// later (the menu outlived the view, or the view's window) reaches
	// nothing.
	void forgetMenuTarget ();

	double contentScale = 1.0;
	double zoomFactor = 1.0;
	MenuTarget* menuTarget = nullptr;
};

} // namespace Tarno
