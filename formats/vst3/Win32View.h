// The editor as a VST 3 view on Windows: the editor's window (editor/win32)
// as a child of the host's HWND. Content scales come through EditorViewBase.
#pragma once

#ifdef _WIN32

#include "editor/win32/Win32Window.h"
#include "formats/vst3/Controller.h"
#include "formats/vst3/ControllerEditorHost.h"
#include "formats/vst3/EditorViewBase.h"

namespace Tarno {

class Win32View : public EditorViewBase, private Win32WindowOwner
{
public:
	explicit Win32View (Controller* controller);
	~Win32View () override;

	Steinberg::tresult PLUGIN_API isPlatformTypeSupported (Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API attached (void* parent, Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API removed () SMTG_OVERRIDE;

	HWND windowHandle () const { return window.handle (); }

private:
	bool contentScaleChanged (double f) override { return window.setScale (f); }
	// The view is held while its window handles a message.
	void holdOwner () override { addRef (); }
	void releaseOwner () override { release (); }

	ControllerEditorHost editorHost;
	Win32Window window;
};

} // namespace Tarno

#endif // _WIN32
