// The run loop a Linux host offers its plug-ins' views (Linux::IRunLoop): a
// plug-in registers event handlers for file descriptors (typically its X
// connection) and timers, and the host calls them from its own thread.
//
// RunLoop is single-threaded: registration, dispatch and the counters must
// all be used from one thread, the one that runs the loop. Dispatch waits in
// poll (2) for the next readable descriptor or due timer.
//
// Registration rules:
// - A null handler, a negative descriptor or a 0 ms interval is refused with
//   kInvalidArgument.
// - A handler may watch several descriptors; registering a (handler,
//   descriptor) pair that is already registered is refused with
//   kResultFalse and changes nothing, so each readiness calls a handler once
//   per descriptor and one unregister undoes everything.
// - A timer handler has one timer: registering it again while it is
//   registered is refused with kResultFalse (the first interval stays).
//   Unregister it first to change the interval. Intervals above 2^31 ms are
//   treated as 2^31 ms.
// - unregisterEventHandler removes all descriptors of the handler;
//   unregistering a handler that is not registered gives kResultFalse.
// - setRefusing (true) makes both register calls answer kResultFalse (to
//   test how a plug-in copes with a host that will not run it);
//   unregistering still works.
//
// References: the loop holds one reference (addRef) on each handler for as
// long as it is registered (one per descriptor), plus one for the duration
// of each callback, so a handler that unregisters itself from its own
// callback is not destroyed under it. Handlers still registered when the
// loop is destroyed are released then, so they must outlive the loop or be
// unregistered before they go.
//
// One dispatch round calls the ready descriptors' handlers first, then the
// due timers. It works on a snapshot of the registrations taken before the
// calls: a callback may unregister itself or any other handler, or register
// new ones. A registration removed during a round is not called later in
// that round, and one added during it is first called in the next round.
//
// Descriptors: POLLIN, POLLHUP and POLLERR all call the handler (a read then
// reports the end or the error). A descriptor poll reports as invalid
// (closed while still registered) is no longer waited on and counted in
// invalidDescriptorCount (); its registration stays until unregistered.
//
// Timers fire every interval after registration. A timer that fell behind
// (a long callback, a busy machine) fires once and then resumes its period
// from that moment: there are no bursts of catch-up calls. Due timers fire
// earliest due first; equal due times in registration order.
//
// Ownership: the host owns the loop; addRef/release on it keep a count but
// never delete it (as with the objects of HostObjects.h).
//
// The loop compares interface IDs with the headers' inline constants and
// defines none of the interfaces' iid symbols itself, so a plug-in linked
// into the same program (the in-process tests) may define them.
#pragma once

#include "pluginterfaces/gui/iplugview.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace Tarno {
namespace Host {

using Steinberg::tresult;
using Steinberg::uint32;
using Steinberg::Linux::FileDescriptor;
using Steinberg::Linux::IEventHandler;
using Steinberg::Linux::ITimerHandler;
using Steinberg::Linux::TimerInterval;

class RunLoop : public Steinberg::Linux::IRunLoop
{
public:
	using Clock = std::function<std::chrono::steady_clock::time_point ()>;

	RunLoop ();
	virtual ~RunLoop ();
	RunLoop (const RunLoop&) = delete;
	RunLoop& operator= (const RunLoop&) = delete;

	// IRunLoop
	tresult PLUGIN_API registerEventHandler (IEventHandler* handler, FileDescriptor fd) override;
	tresult PLUGIN_API unregisterEventHandler (IEventHandler* handler) override;
	tresult PLUGIN_API registerTimer (ITimerHandler* handler, TimerInterval milliseconds) override;
	tresult PLUGIN_API unregisterTimer (ITimerHandler* handler) override;

	// Waits up to timeoutMs (negative: without limit) for a registered
	// descriptor to become readable or a timer to fall due, then calls every
	// ready handler once. Returns the number of callbacks made. With nothing
	// registered it returns 0 at once when timeoutMs is negative, otherwise
	// after sleeping timeoutMs.
	int runOnce (int timeoutMs);
	// Dispatches for ms milliseconds of real time; returns the callbacks made.
	int runFor (int ms);
	// Dispatches until done () is true (checked before each wait) or
	// timeoutMs of real time have passed; returns done ().
	bool runUntil (const std::function<bool ()>& done, int timeoutMs);

	// Registration refused (kResultFalse) while on.
	void setRefusing (bool refuse) { refusing_ = refuse; }
	bool isRefusing () const { return refusing_; }

	// The time timers are measured against; a test replaces it to step
	// timers without waiting (runOnce (0) then dispatches what is due at the
	// clock's time). Waiting in poll always takes real time.
	void setClock (Clock clock);

	// Counters.
	size_t eventRegistrationCount () const { return events_.size (); } // (handler, fd) pairs
	size_t eventHandlerCount () const;                                 // distinct handlers
	size_t timerCount () const { return timers_.size (); }
	bool isRegistered (IEventHandler* handler) const;
	bool isRegistered (IEventHandler* handler, FileDescriptor fd) const;
	bool isRegistered (ITimerHandler* handler) const;
	// Callbacks made to a handler over the loop's life (kept after it is
	// unregistered; counted per handler pointer).
	uint64_t callCount (IEventHandler* handler) const;
	uint64_t callCount (ITimerHandler* handler) const;
	uint64_t totalCallCount () const { return totalCalls_; }
	size_t invalidDescriptorCount () const;
	// Register calls refused because of setRefusing (true).
	uint64_t refusedCount () const { return refused_; }

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }
	uint32 referenceCount () const { return refs_; }

private:
	using TimePoint = std::chrono::steady_clock::time_point;
	struct EventEntry
	{
		uint64_t serial;
		IEventHandler* handler;
		FileDescriptor fd;
		bool invalid;
	};
	struct TimerEntry
	{
		uint64_t serial;
		ITimerHandler* handler;
		std::chrono::milliseconds interval;
		TimePoint due;
	};

	TimePoint now () const { return clock_ ? clock_ () : std::chrono::steady_clock::now (); }
	EventEntry* findEvent (uint64_t serial);
	TimerEntry* findTimer (uint64_t serial);

	std::vector<EventEntry> events_;
	std::vector<TimerEntry> timers_;
	std::map<const void*, uint64_t> eventCalls_, timerCalls_;
	uint64_t nextSerial_ = 1;
	uint64_t totalCalls_ = 0;
	uint64_t refused_ = 0;
	bool refusing_ = false;
	Clock clock_;
	std::atomic<uint32> refs_ {1};
};

//------------------------------------------------------------------------
// Handlers that call a function: the host's own descriptors and timers (the
// view tool's X connection) and tests. Host-owned: addRef/release keep a
// count but never delete.
class FunctionEventHandler : public IEventHandler
{
public:
	explicit FunctionEventHandler (std::function<void (FileDescriptor)> onReady = {})
	: onReady_ (std::move (onReady))
	{
	}
	virtual ~FunctionEventHandler () = default;
	void setFunction (std::function<void (FileDescriptor)> onReady) { onReady_ = std::move (onReady); }

	void PLUGIN_API onFDIsSet (FileDescriptor fd) override
	{
		if (onReady_)
			onReady_ (fd);
	}

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }
	uint32 referenceCount () const { return refs_; }

private:
	std::function<void (FileDescriptor)> onReady_;
	std::atomic<uint32> refs_ {1};
};

class FunctionTimerHandler : public ITimerHandler
{
public:
	explicit FunctionTimerHandler (std::function<void ()> onTimer = {}) : onTimer_ (std::move (onTimer)) {}
	virtual ~FunctionTimerHandler () = default;
	void setFunction (std::function<void ()> onTimer) { onTimer_ = std::move (onTimer); }

	void PLUGIN_API onTimer () override
	{
		if (onTimer_)
			onTimer_ ();
	}

	tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;
	uint32 PLUGIN_API addRef () override { return ++refs_; }
	uint32 PLUGIN_API release () override { return --refs_; }
	uint32 referenceCount () const { return refs_; }

private:
	std::function<void ()> onTimer_;
	std::atomic<uint32> refs_ {1};
};

} // namespace Host
} // namespace Tarno
