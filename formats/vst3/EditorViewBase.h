// The SDK's editor view with what both editor windows add to it: the
// argument checks its base lacks (it accepts a null size, and its interface
// query a null pointer), and the content scale a host on a high-density
// screen gives the view (IPlugViewContentScaleSupport).
#pragma once

#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

namespace Tarno {

class EditorViewBase : public Steinberg::Vst::EditorView, public Steinberg::IPlugViewContentScaleSupport
{
public:
	explicit EditorViewBase (Steinberg::Vst::EditController* controller) : EditorView (controller, nullptr)
	{
		Steinberg::ViewRect size (0, 0, kPanelWidth, kPanelHeight);
		setRect (size);
	}

	Steinberg::tresult PLUGIN_API onSize (Steinberg::ViewRect* newSize) SMTG_OVERRIDE
	{
		return newSize ? EditorView::onSize (newSize) : Steinberg::kInvalidArgument;
	}

	// A factor from 1 to 4 makes the view round (860 f) × round (530 f)
	// pixels with the panel drawn at that scale, and asks the frame for the
	// new size when attached. Anything else (below 1, above 4, not finite)
	// is refused with kResultFalse and changes nothing.
	Steinberg::tresult PLUGIN_API setContentScaleFactor (ScaleFactor factor) SMTG_OVERRIDE
	{
		const double f = factor;
		if (!acceptableContentScale (f))
			return Steinberg::kResultFalse;
		if (f == contentScale)
			return Steinberg::kResultTrue;
		// The frame may remove or release the view inside resizeView.
		Steinberg::IPtr<EditorViewBase> keepAlive (this);
		const double previous = contentScale;
		const Steinberg::ViewRect previousRect = getRect ();
		contentScale = f;
		Steinberg::ViewRect size (0, 0, scaledLength (kPanelWidth, f), scaledLength (kPanelHeight, f));
		setRect (size);
		if (!changeScale (f))
		{
			// The window could not take the new size (out of memory): it
			// stays as it was, at the old scale.
			contentScale = previous;
			setRect (previousRect);
			changeScale (previous);
			return Steinberg::kResultFalse;
		}
		if (plugFrame && isAttached ())
		{
			// The view has its new size whatever the frame answers; nothing
			// the frame throws goes back to the host.
			try
			{
				plugFrame->resizeView (this, &size);
			}
			catch (...)
			{
			}
		}
		return Steinberg::kResultTrue;
	}

	// kInvalidArgument for a null IID or a null result pointer.
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE
	{
		if (iid == nullptr || obj == nullptr)
			return Steinberg::kInvalidArgument;
		QUERY_INTERFACE (iid, obj, IPlugViewContentScaleSupport::iid, IPlugViewContentScaleSupport)
		return EditorView::queryInterface (iid, obj);
	}
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return EditorView::addRef (); }
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return EditorView::release (); }

protected:
	// The window takes the new scale: its picture's size, its own size when
	// attached, and its input's mapping. The view's rectangle is set. False
	// when what the new size needs could not be made; the window then keeps
	// what it had, and is called again with the old scale.
	virtual bool contentScaleChanged (double f) = 0;

private:
	bool changeScale (double f)
	{
		try
		{
			return contentScaleChanged (f);
		}
		catch (...)
		{
			return false;
		}
	}

	double contentScale = 1.0;
};

} // namespace Tarno
