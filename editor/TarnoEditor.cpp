#ifdef _WIN32

#include "editor/TarnoEditor.h"

#include "editor/EditorFonts.h"

#include <gdiplus.h>

// The module's instance handle, recorded by the module entry.
extern HINSTANCE ghInst;

namespace Tarno {

using namespace Steinberg;

namespace {

constexpr const wchar_t* kWindowClass = L"TarnovelleMultiSkinVST3_110";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriodMs = 100;

HFONT makeFont (int height, int weight)
{
	return CreateFontA (-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
	                    CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Segoe UI");
}

ULONG_PTR startGdiplus ()
{
	ULONG_PTR token = 0;
	Gdiplus::GdiplusStartupInput input; // version 1, no callback, nothing suppressed
	Gdiplus::GdiplusStartup (&token, &input, nullptr);
	return token;
}

} // namespace

TarnoEditor::TarnoEditor (Controller* c) : EditorViewBase (c), core (*c, this), input (core.input)
{
	makeFonts ();
	backgroundBrush = CreateSolidBrush (RGB (20, 34, 38));
	gdiplusToken = startGdiplus ();
}

void TarnoEditor::makeFonts ()
{
	auto remake = [this] (HFONT& font, const FontSpec& spec) {
		if (font)
			DeleteObject (font);
		const FontSpec scaled = scaledFont (spec, core.scale ());
		font = makeFont (scaled.height, scaled.weight);
	};
	remake (textFont, kTextFont);
	remake (titleFont, kTitleFont);
	if (window)
		remake (smallFont, kSmallFont);
}

bool TarnoEditor::contentScaleChanged (double f)
{
	core.setScale (f);
	makeFonts ();
	if (!window)
		return true;
	SetWindowPos (window, nullptr, 0, 0, core.pixelWidth (), core.pixelHeight (),
	              SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
	invalidate ();
	return true;
}

TarnoEditor::~TarnoEditor ()
{
	if (window)
	{
		tearDownWindow ();
		CPluginView::removed ();
	}
	if (gdiplusToken)
		Gdiplus::GdiplusShutdown (gdiplusToken);
	DeleteObject (textFont);
	DeleteObject (titleFont);
	DeleteObject (backgroundBrush);
}

tresult PLUGIN_API TarnoEditor::isPlatformTypeSupported (FIDString type)
{
	return type && std::strcmp (type, kPlatformTypeHWND) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API TarnoEditor::attached (void* parent, FIDString type)
{
	if (isPlatformTypeSupported (type) != kResultTrue || parent == nullptr || window != nullptr)
		return kResultFalse;

	WNDCLASSW windowClass = {};
	windowClass.style = CS_DBLCLKS;
	windowClass.lpfnWndProc = proc;
	windowClass.hInstance = ghInst;
	windowClass.hCursor = LoadCursorW (nullptr, reinterpret_cast<LPCWSTR> (IDC_ARROW));
	windowClass.lpszClassName = kWindowClass;
	RegisterClassW (&windowClass);

	const FontSpec small = scaledFont (kSmallFont, core.scale ());
	smallFont = makeFont (small.height, small.weight);
	window = CreateWindowExW (0, kWindowClass, L"Tarnovelle", WS_CHILD | WS_VISIBLE, 0, 0, core.pixelWidth (),
	                          core.pixelHeight (), static_cast<HWND> (parent), nullptr, ghInst, this);
	if (window == nullptr)
	{
		DeleteObject (smallFont);
		smallFont = nullptr;
		UnregisterClassW (kWindowClass, ghInst);
		return kResultFalse;
	}
	SetTimer (window, kTimerId, kTimerPeriodMs, nullptr);
	return CPluginView::attached (parent, type);
}

void TarnoEditor::tearDownWindow ()
{
	KillTimer (window, kTimerId);
	// A drag still in progress ends with its one endEdit before the window goes.
	input.endDrag ();
	// The window is no longer this view's before it is destroyed: the
	// messages its destruction sends (also from the destructor, where the
	// view must not be held again) go past the view.
	HWND closing = window;
	window = nullptr;
	DestroyWindow (closing);
	UnregisterClassW (kWindowClass, ghInst);
	DeleteObject (smallFont);
	smallFont = nullptr;
	picture.release ();
}

tresult PLUGIN_API TarnoEditor::removed ()
{
	if (window)
		tearDownWindow ();
	return CPluginView::removed ();
}

void TarnoEditor::invalidate ()
{
	if (window)
		updatePicture ();
}

void TarnoEditor::updatePicture ()
{
	// The fonts as the panel's texts ask for them at this scale.
	const double f = core.scale ();
	const GdiFontEntry fonts[] = {{scaledFont (kTextFont, f), textFont},
	                              {scaledFont (kTitleFont, f), titleFont},
	                              {scaledFont (kSmallFont, f), smallFont}};
	HDC windowDc = GetDC (window);
	picture.update (core, windowDc, backgroundBrush, fonts, 3, changedRects);
	ReleaseDC (window, windowDc);
	for (const RECT& r : changedRects)
		InvalidateRect (window, &r, FALSE);
}

void TarnoEditor::setCapture ()
{
	if (window)
		SetCapture (window);
}

void TarnoEditor::releaseCapture () { ReleaseCapture (); }

bool TarnoEditor::hasCapture () { return window != nullptr && GetCapture () == window; }

// Every call the editor makes to its host while handling a message
// (beginEdit, performEdit, endEdit, setDirty) may remove the view, which
// destroys this window, or release the view for the last time. The view is
// held for the whole message, and a window on its way out (WM_NCDESTROY)
// forgets it, so that no later message reaches it. Nothing thrown (out of
// memory while painting) crosses the window procedure.
LRESULT CALLBACK TarnoEditor::proc (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	auto* editor = reinterpret_cast<TarnoEditor*> (GetWindowLongPtrW (hwnd, GWLP_USERDATA));
	if (msg == WM_NCCREATE)
	{
		editor = static_cast<TarnoEditor*> (reinterpret_cast<CREATESTRUCTW*> (lParam)->lpCreateParams);
		SetWindowLongPtrW (hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR> (editor));
	}
	if (msg == WM_NCDESTROY)
		SetWindowLongPtrW (hwnd, GWLP_USERDATA, 0);
	// Only a view whose window this still is handles the message: one that
	// was removed inside an earlier message gets none of the later ones.
	if (editor == nullptr || editor->window != hwnd || msg == WM_NCDESTROY)
		return DefWindowProcW (hwnd, msg, wParam, lParam);
	IPtr<TarnoEditor> keepAlive (editor);
	try
	{
		return editor->message (hwnd, msg, wParam, lParam);
	}
	catch (...)
	{
		return 0;
	}
}

LRESULT TarnoEditor::message (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	const bool shift = (wParam & MK_SHIFT) != 0;
	switch (msg)
	{
		case WM_PAINT: paint (hwnd); return 0;
		case WM_ERASEBKGND: return 1;
		case WM_TIMER:
			// A repaint when something changed, except during a drag.
			if (core.wantsTimerRepaint (false))
				invalidate ();
			return 0;
		case WM_LBUTTONDOWN:
		{
			const MousePoint p = mousePoint (static_cast<uint32_t> (lParam));
			input.press (p.x, p.y, shift);
			return 0;
		}
		case WM_MOUSEMOVE:
		{
			const MousePoint p = mousePoint (static_cast<uint32_t> (lParam));
			input.move (p.x, p.y, shift);
			return 0;
		}
		case WM_LBUTTONUP: input.buttonUp (); return 0;
		case WM_CAPTURECHANGED: input.captureChanged (); return 0;
		case WM_LBUTTONDBLCLK:
		{
			const MousePoint p = mousePoint (static_cast<uint32_t> (lParam));
			input.doubleClick (p.x, p.y);
			return 0;
		}
		case WM_MOUSEWHEEL:
		{
			// The wheel's point is in screen coordinates.
			const MousePoint p = mousePoint (static_cast<uint32_t> (lParam));
			POINT client = {p.x, p.y};
			ScreenToClient (hwnd, &client);
			const WheelInfo wheel = wheelInfo (static_cast<uint32_t> (wParam));
			input.wheel (client.x, client.y, wheel.delta, wheel.shift);
			return 0;
		}
		default: return DefWindowProcW (hwnd, msg, wParam, lParam);
	}
}

void TarnoEditor::paint (HWND hwnd)
{
	// Whatever asked for this paint, it shows the values as they are now;
	// what that changes joins the area to paint.
	updatePicture ();
	PAINTSTRUCT ps;
	HDC windowDc = BeginPaint (hwnd, &ps);
	picture.copyTo (windowDc, ps.rcPaint);
	EndPaint (hwnd, &ps);
}

} // namespace Tarno

#endif // _WIN32
