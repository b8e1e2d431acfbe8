#ifdef _WIN32

#include "editor/win32/Win32Window.h"

#include "editor/EditorZoom.h"
#include "editor/skins/EditorFonts.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "params/ParamTable.h"

#include <gdiplus.h>

#include <string>

namespace Tarno {

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

// The module this code is in (the plug-in's DLL, or a program that links
// the editor), which registers the window class.
HINSTANCE thisModule ()
{
	HMODULE module = nullptr;
	GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
	                    reinterpret_cast<LPCWSTR> (&thisModule), &module);
	return module;
}

} // namespace

Win32Window::Win32Window (EditorHost& h, Win32WindowOwner& owner)
: owner (owner), host (h), entry (h), core (h, this), input (core.input)
{
	makeFonts ();
	backgroundBrush = CreateSolidBrush (RGB (20, 34, 38));
	gdiplusToken = startGdiplus ();
}

void Win32Window::makeFonts ()
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

bool Win32Window::setScale (double f)
{
	applyScale (f, zoomFactor);
	return true;
}

bool Win32Window::setZoom (double zoom)
{
	if (!acceptableZoom (zoom))
		return false;
	applyScale (contentScale, zoom);
	return true;
}

void Win32Window::applyScale (double newScale, double newZoom)
{
	// The field sits over a readout at the old size: it goes.
	closeField ();
	contentScale = newScale;
	zoomFactor = newZoom;
	core.setScale (newScale * newZoom);
	makeFonts ();
	if (!window)
		return;
	SetWindowPos (window, nullptr, 0, 0, core.pixelWidth (), core.pixelHeight (),
	              SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
	invalidate ();
}

Win32Window::~Win32Window ()
{
	close ();
	if (gdiplusToken)
		Gdiplus::GdiplusShutdown (gdiplusToken);
	DeleteObject (textFont);
	DeleteObject (titleFont);
	DeleteObject (backgroundBrush);
}

bool Win32Window::open (HWND parent)
{
	if (parent == nullptr || window != nullptr)
		return false;
	const HINSTANCE instance = thisModule ();
	WNDCLASSW windowClass = {};
	windowClass.style = CS_DBLCLKS;
	windowClass.lpfnWndProc = proc;
	windowClass.hInstance = instance;
	windowClass.hCursor = LoadCursorW (nullptr, reinterpret_cast<LPCWSTR> (IDC_ARROW));
	windowClass.lpszClassName = kWindowClass;
	RegisterClassW (&windowClass);

	const FontSpec small = scaledFont (kSmallFont, core.scale ());
	smallFont = makeFont (small.height, small.weight);
	window = CreateWindowExW (0, kWindowClass, L"Tarnovelle", WS_CHILD | WS_VISIBLE, 0, 0, core.pixelWidth (),
	                          core.pixelHeight (), static_cast<HWND> (parent), nullptr, instance, this);
	if (window == nullptr)
	{
		DeleteObject (smallFont);
		smallFont = nullptr;
		UnregisterClassW (kWindowClass, instance);
		return false;
	}
	SetTimer (window, kTimerId, kTimerPeriodMs, nullptr);
	return true;
}

void Win32Window::close ()
{
	if (window == nullptr)
		return;
	KillTimer (window, kTimerId);
	// A drag still in progress ends with its one endEdit before the window
	// goes; a field open goes first, a menu up is ended (its tracking
	// returns nothing once the window is closed).
	input.endDrag ();
	closeField ();
	if (menuTracking)
		EndMenu ();
	// The window is no longer this view's before it is destroyed: the
	// messages its destruction sends (also from the destructor, where the
	// view must not be held again) go past the view.
	HWND closing = window;
	window = nullptr;
	DestroyWindow (closing);
	UnregisterClassW (kWindowClass, thisModule ());
	DeleteObject (smallFont);
	smallFont = nullptr;
	picture.release ();
}

void Win32Window::invalidate ()
{
	if (window)
		updatePicture ();
}

void Win32Window::updatePicture ()
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

void Win32Window::setCapture ()
{
	if (window)
		SetCapture (window);
}

void Win32Window::releaseCapture () { ReleaseCapture (); }

bool Win32Window::hasCapture () { return window != nullptr && GetCapture () == window; }

// Every call the window makes to its host while handling a message (an edit,
// the skin) may close this window, or release its owner for the last time.
// The owner is held for the whole message, and a window on its way out (WM_NCDESTROY)
// forgets it, so that no later message reaches it. Nothing thrown (out of
// memory while painting) crosses the window procedure.
LRESULT CALLBACK Win32Window::proc (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	auto* editor = reinterpret_cast<Win32Window*> (GetWindowLongPtrW (hwnd, GWLP_USERDATA));
	if (msg == WM_NCCREATE)
	{
		editor = static_cast<Win32Window*> (reinterpret_cast<CREATESTRUCTW*> (lParam)->lpCreateParams);
		SetWindowLongPtrW (hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR> (editor));
	}
	if (msg == WM_NCDESTROY)
		SetWindowLongPtrW (hwnd, GWLP_USERDATA, 0);
	// Only an editor whose window this still is handles the message: one
	// that was closed inside an earlier message gets none of the later ones.
	if (editor == nullptr || editor->window != hwnd || msg == WM_NCDESTROY)
		return DefWindowProcW (hwnd, msg, wParam, lParam);
	Win32WindowOwner& owner = editor->owner;
	owner.holdOwner ();
	LRESULT result = 0;
	try
	{
		result = editor->message (hwnd, msg, wParam, lParam);
	}
	catch (...)
	{
	}
	owner.releaseOwner ();
	return result;
}

LRESULT Win32Window::message (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
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
			// A click elsewhere cancels the field (also through its focus
			// loss) and acts as usual.
			closeField ();
			if ((wParam & MK_CONTROL) != 0)
			{
				const int32_t param = input.parameterAt (p.x, p.y);
				if (param >= 0)
				{
					openValueEntry (param);
					return 0;
				}
			}
			input.press (p.x, p.y, shift);
			return 0;
		}
		case WM_RBUTTONUP:
		{
			const MousePoint p = mousePoint (static_cast<uint32_t> (lParam));
			rightClick (p.x, p.y);
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
			closeField ();
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

void Win32Window::rightClick (int32_t x, int32_t y)
{
	// A drag holds the left button: its gesture is not interrupted.
	if (input.dragging ())
		return;
	closeField ();
	const HWND hwnd = window;
	const int32_t param = input.parameterAt (x, y);
	if (menuHost && menuHost->showHostMenu (x, y, param))
		return;
	// The host may have closed the window while its menu was up.
	if (window != hwnd)
		return;
	HMENU menu = CreatePopupMenu ();
	if (menu == nullptr)
		return;
	for (const MenuItem& item : pluginMenuItems (param, zoomFactor))
	{
		if (item.separatorBefore)
			AppendMenuW (menu, MF_SEPARATOR, 0, nullptr);
		AppendMenuW (menu, MF_STRING | (item.checked ? MF_CHECKED : 0u), static_cast<UINT_PTR> (item.tag),
		             reinterpret_cast<LPCWSTR> (item.label));
	}
	POINT at = {x, y};
	ClientToScreen (hwnd, &at);
	menuTracking = true;
	const int tag = static_cast<int> (
		TrackPopupMenu (menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd, nullptr));
	menuTracking = false;
	DestroyMenu (menu);
	// Closed while the menu was up (EndMenu): nothing is chosen.
	if (tag != 0 && window == hwnd)
		chooseMenuItem (tag, param);
}

void Win32Window::chooseMenuItem (int32_t tag, int32_t param)
{
	Tarno::chooseMenuItem (*this, input, menuHost, tag, param);
}

bool Win32Window::openValueEntry (int32_t param)
{
	if (window == nullptr)
		return false;
	input.endDrag ();
	closeField ();
	if (!entry.open (param))
		return false;
	// The edit control covers the readout at the drawing scale.
	const double f = core.scale ();
	const Rect box = ValueEntry::box (host.skin (), param);
	std::wstring text (entry.text ().begin (), entry.text ().end ());
	field = CreateWindowExW (0, L"EDIT", text.c_str (), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
	                         scaledLength (box.left, f), scaledLength (box.top, f),
	                         scaledLength (box.right - box.left, f), scaledLength (box.bottom - box.top, f), window,
	                         nullptr, thisModule (), nullptr);
	if (field == nullptr)
	{
		entry.cancel ();
		return false;
	}
	SendMessageW (field, WM_SETFONT, reinterpret_cast<WPARAM> (textFont), FALSE);
	SetWindowLongPtrW (field, GWLP_USERDATA, reinterpret_cast<LONG_PTR> (this));
	fieldProcBefore =
		reinterpret_cast<WNDPROC> (SetWindowLongPtrW (field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR> (fieldProc)));
	SendMessageW (field, EM_SETSEL, 0, -1);
	focusBefore = SetFocus (field);
	return true;
}

void Win32Window::closeField (bool giveFocusBack)
{
	if (field == nullptr)
		return;
	entry.cancel ();
	// No longer the field before it goes: its focus loss on the way out
	// finds nothing to cancel.
	const HWND closing = field;
	field = nullptr;
	if (giveFocusBack && GetFocus () == closing && focusBefore && IsWindow (focusBefore))
		SetFocus (focusBefore);
	focusBefore = nullptr;
	SetWindowLongPtrW (closing, GWLP_WNDPROC, reinterpret_cast<LONG_PTR> (fieldProcBefore));
	DestroyWindow (closing);
}

void Win32Window::commitField ()
{
	const int length = GetWindowTextLengthW (field);
	std::wstring wide (static_cast<size_t> (length) + 1, L'\0');
	GetWindowTextW (field, &wide[0], length + 1);
	std::string text;
	for (int i = 0; i < length; ++i)
		text += wide[size_t (i)] < 0x80 ? static_cast<char> (wide[size_t (i)]) : '?';
	entry.setText (text);
	// The edit may close the window (and the field with it); the owner is
	// held, so closeField finds nothing left then.
	if (entry.commit (input))
	{
		closeField ();
		return;
	}
	const std::wstring note (entry.text ().begin (), entry.text ().end ());
	SetWindowTextW (field, note.c_str ());
	SendMessageW (field, EM_SETSEL, 0, -1);
}

// The field's messages: Enter and Escape, and its focus going elsewhere.
// The owner is held as for the window's own messages.
LRESULT CALLBACK Win32Window::fieldProc (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	auto* editor = reinterpret_cast<Win32Window*> (GetWindowLongPtrW (hwnd, GWLP_USERDATA));
	if (editor == nullptr || editor->field != hwnd)
		return DefWindowProcW (hwnd, msg, wParam, lParam);
	Win32WindowOwner& owner = editor->owner;
	owner.holdOwner ();
	LRESULT result = 0;
	try
	{
		result = editor->fieldMessage (hwnd, msg, wParam, lParam);
	}
	catch (...)
	{
	}
	owner.releaseOwner ();
	return result;
}

LRESULT Win32Window::fieldMessage (HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	const WNDPROC before = fieldProcBefore;
	switch (msg)
	{
		case WM_GETDLGCODE: return DLGC_WANTALLKEYS | CallWindowProcW (before, hwnd, msg, wParam, lParam);
		case WM_KEYDOWN:
			if (wParam == VK_RETURN)
			{
				commitField ();
				return 0;
			}
			if (wParam == VK_ESCAPE)
			{
				closeField ();
				return 0;
			}
			break;
		case WM_CHAR:
			// Enter and Escape were handled as keys: no beep.
			if (wParam == '\r' || wParam == 0x1B)
				return 0;
			break;
		case WM_KILLFOCUS:
		{
			const LRESULT r = CallWindowProcW (before, hwnd, msg, wParam, lParam);
			closeField (false);
			return r;
		}
		default: break;
	}
	return CallWindowProcW (before, hwnd, msg, wParam, lParam);
}

void Win32Window::paint (HWND hwnd)
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
