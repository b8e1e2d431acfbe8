// The standalone player's parts on their own: the computer keyboard with
// Ctrl held, the shared loop's rule for a lost backend, a module without an
// edit controller, and the threads: the queues and the pause handshake
// between the audio and main threads (run under ThreadSanitizer in the
// tsan stage).
#if defined(TARNO_HAVE_STANDALONE)

#include "player/ComputerKeyboard.h"
#include "player/PlayLoop.h"
#include "player/Player.h"
#include "tests/BundlePath.h"
#include "vst3host/SpscQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace Tarno::Standalone;
using namespace std::chrono_literals;

TEST (PlayerKeyboard, CtrlNeverLeavesANoteHanging)
{
	struct Notes : NoteSink
	{
		std::vector<std::pair<int, int>> played;
		bool queueNote (int key, int velocity) override
		{
			played.push_back ({key, velocity});
			return true;
		}
	};
	struct Case
	{
		const char* name;
		std::vector<std::tuple<char, bool, bool>> keys; // key, down, Ctrl held
		std::vector<std::pair<int, int>> notes;
	};
	const Case cases[] = {
	    {"pressed and released", {{'z', true, false}, {'z', false, false}}, {{60, 100}, {60, 0}}},
	    {"released with Ctrl held", {{'z', true, false}, {'z', false, true}}, {{60, 100}, {60, 0}}},
	    {"released with Ctrl held after an octave up",
	     {{'z', true, false}, {']', true, false}, {'z', false, true}},
	     {{60, 100}, {60, 0}}},
	    {"pressed with Ctrl (a shortcut)", {{'s', true, true}, {'s', false, true}}, {}},
	    {"pressed with Ctrl, released without", {{'s', true, true}, {'s', false, false}}, {}},
	};
	for (const Case& c : cases)
	{
		Notes notes;
		ComputerKeyboard keyboard (notes);
		for (const auto& k : c.keys)
			keyboard.key (std::get<0> (k), std::get<1> (k), std::get<2> (k));
		EXPECT_EQ (notes.played, c.notes) << c.name;
	}
}

// A backend the test loses and the loop opens again.
struct FakeBackend : AudioBackend
{
	bool lost = false;
	int* closed = nullptr;
	std::string description () const override { return "the fake output"; }
	Health poll (std::string& message) override
	{
		if (!lost)
			return Health::Playing;
		message = "the fake output was lost";
		return Health::Lost;
	}
	void close () override { ++*closed; }
};

TEST (PlayerLoop, ALostBackendIsOpenedAgainEvery2SecondsOrEndsTheLoop)
{
	using Clock = PlayLoop::Clock;
	for (const bool reconnect : {true, false})
	{
		Player player;
		Options o;
		o.noReconnect = !reconnect;
		int closed = 0;
		FakeBackend* current = new FakeBackend;
		current->closed = &closed;
		const Clock::time_point t0 = Clock::now ();
		std::vector<Clock::duration> tries;
		bool opens = false;
		Clock::time_point now = t0;
		PlayLoop loop (player, o, std::unique_ptr<AudioBackend> (current),
		               [&] (std::string& error) -> std::unique_ptr<AudioBackend> {
			               tries.push_back (now - t0);
			               if (!opens)
			               {
				               error = "not yet";
				               return nullptr;
			               }
			               current = new FakeBackend;
			               current->closed = &closed;
			               return std::unique_ptr<AudioBackend> (current);
		               },
		               t0);
		std::vector<std::string> said;
		loop.say = [&said] (const std::string& line) { said.push_back (line); };

		now = t0 + 500ms;
		EXPECT_TRUE (loop.step (now));
		current->lost = true;
		now = t0 + 1s;
		const bool goesOn = loop.step (now);
		EXPECT_EQ (closed, 1);
		EXPECT_FALSE (loop.playing ());
		if (!reconnect)
		{
			EXPECT_FALSE (goesOn);
			EXPECT_EQ (loop.status (), 1);
			EXPECT_EQ (said, std::vector<std::string> {"error: the fake output was lost"});
			EXPECT_TRUE (tries.empty ());
			continue;
		}
		EXPECT_TRUE (goesOn);
		ASSERT_EQ (said, std::vector<std::string> {"the fake output was lost; trying to reconnect every 2 seconds"});
		for (now = t0 + 1100ms; now < t0 + 6500ms; now += 100ms)
		{
			opens = now >= t0 + 4500ms;
			EXPECT_TRUE (loop.step (now));
		}
		EXPECT_EQ (tries, (std::vector<Clock::duration> {3s, 5s}));
		EXPECT_TRUE (loop.playing ());
		EXPECT_EQ (said.back (), "reconnected: playing through the fake output");
		EXPECT_EQ (loop.status (), 0);
	}
}

TEST (PlayerOpen, AModuleWithoutEditControllerIsRefused)
{
#if defined(_WIN32)
	const char* const module = "tarno_processor_only.dll";
#else
	const char* const module = "./tarno_processor_only.so";
#endif
	Player player;
	std::string error;
	EXPECT_FALSE (player.open (module, error));
	EXPECT_NE (error.find ("'Processor Only' has no edit controller"), std::string::npos) << error;
	EXPECT_FALSE (player.start (48000, error));
}

TEST (PlayerThreads, QueueHandsOverEveryItemOnceAndInOrder)
{
	Tarno::Host::SpscQueue<uint32_t, 64> queue;
	for (uint32_t i = 0; i < 64; ++i)
		ASSERT_TRUE (queue.push (i));
	EXPECT_FALSE (queue.push (64)) << "a full queue took one more";
	uint32_t item = 0;
	for (uint32_t i = 0; i < 64; ++i)
		ASSERT_TRUE (queue.pop (item) && item == i);

	constexpr uint32_t kItems = 100000;
	std::thread producer ([&queue] {
		for (uint32_t i = 0; i < kItems;)
			if (queue.push (i))
				++i;
			else
				std::this_thread::yield ();
	});
	uint32_t next = 0, wrong = 0;
	while (next < kItems)
		if (queue.pop (item))
			wrong += item != next++;
		else
			std::this_thread::yield ();
	producer.join ();
	EXPECT_EQ (wrong, 0u);
	EXPECT_FALSE (queue.pop (item));
}

// The audio thread plays on while the main thread changes the sample rate,
// restores states and sends notes and edits: what a block uses is never
// changed under it, and it keeps playing.
TEST (PlayerThreads, EveryChangeWaitsForThePlayingThread)
{
	Player player;
	std::string error;
	ASSERT_TRUE (player.open (TarnoTest::bundlePath (), error)) << error;
	ASSERT_TRUE (player.start (48000, error)) << error;
	const auto params = player.instance ().parameters ();
	ASSERT_FALSE (params.empty ());
	std::atomic<bool> stop {false};
	std::atomic<long> blocks {0};
	std::atomic<float> loudest {0.f};
	std::thread audio ([&] {
		std::vector<float> left (512), right (512);
		while (!stop.load ())
		{
			player.process (left.data (), right.data (), blocks.load () % 2 ? 512 : 96);
			float peak = loudest.load ();
			for (float v : left)
				peak = std::max (peak, std::abs (v));
			loudest.store (peak);
			blocks.fetch_add (1);
		}
	});
	const double rates[] = {44100, 96000, 48000};
	for (int round = 0; round < 30; ++round)
	{
		player.queueNote (48 + round % 24, 100);
		player.instance ().componentHandler ().performEdit (params[size_t (round) % params.size ()].id, 0.5);
		if (round % 3 == 2)
		{
			EXPECT_TRUE (player.changeSampleRate (rates[(round / 3) % 3], error)) << error;
		}
		if (round % 7 == 6)
		{
			EXPECT_TRUE (player.resetToDefaults (error)) << error;
		}
		player.idle ();
		// The audio thread renders between any two changes.
		for (const long seen = blocks.load (); blocks.load () < seen + 2;)
			std::this_thread::sleep_for (1ms);
	}
	stop.store (true);
	audio.join ();
	EXPECT_GT (loudest.load (), 0.01f) << "nothing was played";
	EXPECT_EQ (player.droppedEdits (), 0u);
}

// A block that takes longer than any timeout a pause might give up after:
// the change waits until the block ends.
TEST (PlayerThreads, AChangeWaitsForTheBlockInProgressHoweverLong)
{
	Player player;
	std::string error;
	ASSERT_TRUE (player.open (TarnoTest::bundlePath (), error)) << error;
	ASSERT_TRUE (player.start (48000, error)) << error;
	struct Gate : Player::MidiSource
	{
		std::atomic<bool> entered {false}, open {false};
		uint32_t count () override
		{
			entered.store (true);
			while (!open.load ())
				std::this_thread::sleep_for (1ms);
			return 0;
		}
		bool get (uint32_t, const uint8_t*&, size_t&, uint32_t&) override { return false; }
	} gate;
	std::thread audio ([&] {
		std::vector<float> left (256), right (256);
		player.process (left.data (), right.data (), 256, &gate);
	});
	while (!gate.entered.load ())
		std::this_thread::sleep_for (1ms);
	std::atomic<bool> changed {false};
	std::thread change ([&] {
		std::string e;
		changed.store (player.changeSampleRate (44100, e));
	});
	std::this_thread::sleep_for (2500ms);
	EXPECT_FALSE (changed.load ()) << "the sample rate changed during a block";
	gate.open.store (true);
	audio.join ();
	change.join ();
	EXPECT_TRUE (changed.load ());
	EXPECT_EQ (player.sampleRate (), 44100.0);
}

} // namespace

#endif
