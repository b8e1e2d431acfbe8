// The plug-in's own editor on Windows: an 860 × 530 child window of the
// host's window (larger at a content scale above 1), showing the controller's
// values in the selected skin, with the appearance selector and the Legato
// switch on top, and the mouse gestures of EditorInput. It repaints when
// something changed (an edit at once, a host's change at the next tick of
// its 100 ms timer), and then draws only what changed, into the picture it
// keeps off-screen (GdiPanelPicture).
#pragma once

#ifdef _WIN32

#include "controller/Controller.h"
#include "editor/EditorCore.h"
#include "editor/EditorViewBase.h"
#include "editor/GdiPanelPicture.h"

#include <windows.h>

#include <vector>

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

	// Brings the kept picture up to the controller's state and invalidates
	// what changed in the window.
	void updatePicture ();
	void paint (HWND hwnd);
	void tearDownWindow ();

	HFONT textFont = nullptr;
	HFONT titleFont = nullptr;
	HBRUSH backgroundBrush = nullptr;
	ULONG_PTR gdiplusToken = 0;
	HWND window = nullptr;
	EditorCore core;
	EditorInput& input;
	HFONT smallFont = nullptr;
	GdiPanelPicture picture;
	std::vector<RECT> changedRects; // of the last updatePicture
};

} // namespace Tarno

#endif // _WIN32
