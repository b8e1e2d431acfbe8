// The Linux bundle's editor in real X11 windows on a virtual display: our
// host loads the bundle, gives the view a frame with our run loop and a
// parent window of its own, and plays real input events (XTest). What the
// plug-in draws is watched with XDamage and read back with XGetImage.
// Without an X display the tests skip.
#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR) && defined(TARNO_HAVE_PLUGIN)

#include "formats/vst3/Controller.h"
#include "editor/canvas/CairoCanvas.h"
#include "editor/skins/Overlay.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/SkinPainter.h"
#include "formats/vst3/X11View.h"
#include "editor/EditorMenu.h"
#include "vst3host/Module.h"
#include "vst3host/PlugFrame.h"
#include "vst3host/PluginInstance.h"
#include "vst3host/RunLoop.h"
#include "params/Presets.h"
#include "tests/EditGestureModel.h"
#include "tests/BundlePath.h"
#include "tests/StreamUtil.h"

#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <functional>
#include <cstdlib>
#include <string>

#include <unistd.h>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace TarnoTest;
using namespace Tarno;
using Tarno::Host::HandlerCall;

namespace {

// Our side of the display: a parent window per view, XTest input, damage
// reports of what the plug-in draws.
class Display11
{
public:
	Display11 () : display (XOpenDisplay (nullptr))
	{
		int event, error, major, minor;
		if (display == nullptr)
			problem = std::getenv ("DISPLAY") ? "the X display does not answer" : "no X display";
		else if (!XTestQueryExtension (display, &event, &error, &major, &minor) ||
		         !XDamageQueryExtension (display, &damageEvent, &error))
		{
			problem = "the X display lacks XTest or XDamage";
			XCloseDisplay (display);
			display = nullptr;
		}
	}
	~Display11 ()
	{
		if (display)
			XCloseDisplay (display);
	}
	// Large enough for the view at content scale 2.
	Window makeParent (int x = 0, int y = 0)
	{
		Window w = XCreateSimpleWindow (display, DefaultRootWindow (display), x, y, 1760, 1100, 0, 0, 0);
		XMapWindow (display, w);
		XSync (display, False);
		return w;
	}
	// The children of `parent`, once their number is `expected` (the
	// plug-in's requests reach the server on a connection of its own), or
	// as they are after a second.
	std::vector<Window> childrenOnce (Window parent, size_t expected)
	{
		std::vector<Window> kids;
		for (int i = 0; i < 100 && (kids = children (parent)).size () != expected; ++i)
			usleep (10000);
		return kids;
	}
	std::vector<Window> children (Window parent)
	{
		Window root, up, *list = nullptr;
		unsigned count = 0;
		std::vector<Window> out;
		if (XQueryTree (display, parent, &root, &up, &list, &count))
			out.assign (list, list + count);
		if (list)
			XFree (list);
		return out;
	}
	Display* display;
	const char* problem = "";
	int damageEvent = 0;
};

Rgb pixelOf (XImage* image, int x, int y)
{
	const unsigned long p = XGetPixel (image, x, y);
	return {uint8_t (p >> 16), uint8_t (p >> 8), uint8_t (p)};
}

class X11EditorTest : public ::testing::Test
{
protected:
	void SetUp () override
	{
		if (x.display == nullptr)
			GTEST_SKIP () << x.problem;
		std::string error;
		module = Host::Module::load (bundlePath (), error);
		ASSERT_TRUE (module) << error;
		const Host::ClassInfo* audio = module->instrumentClass (error);
		ASSERT_TRUE (audio) << error;
		ASSERT_EQ (instance.create (*module, *audio, error), kResultOk) << error;
		controller = instance.controller ();
		controller->setComponentHandler (&handler);
		view = owned (controller->createView (ViewType::kEditor));
		ASSERT_TRUE (view);
		view->setFrame (&frame);
	}
	void TearDown () override
	{
		if (view)
		{
			view->removed ();
			view->setFrame (nullptr);
			view = nullptr;
		}
		if (controller)
		{
			EXPECT_EQ (handler.openGestures (), std::vector<ParamID> {}) << "gestures left open";
			controller->setComponentHandler (nullptr);
		}
		instance.destroy ();
	}

	// Attaches the view to a new parent window and waits for its first paint.
	Window attach ()
	{
		if (f != 1.0)
		{
			EXPECT_EQ (scaleSupport ()->setContentScaleFactor (float (f)), kResultTrue);
		}
		parent = x.makeParent ();
		EXPECT_EQ (view->attached (reinterpret_cast<void*> (parent), kPlatformTypeX11EmbedWindowID), kResultOk);
		const std::vector<Window> kids = x.childrenOnce (parent, 1);
		EXPECT_EQ (kids.size (), 1u);
		child = kids.empty () ? 0 : kids[0];
		if (child)
			damage = XDamageCreate (x.display, child, XDamageReportNonEmpty);
		EXPECT_TRUE (waitForDamage (1000)) << "the panel was never painted";
		return child;
	}
	// Runs the loop until the plug-in has drawn into its window, or timeoutMs.
	// The plug-in's drawing reaches the server on its own connection, so
	// the damage report is looked for every few milliseconds.
	bool waitForDamage (int timeoutMs)
	{
		const auto end = std::chrono::steady_clock::now () + std::chrono::milliseconds (timeoutMs);
		do
		{
			loop.runOnce (5);
			if (takeDamage ())
				return true;
		} while (std::chrono::steady_clock::now () < end);
		return false;
	}
	bool takeDamage ()
	{
		XSync (x.display, False);
		bool any = false;
		while (XPending (x.display))
		{
			XEvent e;
			XNextEvent (x.display, &e);
			if (e.type == x.damageEvent + XDamageNotify)
				any = true;
		}
		if (any && damage)
		{
			// Sent now: a window the plug-in destroys later takes its
			// damage object with it.
			XDamageSubtract (x.display, damage, None, None);
			XSync (x.display, False);
		}
		return any;
	}
	FUnknownPtr<IPlugViewContentScaleSupport> scaleSupport () { return FUnknownPtr<IPlugViewContentScaleSupport> (view); }
	// The window pixel at the centre of panel pixel v's scaled square (or
	// the first one past it).
	int at (int v) const { return int (std::floor (v * f + f / 2)); }
	// Input at panel coordinates (at the window's scale), then a little time
	// for the plug-in.
	void moveTo (int px, int py)
	{
		int rx = 0, ry = 0;
		Window ignored;
		XTranslateCoordinates (x.display, child, DefaultRootWindow (x.display), at (px), at (py), &rx, &ry, &ignored);
		XTestFakeMotionEvent (x.display, -1, rx, ry, 0);
		settle ();
	}
	void button (unsigned b, bool down)
	{
		XTestFakeButtonEvent (x.display, b, down, 0);
		settle ();
	}
	void click (int px, int py, unsigned b = 1)
	{
		moveTo (px, py);
		button (b, true);
		button (b, false);
	}
	void shift (bool down)
	{
		XTestFakeKeyEvent (x.display, XKeysymToKeycode (x.display, XK_Shift_L), down, 0);
		settle ();
	}
	void settle ()
	{
		XSync (x.display, False);
		loop.runFor (10);
	}
	// Presses ORIGINAL's Release knob and drags it up by `pixels`, the
	// button held.
	void startReleaseDrag (int pixels)
	{
		const Point c = skinLayout (kSkinOriginal).cell (kReleaseParam);
		moveTo (c.x + 40, c.y + 60);
		button (1, true);
		moveTo (c.x + 40, c.y + 60 - pixels);
	}
	// Two clicks in quick succession (the server's event times decide).
	void doubleClick (int px, int py)
	{
		moveTo (px, py);
		for (bool down : {true, false, true, false})
			XTestFakeButtonEvent (x.display, 1, down, 0);
		settle ();
	}
	void key (KeySym sym, bool withShift = false)
	{
		const KeyCode code = XKeysymToKeycode (x.display, sym);
		const KeyCode shiftCode = XKeysymToKeycode (x.display, XK_Shift_L);
		if (withShift)
			XTestFakeKeyEvent (x.display, shiftCode, True, 0);
		XTestFakeKeyEvent (x.display, code, True, 0);
		XTestFakeKeyEvent (x.display, code, False, 0);
		if (withShift)
			XTestFakeKeyEvent (x.display, shiftCode, False, 0);
		settle ();
	}
	// Types ASCII text on the server's keyboard map (Shift where the
	// character is on the key's second level).
	void type (const std::string& text)
	{
		for (char c : text)
		{
			const KeySym sym = c == ' ' ? XK_space : KeySym (static_cast<unsigned char> (c));
			const KeyCode code = XKeysymToKeycode (x.display, sym);
			key (sym, XkbKeycodeToKeysym (x.display, code, 0, 0) != sym);
		}
	}
	void ctrlClick (int px, int py)
	{
		const KeyCode ctrl = XKeysymToKeycode (x.display, XK_Control_L);
		XTestFakeKeyEvent (x.display, ctrl, True, 0);
		click (px, py);
		XTestFakeKeyEvent (x.display, ctrl, False, 0);
		settle ();
	}
	Window focus ()
	{
		Window w = 0;
		int revert = 0;
		XGetInputFocus (x.display, &w, &revert);
		return w;
	}
	// A panel point on parameter id in ORIGINAL: its control box's centre,
	// or the Legato switch's.
	static Point pointOn (int32 id)
	{
		const SkinLayout& l = skinLayout (kSkinOriginal);
		const PixelBox& s = kOverlayLayout.legato;
		if (id == kLegatoParam)
			return {(s.left + s.right) / 2, (s.top + s.bottom) / 2};
		const Point c = l.cell (id);
		return {c.x + (l.control.left + l.control.right) / 2, c.y + (l.control.top + l.control.bottom) / 2};
	}
	std::vector<HandlerCall> edits () { return editCalls (handler.calls ()); }

	// Runs the loop until `done` holds, for at most two seconds: the plug-in
	// reads its events from a connection of its own, in its own time.
	bool eventually (const std::function<bool ()>& done) { return loop.runUntil (done, 2000) || done (); }
	bool valueIs (ParamID id, double expected)
	{
		return eventually ([&] { return std::fabs (value (id) - expected) < 1e-9; });
	}
	XImage* grab ()
	{
		return XGetImage (x.display, child, 0, 0, unsigned (scaledLength (kPanelWidth, f)),
		                  unsigned (scaledLength (kPanelHeight, f)), AllPlanes, ZPixmap);
	}
	double value (ParamID id) { return controller->getParamNormalized (id); }
	int32 skin ()
	{
		MemoryStream state;
		controller->getState (&state);
		const Bytes b = bytesOf (state);
		return b.size () >= 12 ? int32 (b[8] | b[9] << 8 | b[10] << 16 | b[11] << 24) : -1;
	}
	size_t count (HandlerCall::Kind kind)
	{
		size_t n = 0;
		for (const HandlerCall& c : handler.calls ())
			n += c.kind == kind;
		return n;
	}

	// Shows skin s (by its button) and expects the window to be exactly the
	// Cairo panel at the view's scale; the window's picture goes to `shot`
	// if given.
	void showSkinAndCompare (int32 s, CairoCanvas* shot = nullptr)
	{
		const Rect button = kOverlayLayout.skinButton (s);
		click ((button.left + button.right) / 2, (button.top + button.bottom) / 2);
		ASSERT_TRUE (eventually ([&] { return skin () == s; }));

		ParamBlock values;
		for (int32 i = 0; i < kNumParams; ++i)
			values[size_t (i)] = value (ParamID (i));
		const int w = scaledLength (kPanelWidth, f), h = scaledLength (kPanelHeight, f);
		CairoCanvas expected (w, h, Rgb {20, 34, 38});
		paintPanel (expected, s, values, -1, f);
		expected.flush ();
		const unsigned char* data = cairo_image_surface_get_data (expected.image ());
		const int stride = cairo_image_surface_get_stride (expected.image ());

		// The new picture may reach the server in several pieces: look again
		// after each damage report until it is complete, for a second at most.
		int differing = -1;
		for (int attempt = 0; attempt < 20 && differing != 0; ++attempt)
		{
			waitForDamage (50);
			XImage* image = grab ();
			ASSERT_NE (image, nullptr);
			differing = 0;
			for (int y = 0; y < h; ++y)
				for (int xx = 0; xx < w; ++xx)
				{
					uint32_t e;
					std::memcpy (&e, data + y * stride + xx * 4, 4);
					differing += (XGetPixel (image, xx, y) & 0xFFFFFF) != (e & 0xFFFFFF);
				}
			if (shot)
				for (int y = 0; y < h; ++y)
					for (int xx = 0; xx < w; ++xx)
						shot->fillRect ({xx, y, xx + 1, y + 1}, pixelOf (image, xx, y));
			XDestroyImage (image);
		}
		EXPECT_EQ (differing, 0) << "skin " << s << " at scale " << f;
	}

	// Drags (with Shift finer), double-click, wheel notches, a preset, the
	// Legato switch and a skin button, at panel points; every gesture is
	// closed.
	void playGestures ()
	{
		attach ();
		const SkinLayout& layout = skinLayout (kSkinOriginal);
		auto centreOf = [&] (int32 id) {
			const Point c = layout.cell (id);
			return Point {c.x + (layout.control.left + layout.control.right) / 2,
			              c.y + (layout.control.top + layout.control.bottom) / 2};
		};
		const Point square = centreOf (kSquareParam), attack = centreOf (kAttackParam);

		// Drag up 10 panel pixels: 0.005 per pixel; with Shift 0.0005.
		moveTo (square.x, square.y);
		button (1, true);
		moveTo (square.x, square.y - 10);
		button (1, false);
		EXPECT_TRUE (valueIs (kSquareParam, 0.60)) << value (kSquareParam);
		loop.runFor (450); // a second press now would be a double-click
		shift (true);
		moveTo (square.x, square.y);
		button (1, true);
		moveTo (square.x, square.y - 10);
		button (1, false);
		shift (false);
		EXPECT_TRUE (valueIs (kSquareParam, 0.605)) << value (kSquareParam);
		EXPECT_EQ (count (HandlerCall::Kind::BeginEdit), 2u);
		EXPECT_EQ (count (HandlerCall::Kind::EndEdit), 2u);

		// Double-click: back to the default.
		loop.runFor (450);
		doubleClick (square.x, square.y);
		EXPECT_TRUE (valueIs (kSquareParam, specs[kSquareParam].defaultNormalized)) << value (kSquareParam);

		// Wheel: button 4 up a notch, 5 down a notch (with Shift finer).
		const double attack0 = value (kAttackParam);
		click (attack.x, attack.y, 4);
		EXPECT_TRUE (valueIs (kAttackParam, attack0 + 0.025)) << value (kAttackParam);
		shift (true);
		click (attack.x, attack.y, 5);
		shift (false);
		EXPECT_TRUE (valueIs (kAttackParam, attack0 + 0.0225)) << value (kAttackParam);

		// Preset 3, the Legato switch's OFF half, the VINTAGE button.
		click (layout.presetLeft + 2 * layout.presetPitch + 20, layout.presetTop + 10);
		for (int32 i = kNumParams - 1; i >= 0; --i)
			EXPECT_TRUE (valueIs (ParamID (i), snapNormalized (i, kFactoryPresets[2].values[size_t (i)]))) << i;
		click (kOverlayLayout.legato.left + 5, kOverlayLayout.legato.top + 10);
		EXPECT_TRUE (valueIs (kLegatoParam, 0.0));
		const size_t dirty = count (HandlerCall::Kind::SetDirty);
		const Rect vintage = kOverlayLayout.skinButton (kSkinVintage);
		click (vintage.left + 10, vintage.top + 10);
		EXPECT_TRUE (eventually ([&] { return skin () == kSkinVintage; }));
		EXPECT_EQ (count (HandlerCall::Kind::SetDirty), dirty + 1);
	}

	Display11 x;
	Host::RunLoop loop;
	Host::PlugFrame frame {&loop};
	std::unique_ptr<Host::Module> module;
	Host::PluginInstance instance;
	IEditController* controller = nullptr;
	IPtr<IPlugView> view;
	StrictComponentHandler handler;
	Window parent = 0, child = 0;
	Damage damage = 0;
	double f = 1.0; // the content scale attach () gives the view
};

// Attach, remove, attach again, a second view at once, a view released while
// attached, and the refusals: the window's parent and size, and the run
// loop's registrations, follow each step.
TEST_F (X11EditorTest, LifecycleAndRefusals)
{
	EXPECT_EQ (view->isPlatformTypeSupported (kPlatformTypeX11EmbedWindowID), kResultTrue);
	EXPECT_EQ (view->isPlatformTypeSupported (kPlatformTypeHWND), kResultFalse);
	EXPECT_EQ (view->isPlatformTypeSupported (nullptr), kResultFalse);
	ViewRect size;
	ASSERT_EQ (view->getSize (&size), kResultOk);
	EXPECT_EQ (size.getWidth (), 860);
	EXPECT_EQ (size.getHeight (), 530);

	// Refused: no run loop, a run loop that refuses, a bad parent, HWND.
	const Window spare = x.makeParent ();
	Host::PlugFrame bare;
	view->setFrame (&bare);
	EXPECT_EQ (view->attached (reinterpret_cast<void*> (spare), kPlatformTypeX11EmbedWindowID), kResultFalse);
	view->setFrame (&frame);
	loop.setRefusing (true);
	EXPECT_EQ (view->attached (reinterpret_cast<void*> (spare), kPlatformTypeX11EmbedWindowID), kResultFalse);
	loop.setRefusing (false);
	EXPECT_EQ (view->attached (reinterpret_cast<void*> (0x1fffff00), kPlatformTypeX11EmbedWindowID), kResultFalse);
	EXPECT_EQ (view->attached (reinterpret_cast<void*> (spare), kPlatformTypeHWND), kResultFalse);
	EXPECT_EQ (x.children (spare).size (), 0u);
	EXPECT_EQ (loop.eventRegistrationCount () + loop.timerCount (), 0u);

	for (int round = 0; round < 2; ++round)
	{
		const Window w = attach ();
		XWindowAttributes a;
		ASSERT_TRUE (XGetWindowAttributes (x.display, w, &a));
		EXPECT_EQ (a.width, 860);
		EXPECT_EQ (a.height, 530);
		EXPECT_EQ (a.map_state, IsViewable);
		EXPECT_EQ (loop.eventHandlerCount (), 1u);
		EXPECT_EQ (loop.timerCount (), 1u);
		EXPECT_EQ (view->attached (reinterpret_cast<void*> (parent), kPlatformTypeX11EmbedWindowID), kResultFalse);
		EXPECT_EQ (view->removed (), kResultOk);
		EXPECT_EQ (x.childrenOnce (parent, 0).size (), 0u);
		EXPECT_EQ (loop.eventRegistrationCount () + loop.timerCount (), 0u);
	}

	// Two views at once; the second released without removed ().
	attach ();
	IPtr<IPlugView> second = owned (controller->createView (ViewType::kEditor));
	ASSERT_TRUE (second);
	second->setFrame (&frame);
	const Window otherParent = x.makeParent (40, 40);
	ASSERT_EQ (second->attached (reinterpret_cast<void*> (otherParent), kPlatformTypeX11EmbedWindowID), kResultOk);
	EXPECT_EQ (loop.eventHandlerCount (), 2u);
	EXPECT_EQ (loop.timerCount (), 2u);
	loop.runFor (150);
	second = nullptr;
	EXPECT_EQ (x.childrenOnce (otherParent, 0).size (), 0u);
	EXPECT_EQ (loop.eventHandlerCount (), 1u);
	EXPECT_EQ (loop.timerCount (), 1u);
	loop.runFor (150);
}

// Each skin in the window is exactly the Cairo panel the tests compare with
// the Windows screenshots; the three are written out as PNG files.
TEST_F (X11EditorTest, PaintsEachSkinAsTheCairoPanel)
{
	attach ();
	for (int32 s = kNumSkins - 1; s >= 0; --s)
	{
		SCOPED_TRACE (s);
		CairoCanvas shot (kPanelWidth, kPanelHeight, Rgb {0, 0, 0});
		showSkinAndCompare (s, &shot);
		const char* names[kNumSkins] = {"original", "vintage", "silver"};
		EXPECT_TRUE (shot.writePng (std::string ("linux-editor-") + names[s] + ".png"));
	}
}

// Real pointer and key events give the same host calls as the Windows
// editor: drags (with Shift finer), double-click, wheel notches, a preset,
// the Legato switch and a skin button; every gesture is closed.
TEST_F (X11EditorTest, GesturesThroughRealInput) { playGestures (); }

// The content scale: refused factors change nothing; a factor given before
// attaching sizes the window; one given while attached asks the frame to
// resize; the window shows each skin as the Cairo panel drawn at that scale,
// and back at 1.0 the panel of old, pixel for pixel.
TEST_F (X11EditorTest, ContentScale)
{
	if (DisplayWidth (x.display, 0) < 1760 || DisplayHeight (x.display, 0) < 1100)
		GTEST_SKIP () << "the screen is too small for the view at scale 2 (xvfb-run -s '-screen 0 2560x1600x24')";
	ASSERT_TRUE (scaleSupport ());
	const double nan = std::numeric_limits<double>::quiet_NaN (), inf = std::numeric_limits<double>::infinity ();
	auto refusalsChangeNothing = [&] {
		ViewRect before, after;
		view->getSize (&before);
		for (double bad : {0.0, 0.5, 0.99, 4.5, -2.0, nan, inf})
			EXPECT_EQ (scaleSupport ()->setContentScaleFactor (float (bad)), kResultFalse) << bad;
		view->getSize (&after);
		EXPECT_TRUE (after.getWidth () == before.getWidth () && after.getHeight () == before.getHeight ());
	};
	auto windowSize = [&] {
		XWindowAttributes a {};
		XGetWindowAttributes (x.display, child, &a);
		return std::make_pair (a.width, a.height);
	};
	refusalsChangeNothing ();

	f = 1.5;
	attach ();
	EXPECT_TRUE (frame.resizeRequests ().empty ()) << "sized before attaching";
	EXPECT_EQ (windowSize (), std::make_pair (1290, 795));
	showSkinAndCompare (kSkinOriginal);
	refusalsChangeNothing ();
	EXPECT_TRUE (frame.resizeRequests ().empty ());

	for (double next : {2.0, 1.0})
	{
		SCOPED_TRACE (next);
		f = next;
		frame.clearResizeRequests ();
		ASSERT_EQ (scaleSupport ()->setContentScaleFactor (float (f)), kResultTrue);
		const int w = scaledLength (kPanelWidth, f), h = scaledLength (kPanelHeight, f);
		ASSERT_EQ (frame.resizeRequests ().size (), 1u);
		EXPECT_EQ (frame.resizeRequests ()[0].size.getWidth (), w);
		EXPECT_EQ (frame.resizeRequests ()[0].size.getHeight (), h);
		ViewRect size;
		view->getSize (&size);
		EXPECT_TRUE (size.getWidth () == w && size.getHeight () == h);
		EXPECT_TRUE (eventually ([&] { return windowSize () == std::make_pair (w, h); }));
		for (int32 s : {kSkinSilver, kSkinVintage, kSkinOriginal})
			showSkinAndCompare (s);
		EXPECT_EQ (scaleSupport ()->setContentScaleFactor (float (f)), kResultTrue);
		EXPECT_EQ (frame.resizeRequests ().size (), 1u) << "the same factor again asks for nothing";
	}
}

// The gestures at scale 1.5, at the window pixels showing the same panel
// points: the same host calls as at 1.0.
TEST_F (X11EditorTest, GesturesAtContentScale)
{
	f = 1.5;
	playGestures ();
}

// A drag ends with its one endEdit when the view is removed during it, and
// when the host unmaps its window during the drag and the button comes up
// meanwhile.
TEST_F (X11EditorTest, DragsEndWhateverHappens)
{
	attach ();
	startReleaseDrag (10);
	const std::vector<ParamID> release = {kReleaseParam};
	EXPECT_TRUE (eventually ([&] { return handler.openGestures () == release; }));
	XUnmapWindow (x.display, parent);
	button (1, false);
	EXPECT_TRUE (eventually ([&] { return handler.openGestures ().empty (); })) << "unmapped, button released";
	XMapWindow (x.display, parent);
	loop.runFor (450); // a press now would be a double-click

	startReleaseDrag (5);
	EXPECT_TRUE (eventually ([&] { return handler.openGestures () == release; }));
	view->removed ();
	EXPECT_EQ (handler.openGestures (), std::vector<ParamID> {}) << "removed during the drag";
	button (1, false);
	EXPECT_EQ (count (HandlerCall::Kind::BeginEdit), count (HandlerCall::Kind::EndEdit));
}

// A host that removes the view from inside a call the view makes to it, and
// one that also drops its last reference there: the view finishes the call
// without touching what it closed, handles nothing more, leaves nothing
// registered with the run loop, and every gesture it opened is closed.
TEST_F (X11EditorTest, HostRemovesTheViewInsideACallback)
{
	enum class Trigger { BeginEdit, PerformEdit, EndEdit, SetDirty, ResizeView };
	const std::pair<Trigger, const char*> triggers[] = {{Trigger::BeginEdit, "beginEdit"},
	                                                    {Trigger::PerformEdit, "performEdit"},
	                                                    {Trigger::EndEdit, "endEdit"},
	                                                    {Trigger::SetDirty, "setDirty"},
	                                                    {Trigger::ResizeView, "resizeView"}};
	for (const auto& [trigger, name] : triggers)
		for (bool release : {false, true})
		{
			SCOPED_TRACE (std::string (name) + (release ? ", view released" : ", view removed"));
			if (!view)
			{
				view = owned (controller->createView (ViewType::kEditor));
				ASSERT_TRUE (view);
				view->setFrame (&frame);
			}
			f = 1.0;
			attach ();
			bool fired = false;
			auto removeNow = [&] {
				if (fired)
					return;
				fired = true;
				view->removed ();
				if (release)
					view = nullptr;
			};
			auto kindOf = [] (Trigger t) {
				return t == Trigger::BeginEdit     ? HandlerCall::Kind::BeginEdit
				       : t == Trigger::PerformEdit ? HandlerCall::Kind::PerformEdit
				       : t == Trigger::EndEdit     ? HandlerCall::Kind::EndEdit
				                                   : HandlerCall::Kind::SetDirty;
			};
			handler.onCall = [&] (HandlerCall::Kind k) {
				if (trigger != Trigger::ResizeView && k == kindOf (trigger))
					removeNow ();
			};
			frame.setResizeFunction ([&] (IPlugView*, const ViewRect&) {
				removeNow ();
				return true;
			});

			if (trigger == Trigger::SetDirty)
			{
				const Rect silver = kOverlayLayout.skinButton (kSkinSilver);
				click (silver.left + 10, silver.top + 10);
			}
			else if (trigger == Trigger::ResizeView)
			{
				EXPECT_EQ (scaleSupport ()->setContentScaleFactor (2.0f), kResultTrue);
			}
			else
			{
				// Once removed, the window is gone: no more pointer moves
				// are placed on it.
				const Point c = skinLayout (kSkinOriginal).cell (kReleaseParam);
				moveTo (c.x + 40, c.y + 60);
				button (1, true);
				if (!fired)
					moveTo (c.x + 40, c.y + 50);
				button (1, false);
			}
			damage = 0; // went with the window
			loop.runFor (250); // the timer ticks on, with nothing left to serve
			handler.onCall = nullptr;
			frame.setResizeFunction (nullptr);

			EXPECT_TRUE (fired);
			EXPECT_EQ (loop.eventRegistrationCount () + loop.timerCount (), 0u);
			EXPECT_EQ (handler.openGestures (), std::vector<ParamID> {});
			EXPECT_EQ (count (HandlerCall::Kind::BeginEdit), count (HandlerCall::Kind::EndEdit));
			EXPECT_TRUE (x.childrenOnce (parent, 0).empty ()) << "the window outlived its view";
			if (view)
			{
				// Removed already: the second removed () is harmless.
				EXPECT_EQ (view->removed (), kResultOk);
				EXPECT_EQ (scaleSupport ()->setContentScaleFactor (1.0f), kResultTrue);
			}
			controller->setParamNormalized (kReleaseParam, specs[kReleaseParam].defaultNormalized);
			loop.runFor (450); // the next press must not be a double-click
		}
}

// The timer asks the server during a drag whether the button is still down.
// An answer given after that drag ended (here: the server was held while the
// button went up) must not end the next drag.
TEST_F (X11EditorTest, LateButtonAnswerEndsNoOtherDrag)
{
	auto now = std::chrono::steady_clock::now ();
	loop.setClock ([&] { return now; });
	auto tick = [&] {
		now += std::chrono::milliseconds (X11View::kTimerMs);
		loop.runOnce (0);
	};
	attach ();
	const std::vector<ParamID> release = {kReleaseParam};
	startReleaseDrag (10);
	ASSERT_TRUE (eventually ([&] { return handler.openGestures () == release; }));

	XGrabServer (x.display);
	XSync (x.display, False);
	tick (); // the question waits at the server
	button (1, false);
	EXPECT_TRUE (eventually ([&] { return handler.openGestures ().empty (); }));
	XUngrabServer (x.display);
	settle (); // answered now: released
	loop.runFor (450); // the next press must not be a double-click (no timer runs)

	startReleaseDrag (5);
	ASSERT_TRUE (eventually ([&] { return handler.openGestures () == release; }));
	for (int i = 0; i < 3; ++i)
	{
		tick ();
		settle ();
	}
	EXPECT_EQ (handler.openGestures (), release) << "the answer for the first drag ended the second";
	button (1, false);
	EXPECT_TRUE (eventually ([&] { return handler.openGestures ().empty (); }));
}

// An idle editor draws nothing; a value set by the host shows within 200 ms.
TEST_F (X11EditorTest, IdleDrawsNothingAndHostChangesShow)
{
	attach ();
	loop.runFor (100);
	takeDamage ();
	loop.runFor (1000);
	EXPECT_FALSE (takeDamage ()) << "the idle editor drew";

	XImage* before = grab ();
	controller->setParamNormalized (Tarno::kOutputParam, 0.1);
	EXPECT_TRUE (waitForDamage (200));
	XImage* after = grab ();
	ASSERT_TRUE (before && after);
	int changed = 0;
	for (int y = 0; y < kPanelHeight; ++y)
		for (int xx = 0; xx < kPanelWidth; ++xx)
			changed += XGetPixel (before, xx, y) != XGetPixel (after, xx, y);
	XDestroyImage (before);
	XDestroyImage (after);
	EXPECT_GT (changed, 20);
}

// A parent destroyed under the view, then the X connection lost: each ends
// the editor quietly, the run loop's registrations go with the connection,
// and removed () afterwards is harmless.
TEST_F (X11EditorTest, ParentDestroyedAndConnectionLost)
{
	attach ();
	startReleaseDrag (10);
	XDestroyWindow (x.display, parent);
	button (1, false);
	EXPECT_TRUE (eventually ([&] { return handler.openGestures ().empty (); })) << "parent destroyed during a drag";
	loop.runFor (250);
	EXPECT_EQ (view->removed (), kResultOk);

	attach ();
	XKillClient (x.display, child); // closes the plug-in's connection
	XSync (x.display, False);
	EXPECT_TRUE (eventually ([&] { return loop.eventRegistrationCount () + loop.timerCount () == 0; }));
	EXPECT_EQ (view->removed (), kResultOk);
	EXPECT_EQ (view->attached (reinterpret_cast<void*> (x.makeParent ()), kPlatformTypeX11EmbedWindowID), kResultOk)
		<< "a new connection after the lost one";
}

// The view in this process (the same code the bundle has), for what only it
// can tell: the X server reported no error for any of its requests while it
// was attached, painted every skin, took a drag and was removed.
TEST (X11EditorInProcess, NoXErrors)
{
	Display11 x;
	if (x.display == nullptr)
		GTEST_SKIP () << x.problem;
	IPtr<Controller> controller =
		owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
	ASSERT_EQ (controller->initialize (nullptr), kResultOk);
	Host::RunLoop loop;
	Host::PlugFrame frame (&loop);
	IPtr<IPlugView> view = owned (controller->createView (ViewType::kEditor));
	auto* editor = static_cast<X11View*> (view.get ());
	view->setFrame (&frame);
	ASSERT_EQ (view->attached (reinterpret_cast<void*> (x.makeParent ()), kPlatformTypeX11EmbedWindowID), kResultOk);
	for (int32 s : {kSkinVintage, kSkinSilver, kSkinOriginal})
	{
		const int before = editor->paintCount ();
		controller->skin = s;
		EXPECT_TRUE (loop.runUntil ([&] { return editor->paintCount () > before; }, 2000)) << s;
	}
	int rx = 0, ry = 0;
	Window ignored;
	XTranslateCoordinates (x.display, editor->windowId (), DefaultRootWindow (x.display), 70, 210, &rx, &ry,
	                       &ignored);
	for (int step = 0; step < 4; ++step)
	{
		if (step == 0)
			XTestFakeMotionEvent (x.display, -1, rx, ry, 0);
		XTestFakeButtonEvent (x.display, 1, step == 0, 0);
		XTestFakeMotionEvent (x.display, -1, rx, ry - 10 * step, 0);
		XSync (x.display, False);
		loop.runFor (50);
	}
	loop.runFor (300);
	EXPECT_EQ (editor->errorCount (), 0);
	view->removed ();
	view->setFrame (nullptr);
	controller->terminate ();
}

// The timer's question about the button reads from the connection, and may
// read events with its answer: those are handled at once, not when more X
// traffic comes. The loop here is driven by hand, so that the descriptor's
// handler runs only when the test says.
TEST (X11EditorInProcess, EventsReadWithAnAnswerAreHandledAtOnce)
{
	Display11 x;
	if (x.display == nullptr)
		GTEST_SKIP () << x.problem;
	struct HandDriven : Host::RunLoop
	{
		tresult PLUGIN_API registerEventHandler (Linux::IEventHandler* h, Linux::FileDescriptor fd) override
		{
			events = h;
			return RunLoop::registerEventHandler (h, fd);
		}
		tresult PLUGIN_API registerTimer (Linux::ITimerHandler* h, Linux::TimerInterval ms) override
		{
			timer = h;
			return RunLoop::registerTimer (h, ms);
		}
		Linux::IEventHandler* events = nullptr;
		Linux::ITimerHandler* timer = nullptr;
	} loop;
	IPtr<Controller> controller =
		owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
	ASSERT_EQ (controller->initialize (nullptr), kResultOk);
	StrictComponentHandler handler;
	controller->setComponentHandler (&handler);
	Host::PlugFrame frame (&loop);
	IPtr<IPlugView> view = owned (controller->createView (ViewType::kEditor));
	auto* editor = static_cast<X11View*> (view.get ());
	view->setFrame (&frame);
	ASSERT_EQ (view->attached (reinterpret_cast<void*> (x.makeParent ()), kPlatformTypeX11EmbedWindowID), kResultOk);
	ASSERT_TRUE (loop.events && loop.timer);
	auto serve = [&] {
		XSync (x.display, False);
		usleep (20000);
		loop.events->onFDIsSet (0);
	};
	serve (); // mapped and painted

	const Point c = skinLayout (kSkinOriginal).cell (kReleaseParam);
	int rx = 0, ry = 0;
	Window ignored;
	XTranslateCoordinates (x.display, editor->windowId (), DefaultRootWindow (x.display), c.x + 40, c.y + 60, &rx,
	                       &ry, &ignored);
	XTestFakeMotionEvent (x.display, -1, rx, ry, 0);
	XTestFakeButtonEvent (x.display, 1, True, 0);
	serve ();
	ASSERT_EQ (handler.openGestures (), std::vector<ParamID> {kReleaseParam});

	loop.timer->onTimer (); // asks whether the button is still down
	XTestFakeButtonEvent (x.display, 1, False, 0);
	XSync (x.display, False);
	usleep (20000);
	loop.timer->onTimer (); // reads the answer, and the button-up behind it
	EXPECT_EQ (handler.openGestures (), std::vector<ParamID> {}) << "the button-up waited for more X traffic";

	view->removed ();
	view->setFrame (nullptr);
	controller->setComponentHandler (nullptr);
	controller->terminate ();
}

} // namespace

#endif

#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR) && defined(TARNO_HAVE_PLUGIN)

// A right-click on each of the 16 controls asks the host for its menu for
// that parameter, adds the plug-in's items and pops it up once at the
// click; elsewhere on the panel the menu has the zoom items alone.
TEST_F (X11EditorTest, RightClickAsksTheHostsMenu)
{
	handler.offerContextMenus = true;
	attach ();
	const std::vector<int32> zoomTags = {1075, -1100, 1125, 1150, 1200};
	std::vector<int32> controlTags = {1, 2, 0};
	controlTags.insert (controlTags.end (), zoomTags.begin (), zoomTags.end ());
	for (int32 id = -1; id < kNumParams; ++id)
	{
		const Point p = id < 0 ? Point {5, 5} : pointOn (id);
		const size_t before = handler.menuRequests.size ();
		click (p.x, p.y, 3);
		ASSERT_TRUE (eventually ([&] { return handler.menuRequests.size () == before + 1; })) << id;
		const auto& r = handler.menuRequests.back ();
		EXPECT_EQ (r.view, view.get ());
		EXPECT_EQ (r.hasParam, id >= 0) << id;
		EXPECT_EQ (r.param, id < 0 ? 0u : ParamID (id));
		ASSERT_TRUE (r.menu);
		EXPECT_EQ (r.menu->tags (), id < 0 ? zoomTags : controlTags) << id;
		ASSERT_EQ (r.menu->popups.size (), 1u);
		EXPECT_TRUE (r.menu->popups[0].x == at (p.x) && r.menu->popups[0].y == at (p.y)) << id;
	}
	EXPECT_TRUE (edits ().empty ());
}

// The menu's items, and typed values: applied as one gesture, refused with
// the note in the field, cancelled by Escape or a click elsewhere; the
// keyboard focus taken for the field and given back.
TEST_F (X11EditorTest, MenuItemsAndTypedValues)
{
	handler.offerContextMenus = true;
	int32 choose = 0;
	handler.contextMenuPopup = [&] (Host::RecordingContextMenu& m) { m.choose (choose); };
	attach ();
	const Point attack = pointOn (kAttackParam);
	const Window before = focus ();

	controller->setParamNormalized (kAttackParam, 0.9);
	choose = kMenuDefaultValue;
	click (attack.x, attack.y, 3);
	EXPECT_EQ (edits (), gestureCalls (kAttackParam, snapNormalized (kAttackParam, specs[kAttackParam].defaultNormalized)));

	String128 wide = {};
	UString (wide, 128).fromAscii ("1500");
	ParamValue typed = 0;
	ASSERT_EQ (controller->getParamValueByString (kAttackParam, wide, typed), kResultOk);
	struct Case
	{
		const char* what;
		bool byMenu;
		std::string text;
		KeySym end;
		bool applied;
	};
	const Case cases[] = {
		{"applied", true, "1500", XK_Return, true},
		{"refused, then escaped", false, "zz", XK_Return, false},
		{"escaped", false, "1500", XK_Escape, false},
		{"clicked away", true, "1500", 0, false},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE (c.what);
		handler.clear ();
		loop.runFor (450); // no double-click with the last press
		choose = kMenuEnterValue;
		if (c.byMenu)
			click (attack.x, attack.y, 3);
		else
			ctrlClick (attack.x, attack.y);
		ASSERT_TRUE (eventually ([&] { return focus () == child; })) << "the field took no focus";
		type (c.text);
		if (c.end)
			key (c.end);
		else
			click (5, 5);
		if (!c.applied && c.end == XK_Return)
		{
			// Refused: the field stays, with its note; Escape then cancels.
			loop.runFor (50);
			EXPECT_EQ (focus (), child);
			key (XK_Escape);
		}
		EXPECT_TRUE (eventually ([&] { return focus () == before; })) << "the focus was not given back";
		EXPECT_EQ (edits (), c.applied ? gestureCalls (kAttackParam, typed) : std::vector<HandlerCall> {});
	}
}

// Without the host's menu (no IComponentHandler3, or no menu from it) the
// window draws its own: Escape closes it, a click on an item chooses it. A
// menu or a field open when the view is removed goes with it, and a host
// menu's item chosen after that reaches nothing.
TEST_F (X11EditorTest, OwnMenuAndRemovalWhileOpen)
{
	attach ();
	const Window before = focus ();
	const Point attack = pointOn (kAttackParam);
	for (bool refusing : {false, true})
	{
		handler.offerContextMenus = refusing;
		handler.menusRefused = refusing;
		controller->setParamNormalized (kAttackParam, 0.9);
		handler.clear ();
		click (attack.x, attack.y, 3);
		ASSERT_TRUE (eventually ([&] { return focus () == child; })) << "no menu of its own";
		key (XK_Escape);
		EXPECT_TRUE (eventually ([&] { return focus () == before; }));
		// Again, and a click on its first item ("Default value").
		click (attack.x, attack.y, 3);
		ASSERT_TRUE (eventually ([&] { return focus () == child; }));
		click (attack.x + 40, attack.y + 10);
		EXPECT_TRUE (valueIs (kAttackParam, snapNormalized (kAttackParam, specs[kAttackParam].defaultNormalized)));
		EXPECT_TRUE (eventually ([&] { return focus () == before; }));
	}
	EXPECT_EQ (handler.menuRequests.size (), 2u); // asked, and refused, twice

	// Removed with the menu, then with the field open.
	click (attack.x, attack.y, 3);
	ASSERT_TRUE (eventually ([&] { return focus () == child; }));
	EXPECT_EQ (view->removed (), kResultOk);
	attach ();
	ctrlClick (attack.x, attack.y);
	ASSERT_TRUE (eventually ([&] { return focus () == child; }));
	EXPECT_EQ (view->removed (), kResultOk);
	attach ();

	// A host that keeps its menu and calls an item after the view is gone.
	handler.offerContextMenus = true;
	handler.menusRefused = false;
	IPtr<Host::RecordingContextMenu> kept;
	handler.contextMenuPopup = [&] (Host::RecordingContextMenu& m) { kept = &m; };
	click (attack.x, attack.y, 3);
	ASSERT_TRUE (eventually ([&] { return kept != nullptr; }));
	EXPECT_EQ (view->removed (), kResultOk);
	handler.clear ();
	EXPECT_EQ (kept->choose (kMenuDefaultValue), kResultFalse);
	EXPECT_TRUE (edits ().empty ());
	attach ();
}

// The menu's 200 % asks the frame for twice the size; the panel is then
// drawn exactly as at content scale 2, in every skin, and the zoom is in
// the controller's state.
TEST_F (X11EditorTest, ZoomFromTheMenuDrawsAsContentScaleTwo)
{
	handler.offerContextMenus = true;
	handler.contextMenuPopup = [&] (Host::RecordingContextMenu& m) { m.choose (kMenuZoomBase + 200); };
	attach ();
	click (5, 5, 3);
	ASSERT_EQ (frame.resizeRequests ().size (), 1u);
	EXPECT_EQ (frame.resizeRequests ()[0].size.getWidth (), 1720);
	EXPECT_EQ (frame.resizeRequests ()[0].size.getHeight (), 1060);
	ViewRect size;
	view->getSize (&size);
	EXPECT_TRUE (size.getWidth () == 1720 && size.getHeight () == 1060);
	f = 2.0;
	for (int32 s = kNumSkins - 1; s >= 0; --s)
		showSkinAndCompare (s);
	MemoryStream state;
	controller->getState (&state);
	const Bytes b = bytesOf (state);
	ASSERT_EQ (b.size (), 24u);
	double zoom = 0;
	std::memcpy (&zoom, b.data () + 16, 8);
	EXPECT_EQ (zoom, 2.0);
}

#endif
