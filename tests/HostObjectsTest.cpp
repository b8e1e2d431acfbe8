// Host-side interface objects, MIDI translation, string conversion and
// bundle lookup: everything of the host library that runs without a plug-in.

#include "vst3host/HostObjects.h"
#include "vst3host/MidiInput.h"
#include "vst3host/Module.h"
#include "vst3host/StringConv.h"

#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstpluginterfacesupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace Tarno::Host;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

Event noteOnAt (int32 offset, int16 pitch)
{
	Event e {};
	e.type = Event::kNoteOnEvent;
	e.sampleOffset = offset;
	e.noteOn.pitch = pitch;
	return e;
}

// Assigns CC 1 -> 101, CC 64 -> 102, CC 123 -> 103 and pitch bend -> 100 on
// every channel, plus CC 7 -> 110 on channel 2 only.
class FakeMidiMapping : public IMidiMapping
{
public:
	int queries = 0;

	tresult PLUGIN_API getMidiControllerAssignment (int32 busIndex, int16 channel, CtrlNumber cc,
	                                                ParamID& id) override
	{
		++queries;
		if (busIndex != 0)
			return kResultFalse;
		switch (cc)
		{
			case 1: id = 101; return kResultTrue;
			case 64: id = 102; return kResultTrue;
			case 123: id = 103; return kResultTrue;
			case kPitchBend: id = 100; return kResultTrue;
			case 7:
				if (channel != 2)
					return kResultFalse;
				id = 110;
				return kResultTrue;
			default: return kResultFalse;
		}
	}
	tresult PLUGIN_API queryInterface (const TUID, void** obj) override
	{
		*obj = nullptr;
		return kNoInterface;
	}
	uint32 PLUGIN_API addRef () override { return 1; }
	uint32 PLUGIN_API release () override { return 1; }
};

Midi::Event midi (Midi::EventType type, uint8_t channel, uint8_t d1, uint8_t d2 = 0)
{
	Midi::Event e;
	e.type = type;
	e.channel = channel;
	e.data1 = d1;
	e.data2 = d2;
	e.quarterNotes = 2.5;
	return e;
}

// The single point of parameter id in changes (fails the test otherwise).
void expectSinglePoint (ParameterChanges& changes, ParamID id, int32 offset, double value)
{
	for (int32 i = 0; i < changes.getParameterCount (); ++i)
	{
		IParamValueQueue* q = changes.getParameterData (i);
		if (q->getParameterId () != id)
			continue;
		ASSERT_EQ (q->getPointCount (), 1);
		int32 o = -1;
		ParamValue v = -1;
		ASSERT_EQ (q->getPoint (0, o, v), kResultOk);
		EXPECT_EQ (o, offset);
		EXPECT_DOUBLE_EQ (v, value);
		return;
	}
	ADD_FAILURE () << "no point for parameter " << id;
}

} // namespace

//------------------------------------------------------------------------
TEST (HostParamValueQueue, KeepsPointsSortedAndReplacesEqualOffsets)
{
	ParamValueQueue q (4);
	q.reset (7);
	EXPECT_EQ (q.getParameterId (), 7u);
	int32 index = -1;
	EXPECT_EQ (q.addPoint (10, 0.1, index), kResultOk);
	EXPECT_EQ (index, 0);
	EXPECT_EQ (q.addPoint (30, 0.3, index), kResultOk);
	EXPECT_EQ (q.addPoint (20, 0.2, index), kResultOk);
	EXPECT_EQ (index, 1);
	EXPECT_EQ (q.addPoint (20, 0.25, index), kResultOk); // same offset: replaced
	EXPECT_EQ (index, 1);
	ASSERT_EQ (q.getPointCount (), 3);

	const int32 offsets[] = {10, 20, 30};
	const double values[] = {0.1, 0.25, 0.3};
	for (int32 i = 0; i < 3; ++i)
	{
		int32 o = -1;
		ParamValue v = -1;
		ASSERT_EQ (q.getPoint (i, o, v), kResultOk);
		EXPECT_EQ (o, offsets[i]);
		EXPECT_DOUBLE_EQ (v, values[i]);
	}
	int32 o;
	ParamValue v;
	EXPECT_EQ (q.getPoint (3, o, v), kInvalidArgument);
	EXPECT_EQ (q.getPoint (-1, o, v), kInvalidArgument);
	EXPECT_EQ (q.addPoint (-1, 0.5, index), kResultFalse);

	EXPECT_EQ (q.addPoint (0, 0.0, index), kResultOk); // fourth point fills it
	EXPECT_EQ (index, 0);
	EXPECT_EQ (q.addPoint (40, 0.4, index), kResultFalse);
	EXPECT_EQ (q.addPoint (30, 0.35, index), kResultOk); // replacing still works when full
	EXPECT_EQ (q.getPointCount (), 4);

	q.reset (9);
	EXPECT_EQ (q.getPointCount (), 0);
	EXPECT_EQ (q.getParameterId (), 9u);
}

TEST (HostParameterChanges, OneQueuePerParameterWithFixedCapacity)
{
	ParameterChanges changes (2, 8);
	int32 index = -1;
	IParamValueQueue* a = changes.addParameterData (5, index);
	ASSERT_NE (a, nullptr);
	EXPECT_EQ (index, 0);
	IParamValueQueue* b = changes.addParameterData (6, index);
	ASSERT_NE (b, nullptr);
	EXPECT_EQ (index, 1);
	EXPECT_EQ (changes.addParameterData (5, index), a); // same parameter, same queue
	EXPECT_EQ (index, 0);
	EXPECT_EQ (changes.addParameterData (7, index), nullptr); // all queues taken
	EXPECT_EQ (changes.getParameterCount (), 2);
	EXPECT_EQ (changes.getParameterData (1), b);
	EXPECT_EQ (changes.getParameterData (2), nullptr);
	EXPECT_EQ (changes.getParameterData (-1), nullptr);

	EXPECT_TRUE (changes.add (6, 3, 0.75));
	EXPECT_FALSE (changes.add (8, 0, 0.5));
	EXPECT_EQ (b->getPointCount (), 1);

	// Clearing empties the reused queues too.
	changes.clear ();
	EXPECT_EQ (changes.getParameterCount (), 0);
	IParamValueQueue* again = changes.addParameterData (8, index);
	ASSERT_NE (again, nullptr);
	EXPECT_EQ (again->getParameterId (), 8u);
	EXPECT_EQ (again->getPointCount (), 0);
}

TEST (HostEventList, SortsByOffsetStablyAndRefusesWhenFull)
{
	EventList list (4);
	Event e1 = noteOnAt (50, 1), e2 = noteOnAt (10, 2), e3 = noteOnAt (50, 3), e4 = noteOnAt (0, 4);
	EXPECT_EQ (list.addEvent (e1), kResultOk);
	EXPECT_EQ (list.addEvent (e2), kResultOk);
	EXPECT_EQ (list.addEvent (e3), kResultOk);
	EXPECT_EQ (list.addEvent (e4), kResultOk);
	Event e5 = noteOnAt (5, 5);
	EXPECT_EQ (list.addEvent (e5), kResultFalse);
	ASSERT_EQ (list.getEventCount (), 4);
	const int16 order[] = {4, 2, 1, 3};
	for (int32 i = 0; i < 4; ++i)
	{
		Event e {};
		ASSERT_EQ (list.getEvent (i, e), kResultOk);
		EXPECT_EQ (e.noteOn.pitch, order[i]) << "index " << i;
	}
	Event e {};
	EXPECT_EQ (list.getEvent (4, e), kInvalidArgument);
	list.clear ();
	EXPECT_EQ (list.getEventCount (), 0);
	Event negative = noteOnAt (-1, 6);
	EXPECT_EQ (list.addEvent (negative), kResultFalse);
}

TEST (HostObjects, QueryInterfaceAndReferenceCounts)
{
	ParamValueQueue q (1);
	ParameterChanges changes;
	EventList list;
	RecordingComponentHandler handler;

	void* obj = nullptr;
	EXPECT_EQ (q.queryInterface (IParamValueQueue::iid, &obj), kResultOk);
	EXPECT_EQ (obj, static_cast<IParamValueQueue*> (&q));
	EXPECT_EQ (q.queryInterface (IEventList::iid, &obj), kNoInterface);
	EXPECT_EQ (obj, nullptr);
	EXPECT_EQ (changes.queryInterface (IParameterChanges::iid, &obj), kResultOk);
	EXPECT_EQ (obj, static_cast<IParameterChanges*> (&changes));
	EXPECT_EQ (list.queryInterface (FUnknown::iid, &obj), kResultOk);
	EXPECT_EQ (obj, static_cast<FUnknown*> (&list));

	const uint32 before = handler.referenceCount ();
	EXPECT_EQ (handler.queryInterface (IComponentHandler2::iid, &obj), kResultOk);
	EXPECT_EQ (obj, static_cast<IComponentHandler2*> (&handler));
	EXPECT_EQ (handler.queryInterface (IComponentHandler::iid, &obj), kResultOk);
	EXPECT_EQ (obj, static_cast<IComponentHandler*> (&handler));
	EXPECT_EQ (handler.referenceCount (), before + 2);
	handler.release ();
	handler.release ();
	EXPECT_EQ (handler.referenceCount (), before);
	EXPECT_EQ (handler.queryInterface (IHostApplication::iid, &obj), kNoInterface);
}

TEST (HostComponentHandler, RecordsCallsInOrderAndForwardsEdits)
{
	struct Listener : ComponentHandlerListener
	{
		std::vector<std::pair<ParamID, ParamValue>> edits;
		std::vector<int32> restarts;
		void onPerformEdit (ParamID id, ParamValue v) override { edits.emplace_back (id, v); }
		void onRestartComponent (int32 flags) override { restarts.push_back (flags); }
	} listener;

	RecordingComponentHandler handler;
	handler.setListener (&listener);
	IComponentHandler* h1 = &handler;
	IComponentHandler2* h2 = &handler;
	h2->startGroupEdit ();
	h1->beginEdit (3);
	h1->performEdit (3, 0.25);
	h1->performEdit (3, 0.5);
	h1->endEdit (3);
	h2->finishGroupEdit ();
	h1->restartComponent (kParamValuesChanged | kMidiCCAssignmentChanged);
	h2->setDirty (true);
	EXPECT_EQ (h2->requestOpenEditor ("editor"), kResultFalse); // no editor in this host

	using K = HandlerCall::Kind;
	const std::vector<HandlerCall> calls = handler.calls ();
	ASSERT_EQ (calls.size (), 9u);
	const K kinds[] = {K::StartGroupEdit, K::BeginEdit, K::PerformEdit, K::PerformEdit, K::EndEdit,
	                   K::FinishGroupEdit, K::RestartComponent, K::SetDirty, K::RequestOpenEditor};
	for (size_t i = 0; i < calls.size (); ++i)
		EXPECT_EQ (calls[i].kind, kinds[i]) << "call " << i << ": " << describe (calls[i]);
	EXPECT_EQ (calls[1].id, 3u);
	EXPECT_DOUBLE_EQ (calls[3].value, 0.5);
	EXPECT_EQ (calls[6].flags, kParamValuesChanged | kMidiCCAssignmentChanged);
	EXPECT_TRUE (calls[7].state);
	EXPECT_EQ (calls[8].name, "editor");
	EXPECT_EQ (describe (calls[2]), "performEdit(3, 0.250000)");
	EXPECT_EQ (describe (calls[6]), "restartComponent(0x24)");

	ASSERT_EQ (listener.edits.size (), 2u);
	EXPECT_EQ (listener.edits[1], std::make_pair (ParamID (3), ParamValue (0.5)));
	ASSERT_EQ (listener.restarts.size (), 1u);

	handler.clear ();
	handler.setListener (nullptr);
	h1->performEdit (4, 1.0);
	EXPECT_EQ (handler.calls ().size (), 1u);
	EXPECT_EQ (listener.edits.size (), 2u);
}

TEST (HostContext, NameMessagesAndInterfaceSupport)
{
	HostContext context;
	String128 name {};
	ASSERT_EQ (context.getName (name), kResultOk);
	EXPECT_EQ (toUtf8 (name, 128), "Tarnovelle host");

	void* obj = nullptr;
	ASSERT_EQ (context.queryInterface (IHostApplication::iid, &obj), kResultOk);
	EXPECT_EQ (obj, static_cast<IHostApplication*> (&context));

	ASSERT_EQ (context.queryInterface (IPlugInterfaceSupport::iid, &obj), kResultOk);
	auto* support = static_cast<IPlugInterfaceSupport*> (obj);
	EXPECT_EQ (support->isPlugInterfaceSupported (IMidiMapping::iid), kResultTrue);
	EXPECT_EQ (support->isPlugInterfaceSupported (IComponentHandler::iid), kResultFalse);
	support->release ();

	TUID messageId;
	memcpy (messageId, IMessage::iid, sizeof (TUID));
	void* message = nullptr;
	ASSERT_EQ (context.createInstance (messageId, messageId, &message), kResultTrue);
	auto* m = static_cast<IMessage*> (message);
	m->setMessageID ("hello");
	EXPECT_STREQ (m->getMessageID (), "hello");
	ASSERT_NE (m->getAttributes (), nullptr);
	EXPECT_EQ (m->getAttributes ()->setInt ("x", 42), kResultOk);
	m->release ();
}

//------------------------------------------------------------------------
TEST (HostMidiTranslator, NotesBecomeEvents)
{
	MidiTranslator t;
	EventList events;
	ParameterChanges changes;
	t.translate (midi (Midi::EventType::NoteOn, 3, 60, 127), 17, events, changes);
	t.translate (midi (Midi::EventType::NoteOff, 3, 60, 64), 40, events, changes);
	t.translate (midi (Midi::EventType::PolyPressure, 0, 61, 0), 41, events, changes);
	ASSERT_EQ (events.getEventCount (), 3);
	EXPECT_EQ (changes.getParameterCount (), 0);

	Event on {}, off {}, pressure {};
	events.getEvent (0, on);
	events.getEvent (1, off);
	events.getEvent (2, pressure);
	EXPECT_EQ (on.type, Event::kNoteOnEvent);
	EXPECT_EQ (on.busIndex, 0);
	EXPECT_EQ (on.sampleOffset, 17);
	EXPECT_DOUBLE_EQ (on.ppqPosition, 2.5);
	EXPECT_EQ (on.noteOn.channel, 3);
	EXPECT_EQ (on.noteOn.pitch, 60);
	EXPECT_FLOAT_EQ (on.noteOn.velocity, 1.0f);
	EXPECT_EQ (on.noteOn.noteId, -1);
	EXPECT_FLOAT_EQ (on.noteOn.tuning, 0.f);
	EXPECT_EQ (off.type, Event::kNoteOffEvent);
	EXPECT_EQ (off.sampleOffset, 40);
	EXPECT_EQ (off.noteOff.pitch, 60);
	EXPECT_FLOAT_EQ (off.noteOff.velocity, 64.f / 127.f);
	EXPECT_EQ (pressure.type, Event::kPolyPressureEvent);
	EXPECT_EQ (pressure.polyPressure.pitch, 61);
	EXPECT_EQ (t.stats ().noteEvents, 3u);
	EXPECT_FALSE (t.isKeyHeld (3, 60));
}

TEST (HostMidiTranslator, ControllersFollowTheMidiMapping)
{
	FakeMidiMapping mapping;
	MidiTranslator t;
	t.readAssignments (&mapping);
	EXPECT_EQ (mapping.queries, 16 * 130);
	EXPECT_EQ (t.assignment (0, 1), 101u);
	EXPECT_EQ (t.assignment (15, kPitchBend), 100u);
	EXPECT_EQ (t.assignment (2, 7), 110u);
	EXPECT_EQ (t.assignment (3, 7), kNoParamId);
	EXPECT_EQ (t.assignment (16, 1), kNoParamId);
	EXPECT_EQ (t.assignment (0, 130), kNoParamId);

	EventList events;
	ParameterChanges changes;
	t.translate (midi (Midi::EventType::ControlChange, 0, 1, 127), 5, events, changes);
	t.translate (midi (Midi::EventType::ControlChange, 4, 64, 64), 6, events, changes);
	t.translate (midi (Midi::EventType::PitchBend, 9, 0x00, 0x40), 7, events, changes); // 8192
	t.translate (midi (Midi::EventType::ControlChange, 3, 7, 100), 8, events, changes); // unmapped
	t.translate (midi (Midi::EventType::ChannelPressure, 0, 100), 8, events, changes);  // unmapped
	t.translate (midi (Midi::EventType::ProgramChange, 0, 3), 8, events, changes);      // ignored
	EXPECT_EQ (events.getEventCount (), 0);
	ASSERT_EQ (changes.getParameterCount (), 3);
	expectSinglePoint (changes, 101, 5, 1.0);
	expectSinglePoint (changes, 102, 6, 64.0 / 127.0);
	expectSinglePoint (changes, 100, 7, 8192.0 / 16383.0);
	EXPECT_EQ (t.stats ().parameterPoints, 3u);
	EXPECT_EQ (t.stats ().unmappedControllers, 2u);
	EXPECT_EQ (t.stats ().ignoredMessages, 1u);

	// Pitch bend extremes.
	changes.clear ();
	t.translate (midi (Midi::EventType::PitchBend, 0, 0x7F, 0x7F), 0, events, changes);
	t.translate (midi (Midi::EventType::PitchBend, 1, 0x00, 0x00), 0, events, changes);
	ASSERT_EQ (changes.getParameterCount (), 1); // both on parameter 100, same offset
	expectSinglePoint (changes, 100, 0, 0.0);    // the later value wins

	// Without a mapping nothing is assigned.
	t.readAssignments (nullptr);
	EXPECT_EQ (t.assignment (0, 1), kNoParamId);
}

TEST (HostMidiTranslator, AllNotesOffReleasesHeldKeysWhenNotMapped)
{
	FakeMidiMapping mapping; // maps 123 but not 120
	MidiTranslator t;
	t.readAssignments (&mapping);
	EventList events;
	ParameterChanges changes;
	t.translate (midi (Midi::EventType::NoteOn, 0, 60, 100), 0, events, changes);
	t.translate (midi (Midi::EventType::NoteOn, 0, 64, 100), 0, events, changes);
	t.translate (midi (Midi::EventType::NoteOn, 1, 67, 100), 0, events, changes);
	t.translate (midi (Midi::EventType::NoteOff, 0, 64, 0), 1, events, changes);
	EXPECT_TRUE (t.isKeyHeld (0, 60));
	EXPECT_FALSE (t.isKeyHeld (0, 64));
	events.clear ();

	// CC 120 (not mapped) on channel 0: a note-off for key 60 only.
	t.translate (midi (Midi::EventType::ControlChange, 0, 120, 0), 9, events, changes);
	ASSERT_EQ (events.getEventCount (), 1);
	Event off {};
	events.getEvent (0, off);
	EXPECT_EQ (off.type, Event::kNoteOffEvent);
	EXPECT_EQ (off.sampleOffset, 9);
	EXPECT_EQ (off.noteOff.channel, 0);
	EXPECT_EQ (off.noteOff.pitch, 60);
	EXPECT_EQ (t.stats ().generatedNoteOffs, 1u);
	EXPECT_FALSE (t.isKeyHeld (0, 60));
	EXPECT_TRUE (t.isKeyHeld (1, 67));
	EXPECT_EQ (changes.getParameterCount (), 0);

	// CC 123 (mapped) on channel 1: a parameter point, no generated note-off.
	events.clear ();
	t.translate (midi (Midi::EventType::ControlChange, 1, 123, 0), 3, events, changes);
	EXPECT_EQ (events.getEventCount (), 0);
	expectSinglePoint (changes, 103, 3, 0.0);
	EXPECT_FALSE (t.isKeyHeld (1, 67));
}

TEST (HostMidiTranslator, CountsWhatDoesNotFit)
{
	FakeMidiMapping mapping;
	MidiTranslator t;
	t.readAssignments (&mapping);
	EventList events (2);
	ParameterChanges changes (1, 2);
	for (int i = 0; i < 3; ++i)
		t.translate (midi (Midi::EventType::NoteOn, 0, uint8_t (60 + i), 1), i, events, changes);
	for (int i = 0; i < 3; ++i)
		t.translate (midi (Midi::EventType::ControlChange, 0, 1, uint8_t (i)), i, events, changes);
	t.translate (midi (Midi::EventType::ControlChange, 0, 64, 1), 0, events, changes);
	EXPECT_EQ (t.stats ().noteEvents, 2u);
	EXPECT_EQ (t.stats ().droppedEvents, 1u);
	EXPECT_EQ (t.stats ().parameterPoints, 2u);
	EXPECT_EQ (t.stats ().droppedPoints, 2u); // third CC 1 point, and CC 64 (no queue left)
}

//------------------------------------------------------------------------
TEST (HostStringConv, RoundTripsUtf8ThroughUtf16)
{
	const std::string texts[] = {"Glissando", "", "120 ms", "Caf\xC3\xA9 \xE2\x82\xAC",
	                             "clef \xF0\x9D\x84\x9E"};
	for (const std::string& text : texts)
	{
		char16 buffer[32];
		ASSERT_TRUE (fromUtf8 (text, buffer, 32)) << text;
		EXPECT_EQ (toUtf8 (buffer, 32), text);
	}
	char16 buffer[32];
	ASSERT_TRUE (fromUtf8 ("clef \xF0\x9D\x84\x9E", buffer, 32));
	EXPECT_EQ (uint16_t (buffer[5]), 0xD834); // surrogate pair
	EXPECT_EQ (uint16_t (buffer[6]), 0xDD1E);
	EXPECT_EQ (buffer[7], 0);
}

TEST (HostStringConv, RefusesInvalidOrOversizedText)
{
	char16 small[4];
	EXPECT_TRUE (fromUtf8 ("abc", small, 4));
	EXPECT_FALSE (fromUtf8 ("abcd", small, 4)); // no room for the terminator
	EXPECT_EQ (small[3], 0);
	char16 buffer[16];
	EXPECT_FALSE (fromUtf8 ("a\xC3", buffer, 16));     // cut-off sequence
	EXPECT_FALSE (fromUtf8 ("a\xC3z", buffer, 16));    // bad continuation
	EXPECT_FALSE (fromUtf8 ("\xFF", buffer, 16));

	const char16 unpaired[] = {char16 ('x'), char16 (0xD800), char16 ('y'), 0};
	EXPECT_EQ (toUtf8 (unpaired, 4), "x\xEF\xBF\xBDy");
	const char16 unterminated[] = {char16 ('a'), char16 ('b'), char16 ('c')};
	EXPECT_EQ (toUtf8 (unterminated, 2), "ab");
	const char fixed[4] = {'a', 'b', 'c', 'd'};
	EXPECT_EQ (fromFixedAscii (fixed, 4), "abcd");
	EXPECT_EQ (fromFixedAscii ("ab\0cd", 5), "ab");
}

//------------------------------------------------------------------------
TEST (HostModule, ClassInfoHelpers)
{
	ClassInfo c;
	c.subCategories = "Instrument|Synth";
	EXPECT_TRUE (c.hasSubCategory ("Instrument"));
	EXPECT_TRUE (c.hasSubCategory ("Synth"));
	EXPECT_FALSE (c.hasSubCategory ("Inst"));
	EXPECT_FALSE (c.hasSubCategory ("Fx"));
	c.subCategories = "Fx";
	EXPECT_FALSE (c.hasSubCategory ("Instrument"));
	for (int i = 0; i < 16; ++i)
		c.cid[i] = char (i * 17);
	EXPECT_EQ (c.cidString (), "00112233445566778899AABBCCDDEEFF");
}

TEST (HostModule, FindsTheBinaryInsideABundle)
{
	namespace fs = std::filesystem;
#if defined(_WIN32)
	const std::string extension = ".vst3";
#else
	const std::string extension = ".so";
#endif
	const fs::path root = fs::temp_directory_path () / "tarno-host-bundle-test";
	fs::remove_all (root);
	const fs::path bundle = root / "Synth.vst3";
	const fs::path arch = bundle / "Contents" / Module::architectureFolder ();
	fs::create_directories (arch);
	const auto touch = [] (const fs::path& p) {
		std::FILE* f = std::fopen (p.string ().c_str (), "wb");
		ASSERT_NE (f, nullptr);
		std::fputs ("not a library", f);
		std::fclose (f);
	};

	std::string binary, error;
	// Empty bundle: refused, the message names the expected file.
	EXPECT_FALSE (Module::findBinary (bundle.string (), binary, error));
	EXPECT_NE (error.find ("Synth" + extension), std::string::npos) << error;

	// A single binary with another name is accepted.
	touch (arch / ("Other" + extension));
	EXPECT_TRUE (Module::findBinary (bundle.string (), binary, error)) << error;
	EXPECT_EQ (fs::path (binary).filename ().string (), "Other" + extension);

	// The binary named after the bundle wins, with or without trailing slash.
	touch (arch / ("Synth" + extension));
	EXPECT_TRUE (Module::findBinary (bundle.string (), binary, error)) << error;
	EXPECT_EQ (fs::path (binary).filename ().string (), "Synth" + extension);
	EXPECT_TRUE (Module::findBinary (bundle.string () + "/", binary, error)) << error;
	EXPECT_EQ (fs::path (binary).filename ().string (), "Synth" + extension);

	// A direct path to a file is taken as it is.
	const std::string direct = (arch / ("Synth" + extension)).string ();
	EXPECT_TRUE (Module::findBinary (direct, binary, error));
	EXPECT_EQ (binary, direct);

	// Missing paths and files that are no libraries give messages.
	EXPECT_FALSE (Module::findBinary ((root / "Missing.vst3").string (), binary, error));
	EXPECT_NE (error.find ("does not exist"), std::string::npos) << error;
	EXPECT_EQ (Module::load ((root / "Missing.vst3").string (), error), nullptr);
	EXPECT_EQ (Module::load (bundle.string (), error), nullptr);
	EXPECT_NE (error.find ("cannot load"), std::string::npos) << error;

	fs::remove_all (root);
}
