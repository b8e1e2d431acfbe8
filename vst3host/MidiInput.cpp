#include "vst3host/MidiInput.h"

namespace Tarno {
namespace Host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

} // namespace

MidiTranslator::MidiTranslator ()
{
	assignments_.fill (kNoParamId);
}

void MidiTranslator::readAssignments (IMidiMapping* mapping, int32 busIndex)
{
	assignments_.fill (kNoParamId);
	if (mapping == nullptr)
		return;
	for (int channel = 0; channel < kChannels; ++channel)
	{
		for (int controller = 0; controller < kControllers; ++controller)
		{
			ParamID id = kNoParamId;
			if (mapping->getMidiControllerAssignment (busIndex, int16 (channel), CtrlNumber (controller),
			                                          id) == kResultTrue)
				assignments_[size_t (channel * kControllers + controller)] = id;
		}
	}
}

ParamID MidiTranslator::assignment (int channel, int controller) const
{
	if (channel < 0 || channel >= kChannels || controller < 0 || controller >= kControllers)
		return kNoParamId;
	return assignments_[size_t (channel * kControllers + controller)];
}

void MidiTranslator::releaseAllKeys ()
{
	for (auto& keys : held_)
		keys.reset ();
}

bool MidiTranslator::isKeyHeld (int channel, int key) const
{
	return channel >= 0 && channel < kChannels && key >= 0 && key < 128 && held_[size_t (channel)][size_t (key)];
}

void MidiTranslator::addEvent (Event& e, EventList& events)
{
	if (events.addEvent (e) == kResultOk)
		++stats_.noteEvents;
	else
		++stats_.droppedEvents;
}

void MidiTranslator::addControllerPoint (int channel, int controller, ParamValue value,
                                         int32 sampleOffset, ParameterChanges& changes)
{
	const ParamID id = assignment (channel, controller);
	if (id == kNoParamId)
	{
		++stats_.unmappedControllers;
		return;
	}
	if (changes.add (id, sampleOffset, value))
		++stats_.parameterPoints;
	else
		++stats_.droppedPoints;
}

void MidiTranslator::translate (const Midi::Event& m, int32 sampleOffset, EventList& events,
                                ParameterChanges& changes)
{
	Event e {};
	e.busIndex = 0;
	e.sampleOffset = sampleOffset;
	e.ppqPosition = m.quarterNotes;
	e.flags = 0;

	switch (m.type)
	{
		case Midi::EventType::NoteOn:
			e.type = Event::kNoteOnEvent;
			e.noteOn.channel = m.channel;
			e.noteOn.pitch = m.data1;
			e.noteOn.tuning = 0.f;
			e.noteOn.velocity = float (m.data2) / 127.f;
			e.noteOn.length = 0;
			e.noteOn.noteId = -1;
			held_[m.channel][m.data1] = true;
			addEvent (e, events);
			break;

		case Midi::EventType::NoteOff:
			e.type = Event::kNoteOffEvent;
			e.noteOff.channel = m.channel;
			e.noteOff.pitch = m.data1;
			e.noteOff.velocity = float (m.data2) / 127.f;
			e.noteOff.noteId = -1;
			e.noteOff.tuning = 0.f;
			held_[m.channel][m.data1] = false;
			addEvent (e, events);
			break;

		case Midi::EventType::PolyPressure:
			e.type = Event::kPolyPressureEvent;
			e.polyPressure.channel = m.channel;
			e.polyPressure.pitch = m.data1;
			e.polyPressure.pressure = float (m.data2) / 127.f;
			e.polyPressure.noteId = -1;
			addEvent (e, events);
			break;

		case Midi::EventType::ControlChange:
		{
			const int controller = m.data1;
			const bool clearsKeys = controller == kAllSoundOff || controller == kAllNotesOff;
			if (clearsKeys && assignment (m.channel, controller) == kNoParamId)
			{
				++stats_.unmappedControllers;
				std::bitset<128>& keys = held_[m.channel];
				for (int key = 0; key < 128; ++key)
				{
					if (!keys[size_t (key)])
						continue;
					Event off = e;
					off.type = Event::kNoteOffEvent;
					off.noteOff.channel = m.channel;
					off.noteOff.pitch = int16 (key);
					off.noteOff.velocity = 0.f;
					off.noteOff.noteId = -1;
					off.noteOff.tuning = 0.f;
					addEvent (off, events);
					++stats_.generatedNoteOffs;
				}
				keys.reset ();
				break;
			}
			if (clearsKeys)
				held_[m.channel].reset ();
			addControllerPoint (m.channel, controller, m.data2 / 127.0, sampleOffset, changes);
			break;
		}

		case Midi::EventType::ChannelPressure:
			addControllerPoint (m.channel, kAfterTouch, m.data1 / 127.0, sampleOffset, changes);
			break;

		case Midi::EventType::PitchBend:
			addControllerPoint (m.channel, kPitchBend, m.pitchBendValue () / 16383.0, sampleOffset,
			                    changes);
			break;

		case Midi::EventType::ProgramChange: ++stats_.ignoredMessages; break;
	}
}

} // namespace Host
} // namespace Tarno
