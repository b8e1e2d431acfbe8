// The frame a Linux host gives a plug-in's view (IPlugView::setFrame). It
// answers queries for Linux::IRunLoop with the run loop it was given (none
// when made without one: a host offering no run loop), and receives the
// view's resize requests.
//
// resizeView records every valid request (view and size, in order). Then,
// when a resize function is set, the function is called first (a window
// host resizes its window there) and may refuse the request (kResultFalse).
// With honouring on (the default) the frame then calls view->onSize with
// the new size at the origin (0, 0, width, height), as a host does once its
// window has the new size, and returns onSize's result; with honouring off
// it returns kResultOk and leaves onSize to the caller. A null view or size
// or a negative width or height is refused with kInvalidArgument and not
// recorded. A request made from inside the onSize that the frame itself is
// calling is recorded and refused with kResultFalse (no endless recursion).
//
// Single-threaded, like the run loop. Ownership: host-owned; addRef/release
// keep a count but never delete (as with the objects of HostObjects.h).
#pragma once

#include "vst3host/RunLoop.h"

#include "pluginterfaces/gui/iplugview.h"

#include <atomic>
#include <functional>
#include <vector>

namespace Tarno {
namespace Host {

class PlugFrame : public Steinberg::IPlugFrame
{
public:
	struct ResizeRequest
	{
		Steinberg::IPlugView* view;
		Steinberg::ViewRect size;
	};
	using ResizeFunction = std::function<bool (Steinberg::IPlugView* view, const Steinberg::ViewRect& size)>;

	// runLoop nullptr: the frame offers no run loop.
	explicit PlugFrame (RunLoop* runLoop = nullptr) : runLoop_ (runLoop) {}
	virtual ~PlugFrame () = default;
	PlugFrame (const PlugFrame&) = delete;
	PlugFrame& operator= (const PlugFrame&) = delete;

	void setRunLoop (RunLoop* runLoop) { runLoop_ = runLoop; }
	RunLoop* runLoop () const { return runLoop_; }
	void setResizeFunction (ResizeFunction function) { resizeFunction_ = std::move (function); }
	void setHonourResize (bool honour) { honour_ = honour; }

	const std::vector<ResizeRequest>& resizeRequests () const { return requests_; }
	void clearResizeRequests () { requests_.clear (); }
	// How often the view asked the frame for a run loop (answered or not).
	int runLoopQueries () const { return runLoopQueries_; }

	tresult PLUGIN_API resizeView (Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }
	uint32 referenceCount () const { return refs_; }

private:
	RunLoop* runLoop_;
	ResizeFunction resizeFunction_;
	bool honour_ = true;
	bool inOnSize_ = false;
	std::vector<ResizeRequest> requests_;
	int runLoopQueries_ = 0;
	std::atomic<uint32> refs_ {1};
};

} // namespace Host
} // namespace Tarno
