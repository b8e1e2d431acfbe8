// One instance of the instrument, played in real time: the audio backend's
// thread calls process () once per block, every other call comes from the
// main (UI) thread.
//
// What crosses between the threads goes through lock-free queues:
//   main -> audio   parameter edits of the editor (performEdit), notes of
//                   the computer keyboard
//   audio -> main   parameter values the processor reports back
// MIDI of the backend (JACK's MIDI port, the ALSA sequencer or WinMM) comes
// in on the audio thread itself (midiIn) or, for input that arrives on
// another thread, through queueMidi.
//
// Calls that change the processor from the main thread (a new state, a new
// sample rate) first pause the audio thread: it then plays silence, and the
// main thread waits until no block is being processed.
#pragma once

#include "player/LockFreeQueue.h"

#include "vst3host/MidiInput.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Tarno {
namespace Standalone {

using Steinberg::int32;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;

struct MidiMessage
{
	uint8_t bytes[3] = {};
	uint8_t size = 0;
};

// Turns one raw MIDI channel message into its event form; false for system
// messages, running status and incomplete messages.
bool parseMidi (const uint8_t* data, size_t size, Host::Midi::Event& out);

class Player : private Host::ComponentHandlerListener
{
public:
	// The largest block any backend asks for: buffers are sized for it once.
	static constexpr int32 kMaxBlockSize = 8192;
	static constexpr size_t kQueueSize = 1024;

	Player ();
	~Player () override;

	// Loads the bundle and creates the instrument (main thread).
	bool open (const std::string& bundlePath, std::string& error);
	// Sets up processing at sampleRate and starts the audio thread's work.
	bool start (double sampleRate, std::string& error);
	// Pauses the audio thread and stops processing (safe when not started).
	void stop ();
	// A new sample rate: stop, set up again, start.
	bool changeSampleRate (double sampleRate, std::string& error);
	double sampleRate () const { return sampleRate_; }

	// Main thread, regularly: passes reported values to the controller.
	void idle ();
	// Main thread: a note of the computer keyboard (velocity 0: release).
	bool queueNote (int key, int velocity);
	// Any one other thread (a MIDI input thread): a raw message.
	bool queueMidi (const MidiMessage& message);

	// State and presets, applied with the audio thread paused.
	bool loadPreset (const std::string& path, std::string& error);
	bool savePreset (const std::string& path, std::string& error);
	// Back to the state the instrument had when it was created.
	bool resetToDefaults (std::string& error);

	// --- audio thread
	// The MIDI a backend received for the block being rendered.
	class MidiSource
	{
	public:
		virtual ~MidiSource () = default;
		virtual uint32_t count () = 0;
		// Message i and the sample of the block at which it arrived.
		virtual bool get (uint32_t index, const uint8_t*& data, size_t& size, uint32_t& sampleOffset) = 0;
	};
	// Renders frames samples into left and right (silence while paused),
	// with the messages of midi (may be nullptr) at their offsets.
	void process (float* left, float* right, int32 frames, MidiSource* midi = nullptr);

	Host::PluginInstance& instance () { return instance_; }
	const Host::ClassInfo* instrumentClass () const { return class_; }
	uint64_t droppedEdits () const { return droppedEdits_.load (); }
	// Samples rendered since the program started (over every start ()).
	int64_t playedSamples () const { return played_.load (std::memory_order_relaxed); }

private:
	struct Point
	{
		ParamID id;
		ParamValue value;
	};
	struct Bus
	{
		std::vector<std::vector<float>> channels;
		std::vector<float*> pointers;
	};

	void onPerformEdit (ParamID id, ParamValue value) override;
	void onRestartComponent (int32 flags) override;
	void pause ();
	void resume ();
	void renderChunk (float* left, float* right, int32 frames, MidiSource* midi, int32 first);
	void readMidiAssignments ();
	void controllerState (std::vector<uint8_t>& out);
	void allocateBuses (Steinberg::Vst::BusDirection direction, std::vector<Bus>& buses,
	                    std::vector<Steinberg::Vst::AudioBusBuffers>& buffers);

	std::unique_ptr<Host::Module> module_;
	const Host::ClassInfo* class_ = nullptr;
	Host::PluginInstance instance_;
	std::vector<uint8_t> defaultState_, defaultControllerState_;
	double sampleRate_ = 0.0;
	bool started_ = false;
	int pauseDepth_ = 0;

	std::atomic<bool> enabled_ {false};
	std::atomic<bool> busy_ {false};

	// Audio thread's own objects, made before it starts.
	Host::MidiTranslator midi_;
	Host::EventList events_ {Host::PluginInstance::kMaxEvents};
	Host::EventList outputEvents_ {Host::PluginInstance::kMaxEvents};
	Host::ParameterChanges changes_ {Host::PluginInstance::kMaxChangedParameters,
	                                 Host::PluginInstance::kMaxPointsPerParameter};
	Host::ParameterChanges outputChanges_ {Host::PluginInstance::kMaxChangedParameters,
	                                       Host::PluginInstance::kMaxPointsPerParameter};
	std::vector<Bus> inputBuses_, outputBuses_;
	std::vector<Steinberg::Vst::AudioBusBuffers> inputBuffers_, outputBuffers_;
	Steinberg::Vst::ProcessContext context_ {};
	int64_t samplePosition_ = 0;

	LockFreeQueue<Point, kQueueSize> edits_;
	LockFreeQueue<Point, kQueueSize> reported_;
	LockFreeQueue<MidiMessage, kQueueSize> keyboard_;
	LockFreeQueue<MidiMessage, kQueueSize> external_;
	std::atomic<uint64_t> droppedEdits_ {0};
	std::atomic<int64_t> played_ {0};
};

} // namespace Standalone
} // namespace Tarno
