// One instance of a VST 3 audio module with its edit controller, created and
// driven the way a DAW does it:
//
//   create ()           component created and initialized with the host
//                       context, controller found (getControllerClassId, the
//                       component itself, or the factory's controller class)
//                       and initialized, component handler set, connection
//                       points connected, controller given the component's
//                       state (setComponentState), MIDI assignments read
//   setupProcessing ()  sample size checked, setupProcessing, buffers sized
//   startProcessing ()  event input 0 and audio output 0 activated,
//                       setActive (true), setProcessing (true)
//   processBlock ()     one block, real-time safe; queued parameter values
//                       arrive at offset 0
//   process ()          one block, then the reported values to the controller
//   stopProcessing ()   setProcessing (false), setActive (false), buses off
//   destroy ()          disconnect, handler removed, terminate, release
//
// setState () restores a processor state and then hands the processor's
// resulting state to the controller, as after creation. loadPreset () and
// savePreset () read and write .vstpreset files (host/PresetFile.h).
//
// Threads: every call comes from one main thread, except processBlock (),
// which one audio thread may call meanwhile, together with events (),
// parameterChanges () and midi (), which then belong to that thread. The
// main thread does not change processing (setupProcessing, startProcessing,
// stopProcessing, setState) while a block is being processed: the caller
// makes sure of that. What crosses between the two goes through lock-free
// single-producer queues: values set on the main thread (setParameter, the
// controller's edits) to the audio thread, values the processor reports to
// the main thread (deliverReportedValues).
#pragma once

#include "vst3host/HostObjects.h"
#include "vst3host/MidiInput.h"
#include "vst3host/Module.h"
#include "vst3host/SpscQueue.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Tarno {
namespace Host {

struct ParameterDescription
{
	ParamID id = 0;
	std::string title;
	std::string shortTitle;
	std::string units;
	int32 stepCount = 0;
	ParamValue defaultNormalized = 0.0;
	int32 unitId = 0;
	int32 flags = 0;
};

struct ProcessOptions
{
	double sampleRate = 48000.0;
	int32 maxBlockSize = 512;
	bool use64Bit = false;
	int32 processMode = Steinberg::Vst::kOffline;
};

class PluginInstance : private ComponentHandlerListener
{
public:
	// Capacities of the per-block lists handed to process ().
	static constexpr int32 kMaxEvents = 2048;
	static constexpr int32 kMaxChangedParameters = 64;
	static constexpr int32 kMaxPointsPerParameter = 512;
	// Values set between two blocks (setParameter, performEdit) waiting for
	// the next block, and values the processor reported waiting for the
	// main thread.
	static constexpr size_t kMaxPendingValues = 1024;
	static constexpr size_t kMaxReportedValues = 1024;

	PluginInstance ();
	~PluginInstance () override;
	PluginInstance (const PluginInstance&) = delete;
	PluginInstance& operator= (const PluginInstance&) = delete;

	// The module must outlive the instance (or its destroy () call).
	tresult create (Module& module, const ClassInfo& audioClass, std::string& error);
	// Tears everything down in reverse order; safe to call repeatedly.
	void destroy ();
	bool isCreated () const { return component_ != nullptr; }
	// Non-fatal problems met so far (e.g. a controller that refused its state).
	const std::vector<std::string>& warnings () const { return warnings_; }

	// Processor state (IComponent::getState / setState).
	tresult getState (std::vector<uint8_t>& blob, std::string& error);
	tresult setState (const std::vector<uint8_t>& blob, std::string& error);

	// Loads a .vstpreset file made for this class as a host does: the
	// processor's setState, the controller's setComponentState, then the
	// controller's setState when the file has a controller chunk. A file
	// that cannot be read, is for another class, or holds a state the
	// plug-in refuses changes nothing; error then names the file and why.
	bool loadPreset (const std::string& path, std::string& error);
	// Writes the processor's state, the controller's own state (when it has
	// one) and meta information (the file's name, the class's name and
	// category) into a .vstpreset file.
	bool savePreset (const std::string& path, std::string& error);

	// Parameters as the controller describes them (empty without controller).
	std::vector<ParameterDescription> parameters () const;
	// Finds by title: exact match first, then ignoring ASCII case.
	bool findParameter (const std::string& title, ParameterDescription& out) const;
	// Converts text with getParamValueByString and sets the result like
	// setParameter. shownValue receives the controller's text for the value
	// it ended up with (plus units).
	tresult setParameterFromText (const std::string& title, const std::string& text,
	                              std::string& shownValue, std::string& error);
	// Sets the value on the controller now and sends it to the processor as a
	// point at offset 0 of the next block.
	tresult setParameter (ParamID id, ParamValue normalized);
	std::string parameterText (ParamID id, ParamValue normalized) const;

	tresult setupProcessing (const ProcessOptions& options, std::string& error);
	tresult startProcessing (std::string& error);
	void stopProcessing ();
	bool isProcessing () const { return processing_; }

	// Processes numSamples (<= maxBlockSize) with the values queued since
	// the last block and the events and parameter points added to events ()
	// and parameterChanges (), then empties both. Parameter values the
	// processor reports back wait for deliverReportedValues (). context may
	// be nullptr: a minimal one (sample rate, sample position, playing) is
	// used then. Real-time safe: no allocation, no lock, no call into the
	// controller.
	tresult processBlock (int32 numSamples, Steinberg::Vst::ProcessContext* context = nullptr);
	// Main thread: passes the values the processor reported to the controller.
	void deliverReportedValues ();
	// processBlock, then deliverReportedValues: one block for a host that
	// does everything on one thread.
	tresult process (int32 numSamples, Steinberg::Vst::ProcessContext* context = nullptr);
	// Main thread: called after the instance has handled a restartComponent
	// of the controller (the flags it gave).
	void setRestartHandler (std::function<void (int32 flags)> handler) { restartHandler_ = std::move (handler); }

	int32 outputChannelCount () const;
	bool hasEventInput () const { return eventInputs_ > 0; }
	bool uses64Bit () const { return options_.use64Bit; }
	// Channel data of audio output bus 0 after process () (nullptr if the
	// sample size does not match or channel is out of range).
	const float* output32 (int32 channel) const;
	const double* output64 (int32 channel) const;
	int64_t samplePosition () const { return samplePosition_; }

	EventList& events () { return inputEvents_; }
	ParameterChanges& parameterChanges () { return inputChanges_; }
	MidiTranslator& midi () { return midi_; }
	// Values lost because a queue was full (or the block had no room).
	size_t droppedPendingValues () const { return droppedPending_.load (std::memory_order_relaxed); }

	Steinberg::Vst::IComponent* component () const { return component_; }
	Steinberg::Vst::IAudioProcessor* processor () const { return processor_; }
	Steinberg::Vst::IEditController* controller () const { return controller_; }
	bool controllerIsComponent () const { return singleComponent_; }
	bool connectionPointsConnected () const { return connected_; }
	RecordingComponentHandler& componentHandler () { return handler_; }
	HostContext& hostContext () { return hostContext_; }

private:
	struct Bus
	{
		std::vector<std::vector<float>> data32;
		std::vector<std::vector<double>> data64;
		std::vector<float*> pointers32;
		std::vector<double*> pointers64;
	};
	struct PendingValue
	{
		ParamID id;
		ParamValue value;
	};

	void onPerformEdit (ParamID id, ParamValue value) override;
	void onRestartComponent (int32 flags) override;
	void queueForProcessor (ParamID id, ParamValue value);
	tresult syncControllerState (std::string& error);
	tresult createController (Module& module, std::string& error);
	void allocateBuses (Steinberg::Vst::BusDirection direction, std::vector<Bus>& buses,
	                    std::vector<Steinberg::Vst::AudioBusBuffers>& buffers);
	void warn (const std::string& text) { warnings_.push_back (text); }

	// Host objects first: they must outlive the plug-in's references.
	HostContext hostContext_;
	RecordingComponentHandler handler_;
	EventList inputEvents_ {kMaxEvents};
	EventList outputEvents_ {kMaxEvents};
	ParameterChanges inputChanges_ {kMaxChangedParameters, kMaxPointsPerParameter};
	ParameterChanges outputChanges_ {kMaxChangedParameters, kMaxPointsPerParameter};
	MidiTranslator midi_;

	Steinberg::IPtr<Steinberg::Vst::IComponent> component_;
	Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
	Steinberg::IPtr<Steinberg::Vst::IEditController> controller_;
	Steinberg::IPtr<Steinberg::Vst::IMidiMapping> midiMapping_;
	Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> componentConnection_;
	Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> controllerConnection_;

	// The audio class created, for preset files.
	Steinberg::TUID classId_ = {};
	std::string className_;
	std::string classCategory_;

	bool componentInitialized_ = false;
	bool controllerInitialized_ = false;
	bool singleComponent_ = false;
	bool connected_ = false;
	bool setUp_ = false;
	bool active_ = false;
	bool processing_ = false;
	int32 eventInputs_ = 0;
	bool eventBusActivated_ = false;
	bool audioBusActivated_ = false;

	ProcessOptions options_;
	std::vector<Bus> inputBuses_, outputBuses_;
	std::vector<Steinberg::Vst::AudioBusBuffers> inputBuffers_, outputBuffers_;
	int64_t samplePosition_ = 0;

	SpscQueue<PendingValue, kMaxPendingValues> pending_;
	SpscQueue<PendingValue, kMaxReportedValues> reported_;
	std::atomic<size_t> droppedPending_ {0};
	std::function<void (int32)> restartHandler_;

	std::vector<std::string> warnings_;
};

} // namespace Host
} // namespace Tarno
