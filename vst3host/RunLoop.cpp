#include "vst3host/RunLoop.h"

#include <algorithm>
#include <set>

#include <poll.h>

namespace Tarno {
namespace Host {

using namespace Steinberg;
using namespace std::chrono;

namespace {

constexpr TimerInterval kMaxInterval = TimerInterval (1) << 31;

// Milliseconds from now until t, rounded up so that a wait never ends
// before t (which would spin), and at least 0.
int millisecondsUntil (steady_clock::time_point t, steady_clock::time_point now)
{
	if (t <= now)
		return 0;
	const auto ms = duration_cast<milliseconds> (t - now + milliseconds (1) - nanoseconds (1)).count ();
	return ms > 0x7FFFFFFF ? 0x7FFFFFFF : int (ms);
}

// Keeps a handler alive for the duration of one callback.
template <typename T>
struct CallReference
{
	explicit CallReference (T* h) : handler (h) { handler->addRef (); }
	~CallReference () { handler->release (); }
	T* handler;
};

} // namespace

//------------------------------------------------------------------------
RunLoop::RunLoop () = default;

RunLoop::~RunLoop ()
{
	// Moved out first: a release may run a plug-in's destructor, which must
	// find the loop consistent if it calls back.
	std::vector<EventEntry> events;
	std::vector<TimerEntry> timers;
	events.swap (events_);
	timers.swap (timers_);
	for (const EventEntry& e : events)
		e.handler->release ();
	for (const TimerEntry& t : timers)
		t.handler->release ();
}

tresult PLUGIN_API RunLoop::registerEventHandler (IEventHandler* handler, FileDescriptor fd)
{
	if (handler == nullptr || fd < 0)
		return kInvalidArgument;
	if (refusing_)
	{
		++refused_;
		return kResultFalse;
	}
	if (isRegistered (handler, fd))
		return kResultFalse;
	events_.push_back ({nextSerial_++, handler, fd, false});
	handler->addRef ();
	return kResultOk;
}

tresult PLUGIN_API RunLoop::unregisterEventHandler (IEventHandler* handler)
{
	if (handler == nullptr)
		return kInvalidArgument;
	std::vector<EventEntry> removed;
	for (auto it = events_.begin (); it != events_.end ();)
	{
		if (it->handler == handler)
		{
			removed.push_back (*it);
			it = events_.erase (it);
		}
		else
			++it;
	}
	// Released after the list is consistent again (a release may destroy
	// the handler, whose destructor may call the loop).
	for (const EventEntry& e : removed)
		e.handler->release ();
	return removed.empty () ? kResultFalse : kResultOk;
}

tresult PLUGIN_API RunLoop::registerTimer (ITimerHandler* handler, TimerInterval milliseconds)
{
	if (handler == nullptr || milliseconds == 0)
		return kInvalidArgument;
	if (refusing_)
	{
		++refused_;
		return kResultFalse;
	}
	if (isRegistered (handler))
		return kResultFalse;
	const auto interval = std::chrono::milliseconds (std::min (milliseconds, kMaxInterval));
	timers_.push_back ({nextSerial_++, handler, interval, now () + interval});
	handler->addRef ();
	return kResultOk;
}

tresult PLUGIN_API RunLoop::unregisterTimer (ITimerHandler* handler)
{
	if (handler == nullptr)
		return kInvalidArgument;
	auto it = std::find_if (timers_.begin (), timers_.end (),
	                        [handler] (const TimerEntry& t) { return t.handler == handler; });
	if (it == timers_.end ())
		return kResultFalse;
	timers_.erase (it);
	handler->release ();
	return kResultOk;
}

//------------------------------------------------------------------------
RunLoop::EventEntry* RunLoop::findEvent (uint64_t serial)
{
	for (EventEntry& e : events_)
		if (e.serial == serial)
			return &e;
	return nullptr;
}

RunLoop::TimerEntry* RunLoop::findTimer (uint64_t serial)
{
	for (TimerEntry& t : timers_)
		if (t.serial == serial)
			return &t;
	return nullptr;
}

int RunLoop::runOnce (int timeoutMs)
{
	std::vector<EventEntry> events;
	std::vector<pollfd> fds;
	for (const EventEntry& e : events_)
	{
		if (e.invalid)
			continue;
		events.push_back (e);
		fds.push_back ({e.fd, POLLIN, 0});
	}

	int wait = timeoutMs < 0 ? -1 : timeoutMs;
	if (!timers_.empty ())
	{
		TimePoint next = timers_.front ().due;
		for (const TimerEntry& t : timers_)
			next = std::min (next, t.due);
		const int untilDue = millisecondsUntil (next, now ());
		wait = wait < 0 ? untilDue : std::min (wait, untilDue);
	}
	if (wait < 0 && fds.empty ())
		return 0; // nothing could ever end the wait

	const int ready = ::poll (fds.data (), nfds_t (fds.size ()), wait);
	int calls = 0;
	if (ready > 0)
	{
		for (size_t i = 0; i < fds.size (); ++i)
		{
			const short revents = fds[i].revents;
			if (revents == 0)
				continue;
			EventEntry* entry = findEvent (events[i].serial);
			if (entry == nullptr)
				continue; // unregistered by an earlier callback of this round
			if (revents & POLLNVAL)
			{
				entry->invalid = true;
				continue;
			}
			if (!(revents & (POLLIN | POLLHUP | POLLERR)))
				continue;
			IEventHandler* handler = entry->handler;
			CallReference<IEventHandler> keep (handler);
			++eventCalls_[handler];
			++totalCalls_;
			++calls;
			handler->onFDIsSet (events[i].fd);
		}
	}

	// Timers due now, earliest first (serials keep registration order).
	const TimePoint at = now ();
	std::vector<TimerEntry> due;
	for (const TimerEntry& t : timers_)
		if (t.due <= at)
			due.push_back (t);
	std::sort (due.begin (), due.end (), [] (const TimerEntry& a, const TimerEntry& b) {
		return a.due != b.due ? a.due < b.due : a.serial < b.serial;
	});
	for (const TimerEntry& t : due)
	{
		TimerEntry* entry = findTimer (t.serial);
		if (entry == nullptr)
			continue;
		entry->due += entry->interval;
		if (entry->due <= at)
			entry->due = at + entry->interval; // fell behind: no catch-up burst
		ITimerHandler* handler = entry->handler;
		CallReference<ITimerHandler> keep (handler);
		++timerCalls_[handler];
		++totalCalls_;
		++calls;
		handler->onTimer ();
	}
	return calls;
}

int RunLoop::runFor (int ms)
{
	const auto end = steady_clock::now () + milliseconds (std::max (ms, 0));
	int calls = 0;
	for (;;)
	{
		const int left = millisecondsUntil (end, steady_clock::now ());
		if (left <= 0)
			break;
		calls += runOnce (left);
	}
	return calls;
}

bool RunLoop::runUntil (const std::function<bool ()>& done, int timeoutMs)
{
	const auto end = steady_clock::now () + milliseconds (std::max (timeoutMs, 0));
	for (;;)
	{
		if (done ())
			return true;
		const int left = millisecondsUntil (end, steady_clock::now ());
		if (left <= 0)
			return false;
		runOnce (left);
	}
}

void RunLoop::setClock (Clock clock)
{
	// Due times are moved to the new clock, keeping what is left of each
	// period.
	const TimePoint before = now ();
	clock_ = std::move (clock);
	const TimePoint after = now ();
	for (TimerEntry& t : timers_)
		t.due = after + (t.due - before);
}

//------------------------------------------------------------------------
size_t RunLoop::eventHandlerCount () const
{
	std::set<IEventHandler*> handlers;
	for (const EventEntry& e : events_)
		handlers.insert (e.handler);
	return handlers.size ();
}

bool RunLoop::isRegistered (IEventHandler* handler) const
{
	return std::any_of (events_.begin (), events_.end (),
	                    [handler] (const EventEntry& e) { return e.handler == handler; });
}

bool RunLoop::isRegistered (IEventHandler* handler, FileDescriptor fd) const
{
	return std::any_of (events_.begin (), events_.end (),
	                    [handler, fd] (const EventEntry& e) { return e.handler == handler && e.fd == fd; });
}

bool RunLoop::isRegistered (ITimerHandler* handler) const
{
	return std::any_of (timers_.begin (), timers_.end (),
	                    [handler] (const TimerEntry& t) { return t.handler == handler; });
}

uint64_t RunLoop::callCount (IEventHandler* handler) const
{
	auto it = eventCalls_.find (handler);
	return it == eventCalls_.end () ? 0 : it->second;
}

uint64_t RunLoop::callCount (ITimerHandler* handler) const
{
	auto it = timerCalls_.find (handler);
	return it == timerCalls_.end () ? 0 : it->second;
}

size_t RunLoop::invalidDescriptorCount () const
{
	return size_t (std::count_if (events_.begin (), events_.end (), [] (const EventEntry& e) { return e.invalid; }));
}

tresult PLUGIN_API RunLoop::queryInterface (const TUID iid, void** obj)
{
	if (obj == nullptr)
		return kInvalidArgument;
	if (iid == nullptr)
	{
		*obj = nullptr;
		return kInvalidArgument;
	}
	QUERY_INTERFACE (iid, obj, FUnknown_iid, Linux::IRunLoop)
	QUERY_INTERFACE (iid, obj, Linux::IRunLoop_iid, Linux::IRunLoop)
	*obj = nullptr;
	return kNoInterface;
}

//------------------------------------------------------------------------
tresult PLUGIN_API FunctionEventHandler::queryInterface (const TUID iid, void** obj)
{
	if (obj == nullptr)
		return kInvalidArgument;
	if (iid == nullptr)
	{
		*obj = nullptr;
		return kInvalidArgument;
	}
	QUERY_INTERFACE (iid, obj, FUnknown_iid, IEventHandler)
	QUERY_INTERFACE (iid, obj, Linux::IEventHandler_iid, IEventHandler)
	*obj = nullptr;
	return kNoInterface;
}

tresult PLUGIN_API FunctionTimerHandler::queryInterface (const TUID iid, void** obj)
{
	if (obj == nullptr)
		return kInvalidArgument;
	if (iid == nullptr)
	{
		*obj = nullptr;
		return kInvalidArgument;
	}
	QUERY_INTERFACE (iid, obj, FUnknown_iid, ITimerHandler)
	QUERY_INTERFACE (iid, obj, Linux::ITimerHandler_iid, ITimerHandler)
	*obj = nullptr;
	return kNoInterface;
}

} // namespace Host
} // namespace Tarno
