// The plug-in's own editor on Windows: an 860 × 530 child window of the
// host's window, painted double-buffered from the controller's values in
// the selected skin, with the appearance selector and the Legato switch on
// top, and the mouse gestures of EditorInput.
#pragma once

#ifdef _WIN32

#include "controller/Controller.h"
#include "editor/EditorCore.h"

#include "public.sdk/source/vst/vsteditcontroller.h"

#include <windows.h>

namespace Tarno {

class TarnoEditor : public Steinberg::Vst::EditorView, private EditorWindow
{
public:
	static constexpr int kWidth = 860;
	static constexpr int kHeight = 530;

	explicit TarnoEditor (Controller* controller);
	~TarnoEditor () override;

	Steinberg::tresult PLUGIN_API isPlatformTypeSupported (Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API attached (void* parent, Steinberg::FIDString type) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API removed () SMTG_OVERRIDE;
	// The SDK's view base accepts a null size.
	Steinberg::tresult PLUGIN_API onSize (Steinberg::ViewRect* newSize) SMTG_OVERRIDE
	{
		return newSize ? EditorView::onSize (newSize) : Steinberg::kInvalidArgument;
	}
	// Also answers kInvalidArgument for a null IID or a null result pointer.
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE
	{
		if (iid == nullptr || obj == nullptr)
			return Steinberg::kInvalidArgument;
		return EditorView::queryInterface (iid, obj);
	}

	static LRESULT CALLBACK proc (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
	LRESULT message (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

	HWND windowHandle () const { return window; }

private:
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
