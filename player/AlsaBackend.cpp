#include "player/AlsaBackend.h"

#include "player/Options.h"
#include "player/Player.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace Tarno {
namespace Standalone {

namespace {

constexpr unsigned kPreferredRate = 48000;
constexpr unsigned kChannels = 2;
// Latency asked of the device: periods of about 5 ms.
constexpr unsigned kLatencyMicroseconds = 20000;
constexpr int kSequencerPollMs = 100;
// The playing thread looks at running_ at least this often while it waits
// for room, and gives a device that takes nothing for kStalledMs up as lost.
constexpr int kWaitMs = 100;
constexpr int kStalledMs = 2000;
// The playing thread's SCHED_FIFO priority (as JACK's clients commonly run).
constexpr int kRealtimePriority = 70;

class AlsaBackend : public AudioBackend
{
public:
	explicit AlsaBackend (Player& player) : player_ (player) {}
	~AlsaBackend () override { close (); }

	bool open (const Options& options, std::string& error, std::vector<std::string>& warnings)
	{
		device_ = options.device.empty () ? "default" : options.device;
		int r = snd_pcm_open (&pcm_, device_.c_str (), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
		if (r < 0)
		{
			pcm_ = nullptr;
			error = "the ALSA device '" + device_ + "' cannot be opened (" + snd_strerror (r) + ")";
			return false;
		}
		r = snd_pcm_set_params (pcm_, SND_PCM_FORMAT_FLOAT, SND_PCM_ACCESS_RW_INTERLEAVED, kChannels,
		                        kPreferredRate, 1, kLatencyMicroseconds);
		snd_pcm_uframes_t bufferSize = 0;
		if (r >= 0)
			r = snd_pcm_get_params (pcm_, &bufferSize, &period_);
		snd_pcm_hw_params_t* hw = nullptr;
		snd_pcm_hw_params_alloca (&hw);
		unsigned rate = kPreferredRate;
		if (r >= 0 && snd_pcm_hw_params_current (pcm_, hw) >= 0)
			snd_pcm_hw_params_get_rate (hw, &rate, nullptr);
		if (r < 0 || period_ == 0 || period_ > snd_pcm_uframes_t (Player::kMaxBlockSize))
		{
			error = "the ALSA device '" + device_ + "' does not take 2-channel float output" +
			        (r < 0 ? std::string (" (") + snd_strerror (r) + ")" : std::string ());
			return false;
		}
		rate_ = rate;
		if (!player_.start (double (rate_), error))
			return false;
		openSequencer (warnings);
		interleaved_.assign (size_t (period_) * kChannels, 0.f);
		left_.assign (size_t (period_), 0.f);
		right_.assign (size_t (period_), 0.f);
		running_.store (true);
		audio_ = std::thread ([this] { play (); });
		sched_param priority {};
		priority.sched_priority = std::min (kRealtimePriority, sched_get_priority_max (SCHED_FIFO));
		if (const int failed = pthread_setschedparam (audio_.native_handle (), SCHED_FIFO, &priority))
			warnings.push_back (std::string ("the audio thread plays without real-time scheduling (SCHED_FIFO: ") +
			                    std::strerror (failed) + "): it may drop out under load");
		if (sequencer_)
			midiThread_ = std::thread ([this] { readSequencer (); });
		return true;
	}

	std::string description () const override
	{
		char text[256];
		std::snprintf (text, sizeof (text), "ALSA device '%s', %u Hz, %lu samples per block (%.2f ms)%s",
		               device_.c_str (), rate_, (unsigned long) period_, rate_ ? 1000.0 * period_ / rate_ : 0.0,
		               sequencer_ ? ", ALSA sequencer port 'Tarnovelle:MIDI in'" : "");
		return text;
	}

	Health poll (std::string& message) override
	{
		if (failed_.load ())
		{
			message = "the ALSA device '" + device_ + "' stopped playing";
			return Health::Lost;
		}
		return Health::Playing;
	}

	void close () override
	{
		running_.store (false);
		if (audio_.joinable ())
			audio_.join ();
		if (midiThread_.joinable ())
			midiThread_.join ();
		if (pcm_)
		{
			snd_pcm_drop (pcm_);
			snd_pcm_close (pcm_);
			pcm_ = nullptr;
		}
		if (sequencer_)
		{
			snd_seq_close (sequencer_);
			sequencer_ = nullptr;
		}
		player_.stop ();
	}

private:
	void openSequencer (std::vector<std::string>& warnings)
	{
		int r = snd_seq_open (&sequencer_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
		if (r < 0)
		{
			sequencer_ = nullptr;
			warnings.push_back (std::string ("no ALSA sequencer (") + snd_strerror (r) +
			                    "): MIDI input is off; the window's keyboard still plays");
			return;
		}
		snd_seq_set_client_name (sequencer_, "Tarnovelle");
		r = snd_seq_create_simple_port (sequencer_, "MIDI in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
		                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
		if (r < 0)
		{
			warnings.push_back (std::string ("the ALSA sequencer refused the input port (") + snd_strerror (r) +
			                    "): MIDI input is off");
			snd_seq_close (sequencer_);
			sequencer_ = nullptr;
		}
	}

	// The playing thread: one period rendered, interleaved and written at a
	// time. A device with a clock of its own paces the thread: a write it
	// has no room for waits (poll) until it has. A device without one
	// (ALSA's "null", a file) takes everything at once, which shows after
	// the first write: nothing of it is still waiting to be played
	// (snd_pcm_delay). The thread then keeps to real time itself, never
	// more than the asked latency ahead of the system clock.
	void play ()
	{
		using Clock = std::chrono::steady_clock;
		const snd_pcm_uframes_t frames = period_;
		const auto ahead = std::chrono::microseconds (kLatencyMicroseconds);
		bool clockless = false;
		Clock::time_point started;
		uint64_t written = 0;
		while (running_.load ())
		{
			if (clockless)
			{
				const auto due = started + std::chrono::microseconds (written * 1000000 / rate_);
				if (due - ahead > Clock::now ())
					std::this_thread::sleep_until (due - ahead);
			}
			player_.process (left_.data (), right_.data (), int32 (frames));
			for (snd_pcm_uframes_t i = 0; i < frames; ++i)
			{
				interleaved_[2 * i] = left_[i];
				interleaved_[2 * i + 1] = right_[i];
			}
			if (!writePeriod ())
			{
				failed_.store (true);
				return;
			}
			if (written == 0)
			{
				snd_pcm_sframes_t waiting = 0;
				clockless = snd_pcm_delay (pcm_, &waiting) == 0 && waiting <= 0;
				started = Clock::now ();
			}
			written += frames;
		}
	}

	// Writes the rendered period whole (what was rendered is played), unless
	// the device fails, stalls, or the backend closes while it waits.
	bool writePeriod ()
	{
		snd_pcm_uframes_t done = 0;
		int stalledMs = 0;
		while (done < period_)
		{
			snd_pcm_sframes_t n = snd_pcm_writei (pcm_, interleaved_.data () + 2 * done, period_ - done);
			if (n == -EAGAIN)
			{
				if (!running_.load ())
					return true;
				const int ready = snd_pcm_wait (pcm_, kWaitMs);
				if (ready == 0 && (stalledMs += kWaitMs) >= kStalledMs)
					return false;
				if (ready < 0 && snd_pcm_recover (pcm_, ready, 1) < 0)
					return false;
				continue;
			}
			// An underrun or a suspended device is recovered; anything else
			// (the device unplugged) ends playing.
			if (n < 0)
				n = snd_pcm_recover (pcm_, int (n), 1);
			if (n < 0)
				return false;
			stalledMs = 0;
			done += snd_pcm_uframes_t (n);
		}
		return true;
	}

	void readSequencer ()
	{
		const int count = snd_seq_poll_descriptors_count (sequencer_, POLLIN);
		std::vector<pollfd> fds (size_t (count > 0 ? count : 0));
		snd_seq_poll_descriptors (sequencer_, fds.data (), unsigned (fds.size ()), POLLIN);
		while (running_.load ())
		{
			if (::poll (fds.data (), nfds_t (fds.size ()), kSequencerPollMs) <= 0)
				continue;
			snd_seq_event_t* e = nullptr;
			while (snd_seq_event_input (sequencer_, &e) >= 0 && e)
			{
				MidiMessage m;
				if (toMessage (*e, m))
					player_.queueMidi (m);
			}
		}
	}

	static bool toMessage (const snd_seq_event_t& e, MidiMessage& m)
	{
		auto set = [&m] (int status, int channel, int a, int b, uint8_t size) {
			m.bytes[0] = uint8_t (status | (channel & 0x0F));
			m.bytes[1] = uint8_t (a & 0x7F);
			m.bytes[2] = uint8_t (b & 0x7F);
			m.size = size;
			return true;
		};
		switch (e.type)
		{
			case SND_SEQ_EVENT_NOTEON: return set (0x90, e.data.note.channel, e.data.note.note, e.data.note.velocity, 3);
			case SND_SEQ_EVENT_NOTEOFF: return set (0x80, e.data.note.channel, e.data.note.note, e.data.note.velocity, 3);
			case SND_SEQ_EVENT_KEYPRESS: return set (0xA0, e.data.note.channel, e.data.note.note, e.data.note.velocity, 3);
			case SND_SEQ_EVENT_CONTROLLER: return set (0xB0, e.data.control.channel, int (e.data.control.param), e.data.control.value, 3);
			case SND_SEQ_EVENT_PGMCHANGE: return set (0xC0, e.data.control.channel, e.data.control.value, 0, 2);
			case SND_SEQ_EVENT_CHANPRESS: return set (0xD0, e.data.control.channel, e.data.control.value, 0, 2);
			case SND_SEQ_EVENT_PITCHBEND:
			{
				const int v = e.data.control.value + 8192;
				return set (0xE0, e.data.control.channel, v & 0x7F, (v >> 7) & 0x7F, 3);
			}
			default: return false;
		}
	}

	Player& player_;
	std::string device_;
	snd_pcm_t* pcm_ = nullptr;
	snd_seq_t* sequencer_ = nullptr;
	snd_pcm_uframes_t period_ = 0;
	unsigned rate_ = 0;
	std::vector<float> interleaved_, left_, right_;
	std::atomic<bool> running_ {false};
	std::atomic<bool> failed_ {false};
	std::thread audio_, midiThread_;
};

void quietAlsa (const char*, int, const char*, int, const char*, ...) {}

} // namespace

std::unique_ptr<AudioBackend> openAlsa (Player& player, const Options& options, std::string& error,
                                        std::vector<std::string>& warnings)
{
	// ALSA's library reports configuration trouble on stderr itself; the
	// player says what failed in its own line.
	snd_lib_error_set_handler (quietAlsa);
	auto backend = std::make_unique<AlsaBackend> (player);
	if (!backend->open (options, error, warnings))
		return nullptr;
	return backend;
}

} // namespace Standalone
} // namespace Tarno
