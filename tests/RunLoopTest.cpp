// The host's Linux run loop and view frame: registration rules, references
// held on handlers, descriptor and timer dispatch, callbacks that change the
// registrations, a loop that refuses, and a frame with and without a loop.
#ifndef _WIN32

#include "vst3host/PlugFrame.h"
#include "vst3host/RunLoop.h"

#include "public.sdk/source/common/pluginview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

using namespace Tarno::Host;
using namespace Steinberg;
using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

namespace {

struct Pipe
{
	int ends[2] = {-1, -1};
	int& read = ends[0];
	int& write = ends[1];
	Pipe () { EXPECT_EQ (::pipe (ends), 0); }
	~Pipe () { closeBoth (); }
	void put () { EXPECT_EQ (::write (write, "x", 1), 1); }
	void take ()
	{
		char c;
		EXPECT_EQ (::read (read, &c, 1), 1);
	}
	static void closeEnd (int& fd)
	{
		if (fd >= 0)
			::close (fd);
		fd = -1;
	}
	void closeWrite () { closeEnd (write); }
	void closeBoth ()
	{
		closeEnd (write);
		closeEnd (read);
	}
};

// A handler that deletes itself when its last reference goes, as a
// plug-in's handlers do.
class OwnedHandler : public FunctionEventHandler
{
public:
	uint32 PLUGIN_API release () override
	{
		const uint32 left = FunctionEventHandler::release ();
		if (left == 0)
			delete this;
		return left;
	}
};

//------------------------------------------------------------------------
TEST (RunLoop, RegistrationRulesReferencesAndRefusing)
{
	Pipe p0, p1;
	FunctionEventHandler a, b;
	FunctionTimerHandler t, u;
	{
		RunLoop loop;
		enum Op { RegE, UnregE, RegT, UnregT, Refuse, Accept };
		struct Step
		{
			Op op;
			char who; // 'a', 'b', 't', 'u' or '0' (null)
			int arg;  // descriptor (0/1: p0/p1, -1: invalid) or milliseconds
			tresult result;
			size_t registrations, handlers, timers;
		} steps[] = {
		    {RegE, '0', 0, kInvalidArgument, 0, 0, 0}, {RegE, 'a', -1, kInvalidArgument, 0, 0, 0},
		    {RegE, 'a', 0, kResultOk, 1, 1, 0},         {RegE, 'a', 0, kResultFalse, 1, 1, 0},
		    {RegE, 'a', 1, kResultOk, 2, 1, 0},         {RegE, 'b', 0, kResultOk, 3, 2, 0},
		    {RegT, '0', 10, kInvalidArgument, 3, 2, 0}, {RegT, 't', 0, kInvalidArgument, 3, 2, 0},
		    {RegT, 't', 10, kResultOk, 3, 2, 1},        {RegT, 't', 20, kResultFalse, 3, 2, 1},
		    {RegT, 'u', ~0, kResultOk, 3, 2, 2},        {UnregE, '0', 0, kInvalidArgument, 3, 2, 2},
		    {UnregE, 'a', 0, kResultOk, 1, 1, 2},       {UnregE, 'a', 0, kResultFalse, 1, 1, 2},
		    {UnregT, '0', 0, kInvalidArgument, 1, 1, 2}, {UnregT, 't', 0, kResultOk, 1, 1, 1},
		    {UnregT, 't', 0, kResultFalse, 1, 1, 1},    {Refuse, '0', 0, kResultOk, 1, 1, 1},
		    {RegE, 'a', 1, kResultFalse, 1, 1, 1},      {RegT, 't', 10, kResultFalse, 1, 1, 1},
		    {RegT, 't', 0, kInvalidArgument, 1, 1, 1},  {UnregT, 'u', 0, kResultOk, 1, 1, 0},
		    {Accept, '0', 0, kResultOk, 1, 1, 0},       {RegE, 'a', 1, kResultOk, 2, 2, 0},
		    {RegT, 'u', 5, kResultOk, 2, 2, 1},
		};
		auto event = [&] (char who) { return who == 'a' ? &a : who == 'b' ? &b : nullptr; };
		auto timer = [&] (char who) { return who == 't' ? &t : who == 'u' ? &u : nullptr; };
		for (const Step& s : steps)
		{
			SCOPED_TRACE (std::string (1, s.who) + " op " + std::to_string (s.op) + " arg " + std::to_string (s.arg));
			const int fd = s.arg < 0 ? -1 : s.arg == 0 ? p0.read : p1.read;
			tresult r = kResultOk;
			switch (s.op)
			{
				case RegE: r = loop.registerEventHandler (event (s.who), fd); break;
				case UnregE: r = loop.unregisterEventHandler (event (s.who)); break;
				case RegT: r = loop.registerTimer (timer (s.who), TimerInterval (unsigned (s.arg))); break;
				case UnregT: r = loop.unregisterTimer (timer (s.who)); break;
				case Refuse: loop.setRefusing (true); break;
				case Accept: loop.setRefusing (false); break;
			}
			EXPECT_EQ (r, s.result);
			EXPECT_EQ (loop.eventRegistrationCount (), s.registrations);
			EXPECT_EQ (loop.eventHandlerCount (), s.handlers);
			EXPECT_EQ (loop.timerCount (), s.timers);
			// One reference per registration, on top of the owner's.
			EXPECT_EQ (a.referenceCount (), 1u + loop.isRegistered (&a, p0.read) + loop.isRegistered (&a, p1.read));
			EXPECT_EQ (b.referenceCount (), 1u + loop.isRegistered (&b, p0.read) + loop.isRegistered (&b, p1.read));
			EXPECT_EQ (t.referenceCount (), 1u + loop.isRegistered (&t));
			EXPECT_EQ (u.referenceCount (), 1u + loop.isRegistered (&u));
		}
		EXPECT_EQ (loop.refusedCount (), 2u);
	}
	// The loop released what was still registered (a, b and u).
	for (uint32 refs : {a.referenceCount (), b.referenceCount (), t.referenceCount (), u.referenceCount ()})
		EXPECT_EQ (refs, 1u);
}

//------------------------------------------------------------------------
TEST (RunLoop, DescriptorDispatch)
{
	Pipe p0, p1;
	std::vector<std::string> calls;
	FunctionEventHandler a ([&] (int fd) {
		calls.push_back (fd == p0.read ? "a0" : fd == p1.read ? "a1" : "a?");
		// During a call the loop holds one more reference.
		EXPECT_EQ (a.referenceCount (), 4u);
	});
	FunctionEventHandler b ([&] (int) { calls.push_back ("b0"); });
	RunLoop loop;
	ASSERT_EQ (loop.registerEventHandler (&a, p0.read), kResultOk);
	ASSERT_EQ (loop.registerEventHandler (&a, p1.read), kResultOk);
	ASSERT_EQ (loop.registerEventHandler (&b, p0.read), kResultOk);

	EXPECT_EQ (loop.runOnce (0), 0);
	p1.put ();
	EXPECT_EQ (loop.runOnce (5000), 1);
	EXPECT_EQ (calls, (std::vector<std::string> {"a1"}));
	p1.take ();
	p0.put ();
	EXPECT_EQ (loop.runOnce (5000), 2); // both handlers of the descriptor
	EXPECT_EQ (calls, (std::vector<std::string> {"a1", "a0", "b0"}));
	EXPECT_EQ (loop.callCount (&a), 2u);
	EXPECT_EQ (loop.callCount (&b), 1u);
	EXPECT_EQ (a.referenceCount (), 3u);

	// Unread data keeps the descriptor ready; after reading, nothing is ready.
	EXPECT_EQ (loop.runOnce (0), 2);
	p0.take ();
	EXPECT_EQ (loop.runOnce (0), 0);

	// The other end closed: the handler is called to read the end.
	p1.closeWrite ();
	calls.clear ();
	EXPECT_EQ (loop.runOnce (5000), 1);
	EXPECT_EQ (calls, (std::vector<std::string> {"a1"}));

	// A descriptor closed while registered is no longer waited on.
	ASSERT_EQ (loop.unregisterEventHandler (&b), kResultOk);
	p0.closeBoth ();
	calls.clear ();
	loop.runOnce (0);
	EXPECT_EQ (loop.invalidDescriptorCount (), 1u);
	ASSERT_EQ (loop.unregisterEventHandler (&a), kResultOk);
	EXPECT_EQ (loop.runOnce (10), 0);
	EXPECT_EQ (loop.invalidDescriptorCount (), 0u);
	EXPECT_EQ (a.referenceCount (), 1u);
}

TEST (RunLoop, TimersFireByPeriodEarliestFirstWithoutCatchUp)
{
	std::string order;
	FunctionTimerHandler a ([&] { order += 'a'; }), b ([&] { order += 'b'; }), c ([&] { order += 'c'; });
	RunLoop loop;
	TimePoint now {};
	loop.setClock ([&now] { return now; });
	ASSERT_EQ (loop.registerTimer (&a, 10), kResultOk);
	ASSERT_EQ (loop.registerTimer (&b, 25), kResultOk);
	ASSERT_EQ (loop.registerTimer (&c, 10), kResultOk);

	// 5 ms steps to 50 ms: a and c at 10, 20, 30, 40, 50; b at 25 and 50.
	for (int t = 5; t <= 50; t += 5)
	{
		now += milliseconds (5);
		loop.runOnce (0);
		order += '|';
	}
	EXPECT_EQ (order, "|ac||ac|b|ac||ac||abc|");
	EXPECT_EQ (loop.callCount (&a), 5u);
	EXPECT_EQ (loop.callCount (&b), 2u);

	// At 85 ms a and c (due at 60) are more than a period late: one call
	// each, then their period runs on from now (95). b (due at 75) is less
	// than a period late and keeps its phase (100).
	order.clear ();
	now += milliseconds (35);
	EXPECT_EQ (loop.runOnce (0), 3);
	EXPECT_EQ (order, "acb");
	now += milliseconds (9);
	EXPECT_EQ (loop.runOnce (0), 0);
	now += milliseconds (1);
	EXPECT_EQ (loop.runOnce (0), 2);
	now += milliseconds (5);
	order.clear ();
	EXPECT_EQ (loop.runOnce (0), 1);
	EXPECT_EQ (order, "b");
	EXPECT_EQ (loop.totalCallCount (), 18u);
}

TEST (RunLoop, RealTimerFiresWithinAGenerousBound)
{
	FunctionTimerHandler t;
	RunLoop loop;
	ASSERT_EQ (loop.registerTimer (&t, 10), kResultOk);
	EXPECT_TRUE (loop.runUntil ([&] { return loop.callCount (&t) >= 2; }, 10000));
	EXPECT_FALSE (loop.runUntil ([] { return false; }, 1));
}

//------------------------------------------------------------------------
// Two handlers on one ready descriptor and a timer due in every round; one
// of them changes the registrations in its first callback.
TEST (RunLoop, CallbacksMayChangeTheRegistrations)
{
	enum Action { UnregisterSelf, UnregisterY, UnregisterTimer, RegisterZ, ReRegisterSelf, TimerUnregistersX };
	struct Case
	{
		const char* name;
		Action action;
		// Calls of x, y, the timer and z after round 1 and after round 2.
		int round1[4], round2[4];
	} cases[] = {
	    {"x unregisters itself", UnregisterSelf, {1, 1, 1, 0}, {1, 2, 2, 0}},
	    {"x unregisters y", UnregisterY, {1, 0, 1, 0}, {2, 0, 2, 0}},
	    {"x unregisters the timer", UnregisterTimer, {1, 1, 0, 0}, {2, 2, 0, 0}},
	    {"x registers z", RegisterZ, {1, 1, 1, 0}, {2, 2, 2, 1}},
	    {"x registers itself anew", ReRegisterSelf, {1, 1, 1, 0}, {2, 2, 2, 0}},
	    {"the timer unregisters x", TimerUnregistersX, {1, 1, 1, 0}, {1, 2, 2, 0}},
	};
	for (const Case& k : cases)
	{
		SCOPED_TRACE (k.name);
		Pipe p;
		p.put (); // never read: ready in every round
		FunctionEventHandler x, y, z;
		FunctionTimerHandler t;
		{
			RunLoop loop;
			TimePoint now {};
			loop.setClock ([&now] { return now; });
			bool acted = false;
			auto act = [&] {
				if (acted)
					return;
				acted = true;
				switch (k.action)
				{
					case UnregisterSelf: EXPECT_EQ (loop.unregisterEventHandler (&x), kResultOk); break;
					case UnregisterY: EXPECT_EQ (loop.unregisterEventHandler (&y), kResultOk); break;
					case UnregisterTimer: EXPECT_EQ (loop.unregisterTimer (&t), kResultOk); break;
					case RegisterZ: EXPECT_EQ (loop.registerEventHandler (&z, p.read), kResultOk); break;
					case ReRegisterSelf:
						EXPECT_EQ (loop.unregisterEventHandler (&x), kResultOk);
						EXPECT_EQ (loop.registerEventHandler (&x, p.read), kResultOk);
						break;
					case TimerUnregistersX: EXPECT_EQ (loop.unregisterEventHandler (&x), kResultOk); break;
				}
			};
			if (k.action == TimerUnregistersX)
				t.setFunction (act);
			else
				x.setFunction ([&] (int) { act (); });
			ASSERT_EQ (loop.registerEventHandler (&x, p.read), kResultOk);
			ASSERT_EQ (loop.registerEventHandler (&y, p.read), kResultOk);
			ASSERT_EQ (loop.registerTimer (&t, 10), kResultOk);
			for (const int* expected : {k.round1, k.round2})
			{
				now += milliseconds (10);
				loop.runOnce (0);
				EXPECT_EQ (loop.callCount (&x), uint64_t (expected[0]));
				EXPECT_EQ (loop.callCount (&y), uint64_t (expected[1]));
				EXPECT_EQ (loop.callCount (&t), uint64_t (expected[2]));
				EXPECT_EQ (loop.callCount (&z), uint64_t (expected[3]));
			}
		}
		for (FunctionEventHandler* h : {&x, &y, &z})
			EXPECT_EQ (h->referenceCount (), 1u);
		EXPECT_EQ (t.referenceCount (), 1u);
	}
}

// A handler whose last reference the loop holds, unregistered (and so
// destroyed) by another handler's callback in the same round.
TEST (RunLoop, HandlerDestroyedByAnEarlierCallbackIsNotCalled)
{
	Pipe p;
	p.put ();
	FunctionEventHandler killer;
	RunLoop loop;
	auto* victim = new OwnedHandler;
	int victimCalls = 0;
	victim->setFunction ([&] (int) { ++victimCalls; });
	killer.setFunction ([&] (int) { loop.unregisterEventHandler (victim); });
	ASSERT_EQ (loop.registerEventHandler (&killer, p.read), kResultOk);
	ASSERT_EQ (loop.registerEventHandler (victim, p.read), kResultOk);
	victim->release (); // the loop's reference is the last one now
	EXPECT_EQ (loop.runOnce (0), 1);
	EXPECT_EQ (victimCalls, 0);
	EXPECT_EQ (loop.eventRegistrationCount (), 1u);
}

//------------------------------------------------------------------------
// A view that records onSize and can ask its frame again from inside it.
class FakeView : public CPluginView
{
public:
	std::vector<ViewRect> sizes;
	bool resizeAgain = false;
	tresult onSizeResult = kResultOk;

	tresult PLUGIN_API onSize (ViewRect* r) override
	{
		sizes.push_back (*r);
		if (resizeAgain)
		{
			ViewRect other (0, 0, 1, 1);
			EXPECT_EQ (plugFrame->resizeView (this, &other), kResultFalse);
		}
		return onSizeResult;
	}
};

TEST (PlugFrame, AnswersForTheRunLoopOnlyWhenItHasOne)
{
	for (bool withLoop : {true, false})
	{
		SCOPED_TRACE (withLoop ? "with a loop" : "without a loop");
		RunLoop loop;
		PlugFrame frame (withLoop ? &loop : nullptr);
		void* obj = &frame;
		EXPECT_EQ (frame.queryInterface (Linux::IRunLoop_iid, &obj), withLoop ? kResultOk : kNoInterface);
		EXPECT_EQ (obj, withLoop ? static_cast<Linux::IRunLoop*> (&loop) : nullptr);
		EXPECT_EQ (loop.referenceCount (), withLoop ? 2u : 1u);
		if (withLoop)
			static_cast<Linux::IRunLoop*> (obj)->release ();
		EXPECT_EQ (frame.runLoopQueries (), 1);

		EXPECT_EQ (frame.queryInterface (IPlugFrame_iid, &obj), kResultOk);
		EXPECT_EQ (obj, static_cast<IPlugFrame*> (&frame));
		EXPECT_EQ (frame.queryInterface (FUnknown_iid, &obj), kResultOk);
		EXPECT_EQ (frame.referenceCount (), 3u);
		EXPECT_EQ (frame.queryInterface (Linux::ITimerHandler_iid, &obj), kNoInterface);
		EXPECT_EQ (obj, nullptr);
		EXPECT_EQ (frame.queryInterface (IPlugFrame_iid, nullptr), kInvalidArgument);
	}
}

TEST (PlugFrame, ResizeRequests)
{
	enum Function { None, Accepts, Refuses };
	struct Case
	{
		const char* name;
		bool honour;
		Function function;
		ViewRect request;
		tresult onSizeResult, result;
		size_t recorded, onSizeCalls, functionCalls;
	} cases[] = {
	    {"honoured", true, None, ViewRect (10, 20, 410, 320), kResultOk, kResultOk, 1, 1, 0},
	    {"view refuses the size", true, None, ViewRect (0, 0, 50, 50), kResultFalse, kResultFalse, 1, 1, 0},
	    {"function accepts", true, Accepts, ViewRect (0, 0, 400, 300), kResultOk, kResultOk, 1, 1, 1},
	    {"function refuses", true, Refuses, ViewRect (0, 0, 400, 300), kResultOk, kResultFalse, 1, 0, 1},
	    {"recorded only", false, Accepts, ViewRect (0, 0, 400, 300), kResultOk, kResultOk, 1, 0, 1},
	    {"negative width", true, Accepts, ViewRect (10, 0, 5, 300), kResultOk, kInvalidArgument, 0, 0, 0},
	    {"empty size", true, None, ViewRect (3, 3, 3, 3), kResultOk, kResultOk, 1, 1, 0},
	};
	for (const Case& k : cases)
	{
		SCOPED_TRACE (k.name);
		PlugFrame frame;
		FakeView view;
		view.onSizeResult = k.onSizeResult;
		frame.setHonourResize (k.honour);
		std::vector<ViewRect> given;
		if (k.function != None)
			frame.setResizeFunction ([&] (IPlugView* v, const ViewRect& r) {
				EXPECT_EQ (v, &view);
				given.push_back (r);
				return k.function == Accepts;
			});
		ViewRect request = k.request;
		EXPECT_EQ (frame.resizeView (&view, &request), k.result);
		ASSERT_EQ (frame.resizeRequests ().size (), k.recorded);
		if (k.recorded)
		{
			EXPECT_EQ (frame.resizeRequests ()[0].view, &view);
			EXPECT_EQ (frame.resizeRequests ()[0].size.left, k.request.left);
		}
		ASSERT_EQ (view.sizes.size (), k.onSizeCalls);
		ASSERT_EQ (given.size (), k.functionCalls);
		// The view and the function get the size at the origin.
		for (const ViewRect& r : view.sizes)
			EXPECT_TRUE (r.left == 0 && r.top == 0 && r.getWidth () == k.request.getWidth () &&
			             r.getHeight () == k.request.getHeight ());
		for (const ViewRect& r : given)
			EXPECT_TRUE (r.left == 0 && r.top == 0 && r.getWidth () == k.request.getWidth ());
	}

	PlugFrame frame;
	FakeView view;
	ViewRect r (0, 0, 10, 10);
	EXPECT_EQ (frame.resizeView (nullptr, &r), kInvalidArgument);
	EXPECT_EQ (frame.resizeView (&view, nullptr), kInvalidArgument);
	// A request from inside the onSize the frame is calling: recorded, refused.
	view.setFrame (&frame);
	view.resizeAgain = true;
	EXPECT_EQ (frame.resizeView (&view, &r), kResultOk);
	EXPECT_EQ (frame.resizeRequests ().size (), 2u);
	EXPECT_EQ (view.sizes.size (), 1u);
}

} // namespace

#endif // _WIN32
