// The real bundle's editor in a real window: the view is created by the
// bundle's controller, attached to a top-level window of the test, and
// driven with the mouse messages Windows sends. What reaches the host is
// read from the host's recording component handler; what the window shows
// is read back from its pixels. Runs under Wine, which needs an X display
// (scripts/test.sh provides one with xvfb-run).
//
// EditorWindow.Screenshots also writes editor-original.png,
// editor-vintage.png, editor-silver.png and editor-silver-2x.png (content
// scale 2) into the working directory, and into $TARNO_SCREENSHOT_DIR when
// that is set.
#ifdef _WIN32
#ifdef TARNO_HAVE_PLUGIN

#include "editor/EditorMenu.h"
#include "editor/ValueEntry.h"
#include "editor/canvas/GdiCanvas.h"
#include "editor/skins/PanelLayout.h"
#include "editor/skins/SkinPainter.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "params/ParamTable.h"
#include "params/Presets.h"
#include "tests/EditGestureModel.h"
#include "tests/ScaleProbes.h"
#include "tests/StreamUtil.h"

#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace TarnoTest;
using Tarno::Host::HandlerCall;
using Tarno::Host::Module;
using Tarno::Host::PluginInstance;

namespace {

constexpr int kWidth = 860, kHeight = 530;
constexpr const wchar_t* kEditorClass = L"TarnovelleMultiSkinVST3_110";
constexpr const wchar_t* kHostClass = L"TarnoTestHostWindow";

// Points inside the ORIGINAL cells of Square (id 0) and Transpose (id 10),
// in the Legato switch halves, the first preset button and the skin buttons.
constexpr int kSqX = 70, kSqY = 250;
constexpr int kTrX = 280, kTrY = 400;
constexpr int kLegatoOffX = 670, kLegatoOnX = 710, kLegatoY = 360;
constexpr int kPresetY = 120;
constexpr int kSkinY = 55;
constexpr int kSkinX[3] = {570, 668, 766};

struct Rgb
{
	int r, g, b;
	bool operator== (const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
	bool operator!= (const Rgb& o) const { return !(*this == o); }
};

std::ostream& operator<< (std::ostream& os, const Rgb& c)
{
	return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

struct Image
{
	int width = 0, height = 0;
	std::vector<uint8_t> rgb; // rows top to bottom, 3 bytes per pixel

	Rgb at (int x, int y) const
	{
		if (x < 0 || y < 0 || x >= width || y >= height)
			return {-1, -1, -1};
		const size_t i = (size_t (y) * size_t (width) + size_t (x)) * 3;
		return {rgb[i], rgb[i + 1], rgb[i + 2]};
	}
	// Whether colour c appears within radius pixels of (x, y): lines are
	// placed by the rasteriser to a pixel or so.
	bool hasNear (int x, int y, Rgb c, int radius = 2) const
	{
		for (int dy = -radius; dy <= radius; ++dy)
			for (int dx = -radius; dx <= radius; ++dx)
				if (at (x + dx, y + dy) == c)
					return true;
		return false;
	}
};

// The CLSID of GDI+'s PNG encoder.
bool pngEncoder (CLSID& clsid)
{
	UINT count = 0, size = 0;
	if (Gdiplus::GetImageEncodersSize (&count, &size) != Gdiplus::Ok || size == 0)
		return false;
	std::vector<BYTE> buffer (size);
	auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*> (buffer.data ());
	if (Gdiplus::GetImageEncoders (count, size, codecs) != Gdiplus::Ok)
		return false;
	for (UINT i = 0; i < count; ++i)
		if (std::wcscmp (codecs[i].MimeType, L"image/png") == 0)
		{
			clsid = codecs[i].Clsid;
			return true;
		}
	return false;
}

// Writes the image as a PNG file with GDI+'s own encoder.
bool writePng (const std::string& path, const Image& image)
{
	Gdiplus::GdiplusStartupInput input;
	ULONG_PTR token = 0;
	if (Gdiplus::GdiplusStartup (&token, &input, nullptr) != Gdiplus::Ok)
		return false;
	bool written = false;
	{
		// GDI+'s 24-bit rows: blue, green, red, each row padded to 4 bytes.
		const int stride = (image.width * 3 + 3) & ~3;
		std::vector<BYTE> bgr (size_t (stride) * size_t (image.height));
		for (int y = 0; y < image.height; ++y)
			for (int x = 0; x < image.width; ++x)
				for (int c = 0; c < 3; ++c)
					bgr[size_t (y) * stride + 3 * x + c] = image.rgb[(size_t (y) * image.width + x) * 3 + 2 - c];
		Gdiplus::Bitmap bitmap (image.width, image.height, stride, PixelFormat24bppRGB, bgr.data ());
		CLSID png;
		const std::wstring wide (path.begin (), path.end ());
		written = pngEncoder (png) && bitmap.Save (wide.c_str (), &png, nullptr) == Gdiplus::Ok;
	}
	Gdiplus::GdiplusShutdown (token);
	return written;
}

// Copies width × height pixels from a device context into a DIB section.
Image copyPixels (HDC source, int width, int height)
{
	Image image;
	if (!source || width <= 0 || height <= 0)
		return image;
	HDC memory = CreateCompatibleDC (source);
	BITMAPINFO info = {};
	info.bmiHeader.biSize = sizeof (BITMAPINFOHEADER);
	info.bmiHeader.biWidth = width;
	info.bmiHeader.biHeight = -height; // top-down rows
	info.bmiHeader.biPlanes = 1;
	info.bmiHeader.biBitCount = 32;
	info.bmiHeader.biCompression = BI_RGB;
	void* bits = nullptr;
	HBITMAP dib = CreateDIBSection (memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
	if (dib && bits)
	{
		HGDIOBJ old = SelectObject (memory, dib);
		if (BitBlt (memory, 0, 0, width, height, source, 0, 0, SRCCOPY))
		{
			GdiFlush ();
			image.width = width;
			image.height = height;
			image.rgb.resize (size_t (width) * size_t (height) * 3);
			const auto* bgra = static_cast<const uint8_t*> (bits);
			for (size_t p = 0; p < size_t (width) * size_t (height); ++p)
			{
				image.rgb[3 * p] = bgra[4 * p + 2];
				image.rgb[3 * p + 1] = bgra[4 * p + 1];
				image.rgb[3 * p + 2] = bgra[4 * p];
			}
		}
		SelectObject (memory, old);
		DeleteObject (dib);
	}
	DeleteDC (memory);
	return image;
}

// Copies what the window shows through its own device context into a DIB
// section (PrintWindow does not give the painted picture under Wine).
Image capture (HWND window)
{
	RECT client = {};
	GetClientRect (window, &client);
	HDC source = GetDC (window);
	Image image = copyPixels (source, client.right, client.bottom);
	if (source)
		ReleaseDC (window, source);
	return image;
}

// The whole panel painted afresh, as the editor painted each repaint before
// it kept its picture: paintPanel through a GdiCanvas onto a bitmap made
// like the window's, with the editor's panel brush.
Image freshPaint (HWND window, int32 skin, const Tarno::ParamBlock& values, int32 activeParam, double f)
{
	RECT client = {};
	GetClientRect (window, &client);
	HDC windowDc = GetDC (window);
	HDC dc = CreateCompatibleDC (windowDc);
	HBITMAP bitmap = CreateCompatibleBitmap (windowDc, client.right, client.bottom);
	HGDIOBJ previous = SelectObject (dc, bitmap);
	HBRUSH brush = CreateSolidBrush (RGB (20, 34, 38));
	{
		Tarno::GdiCanvas canvas (dc, brush, nullptr, 0);
		Tarno::paintPanel (canvas, skin, values, activeParam, f);
	}
	Image image = copyPixels (dc, client.right, client.bottom);
	DeleteObject (brush);
	SelectObject (dc, previous);
	DeleteObject (bitmap);
	DeleteDC (dc);
	ReleaseDC (window, windowDc);
	return image;
}

// Reads a PNG file with GDI+'s decoder; an empty image if that fails.
Image readPng (const std::string& path)
{
	Image image;
	Gdiplus::GdiplusStartupInput input;
	ULONG_PTR token = 0;
	if (Gdiplus::GdiplusStartup (&token, &input, nullptr) != Gdiplus::Ok)
		return image;
	{
		const std::wstring wide (path.begin (), path.end ());
		Gdiplus::Bitmap bitmap (wide.c_str ());
		Gdiplus::BitmapData data;
		Gdiplus::Rect all (0, 0, int (bitmap.GetWidth ()), int (bitmap.GetHeight ()));
		if (bitmap.GetLastStatus () == Gdiplus::Ok &&
		    bitmap.LockBits (&all, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &data) == Gdiplus::Ok)
		{
			image.width = all.Width;
			image.height = all.Height;
			image.rgb.resize (size_t (all.Width) * size_t (all.Height) * 3);
			for (int y = 0; y < all.Height; ++y)
				for (int x = 0; x < all.Width; ++x)
					for (int c = 0; c < 3; ++c)
						image.rgb[(size_t (y) * all.Width + x) * 3 + c] =
							static_cast<const BYTE*> (data.Scan0)[y * data.Stride + 3 * x + 2 - c];
			bitmap.UnlockBits (&data);
		}
	}
	Gdiplus::GdiplusShutdown (token);
	return image;
}

// Runs the test thread's message loop for ms milliseconds: timers fire and
// invalidated windows get their WM_PAINT.
void pump (int ms)
{
	const ULONGLONG end = GetTickCount64 () + ULONGLONG (ms);
	do
	{
		// Bounded by the time too: a paint slower than the editor's timer
		// period keeps a message waiting all the time.
		MSG msg;
		while (GetTickCount64 () < end && PeekMessageW (&msg, nullptr, 0, 0, PM_REMOVE))
		{
			TranslateMessage (&msg);
			DispatchMessageW (&msg);
		}
		Sleep (5);
	} while (GetTickCount64 () < end);
}

LPARAM point (int x, int y) { return MAKELPARAM (WORD (x), WORD (y)); }

// The handler's calls as one line: b = beginEdit, p = performEdit,
// e = endEdit, d = setDirty (true), D = setDirty (false), ? = anything else.
std::string trail (const std::vector<HandlerCall>& calls)
{
	std::string s;
	for (const auto& c : calls)
	{
		char t[24] = "?";
		switch (c.kind)
		{
			case HandlerCall::Kind::BeginEdit: std::snprintf (t, sizeof t, "b%u", unsigned (c.id)); break;
			case HandlerCall::Kind::PerformEdit: std::snprintf (t, sizeof t, "p%u", unsigned (c.id)); break;
			case HandlerCall::Kind::EndEdit: std::snprintf (t, sizeof t, "e%u", unsigned (c.id)); break;
			case HandlerCall::Kind::SetDirty: std::snprintf (t, sizeof t, "%s", c.state ? "d" : "D"); break;
			default: break;
		}
		s += (s.empty () ? "" : " ") + std::string (t);
	}
	return s;
}

std::vector<double> performedValues (const std::vector<HandlerCall>& calls)
{
	std::vector<double> values;
	for (const auto& c : calls)
		if (c.kind == HandlerCall::Kind::PerformEdit)
			values.push_back (c.value);
	return values;
}

void registerHostClass ()
{
	static bool registered = false;
	if (registered)
		return;
	WNDCLASSW wc = {};
	wc.lpfnWndProc = DefWindowProcW;
	wc.hInstance = GetModuleHandleW (nullptr);
	wc.hCursor = LoadCursorW (nullptr, reinterpret_cast<LPCWSTR> (IDC_ARROW));
	wc.hbrBackground = reinterpret_cast<HBRUSH> (COLOR_WINDOW + 1);
	wc.lpszClassName = kHostClass;
	registered = RegisterClassW (&wc) != 0;
}

// A 12-byte controller state selecting skin s.
Bytes uiState (int32 skin)
{
	Bytes b;
	appendLe32 (b, 0x54565549); // "TVUI"
	appendLe32 (b, 1);
	appendLe32 (b, uint32_t (skin));
	return b;
}

// The bundle loaded, one instance created through our host, a shown
// top-level window of the test standing in for the host's editor frame,
// and the instance's editor view created (not attached).
//
// The window is shared by all tests: without a window manager on the
// display, Wine waits two seconds for each top-level window it destroys.
// It is large enough for the view at content scale 2.
class EditorWindow : public ::testing::Test
{
protected:
	static void SetUpTestSuite ()
	{
		registerHostClass ();
		sharedParent = CreateWindowExW (0, kHostClass, L"Tarnovelle editor test",
		                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1800, 1160, nullptr, nullptr,
		                                GetModuleHandleW (nullptr), nullptr);
		if (sharedParent)
		{
			ShowWindow (sharedParent, SW_SHOW);
			UpdateWindow (sharedParent);
		}
	}

	static void TearDownTestSuite ()
	{
		if (sharedParent)
			DestroyWindow (sharedParent);
		sharedParent = nullptr;
		pump (20);
	}

	void SetUp () override
	{
		// Keep the display's pointer away from the windows, so that no real
		// mouse moves are mixed into the messages the tests send.
		SetCursorPos (GetSystemMetrics (SM_CXSCREEN) - 1, GetSystemMetrics (SM_CYSCREEN) - 1);

		const char* env = std::getenv ("TARNO_BUNDLE");
		std::string error;
		module = Module::load (env && *env ? env : "Tarnovelle.vst3", error);
		ASSERT_TRUE (module) << error;
		ASSERT_EQ (plugin.create (*module, module->classes ()[0], error), kResultOk) << error;
		controller = plugin.controller ();
		ASSERT_NE (controller, nullptr);

		parent = sharedParent;
		if (parent == nullptr)
		{
			// Wine opens windows only on an X display.
			const char* display = std::getenv ("DISPLAY");
			if (display == nullptr || *display == 0)
				GTEST_SKIP () << "no X display: the editor window tests need one (xvfb-run)";
		}
		ASSERT_NE (parent, nullptr) << "no top-level window could be created";
		SetWindowPos (parent, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
		pump (20);

		view = controller->createView (ViewType::kEditor);
		ASSERT_NE (view, nullptr);
	}

	void TearDown () override
	{
		if (view)
		{
			if (attachedNow)
				view->removed ();
			view->release ();
			view = nullptr;
		}
		pump (20);
		plugin.destroy ();
		module.reset ();
	}

	// Attaches the view to the test's window and finds the editor's child
	// window; the first paints have happened when it returns.
	void attach ()
	{
		ASSERT_EQ (view->attached (parent, kPlatformTypeHWND), kResultOk);
		attachedNow = true;
		child = FindWindowExW (parent, nullptr, kEditorClass, nullptr);
		ASSERT_NE (child, nullptr);
		pump (150);
		plugin.componentHandler ().clear ();
	}

	void detach ()
	{
		EXPECT_EQ (view->removed (), kResultOk);
		attachedNow = false;
		child = nullptr;
	}

	LRESULT send (UINT msg, WPARAM wParam, int x, int y) { return SendMessageW (child, msg, wParam, point (x, y)); }

	// A wheel turn over client point (x, y): the message carries screen
	// coordinates, and the delta in the high word of wParam.
	LRESULT wheel (int x, int y, int delta, WPARAM keys = 0)
	{
		POINT p = {x, y};
		ClientToScreen (child, &p);
		const WPARAM wParam = MAKEWPARAM (WORD (keys), WORD (int16_t (delta)));
		return SendMessageW (child, WM_MOUSEWHEEL, wParam, point (p.x, p.y));
	}

	std::vector<HandlerCall> calls () { return plugin.componentHandler ().calls (); }
	void clearCalls () { plugin.componentHandler ().clear (); }

	int32 controllerSkin ()
	{
		auto stream = owned (new MemoryStream);
		EXPECT_EQ (controller->getState (stream), kResultOk);
		const Bytes b = bytesOf (*stream);
		EXPECT_EQ (b.size (), 24u);
		if (b.size () < 12)
			return -1;
		return int32 (uint32_t (b[8]) | uint32_t (b[9]) << 8 | uint32_t (b[10]) << 16 | uint32_t (b[11]) << 24);
	}

	// The skin set as a host restores it, and shown at once: the window's
	// timer tick is delivered now and its paint made, so that a loaded
	// machine's late timer cannot leave the last skin in the picture.
	void showSkin (int32 skin, int settleMs)
	{
		setSkin (skin);
		if (child)
		{
			SendMessageW (child, WM_TIMER, 1, 0);
			UpdateWindow (child);
		}
		pump (settleMs);
	}

	void setSkin (int32 skin)
	{
		auto stream = streamOf (uiState (skin));
		ASSERT_EQ (controller->setState (stream), kResultOk);
	}

	std::unique_ptr<Module> module;
	PluginInstance plugin;
	IEditController* controller = nullptr;
	HWND parent = nullptr;
	HWND child = nullptr;
	IPlugView* view = nullptr;
	bool attachedNow = false;
	static HWND sharedParent;
};

HWND EditorWindow::sharedParent = nullptr;

// The ORIGINAL knob pointer of parameter i, drawn 4 px wide in (240,180,90),
// runs from radius 15 to 27 around the knob centre. These are the middles of
// that line for v = 0.5 (straight up) and v = 0 (down-left).
constexpr Rgb kPointer = {240, 180, 90};
int knobX (int i) { return 103 * (i % 8) + 73; }
int knobY (int i) { return 150 * (i / 8) + 215; }

} // namespace

// ---------------------------------------------------------------------------
// The view's life: size, platform types, attaching, removing, attaching again.

TEST_F (EditorWindow, SizeAndPlatformTypes)
{
	ViewRect size;
	ASSERT_EQ (view->getSize (&size), kResultOk);
	EXPECT_EQ (size.left, 0);
	EXPECT_EQ (size.top, 0);
	EXPECT_EQ (size.right, kWidth);
	EXPECT_EQ (size.bottom, kHeight);
	EXPECT_EQ (view->canResize (), kResultTrue);

	EXPECT_EQ (view->isPlatformTypeSupported ("HWND"), kResultTrue);
	for (const char* other : {"NSView", "UIView", "X11EmbedWindowID", "HIView", "hwnd", "HWND ", ""})
		EXPECT_EQ (view->isPlatformTypeSupported (other), kResultFalse) << "'" << other << "'";
	EXPECT_EQ (view->isPlatformTypeSupported (nullptr), kResultFalse);
}

TEST_F (EditorWindow, AttachRemoveAndAttachAgain)
{
	// Refusals create no window.
	EXPECT_EQ (view->attached (parent, kPlatformTypeNSView), kResultFalse);
	EXPECT_EQ (view->attached (nullptr, kPlatformTypeHWND), kResultFalse);
	EXPECT_EQ (FindWindowExW (parent, nullptr, kEditorClass, nullptr), nullptr);

	attach ();
	RECT client = {};
	ASSERT_TRUE (GetClientRect (child, &client));
	EXPECT_EQ (client.right - client.left, kWidth);
	EXPECT_EQ (client.bottom - client.top, kHeight);
	EXPECT_TRUE (IsWindowVisible (child));
	EXPECT_EQ (GetParent (child), parent);
	EXPECT_EQ (GetWindowLongW (child, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), LONG (WS_CHILD | WS_VISIBLE));
	wchar_t title[32] = {};
	GetWindowTextW (child, title, 32);
	EXPECT_EQ (std::wstring (title), L"Tarnovelle");

	// A second attach, with any type, changes nothing.
	EXPECT_EQ (view->attached (parent, kPlatformTypeHWND), kResultFalse);
	EXPECT_EQ (view->attached (parent, kPlatformTypeNSView), kResultFalse);
	EXPECT_EQ (FindWindowExW (parent, nullptr, kEditorClass, nullptr), child);
	EXPECT_EQ (FindWindowExW (parent, child, kEditorClass, nullptr), nullptr) << "one child window only";

	detach ();
	EXPECT_EQ (FindWindowExW (parent, nullptr, kEditorClass, nullptr), nullptr);
	EXPECT_TRUE (calls ().empty ()) << trail (calls ());

	// Attached again: a new window that works like the first.
	attach ();
	EXPECT_EQ (send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY), 0);
	EXPECT_EQ (send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 10), 0);
	EXPECT_EQ (send (WM_LBUTTONUP, 0, kSqX, kSqY - 10), 0);
	EXPECT_EQ (trail (calls ()), "b0 p0 e0");
	pump (250);
	const Image image = capture (child);
	ASSERT_EQ (image.width, kWidth);
	EXPECT_EQ (image.at (10, 300), (Rgb {20, 34, 38})) << "the new window paints";
}

// Two editors open at once share the window class: removing the first (whose
// attempt to unregister the class fails while the other window exists)
// leaves the second working.
TEST_F (EditorWindow, TwoEditorsAtOnce)
{
	attach ();
	IPlugView* second = controller->createView (ViewType::kEditor);
	ASSERT_NE (second, nullptr);
	ASSERT_EQ (second->attached (parent, kPlatformTypeHWND), kResultOk);
	HWND secondChild = FindWindowExW (parent, child, kEditorClass, nullptr);
	ASSERT_NE (secondChild, nullptr);
	pump (150);
	clearCalls ();

	detach (); // the first editor goes
	EXPECT_EQ (FindWindowExW (parent, nullptr, kEditorClass, nullptr), secondChild);
	child = secondChild;
	EXPECT_EQ (send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY), 0);
	EXPECT_EQ (send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 10), 0);
	EXPECT_EQ (send (WM_LBUTTONUP, 0, kSqX, kSqY - 10), 0);
	EXPECT_EQ (trail (calls ()), "b0 p0 e0");
	InvalidateRect (secondChild, nullptr, FALSE);
	pump (250);
	EXPECT_EQ (capture (secondChild).at (10, 300), (Rgb {20, 34, 38})) << "the second window still paints";

	EXPECT_EQ (second->removed (), kResultOk);
	second->release ();
	child = nullptr;
	EXPECT_EQ (FindWindowExW (parent, nullptr, kEditorClass, nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// Mouse messages as the host sees them through its component handler.

TEST_F (EditorWindow, DragOnAKnobIsOneGesture)
{
	attach ();
	EXPECT_EQ (send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY), 0);
	EXPECT_EQ (trail (calls ()), "b0");
	EXPECT_EQ (GetCapture (), child) << "the drag holds the mouse";
	EXPECT_EQ (send (WM_MOUSEMOVE, MK_LBUTTON, kSqX + 40, kSqY - 20), 0); // only y counts
	EXPECT_EQ (send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 20), 0);      // still sent
	EXPECT_EQ (send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 10), 0);
	EXPECT_EQ (send (WM_LBUTTONUP, 0, kSqX, kSqY - 10), 0);
	EXPECT_EQ (trail (calls ()), "b0 p0 p0 p0 e0");
	const auto v = performedValues (calls ());
	ASSERT_EQ (v.size (), 3u);
	EXPECT_DOUBLE_EQ (v[0], 0.55 + 0.1); // 20 px up at 0.005 per pixel
	EXPECT_DOUBLE_EQ (v[1], 0.65);
	EXPECT_DOUBLE_EQ (v[2], 0.6);
	EXPECT_DOUBLE_EQ (controller->getParamNormalized (0), 0.6);
	EXPECT_NE (GetCapture (), child) << "the button-up releases the mouse";

	// Mouse moves after the button-up reach nobody.
	clearCalls ();
	send (WM_MOUSEMOVE, 0, kSqX, kSqY - 100);
	EXPECT_TRUE (calls ().empty ()) << trail (calls ());

	// Shift: a tenth of the step per pixel; a press on another knob drags that one.
	send (WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, kSqX, kSqY);
	send (WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, kSqX, kSqY - 20);
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 30); // Shift let go: full steps again
	send (WM_LBUTTONUP, MK_SHIFT, kSqX, kSqY - 30);
	EXPECT_EQ (trail (calls ()), "b0 p0 p0 e0");
	const auto fine = performedValues (calls ());
	ASSERT_EQ (fine.size (), 2u);
	EXPECT_DOUBLE_EQ (fine[0], 0.6 + 0.01);
	EXPECT_DOUBLE_EQ (fine[1], 0.6 + 0.01 + 0.05);

	// Past the top nothing builds up: the first pixel back lowers the value.
	clearCalls ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 400);
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 399);
	send (WM_LBUTTONUP, 0, kSqX, kSqY - 399);
	EXPECT_EQ (trail (calls ()), "b0 p0 p0 e0");
	EXPECT_EQ (performedValues (calls ()), (std::vector<double> {1.0, 1.0 - 0.005}));

	// A stepped parameter: Transpose (6 steps) moves one step after 17 px.
	clearCalls ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kTrX, kTrY);
	send (WM_MOUSEMOVE, MK_LBUTTON, kTrX, kTrY - 16);
	send (WM_MOUSEMOVE, MK_LBUTTON, kTrX, kTrY - 17);
	send (WM_MOUSEMOVE, MK_LBUTTON, kTrX, kTrY + 1000); // far past the bottom
	send (WM_LBUTTONUP, 0, kTrX, kTrY + 1000);
	EXPECT_EQ (trail (calls ()), "b10 p10 p10 p10 e10");
	const auto steps = performedValues (calls ());
	ASSERT_EQ (steps.size (), 3u);
	EXPECT_DOUBLE_EQ (steps[0], 0.5);
	EXPECT_DOUBLE_EQ (steps[1], 4.0 / 6.0);
	EXPECT_EQ (steps[2], 0.0);
}

TEST_F (EditorWindow, PressesOutsideTheControlsSendNothing)
{
	attach ();
	const int points[][2] = {{10, 10},  {10, 300}, {29, kSqY}, {kSqX, 153}, {850, 520},
	                         {520, 55}, {617, 55}, {400, 140}, {720, 390},  {648, 304}};
	for (const auto& p : points)
	{
		send (WM_LBUTTONDOWN, MK_LBUTTON, p[0], p[1]);
		send (WM_MOUSEMOVE, MK_LBUTTON, p[0], p[1] - 30);
		send (WM_LBUTTONUP, 0, p[0], p[1] - 30);
		send (WM_LBUTTONDBLCLK, MK_LBUTTON, p[0], p[1]);
		wheel (p[0], p[1], 120);
		EXPECT_TRUE (calls ().empty ()) << p[0] << "," << p[1] << ": " << trail (calls ());
		EXPECT_NE (GetCapture (), child);
		clearCalls ();
	}
	EXPECT_EQ (controllerSkin (), 0);
}

TEST_F (EditorWindow, DoubleClickResetsToTheDefault)
{
	attach ();
	controller->setParamNormalized (10, 1.0);
	controller->setParamNormalized (0, 0.9);
	// Windows sends down, up, double-click, up.
	send (WM_LBUTTONDOWN, MK_LBUTTON, kTrX, kTrY);
	send (WM_LBUTTONUP, 0, kTrX, kTrY);
	send (WM_LBUTTONDBLCLK, MK_LBUTTON, kTrX, kTrY);
	send (WM_LBUTTONUP, 0, kTrX, kTrY);
	EXPECT_EQ (trail (calls ()), "b10 e10 b10 p10 e10");
	ASSERT_EQ (performedValues (calls ()).size (), 1u);
	EXPECT_DOUBLE_EQ (performedValues (calls ())[0], 0.5);
	EXPECT_DOUBLE_EQ (controller->getParamNormalized (10), 0.5);

	clearCalls ();
	send (WM_LBUTTONDBLCLK, MK_LBUTTON, kSqX, kSqY);
	EXPECT_EQ (trail (calls ()), "b0 p0 e0");
	EXPECT_DOUBLE_EQ (controller->getParamNormalized (0), 0.55);

	// The Legato switch sets the half that was clicked.
	clearCalls ();
	send (WM_LBUTTONDBLCLK, MK_LBUTTON, kLegatoOffX, kLegatoY);
	send (WM_LBUTTONDBLCLK, MK_LBUTTON, kLegatoOnX, kLegatoY);
	EXPECT_EQ (trail (calls ()), "b14 p14 e14 b14 p14 e14");
	EXPECT_EQ (performedValues (calls ()), (std::vector<double> {0.0, 1.0}));

	// Presets and skin buttons acted on the first press: a double-click does nothing.
	clearCalls ();
	send (WM_LBUTTONDBLCLK, MK_LBUTTON, 100, kPresetY);
	send (WM_LBUTTONDBLCLK, MK_LBUTTON, kSkinX[2], kSkinY);
	EXPECT_TRUE (calls ().empty ()) << trail (calls ());
	EXPECT_EQ (controllerSkin (), 0);
}

TEST_F (EditorWindow, WheelStepsUseScreenCoordinates)
{
	// The parent moved away from the screen's origin, so that client and
	// screen coordinates differ.
	SetWindowPos (parent, nullptr, 137, 61, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
	attach ();
	POINT origin = {0, 0};
	ClientToScreen (child, &origin);
	EXPECT_TRUE (origin.x != 0 || origin.y != 0);

	EXPECT_EQ (wheel (kSqX, kSqY, 120), 0);
	EXPECT_EQ (wheel (kSqX, kSqY, 120, MK_SHIFT), 0);
	EXPECT_EQ (wheel (kSqX, kSqY, -240), 0);
	EXPECT_EQ (trail (calls ()), "b0 p0 e0 b0 p0 e0 b0 p0 e0");
	const auto v = performedValues (calls ());
	ASSERT_EQ (v.size (), 3u);
	EXPECT_DOUBLE_EQ (v[0], 0.575);
	EXPECT_DOUBLE_EQ (v[1], 0.5775);
	EXPECT_DOUBLE_EQ (v[2], 0.5275);

	// Stepped: one step per notch, Shift or not; half a notch is too little.
	clearCalls ();
	wheel (kTrX, kTrY, -120, MK_SHIFT);
	wheel (kTrX, kTrY, 59);
	wheel (kLegatoOffX, kLegatoY, -120); // the switch: a notch down is off
	EXPECT_EQ (trail (calls ()), "b10 p10 e10 b10 p10 e10 b14 p14 e14");
	const auto s = performedValues (calls ());
	ASSERT_EQ (s.size (), 3u);
	EXPECT_DOUBLE_EQ (s[0], 2.0 / 6.0);
	EXPECT_DOUBLE_EQ (s[1], 2.0 / 6.0);
	EXPECT_EQ (s[2], 0.0);

	// The client point used as if it were a screen point misses the knob.
	clearCalls ();
	SendMessageW (child, WM_MOUSEWHEEL, MAKEWPARAM (0, 120), point (kSqX - origin.x, kSqY - origin.y));
	EXPECT_TRUE (calls ().empty ()) << trail (calls ());
}

TEST_F (EditorWindow, PresetLegatoAndSkinPresses)
{
	attach ();
	// Preset 1 (left edge of the band) and preset 5 (near the band's right end).
	for (int n : {0, 4})
	{
		clearCalls ();
		send (WM_LBUTTONDOWN, MK_LBUTTON, n == 0 ? 35 : 825, kPresetY);
		send (WM_LBUTTONUP, 0, n == 0 ? 35 : 825, kPresetY);
		const auto c = calls ();
		ASSERT_EQ (c.size (), 48u) << trail (c);
		for (int i = 0; i < Tarno::kNumParams; ++i)
		{
			const double v = Tarno::snapNormalized (i, Tarno::kFactoryPresets[n].values[size_t (i)]);
			EXPECT_EQ (c[size_t (3 * i)].kind, HandlerCall::Kind::BeginEdit);
			EXPECT_EQ (c[size_t (3 * i + 1)].kind, HandlerCall::Kind::PerformEdit);
			EXPECT_EQ (c[size_t (3 * i + 2)].kind, HandlerCall::Kind::EndEdit);
			for (int k = 0; k < 3; ++k)
				EXPECT_EQ (c[size_t (3 * i + k)].id, ParamID (i));
			EXPECT_EQ (c[size_t (3 * i + 1)].value, v) << "preset " << n << " parameter " << i;
			EXPECT_EQ (controller->getParamNormalized (ParamID (i)), v);
		}
	}

	// Legato: the left half switches off, the right half on; a drag does nothing more.
	clearCalls ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kLegatoOffX, kLegatoY);
	send (WM_MOUSEMOVE, MK_LBUTTON, kLegatoOffX, kLegatoY - 50);
	send (WM_LBUTTONUP, 0, kLegatoOffX, kLegatoY - 50);
	EXPECT_EQ (trail (calls ()), "b14 p14 e14");
	EXPECT_EQ (controller->getParamNormalized (14), 0.0);
	send (WM_LBUTTONDOWN, MK_LBUTTON, kLegatoOnX, kLegatoY);
	EXPECT_EQ (controller->getParamNormalized (14), 1.0);

	// Skin buttons: the controller's skin changes and the host hears setDirty.
	const int order[] = {1, 2, 2, 0};
	for (int k : order)
	{
		clearCalls ();
		send (WM_LBUTTONDOWN, MK_LBUTTON, kSkinX[k], kSkinY);
		send (WM_LBUTTONUP, 0, kSkinX[k], kSkinY);
		EXPECT_EQ (trail (calls ()), "d") << "skin " << k;
		EXPECT_EQ (controllerSkin (), k);
	}

	// A skin press during a drag ends the drag first.
	clearCalls ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 4);
	send (WM_LBUTTONDOWN, MK_LBUTTON, kSkinX[1], kSkinY);
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 40);
	send (WM_LBUTTONUP, 0, kSqX, kSqY - 40);
	EXPECT_EQ (trail (calls ()), "b0 p0 e0 d");
	EXPECT_EQ (controllerSkin (), 1);
	EXPECT_NE (GetCapture (), child);
}

// ---------------------------------------------------------------------------
// Teardown in the middle of a drag.

TEST_F (EditorWindow, RemovedDuringADragEndsItOnce)
{
	attach ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 8);
	ASSERT_EQ (GetCapture (), child);
	const HWND old = child;
	clearCalls ();
	detach ();
	EXPECT_EQ (trail (calls ()), "e0");
	EXPECT_EQ (FindWindowExW (parent, nullptr, kEditorClass, nullptr), nullptr);
	EXPECT_FALSE (IsWindow (old));
	EXPECT_NE (GetCapture (), old);
	pump (250); // no timer or message of the old window arrives any more
	EXPECT_EQ (trail (calls ()), "e0");

	// Attached again, the editor starts idle: a button-up sends nothing.
	attach ();
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 30);
	send (WM_LBUTTONUP, 0, kSqX, kSqY - 30);
	EXPECT_TRUE (calls ().empty ()) << trail (calls ());
	send (WM_LBUTTONDOWN, MK_LBUTTON, kTrX, kTrY);
	send (WM_LBUTTONUP, 0, kTrX, kTrY);
	EXPECT_EQ (trail (calls ()), "b10 e10");
}

TEST_F (EditorWindow, ReleasedWhileDraggingEndsTheDragOnce)
{
	attach ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kTrX, kTrY);
	send (WM_MOUSEMOVE, MK_LBUTTON, kTrX, kTrY - 40);
	const HWND old = child;
	clearCalls ();
	// The host drops its only reference without calling removed ().
	view->release ();
	view = nullptr;
	attachedNow = false;
	EXPECT_EQ (trail (calls ()), "e10");
	EXPECT_FALSE (IsWindow (old));
	EXPECT_EQ (FindWindowExW (parent, nullptr, kEditorClass, nullptr), nullptr);
	pump (250);
	EXPECT_EQ (trail (calls ()), "e10");

	// The controller lives on and makes a working view again.
	view = controller->createView (ViewType::kEditor);
	ASSERT_NE (view, nullptr);
	attach ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
	send (WM_LBUTTONUP, 0, kSqX, kSqY);
	EXPECT_EQ (trail (calls ()), "b0 e0");
}

// A host that removes the view from inside a call the view makes to it, and
// one that also drops its last reference there: the window goes, no later
// message reaches the view, and every gesture it opened is closed once.
TEST_F (EditorWindow, HostRemovesTheViewInsideACallback)
{
	enum class Trigger { BeginEdit, PerformEdit, EndEdit, SetDirty, ResizeView };
	struct Frame : IPlugFrame
	{
		tresult PLUGIN_API resizeView (IPlugView*, ViewRect*) override
		{
			if (hook)
				hook ();
			return kResultTrue;
		}
		tresult PLUGIN_API queryInterface (const TUID iid, void** obj) override
		{
			QUERY_INTERFACE (iid, obj, FUnknown::iid, IPlugFrame)
			QUERY_INTERFACE (iid, obj, IPlugFrame::iid, IPlugFrame)
			*obj = nullptr;
			return kNoInterface;
		}
		uint32 PLUGIN_API addRef () override { return 1; }
		uint32 PLUGIN_API release () override { return 1; }
		std::function<void ()> hook;
	} frame;
	StrictComponentHandler handler;
	controller->setComponentHandler (&handler);
	const std::pair<Trigger, HandlerCall::Kind> triggers[] = {{Trigger::BeginEdit, HandlerCall::Kind::BeginEdit},
	                                                          {Trigger::PerformEdit, HandlerCall::Kind::PerformEdit},
	                                                          {Trigger::EndEdit, HandlerCall::Kind::EndEdit},
	                                                          {Trigger::SetDirty, HandlerCall::Kind::SetDirty},
	                                                          {Trigger::ResizeView, HandlerCall::Kind::SetDirty}};
	for (const auto& [trigger, kind] : triggers)
		for (bool release : {false, true})
		{
			SCOPED_TRACE (::testing::Message () << "trigger " << int (trigger) << (release ? ", released" : ""));
			if (view == nullptr)
				view = controller->createView (ViewType::kEditor);
			ASSERT_NE (view, nullptr);
			view->setFrame (&frame);
			attach ();
			const HWND window = child;
			bool fired = false;
			auto removeNow = [&] {
				if (fired)
					return;
				fired = true;
				view->removed ();
				attachedNow = false;
				if (release)
				{
					view->release ();
					view = nullptr;
				}
			};
			handler.onCall = [&, kind = kind, trigger = trigger] (HandlerCall::Kind k) {
				if (trigger != Trigger::ResizeView && k == kind)
					removeNow ();
			};
			frame.hook = removeNow;

			if (trigger == Trigger::SetDirty)
			{
				send (WM_LBUTTONDOWN, MK_LBUTTON, kSkinX[0], kSkinY);
				send (WM_LBUTTONUP, 0, kSkinX[0], kSkinY);
			}
			else if (trigger == Trigger::ResizeView)
			{
				FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
				ASSERT_TRUE (scale);
				EXPECT_EQ (scale->setContentScaleFactor (2.0f), kResultTrue);
			}
			else
			{
				send (WM_LBUTTONDOWN, MK_LBUTTON, kTrX, kTrY);
				send (WM_MOUSEMOVE, MK_LBUTTON, kTrX, kTrY - 20);
				send (WM_LBUTTONUP, 0, kTrX, kTrY - 20);
			}
			// Messages to the old window, and its timer, find no view.
			SendMessageW (window, WM_LBUTTONDOWN, MK_LBUTTON, point (kTrX, kTrY));
			pump (250);
			handler.onCall = nullptr;
			frame.hook = nullptr;

			EXPECT_TRUE (fired);
			EXPECT_FALSE (IsWindow (window));
			EXPECT_EQ (handler.openGestures (), std::vector<ParamID> {});
			EXPECT_EQ (handler.faults (), 0);
			if (view)
			{
				FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
				EXPECT_EQ (scale->setContentScaleFactor (1.0f), kResultTrue);
			}
			controller->setParamNormalized (10, 0.5);
			handler.clear ();
		}
	controller->setComponentHandler (&plugin.componentHandler ());
}

TEST_F (EditorWindow, LostCaptureEndsTheDrag)
{
	attach ();
	send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
	ASSERT_EQ (GetCapture (), child);
	// Another window of the thread takes the mouse: Windows tells the editor.
	SetCapture (parent);
	EXPECT_EQ (trail (calls ()), "b0 e0");
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 20);
	send (WM_LBUTTONUP, 0, kSqX, kSqY - 20);
	EXPECT_EQ (trail (calls ()), "b0 e0");
	ReleaseCapture ();
}

// ---------------------------------------------------------------------------
// What the window shows.

TEST_F (EditorWindow, HostValuesShowAtTheNextTimerTicks)
{
	attach ();
	const int i = 11; // Fine tune: 0.5 by default, pointer straight up
	const int upX = knobX (i), upY = knobY (i) - 21;
	const int downLeftX = knobX (i) - 15, downLeftY = knobY (i) + 15;
	pump (300);
	Image before = capture (child);
	ASSERT_EQ (before.width, kWidth);
	EXPECT_TRUE (before.hasNear (upX, upY, kPointer)) << before.at (upX, upY);
	EXPECT_FALSE (before.hasNear (downLeftX, downLeftY, kPointer));

	// The host sets the value; nothing else happens but the timer.
	controller->setParamNormalized (ParamID (i), 0.0);
	pump (400);
	Image after = capture (child);
	EXPECT_TRUE (after.hasNear (downLeftX, downLeftY, kPointer)) << after.at (downLeftX, downLeftY);
	EXPECT_FALSE (after.hasNear (upX, upY, kPointer)) << after.at (upX, upY);
	EXPECT_EQ (after.at (upX, upY), (Rgb {20, 34, 38})) << "background inside the ring";

	// The Legato switch follows too: ON lit by default, OFF lit after the host sets 0.
	const Rgb lit = {226, 176, 104}, unlit = {33, 53, 58};
	EXPECT_EQ (after.at (700, 350), lit);
	EXPECT_EQ (after.at (665, 350), unlit);
	controller->setParamNormalized (14, 0.0);
	pump (400);
	after = capture (child);
	EXPECT_EQ (after.at (700, 350), unlit);
	EXPECT_EQ (after.at (665, 350), lit);
	EXPECT_TRUE (calls ().empty ()) << "the host's own changes do not come back: " << trail (calls ());
}

TEST_F (EditorWindow, DragRepaintsAtEachMoveAndTheTimerWaits)
{
	attach ();
	const int i = 0; // Square, dragged from 0.55
	send (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
	// 10 px up: 0.6. 10 px down: 0.5, the pointer straight up.
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY + 10);
	pump (300);
	Image image = capture (child);
	EXPECT_TRUE (image.hasNear (knobX (i), knobY (i) - 21, kPointer)) << "the move repainted";

	// While the drag lasts the timer does not repaint: a host change to
	// another knob waits.
	const int other = 11;
	controller->setParamNormalized (ParamID (other), 0.0);
	pump (400);
	image = capture (child);
	EXPECT_TRUE (image.hasNear (knobX (other), knobY (other) - 21, kPointer)) << "no repaint during the drag";
	send (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY + 10);
	pump (100);
	image = capture (child);
	EXPECT_FALSE (image.hasNear (knobX (other), knobY (other) - 21, kPointer)) << "a move repaints everything";

	send (WM_LBUTTONUP, 0, kSqX, kSqY + 10);
	EXPECT_EQ (trail (calls ()), "b0 p0 p0 e0");
}

// A timer tick with nothing changed asks for no paint; after a host's change
// it asks for the changed control's area only.
TEST_F (EditorWindow, TimerRepaintsOnlyWhatChanged)
{
	attach ();
	for (int32 skin = 0; skin < 3; ++skin)
	{
		setSkin (skin);
		pump (250);
		SendMessageW (child, WM_TIMER, 1, 0); // the skin shown, should the pump have seen no tick
		UpdateWindow (child);
		SendMessageW (child, WM_TIMER, 1, 0);
		EXPECT_FALSE (GetUpdateRect (child, nullptr, FALSE)) << "idle tick, skin " << skin;

		controller->setParamNormalized (ParamID (Tarno::kReleaseParam), skin == 1 ? 0.9 : 0.1);
		SendMessageW (child, WM_TIMER, 1, 0);
		RECT r = {};
		ASSERT_TRUE (GetUpdateRect (child, &r, FALSE)) << "tick after a change, skin " << skin;
		const int x0 = 30 + 103 * Tarno::kReleaseParam, y0 = 154;
		EXPECT_TRUE (r.left >= x0 - 10 && r.right <= x0 + 110 && r.top >= y0 && r.bottom <= y0 + 150)
		    << "skin " << skin << ": " << r.left << "," << r.top << " " << r.right << "," << r.bottom;
		pump (50);
	}
	setSkin (0);
}

// The editor keeps its picture and draws only what changed. After each kind
// of change (a skin, a content scale, values set by the host, a control
// being dragged and let go, a preset pressed) the window has, byte for byte,
// the pixels of the whole panel painted afresh, in every skin at 1 and 2.
TEST_F (EditorWindow, KeptPictureIsAFreshPaintAfterEveryChange)
{
	FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
	ASSERT_TRUE (scale);
	attach ();
	int32 skin = 0, active = -1;
	double f = 1.0;
	auto expectFresh = [&] (const char* after) {
		Tarno::ParamBlock values;
		for (int32 i = 0; i < Tarno::kNumParams; ++i)
			values[size_t (i)] = controller->getParamNormalized (ParamID (i));
		// Any paint still waiting (on a busy machine the pumps may end
		// before it comes) is made now.
		UpdateWindow (child);
		const Image shown = capture (child);
		const Image fresh = freshPaint (child, skin, values, active, f);
		ASSERT_EQ (shown.width, int (std::lround (kWidth * f))) << after;
		ASSERT_EQ (fresh.width, shown.width) << after;
		size_t differing = 0;
		for (size_t i = 0; i < shown.rgb.size (); i += 3)
			differing += shown.rgb[i] != fresh.rgb[i] || shown.rgb[i + 1] != fresh.rgb[i + 1] ||
			             shown.rgb[i + 2] != fresh.rgb[i + 2];
		EXPECT_EQ (differing, 0u) << after << ", skin " << skin << ", scale " << f;
	};
	auto sendAt = [&] (UINT msg, WPARAM keys, int x, int y) {
		send (msg, keys, int (std::floor (x * f + f / 2)), int (std::floor (y * f + f / 2)));
		pump (30);
	};

	for (double scaleNow : {1.0, 2.0})
		for (int32 s = 0; s < 3; ++s)
		{
			ASSERT_EQ (scale->setContentScaleFactor (float (scaleNow)), kResultTrue);
			f = scaleNow;
			setSkin (skin = s);
			pump (250);
			expectFresh ("skin or scale change");

			// Attack and Legato from the host, shown at the next timer tick.
			controller->setParamNormalized (3, s == 1 ? 0.2 : 0.8);
			controller->setParamNormalized (Tarno::kLegatoParam, s == 1 ? 1.0 : 0.0);
			pump (250);
			SendMessageW (child, WM_TIMER, 1, 0); // one tick for sure
			expectFresh ("host change");

			// Square pressed (active) and dragged up, then let go.
			sendAt (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
			active = Tarno::kSquareParam;
			sendAt (WM_MOUSEMOVE, MK_LBUTTON, kSqX, kSqY - 25);
			expectFresh ("drag");
			sendAt (WM_LBUTTONUP, 0, kSqX, kSqY - 25);
			active = -1;
			// The control no longer shown active: at the next timer tick,
			// as a host's change is.
			SendMessageW (child, WM_TIMER, 1, 0);
			expectFresh ("end of the drag");

			// The second factory preset, which SILVER marks.
			sendAt (WM_LBUTTONDOWN, MK_LBUTTON, 200, kPresetY);
			sendAt (WM_LBUTTONUP, 0, 200, kPresetY);
			expectFresh ("preset press");
		}
	ASSERT_EQ (scale->setContentScaleFactor (1.0f), kResultTrue);
	f = 1.0;
	pump (250);
	expectFresh ("scale change alone");
	setSkin (0);
}

// ---------------------------------------------------------------------------
// Any mouse message, anywhere: no crash and no gesture left open.

// Checks the handler's calls as they come: the host's gesture rules
// (tests/EditGestureModel.h), IDs of our parameters, and no other calls than
// edits and setDirty (true).
struct GestureChecker
{
	TarnoTest::EditGestureModel model;
	size_t seen = 0;
	int faults = 0;

	void feed (const std::vector<HandlerCall>& calls)
	{
		for (; seen < calls.size (); ++seen)
		{
			const HandlerCall& c = calls[seen];
			const bool isEdit = c.kind == HandlerCall::Kind::BeginEdit || c.kind == HandlerCall::Kind::PerformEdit ||
			                    c.kind == HandlerCall::Kind::EndEdit;
			if (isEdit && c.id >= ParamID (Tarno::kNumParams))
				fault ("ID out of range: " + Tarno::Host::describe (c));
			else if (!isEdit && !(c.kind == HandlerCall::Kind::SetDirty && c.state))
				fault ("unexpected call: " + Tarno::Host::describe (c));
			const std::string broken = model.apply (c);
			if (!broken.empty ())
				fault (broken);
		}
	}
	int openCount () const { return int (model.open ().size ()); }
	void fault (const std::string& what)
	{
		if (++faults <= 5)
			ADD_FAILURE () << what;
	}
};

TEST_F (EditorWindow, MouseMessagesAnywhereNeverCrashOrLeaveADragOpen)
{
	attach ();
	std::mt19937 rng (20240611);
	auto pick = [&] (int n) { return int (rng () % uint32_t (n)); };
	const UINT messages[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE,   WM_MOUSEMOVE,   WM_MOUSEMOVE,  WM_LBUTTONUP,
	                         WM_LBUTTONDBLCLK, WM_MOUSEWHEEL, WM_CAPTURECHANGED, WM_RBUTTONDOWN, WM_MBUTTONUP,
	                         WM_MOUSEHWHEEL, WM_XBUTTONDOWN};
	GestureChecker checker;
	int upsChecked = 0, edits = 0;
	for (int n = 0; n < 3000 && checker.faults == 0; ++n)
	{
		const UINT msg = messages[pick (int (sizeof messages / sizeof messages[0]))];
		LPARAM lParam;
		switch (pick (4))
		{
			case 0: lParam = point (pick (kWidth), pick (kHeight)); break;          // in the window
			case 1: lParam = point (pick (2000) - 1000, pick (2000) - 1000); break; // around it, negative too
			case 2: lParam = point (pick (2) ? 32767 : -32768, pick (2) ? 32767 : -32768); break;
			default: lParam = LPARAM (int32_t (rng ())); break; // any bits
		}
		WPARAM wParam = pick (3) == 0 ? WPARAM (rng ()) : WPARAM (pick (2) ? MK_LBUTTON : MK_LBUTTON | MK_SHIFT);
		if (msg == WM_MOUSEWHEEL && pick (2))
			wParam = MAKEWPARAM (WORD (pick (2) ? MK_SHIFT : 0), WORD (int16_t (pick (961) - 480)));
		SendMessageW (child, msg, wParam, lParam);
		// Checked and then cleared, so that every message copies only its own calls.
		const std::vector<HandlerCall> made = calls ();
		checker.feed (made);
		for (const auto& c : made)
			edits += c.kind == HandlerCall::Kind::BeginEdit;
		clearCalls ();
		checker.seen = 0;
		if (msg == WM_LBUTTONUP)
		{
			++upsChecked;
			EXPECT_EQ (checker.openCount (), 0) << "message " << n << ": a gesture stayed open after a button-up";
			EXPECT_NE (GetCapture (), child) << "message " << n << ": the capture stayed after a button-up";
			if (checker.openCount () != 0)
				break;
		}
		if (n % 250 == 0)
			pump (30); // paint whatever skin and values the messages left
	}
	send (WM_LBUTTONUP, 0, 0, 0);
	checker.feed (calls ());
	EXPECT_EQ (checker.openCount (), 0);
	EXPECT_EQ (checker.faults, 0);
	EXPECT_GT (upsChecked, 100);
	EXPECT_GT (edits, 50) << "the messages reached the controls";
	EXPECT_TRUE (IsWindow (child));
	pump (150);
	EXPECT_EQ (capture (child).width, kWidth) << "the window still paints";
}

// ---------------------------------------------------------------------------
// Screenshots of the three skins, with colour probes where no text is drawn.

TEST_F (EditorWindow, Screenshots)
{
	attach ();
	const char* names[3] = {"editor-original.png", "editor-vintage.png", "editor-silver.png"};
	const char* dir = std::getenv ("TARNO_SCREENSHOT_DIR");
	// The selected skin button's face in each skin's overlay colours.
	const Rgb selectedFace[3] = {{226, 176, 104}, {45, 62, 47}, {33, 94, 115}};
	for (int skin = 0; skin < 3; ++skin)
	{
		showSkin (skin, 400);
		const Image image = capture (child);
		ASSERT_EQ (image.width, kWidth) << "no picture from the window";
		EXPECT_TRUE (writePng (names[skin], image)) << names[skin];
		if (dir && *dir)
		{
			std::string path = dir;
			if (path.back () != '/' && path.back () != '\\')
				path += '/';
			path += names[skin];
			EXPECT_TRUE (writePng (path, image)) << path;
		}

		const int faceX[3] = {530, 628, 726};
		for (int k = 0; k < 3; ++k)
		{
			if (k == skin)
				EXPECT_EQ (image.at (faceX[k], 45), selectedFace[skin]) << "skin " << skin;
			else
				EXPECT_NE (image.at (faceX[k], 45), selectedFace[skin]) << "skin " << skin << " button " << k;
		}

		if (skin == 0)
		{
			EXPECT_EQ (image.at (10, 300), (Rgb {20, 34, 38})) << "background";
			EXPECT_EQ (image.at (850, 10), (Rgb {20, 34, 38})) << "background";
			EXPECT_EQ (image.at (35, 130), (Rgb {42, 62, 66})) << "preset button face";
			EXPECT_EQ (image.at (675, 130), (Rgb {42, 62, 66})) << "fifth preset button face";
			EXPECT_EQ (image.at (185, 120), (Rgb {20, 34, 38})) << "gap between preset buttons";
			EXPECT_EQ (image.at (628, 45), (Rgb {33, 53, 58})) << "VINTAGE button face";
			EXPECT_EQ (image.at (523, 42), (Rgb {68, 95, 98})) << "button border";
			EXPECT_EQ (image.at (700, 350), (Rgb {226, 176, 104})) << "Legato ON lit";
			EXPECT_EQ (image.at (665, 350), (Rgb {33, 53, 58})) << "Legato OFF unlit";
			EXPECT_EQ (image.at (659, 346), (Rgb {80, 107, 109})) << "Legato frame";
			// Square's knob at 0.55: ring left of the centre, pointer just right of straight up.
			EXPECT_TRUE (image.hasNear (knobX (0) - 33, knobY (0), {80, 107, 109}));
			EXPECT_TRUE (image.hasNear (knobX (0) + 3, knobY (0) - 21, kPointer));
			EXPECT_TRUE (image.hasNear (knobX (11), knobY (11) - 21, kPointer)) << "Fine tune at 0.5";
		}
	}

	// SILVER at content scale 2, as on a high-density screen.
	FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
	ASSERT_TRUE (scale);
	setSkin (2);
	ASSERT_EQ (scale->setContentScaleFactor (2.0f), kResultTrue);
	pump (400);
	const Image big = capture (child);
	ASSERT_EQ (big.width, 2 * kWidth);
	EXPECT_TRUE (writePng ("editor-silver-2x.png", big));
	if (dir && *dir)
	{
		std::string path = dir;
		if (path.back () != '/' && path.back () != '\\')
			path += '/';
		path += "editor-silver-2x.png";
		EXPECT_TRUE (writePng (path, big)) << path;
	}
	EXPECT_EQ (scale->setContentScaleFactor (1.0f), kResultTrue);
	setSkin (0);
}


// ---------------------------------------------------------------------------
// The content scale a host on a high-density screen gives the view.

namespace {

// A host frame that records the view's resize requests and answers them as
// a host does once its window has the new size: with onSize.
class ResizeRecorder : public IPlugFrame
{
public:
	tresult PLUGIN_API resizeView (IPlugView* view, ViewRect* newSize) override
	{
		if (!view || !newSize)
			return kInvalidArgument;
		requests.push_back (*newSize);
		return view->onSize (newSize);
	}
	tresult PLUGIN_API queryInterface (const TUID iid, void** obj) override
	{
		QUERY_INTERFACE (iid, obj, FUnknown::iid, IPlugFrame)
		QUERY_INTERFACE (iid, obj, IPlugFrame::iid, IPlugFrame)
		*obj = nullptr;
		return kNoInterface;
	}
	uint32 PLUGIN_API addRef () override { return 1; }
	uint32 PLUGIN_API release () override { return 1; }
	std::vector<ViewRect> requests;
};

// An image's pixels as the scale probes take them.
auto pixels (const Image& image)
{
	return [&image] (int x, int y) {
		const Rgb p = image.at (x, y);
		return Pixel {p.r, p.g, p.b};
	};
}

} // namespace

// Refused factors change nothing; 1.5 and 2.0 enlarge the window and ask the
// frame for the size; the window then shows each skin's flat areas at their
// scaled places, and ORIGINAL's title in a font f times as high; back at 1.0
// each skin is the picture of old, pixel for pixel (the README's
// screenshots).
TEST_F (EditorWindow, ContentScale)
{
	FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
	ASSERT_TRUE (scale);
	ResizeRecorder frame;
	view->setFrame (&frame);
	attach ();
	auto clientSize = [&] {
		RECT r = {};
		GetClientRect (child, &r);
		return std::make_pair (int (r.right), int (r.bottom));
	};
	for (float bad : {0.0f, 0.5f, 0.99f, 4.5f, -1.0f, std::nanf (""), INFINITY})
		EXPECT_EQ (scale->setContentScaleFactor (bad), kResultFalse) << bad;
	EXPECT_TRUE (frame.requests.empty ());
	EXPECT_EQ (clientSize (), std::make_pair (kWidth, kHeight));
	Image one[3];
	for (int32 skin = 0; skin < 3; ++skin)
	{
		showSkin (skin, 300);
		one[skin] = capture (child);
	}
	// The pixels of the title "TARNOVELLE" in ORIGINAL's panel.
	const Pixel ground = {20, 34, 38};
	const int titleInk = ink (pixels (one[0]), 20, 15, 330, 65, ground);
	EXPECT_GT (titleInk, 500);

	for (float f : {1.5f, 2.0f})
	{
		SCOPED_TRACE (f);
		auto scaled = [f] (int v) { return int (std::floor (v * f + 0.5)); };
		auto centre = [f] (int v) { return int (std::floor ((v + 0.5) * f)); }; // of panel pixel v's square
		frame.requests.clear ();
		ASSERT_EQ (scale->setContentScaleFactor (f), kResultTrue);
		ASSERT_EQ (frame.requests.size (), 1u);
		EXPECT_TRUE (frame.requests[0].getWidth () == scaled (kWidth) &&
		             frame.requests[0].getHeight () == scaled (kHeight));
		ViewRect size;
		view->getSize (&size);
		EXPECT_TRUE (size.getWidth () == scaled (kWidth) && size.getHeight () == scaled (kHeight));
		EXPECT_EQ (clientSize (), std::make_pair (scaled (kWidth), scaled (kHeight)));
		for (int32 skin = 0; skin < 3; ++skin)
		{
			showSkin (skin, 300);
			const Image big = capture (child);
			ASSERT_EQ (big.width, scaled (kWidth));

			// Flat 5 × 5 areas of the 1.0 picture, at the centre of their
			// scaled squares. Lines of text end a pixel or two off their
			// scaled place (hinted glyphs do not grow exactly in proportion),
			// so a few probes next to them may differ.
			const FlatProbes r = probeFlatAreas (kWidth, kHeight, f, pixels (one[skin]), pixels (big));
			EXPECT_GT (r.probes, 5000) << "skin " << skin;
			EXPECT_LT (r.wrong, r.probes / 200) << "skin " << skin << ": of " << r.probes;
			if (skin == 0)
			{
				EXPECT_EQ (big.at (centre (700), centre (350)), (Rgb {226, 176, 104})) << "Legato ON lit";
				EXPECT_EQ (big.at (centre (530), centre (45)), (Rgb {226, 176, 104})) << "ORIGINAL button face";
				EXPECT_TRUE (big.hasNear (centre (knobX (0) + 3), centre (knobY (0) - 21), kPointer)) << "Square's pointer";
				const int bigInk = ink (pixels (big), scaled (20), scaled (15), scaled (330), scaled (65), ground);
				EXPECT_NEAR (double (bigInk) / titleInk, f * f, 0.3 * f * f) << "the title's ink";
			}
		}
	}

	frame.requests.clear ();
	ASSERT_EQ (scale->setContentScaleFactor (1.0f), kResultTrue);
	ASSERT_EQ (frame.requests.size (), 1u);
	EXPECT_TRUE (frame.requests[0].getWidth () == kWidth && frame.requests[0].getHeight () == kHeight);
	const char* names[3] = {"original", "vintage", "silver"};
	for (int32 skin = 0; skin < 3; ++skin)
	{
		showSkin (skin, 300);
		const Image again = capture (child);
		EXPECT_TRUE (again.rgb == one[skin].rgb) << "back at 1.0, skin " << skin;
		const std::string shot = std::string (TARNO_SOURCE_DIR "/docs/editor-") + names[skin] + ".png";
		const Image shown = readPng (shot);
		ASSERT_EQ (shown.width, kWidth) << shot;
		EXPECT_TRUE (again.rgb == shown.rgb) << shot;
	}
	setSkin (0);
	view->setFrame (nullptr);
}

// The main gestures at 1.5, sent at the window pixels that show the same
// panel points (drags over the same panel distance), give the host exactly
// the calls and values they give at 1.0.
TEST_F (EditorWindow, GesturesAtContentScale)
{
	FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
	ASSERT_TRUE (scale);
	attach ();
	auto play = [&] (double f) {
		for (int32 i = 0; i < Tarno::kNumParams; ++i)
			controller->setParamNormalized (ParamID (i), Tarno::kDefaultParams[size_t (i)]);
		setSkin (0);
		clearCalls ();
		auto at = [f] (int v) { return int (std::floor (v * f + f / 2)); };
		auto sendAt = [&] (UINT msg, WPARAM keys, int x, int y) { send (msg, keys, at (x), at (y)); };
		sendAt (WM_LBUTTONDOWN, MK_LBUTTON, kSqX, kSqY);
		send (WM_MOUSEMOVE, MK_LBUTTON, at (kSqX), at (kSqY) - int (20 * f));
		send (WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, at (kSqX), at (kSqY) - int (40 * f));
		sendAt (WM_LBUTTONUP, 0, kSqX, kSqY);
		sendAt (WM_LBUTTONDOWN, MK_LBUTTON, kTrX, kTrY);
		sendAt (WM_LBUTTONUP, 0, kTrX, kTrY);
		sendAt (WM_LBUTTONDBLCLK, MK_LBUTTON, kTrX, kTrY);
		sendAt (WM_LBUTTONUP, 0, kTrX, kTrY);
		POINT p = {at (kSqX), at (kSqY)};
		ClientToScreen (child, &p);
		SendMessageW (child, WM_MOUSEWHEEL, MAKEWPARAM (0, 120), point (p.x, p.y));
		sendAt (WM_LBUTTONDOWN, MK_LBUTTON, 35, kPresetY);
		sendAt (WM_LBUTTONUP, 0, 35, kPresetY);
		sendAt (WM_LBUTTONDOWN, MK_LBUTTON, kLegatoOffX, kLegatoY);
		sendAt (WM_LBUTTONUP, 0, kLegatoOffX, kLegatoY);
		sendAt (WM_LBUTTONDOWN, MK_LBUTTON, kSkinX[2], kSkinY);
		sendAt (WM_LBUTTONUP, 0, kSkinX[2], kSkinY);
		std::string result = trail (calls ());
		for (double v : performedValues (calls ()))
			result += " " + std::to_string (v);
		return result + " skin " + std::to_string (controllerSkin ());
	};
	const std::string atOne = play (1.0);
	EXPECT_EQ (atOne.substr (0, 24), "b0 p0 p0 e0 b10 e10 b10 ") << atOne;
	EXPECT_NE (atOne.find ("skin 2"), std::string::npos);
	ASSERT_EQ (scale->setContentScaleFactor (1.5f), kResultTrue);
	EXPECT_EQ (play (1.5), atOne);
}


// ---------------------------------------------------------------------------
// The host's context menu, typed values, zoom.

using namespace Tarno;

namespace {

// A point on parameter id in ORIGINAL: its control box's centre, or the
// Legato switch's.
POINT pointOn (int32 id)
{
	const SkinLayout& l = skinLayout (kSkinOriginal);
	const PixelBox& s = kOverlayLayout.legato;
	if (id == kLegatoParam)
		return {(s.left + s.right) / 2, (s.top + s.bottom) / 2};
	const Tarno::Point c = l.cell (id);
	return {c.x + (l.control.left + l.control.right) / 2, c.y + (l.control.top + l.control.bottom) / 2};
}

std::wstring textOf (HWND w)
{
	wchar_t t[128] = {};
	GetWindowTextW (w, t, 128);
	return t;
}

// Removes the view from a thread timer: the one way in while a popup menu
// runs its own message loop.
IPlugView* viewToRemove = nullptr;
void CALLBACK removeFromTimer (HWND, UINT, UINT_PTR id, DWORD)
{
	KillTimer (nullptr, id);
	if (viewToRemove)
		viewToRemove->removed ();
	viewToRemove = nullptr;
}

} // namespace

// A right-click on each of the 16 controls asks the host for its menu for
// that parameter, adds the plug-in's items and pops it up once at the
// click; elsewhere the menu has the zoom items alone.
TEST_F (EditorWindow, RightClickAsksTheHostsMenu)
{
	auto& handler = plugin.componentHandler ();
	handler.offerContextMenus = true;
	attach ();
	const std::vector<int32> zoomTags = {1075, -1100, 1125, 1150, 1200};
	std::vector<int32> controlTags = {1, 2, 0};
	controlTags.insert (controlTags.end (), zoomTags.begin (), zoomTags.end ());
	for (int32 id = -1; id < kNumParams; ++id)
	{
		const POINT p = id < 0 ? POINT {5, 5} : pointOn (id);
		const size_t before = handler.menuRequests.size ();
		send (WM_RBUTTONDOWN, MK_RBUTTON, p.x, p.y);
		send (WM_RBUTTONUP, 0, p.x, p.y);
		ASSERT_EQ (handler.menuRequests.size (), before + 1) << id;
		const auto& r = handler.menuRequests.back ();
		EXPECT_EQ (r.view, view);
		EXPECT_EQ (r.hasParam, id >= 0) << id;
		EXPECT_EQ (r.param, id < 0 ? 0u : ParamID (id));
		ASSERT_TRUE (r.menu);
		EXPECT_EQ (r.menu->tags (), id < 0 ? zoomTags : controlTags) << id;
		ASSERT_EQ (r.menu->popups.size (), 1u);
		EXPECT_TRUE (r.menu->popups[0].x == p.x && r.menu->popups[0].y == p.y) << id;
	}
	EXPECT_TRUE (editCalls (calls ()).empty ());
	handler.offerContextMenus = false;
}

// "Default value", and typed values in the edit control: applied as one
// gesture, refused with the note in the field, cancelled by Escape or by
// the focus going elsewhere.
TEST_F (EditorWindow, MenuItemsAndTypedValues)
{
	auto& handler = plugin.componentHandler ();
	handler.offerContextMenus = true;
	int32 choose = 0;
	handler.contextMenuPopup = [&] (Host::RecordingContextMenu& m) { m.choose (choose); };
	attach ();
	const POINT a = pointOn (kAttackParam);
	auto rightClick = [&] {
		send (WM_RBUTTONDOWN, MK_RBUTTON, a.x, a.y);
		send (WM_RBUTTONUP, 0, a.x, a.y);
	};
	controller->setParamNormalized (kAttackParam, 0.9);
	choose = kMenuDefaultValue;
	rightClick ();
	EXPECT_EQ (editCalls (calls ()), gestureCalls (kAttackParam, snapNormalized (kAttackParam, specs[kAttackParam].defaultNormalized)));

	String128 wide = {};
	UString (wide, 128).fromAscii ("1500");
	ParamValue typed = 0;
	ASSERT_EQ (controller->getParamValueByString (kAttackParam, wide, typed), kResultOk);
	struct Case
	{
		const char* what;
		bool byMenu;
		const wchar_t* text;
		WPARAM key; // 0: the focus goes elsewhere
		bool applied;
	};
	const Case cases[] = {
		{"applied", true, L"1500", VK_RETURN, true},
		{"refused, then escaped", false, L"zz", VK_RETURN, false},
		{"escaped", false, L"1500", VK_ESCAPE, false},
		{"focus elsewhere", true, L"1500", 0, false},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE (c.what);
		clearCalls ();
		choose = kMenuEnterValue;
		if (c.byMenu)
			rightClick ();
		else
		{
			send (WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, a.x, a.y);
			send (WM_LBUTTONUP, MK_CONTROL, a.x, a.y);
		}
		const HWND field = FindWindowExW (child, nullptr, L"EDIT", nullptr);
		ASSERT_NE (field, nullptr);
		EXPECT_EQ (GetFocus (), field);
		String128 shown = {};
		controller->getParamStringByValue (kAttackParam, controller->getParamNormalized (kAttackParam), shown);
		char narrow[128];
		UString (shown, 128).toAscii (narrow, 128);
		EXPECT_EQ (textOf (field), std::wstring (narrow, narrow + std::strlen (narrow)));
		SetWindowTextW (field, c.text);
		if (c.key)
			SendMessageW (field, WM_KEYDOWN, c.key, 0);
		else
			SetFocus (parent);
		if (!c.applied && c.key == VK_RETURN)
		{
			ASSERT_TRUE (IsWindow (field));
			EXPECT_EQ (textOf (field), L"Not a value");
			SendMessageW (field, WM_KEYDOWN, VK_ESCAPE, 0);
		}
		EXPECT_FALSE (IsWindow (field));
		EXPECT_EQ (editCalls (calls ()), c.applied ? gestureCalls (kAttackParam, typed) : std::vector<HandlerCall> {});
	}
	handler.offerContextMenus = false;
	handler.contextMenuPopup = nullptr;
}

// The menu's 200 % asks the frame for twice the size; each skin is then the
// picture the window shows at content scale 2, pixel for pixel.
TEST_F (EditorWindow, ZoomFromTheMenuDrawsAsContentScaleTwo)
{
	auto& handler = plugin.componentHandler ();
	handler.offerContextMenus = true;
	int32 choose = kMenuZoomBase + 200;
	handler.contextMenuPopup = [&] (Host::RecordingContextMenu& m) { m.choose (choose); };
	ResizeRecorder frame;
	view->setFrame (&frame);
	attach ();
	send (WM_RBUTTONDOWN, MK_RBUTTON, 5, 5);
	send (WM_RBUTTONUP, 0, 5, 5);
	ASSERT_EQ (frame.requests.size (), 1u);
	EXPECT_TRUE (frame.requests[0].getWidth () == 1720 && frame.requests[0].getHeight () == 1060);
	RECT client = {};
	GetClientRect (child, &client);
	EXPECT_TRUE (client.right == 1720 && client.bottom == 1060);
	Image zoomed[3];
	for (int32 skin = 0; skin < 3; ++skin)
	{
		setSkin (skin);
		pump (300);
		zoomed[skin] = capture (child);
	}
	choose = kMenuZoomBase + 100;
	send (WM_RBUTTONDOWN, MK_RBUTTON, 5, 5);
	send (WM_RBUTTONUP, 0, 5, 5);
	FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
	ASSERT_EQ (scale->setContentScaleFactor (2.0f), kResultTrue);
	for (int32 skin = 0; skin < 3; ++skin)
	{
		setSkin (skin);
		pump (300);
		EXPECT_TRUE (capture (child).rgb == zoomed[skin].rgb) << "skin " << skin;
	}
	scale->setContentScaleFactor (1.0f);
	setSkin (0);
	view->setFrame (nullptr);
	handler.offerContextMenus = false;
	handler.contextMenuPopup = nullptr;
}

// The window's own popup menu (a host without IComponentHandler3) ends when
// the view is removed while it is up; so does the field; and a host's menu
// item chosen after the removal reaches nothing.
TEST_F (EditorWindow, RemovedWhileAMenuOrTheFieldIsOpen)
{
	attach ();
	const POINT a = pointOn (kAttackParam);
	viewToRemove = view;
	SetTimer (nullptr, 0, 200, removeFromTimer);
	send (WM_RBUTTONDOWN, MK_RBUTTON, a.x, a.y);
	send (WM_RBUTTONUP, 0, a.x, a.y);
	EXPECT_EQ (viewToRemove, nullptr) << "the menu was not up";
	EXPECT_FALSE (IsWindow (child));
	attachedNow = false;

	attach ();
	send (WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, a.x, a.y);
	const HWND field = FindWindowExW (child, nullptr, L"EDIT", nullptr);
	ASSERT_NE (field, nullptr);
	detach ();
	EXPECT_FALSE (IsWindow (field));

	auto& handler = plugin.componentHandler ();
	handler.offerContextMenus = true;
	IPtr<Host::RecordingContextMenu> kept;
	handler.contextMenuPopup = [&] (Host::RecordingContextMenu& m) { kept = &m; };
	attach ();
	send (WM_RBUTTONUP, 0, a.x, a.y);
	ASSERT_TRUE (kept);
	detach ();
	clearCalls ();
	EXPECT_EQ (kept->choose (kMenuDefaultValue), kResultFalse);
	EXPECT_TRUE (editCalls (calls ()).empty ());
	handler.offerContextMenus = false;
	handler.contextMenuPopup = nullptr;
}

#endif // TARNO_HAVE_PLUGIN
#endif // _WIN32
