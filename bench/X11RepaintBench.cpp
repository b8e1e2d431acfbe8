// Repaints of the Linux editor in a real X11 window: the host changes a
// value, the editor's 100 ms timer sees it and repaints, and the picture is
// copied to the window. The CPU time per iteration is the repaint's cost in
// this process (waiting for the timer costs none); the X server's share is
// not in it. The second argument is the view's content scale in percent.
// Needs an X display (xvfb-run; at scale 2 a screen of at least
// 1720 × 1060); skipped without one.
#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR)

#include "formats/vst3/Controller.h"
#include "formats/vst3/X11View.h"
#include "vst3host/PlugFrame.h"
#include "vst3host/RunLoop.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

namespace {

using namespace Steinberg;

void BM_X11Repaint (benchmark::State& state)
{
	// Held open for the whole run: an X server that sees its last client go
	// resets itself, and a connection made meanwhile (the next case's) fails.
	static xcb_connection_t* const keepAlive = xcb_connect (nullptr, nullptr);
	(void) keepAlive;
	xcb_connection_t* connection = xcb_connect (nullptr, nullptr);
	if (xcb_connection_has_error (connection))
	{
		xcb_disconnect (connection);
		state.SkipWithError ("no X display");
		return;
	}
	// The host's window.
	xcb_screen_t* screen = xcb_setup_roots_iterator (xcb_get_setup (connection)).data;
	const xcb_window_t parent = xcb_generate_id (connection);
	const double f = double (state.range (1)) / 100.0;
	xcb_create_window (connection, XCB_COPY_FROM_PARENT, parent, screen->root, 0, 0, uint16_t (860 * f),
	                   uint16_t (530 * f), 0,
	                   XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
	xcb_map_window (connection, parent);
	xcb_flush (connection);

	IPtr<Tarno::Controller> controller =
		owned (static_cast<Tarno::Controller*> (static_cast<Vst::IEditController*> (Tarno::Controller::create (nullptr))));
	controller->initialize (nullptr);
	controller->skin = static_cast<int32> (state.range (0));
	Tarno::Host::RunLoop loop;
	Tarno::Host::PlugFrame frame (&loop);
	IPtr<IPlugView> view = owned (controller->createView (Vst::ViewType::kEditor));
	auto* editor = static_cast<Tarno::X11View*> (view.get ());
	view->setFrame (&frame);
	if (FUnknownPtr<IPlugViewContentScaleSupport> scaling = FUnknownPtr<IPlugViewContentScaleSupport> (view))
		scaling->setContentScaleFactor (float (f));
	if (view->attached (reinterpret_cast<void*> (uintptr_t (parent)), kPlatformTypeX11EmbedWindowID) != kResultOk)
		state.SkipWithError ("the editor did not attach");
	loop.runUntil ([&] { return editor->paintCount () > 0; }, 2000);

	int step = 0;
	for (auto _ : state)
	{
		const int before = editor->paintCount ();
		controller->setParamNormalized (Tarno::kAttackParam, (++step % 2) ? 0.25 : 0.75);
		loop.runUntil ([&] { return editor->paintCount () > before; }, 2000);
	}
	state.counters["ms_per_repaint_cpu"] =
		benchmark::Counter (double (state.iterations ()) / 1e3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);

	view->removed ();
	view->setFrame (nullptr);
	view = nullptr;
	controller->terminate ();
	xcb_destroy_window (connection, parent);
	xcb_disconnect (connection);
}

} // namespace

BENCHMARK (BM_X11Repaint)
	->Name ("X11Repaint/skin")
	->ArgsProduct ({{0, 1, 2}, {100, 200}})
	->Iterations (50)
	->Unit (benchmark::kMillisecond);

#endif
