#include "formats/vst3/Processor.h"

#include "formats/vst3/ClassIds.h"
#include "formats/vst3/StateBlob.h"

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Tarno {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr double kTailSeconds = 5.1;
constexpr int32 kMaxQueues = 128;
// A host's list holds one queue per changed parameter, so a few hundred
// indices at most. A list that claims far more, or gives nothing for a long
// run of indices, is not walked to its claimed end: the walk stays bounded
// however large getParameterCount says it is.
constexpr int32 kMaxQueueIndices = 4096;
constexpr int32 kMaxMissingQueuesInARow = 64;
// The longest run the engine renders in one call (a buffer on the stack).
constexpr int32 kRunSamples = 256;

// The position of process() in one parameter queue.
struct QueueCursor
{
	IParamValueQueue* queue;
	int32 pointIndex;
	int32 pointCount;
	int32 sampleOffset;
	ParamValue value;
};

} // namespace

Processor::Processor ()
{
	setControllerClass (controllerID);
	for (int32 i = 0; i < kNumParams; ++i)
		published[i].store (engine.targetValues ()[i], std::memory_order_relaxed);
}

FUnknown* Processor::create (void* /*context*/)
{
	return static_cast<IAudioProcessor*> (new Processor);
}

tresult PLUGIN_API Processor::queryInterface (const TUID iid, void** obj)
{
	if (iid == nullptr || obj == nullptr)
		return kInvalidArgument;
	return AudioEffect::queryInterface (iid, obj);
}

tresult PLUGIN_API Processor::initialize (FUnknown* context)
{
	// The SDK's base only refuses a second call when the first had a context.
	if (initialized)
		return kResultFalse;
	const tresult result = AudioEffect::initialize (context);
	if (result != kResultOk)
		return result;
	initialized = true;
	// Bus creation allocates and can throw; nothing may escape.
	try
	{
		addAudioOutput (STR16 ("Stereo"), SpeakerArr::kStereo);
		addEventInput (STR16 ("MIDI"), 16);
	}
	catch (...)
	{
		terminate ();
		return kOutOfMemory;
	}
	return result;
}

tresult PLUGIN_API Processor::terminate ()
{
	initialized = false;
	peer.clear ();
	return AudioEffect::terminate ();
}

tresult PLUGIN_API Processor::connect (IConnectionPoint* other)
{
	return peer.connect (other);
}

tresult PLUGIN_API Processor::disconnect (IConnectionPoint* other)
{
	return peer.disconnect (other);
}

tresult PLUGIN_API Processor::notify (IMessage* message)
{
	return answerMessage (message);
}

tresult PLUGIN_API Processor::setActive (TBool state)
{
	engine.reset ();
	return AudioEffect::setActive (state);
}

tresult PLUGIN_API Processor::setBusArrangements (SpeakerArrangement* /*inputs*/, int32 numIns,
                                                  SpeakerArrangement* outputs, int32 numOuts)
{
	if (numIns != 0 || numOuts != 1 || outputs == nullptr)
		return kResultFalse;
	if (outputs[0] != SpeakerArr::kStereo && outputs[0] != SpeakerArr::kMono)
		return kResultFalse;
	AudioBus* bus = getAudioOutput (0);
	if (bus == nullptr)
		return kResultFalse;
	bus->setArrangement (outputs[0]);
	return kResultTrue;
}

tresult PLUGIN_API Processor::canProcessSampleSize (int32 symbolicSampleSize)
{
	return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Processor::setupProcessing (ProcessSetup& setup)
{
	engine.prepare (setup.sampleRate);
	return AudioEffect::setupProcessing (setup);
}

tresult PLUGIN_API Processor::setProcessing (TBool /*state*/)
{
	engine.reset ();
	return kResultOk;
}

uint32 PLUGIN_API Processor::getTailSamples ()
{
	// The host's rate as stored, not the engine's raised one. The double
	// nearest 5.1 makes 44100 Hz give 224909, not 224910.
	// The largest answer is one below kInfiniteTail, which hosts read as a
	// tail that never ends.
	constexpr uint32 kLongestTail = kInfiniteTail - 1;
	const double samples = kTailSeconds * processSetup.sampleRate;
	if (!(samples >= 0.0))
		return 0;
	if (samples >= double (kLongestTail))
		return kLongestTail;
	return static_cast<uint32> (samples);
}

// getState gives what plays next: a restore the audio thread has not taken
// yet, otherwise the values the audio thread applied last.
tresult PLUGIN_API Processor::getState (IBStream* state)
{
	ParamBlock values;
	{
		std::lock_guard<std::mutex> lock (stateLock);
		if (appliedRestore.load (std::memory_order_acquire) != postedRestore)
			values = newestRestore;
		else
			for (int32 i = 0; i < kNumParams; ++i)
				values[i] = published[i].load (std::memory_order_relaxed);
	}
	return writeState (state, values);
}

tresult PLUGIN_API Processor::setState (IBStream* state)
{
	if (state == nullptr)
		return kResultFalse;
	ParamBlock scratch;
	if (!readState (state, scratch))
		return kResultFalse;
	// The audio thread takes the block at its next block boundary and
	// publishes it; until then getState reports it from here.
	std::lock_guard<std::mutex> lock (stateLock);
	newestRestore = scratch;
	restored.post (scratch, ++postedRestore);
	return kResultOk;
}

void Processor::takeRestoredState ()
{
	ParamBlock values;
	uint64_t number = 0;
	if (!restored.take (values, number))
		return;
	// Restored values sound at once, without a smoothing ramp.
	engine.setParametersNow (values);
	for (int32 i = 0; i < kNumParams; ++i)
		published[i].store (values[i], std::memory_order_relaxed);
	appliedRestore.store (number, std::memory_order_release);
}

void Processor::applyParameter (ParamID id, double value)
{
	engine.setParameter (static_cast<int32> (id), value);
	if (id < static_cast<ParamID> (kNumParams))
		published[id].store (value, std::memory_order_relaxed);
}

tresult PLUGIN_API Processor::process (ProcessData& data)
{
	if (data.numSamples < 0)
	{
		if (data.numOutputs > 0 && data.outputs != nullptr)
			data.outputs[0].silenceFlags = 0;
		return kResultOk;
	}
	takeRestoredState ();

	// 1. One cursor per parameter queue with points, at most 128.
	QueueCursor cursors[kMaxQueues] = {};
	int32 cursorCount = 0;
	if (IParameterChanges* changes = data.inputParameterChanges)
	{
		const int32 queueCount = std::min (changes->getParameterCount (), kMaxQueueIndices);
		int32 missingInARow = 0;
		for (int32 index = 0; index < queueCount && cursorCount < kMaxQueues; ++index)
		{
			// A queue the list fails to give is skipped; the later ones
			// still count.
			IParamValueQueue* queue = changes->getParameterData (index);
			if (queue == nullptr)
			{
				if (++missingInARow == kMaxMissingQueuesInARow)
					break;
				continue;
			}
			missingInARow = 0;
			const int32 points = queue->getPointCount ();
			if (points <= 0)
				continue;
			QueueCursor& cursor = cursors[cursorCount];
			cursor.queue = queue;
			cursor.pointCount = points;
			if (queue->getPoint (0, cursor.sampleOffset, cursor.value) == kResultOk)
				++cursorCount;
		}
	}

	// Applies every point of every cursor due at or before `sample`, in
	// collection order; returns the offset of the earliest point left.
	auto applyPointsUpTo = [&] (int32 sample) {
		int32 next = std::numeric_limits<int32>::max ();
		for (int32 c = 0; c < cursorCount; ++c)
		{
			QueueCursor& cursor = cursors[c];
			while (cursor.pointIndex < cursor.pointCount && cursor.sampleOffset <= sample)
			{
				applyParameter (cursor.queue->getParameterId (), clampNormalized (cursor.value));
				// A queue that fails to give a point it counted ends there.
				if (++cursor.pointIndex < cursor.pointCount &&
				    cursor.queue->getPoint (cursor.pointIndex, cursor.sampleOffset, cursor.value) != kResultOk)
					cursor.pointCount = cursor.pointIndex;
			}
			if (cursor.pointIndex < cursor.pointCount && cursor.sampleOffset < next)
				next = cursor.sampleOffset;
		}
		return next;
	};

	// A flush: only the points at offset 0 or before; no events, no audio.
	if (data.numSamples == 0)
	{
		applyPointsUpTo (0);
		return kResultOk;
	}

	// 2. The events, consumed strictly in list order.
	Event event = {};
	int32 eventIndex = 0;
	int32 eventCount = 0;
	IEventList* events = data.inputEvents;
	if (events != nullptr)
	{
		eventCount = events->getEventCount ();
		if (eventCount > 0 && events->getEvent (0, event) != kResultOk)
			eventCount = 0;
	}

	AudioBusBuffers* out = data.numOutputs > 0 && data.outputs != nullptr ? &data.outputs[0] : nullptr;
	const int32 channels = out != nullptr && out->numChannels > 0 ? out->numChannels : 0;
	const bool write32 = channels > 0 && data.symbolicSampleSize == kSample32 && out->channelBuffers32 != nullptr;
	const bool write64 = channels > 0 && data.symbolicSampleSize == kSample64 && out->channelBuffers64 != nullptr;

	// 3. Run by run: the points and events due at a sample, then every sample
	// up to the next point or event in one call of the engine.
	double run[kRunSamples];
	int32 nextPoint = cursorCount > 0 ? std::numeric_limits<int32>::min () : std::numeric_limits<int32>::max ();
	for (int32 s = 0; s < data.numSamples;)
	{
		if (nextPoint <= s)
			nextPoint = applyPointsUpTo (s);

		while (eventIndex < eventCount && event.sampleOffset <= s)
		{
			if (event.type == Event::kNoteOnEvent)
				engine.noteOn (event.noteOn.channel, event.noteOn.pitch, event.noteOn.velocity);
			else if (event.type == Event::kNoteOffEvent)
				engine.noteOff (event.noteOff.channel, event.noteOff.pitch);
			// A list that fails to give an event it counted ends there.
			if (++eventIndex < eventCount && events->getEvent (eventIndex, event) != kResultOk)
				eventCount = eventIndex;
		}

		// Everything due at s is applied, so the next point and the next
		// event both lie beyond s.
		int32 end = std::min (data.numSamples, s + kRunSamples);
		end = std::min (end, nextPoint);
		if (eventIndex < eventCount)
			end = std::min (end, event.sampleOffset);
		const int32 count = end - s;
		engine.render (run, count);
		if (write32)
		{
			for (int32 c = 0; c < channels; ++c)
				if (Sample32* buffer = out->channelBuffers32[c])
					for (int32 i = 0; i < count; ++i)
						buffer[s + i] = static_cast<Sample32> (run[i]);
		}
		else if (write64)
		{
			for (int32 c = 0; c < channels; ++c)
				if (Sample64* buffer = out->channelBuffers64[c])
					std::copy (run, run + count, buffer + s);
		}
		s = end;
	}

	if (out != nullptr)
		out->silenceFlags = 0;
	return kResultOk;
}

} // namespace Tarno
