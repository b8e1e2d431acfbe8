#include "formats/vst3/EditorViewBase.h"

#include "base/source/fobject.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"

namespace Tarno {

using namespace Steinberg;
using namespace Steinberg::Vst;

// What the host's menu calls for the plug-in's items. The host holds it as
// long as it likes; the view cuts it loose when it is removed or destroyed,
// or shows the next menu.
class EditorViewBase::MenuTarget : public FObject, public IContextMenuTarget
{
public:
	MenuTarget (EditorViewBase* owner, int32_t param) : owner (owner), param (param) {}

	tresult PLUGIN_API executeMenuItem (int32 tag) SMTG_OVERRIDE
	{
		if (owner == nullptr)
			return kResultFalse;
		// The view is held for the call: the edit may lead the host to
		// release it.
		IPtr<EditorViewBase> view (owner);
		try
		{
			view->chooseMenuItem (tag, param);
		}
		catch (...)
		{
		}
		return kResultOk;
	}

	EditorViewBase* owner;
	const int32_t param;

	OBJ_METHODS (MenuTarget, FObject)
	DEFINE_INTERFACES
		DEF_INTERFACE (IContextMenuTarget)
	END_DEFINE_INTERFACES (FObject)
	REFCOUNT_METHODS (FObject)
};

EditorViewBase::EditorViewBase (Controller* controller)
: EditorView (controller, nullptr), tarnoController (*controller),
  zoomFactor (acceptableZoom (controller->zoom) ? controller->zoom : 1.0)
{
	const PanelSize size = zoomedPanelSize (contentScale, zoomFactor);
	ViewRect rect (0, 0, size.width, size.height);
	setRect (rect);
}

EditorViewBase::~EditorViewBase () { forgetMenuTarget (); }

tresult PLUGIN_API EditorViewBase::queryInterface (const TUID iid, void** obj)
{
	if (iid == nullptr || obj == nullptr)
		return kInvalidArgument;
	QUERY_INTERFACE (iid, obj, IPlugViewContentScaleSupport::iid, IPlugViewContentScaleSupport)
	QUERY_INTERFACE (iid, obj, IParameterFinder::iid, IParameterFinder)
	return EditorView::queryInterface (iid, obj);
}

tresult PLUGIN_API EditorViewBase::removed ()
{
	forgetMenuTarget ();
	return CPluginView::removed ();
}

void EditorViewBase::forgetMenuTarget ()
{
	if (menuTarget == nullptr)
		return;
	menuTarget->owner = nullptr;
	menuTarget->release ();
	menuTarget = nullptr;
}

tresult PLUGIN_API EditorViewBase::checkSizeConstraint (ViewRect* rect)
{
	if (rect == nullptr)
		return kInvalidArgument;
	const double z = zoomForSize (rect->getWidth (), rect->getHeight (), contentScale, zoomFactor);
	const PanelSize size = zoomedPanelSize (contentScale, z);
	rect->right = rect->left + size.width;
	rect->bottom = rect->top + size.height;
	return kResultTrue;
}

tresult PLUGIN_API EditorViewBase::onSize (ViewRect* newSize)
{
	if (newSize == nullptr)
		return kInvalidArgument;
	IPtr<EditorViewBase> keepAlive (this);
	const double z = zoomForSize (newSize->getWidth (), newSize->getHeight (), contentScale, zoomFactor);
	if (z != zoomFactor && changeZoom (z))
	{
		zoomFactor = z;
		// The zoom is the controller's state, saved with the project.
		tarnoController.zoom = z;
		tarnoController.setDirty (true);
	}
	const PanelSize size = zoomedPanelSize (contentScale, zoomFactor);
	ViewRect exact (newSize->left, newSize->top, newSize->left + size.width, newSize->top + size.height);
	return EditorView::onSize (&exact);
}

tresult PLUGIN_API EditorViewBase::setContentScaleFactor (ScaleFactor factor)
{
	const double f = factor;
	if (!acceptableContentScale (f))
		return kResultFalse;
	if (f == contentScale)
		return kResultTrue;
	// The frame may remove or release the view inside resizeView.
	IPtr<EditorViewBase> keepAlive (this);
	const double previous = contentScale;
	const ViewRect previousRect = getRect ();
	contentScale = f;
	const PanelSize panel = zoomedPanelSize (f, zoomFactor);
	ViewRect size (0, 0, panel.width, panel.height);
	setRect (size);
	if (!changeScale (f))
	{
		// The window could not take the new size (out of memory): it stays
		// as it was, at the old scale.
		contentScale = previous;
		setRect (previousRect);
		changeScale (previous);
		return kResultFalse;
	}
	if (plugFrame && isAttached ())
	{
		// The view has its new size whatever the frame answers; nothing the
		// frame throws goes back to the host.
		try
		{
			plugFrame->resizeView (this, &size);
		}
		catch (...)
		{
		}
	}
	return kResultTrue;
}

tresult PLUGIN_API EditorViewBase::findParameter (int32 x, int32 y, ParamID& resultTag)
{
	const int32_t param = parameterAt (x, y);
	if (param < 0)
		return kResultFalse;
	resultTag = static_cast<ParamID> (param);
	return kResultTrue;
}

bool EditorViewBase::showHostMenu (int32_t x, int32_t y, int32_t param)
{
	FUnknownPtr<IComponentHandler3> handler (tarnoController.getComponentHandler ());
	if (!handler)
		return false;
	// The host may remove or release the view while its menu is up.
	IPtr<EditorViewBase> keepAlive (this);
	const ParamID id = static_cast<ParamID> (param);
	IContextMenu* menu = nullptr;
	try
	{
		menu = handler->createContextMenu (this, param >= 0 ? &id : nullptr);
		if (menu == nullptr)
			return false;
		forgetMenuTarget ();
		menuTarget = new MenuTarget (this, param);
		for (const MenuItem& item : pluginMenuItems (param, zoomFactor))
		{
			IContextMenuItem entry = {};
			if (item.separatorBefore)
			{
				entry.flags = IContextMenuItem::kIsSeparator;
				menu->addItem (entry, nullptr);
			}
			// char16 is wchar_t on Windows: the same 16-bit units.
			UString (entry.name, 128).assign (reinterpret_cast<const char16*> (item.label));
			entry.tag = item.tag;
			entry.flags = item.checked ? IContextMenuItem::kIsChecked : 0;
			menu->addItem (entry, menuTarget);
		}
		menu->popup (x, y);
	}
	catch (...)
	{
	}
	if (menu)
		menu->release ();
	return menu != nullptr;
}

bool EditorViewBase::requestZoom (double zoom)
{
	if (!acceptableZoom (zoom))
		return true;
	IPtr<EditorViewBase> keepAlive (this);
	const PanelSize panel = zoomedPanelSize (contentScale, zoom);
	ViewRect size (0, 0, panel.width, panel.height);
	tresult asked = kResultFalse;
	if (plugFrame && isAttached ())
	{
		try
		{
			asked = plugFrame->resizeView (this, &size);
		}
		catch (...)
		{
		}
		// A host that resized its window without telling the view.
		if (asked == kResultTrue && zoomFactor != zoom)
			onSize (&size);
	}
	else
		onSize (&size);
	return true;
}

bool EditorViewBase::changeScale (double f)
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

bool EditorViewBase::changeZoom (double zoom)
{
	try
	{
		return zoomChanged (zoom);
	}
	catch (...)
	{
		return false;
	}
}

} // namespace Tarno
