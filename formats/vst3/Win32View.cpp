#ifdef _WIN32

#include "formats/vst3/Win32View.h"

#include <cstring>

namespace Tarno {

using namespace Steinberg;

Win32View::Win32View (Controller* c) : EditorViewBase (c), editorHost (*c), window (editorHost, *this)
{
	window.setZoom (zoom ());
	window.setMenuHost (this);
}

Win32View::~Win32View ()
{
	if (window.isOpen ())
	{
		window.close ();
		CPluginView::removed ();
	}
}

tresult PLUGIN_API Win32View::isPlatformTypeSupported (FIDString type)
{
	return type && std::strcmp (type, kPlatformTypeHWND) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Win32View::attached (void* parent, FIDString type)
{
	if (isPlatformTypeSupported (type) != kResultTrue || !window.open (static_cast<HWND> (parent)))
		return kResultFalse;
	return CPluginView::attached (parent, type);
}

tresult PLUGIN_API Win32View::removed ()
{
	window.close ();
	return EditorViewBase::removed ();
}

} // namespace Tarno

#endif // _WIN32
