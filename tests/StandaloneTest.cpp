// The standalone player (tarnovelle) run as a program against a real JACK
// server (jackd's dummy backend under a private server name): MIDI from a
// test client, its outputs recorded by another and compared with an offline
// render; the saved state across restarts, a damaged state file, a server
// that goes away, and the ALSA fallback's error.
#if defined(TARNO_STANDALONE) && defined(TARNO_HAVE_JACK)

#include "BundlePath.h"

#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "vst3host/PresetFile.h"

#include <gtest/gtest.h>
#if defined(TARNO_HAVE_X11_EDITOR)
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif
#include <jack/jack.h>
#include <jack/midiport.h>

#include "TarnoVersion.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace Tarno::Host;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kRate = 48000;
constexpr int kBlock = 256;

std::string readText (const fs::path& p)
{
	std::ifstream in (p);
	std::stringstream s;
	s << in.rdbuf ();
	return s.str ();
}

// A child process with its stderr in a file; killed if still running at the end.
// With a file size limit (as on a full disk) its output comes through a
// pipe, which the limit does not bind, and a thread of the test writes it
// into the file.
struct Child
{
	pid_t pid = -1;
	fs::path log;
	rlim_t fileSizeLimit = RLIM_INFINITY;
	std::thread copier;

	// folder: where it starts (empty: here); with path, PATH is that alone.
	void start (const std::vector<std::string>& args, const fs::path& logFile, const fs::path& folder = {},
	            const std::string& path = {})
	{
		log = logFile;
		int fds[2] = {-1, -1};
		const bool limited = fileSizeLimit != RLIM_INFINITY && pipe (fds) == 0;
		pid = fork ();
		if (pid == 0)
		{
			const int out = limited ? fds[1] : fileno (std::fopen (logFile.c_str (), "w"));
			dup2 (out, 1);
			dup2 (out, 2);
			if (limited)
			{
				close (fds[0]);
				const rlimit limit {fileSizeLimit, fileSizeLimit};
				setrlimit (RLIMIT_FSIZE, &limit);
			}
			if (!folder.empty () && chdir (folder.c_str ()) != 0)
				_exit (126);
			if (!path.empty ())
				setenv ("PATH", path.c_str (), 1);
			std::vector<char*> argv;
			for (const std::string& a : args)
				argv.push_back (const_cast<char*> (a.c_str ()));
			argv.push_back (nullptr);
			execvp (argv[0], argv.data ());
			_exit (127);
		}
		if (limited)
		{
			close (fds[1]);
			copier = std::thread ([fd = fds[0], logFile] {
				std::FILE* f = std::fopen (logFile.c_str (), "w");
				char buffer[256];
				ssize_t n;
				while ((n = read (fd, buffer, sizeof (buffer))) > 0)
				{
					std::fwrite (buffer, 1, size_t (n), f);
					std::fflush (f);
				}
				std::fclose (f);
				close (fd);
			});
		}
	}
	// Exit status, or -1 when it did not end within the time.
	int wait (std::chrono::milliseconds timeout = 20s)
	{
		const auto until = std::chrono::steady_clock::now () + timeout;
		while (pid > 0)
		{
			int status = 0;
			if (waitpid (pid, &status, WNOHANG) == pid)
			{
				pid = -1;
				if (copier.joinable ())
					copier.join (); // the output ends with the program
				return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
			}
			if (std::chrono::steady_clock::now () > until)
				return -1;
			std::this_thread::sleep_for (20ms);
		}
		return -1;
	}
	bool waitForText (const std::string& text, std::chrono::milliseconds timeout = 20s)
	{
		const auto until = std::chrono::steady_clock::now () + timeout;
		while (std::chrono::steady_clock::now () < until)
		{
			if (readText (log).find (text) != std::string::npos)
				return true;
			std::this_thread::sleep_for (20ms);
		}
		return false;
	}
	std::string output () const { return readText (log); }
	~Child ()
	{
		if (pid > 0)
		{
			kill (pid, SIGKILL);
			waitpid (pid, nullptr, 0);
		}
		if (copier.joinable ())
			copier.join ();
	}
};

// Writes a preset of the instrument with the given parameters changed
// (by title; every writable one when titles is empty).
void writePreset (const fs::path& path, const std::vector<std::pair<std::string, double>>& values)
{
	std::string error;
	auto module = Module::load (TarnoTest::bundlePath (), error);
	ASSERT_TRUE (module) << error;
	PluginInstance plugin;
	ASSERT_EQ (plugin.create (*module, *module->instrumentClass (error), error), Steinberg::kResultOk);
	for (const auto& p : plugin.parameters ())
	{
		if (p.flags & Steinberg::Vst::ParameterInfo::kIsReadOnly)
			continue;
		if (values.empty ())
			plugin.setParameter (p.id, p.defaultNormalized > 0.5 ? 0.1 : 0.9);
		for (const auto& v : values)
			if (v.first == p.title)
				plugin.setParameter (p.id, v.second);
	}
	ProcessOptions o;
	ASSERT_EQ (plugin.setupProcessing (o, error), Steinberg::kResultOk);
	ASSERT_EQ (plugin.startProcessing (error), Steinberg::kResultOk);
	plugin.process (0); // hands the values to the processor
	plugin.stopProcessing ();
	ASSERT_TRUE (plugin.savePreset (path.string (), error)) << error;
}

class Standalone : public ::testing::Test
{
protected:
	void SetUp () override
	{
		dir_ = fs::temp_directory_path () / ("tarno-standalone-" + std::to_string (getpid ()));
		fs::remove_all (dir_);
		fs::create_directories (dir_ / "config");
		// JACK keeps a few server slots per user in shared memory; a slot
		// left by a server that did not end cleanly is only taken back by
		// a server of the same name. Each test has a name of its own, the
		// same in every run.
		server_ = std::string ("tarno-") + ::testing::UnitTest::GetInstance ()->current_test_info ()->name ();
		server_.resize (std::min<size_t> (server_.size (), 32));
		setenv ("JACK_DEFAULT_SERVER", server_.c_str (), 1);
		setenv ("JACK_NO_START_SERVER", "1", 1);
		setenv ("JACK_NO_AUDIO_RESERVATION", "1", 1);
		setenv ("XDG_CONFIG_HOME", (dir_ / "config").c_str (), 1);
	}
	void TearDown () override
	{
		player_.reset ();
		if (jackd_ && jackd_->pid > 0)
			stopServer (); // a clean end gives the server's slot back
		jackd_.reset ();
		fs::remove_all (dir_);
	}

	bool startServer ()
	{
		jack_set_error_function ([] (const char*) {});
		jack_set_info_function ([] (const char*) {});
		jackd_ = std::make_unique<Child> ();
		jackd_->start ({"jackd", "-n", server_, "-r", "-d", "dummy", "-r", std::to_string (kRate), "-p",
		                std::to_string (kBlock)},
		               dir_ / ("jackd-" + std::to_string (++servers_) + ".log"));
		for (int i = 0; i < 200; ++i)
		{
			if (jack_client_t* c = jack_client_open ("probe", JackNoStartServer, nullptr))
			{
				jack_client_close (c);
				return true;
			}
			std::this_thread::sleep_for (50ms);
		}
		return false;
	}
	void stopServer ()
	{
		kill (jackd_->pid, SIGTERM);
		jackd_->wait ();
	}

	void startPlayer (std::vector<std::string> extra = {}, bool window = false, rlim_t fileSizeLimit = RLIM_INFINITY)
	{
		std::vector<std::string> args {TARNO_STANDALONE, "--plugin", TarnoTest::bundlePath ()};
		if (!window)
			args.push_back ("--no-gui");
		args.insert (args.end (), extra.begin (), extra.end ());
		player_ = std::make_unique<Child> ();
		player_->fileSizeLimit = fileSizeLimit;
		player_->start (args, dir_ / ("player-" + std::to_string (++players_) + ".log"));
	}
	int stopPlayer ()
	{
		kill (player_->pid, SIGTERM);
		return player_->wait ();
	}
	fs::path stateFile () const { return dir_ / "config" / "tarnovelle" / "state.vstpreset"; }

	fs::path dir_;
	std::string server_;
	std::unique_ptr<Child> jackd_, player_;
	int servers_ = 0, players_ = 0;
};

// The notes of the test: absolute sample, message.
struct Note
{
	int frame;
	uint8_t status, key, velocity;
};
const std::vector<Note> kNotes {
    {100, 0x90, 60, 100}, {5000, 0x80, 60, 0},  {5003, 0x90, 67, 90},  {9000, 0x90, 72, 127},
    {9100, 0x80, 67, 0},  {14000, 0x80, 72, 0}, {14001, 0xB0, 1, 80}, {15000, 0x90, 48, 64},
    {21000, 0x80, 48, 0}};
constexpr int kRecordFrames = 24576;
// The player runs this long at most (in blocks) before the recording starts.
constexpr int kMaxLeadInBlocks = 3000;

// Sends kNotes and records both outputs, counted from the same cycle.
struct Rig
{
	jack_client_t* sender = nullptr;
	jack_client_t* recorder = nullptr;
	jack_port_t* midiOut = nullptr;
	jack_port_t* in[2] = {};
	std::atomic<int64_t> start {-1};
	std::atomic<bool> armed {false};
	std::vector<float> recorded[2];
	std::atomic<int> recordedFrames {0};

	static int send (jack_nframes_t n, void* arg)
	{
		auto* r = static_cast<Rig*> (arg);
		void* buffer = jack_port_get_buffer (r->midiOut, n);
		jack_midi_clear_buffer (buffer);
		if (!r->armed.load ())
			return 0;
		const int64_t now = jack_last_frame_time (r->sender);
		if (r->start.load () < 0)
			r->start.store (now);
		const int64_t rel = now - r->start.load ();
		for (const Note& note : kNotes)
			if (note.frame >= rel && note.frame < rel + int64_t (n))
			{
				const uint8_t bytes[3] = {note.status, note.key, note.velocity};
				jack_midi_event_write (buffer, jack_nframes_t (note.frame - rel), bytes, 3);
			}
		return 0;
	}
	static int record (jack_nframes_t n, void* arg)
	{
		auto* r = static_cast<Rig*> (arg);
		const int64_t start = r->start.load ();
		if (start < 0)
			return 0;
		const int64_t rel = int64_t (jack_last_frame_time (r->recorder)) - start;
		for (int c = 0; c < 2; ++c)
		{
			const auto* data = static_cast<const float*> (jack_port_get_buffer (r->in[c], n));
			for (jack_nframes_t i = 0; i < n; ++i)
				if (rel + i >= 0 && rel + i < kRecordFrames)
					r->recorded[c][size_t (rel + i)] = data[i];
		}
		r->recordedFrames.store (int (std::min<int64_t> (rel + n, kRecordFrames)));
		return 0;
	}

	// Sends the notes to the player and records kRecordFrames of its outputs.
	void run ()
	{
		recorded[0].assign (kRecordFrames, -9.f);
		recorded[1].assign (kRecordFrames, -9.f);
		sender = jack_client_open ("sender", JackNoStartServer, nullptr);
		recorder = jack_client_open ("recorder", JackNoStartServer, nullptr);
		ASSERT_TRUE (sender && recorder);
		midiOut = jack_port_register (sender, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
		in[0] = jack_port_register (recorder, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
		in[1] = jack_port_register (recorder, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
		jack_set_process_callback (sender, &Rig::send, this);
		jack_set_process_callback (recorder, &Rig::record, this);
		ASSERT_EQ (jack_activate (sender), 0);
		ASSERT_EQ (jack_activate (recorder), 0);
		ASSERT_EQ (jack_connect (sender, "sender:out", "Tarnovelle:midi_in"), 0);
		ASSERT_EQ (jack_connect (recorder, "Tarnovelle:out_left", "recorder:left"), 0);
		ASSERT_EQ (jack_connect (recorder, "Tarnovelle:out_right", "recorder:right"), 0);
		// Freewheeling: every client runs in every cycle, in graph order
		// (sender, player, recorder), however loaded the machine is.
		ASSERT_EQ (jack_set_freewheel (sender, 1), 0);
		armed.store (true);
		for (int i = 0; i < 1000 && recordedFrames.load () < kRecordFrames; ++i)
			std::this_thread::sleep_for (10ms);
		jack_set_freewheel (sender, 0);
		ASSERT_EQ (recordedFrames.load (), kRecordFrames);
	}
	float loudest (int channel) const
	{
		float peak = 0.f;
		for (float v : recorded[channel])
			peak = std::max (peak, std::abs (v));
		return peak;
	}
	~Rig ()
	{
		if (sender)
			jack_client_close (sender);
		if (recorder)
			jack_client_close (recorder);
	}
};

// What the player must play: the same notes rendered offline in blocks of
// the server's size, each at its sample, after leadIn samples of silence
// (the oscillator and its modulators run from the moment processing starts,
// so the sound of a note depends on how long the player had been running).
// Renders `frames` samples of both channels after the lead-in.
std::vector<float> offlineRender (Module& module, const fs::path& preset, int leadInBlocks, int frames)
{
	std::string error;
	PluginInstance plugin;
	EXPECT_EQ (plugin.create (module, *module.instrumentClass (error), error), Steinberg::kResultOk) << error;
	EXPECT_TRUE (plugin.loadPreset (preset.string (), error)) << error;
	ProcessOptions o;
	o.sampleRate = kRate;
	o.maxBlockSize = 8192;
	o.processMode = Steinberg::Vst::kRealtime;
	EXPECT_EQ (plugin.setupProcessing (o, error), Steinberg::kResultOk) << error;
	EXPECT_EQ (plugin.startProcessing (error), Steinberg::kResultOk) << error;
	for (int i = 0; i < leadInBlocks; ++i)
		plugin.process (kBlock);
	std::vector<float> out;
	for (int block = 0; block * kBlock < frames; ++block)
	{
		for (const Note& n : kNotes)
			if (n.frame / kBlock == block)
			{
				Midi::Event e;
				e.type = n.status == 0x90 ? Midi::EventType::NoteOn
				         : n.status == 0x80 ? Midi::EventType::NoteOff : Midi::EventType::ControlChange;
				e.data1 = n.key;
				e.data2 = n.status == 0x80 ? 0 : n.velocity;
				plugin.midi ().translate (e, n.frame % kBlock, plugin.events (), plugin.parameterChanges ());
			}
		plugin.process (kBlock);
		for (int c = 0; c < 2; ++c)
			out.insert (out.end (), plugin.output32 (c), plugin.output32 (c) + kBlock);
	}
	// Channel-major: left then right, frames each.
	std::vector<float> planar;
	for (int c = 0; c < 2; ++c)
		for (int i = 0; i < frames; ++i)
			planar.push_back (out[size_t ((i / kBlock) * 2 * kBlock + c * kBlock + i % kBlock)]);
	return planar;
}

TEST_F (Standalone, PlaysJackMidiExactlyAsAnOfflineRender)
{
	ASSERT_TRUE (startServer ()) << jackd_->output ();
	// Vibrato and tremolo run from the moment processing starts; without
	// them the sound depends only on the notes and where they arrive.
	const fs::path preset = dir_ / "steady.vstpreset";
	writePreset (preset, {{"Vibrato depth", 0.0}, {"Tremolo depth", 0.0}});
	startPlayer ({"--no-connect", "--preset", preset.string ()});
	ASSERT_TRUE (player_->waitForText ("playing through JACK client 'Tarnovelle', 48000 Hz, 256 samples"))
	    << player_->output ();

	Rig rig;
	rig.run ();
	if (HasFatalFailure ())
		return;

	// The player ran for a whole number of blocks before the recording
	// started: the lead-in is the one whose first note's block sounds as
	// recorded. Everything after that block must then match exactly.
	std::string error;
	auto module = Module::load (TarnoTest::bundlePath (), error);
	ASSERT_TRUE (module) << error;
	const int firstBlocks = kNotes[0].frame / kBlock + 1;
	int leadIn = -1;
	for (int blocks = 0; blocks < kMaxLeadInBlocks && leadIn < 0; ++blocks)
	{
		const std::vector<float> start = offlineRender (*module, preset, blocks, firstBlocks * kBlock);
		if (std::equal (start.begin (), start.begin () + firstBlocks * kBlock, rig.recorded[0].begin ()))
			leadIn = blocks;
	}
	ASSERT_GE (leadIn, 0) << "no lead-in up to " << kMaxLeadInBlocks << " blocks gives the recorded first note";
	RecordProperty ("lead_in_blocks", leadIn);
	const std::vector<float> expected = offlineRender (*module, preset, leadIn, kRecordFrames);
	for (int c = 0; c < 2; ++c)
	{
		const float* wanted = expected.data () + size_t (c) * kRecordFrames;
		float loudest = 0.f;
		int firstDifference = -1;
		for (int i = 0; i < kRecordFrames; ++i)
		{
			loudest = std::max (loudest, std::abs (wanted[i]));
			if (firstDifference < 0 && rig.recorded[c][size_t (i)] != wanted[i])
				firstDifference = i;
		}
		EXPECT_GT (loudest, 0.05f) << "the render is silent";
		EXPECT_EQ (firstDifference, -1) << "channel " << c << " differs from sample " << firstDifference
		                                << " (lead-in " << leadIn << " blocks)";
	}
	EXPECT_EQ (stopPlayer (), 0) << player_->output ();
}

TEST_F (Standalone, StateSurvivesRestartsAndADamagedFileIsSetAside)
{
	ASSERT_TRUE (startServer ());
	// A preset with a sound other than the default one.
	const fs::path preset = dir_ / "bright.vstpreset";
	writePreset (preset, {});
	std::string error;
	PresetContents wanted, saved;

	startPlayer ({"--no-connect", "--preset", preset.string ()});
	ASSERT_TRUE (player_->waitForText ("playing through"));
	EXPECT_EQ (stopPlayer (), 0) << player_->output ();
	EXPECT_NE (player_->output ().find ("terminated (SIGTERM)"), std::string::npos);
	Steinberg::TUID cid;
	{
		auto module = Module::load (TarnoTest::bundlePath (), error);
		std::memcpy (cid, module->instrumentClass (error)->cid, sizeof (cid));
	}
	ASSERT_TRUE (readPresetFile (preset.string (), cid, wanted, error)) << error;
	ASSERT_TRUE (readPresetFile (stateFile ().string (), cid, saved, error)) << error;
	EXPECT_EQ (saved.componentState, wanted.componentState);

	// The next start restores it; SIGINT ends as cleanly.
	startPlayer ({"--no-connect"});
	ASSERT_TRUE (player_->waitForText ("playing through"));
	kill (player_->pid, SIGINT);
	EXPECT_EQ (player_->wait (), 0);
	EXPECT_NE (player_->output ().find ("restored the last state"), std::string::npos) << player_->output ();
	ASSERT_TRUE (readPresetFile (stateFile ().string (), cid, saved, error)) << error;
	EXPECT_EQ (saved.componentState, wanted.componentState);

	// A damaged file: reported, moved aside, the defaults played and saved.
	for (const std::string& damage : {std::string ("garbage"), readText (stateFile ()).substr (0, 60)})
	{
		std::ofstream (stateFile (), std::ios::binary | std::ios::trunc) << damage;
		startPlayer ({"--no-connect", "--seconds", "1"});
		EXPECT_EQ (player_->wait (), 0) << player_->output ();
		EXPECT_NE (player_->output ().find ("the saved state is damaged"), std::string::npos) << player_->output ();
		EXPECT_EQ (readText (fs::path (stateFile ().string () + ".damaged")), damage);
		ASSERT_TRUE (readPresetFile (stateFile ().string (), cid, saved, error)) << error;
		EXPECT_NE (saved.componentState, wanted.componentState);
	}
}

// The last good state survives a save that fails (status 1, said in one
// line), and a state file that cannot be read is reported and left as it
// is, not set aside as damaged nor saved over.
TEST_F (Standalone, FailedSavesAndUnreadableStateFilesKeepTheLastGoodFile)
{
	ASSERT_TRUE (startServer ());
	startPlayer ({"--no-connect", "--seconds", "0.3"});
	ASSERT_EQ (player_->wait (), 0) << player_->output ();
	const std::string good = readText (stateFile ());
	ASSERT_GT (good.size (), 100u);
	const fs::path folder = stateFile ().parent_path ();
	const bool rootUser = geteuid () == 0;

	struct Case
	{
		const char* name;
		rlim_t fileSizeLimit;
		int status;
		std::string said;
	};
	const Case cases[] = {
	    {"a file size limit (a full disk)", rlim_t (good.size () / 2), 1,
	     "error: the state was not saved: cannot write '" + stateFile ().string () + "': "},
	    {"an unreadable file", RLIM_INFINITY, 0, "the saved state cannot be read"},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE (c.name);
		const bool unreadable = c.fileSizeLimit == RLIM_INFINITY;
		// Root reads any file: a folder in the file's place cannot be read
		// by anyone.
		if (unreadable && rootUser)
		{
			fs::remove (stateFile ());
			fs::create_directory (stateFile ());
		}
		else if (unreadable)
			fs::permissions (stateFile (), fs::perms::none);
		startPlayer ({"--no-connect", "--seconds", "0.3"}, false, c.fileSizeLimit);
		EXPECT_EQ (player_->wait (), c.status) << player_->output ();
		EXPECT_NE (player_->output ().find (c.said), std::string::npos) << player_->output ();
		EXPECT_FALSE (fs::exists (stateFile ().string () + ".damaged"));
		EXPECT_EQ (std::distance (fs::directory_iterator (folder), fs::directory_iterator ()), 1);
		if (unreadable && rootUser)
		{
			EXPECT_TRUE (fs::is_directory (stateFile ()));
			fs::remove (stateFile ());
			std::ofstream (stateFile (), std::ios::binary) << good;
		}
		else
		{
			fs::permissions (stateFile (), fs::perms::owner_read | fs::perms::owner_write);
			EXPECT_EQ (readText (stateFile ()), good);
		}
	}
}

TEST_F (Standalone, ServerThatGoesAwayIsReconnectedOrEndsThePlayer)
{
	ASSERT_TRUE (startServer ());
	// A MIDI keyboard as JACK shows one: a physical capture port.
	jack_client_t* probe = jack_client_open ("keys", JackNoStartServer, nullptr);
	ASSERT_NE (probe, nullptr);
	ASSERT_NE (jack_port_register (probe, "capture", JACK_DEFAULT_MIDI_TYPE,
	                               JackPortIsOutput | JackPortIsPhysical | JackPortIsTerminal, 0),
	           nullptr);
	ASSERT_EQ (jack_activate (probe), 0);
	startPlayer ();
	ASSERT_TRUE (player_->waitForText ("playing through"));
	auto connectedTo = [probe] (const char* port) {
		std::string list;
		const char** names = jack_port_get_all_connections (probe, jack_port_by_name (probe, port));
		for (int i = 0; names && names[i]; ++i)
			list += std::string (names[i]) + " ";
		jack_free (names);
		return list;
	};
	EXPECT_EQ (connectedTo ("Tarnovelle:out_left"), "system:playback_1 ");
	EXPECT_EQ (connectedTo ("Tarnovelle:out_right"), "system:playback_2 ");
	EXPECT_EQ (connectedTo ("Tarnovelle:midi_in"), "keys:capture ");
	// A new block size is followed (and said).
	EXPECT_EQ (jack_set_buffer_size (probe, 128), 0);
	jack_client_close (probe);
	EXPECT_TRUE (player_->waitForText ("the JACK server changed its block size to 128 samples")) << player_->output ();
	stopServer ();
	ASSERT_TRUE (player_->waitForText ("trying to reconnect every 2 seconds"))
	    << player_->output ();
	ASSERT_TRUE (startServer ());
	ASSERT_TRUE (player_->waitForText ("reconnected: playing through JACK client 'Tarnovelle'")) << player_->output ();
	{
		// ... and plays again.
		Rig rig;
		rig.run ();
		EXPECT_GT (rig.loudest (0), 0.05f) << "the reconnected player is silent";
	}
	EXPECT_EQ (stopPlayer (), 0);

	startPlayer ({"--no-connect", "--no-reconnect"});
	ASSERT_TRUE (player_->waitForText ("playing through"));
	stopServer ();
	EXPECT_EQ (player_->wait (), 1) << player_->output ();
	EXPECT_NE (player_->output ().find ("error: the JACK server shut down"), std::string::npos) << player_->output ();
	EXPECT_TRUE (fs::exists (stateFile ()));
}

TEST_F (Standalone, WithoutJackFallsBackToAlsaOrSaysWhatWasTried)
{
	// No server runs under the test's name.
	startPlayer ({"--device", "tarno_no_such_pcm"});
	EXPECT_EQ (player_->wait (), 1);
	const std::string out = player_->output ();
	EXPECT_NE (out.find ("error: cannot play: no JACK server is running (server name '" + server_ +
	                     "'), and the ALSA device 'tarno_no_such_pcm' cannot be opened ("),
	           std::string::npos)
	    << out;
	EXPECT_EQ (std::count (out.begin (), out.end (), '\n'), 1) << out;

	// ALSA plays (with or without a sequencer on this machine): into a file
	// through the null device, a device without a clock of its own. What
	// the player says it played is what the device got, sample for sample.
	const fs::path raw = dir_ / "played.raw";
	const std::string device = "file:FILE=" + raw.string () + ",FORMAT=raw";
	startPlayer ({"--device", device, "--seconds", "1"});
	EXPECT_EQ (player_->wait (), 0) << player_->output ();
	const std::string out2 = player_->output ();
	EXPECT_NE (out2.find ("playing through ALSA device '" + device + "', 48000 Hz"), std::string::npos) << out2;
	const size_t played = out2.find (" s of sound (");
	ASSERT_NE (played, std::string::npos) << out2;
	const long long samples = std::atoll (out2.c_str () + played + 13);
	EXPECT_GT (samples, 0) << out2;
	EXPECT_EQ (static_cast<long long> (fs::file_size (raw)), samples * 2 * static_cast<long long> (sizeof (float))) << out2;

	// The command line.
	startPlayer ({"--bogus"});
	EXPECT_EQ (player_->wait (), 2);
	startPlayer ({"--version"});
	EXPECT_EQ (player_->wait (), 0);
	EXPECT_EQ (player_->output (), std::string ("tarnovelle ") + TARNO_VERSION_STRING + "\n");

	// Every option of --help is in the manual page.
	startPlayer ({"--help"});
	EXPECT_EQ (player_->wait (), 0);
	std::string manual = readText (fs::path (TARNO_SOURCE_DIR) / "packaging" / "linux" / "tarnovelle.1");
	for (size_t at; (at = manual.find ("\\-")) != std::string::npos;)
		manual.replace (at, 2, "-");
	const std::string help = player_->output ();
	int options = 0;
	for (size_t at = 0; (at = help.find ("\n  --", at)) != std::string::npos; ++options)
	{
		const size_t start = at + 3;
		at = help.find_first_of (" \n", start);
		const std::string option = help.substr (start, at - start);
		const bool listed = manual.find ("\n.B " + option + "\n") != std::string::npos ||
		                    manual.find ("\n.BI " + option + " ") != std::string::npos;
		EXPECT_TRUE (listed) << option << " is not in tarnovelle.1";
	}
	EXPECT_EQ (options, 9);
}

// Started through PATH from a folder holding a bundle of the same name (an
// empty one here), the player loads the bundle in its own folder.
TEST_F (Standalone, PlaysItsOwnBundleWhateverTheCurrentFolderHolds)
{
	const fs::path folder = dir_ / "elsewhere";
	fs::create_directories (folder / "Tarnovelle.vst3");
	const fs::path program = fs::absolute (TARNO_STANDALONE);
	player_ = std::make_unique<Child> ();
	player_->start ({program.filename ().string (), "--no-gui", "--device", "null", "--seconds", "0.2"},
	                dir_ / "player-path.log", folder, program.parent_path ().string () + ":/usr/bin:/bin");
	EXPECT_EQ (player_->wait (), 0) << player_->output ();
	EXPECT_NE (player_->output ().find ("playing through ALSA device 'null'"), std::string::npos)
	    << player_->output ();
}

#if defined(TARNO_HAVE_X11_EDITOR)
Window findWindow (Display* display, const char* title)
{
	Window root = 0, parent = 0, *children = nullptr;
	unsigned count = 0;
	Window found = 0;
	if (XQueryTree (display, DefaultRootWindow (display), &root, &parent, &children, &count))
		for (unsigned i = 0; i < count && !found; ++i)
		{
			char* name = nullptr;
			if (XFetchName (display, children[i], &name) && name && std::strcmp (name, title) == 0)
				found = children[i];
			if (name)
				XFree (name);
		}
	if (children)
		XFree (children);
	return found;
}

// The loudest sample of the player's left output since the last reset.
struct PeakMeter
{
	jack_client_t* client = nullptr;
	jack_port_t* in = nullptr;
	std::atomic<float> peak {0.f};
	static int process (jack_nframes_t n, void* arg)
	{
		auto* m = static_cast<PeakMeter*> (arg);
		const auto* data = static_cast<const float*> (jack_port_get_buffer (m->in, n));
		float p = m->peak.load ();
		for (jack_nframes_t i = 0; i < n; ++i)
			p = std::max (p, std::abs (data[i]));
		m->peak.store (p);
		return 0;
	}
};

using X11EditorStandalone = Standalone;

TEST_F (X11EditorStandalone, WindowKeysPlayNotesSavePresetsAndClosingSavesTheState)
{
	Display* display = XOpenDisplay (nullptr);
	if (display == nullptr)
		GTEST_SKIP () << "no X display";
	ASSERT_TRUE (startServer ());
	startPlayer ({"--no-connect"}, true);
	ASSERT_TRUE (player_->waitForText ("playing through")) << player_->output ();
	Window window = 0;
	for (int i = 0; i < 200 && !window; ++i, std::this_thread::sleep_for (50ms))
		window = findWindow (display, "Tarnovelle");
	ASSERT_NE (window, Window (0)) << player_->output ();

	PeakMeter meter;
	meter.client = jack_client_open ("meter", JackNoStartServer, nullptr);
	ASSERT_NE (meter.client, nullptr);
	meter.in = jack_port_register (meter.client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
	jack_set_process_callback (meter.client, &PeakMeter::process, &meter);
	ASSERT_EQ (jack_activate (meter.client), 0);
	ASSERT_EQ (jack_connect (meter.client, "Tarnovelle:out_left", "meter:in"), 0);

	XWindowAttributes attributes;
	for (int i = 0; i < 100; ++i, std::this_thread::sleep_for (50ms))
		if (XGetWindowAttributes (display, window, &attributes) && attributes.map_state == IsViewable)
			break;
	XSetInputFocus (display, window, RevertToParent, CurrentTime);
	auto key = [&] (KeySym sym, bool down) {
		XTestFakeKeyEvent (display, XKeysymToKeycode (display, sym), down, CurrentTime);
		XFlush (display);
	};
	std::this_thread::sleep_for (300ms);
	EXPECT_LT (meter.peak.load (), 1e-6f) << "sound before any key";
	key (XK_z, true);
	for (int i = 0; i < 100 && meter.peak.load () < 0.05f; ++i)
		std::this_thread::sleep_for (20ms);
	key (XK_z, false);
	EXPECT_GE (meter.peak.load (), 0.05f) << "the Z key played nothing";

	key (XK_Control_L, true);
	key (XK_s, true);
	key (XK_s, false);
	key (XK_Control_L, false);
	EXPECT_TRUE (player_->waitForText ("saved the preset")) << player_->output ();
	EXPECT_TRUE (fs::exists (dir_ / "config" / "tarnovelle" / "presets" / "Preset 001.vstpreset"));
	key (XK_Next, true);
	key (XK_Next, false);
	EXPECT_TRUE (player_->waitForText ("loaded the preset")) << player_->output ();
	jack_client_close (meter.client);

	XEvent close {};
	close.xclient.type = ClientMessage;
	close.xclient.window = window;
	close.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
	close.xclient.format = 32;
	close.xclient.data.l[0] = long (XInternAtom (display, "WM_DELETE_WINDOW", False));
	XSendEvent (display, window, False, NoEventMask, &close);
	XFlush (display);
	EXPECT_EQ (player_->wait (), 0) << player_->output ();
	EXPECT_TRUE (fs::exists (stateFile ()));
	XCloseDisplay (display);
}
#endif

} // namespace

#endif
