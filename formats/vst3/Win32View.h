// The editor as a VST 3 view on Windows: the editor's window (editor/win32)
// as a child of the host's HWND. Content scales, zoom, the parameter finder
// and the host's context menu come through EditorViewBase.
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
	// For tests: the typed-value field's edit control while open.
	HWND valueField () const { return window.valueField (); }

private:
	bool contentScaleChanged (double f) override { return window.setScale (f); }
	bool zoomChanged (double zoom) override { return window.setZoom (zoom); }
	int32_t parameterAt (int32_t x, int32_t y) const override { return window.parameterAt (x, y); }
	void chooseMenuItem (int32_t tag, int32_t param) override { window.chooseMenuItem (tag, param); }
	// The view is held while its window handles a message.
	void holdOwner () override { addRef (); }
	void releaseOwner () override { release (); }

	ControllerEditorHost editorHost;
	Win32Window window;
};

} // namespace Tarno

#endif // _WIN32
