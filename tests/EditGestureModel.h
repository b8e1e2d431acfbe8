// The host's rules for edit gestures, checked call by call: at most one open
// gesture per parameter, performEdit only inside an open gesture of its own
// parameter with a value in 0..1, endEdit only to close an open gesture.
// StrictComponentHandler is the recording handler with these rules applied
// as the calls arrive, so a broken rule fails the test at the call that
// broke it.
#pragma once

#include "vst3host/HostObjects.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace TarnoTest {

class EditGestureModel
{
public:
	using HandlerCall = Tarno::Host::HandlerCall;
	using ParamID = Steinberg::Vst::ParamID;

	// Takes the next call; returns the rule it breaks, or "" when it keeps
	// them all. Calls other than beginEdit, performEdit and endEdit are
	// not looked at.
	std::string apply (const HandlerCall& c)
	{
		if (c.kind != HandlerCall::Kind::BeginEdit && c.kind != HandlerCall::Kind::PerformEdit &&
		    c.kind != HandlerCall::Kind::EndEdit)
			return {};
		const size_t n = editCalls++;
		const auto it = openedAt.find (c.id);
		const bool isOpen = it != openedAt.end ();
		std::string fault;
		if (c.kind == HandlerCall::Kind::BeginEdit)
		{
			if (isOpen)
				fault = "a second gesture of parameter " + std::to_string (c.id) + " (the first began at edit call " +
				        std::to_string (it->second) + ")";
			else
				openedAt[c.id] = n;
		}
		else if (c.kind == HandlerCall::Kind::PerformEdit)
		{
			if (!isOpen)
				fault = "no open gesture of parameter " + std::to_string (c.id);
			else if (!(c.value >= 0.0 && c.value <= 1.0))
				fault = "value outside 0..1";
		}
		else
		{
			if (isOpen)
				openedAt.erase (it);
			else
				fault = "no open gesture of parameter " + std::to_string (c.id) + " to end";
		}
		return fault.empty () ? fault : "edit call " + std::to_string (n) + ", " + Tarno::Host::describe (c) + ": " + fault;
	}

	// The parameters with an open gesture, in ID order.
	std::vector<ParamID> open () const
	{
		std::vector<ParamID> ids;
		for (const auto& o : openedAt)
			ids.push_back (o.first);
		return ids;
	}

private:
	std::map<ParamID, size_t> openedAt; // parameter -> number of the edit call that began its gesture
	size_t editCalls = 0;
};

// Records like its base and fails the running test (non-fatally) at each
// edit call that breaks the model's rules. For calls from one thread.
class StrictComponentHandler : public Tarno::Host::RecordingComponentHandler
{
public:
	using Base = Tarno::Host::RecordingComponentHandler;
	using HandlerCall = Tarno::Host::HandlerCall;
	using ParamID = Steinberg::Vst::ParamID;

	Steinberg::tresult PLUGIN_API beginEdit (ParamID id) override
	{
		check (HandlerCall::Kind::BeginEdit, id);
		const Steinberg::tresult r = Base::beginEdit (id);
		called (HandlerCall::Kind::BeginEdit);
		return r;
	}
	Steinberg::tresult PLUGIN_API performEdit (ParamID id, Steinberg::Vst::ParamValue value) override
	{
		check (HandlerCall::Kind::PerformEdit, id, value);
		const Steinberg::tresult r = Base::performEdit (id, value);
		called (HandlerCall::Kind::PerformEdit);
		return r;
	}
	Steinberg::tresult PLUGIN_API endEdit (ParamID id) override
	{
		check (HandlerCall::Kind::EndEdit, id);
		const Steinberg::tresult r = Base::endEdit (id);
		called (HandlerCall::Kind::EndEdit);
		return r;
	}
	Steinberg::tresult PLUGIN_API setDirty (Steinberg::TBool state) override
	{
		const Steinberg::tresult r = Base::setDirty (state);
		called (HandlerCall::Kind::SetDirty);
		return r;
	}

	// Called after each call is recorded, as a host's reaction to it.
	std::function<void (HandlerCall::Kind)> onCall;

	std::vector<ParamID> openGestures () const { return model.open (); }
	int faults () const { return faultCount; }

private:
	void called (HandlerCall::Kind kind)
	{
		if (onCall)
			onCall (kind);
	}
	void check (HandlerCall::Kind kind, ParamID id, double value = 0.0)
	{
		HandlerCall c;
		c.kind = kind;
		c.id = id;
		c.value = value;
		const std::string fault = model.apply (c);
		if (!fault.empty ())
		{
			++faultCount;
			ADD_FAILURE () << "edit gesture rule broken at " << fault;
		}
	}

	EditGestureModel model;
	int faultCount = 0;
};

// The edit calls among `calls`, and the calls of one complete gesture that
// sets parameter id to v.
inline std::vector<Tarno::Host::HandlerCall> editCalls (const std::vector<Tarno::Host::HandlerCall>& calls)
{
	using Kind = Tarno::Host::HandlerCall::Kind;
	std::vector<Tarno::Host::HandlerCall> out;
	for (const Tarno::Host::HandlerCall& c : calls)
		if (c.kind == Kind::BeginEdit || c.kind == Kind::PerformEdit || c.kind == Kind::EndEdit)
			out.push_back (c);
	return out;
}

inline std::vector<Tarno::Host::HandlerCall> gestureCalls (Steinberg::Vst::ParamID id, double v)
{
	using Kind = Tarno::Host::HandlerCall::Kind;
	Tarno::Host::HandlerCall b, p, e;
	b.kind = Kind::BeginEdit;
	p.kind = Kind::PerformEdit;
	e.kind = Kind::EndEdit;
	b.id = p.id = e.id = id;
	p.value = v;
	return {b, p, e};
}

} // namespace TarnoTest
