// Audio-effect base class for VST 3 plug-ins, for SDK copies that ship
// Component but not this helper (Debian's reduced copy). Written against the
// SDK's documented AudioEffect API; a full SDK checkout uses its own file.
//
// AudioEffect adds IAudioProcessor and IProcessContextRequirements to
// Vst::Component, keeps the current ProcessSetup, and creates the audio and
// event busses that Component reports through IComponent.

#pragma once

#include "public.sdk/source/vst/vstcomponent.h"
#include "public.sdk/source/vst/vstbus.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace Steinberg {
namespace Vst {

class AudioEffect : public Component,
                    public IAudioProcessor,
                    public IProcessContextRequirements
{
public:
	// Default setup until the host calls setupProcessing: real-time, 32-bit
	// samples, 1024 samples per block, 44.1 kHz.
	AudioEffect ();

	// Bus creation. The returned bus is owned by the effect's bus list and
	// stays valid until the busses are removed (Component::terminate does).
	AudioBus* addAudioInput (const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
	                         int32 flags = BusInfo::kDefaultActive);
	AudioBus* addAudioOutput (const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
	                          int32 flags = BusInfo::kDefaultActive);
	EventBus* addEventInput (const TChar* name, int32 channels = 16, BusType busType = kMain,
	                         int32 flags = BusInfo::kDefaultActive);
	EventBus* addEventOutput (const TChar* name, int32 channels = 16, BusType busType = kMain,
	                          int32 flags = BusInfo::kDefaultActive);

	// Bus lookup by index; nullptr when the index is out of range.
	AudioBus* getAudioInput (int32 index);
	AudioBus* getAudioOutput (int32 index);
	EventBus* getEventInput (int32 index);
	EventBus* getEventOutput (int32 index);

	//--- IAudioProcessor
	// Accepts the request when it names exactly one arrangement per existing
	// audio bus and applies them (kResultTrue); otherwise changes nothing and
	// returns kResultFalse.
	tresult PLUGIN_API setBusArrangements (SpeakerArrangement* inputs, int32 numIns,
	                                       SpeakerArrangement* outputs,
	                                       int32 numOuts) SMTG_OVERRIDE;
	// kResultTrue with the bus's arrangement for a valid index, else kResultFalse.
	tresult PLUGIN_API getBusArrangement (BusDirection dir, int32 index,
	                                      SpeakerArrangement& arr) SMTG_OVERRIDE;
	// Only 32-bit processing is supported unless a subclass says otherwise.
	tresult PLUGIN_API canProcessSampleSize (int32 symbolicSampleSize) SMTG_OVERRIDE;
	uint32 PLUGIN_API getLatencySamples () SMTG_OVERRIDE { return 0; }
	// Stores the setup when canProcessSampleSize accepts its sample size.
	tresult PLUGIN_API setupProcessing (ProcessSetup& newSetup) SMTG_OVERRIDE;
	// Nothing to start or stop here: subclasses that keep processing state
	// override this (some hosts treat kNotImplemented as a failure).
	tresult PLUGIN_API setProcessing (TBool /*state*/) SMTG_OVERRIDE { return kNotImplemented; }
	// The base class produces no audio; every real effect overrides this.
	tresult PLUGIN_API process (ProcessData& /*data*/) SMTG_OVERRIDE { return kNotImplemented; }
	uint32 PLUGIN_API getTailSamples () SMTG_OVERRIDE { return kNoTail; }

	//--- IProcessContextRequirements: no process-context fields requested.
	uint32 PLUGIN_API getProcessContextRequirements () SMTG_OVERRIDE { return 0; }

	//--- Interface
	OBJ_METHODS (AudioEffect, Component)
	DEFINE_INTERFACES
		DEF_INTERFACE (IAudioProcessor)
		DEF_INTERFACE (IProcessContextRequirements)
	END_DEFINE_INTERFACES (Component)
	REFCOUNT_METHODS (Component)

protected:
	ProcessSetup processSetup;
};

} // namespace Vst
} // namespace Steinberg
