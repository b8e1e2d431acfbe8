// tarnovelle-editor-timing (Windows): opens a VST 3 plug-in's editor in a
// window and times full repaints: for each editor skin, 100 WM_PAINTs of the
// whole view, reported as milliseconds per paint and as the share of one
// core at ten repaints a second (the editor's idle timer rate).
//
//   tarnovelle-editor-timing PLUGIN.vst3 [PAINTS]
//
// The skin is chosen through the controller's own state (magic "TVUI",
// version 1, skin index), as a host restoring a project would.
#ifdef _WIN32

#include "host/Module.h"
#include "host/PluginInstance.h"

#include "pluginterfaces/gui/iplugview.h"
#include "public.sdk/source/common/memorystream.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Steinberg;

namespace {

constexpr double kRepaintsPerSecond = 10.0;

bool selectSkin (Vst::IEditController* controller, int32 skin)
{
	const int32 state[3] = {0x54565549, 1, skin}; // little-endian on x86
	auto stream = owned (new MemoryStream);
	int32 written = 0;
	stream->write (const_cast<int32*> (state), sizeof state, &written);
	stream->seek (0, IBStream::kIBSeekSet, nullptr);
	return controller->setState (stream) == kResultOk;
}

void pumpMessages ()
{
	MSG msg;
	while (PeekMessageW (&msg, nullptr, 0, 0, PM_REMOVE))
	{
		TranslateMessage (&msg);
		DispatchMessageW (&msg);
	}
}

} // namespace

int main (int argc, char** argv)
{
	if (argc < 2 || argc > 3)
	{
		std::fprintf (stderr, "usage: tarnovelle-editor-timing PLUGIN.vst3 [PAINTS]\n");
		return 2;
	}
	const int paints = argc == 3 ? std::atoi (argv[2]) : 100;
	if (paints < 1)
	{
		std::fprintf (stderr, "PAINTS must be a positive number\n");
		return 2;
	}

	std::string error;
	auto module = Tarno::Host::Module::load (argv[1], error);
	if (!module || module->classes ().empty ())
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: %s\n", module ? "no classes" : error.c_str ());
		return 1;
	}
	Tarno::Host::PluginInstance plugin;
	if (plugin.create (*module, module->classes ()[0], error) != kResultOk)
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: %s\n", error.c_str ());
		return 1;
	}
	IPtr<IPlugView> view = owned (plugin.controller ()->createView (Vst::ViewType::kEditor));
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
	HWND parent = CreateWindowExW (0, hostClass.lpszClassName, L"editor timing", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
	                               0, 900, 600, nullptr, nullptr, hostClass.hInstance, nullptr);
	if (!parent || view->attached (parent, kPlatformTypeHWND) != kResultOk)
	{
		std::fprintf (stderr, "tarnovelle-editor-timing: cannot open the editor\n");
		return 1;
	}
	HWND editor = GetWindow (parent, GW_CHILD);
	pumpMessages ();

	LARGE_INTEGER frequency;
	QueryPerformanceFrequency (&frequency);
	const char* names[] = {"ORIGINAL", "VINTAGE", "SILVER"};
	int status = 0;
	for (int32 skin = 0; skin < 3; ++skin)
	{
		if (!selectSkin (plugin.controller (), skin))
			status = 1;
		LARGE_INTEGER start, end;
		QueryPerformanceCounter (&start);
		for (int i = 0; i < paints; ++i)
		{
			InvalidateRect (editor, nullptr, FALSE);
			UpdateWindow (editor); // sends WM_PAINT at once
		}
		QueryPerformanceCounter (&end);
		const double ms = 1e3 * double (end.QuadPart - start.QuadPart) / double (frequency.QuadPart) / paints;
		std::printf ("%-8s %d paints: %.2f ms per paint, %.1f %% of one core at %.0f repaints a second\n", names[skin],
		             paints, ms, ms * kRepaintsPerSecond / 10.0, kRepaintsPerSecond);
		pumpMessages ();
	}

	view->removed ();
	view = nullptr;
	DestroyWindow (parent);
	plugin.destroy ();
	return status;
}

#endif // _WIN32
