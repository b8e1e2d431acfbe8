// One instance of the instrument, played in real time: the audio backend's
// thread calls process () once per block, every other call comes from the
// main (UI) thread.
//
// Each block goes through the host library's real-time path
// (PluginInstance::processBlock). What crosses between the threads goes
// through lock-free single-producer queues:
//   main -> audio   the controller's edits (the instance's own queue), notes
//                   of the computer keyboard
//   other -> audio  MIDI of an input that arrives on a thread of its own
//                   (queueMidi)
//   audio -> main   parameter values the processor reports back (the
//                   instance's queue, emptied by idle ())
// MIDI of the backend (JACK's MIDI port) comes in on the audio thread itself.
//
// Calls that change the processor from the main thread (a new state, a new
// sample rate, new MIDI assignments) first pause the audio thread and wait
// for its acknowledgement: from then on it plays silence without touching
// the instance, until they are done.
#pragma once

#include "player/ComputerKeyboard.h"

#include "vst3host/MidiInput.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "vst3host/SpscQueue.h"

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

class Player : public NoteSink
{
public:
	// The largest block any backend asks for: buffers are sized for it once.
	static constexpr int32 kMaxBlockSize = 8192;
	static constexpr size_t kQueueSize = 1024;

	Player ();
	~Player () override;

	// Loads the bundle and creates the instrument with its edit controller
	// (main thread). False with the reason when either is missing.
	bool open (const std::string& bundlePath, std::string& error);
	// Sets up processing at sampleRate and starts the audio thread's work.
	bool start (double sampleRate, std::string& error);
	// Pauses the audio thread and stops processing (safe when not started).
	void stop ();
	// A new sample rate: stop (the audio thread acknowledged), set up again,
	// start.
	bool changeSampleRate (double sampleRate, std::string& error);
	double sampleRate () const { return sampleRate_; }

	// Main thread, regularly: passes reported values to the controller.
	void idle ();
	// Main thread: a note of the computer keyboard (velocity 0: release).
	bool queueNote (int key, int velocity) override;
	// Any one other thread (a MIDI input thread; several take turns): a raw
	// message.
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
	uint64_t droppedEdits () const { return instance_.droppedPendingValues (); }
	// Samples rendered since the program started (over every start ()).
	int64_t playedSamples () const { return played_.load (std::memory_order_relaxed); }

private:
	void onRestartComponent (int32 flags);
	void pause ();
	void resume ();
	void renderChunk (float* left, float* right, int32 frames, MidiSource* midi, int32 first);
	void readMidiAssignments ();
	void controllerState (std::vector<uint8_t>& out);

	std::unique_ptr<Host::Module> module_;
	const Host::ClassInfo* class_ = nullptr;
	Host::PluginInstance instance_;
	std::vector<uint8_t> defaultState_, defaultControllerState_;
	double sampleRate_ = 0.0;
	bool started_ = false;
	int pauseDepth_ = 0;

	// The pause handshake: the main thread clears enabled_ and waits until
	// busy_ is false; the audio thread sets busy_ before it looks at
	// enabled_ (both sequentially consistent).
	std::atomic<bool> enabled_ {false};
	std::atomic<bool> busy_ {false};

	// The audio thread's own: MIDI to events and controller points.
	Host::MidiTranslator midi_;
	Host::SpscQueue<MidiMessage, kQueueSize> keyboard_;
	Host::SpscQueue<MidiMessage, kQueueSize> external_;
	std::atomic<int64_t> played_ {0};
};

} // namespace Standalone
} // namespace Tarno
