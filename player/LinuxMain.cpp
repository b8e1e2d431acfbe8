// tarnovelle (Linux): the standalone player. JACK first, ALSA when no JACK
// server runs; the editor in an X11 window on the host run loop (unless
// --no-gui or there is no display); SIGINT and SIGTERM end it cleanly.

#include "player/AlsaBackend.h"
#include "player/ComputerKeyboard.h"
#include "player/JackBackend.h"
#include "player/PlayLoop.h"
#include "player/Session.h"
#include "player/StateStore.h"

#include "vst3host/PlugFrame.h"
#include "vst3host/RunLoop.h"
#include "vst3host/X11SizeHints.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace Tarno::Standalone;
using namespace Tarno::Host;
using namespace Steinberg;
namespace fs = std::filesystem;

namespace {

constexpr int kIdleMs = 20;

std::atomic<int> gSignal {0};
int gWakePipe[2] = {-1, -1};

void onSignal (int number)
{
	gSignal.store (number);
	const char byte = 1;
	if (gWakePipe[1] >= 0)
		(void)!write (gWakePipe[1], &byte, 1);
}

void installSignals ()
{
	if (pipe (gWakePipe) == 0)
	{
		fcntl (gWakePipe[0], F_SETFL, O_NONBLOCK);
		fcntl (gWakePipe[1], F_SETFL, O_NONBLOCK);
	}
	struct sigaction action {};
	action.sa_handler = onSignal;
	sigemptyset (&action.sa_mask);
	sigaction (SIGINT, &action, nullptr);
	sigaction (SIGTERM, &action, nullptr);
}

// JACK first, then ALSA; nullptr with one line saying what was tried.
// reopen opens the kind that plays again (after it was lost).
std::unique_ptr<AudioBackend> openAudio (Player& player, const Options& o, PlayLoop::Opener& reopen,
                                         std::string& error)
{
	std::string jackError;
	if (auto jack = openJack (player, o, jackError))
	{
		reopen = [&player, &o] (std::string& e) { return openJack (player, o, e); };
		return jack;
	}
	std::string alsaError;
	std::vector<std::string> warnings;
	if (auto alsa = openAlsa (player, o, alsaError, warnings))
	{
		printMessage (jackError + "; using ALSA");
		for (const std::string& w : warnings)
			printWarning (w);
		reopen = [&player, &o] (std::string& e) {
			std::vector<std::string> again;
			auto backend = openAlsa (player, o, e, again);
			for (size_t i = 0; backend && i < again.size (); ++i)
				printWarning (again[i]);
			return backend;
		};
		return alsa;
	}
	error = "cannot play: " + jackError + ", and " + alsaError;
	return nullptr;
}

// The screen's content scale from the X resources (Xft.dpi / 96), 1 when
// not set.
double contentScale (Display* display)
{
	double scale = 1.0;
	XrmInitialize ();
	if (const char* resources = XResourceManagerString (display))
	{
		XrmDatabase db = XrmGetStringDatabase (resources);
		char* type = nullptr;
		XrmValue value {};
		if (db && XrmGetResource (db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
		{
			const double dpi = std::atof (value.addr);
			if (dpi >= 96.0 && dpi <= 384.0)
				scale = dpi / 96.0;
		}
		if (db)
			XrmDestroyDatabase (db);
	}
	return scale;
}

// The editor in a top-level window, its X events on the run loop.
class EditorWindow
{
public:
	EditorWindow (Display* display, RunLoop& loop) : display_ (display), loop_ (loop), frame_ (&loop) {}
	~EditorWindow () { close (); }

	bool open (Vst::IEditController* controller, std::string& error)
	{
		view_ = owned (controller->createView (Vst::ViewType::kEditor));
		if (!view_ || view_->isPlatformTypeSupported (kPlatformTypeX11EmbedWindowID) != kResultTrue)
		{
			error = "the instrument has no X11 editor";
			view_ = nullptr;
			return false;
		}
		const double scale = contentScale (display_);
		if (scale != 1.0)
			if (FUnknownPtr<IPlugViewContentScaleSupport> scaling = FUnknownPtr<IPlugViewContentScaleSupport> (view_))
				scaling->setContentScaleFactor (float (scale));
		ViewRect size;
		if (view_->getSize (&size) != kResultOk || size.getWidth () <= 0 || size.getHeight () <= 0)
			size = ViewRect (0, 0, 640, 400);
		const int screen = DefaultScreen (display_);
		window_ = XCreateSimpleWindow (display_, RootWindow (display_, screen), 0, 0, unsigned (size.getWidth ()),
		                               unsigned (size.getHeight ()), 0, BlackPixel (display_, screen),
		                               BlackPixel (display_, screen));
		const char* title = "Tarnovelle";
		XStoreName (display_, window_, title);
		XChangeProperty (display_, window_, XInternAtom (display_, "_NET_WM_NAME", False),
		                 XInternAtom (display_, "UTF8_STRING", False), 8, PropModeReplace,
		                 reinterpret_cast<const unsigned char*> (title), int (std::strlen (title)));
		char className[] = "tarnovelle";
		XClassHint classHint = {className, className};
		XSetClassHint (display_, window_, &classHint);
		deleteAtom_ = XInternAtom (display_, "WM_DELETE_WINDOW", False);
		XSetWMProtocols (display_, window_, &deleteAtom_, 1);
		setFixedSize (display_, window_, size.getWidth (), size.getHeight ());
		XkbSetDetectableAutoRepeat (display_, True, nullptr);
		XSelectInput (display_, window_, StructureNotifyMask | KeyPressMask | KeyReleaseMask | FocusChangeMask);

		xEvents_.setFunction ([this] (FileDescriptor) { pump (); });
		loop_.registerEventHandler (&xEvents_, ConnectionNumber (display_));
		registered_ = true;
		frame_.setResizeFunction ([this] (IPlugView*, const ViewRect& r) {
			if (r.getWidth () <= 0 || r.getHeight () <= 0)
				return false;
			setFixedSize (display_, window_, r.getWidth (), r.getHeight ());
			XResizeWindow (display_, window_, unsigned (r.getWidth ()), unsigned (r.getHeight ()));
			XFlush (display_);
			return true;
		});
		view_->setFrame (&frame_);
		XSync (display_, False);
		if (view_->attached (reinterpret_cast<void*> (uintptr_t (window_)), kPlatformTypeX11EmbedWindowID) !=
		    kResultOk)
		{
			error = "the editor refused to open in the window";
			return false;
		}
		attached_ = true;
		XMapWindow (display_, window_);
		XFlush (display_);
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
		if (registered_)
			loop_.unregisterEventHandler (&xEvents_);
		registered_ = false;
		if (window_)
			XDestroyWindow (display_, window_);
		window_ = 0;
		XFlush (display_);
	}

	// Key handling: (character, pressed, control held); see main ().
	std::function<void (char, KeySym, bool, bool)> onKey;
	std::function<void ()> onFocusLost;

	void pump ()
	{
		while (XPending (display_) > 0)
		{
			XEvent e;
			XNextEvent (display_, &e);
			if (e.type == ClientMessage && e.xclient.window == window_ && Atom (e.xclient.data.l[0]) == deleteAtom_)
				closed_ = true;
			else if ((e.type == KeyPress || e.type == KeyRelease) && onKey)
			{
				const KeySym sym = XLookupKeysym (&e.xkey, 0);
				const char c = sym >= 0x20 && sym < 0x7F ? char (sym) : 0;
				onKey (c, sym, e.type == KeyPress, (e.xkey.state & ControlMask) != 0);
			}
			else if (e.type == FocusOut && onFocusLost)
				onFocusLost ();
		}
	}

	bool closed () const { return closed_; }

private:
	Display* display_;
	RunLoop& loop_;
	PlugFrame frame_;
	IPtr<IPlugView> view_;
	FunctionEventHandler xEvents_;
	Window window_ = 0;
	Atom deleteAtom_ = 0;
	bool registered_ = false;
	bool attached_ = false;
	bool closed_ = false;
};

// Ctrl+S saves into the presets folder; Ctrl+O, Page Up/Down step through
// the factory presets where hosts find them (~/.vst3/presets, the
// installation's share/vst3/presets) and then the saved ones.
class PresetKeys
{
public:
	PresetKeys (Player& player, const std::string& configFolder)
	: player_ (player), folder_ (configFolder.empty () ? std::string () : presetsFolder (configFolder))
	{
		const Tarno::Host::ClassInfo* info = player.instrumentClass ();
		const std::string vendor = info ? info->vendor : std::string ();
		const fs::path sub = fs::path ("presets") / vendor / "Tarnovelle";
		const std::string program = programFile ();
		if (const char* home = std::getenv ("HOME"))
			browsed_.push_back (fs::path (home) / ".vst3" / sub);
		if (!program.empty ())
			browsed_.push_back (fs::path (program).parent_path ().parent_path () / "share" / "vst3" / sub);
		browsed_.push_back (fs::path ("/usr/share/vst3") / sub);
		browsed_.push_back (fs::path ("/usr/local/share/vst3") / sub);
		if (!folder_.empty ())
			browsed_.push_back (folder_);
	}

	void save ()
	{
		if (folder_.empty ())
			return printWarning ("there is no folder for presets");
		std::error_code ec;
		fs::create_directories (folder_, ec);
		for (int n = 1; n < 10000; ++n)
		{
			char name[32];
			std::snprintf (name, sizeof (name), "Preset %03d.vstpreset", n);
			const fs::path path = fs::path (folder_) / name;
			if (fs::exists (path, ec))
				continue;
			std::string error;
			if (player_.savePreset (path.string (), error))
				printMessage ("saved the preset '" + path.string () + "'");
			else
				printWarning (error);
			return;
		}
	}

	void step (int direction)
	{
		std::vector<fs::path> files;
		std::vector<fs::path> seen;
		for (const fs::path& folder : browsed_)
		{
			std::error_code ec;
			const fs::path real = fs::canonical (folder, ec);
			if (ec || std::find (seen.begin (), seen.end (), real) != seen.end ())
				continue;
			seen.push_back (real);
			std::vector<fs::path> here;
			for (fs::directory_iterator it (real, ec), end; !ec && it != end; it.increment (ec))
				if (it->path ().extension () == ".vstpreset")
					here.push_back (it->path ());
			std::sort (here.begin (), here.end ());
			files.insert (files.end (), here.begin (), here.end ());
		}
		if (files.empty ())
			return printMessage ("no presets found (Ctrl+S saves one into '" + folder_ + "')");
		const int count = int (files.size ());
		index_ = index_ < 0 ? (direction > 0 ? 0 : count - 1) : ((index_ + direction) % count + count) % count;
		std::string error;
		if (player_.loadPreset (files[size_t (index_)].string (), error))
			printMessage ("loaded the preset '" + files[size_t (index_)].string () + "'");
		else
			printWarning (error);
	}

private:
	Player& player_;
	std::string folder_;
	std::vector<fs::path> browsed_;
	int index_ = -1;
};

} // namespace

int main (int argc, char** argv)
{
	Options o;
	int exitStatus = 0;
	if (!readCommandLine (argc, argv, o, exitStatus))
		return exitStatus;
	std::string error;

	installSignals ();
	Player player;
	Session session;
	if (!session.begin (player, o))
		return 1;

	PlayLoop::Opener reopen;
	std::unique_ptr<AudioBackend> audio = openAudio (player, o, reopen, error);
	if (!audio)
		return printError (error);
	printMessage ("playing through " + audio->description ());
	PlayLoop playLoop (player, o, std::move (audio), reopen);

	RunLoop loop;
	FunctionEventHandler wake ([] (FileDescriptor fd) {
		char buffer[16];
		while (read (fd, buffer, sizeof (buffer)) > 0)
		{
		}
	});
	if (gWakePipe[0] >= 0)
		loop.registerEventHandler (&wake, gWakePipe[0]);

	Display* display = nullptr;
	std::unique_ptr<EditorWindow> window;
	ComputerKeyboard keyboard (player);
	PresetKeys presets (player, session.folder ());
	if (!o.noGui)
	{
		display = XOpenDisplay (nullptr);
		if (display == nullptr)
			printWarning ("no X display: running without a window");
		else
		{
			window = std::make_unique<EditorWindow> (display, loop);
			window->onKey = [&] (char c, KeySym sym, bool down, bool control) {
				if (control && down && (c == 's' || c == 'o'))
					return c == 's' ? presets.save () : presets.step (1);
				if (!control && down && (sym == XK_Page_Up || sym == XK_Page_Down))
					return presets.step (sym == XK_Page_Up ? -1 : 1);
				keyboard.key (c, down, control);
			};
			window->onFocusLost = [&] { keyboard.releaseAll (); };
			if (!window->open (player.instance ().controller (), error))
			{
				printWarning (error + ": running without a window");
				window.reset ();
			}
		}
	}

	for (;;)
	{
		if (window)
			window->pump ();
		if (gSignal.load () != 0 || (window && window->closed ()) || !playLoop.step ())
			break;
		loop.runOnce (kIdleMs);
	}
	if (gSignal.load () != 0)
		printMessage (gSignal.load () == SIGINT ? "interrupted (SIGINT): quitting" : "terminated (SIGTERM): quitting");
	keyboard.releaseAll ();
	window.reset ();
	if (display)
		XCloseDisplay (display);
	playLoop.close ();
	loop.unregisterEventHandler (&wake);
	const bool saved = session.end (player);
	return saved ? playLoop.status () : 1;
}
