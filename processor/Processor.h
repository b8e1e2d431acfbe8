// The audio processor component: buses, lifecycle, state and the
// sample-accurate process block around one Tarno::Engine.
#pragma once

#include "engine/Engine.h"
#include "processor/StateMailbox.h"

#include "public.sdk/source/vst/vstaudioeffect.h"

#include <atomic>

namespace Tarno {

class Processor : public Steinberg::Vst::AudioEffect
{
public:
	Processor ();

	static Steinberg::FUnknown* create (void* context);

	Steinberg::tresult PLUGIN_API initialize (Steinberg::FUnknown* context) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API setActive (Steinberg::TBool state) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API setState (Steinberg::IBStream* state) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API getState (Steinberg::IBStream* state) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API setBusArrangements (Steinberg::Vst::SpeakerArrangement* inputs,
	                                                  Steinberg::int32 numIns,
	                                                  Steinberg::Vst::SpeakerArrangement* outputs,
	                                                  Steinberg::int32 numOuts) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API canProcessSampleSize (Steinberg::int32 symbolicSampleSize) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API setupProcessing (Steinberg::Vst::ProcessSetup& setup) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API setProcessing (Steinberg::TBool state) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API process (Steinberg::Vst::ProcessData& data) SMTG_OVERRIDE;
	Steinberg::uint32 PLUGIN_API getTailSamples () SMTG_OVERRIDE;

private:
	// Applies one parameter value on the audio thread and publishes it for
	// getState.
	void applyParameter (Steinberg::Vst::ParamID id, double value);
	// Takes a restored parameter block, if one is waiting, at a block boundary.
	void takeRestoredState ();

	Engine engine;
	// The engine's parameter values as the main thread may read them.
	std::atomic<double> published[kNumParams];
	// Restored states on their way from setState to the audio thread.
	StateMailbox restored;
};

} // namespace Tarno
