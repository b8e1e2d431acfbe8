// tarno_repaint_times BUNDLE [REPAINTS]: the cost of one repaint of the
// Windows editor at content scales 1, 1.5 and 2, per skin. Loads the bundle
// through our host, attaches its editor to a window of its own and times
// RedrawWindow (invalidate and paint at once: the editor's whole WM_PAINT,
// off-screen picture and copy to the window included). Prints the median
// and the fastest milliseconds per repaint and each scale's cost against
// 1.0. Google Benchmark is not built for Windows here, so this tool times
// itself; run it under Wine on an X display, on an otherwise idle machine.
#include "host/Module.h"
#include "host/PluginInstance.h"

#include "base/source/fstreamer.h"
#include "public.sdk/source/common/memorystream.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Steinberg;

namespace {

constexpr const wchar_t* kEditorClass = L"TarnovelleMultiSkinVST3_110";

// The controller's 12-byte state that selects skin s.
void selectSkin (Vst::IEditController& controller, int32 skin)
{
	auto stream = owned (new MemoryStream);
	const uint32 words[3] = {0x54565549, 1, uint32 (skin)}; // "TVUI", version 1, skin
	for (uint32 w : words)
	{
		const char le[4] = {char (w), char (w >> 8), char (w >> 16), char (w >> 24)};
		stream->write (const_cast<char*> (le), 4, nullptr);
	}
	stream->seek (0, IBStream::kIBSeekSet, nullptr);
	controller.setState (stream);
}

double milliseconds (LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
	return 1e3 * double (to.QuadPart - from.QuadPart) / double (frequency.QuadPart);
}

// Handles the messages waiting, for at most 20 ms: a paint slower than the
// editor's 100 ms timer keeps one waiting all the time.
void drain ()
{
	const ULONGLONG end = GetTickCount64 () + 20;
	MSG msg;
	while (GetTickCount64 () < end && PeekMessageW (&msg, nullptr, 0, 0, PM_REMOVE))
		DispatchMessageW (&msg);
}

} // namespace

int main (int argc, char** argv)
{
	if (argc < 2)
	{
		std::fprintf (stderr, "usage: tarno_repaint_times BUNDLE [REPAINTS]\n");
		return 2;
	}
	const int repaints = argc > 2 ? std::max (5, std::atoi (argv[2])) : 40;
	std::string error;
	auto module = Tarno::Host::Module::load (argv[1], error);
	Tarno::Host::PluginInstance plugin;
	if (!module || plugin.create (*module, module->classes ()[0], error) != kResultOk)
	{
		std::fprintf (stderr, "%s\n", error.c_str ());
		return 1;
	}
	Vst::IEditController* controller = plugin.controller ();
	IPlugView* view = controller->createView (Vst::ViewType::kEditor);
	FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
	WNDCLASSW wc = {};
	wc.lpfnWndProc = DefWindowProcW;
	wc.hInstance = GetModuleHandleW (nullptr);
	wc.lpszClassName = L"TarnoRepaintTimes";
	RegisterClassW (&wc);
	HWND parent = CreateWindowExW (0, wc.lpszClassName, L"repaint times", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
	                               0, 1800, 1160, nullptr, nullptr, wc.hInstance, nullptr);
	if (!view || !scale || !parent || view->attached (parent, kPlatformTypeHWND) != kResultOk)
	{
		std::fprintf (stderr, "no editor window (an X display is needed under Wine)\n");
		return 1;
	}
	ShowWindow (parent, SW_SHOW);
	HWND child = FindWindowExW (parent, nullptr, kEditorClass, nullptr);
	LARGE_INTEGER frequency;
	QueryPerformanceFrequency (&frequency);

	const char* names[3] = {"ORIGINAL", "VINTAGE", "SILVER"};
	const float scales[3] = {1.0f, 1.5f, 2.0f};
	std::printf ("%-9s %5s %11s %11s %9s\n", "skin", "scale", "median ms", "fastest ms", "vs 1.0");
	for (int32 skin = 0; skin < 3; ++skin)
	{
		selectSkin (*controller, skin);
		double atOne = 0;
		for (float f : scales)
		{
			scale->setContentScaleFactor (f);
			std::vector<double> times;
			for (int i = 0; i < repaints + 3; ++i)
			{
				drain ();
				LARGE_INTEGER t0, t1;
				QueryPerformanceCounter (&t0);
				RedrawWindow (child, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
				QueryPerformanceCounter (&t1);
				if (i >= 3) // the first paints at a new size fill the caches
					times.push_back (milliseconds (t0, t1, frequency));
			}
			std::sort (times.begin (), times.end ());
			const double median = times[times.size () / 2];
			if (f == 1.0f)
				atOne = median;
			std::printf ("%-9s %5.1f %11.2f %11.2f %8.2fx\n", names[skin], double (f), median, times[0],
			             median / atOne);
		}
	}
	scale->setContentScaleFactor (1.0f);
	view->removed ();
	view->release ();
	DestroyWindow (parent);
	plugin.destroy ();
	return 0;
}
