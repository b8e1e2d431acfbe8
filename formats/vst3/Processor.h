// The audio processor component: buses, lifecycle, state and the
// sample-accurate process block around one Tarno::Engine.
#pragma once

#include "engine/Engine.h"
#include "formats/vst3/PeerLink.h"
#include "formats/vst3/StateMailbox.h"

#include "public.sdk/source/vst/vstaudioeffect.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace Tarno {

class Processor : public Steinberg::Vst::AudioEffect
{
public:
	Processor ();

	static Steinberg::FUnknown* create (void* context);

	Steinberg::tresult PLUGIN_API initialize (Steinberg::FUnknown* context) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API terminate () SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API connect (Steinberg::Vst::IConnectionPoint* other) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API disconnect (Steinberg::Vst::IConnectionPoint* other) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API notify (Steinberg::Vst::IMessage* message) SMTG_OVERRIDE;
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

	// Also answers kInvalidArgument for a null IID or a null result pointer.
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;

private:
	// Applies one parameter value on the audio thread and publishes it for
	// getState.
	void applyParameter (Steinberg::Vst::ParamID id, double value);
	// Takes a restored parameter block, if one is waiting, at a block boundary.
	void takeRestoredState ();

	Engine engine;
	// The engine's parameter values as the main thread may read them;
	// written by the audio thread only.
	std::atomic<double> published[kNumParams];
	// Restored states on their way from setState to the audio thread.
	StateMailbox restored;
	// The number of the restore the audio thread applied last (and published).
	std::atomic<uint64_t> appliedRestore{0};
	// Main thread: the newest restore posted and its number, for getState
	// while the audio thread has not taken it yet. Serialises setState and
	// getState with each other, never with the audio thread.
	std::mutex stateLock;
	ParamBlock newestRestore{};
	uint64_t postedRestore = 0;

	PeerLink peer;
	bool initialized = false;
};

} // namespace Tarno
