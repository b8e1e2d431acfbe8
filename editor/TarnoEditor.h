// The plug-in's own editor on Windows: an 860 × 530 child window of the
// host's window (larger at a content scale above 1), painted double-buffered from the controller's values in
// the selected skin, with the appearance selector and the Legato switch on
// top, and the mouse gestures of EditorInput.
#pragma once

#ifdef _WIN32

#include "controller/Controller.h"
#include "editor/EditorCore.h"
#include "editor/EditorViewBase.h"


#include <windows.h>

namespace Tarno {

class TarnoEditor : public EditorViewBase, private EditorWindow
{
public:
	explicit TarnoEditor (Controller* controller);
	~TarnoEditor () override;

	Steinberg::tresult PLUGIN_API isPlatformTypeSupported (Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API attached (void* parent, Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API removed () SMTG_OVERRIDE;

	static LRESULT CALLBACK proc (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
	LRESULT message (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

	HWND windowHandle () const { return window; }

private:
	bool contentScaleChanged (double f) override;
	// The editor's fonts at the current scale; smallFont only while attached.
	void makeFonts ();

	// EditorWindow
	void invalidate () override;
	void setCapture () override;
	void releaseCapture () override;
	bool hasCapture () override;

	void paint (HWND hwnd);
	void tearDownWindow ();

	HFONT textFont = nullptr;
	HFONT titleFont = nullptr;
	HBRUSH backgroundBrush = nullptr;
	ULONG_PTR gdiplusToken1 = 0;
	ULONG_PTR gdiplusToken2 = 0;
	HWND window = nullptr;
	EditorCore core;
	EditorInput& input;
	HFONT smallFont = nullptr;
};

} // namespace Tarno

#endif // _WIN32
