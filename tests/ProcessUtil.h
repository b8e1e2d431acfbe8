// Raw parameter queues and event lists that hand the processor exactly what
// a test puts in them (unsorted, negative or late offsets included), and a
// driver that runs a Processor through its host calls.
#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <cstdint>
#include <vector>

namespace TarnoTest {

// Interfaces that live on the test's stack: no reference counting.
#define TARNO_TEST_NO_REFCOUNT                                                                      \
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID, void** obj) SMTG_OVERRIDE \
	{                                                                                              \
		*obj = nullptr;                                                                            \
		return Steinberg::kNoInterface;                                                            \
	}                                                                                              \
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return 1; }                             \
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return 1; }

class RawQueue : public Steinberg::Vst::IParamValueQueue
{
public:
	RawQueue (Steinberg::Vst::ParamID id, std::vector<std::pair<Steinberg::int32, double>> points)
	: id (id), points (std::move (points)) {}
	virtual ~RawQueue () = default;

	Steinberg::Vst::ParamID PLUGIN_API getParameterId () SMTG_OVERRIDE { return id; }
	Steinberg::int32 PLUGIN_API getPointCount () SMTG_OVERRIDE { return Steinberg::int32 (points.size ()); }
	Steinberg::tresult PLUGIN_API getPoint (Steinberg::int32 index, Steinberg::int32& offset,
	                                        Steinberg::Vst::ParamValue& value) SMTG_OVERRIDE
	{
		if (index < 0 || index >= getPointCount ())
			return Steinberg::kResultFalse;
		offset = points[size_t (index)].first;
		value = points[size_t (index)].second;
		return Steinberg::kResultOk;
	}
	Steinberg::tresult PLUGIN_API addPoint (Steinberg::int32, Steinberg::Vst::ParamValue, Steinberg::int32&) SMTG_OVERRIDE
	{
		return Steinberg::kResultFalse;
	}
	TARNO_TEST_NO_REFCOUNT

	Steinberg::Vst::ParamID id;
	std::vector<std::pair<Steinberg::int32, double>> points;
};

class RawChanges : public Steinberg::Vst::IParameterChanges
{
public:
	void add (Steinberg::Vst::ParamID id, std::vector<std::pair<Steinberg::int32, double>> points)
	{
		queues.emplace_back (id, std::move (points));
	}
	Steinberg::int32 PLUGIN_API getParameterCount () SMTG_OVERRIDE { return Steinberg::int32 (queues.size ()); }
	Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData (Steinberg::int32 index) SMTG_OVERRIDE
	{
		return index >= 0 && index < getParameterCount () ? &queues[size_t (index)] : nullptr;
	}
	Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData (const Steinberg::Vst::ParamID&,
	                                                               Steinberg::int32&) SMTG_OVERRIDE
	{
		return nullptr;
	}
	TARNO_TEST_NO_REFCOUNT

	std::vector<RawQueue> queues;
};

class RawEvents final : public Steinberg::Vst::IEventList
{
public:
	void noteOn (Steinberg::int32 offset, Steinberg::int16 channel, Steinberg::int16 pitch, float velocity)
	{
		Steinberg::Vst::Event e = {};
		e.type = Steinberg::Vst::Event::kNoteOnEvent;
		e.sampleOffset = offset;
		e.noteOn.channel = channel;
		e.noteOn.pitch = pitch;
		e.noteOn.velocity = velocity;
		events.push_back (e);
	}
	void noteOff (Steinberg::int32 offset, Steinberg::int16 channel, Steinberg::int16 pitch)
	{
		Steinberg::Vst::Event e = {};
		e.type = Steinberg::Vst::Event::kNoteOffEvent;
		e.sampleOffset = offset;
		e.noteOff.channel = channel;
		e.noteOff.pitch = pitch;
		events.push_back (e);
	}
	Steinberg::int32 PLUGIN_API getEventCount () SMTG_OVERRIDE { return Steinberg::int32 (events.size ()); }
	Steinberg::tresult PLUGIN_API getEvent (Steinberg::int32 index, Steinberg::Vst::Event& e) SMTG_OVERRIDE
	{
		if (index < 0 || index >= getEventCount ())
			return Steinberg::kResultFalse;
		e = events[size_t (index)];
		return Steinberg::kResultOk;
	}
	Steinberg::tresult PLUGIN_API addEvent (Steinberg::Vst::Event& e) SMTG_OVERRIDE
	{
		events.push_back (e);
		return Steinberg::kResultOk;
	}
	TARNO_TEST_NO_REFCOUNT

	std::vector<Steinberg::Vst::Event> events;
};

// Lists whose counts lie: they claim `claimed` entries (INT32_MAX unless
// told otherwise) but hold only the given ones, and every read past those
// fails. A reader must stop at the first failed read. Each counts its failed
// reads; past `budget` of them it marks itself overrun and hands out entries
// that lie beyond any block, so that a reader which keeps going runs out
// instead of reading for billions of calls.
class LyingEvents final : public Steinberg::Vst::IEventList
{
public:
	explicit LyingEvents (std::vector<Steinberg::Vst::Event> held, Steinberg::int32 claimed = INT32_MAX)
	: held (std::move (held)), claimed (claimed) {}

	Steinberg::int32 PLUGIN_API getEventCount () SMTG_OVERRIDE { return claimed; }
	Steinberg::tresult PLUGIN_API getEvent (Steinberg::int32 index, Steinberg::Vst::Event& e) SMTG_OVERRIDE
	{
		if (index >= 0 && size_t (index) < held.size ())
		{
			e = held[size_t (index)];
			return Steinberg::kResultOk;
		}
		if (++failedReads > budget)
		{
			overrun = true;
			e = {};
			e.sampleOffset = INT32_MAX;
		}
		return Steinberg::kResultFalse;
	}
	Steinberg::tresult PLUGIN_API addEvent (Steinberg::Vst::Event&) SMTG_OVERRIDE { return Steinberg::kResultFalse; }
	TARNO_TEST_NO_REFCOUNT

	std::vector<Steinberg::Vst::Event> held;
	Steinberg::int32 claimed;
	long budget = 100000;
	long failedReads = 0;
	bool overrun = false;
};

class LyingQueue final : public Steinberg::Vst::IParamValueQueue
{
public:
	LyingQueue (Steinberg::Vst::ParamID id, std::vector<std::pair<Steinberg::int32, double>> held,
	            Steinberg::int32 claimed = INT32_MAX)
	: id (id), held (std::move (held)), claimed (claimed) {}

	Steinberg::Vst::ParamID PLUGIN_API getParameterId () SMTG_OVERRIDE { return id; }
	Steinberg::int32 PLUGIN_API getPointCount () SMTG_OVERRIDE { return claimed; }
	Steinberg::tresult PLUGIN_API getPoint (Steinberg::int32 index, Steinberg::int32& offset,
	                                        Steinberg::Vst::ParamValue& value) SMTG_OVERRIDE
	{
		if (index >= 0 && size_t (index) < held.size ())
		{
			offset = held[size_t (index)].first;
			value = held[size_t (index)].second;
			return Steinberg::kResultOk;
		}
		if (++failedReads > budget)
		{
			overrun = true;
			offset = INT32_MAX;
		}
		return Steinberg::kResultFalse;
	}
	Steinberg::tresult PLUGIN_API addPoint (Steinberg::int32, Steinberg::Vst::ParamValue, Steinberg::int32&) SMTG_OVERRIDE
	{
		return Steinberg::kResultFalse;
	}
	TARNO_TEST_NO_REFCOUNT

	Steinberg::Vst::ParamID id;
	std::vector<std::pair<Steinberg::int32, double>> held;
	Steinberg::int32 claimed;
	long budget = 100000;
	long failedReads = 0;
	bool overrun = false;
};

// Holds the given queues, which may lie themselves.
// The processor skips a missing parameter queue and goes on, but no further
// than this many missing ones in a row.
constexpr long kMostMissingQueuesRead = 64;

class LyingChanges final : public Steinberg::Vst::IParameterChanges
{
public:
	explicit LyingChanges (std::vector<Steinberg::Vst::IParamValueQueue*> held, Steinberg::int32 claimed = INT32_MAX)
	: held (std::move (held)), claimed (claimed) {}

	Steinberg::int32 PLUGIN_API getParameterCount () SMTG_OVERRIDE { return claimed; }
	Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData (Steinberg::int32 index) SMTG_OVERRIDE
	{
		if (index >= 0 && size_t (index) < held.size ())
			return held[size_t (index)];
		if (++failedReads > budget)
		{
			overrun = true;
			return &spent;
		}
		return nullptr;
	}
	Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData (const Steinberg::Vst::ParamID&,
	                                                               Steinberg::int32&) SMTG_OVERRIDE
	{
		return nullptr;
	}
	TARNO_TEST_NO_REFCOUNT

	std::vector<Steinberg::Vst::IParamValueQueue*> held;
	Steinberg::int32 claimed;
	long budget = 100000;
	long failedReads = 0;
	bool overrun = false;

private:
	// What an overrun reader gets: a queue whose only point never comes due.
	RawQueue spent {Steinberg::Vst::kNoParamId, {{INT32_MAX, 0.0}}};
};

// Output buffers for one block: `channels` channels of 32- or 64-bit samples.
struct Block
{
	Block (int channels, int samples, bool doubles = false)
	: f32 (size_t (channels), std::vector<float> (size_t (samples), -7.0f)),
	  f64 (size_t (channels), std::vector<double> (size_t (samples), -7.0))
	{
		for (int c = 0; c < channels; ++c)
		{
			p32.push_back (f32[size_t (c)].data ());
			p64.push_back (f64[size_t (c)].data ());
		}
		bus.numChannels = channels;
		bus.silenceFlags = 0xFFFF;
		if (doubles)
			bus.channelBuffers64 = p64.data ();
		else
			bus.channelBuffers32 = p32.data ();
		data.numSamples = samples;
		data.symbolicSampleSize = doubles ? Steinberg::Vst::kSample64 : Steinberg::Vst::kSample32;
		data.numOutputs = 1;
		data.outputs = &bus;
	}

	std::vector<std::vector<float>> f32;
	std::vector<std::vector<double>> f64;
	std::vector<float*> p32;
	std::vector<double*> p64;
	Steinberg::Vst::AudioBusBuffers bus = {};
	Steinberg::Vst::ProcessData data = {};
};

#undef TARNO_TEST_NO_REFCOUNT

} // namespace TarnoTest
