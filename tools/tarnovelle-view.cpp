// tarnovelle-view (Linux): opens a VST 3 instrument's editor in an X11
// window and runs it on the host's run loop, as a Linux host does: the view
// gets a frame offering Linux::IRunLoop, registers its descriptors and
// timers there, and everything (the plug-in's callbacks and this window's
// own X events) is dispatched from the one thread.
//
// Run with --help for the options. Exit status: 0 when the window was closed,
// the time given with --seconds ran out or the screenshot was written; 1 when
// the editor cannot be shown (bundle, plug-in, editor, platform type, X
// display, screenshot); 2 for a bad command line.

#include "vst3host/Files.h"
#include "vst3host/Module.h"
#include "vst3host/PlugFrame.h"
#include "vst3host/PluginInstance.h"
#include "vst3host/RunLoop.h"
#include "vst3host/X11SizeHints.h"

#include "TarnoVersion.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#ifdef TARNO_VIEW_SCREENSHOT
#include <cairo.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace Tarno::Host;
using namespace Steinberg;

namespace {

const char* const kProgram = "tarnovelle-view";
#ifdef TARNO_VIEW_SCREENSHOT
// How long a screenshot waits for the window to be shown after --after.
constexpr int kMapWaitMs = 5000;
#endif

const char* const kUsage =
    "Usage: tarnovelle-view [options] PLUGIN.vst3\n"
    "\n"
    "Opens the editor of a VST 3 instrument in an X11 window and runs it on the\n"
    "host's run loop until the window is closed.\n"
    "\n"
    "PLUGIN is a .vst3 bundle folder or the module binary inside it. The view\n"
    "must support the platform type X11EmbedWindowID; the display is taken\n"
    "from DISPLAY.\n"
    "\n"
    "Options:\n"
    "  --seconds N         close the editor after N seconds (up to 86400)\n"
    "  --screenshot FILE   write the window's contents as a PNG file, then close\n"
    "  --after MS          take the screenshot MS milliseconds after the window\n"
    "                      was shown (default 1000)\n"
    "  --scale F           give the view content scale F (1 to 4, as a host on a\n"
    "                      high-density screen does) before opening it\n"
    "  --zoom PERCENT      open a resizable view at PERCENT of its size (50 to\n"
    "                      200); the window can be resized, and the editor's\n"
    "                      right-click menu zooms too\n"
    "  --run-loop MODE     what the view's frame offers: 'normal' (default),\n"
    "                      'refusing' (a run loop that refuses every handler and\n"
    "                      timer) or 'none' (no run loop at all)\n"
    "  --version           show the version\n"
    "  --help              show this text\n";

struct Options
{
	std::string plugin;
	double seconds = -1.0;
	std::string screenshot;
	int afterMs = 1000;
	double scale = 1.0;
	double zoomPercent = 100.0;
	enum class RunLoopMode { Normal, Refusing, Absent } runLoop = RunLoopMode::Normal;
	bool help = false;
	bool version = false;
};

int fail (const std::string& message)
{
	std::fprintf (stderr, "%s: error: %s\n", kProgram, message.c_str ());
	return 1;
}

bool parseArguments (int argc, char** argv, Options& o, std::string& error)
{
	std::string positional;
	int count = 0;
	for (int i = 1; i < argc; ++i)
	{
		const std::string arg = argv[i];
		auto value = [&] (std::string& out) {
			if (i + 1 >= argc)
			{
				error = "option " + arg + " needs a value";
				return false;
			}
			out = argv[++i];
			return true;
		};
		std::string v;
		char* end = nullptr;
		if (arg == "--help" || arg == "-h")
		{
			o.help = true;
			return true;
		}
		else if (arg == "--version")
		{
			o.version = true;
			return true;
		}
		else if (arg == "--seconds")
		{
			if (!value (v))
				return false;
			o.seconds = std::strtod (v.c_str (), &end);
			if (v.empty () || *end != 0 || !(o.seconds > 0.0) || o.seconds > 86400.0)
			{
				error = "--seconds needs a number above 0 and up to 86400, not '" + v + "'";
				return false;
			}
		}
		else if (arg == "--screenshot")
		{
			if (!value (o.screenshot))
				return false;
#ifndef TARNO_VIEW_SCREENSHOT
			error = "this build has no screenshots (it was built without Cairo)";
			return false;
#endif
		}
		else if (arg == "--scale")
		{
			if (!value (v))
				return false;
			o.scale = std::strtod (v.c_str (), &end);
			if (v.empty () || *end != 0 || !(o.scale >= 1.0 && o.scale <= 4.0))
			{
				error = "--scale needs a number from 1 to 4, not '" + v + "'";
				return false;
			}
		}
		else if (arg == "--zoom")
		{
			if (!value (v))
				return false;
			o.zoomPercent = std::strtod (v.c_str (), &end);
			if (v.empty () || *end != 0 || !(o.zoomPercent >= 50.0 && o.zoomPercent <= 200.0))
			{
				error = "--zoom needs a percentage from 50 to 200, not '" + v + "'";
				return false;
			}
		}
		else if (arg == "--run-loop")
		{
			if (!value (v))
				return false;
			if (v == "normal")
				o.runLoop = Options::RunLoopMode::Normal;
			else if (v == "refusing")
				o.runLoop = Options::RunLoopMode::Refusing;
			else if (v == "none")
				o.runLoop = Options::RunLoopMode::Absent;
			else
			{
				error = "--run-loop must be normal, refusing or none, not '" + v + "'";
				return false;
			}
		}
		else if (arg == "--after")
		{
			if (!value (v))
				return false;
			const long ms = std::strtol (v.c_str (), &end, 10);
			if (v.empty () || *end != 0 || ms < 0 || ms > 3600000)
			{
				error = "--after needs milliseconds from 0 to 3600000, not '" + v + "'";
				return false;
			}
			o.afterMs = int (ms);
		}
		else if (arg.size () > 1 && arg[0] == '-')
		{
			error = "unknown option '" + arg + "'";
			return false;
		}
		else
		{
			positional = arg;
			++count;
		}
	}
	if (count != 1)
	{
		error = "expected one PLUGIN.vst3 (got " + std::to_string (count) + ")";
		return false;
	}
	o.plugin = positional;
	return true;
}

// X errors are reported and remembered instead of ending the program (the
// default handler's way).
int lastXError = 0;

int onXError (Display* display, XErrorEvent* e)
{
	char text[256] = {};
	XGetErrorText (display, e->error_code, text, sizeof (text));
	std::fprintf (stderr, "%s: X error: %s (request %d)\n", kProgram, text, int (e->request_code));
	lastXError = e->error_code;
	return 0;
}

#ifdef TARNO_VIEW_SCREENSHOT
// One colour component of a TrueColor pixel scaled to 8 bits.
uint32_t component (unsigned long pixel, unsigned long mask)
{
	if (mask == 0)
		return 0;
	int shift = 0;
	while (!((mask >> shift) & 1))
		++shift;
	const unsigned long max = mask >> shift;
	return uint32_t (((pixel & mask) >> shift) * 255 / max);
}

bool writeScreenshot (Display* display, Window window, const std::string& path, int& width, int& height,
                      std::string& error)
{
	XWindowAttributes attributes;
	if (!XGetWindowAttributes (display, window, &attributes) || attributes.map_state != IsViewable)
	{
		error = "the window is not shown";
		return false;
	}
	if (attributes.visual->c_class != TrueColor)
	{
		error = "the display does not use a TrueColor visual";
		return false;
	}
	width = attributes.width;
	height = attributes.height;
	lastXError = 0;
	XImage* image = XGetImage (display, window, 0, 0, unsigned (width), unsigned (height), AllPlanes, ZPixmap);
	if (image == nullptr)
	{
		error = "cannot read the window's contents";
		return false;
	}
	cairo_surface_t* surface = cairo_image_surface_create (CAIRO_FORMAT_RGB24, width, height);
	cairo_surface_flush (surface);
	unsigned char* data = cairo_image_surface_get_data (surface);
	const int stride = cairo_image_surface_get_stride (surface);
	for (int y = 0; y < height; ++y)
	{
		auto* row = reinterpret_cast<uint32_t*> (data + size_t (y) * size_t (stride));
		for (int x = 0; x < width; ++x)
		{
			const unsigned long p = XGetPixel (image, x, y);
			row[x] = 0xFF000000u | component (p, image->red_mask) << 16 | component (p, image->green_mask) << 8 |
			         component (p, image->blue_mask);
		}
	}
	cairo_surface_mark_dirty (surface);
	XDestroyImage (image);
	std::vector<uint8_t> png;
	auto append = [] (void* closure, const unsigned char* data, unsigned int length) {
		auto* out = static_cast<std::vector<uint8_t>*> (closure);
		out->insert (out->end (), data, data + length);
		return CAIRO_STATUS_SUCCESS;
	};
	const cairo_status_t status = cairo_surface_write_to_png_stream (surface, append, &png);
	cairo_surface_destroy (surface);
	if (status != CAIRO_STATUS_SUCCESS)
	{
		error = "cannot encode '" + path + "': " + cairo_status_to_string (status);
		return false;
	}
	return Tarno::Host::writeFileAtomically (path, png.data (), png.size (), error);
}
#endif

// Everything of one open editor window; torn down in reverse order.
class EditorWindow
{
public:
	EditorWindow (Display* display, IPlugView* view, RunLoop& loop, PlugFrame& frame, bool refusePlugIn)
	: display_ (display), view_ (view), loop_ (loop), frame_ (frame), refusePlugIn_ (refusePlugIn)
	{
	}

	~EditorWindow ()
	{
		if (attached_)
			view_->removed ();
		if (frameSet_)
			view_->setFrame (nullptr);
		if (registered_)
			loop_.unregisterEventHandler (&xEvents_);
		if (window_)
			XDestroyWindow (display_, window_);
		XFlush (display_);
	}

	bool open (const std::string& title, std::string& error)
	{
		ViewRect size;
		if (view_->getSize (&size) != kResultOk || size.getWidth () <= 0 || size.getHeight () <= 0)
		{
			std::fprintf (stderr, "%s: warning: the view gives no size; opening 400 x 300\n", kProgram);
			size = ViewRect (0, 0, 400, 300);
		}
		width_ = size.getWidth ();
		height_ = size.getHeight ();
		viewSize_ = ViewRect (0, 0, width_, height_);
		resizable_ = view_->canResize () == kResultTrue;

		const int screen = DefaultScreen (display_);
		window_ = XCreateSimpleWindow (display_, RootWindow (display_, screen), 0, 0, unsigned (width_),
		                               unsigned (height_), 0, BlackPixel (display_, screen),
		                               BlackPixel (display_, screen));
		XStoreName (display_, window_, title.c_str ());
		XChangeProperty (display_, window_, XInternAtom (display_, "_NET_WM_NAME", False),
		                 XInternAtom (display_, "UTF8_STRING", False), 8, PropModeReplace,
		                 reinterpret_cast<const unsigned char*> (title.c_str ()), int (title.size ()));
		char className[] = "tarnovelle-view";
		XClassHint classHint = {className, className};
		XSetClassHint (display_, window_, &classHint);
		deleteAtom_ = XInternAtom (display_, "WM_DELETE_WINDOW", False);
		XSetWMProtocols (display_, window_, &deleteAtom_, 1);
		if (!resizable_)
			setFixedSize (display_, window_, width_, height_);
		XSelectInput (display_, window_, StructureNotifyMask);

		// Our own X connection runs on the same loop as the plug-in.
		xEvents_.setFunction ([this] (FileDescriptor) { pump (); });
		if (loop_.registerEventHandler (&xEvents_, ConnectionNumber (display_)) != kResultOk)
		{
			error = "the run loop refused the X connection";
			return false;
		}
		registered_ = true;
		// From here on only the plug-in registers: a refusing loop refuses it.
		loop_.setRefusing (refusePlugIn_);

		// A plug-in's resize request resizes the window first; the frame then
		// calls onSize.
		frame_.setResizeFunction ([this] (IPlugView*, const ViewRect& r) {
			if (r.getWidth () <= 0 || r.getHeight () <= 0)
				return false;
			if (!resizable_)
				setFixedSize (display_, window_, r.getWidth (), r.getHeight ());
			XResizeWindow (display_, window_, unsigned (r.getWidth ()), unsigned (r.getHeight ()));
			XFlush (display_);
			viewSize_ = r;
			return true;
		});
		if (view_->setFrame (&frame_) != kResultOk)
			std::fprintf (stderr, "%s: warning: the view refused its frame\n", kProgram);
		frameSet_ = true;

		XSync (display_, False);
		const tresult attached = view_->attached (reinterpret_cast<void*> (uintptr_t (window_)),
		                                          kPlatformTypeX11EmbedWindowID);
		if (attached != kResultOk)
		{
			error = "the view refused to attach to the window (result " + std::to_string (attached) + ")";
			return false;
		}
		attached_ = true;
		XMapWindow (display_, window_);
		XFlush (display_);
		return true;
	}

	// Handles every X event already received. Events Xlib has read into its
	// queue no longer make the descriptor readable, so this runs before each
	// wait as well as when the descriptor is ready.
	void pump ()
	{
		while (XPending (display_) > 0)
		{
			XEvent e;
			XNextEvent (display_, &e);
			if (e.type == ClientMessage && e.xclient.window == window_ && e.xclient.format == 32 &&
			    Atom (e.xclient.data.l[0]) == deleteAtom_)
				closed_ = true;
			else if (e.type == MapNotify && e.xmap.window == window_)
				mapped_ = true;
			else if (e.type == UnmapNotify && e.xunmap.window == window_)
				mapped_ = false;
			else if (e.type == ConfigureNotify && e.xconfigure.window == window_)
				configured (e.xconfigure.width, e.xconfigure.height);
		}
	}

	bool closed () const { return closed_; }
	bool mapped () const { return mapped_; }
	bool resizable () const { return resizable_; }
	Window window () const { return window_; }
	int width () const { return width_; }
	int height () const { return height_; }

private:
	// The window has a new size (the user or the window manager): a
	// resizable view follows within its constraints.
	void configured (int width, int height)
	{
		if (width == width_ && height == height_)
			return;
		width_ = width;
		height_ = height;
		if (!resizable_)
			return;
		ViewRect r (0, 0, width, height);
		if (view_->checkSizeConstraint (&r) == kResultTrue && (r.getWidth () != width || r.getHeight () != height) &&
		    r.getWidth () > 0 && r.getHeight () > 0)
		{
			XResizeWindow (display_, window_, unsigned (r.getWidth ()), unsigned (r.getHeight ()));
			XFlush (display_);
		}
		if (r.getWidth () != viewSize_.getWidth () || r.getHeight () != viewSize_.getHeight ())
		{
			viewSize_ = r;
			view_->onSize (&r);
		}
	}

	Display* display_;
	IPlugView* view_;
	RunLoop& loop_;
	PlugFrame& frame_;
	bool refusePlugIn_;
	FunctionEventHandler xEvents_;
	Window window_ = 0;
	Atom deleteAtom_ = 0;
	int width_ = 0, height_ = 0;
	ViewRect viewSize_;
	bool resizable_ = false;
	bool registered_ = false;
	bool frameSet_ = false;
	bool attached_ = false;
	bool mapped_ = false;
	bool closed_ = false;
};

int show (const Options& o)
{
	std::string error;
	std::unique_ptr<Module> module = Module::load (o.plugin, error);
	if (!module)
		return fail (error);
	const ClassInfo* instrument = module->instrumentClass (error);
	if (instrument == nullptr)
		return fail (error);

	// Declared after module: destroyed (torn down) before the module unloads.
	PluginInstance plugin;
	if (plugin.create (*module, *instrument, error) != kResultOk)
		return fail ("cannot create '" + instrument->name + "': " + error);
	IPtr<IPlugView> view = owned (plugin.controller ()->createView (Vst::ViewType::kEditor));
	if (!view)
		return fail ("'" + instrument->name + "' has no editor (createView (\"editor\") gave none)");
	if (view->isPlatformTypeSupported (kPlatformTypeX11EmbedWindowID) != kResultTrue)
		return fail ("the editor of '" + instrument->name + "' does not support the platform type " +
		             kPlatformTypeX11EmbedWindowID);

	if (o.scale != 1.0)
	{
		FUnknownPtr<IPlugViewContentScaleSupport> scaling (view);
		if (!scaling || scaling->setContentScaleFactor (float (o.scale)) != kResultTrue)
			return fail ("the editor of '" + instrument->name + "' does not take content scale " + std::to_string (o.scale));
	}
	if (o.zoomPercent != 100.0)
	{
		// A resizable view takes the size nearest to the zoomed one.
		ViewRect size;
		if (view->canResize () != kResultTrue || view->getSize (&size) != kResultOk)
			return fail ("the editor of '" + instrument->name + "' cannot be resized");
		ViewRect zoomed (0, 0, int32 (std::lround (size.getWidth () * o.zoomPercent / 100.0)),
		                 int32 (std::lround (size.getHeight () * o.zoomPercent / 100.0)));
		if (view->checkSizeConstraint (&zoomed) != kResultTrue || view->onSize (&zoomed) != kResultOk)
			return fail ("the editor of '" + instrument->name + "' refused the zoomed size");
	}

	const char* displayName = std::getenv ("DISPLAY");
	Display* display = XOpenDisplay (nullptr);
	if (display == nullptr)
		return fail (displayName && *displayName ? std::string ("cannot open the X display '") + displayName + "'"
		                                         : std::string ("no X display (DISPLAY is not set)"));
	XSetErrorHandler (onXError);

	RunLoop loop;
	// The tool's own X connection always runs on the loop; what the view is
	// offered depends on --run-loop.
	PlugFrame frame (o.runLoop == Options::RunLoopMode::Absent ? nullptr : &loop);
	int status = 0;
	{
		EditorWindow editor (display, view, loop, frame, o.runLoop == Options::RunLoopMode::Refusing);
		if (!editor.open (instrument->name, error))
			status = fail (error);
		else
		{
			std::printf ("%s: editor of '%s', %d x %d%s\n", kProgram, instrument->name.c_str (), editor.width (),
			             editor.height (), editor.resizable () ? ", resizable" : "");
			std::fflush (stdout);
			using Clock = std::chrono::steady_clock;
			const auto start = Clock::now ();
			const auto elapsedMs = [&start] () {
				return std::chrono::duration_cast<std::chrono::milliseconds> (Clock::now () - start).count ();
			};
			const long long endMs = o.seconds > 0.0 ? (long long) (o.seconds * 1000.0 + 0.5) : -1;
			const bool shoot = !o.screenshot.empty ();
			for (;;)
			{
				editor.pump ();
				if (editor.closed ())
					break;
				const long long now = elapsedMs ();
				if (endMs >= 0 && now >= endMs)
					break;
				long long wait = endMs >= 0 ? endMs - now : -1;
#ifdef TARNO_VIEW_SCREENSHOT
				if (shoot && now >= o.afterMs && editor.mapped ())
				{
					int w = 0, h = 0;
					XSync (display, False);
					if (!writeScreenshot (display, editor.window (), o.screenshot, w, h, error))
						status = fail ("screenshot: " + error);
					else
						std::printf ("%s: wrote %s (%d x %d)\n", kProgram, o.screenshot.c_str (), w, h);
					break;
				}
				if (shoot && now >= o.afterMs + kMapWaitMs)
				{
					status = fail ("screenshot: the window was not shown within " +
					               std::to_string (kMapWaitMs) + " ms");
					break;
				}
				if (shoot)
				{
					// Until the window is shown, look again every 50 ms.
					const long long untilShot = now < o.afterMs ? o.afterMs - now : 50;
					wait = wait < 0 ? untilShot : std::min (wait, untilShot);
				}
#else
				(void)shoot;
#endif
				loop.runOnce (int (wait));
			}
		}
	}
	if (o.runLoop == Options::RunLoopMode::Refusing)
		std::printf ("%s: the run loop refused %llu registration(s)\n", kProgram,
		             (unsigned long long) loop.refusedCount ());
	if (loop.eventRegistrationCount () > 0 || loop.timerCount () > 0)
		std::fprintf (stderr, "%s: warning: after removed () the view still has %zu descriptor(s) and %zu timer(s) "
		                      "registered\n",
		              kProgram, loop.eventRegistrationCount (), loop.timerCount ());
	view = nullptr;
	XCloseDisplay (display);
	plugin.destroy ();
	return status;
}

} // namespace

int main (int argc, char** argv)
{
	Options o;
	std::string error;
	if (!parseArguments (argc, argv, o, error))
	{
		std::fprintf (stderr, "%s: %s\n(see %s --help)\n", kProgram, error.c_str (), kProgram);
		return 2;
	}
	if (o.help)
	{
		std::fputs (kUsage, stdout);
		return 0;
	}
	if (o.version)
	{
		std::printf ("%s %s\n", kProgram, TARNO_VERSION_STRING);
		return 0;
	}
	return show (o);
}
