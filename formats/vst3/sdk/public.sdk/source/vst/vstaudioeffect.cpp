// Audio-effect base class: bus creation and the default IAudioProcessor
// behaviour (see vstaudioeffect.h).

#include "public.sdk/source/vst/vstaudioeffect.h"

namespace Steinberg {
namespace Vst {

namespace {

// Appends a newly created bus to a bus list; the list takes the creation
// reference, so the bus lives exactly as long as the list holds it.
template <class BusClass>
BusClass* appendBus (BusList& list, BusClass* bus)
{
	list.push_back (owned (static_cast<Bus*> (bus)));
	return bus;
}

template <class BusClass>
BusClass* busAt (BusList& list, int32 index)
{
	if (index < 0 || index >= static_cast<int32> (list.size ()))
		return nullptr;
	return FCast<BusClass> (list[static_cast<size_t> (index)].get ());
}

// Sets the arrangement of every audio bus in the list, in order. The caller
// has checked that `arrangements` holds one entry per bus.
void applyArrangements (BusList& list, const SpeakerArrangement* arrangements)
{
	for (size_t i = 0; i < list.size (); ++i)
	{
		if (AudioBus* bus = FCast<AudioBus> (list[i].get ()))
			bus->setArrangement (arrangements[i]);
	}
}

} // namespace

AudioEffect::AudioEffect ()
{
	processSetup.processMode = kRealtime;
	processSetup.symbolicSampleSize = kSample32;
	processSetup.maxSamplesPerBlock = 1024;
	processSetup.sampleRate = 44100.0;
}

AudioBus* AudioEffect::addAudioInput (const TChar* name, SpeakerArrangement arr, BusType busType,
                                      int32 flags)
{
	return appendBus (audioInputs, new AudioBus (name, busType, flags, arr));
}

AudioBus* AudioEffect::addAudioOutput (const TChar* name, SpeakerArrangement arr, BusType busType,
                                       int32 flags)
{
	return appendBus (audioOutputs, new AudioBus (name, busType, flags, arr));
}

EventBus* AudioEffect::addEventInput (const TChar* name, int32 channels, BusType busType,
                                      int32 flags)
{
	return appendBus (eventInputs, new EventBus (name, busType, flags, channels));
}

EventBus* AudioEffect::addEventOutput (const TChar* name, int32 channels, BusType busType,
                                       int32 flags)
{
	return appendBus (eventOutputs, new EventBus (name, busType, flags, channels));
}

AudioBus* AudioEffect::getAudioInput (int32 index)
{
	return busAt<AudioBus> (audioInputs, index);
}

AudioBus* AudioEffect::getAudioOutput (int32 index)
{
	return busAt<AudioBus> (audioOutputs, index);
}

EventBus* AudioEffect::getEventInput (int32 index)
{
	return busAt<EventBus> (eventInputs, index);
}

EventBus* AudioEffect::getEventOutput (int32 index)
{
	return busAt<EventBus> (eventOutputs, index);
}

tresult PLUGIN_API AudioEffect::setBusArrangements (SpeakerArrangement* inputs, int32 numIns,
                                                    SpeakerArrangement* outputs, int32 numOuts)
{
	if (numIns != static_cast<int32> (audioInputs.size ()) ||
	    numOuts != static_cast<int32> (audioOutputs.size ()))
		return kResultFalse;
	if ((numIns > 0 && !inputs) || (numOuts > 0 && !outputs))
		return kInvalidArgument;

	applyArrangements (audioInputs, inputs);
	applyArrangements (audioOutputs, outputs);
	return kResultTrue;
}

tresult PLUGIN_API AudioEffect::getBusArrangement (BusDirection dir, int32 index,
                                                   SpeakerArrangement& arr)
{
	BusList* list = getBusList (kAudio, dir);
	if (!list)
		return kResultFalse;
	AudioBus* bus = busAt<AudioBus> (*list, index);
	if (!bus)
		return kResultFalse;
	arr = bus->getArrangement ();
	return kResultTrue;
}

tresult PLUGIN_API AudioEffect::canProcessSampleSize (int32 symbolicSampleSize)
{
	return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API AudioEffect::setupProcessing (ProcessSetup& newSetup)
{
	// A subclass that widens canProcessSampleSize automatically widens what
	// is accepted here.
	if (canProcessSampleSize (newSetup.symbolicSampleSize) != kResultTrue)
		return kResultFalse;
	processSetup = newSetup;
	return kResultOk;
}

} // namespace Vst
} // namespace Steinberg
