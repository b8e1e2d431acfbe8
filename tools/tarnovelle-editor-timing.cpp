// tarnovelle-editor-timing (Windows): opens a VST 3 plug-in's editor in a
// window and times it, for each editor skin and content scale:
//  - PAINTS full repaints: the skin chosen afresh through the controller's
//    state (coming from another skin), then the editor's timer tick
//    (WM_TIMER) and the WM_PAINT it asks for;
//  - the idle editor: the process's processor time (GetProcessTimes, user
//    and kernel) while its message loop waits for IDLE_MS milliseconds with
//    nothing changing, as a share of one core;
//  - a repaint after one host change: CHANGES times one parameter set by
//    the host (setParamNormalized, each time another control), then the
//    timer tick and its paint.
// Repaints are given in milliseconds each, of wall-clock time and of the
// process's processor time (on a busy machine the first includes waiting
// for a core). The X server's share of copying to the window is not
// counted.
//
//   tarnovelle-editor-timing PLUGIN.vst3 [PAINTS] [--scale F ...] [--idle-ms MS] [--changes N]
//   tarnovelle-editor-timing --calls
//
// --scale gives the view a content scale (IPlugViewContentScaleSupport)
// before timing; several are timed one after the other, and each one's full
// repaint is also given against the first. The defaults are 20 full
// repaints, 2000 ms idle and 100 changes.
//
// The skin is chosen through the controller's own state (magic "TVUI",
// version 1, skin index), as a host restoring a project would.
//
// --calls times, without any plug-in, each kind of drawing call the skins
// make, through the same canvas and on an off-screen bitmap made as the
// editor makes it: what one pen costs, and what one line, fill, curve or
// text costs, so that a paint's time can be laid out by kind.
#ifdef _WIN32

#include "editor/canvas/GdiCanvas.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/common/memorystream.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Steinberg;

namespace {

constexpr UINT_PTR kEditorTimerId = 1;

bool selectSkin (Vst::IEditController* controller, int32 skin)
{
	const int32 state[3] = {0x54565549, 1, skin}; // little-endian on x86
	auto stream = owned (new MemoryStream);
	int32 written = 0;
	stream->write (const_cast<int32*> (state), sizeof state, &written);
	stream->seek (0, IBStream::kIBSeekSet, nullptr);
	return controller->setState (stream) == kResultOk;
}

// Handles the waiting messages, for at most 50 ms: with paints slower than
// the editor's 100 ms timer a message is always waiting.
void pumpMessages ()
{
	const ULONGLONG end = GetTickCount64 () + 50;
	MSG msg;
	while (GetTickCount64 () < end && PeekMessageW (&msg, nullptr, 0, 0, PM_REMOVE))
	{
		TranslateMessage (&msg);
		DispatchMessageW (&msg);
	}
}

double milliseconds ()
{
	LARGE_INTEGER frequency, counter;
	QueryPerformanceFrequency (&frequency);
	QueryPerformanceCounter (&counter);
	return 1e3 * double (counter.QuadPart) / double (frequency.QuadPart);
}

// Processor time of this process so far (user and kernel), in milliseconds.
double processMilliseconds ()
{
	FILETIME created, exited, kernel, user;
	if (!GetProcessTimes (GetCurrentProcess (), &created, &exited, &kernel, &user))
		return 0;
	auto ms = [] (const FILETIME& t) {
		return double ((ULONGLONG (t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4; // 100 ns units
	};
	return ms (kernel) + ms (user);
}

// Runs the message loop for ms milliseconds, sleeping while no message
// waits (as a host's loop does), and returns the share of one core the
// process used meanwhile, in percent.
double idleShare (int ms)
{
	const double cpuStart = processMilliseconds ();
	const double start = milliseconds ();
	for (double now = start; now - start < ms; now = milliseconds ())
	{
		MsgWaitForMultipleObjects (0, nullptr, FALSE, DWORD (ms - (now - start)) + 1, QS_ALLINPUT);
		MSG msg;
		while (PeekMessageW (&msg, nullptr, 0, 0, PM_REMOVE))
		{
			TranslateMessage (&msg);
			DispatchMessageW (&msg);
		}
	}
	return 100.0 * (processMilliseconds () - cpuStart) / (milliseconds () - start);
}

// Milliseconds per repaint, of wall-clock time and of the process's
// processor time.
struct Cost
{
	double wall, processor;
};

// The editor's timer tick and the paint it asks for, timed.
void tick (HWND editor, double& wall)
{
	const double start = milliseconds ();
	SendMessageW (editor, WM_TIMER, kEditorTimerId, 0);
	UpdateWindow (editor); // sends WM_PAINT at once, if the tick asked for one
	wall += milliseconds () - start;
}

// A repaint of everything: the skin chosen afresh, coming from another one
// (that repaint not counted), then the timer tick and its paint.
Cost fullRepaint (Vst::IEditController* controller, HWND editor, int32 skin, int count)
{
	double wall = 0, untimed = 0, cpu = 0;
	for (int k = 0; k < count; ++k)
	{
		selectSkin (controller, (skin + 1) % 3);
		tick (editor, untimed);
		selectSkin (controller, skin);
		const double cpuStart = processMilliseconds ();
		tick (editor, wall);
		cpu += processMilliseconds () - cpuStart;
	}
	return {wall / count, cpu / count};
}

// A repaint after one host change: parameter k mod 16 set to a new value,
// then the timer tick and its paint.
Cost changeRepaint (Vst::IEditController* controller, HWND editor, int changes)
{
	double wall = 0;
	const double cpuStart = processMilliseconds ();
	for (int k = 0; k < changes; ++k)
	{
		const auto id = Vst::ParamID (k % 16);
		const double old = controller->getParamNormalized (id);
		controller->setParamNormalized (id, old < 0.5 ? old + 0.37 : old - 0.29);
		tick (editor, wall);
	}
	return {wall / changes, (processMilliseconds () - cpuStart) / changes};
}

namespace GP = Gdiplus::DllExports;
using Tarno::Argb;
using Tarno::Fill;

// Runs `draw (i)` for i = 0 .. count-1 and flushes the canvas, five times
// over, and prints the quickest round per call: on a shared machine the
// quickest round is the one least disturbed.
template <typename Draw>
void timeCalls (Tarno::GdiCanvas& canvas, const char* what, int count, Draw draw)
{
	double best = 1e300;
	for (int round = 0; round < 5; ++round)
	{
		const double start = milliseconds ();
		for (int i = 0; i < count; ++i)
			draw (i);
		canvas.flush ();
		best = std::min (best, milliseconds () - start);
	}
	std::printf ("%-52s %9.1f us per call\n", what, 1e3 * best / count);
}

// The kinds of call the VINTAGE and SILVER skins make, drawn through the
// canvas the skins paint on (a pen or brush made for each shape).
int timeGdiplusCalls ()
{
	Gdiplus::GdiplusStartupInput input;
	ULONG_PTR token = 0;
	if (Gdiplus::GdiplusStartup (&token, &input, nullptr) != Gdiplus::Ok)
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: GDI+ does not start\n");
		return 1;
	}
	HDC screen = GetDC (nullptr);
	HDC dc = CreateCompatibleDC (screen);
	HBITMAP bitmap = CreateCompatibleBitmap (screen, 860, 530);
	HGDIOBJ previous = SelectObject (dc, bitmap);
	{
		Tarno::GdiCanvas canvas (dc, nullptr, nullptr, 0);
		const Argb brushing = {18, 255, 255, 255}, grey = {255, 128, 128, 128};

		timeCalls (canvas, "pen made and deleted, nothing drawn", 1000, [] (int) {
			Gdiplus::GpPen* pen = nullptr;
			GP::GdipCreatePen1 (0x12FFFFFF, 1, Gdiplus::UnitWorld, &pen);
			GP::GdipDeletePen (pen);
		});
		timeCalls (canvas, "830-px line, translucent pen (SILVER brushing)", 530, [&] (int i) {
			canvas.aaLine ({15, float (i)}, {845, float (i)}, brushing, 1, false);
		});
		timeCalls (canvas, "830-px line, opaque pen", 530,
		           [&] (int i) { canvas.aaLine ({15, float (i)}, {845, float (i)}, grey, 1, false); });
		timeCalls (canvas, "6-px knob tick, opaque pen", 330, [&] (int i) {
			canvas.aaLine ({73, 177.0f + i % 3}, {73, 171.0f + i % 3}, {255, 217, 172, 101}, 1.7f, false);
		});
		timeCalls (canvas, "6-point curve, translucent pen (VINTAGE grain)", 80, [&] (int i) {
			Tarno::PointF points[6];
			for (int k = 0; k < 6; ++k)
				points[k] = {float (0.61 * (i % 40) + 1.7 * std::sin (1.3 * i + 0.7 * k)), 106.0f * k};
			canvas.aaCurve (points, 6, 0.5f, {60, 203, 141, 77}, 0.7f);
		});
		timeCalls (canvas, "812 x 530 gradient fill (the front)", 5, [&] (int) {
			canvas.aaFillRect ({24, 0, 812, 530},
			                   Fill::linear ({24, 0}, {836, 530}, {255, 43, 49, 43}, {255, 23, 29, 26}));
		});
		timeCalls (canvas, "91 x 145 gradient fill (a SILVER strip)", 16, [&] (int) {
			canvas.aaFillRect ({29, 145, 91, 145},
			                   Fill::linear ({30, 144}, {122, 285}, {210, 235, 240, 243}, {200, 180, 195, 205}));
		});
		timeCalls (canvas, "860 x 530 solid fill", 20,
		           [&] (int) { canvas.aaFillRect ({0, 0, 860, 530}, Fill::solid ({255, 44, 26, 17})); });
		timeCalls (canvas, "text through GDI (flush, device context, font)", 42, [&] (int) {
			canvas.textInRectW ({30, 262, 117, 286}, u"0.5 oct", {"Arial", -10, 700}, {209, 196, 151},
			                    Tarno::kTextSingleLine | Tarno::kTextVCenter | Tarno::kTextNoPrefix |
			                        Tarno::kTextCenter);
		});
	}
	SelectObject (dc, previous);
	DeleteObject (bitmap);
	DeleteDC (dc);
	ReleaseDC (nullptr, screen);
	Gdiplus::GdiplusShutdown (token);
	return 0;
}

} // namespace

int main (int argc, char** argv)
{
	if (argc == 2 && std::string (argv[1]) == "--calls")
		return timeGdiplusCalls ();
	const char* plugin = nullptr;
	int paints = 20, idleMs = 2000, changes = 100;
	std::vector<float> scales;
	bool usage = argc < 2;
	for (int i = 1; i < argc && !usage; ++i)
	{
		const std::string arg = argv[i];
		if (arg == "--scale" && i + 1 < argc)
		{
			char* end = nullptr;
			const double f = std::strtod (argv[++i], &end);
			usage = *end != '\0' || !(f >= 1.0 && f <= 4.0);
			scales.push_back (float (f));
		}
		else if ((arg == "--idle-ms" || arg == "--changes") && i + 1 < argc)
		{
			const int n = std::atoi (argv[++i]);
			usage = n < 1;
			(arg == "--changes" ? changes : idleMs) = n;
		}
		else if (!plugin)
			plugin = argv[i];
		else
		{
			paints = std::atoi (argv[i]);
			usage = paints < 1;
		}
	}
	if (usage || !plugin)
	{
		std::fprintf (stderr, "usage: tarnovelle-editor-timing PLUGIN.vst3 [PAINTS] [--scale F ...] [--idle-ms MS] [--changes N]\n"
		                      "       (PAINTS, MS, N >= 1; F 1..4)\n"
		                      "       tarnovelle-editor-timing --calls\n");
		return 2;
	}
	if (scales.empty ())
		scales.push_back (1.0f);

	std::string error;
	auto module = Tarno::Host::Module::load (plugin, error);
	if (!module || module->classes ().empty ())
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: %s\n", module ? "no classes" : error.c_str ());
		return 1;
	}
	Tarno::Host::PluginInstance instance;
	if (instance.create (*module, module->classes ()[0], error) != kResultOk)
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: %s\n", error.c_str ());
		return 1;
	}
	IPtr<IPlugView> view = owned (instance.controller ()->createView (Vst::ViewType::kEditor));
	if (!view)
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: the plug-in has no editor\n");
		return 1;
	}

	WNDCLASSW hostClass = {};
	hostClass.lpfnWndProc = DefWindowProcW;
	hostClass.hInstance = GetModuleHandleW (nullptr);
	hostClass.lpszClassName = L"TarnoTimingHost";
	RegisterClassW (&hostClass);
	const float largest = *std::max_element (scales.begin (), scales.end ());
	HWND parent = CreateWindowExW (0, hostClass.lpszClassName, L"editor timing", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
	                               0, int (900 * largest), int (600 * largest), nullptr, nullptr,
	                               hostClass.hInstance, nullptr);
	FUnknownPtr<IPlugViewContentScaleSupport> scaling (view);
	if (!parent || view->attached (parent, kPlatformTypeHWND) != kResultOk)
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: cannot open the editor\n");
		return 1;
	}
	HWND editor = GetWindow (parent, GW_CHILD);
	pumpMessages ();
	double defaults[16];
	for (int32 id = 0; id < 16; ++id)
		defaults[id] = instance.controller ()->getParamNormalized (Vst::ParamID (id));

	const char* names[] = {"ORIGINAL", "VINTAGE", "SILVER"};
	int status = 0;
	for (int32 skin = 0; skin < 3; ++skin)
	{
		if (!selectSkin (instance.controller (), skin))
			status = 1;
		double first = 0;
		for (float f : scales)
		{
			if (f != 1.0f && (!scaling || scaling->setContentScaleFactor (f) != kResultTrue))
			{
				std::fprintf (stderr, "tarnovelle-editor-timing: the view does not take scale %g\n", double (f));
				status = 1;
				continue;
			}
			pumpMessages ();
			const Cost full = fullRepaint (instance.controller (), editor, skin, paints);
			if (first == 0)
				first = full.wall;
			std::printf ("%-8s %d full repaints: %.2f ms per repaint, %.2f ms of processor time", names[skin], paints,
			             full.wall, full.processor);
			if (scales.size () > 1 || f != 1.0f)
				std::printf (" (scale %g: %.2f x scale %g)", double (f), full.wall / first, double (scales[0]));
			std::printf ("\n");
			std::printf ("%-8s idle %d ms: %.2f %% of one core (scale %g)\n", names[skin], idleMs, idleShare (idleMs),
			             double (f));
			const Cost change = changeRepaint (instance.controller (), editor, changes);
			std::printf ("%-8s %d host changes: %.2f ms per repaint, %.2f ms of processor time (scale %g)\n",
			             names[skin], changes, change.wall, change.processor, double (f));
			// The values back as they were, shown before the next case.
			for (int32 id = 0; id < 16; ++id)
				instance.controller ()->setParamNormalized (Vst::ParamID (id), defaults[size_t (id)]);
			if (scaling)
				scaling->setContentScaleFactor (1.0f);
			pumpMessages ();
		}
	}

	view->removed ();
	view = nullptr;
	DestroyWindow (parent);
	instance.destroy ();
	return status;
}

#endif // _WIN32
