#include "formats/vst3/Processor.h"

#include "formats/vst3/ClassIds.h"
#include "tests/ProcessUtil.h"
#include "tests/StreamUtil.h"

#include "pluginterfaces/vst/ivstcomponent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

using namespace Tarno;
using namespace TarnoTest;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// A processor as the host holds it: created through its create function,
// initialized, set up at `rate`, active and processing.
struct Running
{
	IPtr<Processor> p;

	explicit Running (double rate = 48000, int32 sampleSize = kSample32)
	{
		FUnknown* unknown = Processor::create (nullptr);
		p = owned (static_cast<Processor*> (static_cast<IAudioProcessor*> (unknown)));
		EXPECT_EQ (p->initialize (nullptr), kResultOk);
		ProcessSetup setup = {kRealtime, sampleSize, 512, rate};
		p->setupProcessing (setup);
		p->setActive (true);
		p->setProcessing (true);
	}
	~Running ()
	{
		p->setProcessing (false);
		p->setActive (false);
		p->terminate ();
	}

	Bytes state ()
	{
		MemoryStream stream;
		EXPECT_EQ (p->getState (&stream), kResultOk);
		return bytesOf (stream);
	}
};

// An engine driven directly, the way the processor should drive its own.
std::unique_ptr<Engine> referenceEngine (double rate)
{
	auto e = std::make_unique<Engine> ();
	e->prepare (rate);
	return e;
}

// The next n samples of an engine driven directly, rendered in one run as
// the processor renders the samples between two events.
std::vector<double> nextRun (Engine& e, int n)
{
	std::vector<double> samples (static_cast<size_t> (n));
	e.render (samples.data (), n);
	return samples;
}

ParamBlock someValues ()
{
	ParamBlock v;
	for (int i = 0; i < kNumParams; ++i)
		v[i] = (i + 3) / 23.0;
	return v;
}

} // namespace

TEST (Processor, BusesAfterInitialize)
{
	Running r;
	EXPECT_EQ (r.p->getBusCount (kAudio, Vst::kOutput), 1);
	EXPECT_EQ (r.p->getBusCount (kAudio, kInput), 0);
	EXPECT_EQ (r.p->getBusCount (kEvent, kInput), 1);
	EXPECT_EQ (r.p->getBusCount (kEvent, Vst::kOutput), 0);

	BusInfo info = {};
	ASSERT_EQ (r.p->getBusInfo (kAudio, Vst::kOutput, 0, info), kResultTrue);
	EXPECT_EQ (info.channelCount, 2);
	EXPECT_EQ (info.busType, kMain);
	EXPECT_EQ (info.flags, uint32 (BusInfo::kDefaultActive));
	EXPECT_EQ (std::u16string (reinterpret_cast<const char16_t*> (info.name)), u"Stereo");
	ASSERT_EQ (r.p->getBusInfo (kEvent, kInput, 0, info), kResultTrue);
	EXPECT_EQ (info.channelCount, 16);
	EXPECT_EQ (std::u16string (reinterpret_cast<const char16_t*> (info.name)), u"MIDI");

	TUID controller;
	ASSERT_EQ (r.p->getControllerClassId (controller), kResultOk);
	EXPECT_TRUE (FUID::fromTUID (controller) == controllerID);
	EXPECT_EQ (r.p->getLatencySamples (), 0u);
}

TEST (Processor, ArrangementsAndSampleSizes)
{
	Running r;
	SpeakerArrangement mono = SpeakerArr::kMono, stereo = SpeakerArr::kStereo, surround = SpeakerArr::k51;
	EXPECT_EQ (r.p->setBusArrangements (nullptr, 0, &mono, 1), kResultTrue);
	SpeakerArrangement current = 0;
	r.p->getBusArrangement (Vst::kOutput, 0, current);
	EXPECT_EQ (current, SpeakerArr::kMono);

	SpeakerArrangement two[2] = {stereo, stereo};
	EXPECT_EQ (r.p->setBusArrangements (&stereo, 1, &stereo, 1), kResultFalse);
	EXPECT_EQ (r.p->setBusArrangements (nullptr, 0, two, 2), kResultFalse);
	EXPECT_EQ (r.p->setBusArrangements (nullptr, 0, &surround, 1), kResultFalse);
	EXPECT_EQ (r.p->setBusArrangements (nullptr, 0, nullptr, 1), kResultFalse);
	r.p->getBusArrangement (Vst::kOutput, 0, current);
	EXPECT_EQ (current, SpeakerArr::kMono); // refusals change nothing
	EXPECT_EQ (r.p->setBusArrangements (nullptr, 0, &stereo, 1), kResultTrue);

	EXPECT_EQ (r.p->canProcessSampleSize (kSample32), kResultTrue);
	EXPECT_EQ (r.p->canProcessSampleSize (kSample64), kResultTrue);
	EXPECT_EQ (r.p->canProcessSampleSize (2), kResultFalse);
	ProcessSetup bad = {kRealtime, 5, 512, 44100};
	EXPECT_EQ (r.p->setupProcessing (bad), kResultFalse);
	ProcessSetup good = {kRealtime, kSample64, 512, 44100};
	EXPECT_EQ (r.p->setupProcessing (good), kResultOk);
}

TEST (Processor, TailFollowsTheHostRate)
{
	IPtr<Processor> p = owned (static_cast<Processor*> (static_cast<IAudioProcessor*> (Processor::create (nullptr))));
	EXPECT_EQ (p->getTailSamples (), 224909u); // before any setup: 44100 Hz
	struct Case
	{
		double rate;
		uint32 tail;
	};
	for (const Case& c : {Case{48000, 244799}, Case{44100, 224909}, Case{8000, 40800}, Case{4000, 20400},
	                      Case{std::numeric_limits<double>::quiet_NaN (), 0}, Case{-5, 0}})
	{
		ProcessSetup setup = {kRealtime, kSample32, 512, c.rate};
		p->setupProcessing (setup);
		EXPECT_EQ (p->getTailSamples (), c.tail) << c.rate;
	}
}

TEST (Processor, StateRoundTripAndRefusals)
{
	Running r;
	EXPECT_EQ (r.state (), stateBlob (kDefaultParams));
	EXPECT_EQ (r.p->getState (nullptr), kInvalidArgument);
	LimitedStream full (100);
	EXPECT_EQ (r.p->getState (&full), kResultFalse);

	ASSERT_EQ (r.p->setState (streamOf (stateBlob (someValues ()))), kResultOk);
	EXPECT_EQ (r.state (), stateBlob (someValues ())); // at once, before any block

	Bytes tooShort = stateBlob (kDefaultParams);
	tooShort.pop_back ();
	Bytes longer = stateBlob (kDefaultParams);
	longer.insert (longer.end (), {9, 9, 9, 9});
	ParamBlock outOfRange = kDefaultParams;
	outOfRange[11] = 1.0000001;
	EXPECT_EQ (r.p->setState (nullptr), kResultFalse);
	EXPECT_EQ (r.p->setState (streamOf (tooShort)), kResultFalse);
	EXPECT_EQ (r.p->setState (streamOf (stateBlob (kDefaultParams, 0x54564C31, 2))), kResultFalse);
	EXPECT_EQ (r.p->setState (streamOf (stateBlob (kDefaultParams, 0x314C5654))), kResultFalse);
	EXPECT_EQ (r.p->setState (streamOf (stateBlob (outOfRange))), kResultFalse);
	EXPECT_EQ (r.state (), stateBlob (someValues ())); // nothing changed
	EXPECT_EQ (r.p->setState (streamOf (longer)), kResultOk);
	EXPECT_EQ (r.state (), stateBlob (kDefaultParams));
}

TEST (Processor, RestoredStateSoundsAtTheNextBlockWithoutRamp)
{
	Running r;
	auto reference = referenceEngine (48000);
	ParamBlock values = someValues ();
	values[Tarno::kOutputParam] = 1.0;
	ASSERT_EQ (r.p->setState (streamOf (stateBlob (values))), kResultOk);
	reference->setParametersNow (values);

	RawEvents events;
	events.noteOn (0, 0, 60, 0.8f);
	reference->noteOn (0, 60, 0.8f);
	Block block (2, 256, true);
	block.data.inputEvents = &events;
	r.p->process (block.data);
	EXPECT_EQ (block.f64[0], nextRun (*reference, 256));
	EXPECT_EQ (block.f64[1], block.f64[0]);
	EXPECT_EQ (block.bus.silenceFlags, 0u);
}

// Points and notes land on their exact samples; the processor's output is
// the directly driven engine's, sample for sample.
TEST (Processor, SampleAccuratePointsAndNotes)
{
	Running r;
	auto reference = referenceEngine (48000);
	RawChanges changes;
	changes.add (kSquareParam, {{0, 0.9}, {256, 0.1}});
	changes.add (Tarno::kOutputParam, {{-5, 1.0}, {600, 0.0}}); // before the block: sample 0; after it: never
	changes.add (kPitchBendParam, {{300, 0.75}});
	RawEvents events;
	events.noteOn (100, 2, 57, 1.0f);
	events.noteOn (300, 2, 64, 0.5f);
	events.noteOff (400, 2, 64);
	events.noteOn (700, 2, 70, 1.0f); // beyond the block: never

	Block block (2, 512);
	block.data.inputParameterChanges = &changes;
	block.data.inputEvents = &events;
	r.p->process (block.data);

	// The engine driven directly, in the same runs: from each point or event
	// to the next.
	const int starts[] = {0, 100, 256, 300, 400, 512};
	for (int run = 0; run + 1 < int (std::size (starts)); ++run)
	{
		const int s = starts[run];
		if (s == 0)
		{
			reference->setParameter (kSquareParam, 0.9);
			reference->setParameter (Tarno::kOutputParam, 1.0);
		}
		if (s == 256)
			reference->setParameter (kSquareParam, 0.1);
		if (s == 300)
			reference->setParameter (kPitchBendParam, 0.75);
		if (s == 100)
			reference->noteOn (2, 57, 1.0f);
		if (s == 300)
			reference->noteOn (2, 64, 0.5f);
		if (s == 400)
			reference->noteOff (2, 64);
		const std::vector<double> expected = nextRun (*reference, starts[run + 1] - s);
		for (int k = 0; k < int (expected.size ()); ++k)
		{
			ASSERT_EQ (block.f32[0][size_t (s + k)], float (expected[size_t (k)])) << s + k;
			ASSERT_EQ (block.f32[1][size_t (s + k)], float (expected[size_t (k)])) << s + k;
			if (s + k < 100)
			{
				ASSERT_EQ (expected[size_t (k)], 0.0) << s + k;
			}
		}
	}
	EXPECT_NE (block.f32[0][100], 0.0f); // the gate opens on sample 100

	// The late point and note did not carry over.
	Block next (1, 64);
	r.p->process (next.data);
	const std::vector<double> expected64 = nextRun (*reference, 64);
	for (int s = 0; s < 64; ++s)
		ASSERT_EQ (next.f32[0][size_t (s)], float (expected64[size_t (s)]));
	MemoryStream stream;
	r.p->getState (&stream);
	ParamBlock expected = kDefaultParams;
	expected[kSquareParam] = 0.1;
	expected[Tarno::kOutputParam] = 1.0;
	EXPECT_EQ (bytesOf (stream), stateBlob (expected));
}

TEST (Processor, ValuesAreClampedAndUnknownIdsIgnored)
{
	Running r;
	RawChanges changes;
	changes.add (kSquareParam, {{0, std::numeric_limits<double>::quiet_NaN ()}});
	changes.add (kTriangleParam, {{0, 7.0}});
	changes.add (kSineParam, {{0, std::numeric_limits<double>::infinity ()}});
	changes.add (kAttackParam, {{0, -1.0}});
	changes.add (55, {{0, 0.5}});
	changes.add (104, {{0, 0.5}});
	Block block (2, 16);
	block.data.inputParameterChanges = &changes;
	r.p->process (block.data);
	ParamBlock expected = kDefaultParams;
	expected[kSquareParam] = 0.0;
	expected[kTriangleParam] = 1.0;
	expected[kSineParam] = 0.0;
	expected[kAttackParam] = 0.0;
	EXPECT_EQ (r.state (), stateBlob (expected));
}

TEST (Processor, AllNotesOffBeforeANoteOnAtTheSameSample)
{
	Running r;
	RawChanges changes;
	changes.add (kAllNotesOffParam, {{50, 0.0}});
	RawEvents events;
	events.noteOn (50, 0, 60, 1.0f);
	Block block (1, 200);
	block.data.inputParameterChanges = &changes;
	block.data.inputEvents = &events;
	r.p->process (block.data);
	EXPECT_NE (block.f32[0][199], 0.0f); // the note sounds
}

TEST (Processor, FlushAppliesOnlyEarlyPointsAndLeavesBuffersAlone)
{
	Running r;
	auto reference = referenceEngine (48000);
	RawEvents start;
	start.noteOn (0, 0, 60, 1.0f);
	reference->noteOn (0, 60, 1.0f);
	Block first (2, 32);
	first.data.inputEvents = &start;
	r.p->process (first.data);
	nextRun (*reference, 32);

	RawChanges changes;
	changes.add (kSquareParam, {{-3, 0.2}, {0, 0.3}, {1, 0.9}});
	changes.add (Tarno::kOutputParam, {{5, 0.1}});
	RawEvents events;
	events.noteOff (0, 0, 60); // ignored in a flush
	Block flush (2, 0);
	flush.data.inputParameterChanges = &changes;
	flush.data.inputEvents = &events;
	Block sentinel (2, 4);
	flush.bus.channelBuffers32 = sentinel.p32.data ();
	EXPECT_EQ (r.p->process (flush.data), kResultOk);
	EXPECT_EQ (flush.bus.silenceFlags, 0xFFFFu);
	EXPECT_EQ (sentinel.f32[0][0], -7.0f);
	reference->setParameter (kSquareParam, 0.2);
	reference->setParameter (kSquareParam, 0.3);

	// The voice did not advance and the note is still held.
	Block after (1, 64);
	r.p->process (after.data);
	const std::vector<double> expected64 = nextRun (*reference, 64);
	for (int s = 0; s < 64; ++s)
		ASSERT_EQ (after.f32[0][size_t (s)], float (expected64[size_t (s)])) << s;
	ParamBlock expected = kDefaultParams;
	expected[kSquareParam] = 0.3;
	EXPECT_EQ (r.state (), stateBlob (expected));
}

TEST (Processor, OutputFormatsAndMissingBuffers)
{
	// 64-bit and mono output carry the same values as 32-bit stereo.
	Running a, b, c;
	RawEvents events;
	events.noteOn (0, 0, 69, 1.0f);
	Block stereo32 (2, 128), mono64 (1, 128, true), mono32 (1, 128);
	SpeakerArrangement mono = SpeakerArr::kMono;
	b.p->setBusArrangements (nullptr, 0, &mono, 1);
	for (Block* blk : {&stereo32, &mono64, &mono32})
		blk->data.inputEvents = &events;
	a.p->process (stereo32.data);
	b.p->process (mono64.data);
	// A block with no buffers at all still advances the voice.
	Block none (0, 128);
	none.data.numOutputs = 0;
	none.data.outputs = nullptr;
	none.data.inputEvents = &events;
	c.p->process (none.data);
	for (int s = 0; s < 128; ++s)
	{
		ASSERT_EQ (stereo32.f32[0][size_t (s)], float (mono64.f64[0][size_t (s)]));
		ASSERT_EQ (stereo32.f32[1][size_t (s)], stereo32.f32[0][size_t (s)]);
	}
	Block again (1, 16), againRef (1, 16);
	a.p->process (againRef.data);
	c.p->process (again.data);
	EXPECT_EQ (again.f32[0], againRef.f32[0]);

	// Null channel pointers are skipped.
	Running d;
	Block partial (2, 32);
	partial.p32[0] = nullptr;
	partial.data.inputEvents = &events;
	d.p->process (partial.data);
	EXPECT_NE (partial.f32[1][31], -7.0f);
}

TEST (Processor, UnknownSampleSizeWritesNothing)
{
	// A host that announces another sample size with 32-bit buffers must not
	// see them overrun with doubles.
	Running r, reference;
	RawEvents events;
	events.noteOn (0, 0, 60, 1.0f);
	Block odd (2, 64), normal (2, 64);
	odd.data.symbolicSampleSize = 3;
	odd.data.inputEvents = &events;
	normal.data.inputEvents = &events;
	r.p->process (odd.data);
	reference.p->process (normal.data);
	for (const auto& channel : odd.f32)
		for (float x : channel)
			ASSERT_EQ (x, -7.0f);
	EXPECT_EQ (odd.bus.silenceFlags, 0u);
	// The engine advanced all the same.
	Block a (1, 16), b (1, 16);
	r.p->process (a.data);
	reference.p->process (b.data);
	EXPECT_EQ (a.f32[0], b.f32[0]);
}

TEST (Processor, NegativeSampleCountRendersNothing)
{
	Running r;
	Block block (2, 8);
	block.data.numSamples = -8;
	EXPECT_EQ (r.p->process (block.data), kResultOk);
	EXPECT_EQ (block.bus.silenceFlags, 0u);
	EXPECT_EQ (block.f32[0][0], -7.0f);
}

TEST (Processor, OnlyTheFirst128QueuesAct)
{
	Running r;
	RawChanges changes;
	for (int i = 0; i < 128; ++i)
		changes.add (55, {{0, 0.5}}); // queues without meaning, but they count
	changes.add (kSquareParam, {{0, 0.9}});
	Block block (1, 8);
	block.data.inputParameterChanges = &changes;
	r.p->process (block.data);
	EXPECT_EQ (r.state (), stateBlob (kDefaultParams));

	RawChanges fewer;
	for (int i = 0; i < 127; ++i)
		fewer.add (55, {{0, 0.5}});
	fewer.add (kSquareParam, {}); // empty queues do not count
	fewer.add (kSquareParam, {{0, 0.9}});
	block.data.inputParameterChanges = &fewer;
	r.p->process (block.data);
	ParamBlock expected = kDefaultParams;
	expected[kSquareParam] = 0.9;
	EXPECT_EQ (r.state (), stateBlob (expected));
}

TEST (Processor, ResetsSilenceTheVoiceButKeepValues)
{
	Running r;
	RawEvents events;
	events.noteOn (0, 0, 60, 1.0f);
	RawChanges changes;
	changes.add (kSquareParam, {{0, 0.7}});
	Block block (1, 256);
	block.data.inputEvents = &events;
	block.data.inputParameterChanges = &changes;
	r.p->process (block.data);
	ASSERT_NE (block.f32[0][255], 0.0f);

	r.p->setActive (false);
	r.p->setActive (true);
	Block silent (1, 256);
	r.p->process (silent.data);
	for (float x : silent.f32[0])
		ASSERT_EQ (x, 0.0f);
	ParamBlock expected = kDefaultParams;
	expected[kSquareParam] = 0.7;
	EXPECT_EQ (r.state (), stateBlob (expected));
}

namespace {

// One parameter queue whose second point is fetched only after the first was
// applied; at that moment it restores `blob` into the processor, as a main
// thread would in the middle of the audio thread's block.
class RestoringChanges : public RawChanges
{
public:
	RestoringChanges (Processor* p, const Bytes& blob)
	: queue (p, blob, Tarno::kOutputParam, {{0, 1.0}, {100, 1.0}}) {}
	int32 PLUGIN_API getParameterCount () SMTG_OVERRIDE { return 1; }
	IParamValueQueue* PLUGIN_API getParameterData (int32 index) SMTG_OVERRIDE
	{
		return index == 0 ? &queue : nullptr;
	}

	struct Queue : RawQueue
	{
		Queue (Processor* p, const Bytes& blob, ParamID id, std::vector<std::pair<int32, double>> points)
		: RawQueue (id, std::move (points)), p (p), blob (blob) {}
		tresult PLUGIN_API getPoint (int32 index, int32& offset, ParamValue& value) SMTG_OVERRIDE
		{
			if (index == 1 && p != nullptr)
			{
				EXPECT_EQ (p->setState (streamOf (blob)), kResultOk);
			}
			return RawQueue::getPoint (index, offset, value);
		}
		Processor* p;
		const Bytes& blob;
	} queue;
};

} // namespace

// A restore that lands inside a block carrying points for the same parameter
// (Output 0 dB points, Output restored to -60 dB): getState gives the
// restored values from then on, and the next block plays exactly what a
// restore between the blocks would have played.
TEST (Processor, RestoreDuringABlockWithPointsIsWhatPlaysAndWhatIsSaved)
{
	ParamBlock values = someValues ();
	values[Tarno::kOutputParam] = 0.0;
	const Bytes blob = stateBlob (values);

	Running during, between;
	RestoringChanges restoring (during.p, blob), plain (nullptr, blob);
	Block first (2, 256);
	first.data.inputParameterChanges = &restoring;
	during.p->process (first.data);
	EXPECT_EQ (during.state (), blob);
	first.data.inputParameterChanges = &plain;
	between.p->process (first.data);
	ASSERT_EQ (between.p->setState (streamOf (blob)), kResultOk);

	RawEvents note;
	note.noteOn (0, 0, 60, 1.0f);
	Block a (2, 256, true), b (2, 256, true);
	a.data.inputEvents = b.data.inputEvents = &note;
	during.p->process (a.data);
	between.p->process (b.data);
	EXPECT_EQ (a.f64[0], b.f64[0]);
	EXPECT_EQ (during.state (), blob);
	EXPECT_EQ (between.state (), blob);
}
