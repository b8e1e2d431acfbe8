// Turns MIDI channel messages into what a VST 3 processor receives: notes and
// poly pressure become events; controllers, channel pressure and pitch bend
// become parameter points on the parameter that the controller assigns to
// them through IMidiMapping (bus 0, the message's channel).
//
// Controller values: value / 127; pitch bend: 14-bit value / 16383.
// CC 120 (all sound off) and CC 123 (all notes off) go the same way when the
// plug-in maps them; when it does not, note-offs are sent for the keys still
// held on that channel.
#pragma once

#include "vst3host/HostObjects.h"
#include "vst3host/MidiFile.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

#include <array>
#include <bitset>
#include <cstddef>

namespace Tarno {
namespace Host {

struct MidiTranslationStats
{
	size_t noteEvents = 0;           // note-on, note-off and poly pressure events sent
	size_t parameterPoints = 0;      // controller values sent as parameter points
	size_t unmappedControllers = 0;  // controller messages the plug-in does not map
	size_t ignoredMessages = 0;      // program changes
	size_t generatedNoteOffs = 0;    // note-offs sent for unmapped CC 120/123
	size_t droppedEvents = 0;        // event list full
	size_t droppedPoints = 0;        // parameter changes full
};

class MidiTranslator
{
public:
	static constexpr int kChannels = 16;
	// Controller numbers 0..127 plus kAfterTouch (128) and kPitchBend (129).
	static constexpr int kControllers = Steinberg::Vst::kCountCtrlNumber;

	MidiTranslator ();

	// Queries the assignments of every controller on every channel of event
	// bus busIndex. nullptr leaves every controller unassigned.
	void readAssignments (Steinberg::Vst::IMidiMapping* mapping, int32 busIndex = 0);
	// kNoParamId when unassigned or out of range.
	ParamID assignment (int channel, int controller) const;

	// Adds the VST 3 form of one MIDI message at sampleOffset of the block
	// being prepared. Event::ppqPosition is taken from e.quarterNotes.
	void translate (const Midi::Event& e, int32 sampleOffset, EventList& events,
	                ParameterChanges& changes);

	// Forgets which keys are held (after a reset of the plug-in).
	void releaseAllKeys ();
	bool isKeyHeld (int channel, int key) const;

	const MidiTranslationStats& stats () const { return stats_; }

private:
	void addControllerPoint (int channel, int controller, ParamValue value, int32 sampleOffset,
	                         ParameterChanges& changes);
	void addEvent (Steinberg::Vst::Event& e, EventList& events);

	std::array<ParamID, kChannels * kControllers> assignments_;
	std::array<std::bitset<128>, kChannels> held_;
	MidiTranslationStats stats_;
};

} // namespace Host
} // namespace Tarno
