// What the audio thread must never do: allocate, or race with the main
// thread's state calls.
#include "formats/vst3/Processor.h"
#include "tests/AllocationHooks.h"
#include "tests/ProcessUtil.h"
#include "tests/StreamUtil.h"

#include <gtest/gtest.h>

#if defined(TARNO_HAVE_STANDALONE)
#include "player/Player.h"
#include "tests/BundlePath.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <thread>

#include <xmmintrin.h>

using namespace Tarno;
using namespace TarnoTest;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

IPtr<Processor> running (double rate)
{
	IPtr<Processor> p = owned (static_cast<Processor*> (static_cast<IAudioProcessor*> (Processor::create (nullptr))));
	p->initialize (nullptr);
	ProcessSetup setup = {kRealtime, kSample32, 512, rate};
	p->setupProcessing (setup);
	p->setActive (true);
	p->setProcessing (true);
	return p;
}

} // namespace


TEST (Realtime, ProcessNeverAllocates)
{
	if (!Allocations::active ())
		GTEST_SKIP () << "allocations are counted in the builds without sanitizers";
	IPtr<Processor> p = running (48000);
	RawChanges changes;
	changes.add (kSquareParam, {{0, 0.2}, {100, 0.8}});
	changes.add (kGlissandoParam, {{0, 0.3}});
	changes.add (kPitchBendParam, {{50, 0.9}});
	changes.add (kSustainParam, {{10, 1.0}, {400, 0.0}});
	changes.add (kAllNotesOffParam, {{500, 0.0}});
	RawEvents events;
	for (int16 k = 0; k < 40; ++k)
	{
		events.noteOn (k * 12, int16 (k % 16), int16 (40 + k), 0.7f);
		events.noteOff (k * 12 + 6, int16 ((k + 3) % 16), int16 (40 + k));
	}
	Block block (2, 512), block64 (2, 512, true), flush (2, 0);
	for (Block* b : {&block, &block64, &flush})
	{
		b->data.inputParameterChanges = &changes;
		b->data.inputEvents = &events;
	}
	const Bytes restored = stateBlob (kDefaultParams);

	long counted = 0;
	for (int round = 0; round < 50; ++round)
	{
		if (round % 10 == 5)
			p->setState (streamOf (restored)); // picked up by the next block
		Allocations::count (true);
		p->process (round % 2 ? block.data : block64.data);
		p->process (flush.data);
		Allocations::count (false);
		counted += Allocations::counted ();
	}
	EXPECT_EQ (counted, 0);

	// The counter does count: a plain allocation is seen.
	Allocations::count (true);
	int* volatile probe = new int (5); // volatile: the pair must not be optimised away
	delete probe;
	Allocations::count (false);
	EXPECT_EQ (Allocations::counted (), 1);
}

// One thread restores and reads states while another processes: every read
// right after a restore returns the restored values, and (under
// ThreadSanitizer) no access races.
TEST (Concurrency, StateCallsWhileProcessing)
{
	IPtr<Processor> p = running (44100);
	std::atomic<bool> stop{false};
	std::thread audio ([&] {
		RawEvents events;
		events.noteOn (0, 0, 60, 1.0f);
		events.noteOff (200, 0, 60);
		Block block (2, 256);
		block.data.inputEvents = &events;
		while (!stop.load ())
			p->process (block.data);
	});

	ParamBlock a = kDefaultParams, b;
	for (int i = 0; i < kNumParams; ++i)
		b[i] = (i + 1) / 17.0;
	const Bytes blobs[2] = {stateBlob (a), stateBlob (b)};
	int mismatches = 0;
	for (int round = 0; round < 3000; ++round)
	{
		const Bytes& blob = blobs[round % 2];
		ASSERT_EQ (p->setState (streamOf (blob)), kResultOk);
		MemoryStream out;
		ASSERT_EQ (p->getState (&out), kResultOk);
		if (bytesOf (out) != blob)
			++mismatches;
	}
	stop = true;
	audio.join ();
	EXPECT_EQ (mismatches, 0);
}

// Restores and state reads on one thread while the audio thread applies
// Output points in every other block: a read gives the restored values, with
// Output either restored or the point's value (the audio thread applied it
// after taking the restore). Once the points stop, one block makes the read
// exactly the last restore.
TEST (Concurrency, RestoresWithPointsInFlight)
{
	IPtr<Processor> p = running (44100);
	constexpr double kPointValue = 0.123;
	std::atomic<bool> stop{false};
	std::thread audio ([&] {
		RawChanges changes;
		changes.add (Tarno::kOutputParam, {{0, kPointValue}, {64, kPointValue}});
		Block block (2, 128);
		for (int n = 0; !stop.load (); ++n)
		{
			block.data.inputParameterChanges = n % 2 ? &changes : nullptr;
			p->process (block.data);
		}
	});

	ParamBlock a = kDefaultParams, b;
	for (int i = 0; i < kNumParams; ++i)
		b[i] = (i + 1) / 17.0;
	const ParamBlock sets[2] = {a, b};
	int mismatches = 0;
	for (int round = 0; round < 3000; ++round)
	{
		const ParamBlock& set = sets[round % 2];
		ASSERT_EQ (p->setState (streamOf (stateBlob (set))), kResultOk);
		MemoryStream out;
		ASSERT_EQ (p->getState (&out), kResultOk);
		ParamBlock withPoint = set;
		withPoint[Tarno::kOutputParam] = kPointValue;
		const Bytes read = bytesOf (out);
		if (read != stateBlob (set) && read != stateBlob (withPoint))
			++mismatches;
	}
	stop = true;
	audio.join ();
	EXPECT_EQ (mismatches, 0);

	ASSERT_EQ (p->setState (streamOf (stateBlob (b))), kResultOk);
	Block block (2, 128);
	p->process (block.data);
	MemoryStream out;
	ASSERT_EQ (p->getState (&out), kResultOk);
	EXPECT_EQ (bytesOf (out), stateBlob (b));
}

#if defined(TARNO_HAVE_STANDALONE)
// The host library's real-time path, with everything that reaches it: values
// queued by setParameter and the controller's edits, events and points of
// the block, the processor's reports kept for the main thread.
TEST (Realtime, HostProcessBlockNeverAllocates)
{
	if (!Allocations::active ())
		GTEST_SKIP () << "allocations are counted in the builds without sanitizers";
	using namespace Tarno::Host;
	std::string error;
	auto module = Module::load (TarnoTest::bundlePath (), error);
	ASSERT_TRUE (module) << error;
	PluginInstance plugin;
	ASSERT_EQ (plugin.create (*module, *module->instrumentClass (error), error), kResultOk) << error;
	ProcessOptions o;
	o.maxBlockSize = 512;
	o.processMode = kRealtime;
	ASSERT_EQ (plugin.setupProcessing (o, error), kResultOk) << error;
	ASSERT_EQ (plugin.startProcessing (error), kResultOk) << error;
	const auto params = plugin.parameters ();
	ASSERT_FALSE (params.empty ());
	long counted = 0;
	float loudest = 0.f;
	for (int round = 0; round < 40; ++round)
	{
		plugin.setParameter (params[size_t (round) % params.size ()].id, round % 2 ? 0.3 : 0.7);
		plugin.componentHandler ().performEdit (params[size_t (round + 5) % params.size ()].id, 0.5);
		Midi::Event e;
		e.type = round % 4 == 3 ? Midi::EventType::NoteOff : Midi::EventType::NoteOn;
		e.data1 = uint8 (48 + round % 4);
		e.data2 = 100;
		plugin.midi ().translate (e, round % 50, plugin.events (), plugin.parameterChanges ());
		const int32 frames = round % 2 ? 512 : 64;
		Allocations::count (true);
		const tresult r = plugin.processBlock (frames);
		Allocations::count (false);
		EXPECT_EQ (r, kResultOk);
		counted += Allocations::counted ();
		for (int32 i = 0; i < frames; ++i)
			loudest = std::max (loudest, std::abs (plugin.output32 (0)[i]));
		plugin.deliverReportedValues ();
		plugin.componentHandler ().clear ();
	}
	EXPECT_EQ (counted, 0);
	EXPECT_GT (loudest, 0.01f) << "nothing was played";
	EXPECT_EQ (plugin.droppedPendingValues (), 0u);
}

// The standalone player's audio callback, with everything that reaches it:
// backend MIDI at offsets, keyboard notes and editor edits from the queues,
// blocks of several sizes.
TEST (Realtime, StandaloneCallbackNeverAllocates)
{
	if (!Allocations::active ())
		GTEST_SKIP () << "allocations are counted in the builds without sanitizers";
	using Tarno::Standalone::Player;
	Player player;
	std::string error;
	ASSERT_TRUE (player.open (TarnoTest::bundlePath (), error)) << error;
	ASSERT_TRUE (player.start (48000, error)) << error;
	const auto params = player.instance ().parameters ();
	ASSERT_FALSE (params.empty ());

	struct Messages : Player::MidiSource
	{
		uint8_t bytes[4][3] = {{0x90, 64, 90}, {0xB0, 1, 70}, {0xE0, 0, 80}, {0x80, 64, 0}};
		uint32_t count () override { return 4; }
		bool get (uint32_t i, const uint8_t*& data, size_t& size, uint32_t& offset) override
		{
			data = bytes[i];
			size = 3;
			offset = i * 50;
			return true;
		}
	} midi;
	std::vector<float> left (4096), right (4096);
	const unsigned int callerCsr = _mm_getcsr ();
	long counted = 0;
	float loudest = 0.f;
	for (int round = 0; round < 40; ++round)
	{
		player.queueNote (48 + round % 24, round % 3 ? 100 : 0);
		player.instance ().componentHandler ().performEdit (params[size_t (round) % params.size ()].id, 0.5);
		const int frames = round % 2 ? 256 : 4096;
		Allocations::count (true);
		player.process (left.data (), right.data (), frames, &midi);
		Allocations::count (false);
		counted += Allocations::counted ();
		for (int i = 0; i < frames; ++i)
			loudest = std::max (loudest, std::abs (left[size_t (i)]));
		player.idle ();
	}
	EXPECT_EQ (counted, 0);
	EXPECT_EQ (_mm_getcsr (), callerCsr) << "the callback left its flush-to-zero setting behind";
	EXPECT_GT (loudest, 0.01f) << "the callback played nothing";
	EXPECT_EQ (player.droppedEdits (), 0u);
}
#endif
