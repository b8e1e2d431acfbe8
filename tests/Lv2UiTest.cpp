// The LV2 UI binary loaded as an LV2 host loads it (dlopen, lv2ui_descriptor),
// in a real parent window on the X display, driven through its idle
// interface, with real input (XTest). The host's side records what the UI
// writes to the ports, its touch calls and its size requests; patch messages
// are made and read with LV2's own atom forge and object helpers. Without an
// X display the tests skip.
#if !defined(_WIN32) && defined(TARNO_LV2_UI_BINARY)

#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/PanelLayout.h"
#include "formats/lv2/ui/UiUris.h"
#include "params/ParamTable.h"
#include "params/Presets.h"
#include "params/Skins.h"

#include <gtest/gtest.h>

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

using namespace Tarno;

namespace {

struct PortWrite
{
	uint32_t port, format;
	std::vector<uint8_t> bytes;
	float plain () const
	{
		float v = 0;
		if (bytes.size () == sizeof v)
			std::memcpy (&v, bytes.data (), sizeof v);
		return v;
	}
};

struct TouchCall
{
	uint32_t port;
	bool grabbed;
	bool operator== (const TouchCall& o) const { return port == o.port && grabbed == o.grabbed; }
};

// The host's side: the URID map, and what the UI calls back.
struct Host
{
	LV2_URID map (const char* uri)
	{
		for (size_t i = 0; i < uris.size (); ++i)
			if (uris[i] == uri)
				return LV2_URID (i + 1);
		uris.push_back (uri);
		return LV2_URID (uris.size ());
	}
	static LV2_URID mapUri (LV2_URID_Map_Handle h, const char* uri) { return static_cast<Host*> (h)->map (uri); }
	static void write (LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
	{
		const auto* b = static_cast<const uint8_t*> (buffer);
		static_cast<Host*> (c)->writes.push_back ({port, format, std::vector<uint8_t> (b, b + size)});
	}
	static void touch (LV2UI_Feature_Handle h, uint32_t port, bool grabbed)
	{
		auto* host = static_cast<Host*> (h);
		host->touches.push_back ({port, grabbed});
		if (host->onTouch)
			host->onTouch ();
	}
	static int resize (LV2UI_Feature_Handle h, int w, int hgt)
	{
		static_cast<Host*> (h)->resizes.emplace_back (w, hgt);
		return 0;
	}
	// The skin of a patch:Set on port 16, or -1.
	int32_t skinSet (const PortWrite& w)
	{
		if (w.port != kLv2ControlInPort || w.format != map (LV2_ATOM__eventTransfer) || w.bytes.size () < 16)
			return -1;
		const auto* object = reinterpret_cast<const LV2_Atom_Object*> (w.bytes.data ());
		const LV2_Atom *property = nullptr, *value = nullptr;
		lv2_atom_object_get (object, map (LV2_PATCH__property), &property, map (LV2_PATCH__value), &value, 0);
		if (object->body.otype != map (LV2_PATCH__Set) || !property || !value || value->type != map (LV2_ATOM__Int) ||
		    reinterpret_cast<const LV2_Atom_URID*> (property)->body != map (kLv2SkinUri))
			return -1;
		return reinterpret_cast<const LV2_Atom_Int*> (value)->body;
	}

	std::vector<std::string> uris;
	LV2_URID_Map mapFeature = {this, mapUri};
	LV2UI_Resize resizeFeature = {this, resize};
	LV2UI_Touch touchFeature = {this, touch};
	std::vector<PortWrite> writes;
	std::vector<TouchCall> touches;
	std::vector<std::pair<int, int>> resizes;
	std::function<void ()> onTouch;
};

class X11EditorLv2Ui : public ::testing::Test
{
protected:
	void SetUp () override
	{
		display = XOpenDisplay (nullptr);
		int event, error, major, minor;
		if (display == nullptr || !XTestQueryExtension (display, &event, &error, &major, &minor))
			GTEST_SKIP () << "no X display with XTest";
		library = dlopen (TARNO_LV2_UI_BINARY, RTLD_NOW | RTLD_LOCAL);
		ASSERT_TRUE (library) << dlerror ();
		auto entry = reinterpret_cast<LV2UI_DescriptorFunction> (dlsym (library, "lv2ui_descriptor"));
		ASSERT_TRUE (entry);
		descriptor = entry (0);
		ASSERT_TRUE (descriptor && entry (1) == nullptr);
		EXPECT_STREQ (descriptor->URI, kLv2UiUri);
		idleInterface = static_cast<const LV2UI_Idle_Interface*> (descriptor->extension_data (LV2_UI__idleInterface));
		showInterface = static_cast<const LV2UI_Show_Interface*> (descriptor->extension_data (LV2_UI__showInterface));
		options = static_cast<const LV2_Options_Interface*> (descriptor->extension_data (LV2_OPTIONS__interface));
		ASSERT_TRUE (idleInterface && showInterface && options);
		EXPECT_EQ (descriptor->extension_data ("urn:nothing"), nullptr);
		parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1760, 1100, 0, 0, 0);
		XMapWindow (display, parent);
		XSync (display, False);
	}
	void TearDown () override
	{
		if (ui)
			descriptor->cleanup (ui);
		if (library)
			dlclose (library);
		if (display)
			XCloseDisplay (display);
	}

	struct Setup
	{
		bool parent = true, map = true;
		const char* plugin = kLv2PluginUri;
		const char* scaleType = nullptr; // no ui:scaleFactor option
		double scale = 1.0;
	};
	// Instantiates the UI as a host does, with the features `s` asks for.
	LV2UI_Handle instantiate (const Setup& s)
	{
		const float f = float (s.scale);
		const int32_t i = int32_t (s.scale);
		const bool isFloat = s.scaleType && std::strcmp (s.scaleType, LV2_ATOM__Float) == 0;
		const bool isDouble = s.scaleType && std::strcmp (s.scaleType, LV2_ATOM__Double) == 0;
		const void* value = isFloat    ? static_cast<const void*> (&f)
		                    : isDouble ? static_cast<const void*> (&s.scale)
		                               : static_cast<const void*> (&i);
		const LV2_Options_Option opts[] = {
			{LV2_OPTIONS_INSTANCE, 0, host.map (LV2_UI__updateRate), sizeof f, host.map (LV2_ATOM__Float), &f},
			{LV2_OPTIONS_INSTANCE, 0, host.map (LV2_UI__scaleFactor),
			 uint32_t (isFloat ? sizeof f : isDouble ? sizeof s.scale : sizeof i),
			 s.scaleType ? host.map (s.scaleType) : 0, value},
			{LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
		const LV2_Feature parentFeature = {LV2_UI__parent, reinterpret_cast<void*> (uintptr_t (parent))};
		const LV2_Feature mapFeature = {LV2_URID__map, &host.mapFeature};
		const LV2_Feature resize = {LV2_UI__resize, &host.resizeFeature};
		const LV2_Feature touch = {LV2_UI__touch, &host.touchFeature};
		const LV2_Feature optionsFeature = {LV2_OPTIONS__options, const_cast<LV2_Options_Option*> (opts)};
		std::vector<const LV2_Feature*> features = {&resize, &touch};
		if (s.parent)
			features.push_back (&parentFeature);
		if (s.map)
			features.push_back (&mapFeature);
		if (s.scaleType)
			features.push_back (&optionsFeature);
		features.push_back (nullptr);
		LV2UI_Widget widget = nullptr;
		LV2UI_Handle h = descriptor->instantiate (descriptor, s.plugin, "/nowhere/", Host::write, &host, &widget,
		                                           features.data ());
		child = Window (reinterpret_cast<uintptr_t> (widget));
		return h;
	}
	int idle () { return idleInterface->idle (ui); }
	void runFor (int ms)
	{
		const auto end = std::chrono::steady_clock::now () + std::chrono::milliseconds (ms);
		while (std::chrono::steady_clock::now () < end)
		{
			idle ();
			usleep (5000);
		}
	}
	bool eventually (const std::function<bool ()>& done)
	{
		for (int i = 0; i < 400 && !done (); ++i)
		{
			idle ();
			usleep (5000);
		}
		return done ();
	}
	void settle ()
	{
		XSync (display, False);
		runFor (20);
	}
	// Pointer input at a panel point (scale 1).
	void moveTo (int px, int py)
	{
		int rx = 0, ry = 0;
		Window ignored;
		XTranslateCoordinates (display, child, DefaultRootWindow (display), px, py, &rx, &ry, &ignored);
		XTestFakeMotionEvent (display, -1, rx, ry, 0);
		settle ();
	}
	void button (bool down)
	{
		XTestFakeButtonEvent (display, 1, down, 0);
		settle ();
	}
	void click (int px, int py)
	{
		moveTo (px, py);
		button (true);
		button (false);
	}
	void startReleaseDrag ()
	{
		const Point c = skinLayout (kSkinOriginal).cell (kReleaseParam);
		moveTo (c.x + 40, c.y + 60);
		button (true);
		moveTo (c.x + 40, c.y + 50);
	}
	XWindowAttributes attributes ()
	{
		XWindowAttributes a {};
		XGetWindowAttributes (display, child, &a);
		return a;
	}
	std::pair<int, int> windowSize () { return {attributes ().width, attributes ().height}; }
	// The window's pixels, as the plug-in painted them.
	std::vector<unsigned long> picture ()
	{
		XSync (display, False);
		XImage* image = XGetImage (display, child, 0, 0, kPanelWidth, kPanelHeight, AllPlanes, ZPixmap);
		std::vector<unsigned long> pixels;
		for (int y = 0; image && y < kPanelHeight; ++y)
			for (int x = 0; x < kPanelWidth; ++x)
				pixels.push_back (XGetPixel (image, x, y));
		if (image)
			XDestroyImage (image);
		return pixels;
	}
	static size_t differing (const std::vector<unsigned long>& a, const std::vector<unsigned long>& b)
	{
		size_t n = a.size () == b.size () ? 0 : std::max (a.size (), b.size ());
		for (size_t i = 0; i < std::min (a.size (), b.size ()); ++i)
			n += a[i] != b[i];
		return n;
	}
	// A patch:Set of `property` to the atom:Int `value`, made by LV2's forge.
	std::vector<uint8_t> forgeSet (uint32_t otype, uint32_t property, int32_t value)
	{
		LV2_Atom_Forge forge;
		lv2_atom_forge_init (&forge, &host.mapFeature);
		std::vector<uint8_t> buffer (128);
		lv2_atom_forge_set_buffer (&forge, buffer.data (), buffer.size ());
		LV2_Atom_Forge_Frame frame;
		lv2_atom_forge_object (&forge, &frame, 0, otype);
		lv2_atom_forge_key (&forge, host.map (LV2_PATCH__property));
		lv2_atom_forge_urid (&forge, property);
		lv2_atom_forge_key (&forge, host.map (LV2_PATCH__value));
		lv2_atom_forge_int (&forge, value);
		lv2_atom_forge_pop (&forge, &frame);
		buffer.resize (lv2_atom_total_size (reinterpret_cast<const LV2_Atom*> (buffer.data ())));
		return buffer;
	}
	void notify (const std::vector<uint8_t>& atom, uint32_t size)
	{
		descriptor->port_event (ui, kLv2NotifyPort, size, host.map (LV2_ATOM__eventTransfer), atom.data ());
	}

	Display* display = nullptr;
	void* library = nullptr;
	const LV2UI_Descriptor* descriptor = nullptr;
	const LV2UI_Idle_Interface* idleInterface = nullptr;
	const LV2UI_Show_Interface* showInterface = nullptr;
	const LV2_Options_Interface* options = nullptr;
	Host host;
	Window parent = 0, child = 0;
	LV2UI_Handle ui = nullptr;
};

// No UI, and no window left behind, without what it requires or with a
// scale factor it cannot show.
TEST_F (X11EditorLv2Ui, RefusesWhatItCannotShow)
{
	const double nan = std::numeric_limits<double>::quiet_NaN ();
	const std::pair<Setup, const char*> refusals[] = {
		{{false, true, kLv2PluginUri, nullptr, 1.0}, "no ui:parent"},
		{{true, false, kLv2PluginUri, nullptr, 1.0}, "no urid:map"},
		{{true, true, "urn:another", nullptr, 1.0}, "another plug-in"},
		{{true, true, kLv2PluginUri, LV2_ATOM__Float, 0.5}, "scale 0.5"},
		{{true, true, kLv2PluginUri, LV2_ATOM__Float, 4.5}, "scale 4.5"},
		{{true, true, kLv2PluginUri, LV2_ATOM__Double, nan}, "scale NaN"},
		{{true, true, kLv2PluginUri, LV2_ATOM__Int, 2.0}, "scale as an atom:Int"},
	};
	for (const auto& [setup, what] : refusals)
	{
		EXPECT_EQ (instantiate (setup), nullptr) << what;
		EXPECT_EQ (child, 0u) << what;
	}
	Window root, up, *kids = nullptr;
	unsigned count = 0;
	XQueryTree (display, parent, &root, &up, &kids, &count);
	XFree (kids);
	EXPECT_EQ (count, 0u);
	EXPECT_TRUE (host.writes.empty ());
}

// The window's size at each scale the host offers, told through ui:resize;
// the one write at instantiate asks the plug-in for its skin; a scale set
// later through the options interface resizes, a bad one changes nothing.
TEST_F (X11EditorLv2Ui, SizeFromScaleFactor)
{
	const std::pair<Setup, std::pair<int, int>> cases[] = {
		{{}, {860, 530}},
		{{true, true, kLv2PluginUri, LV2_ATOM__Float, 2.0}, {1720, 1060}},
		{{true, true, kLv2PluginUri, LV2_ATOM__Double, 1.5}, {1290, 795}},
	};
	for (const auto& [setup, size] : cases)
	{
		SCOPED_TRACE (setup.scale);
		host.writes.clear ();
		host.resizes.clear ();
		ui = instantiate (setup);
		ASSERT_TRUE (ui);
		EXPECT_EQ (windowSize (), size);
		ASSERT_EQ (host.resizes.size (), 1u);
		EXPECT_EQ (host.resizes[0], size);
		descriptor->cleanup (ui);
		ui = nullptr;
	}

	host.writes.clear ();
	ui = instantiate ({});
	ASSERT_TRUE (ui);
	ASSERT_EQ (host.writes.size (), 1u);
	const auto* get = reinterpret_cast<const LV2_Atom_Object*> (host.writes[0].bytes.data ());
	EXPECT_EQ (host.writes[0].port, kLv2ControlInPort);
	EXPECT_EQ (host.writes[0].format, host.map (LV2_ATOM__eventTransfer));
	EXPECT_EQ (get->atom.type, host.map (LV2_ATOM__Object));
	EXPECT_EQ (get->body.otype, host.map (LV2_PATCH__Get));
	host.resizes.clear ();
	const float two = 2.0f, bad = 0.25f;
	const LV2_URID scaleKey = host.map (LV2_UI__scaleFactor), floatType = host.map (LV2_ATOM__Float);
	const LV2_Options_Option set[] = {{LV2_OPTIONS_INSTANCE, 0, scaleKey, sizeof two, floatType, &two}, {}};
	const LV2_Options_Option setBad[] = {{LV2_OPTIONS_INSTANCE, 0, scaleKey, sizeof bad, floatType, &bad}, {}};
	EXPECT_EQ (options->set (ui, set), uint32_t (LV2_OPTIONS_SUCCESS));
	EXPECT_EQ (options->set (ui, setBad), uint32_t (LV2_OPTIONS_ERR_BAD_VALUE));
	EXPECT_TRUE (eventually ([&] { return windowSize () == std::make_pair (1720, 1060); }));
	EXPECT_EQ (host.resizes, (std::vector<std::pair<int, int>> {{1720, 1060}}));
}

// A drag is wrapped in touch calls and writes plain values to its port; a
// preset button writes all 16 ports with the preset's plain values; a skin
// button sends a patch:Set of the skin.
TEST_F (X11EditorLv2Ui, GesturesReachThePorts)
{
	ui = instantiate ({});
	ASSERT_TRUE (ui);
	runFor (150);
	host.writes.clear ();

	startReleaseDrag ();
	button (false);
	EXPECT_EQ (host.touches, (std::vector<TouchCall> {{kReleaseParam, true}, {kReleaseParam, false}}));
	ASSERT_FALSE (host.writes.empty ());
	for (const PortWrite& w : host.writes)
		EXPECT_TRUE (w.port == kReleaseParam && w.format == 0 && w.bytes.size () == sizeof (float));
	const double dragged = specs[kReleaseParam].defaultNormalized + 10 * 0.005;
	EXPECT_FLOAT_EQ (host.writes.back ().plain (), float (toPlain (kReleaseParam, dragged)));

	runFor (450); // the next press must not count as a double-click
	host.writes.clear ();
	host.touches.clear ();
	const SkinLayout& layout = skinLayout (kSkinOriginal);
	click (layout.presetLeft + 2 * layout.presetPitch + 20, layout.presetTop + 10);
	std::vector<int> written (kNumParams, 0);
	for (const PortWrite& w : host.writes)
		if (w.port < uint32_t (kNumParams) && w.format == 0)
		{
			++written[w.port];
			const double preset = snapNormalized (int32_t (w.port), kFactoryPresets[2].values[w.port]);
			EXPECT_FLOAT_EQ (w.plain (), float (toPlain (int32_t (w.port), preset))) << w.port;
		}
	EXPECT_EQ (written, std::vector<int> (kNumParams, 1));
	std::vector<TouchCall> gestures;
	for (uint32_t i = 0; i < uint32_t (kNumParams); ++i)
		gestures.insert (gestures.end (), {{i, true}, {i, false}});
	EXPECT_EQ (host.touches, gestures);

	host.writes.clear ();
	const Rect vintage = kOverlayLayout.skinButton (kSkinVintage);
	click (vintage.left + 10, vintage.top + 10);
	ASSERT_EQ (host.writes.size (), 1u);
	EXPECT_EQ (host.skinSet (host.writes[0]), kSkinVintage);
}

// port_event keeps the panel in step: a control port's value and a patch:Set
// of the skin on the notify port repaint it; malformed or foreign messages
// and values change nothing and break nothing.
TEST_F (X11EditorLv2Ui, HostChangesShow)
{
	ui = instantiate ({});
	ASSERT_TRUE (ui);
	runFor (300);
	const std::vector<unsigned long> first = picture ();
	ASSERT_FALSE (first.empty ());

	const float output = float (toPlain (kOutputParam, 0.1));
	descriptor->port_event (ui, kOutputParam, sizeof output, 0, &output);
	EXPECT_TRUE (eventually ([&] { return differing (first, picture ()) > 20; })) << "a port's value";
	const std::vector<unsigned long> second = picture ();

	const LV2_URID set = host.map (LV2_PATCH__Set), skin = host.map (kLv2SkinUri);
	const std::vector<uint8_t> good = forgeSet (set, skin, kSkinSilver);
	const float nan = std::numeric_limits<float>::quiet_NaN ();
	const std::pair<std::function<void ()>, const char*> ignored[] = {
		{[&] { notify (forgeSet (set, skin, 3), 64); }, "skin out of range"},
		{[&] { notify (forgeSet (set, host.map (LV2_PATCH__value), 1), 64); }, "another property"},
		{[&] { notify (forgeSet (host.map (LV2_PATCH__Get), skin, 1), 64); }, "a patch:Get"},
		{[&] { notify (good, 40); }, "cut short"},
		{[&] { notify (good, 7); }, "shorter than an atom"},
		{[&] { descriptor->port_event (ui, kLv2NotifyPort, 64, 0, good.data ()); }, "as a float"},
		{[&] { descriptor->port_event (ui, kLv2NotifyPort, 64, host.map (LV2_ATOM__eventTransfer), nullptr); },
		 "no buffer"},
		{[&] { descriptor->port_event (ui, 99, sizeof output, 0, &output); }, "no such port"},
		{[&] { descriptor->port_event (ui, kOutputParam, 2, 0, &output); }, "two bytes"},
	};
	for (const auto& [send, what] : ignored)
		send ();
	runFor (250);
	EXPECT_EQ (differing (second, picture ()), 0u) << "something ignored changed the panel";

	notify (good, uint32_t (good.size ()));
	EXPECT_TRUE (eventually ([&] { return differing (second, picture ()) > 10000; })) << "the skin";
	// NaN reads as the low end, as a host's NaN does in VST 3.
	const std::vector<unsigned long> silver = picture ();
	descriptor->port_event (ui, kOutputParam, sizeof nan, 0, &nan);
	EXPECT_TRUE (eventually ([&] { return differing (silver, picture ()) > 20; })) << "NaN";
}

// hide and show unmap and map the window; idle says when the window is gone
// with its parent; cleanup during a drag closes the touch gesture, also
// when the host cleans up from inside the UI's own touch call.
TEST_F (X11EditorLv2Ui, EndsCleanly)
{
	ui = instantiate ({});
	ASSERT_TRUE (ui);
	runFor (100);
	EXPECT_EQ (showInterface->hide (ui), 0);
	EXPECT_TRUE (eventually ([&] { return attributes ().map_state == IsUnmapped; }));
	EXPECT_EQ (showInterface->show (ui), 0);
	EXPECT_TRUE (eventually ([&] { return attributes ().map_state == IsViewable; }));

	startReleaseDrag ();
	ASSERT_EQ (host.touches, (std::vector<TouchCall> {{kReleaseParam, true}}));
	descriptor->cleanup (ui);
	ui = nullptr;
	button (false);
	EXPECT_EQ (host.touches, (std::vector<TouchCall> {{kReleaseParam, true}, {kReleaseParam, false}}));

	host.touches.clear ();
	ui = instantiate ({});
	ASSERT_TRUE (ui);
	runFor (100);
	host.onTouch = [&] {
		if (ui && host.touches.back ().grabbed)
		{
			descriptor->cleanup (ui);
			ui = nullptr;
		}
	};
	const Point c = skinLayout (kSkinOriginal).cell (kReleaseParam);
	moveTo (c.x + 40, c.y + 60);
	XTestFakeButtonEvent (display, 1, True, 0);
	XSync (display, False);
	for (int i = 0; i < 100 && ui; ++i)
	{
		idle ();
		usleep (5000);
	}
	XTestFakeButtonEvent (display, 1, False, 0);
	XSync (display, False);
	host.onTouch = nullptr;
	EXPECT_EQ (ui, nullptr) << "the press never reached the UI";
	EXPECT_EQ (host.touches, (std::vector<TouchCall> {{kReleaseParam, true}, {kReleaseParam, false}}));

	ui = instantiate ({});
	ASSERT_TRUE (ui);
	runFor (100);
	EXPECT_EQ (idle (), 0);
	XDestroyWindow (display, parent);
	XSync (display, False);
	EXPECT_TRUE (eventually ([&] { return idle () != 0; }));
	EXPECT_EQ (showInterface->hide (ui), 0);
	EXPECT_NE (showInterface->show (ui), 0);
}

} // namespace

#endif
