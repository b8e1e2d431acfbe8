// Out of memory at each allocation the editor's interface calls make, in
// turn: the call throws nothing, answers nullptr or kResultFalse, and leaves
// nothing half-made, so that the same call without the failure then works.
#include "formats/vst3/Controller.h"
#include "editor/skins/PanelLayout.h"
#include "tests/AllocationHooks.h"

#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR)
#include "vst3host/PlugFrame.h"
#include "vst3host/RunLoop.h"
#endif

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR)
// After googletest: Xlib's macros (None, Bool) clash with its names.
#include <X11/Xlib.h>
#endif

#include <cstdlib>
#include <functional>

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace TarnoTest;

namespace {

constexpr long kMostAllocations = 500;

// Runs `call` with the n-th allocation failing, for n = 0, 1, ... until a run
// meets no failure; `check` gets n and whether that run's allocation failed.
void failEachAllocation (const std::function<void ()>& call, const std::function<void (long, bool)>& check)
{
	for (long n = 0; n < kMostAllocations; ++n)
	{
		Allocations::failAfter (n);
		EXPECT_NO_THROW (call ()) << "allocation " << n;
		const bool failed = !Allocations::pending ();
		Allocations::failAfter (-1);
		check (n, failed);
		if (!failed)
			return;
	}
	ADD_FAILURE () << "more than " << kMostAllocations << " allocations";
}

} // namespace

TEST (OutOfMemory, EditorCallsFailCleanly)
{
	if (!Allocations::active ())
		GTEST_SKIP () << "the allocation hooks are not installed under sanitizers";
	IPtr<Tarno::Controller> controller =
		owned (static_cast<Tarno::Controller*> (static_cast<IEditController*> (Tarno::Controller::create (nullptr))));
	ASSERT_EQ (controller->initialize (nullptr), kResultOk);

	IPlugView* view = nullptr;
	failEachAllocation ([&] { view = controller->createView (ViewType::kEditor); },
	                    [&] (long n, bool failed) {
		                    if (failed)
			                    EXPECT_EQ (view, nullptr) << n;
		                    else
			                    EXPECT_NE (view, nullptr);
		                    if (view && failed)
			                    view->release ();
	                    });
	ASSERT_NE (view, nullptr);
	IPtr<IPlugView> owner = owned (view);
	FUnknownPtr<IPlugViewContentScaleSupport> scale (view);
	ASSERT_TRUE (scale);

	// Rescaling before attach, and (where a display is) attaching and
	// rescaling the window: a refusal leaves the size it had.
	auto sizeIs = [&] (int w, int h) {
		ViewRect r;
		return view->getSize (&r) == kResultOk && r.getWidth () == w && r.getHeight () == h;
	};
	tresult r = kResultOk;
	auto rescale = [&] (float f, int w, int h) {
		failEachAllocation ([&] { r = scale->setContentScaleFactor (f); },
		                    [&] (long n, bool failed) {
			                    if (r == kResultTrue)
				                    EXPECT_TRUE (sizeIs (w, h)) << n;
			                    else
			                    {
				                    EXPECT_TRUE (failed) << n;
				                    EXPECT_FALSE (sizeIs (w, h)) << n;
			                    }
		                    });
	};
	rescale (2.0f, 2 * Tarno::kPanelWidth, 2 * Tarno::kPanelHeight);
	rescale (1.0f, Tarno::kPanelWidth, Tarno::kPanelHeight);

#if !defined(_WIN32) && defined(TARNO_HAVE_X11_EDITOR)
	Display* display = XOpenDisplay (nullptr);
	if (display == nullptr)
		return;
	const Window parent =
		XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1760, 1100, 0, 0, 0);
	XSync (display, False);
	Tarno::Host::RunLoop loop;
	Tarno::Host::PlugFrame frame (&loop);
	view->setFrame (&frame);
	failEachAllocation ([&] { r = view->attached (reinterpret_cast<void*> (parent), kPlatformTypeX11EmbedWindowID); },
	                    [&] (long n, bool failed) {
		                    if (r == kResultOk)
			                    return;
		                    EXPECT_TRUE (failed) << n;
		                    EXPECT_EQ (loop.eventRegistrationCount () + loop.timerCount (), 0u) << n;
	                    });
	EXPECT_EQ (r, kResultOk);
	rescale (2.0f, 2 * Tarno::kPanelWidth, 2 * Tarno::kPanelHeight);
	loop.runFor (150);
	rescale (1.0f, Tarno::kPanelWidth, Tarno::kPanelHeight);
	EXPECT_EQ (view->removed (), kResultOk);
	view->setFrame (nullptr);
	XDestroyWindow (display, parent);
	XCloseDisplay (display);
#endif
	owner = nullptr;
	controller->terminate ();
}
