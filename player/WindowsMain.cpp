// Tarnovelle.exe (Windows): the standalone player. WASAPI output, WinMM MIDI
// inputs, the editor in a top-level window with a Preset menu; Ctrl+C (from
// a console) or closing the window ends it cleanly.

#include "player/ComputerKeyboard.h"
#include "player/PlayLoop.h"
#include "player/Session.h"
#include "player/StateStore.h"
#include "player/WasapiBackend.h"
#include "player/WinMidiInput.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Tarno::Standalone;
using namespace Steinberg;
namespace fs = std::filesystem;

namespace {

constexpr DWORD kIdleMs = 20;
constexpr UINT kMenuLoad = 101;
constexpr UINT kMenuSave = 102;
const wchar_t* const kWindowClass = L"TarnovelleStandalone";

// How long closing the console may wait for the state to be saved (Windows
// ends the program about 5 s after the close event).
constexpr DWORD kCloseWaitMs = 4000;

std::atomic<bool> gQuit {false};
DWORD gMainThread = 0;
HANDLE gSaved = nullptr; // set once the state is saved

BOOL WINAPI onConsoleControl (DWORD event)
{
	gQuit.store (true);
	PostThreadMessageW (gMainThread, WM_NULL, 0, 0);
	// Closing the console, logging off or shutting down end the program
	// when this returns: wait for the main thread to save first.
	if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
		WaitForSingleObject (gSaved, kCloseWaitMs);
	return TRUE;
}

// Messages reach the console this program was started from (a GUI program
// has none of its own), unless they are already redirected.
void attachConsole ()
{
	HANDLE err = GetStdHandle (STD_ERROR_HANDLE);
	if (err != nullptr && err != INVALID_HANDLE_VALUE)
		return;
	if (AttachConsole (ATTACH_PARENT_PROCESS))
	{
		std::freopen ("CONOUT$", "w", stdout);
		std::freopen ("CONOUT$", "w", stderr);
	}
}

std::wstring wide (const std::string& s)
{
	return fs::u8path (s).wstring ();
}

// The frame the editor's view asks for a new size (a zoom chosen from its
// menu): the window takes the size, then the view.
class ResizingFrame : public IPlugFrame
{
public:
	std::function<void (int width, int height)> resize;

	tresult PLUGIN_API resizeView (IPlugView* view, ViewRect* newSize) override
	{
		if (view == nullptr || newSize == nullptr || newSize->getWidth () <= 0 || newSize->getHeight () <= 0)
			return kInvalidArgument;
		if (resize)
			resize (newSize->getWidth (), newSize->getHeight ());
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
};

class MainWindow
{
public:
	MainWindow (Player& player, ComputerKeyboard& keyboard) : player_ (player), keyboard_ (keyboard) {}
	~MainWindow () { close (); }

	bool open (std::string& error)
	{
		WNDCLASSEXW wc {};
		wc.cbSize = sizeof (wc);
		wc.lpfnWndProc = &MainWindow::procedure;
		wc.hInstance = GetModuleHandleW (nullptr);
		wc.hCursor = LoadCursorW (nullptr, MAKEINTRESOURCEW (32512));
		wc.hbrBackground = HBRUSH (GetStockObject (BLACK_BRUSH));
		wc.lpszClassName = kWindowClass;
		RegisterClassExW (&wc);

		HMENU menu = CreateMenu ();
		HMENU presets = CreatePopupMenu ();
		AppendMenuW (presets, MF_STRING, kMenuLoad, L"&Load...\tCtrl+O");
		AppendMenuW (presets, MF_STRING, kMenuSave, L"&Save...\tCtrl+S");
		AppendMenuW (menu, MF_POPUP, UINT_PTR (presets), L"&Preset");
		const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
		window_ = CreateWindowExW (0, kWindowClass, L"Tarnovelle", style, CW_USEDEFAULT, CW_USEDEFAULT, 640, 400,
		                           nullptr, menu, wc.hInstance, this);
		if (!window_)
		{
			error = "cannot create the window (error " + std::to_string (GetLastError ()) + ")";
			return false;
		}
		view_ = owned (player_.instance ().controller ()->createView (Vst::ViewType::kEditor));
		if (!view_ || view_->isPlatformTypeSupported (kPlatformTypeHWND) != kResultTrue)
		{
			error = "the instrument has no editor";
			view_ = nullptr;
			return false;
		}
		const float scale = contentScale ();
		if (scale != 1.f)
			if (FUnknownPtr<IPlugViewContentScaleSupport> scaling = FUnknownPtr<IPlugViewContentScaleSupport> (view_))
				scaling->setContentScaleFactor (scale);
		ViewRect size;
		if (view_->getSize (&size) != kResultOk || size.getWidth () <= 0)
			size = ViewRect (0, 0, 640, 400);
		resizeTo (size.getWidth (), size.getHeight ());
		frame_.resize = [this] (int width, int height) { resizeTo (width, height); };
		view_->setFrame (&frame_);
		if (view_->attached (window_, kPlatformTypeHWND) != kResultOk)
		{
			error = "the editor refused to open in the window";
			return false;
		}
		attached_ = true;
		ShowWindow (window_, SW_SHOWNORMAL);
		UpdateWindow (window_);
		return true;
	}

	void close ()
	{
		if (attached_)
			view_->removed ();
		attached_ = false;
		if (view_)
			view_->setFrame (nullptr);
		view_ = nullptr;
		if (window_)
			DestroyWindow (window_);
		window_ = nullptr;
	}

	bool closed () const { return closed_; }
	std::function<void ()> onEndSession;

	// Keys for the keyboard and the preset shortcuts, whichever of our
	// windows (the editor's included) has the focus. True when used.
	bool key (const MSG& m)
	{
		if (m.message != WM_KEYDOWN && m.message != WM_KEYUP)
			return false;
		// Typing into the editor's field (a typed value) is not playing.
		wchar_t className[8] = {};
		if (GetClassNameW (m.hwnd, className, 8) && lstrcmpiW (className, L"Edit") == 0)
			return false;
		const bool down = m.message == WM_KEYDOWN;
		const bool control = GetKeyState (VK_CONTROL) < 0;
		if (control && down && (m.wParam == 'O' || m.wParam == 'S'))
		{
			presetDialog (m.wParam == 'S');
			return true;
		}
		const UINT c = MapVirtualKeyW (UINT (m.wParam), MAPVK_VK_TO_CHAR) & 0x7FFF;
		if (c == 0 || c > 0x7F)
			return false;
		const char lower = char (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
		return keyboard_.key (lower, down, control);
	}

private:
	float contentScale () const
	{
		using GetDpiForWindowFn = UINT (WINAPI*) (HWND);
		auto getDpi = reinterpret_cast<GetDpiForWindowFn> (
		    reinterpret_cast<void (*) ()> (GetProcAddress (GetModuleHandleW (L"user32.dll"), "GetDpiForWindow")));
		UINT dpi = getDpi ? getDpi (window_) : 0;
		if (dpi == 0)
		{
			HDC dc = GetDC (nullptr);
			dpi = UINT (GetDeviceCaps (dc, LOGPIXELSX));
			ReleaseDC (nullptr, dc);
		}
		return dpi >= 96 && dpi <= 384 ? float (dpi) / 96.f : 1.f;
	}

	void resizeTo (int width, int height)
	{
		RECT r {0, 0, width, height};
		AdjustWindowRectEx (&r, DWORD (GetWindowLongPtrW (window_, GWL_STYLE)), TRUE, 0);
		SetWindowPos (window_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
	}

	void presetDialog (bool save)
	{
		wchar_t file[MAX_PATH] = {};
		OPENFILENAMEW ofn {};
		ofn.lStructSize = sizeof (ofn);
		ofn.hwndOwner = window_;
		ofn.lpstrFilter = L"VST 3 presets (*.vstpreset)\0*.vstpreset\0All files\0*.*\0";
		ofn.lpstrFile = file;
		ofn.nMaxFile = MAX_PATH;
		ofn.lpstrDefExt = L"vstpreset";
		ofn.Flags = save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
		if (!(save ? GetSaveFileNameW (&ofn) : GetOpenFileNameW (&ofn)))
			return;
		const std::string path = fs::path (file).u8string ();
		std::string error;
		const bool ok = save ? player_.savePreset (path, error) : player_.loadPreset (path, error);
		if (ok)
			printMessage (std::string (save ? "saved" : "loaded") + " the preset '" + path + "'");
		else
		{
			printWarning (error);
			MessageBoxW (window_, wide (error).c_str (), L"Tarnovelle", MB_OK | MB_ICONWARNING);
		}
	}

	static LRESULT CALLBACK procedure (HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
	{
		if (message == WM_NCCREATE)
			SetWindowLongPtrW (hwnd, GWLP_USERDATA,
			                   LONG_PTR (reinterpret_cast<CREATESTRUCTW*> (lParam)->lpCreateParams));
		auto* self = reinterpret_cast<MainWindow*> (GetWindowLongPtrW (hwnd, GWLP_USERDATA));
		switch (message)
		{
			case WM_CLOSE:
				if (self)
					self->closed_ = true;
				return 0;
			case WM_ENDSESSION:
				// Logging off or shutting down: the program may be ended
				// as soon as this returns, so the state is saved here.
				if (wParam && self && self->onEndSession)
					self->onEndSession ();
				return 0;
			case WM_COMMAND:
				if (self && (LOWORD (wParam) == kMenuLoad || LOWORD (wParam) == kMenuSave))
					self->presetDialog (LOWORD (wParam) == kMenuSave);
				return 0;
			case WM_KILLFOCUS:
				if (self)
					self->keyboard_.releaseAll ();
				break;
			default: break;
		}
		return DefWindowProcW (hwnd, message, wParam, lParam);
	}

	Player& player_;
	ComputerKeyboard& keyboard_;
	HWND window_ = nullptr;
	ResizingFrame frame_; // outlives the view, which may hold it
	IPtr<IPlugView> view_;
	bool attached_ = false;
	bool closed_ = false;
};

int run (int argc, char** argv)
{
	Options o;
	int status = 0;
	if (!readCommandLine (argc, argv, o, status))
		return status;
	std::string error;
	if (o.listDevices)
	{
		const std::vector<OutputDevice> outputs = listOutputDevices (error);
		if (outputs.empty ())
			std::printf ("no output devices: %s\n", error.c_str ());
		for (const OutputDevice& d : outputs)
			std::printf ("output: %s%s\n", d.name.c_str (), d.isDefault ? " (default)" : "");
		const std::vector<std::string> inputs = listMidiInputs ();
		if (inputs.empty ())
			std::printf ("no MIDI inputs\n");
		for (const std::string& name : inputs)
			std::printf ("MIDI input: %s\n", name.c_str ());
		return 0;
	}

	Player player;
	Session session;
	if (!session.begin (player, o))
		return 1;
	std::unique_ptr<AudioBackend> audio = openWasapi (player, o, error);
	if (!audio)
		return printError ("cannot play: " + error);
	printMessage ("playing through " + audio->description ());
	PlayLoop playLoop (player, o, std::move (audio),
	                   [&player, &o] (std::string& e) { return openWasapi (player, o, e); });

	WinMidiInput midi (player);
	std::vector<std::string> warnings;
	const std::vector<std::string> inputs = midi.open (o.midiDevice, warnings);
	for (const std::string& w : warnings)
		printWarning (w);
	if (inputs.empty ())
		printMessage ("no MIDI input is open; the window's keyboard plays");
	for (const std::string& name : inputs)
		printMessage ("MIDI from '" + name + "'");

	ComputerKeyboard keyboard (player);
	std::unique_ptr<MainWindow> window;
	if (!o.noGui)
	{
		window = std::make_unique<MainWindow> (player, keyboard);
		window->onEndSession = [&session, &player] { session.end (player); };
		if (!window->open (error))
		{
			printWarning (error + ": running without a window");
			window.reset ();
		}
		else
			printMessage ("window 'Tarnovelle' open");
	}

	for (;;)
	{
		MSG m;
		while (PeekMessageW (&m, nullptr, 0, 0, PM_REMOVE))
		{
			if (m.message == WM_QUIT)
				gQuit.store (true);
			if (window && window->key (m))
				continue;
			TranslateMessage (&m);
			DispatchMessageW (&m);
		}
		if (gQuit.load () || (window && window->closed ()) || !playLoop.step ())
			break;
		MsgWaitForMultipleObjects (0, nullptr, FALSE, kIdleMs, QS_ALLINPUT);
	}
	keyboard.releaseAll ();
	window.reset ();
	midi.close ();
	playLoop.close ();
	const bool saved = session.end (player);
	return saved ? playLoop.status () : 1;
}

} // namespace

int WINAPI wWinMain (HINSTANCE, HINSTANCE, LPWSTR, int)
{
	attachConsole ();
	gMainThread = GetCurrentThreadId ();
	gSaved = CreateEventW (nullptr, TRUE, FALSE, nullptr);
	SetConsoleCtrlHandler (onConsoleControl, TRUE);
	CoInitializeEx (nullptr, COINIT_APARTMENTTHREADED);
	int count = 0;
	LPWSTR* wideArgs = CommandLineToArgvW (GetCommandLineW (), &count);
	std::vector<std::string> args;
	for (int i = 0; i < count; ++i)
		args.push_back (fs::path (wideArgs[i]).u8string ());
	LocalFree (wideArgs);
	std::vector<char*> argv;
	for (std::string& a : args)
		argv.push_back (a.data ());
	argv.push_back (nullptr);
	const int status = run (int (args.size ()), argv.data ());
	std::fflush (stdout);
	std::fflush (stderr);
	SetEvent (gSaved);
	CoUninitialize ();
	return status;
}
