#include "player/AlsaBackend.h"

#include "player/Options.h"
#include "player/Player.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
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

class AlsaBackend : public AudioBackend
{
public:
	explicit AlsaBackend (Player& player) : player_ (player) {}
	~AlsaBackend () override { close (); }

	bool open (const Options& options, std::string& error, std::string& warning)
	{
		device_ = options.device.empty () ? "default" : options.device;
		int r = snd_pcm_open (&pcm_, device_.c_str (), SND_PCM_STREAM_PLAYBACK, 0);
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
		openSequencer (warning);
		interleaved_.assign (size_t (period_) * kChannels, 0.f);
		left_.assign (size_t (period_), 0.f);
		right_.assign (size_t (period_), 0.f);
		running_.store (true);
		audio_ = std::thread ([this] { play (); });
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
	void openSequencer (std::string& warning)
	{
		int r = snd_seq_open (&sequencer_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
		if (r < 0)
		{
			sequencer_ = nullptr;
			warning = std::string ("no ALSA sequencer (") + snd_strerror (r) +
			          "): MIDI input is off; the window's keyboard still plays";
			return;
		}
		snd_seq_set_client_name (sequencer_, "Tarnovelle");
		r = snd_seq_create_simple_port (sequencer_, "MIDI in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
		                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
		if (r < 0)
		{
			warning = std::string ("the ALSA sequencer refused the input port (") + snd_strerror (r) +
			          "): MIDI input is off";
			snd_seq_close (sequencer_);
			sequencer_ = nullptr;
		}
	}

	// The playing thread: one period rendered, interleaved and written at a
	// time; the write blocks until the device has room. A device without a
	// clock of its own (ALSA's "null") takes everything at once: the thread
	// then keeps to real time itself, never more than the asked latency
	// ahead.
	void play ()
	{
		using Clock = std::chrono::steady_clock;
		const snd_pcm_uframes_t frames = period_;
		const auto started = Clock::now ();
		const auto ahead = std::chrono::microseconds (kLatencyMicroseconds);
		uint64_t written = 0;
		while (running_.load ())
		{
			const auto due = started + std::chrono::microseconds (written * 1000000 / rate_);
			if (due - ahead > Clock::now ())
				std::this_thread::sleep_until (due - ahead);
			player_.process (left_.data (), right_.data (), int32 (frames));
			for (snd_pcm_uframes_t i = 0; i < frames; ++i)
			{
				interleaved_[2 * i] = left_[i];
				interleaved_[2 * i + 1] = right_[i];
			}
			snd_pcm_uframes_t done = 0;
			while (done < frames && running_.load ())
			{
				snd_pcm_sframes_t n = snd_pcm_writei (pcm_, interleaved_.data () + 2 * done, frames - done);
				if (n < 0)
					n = snd_pcm_recover (pcm_, int (n), 1);
				if (n < 0)
				{
					failed_.store (true);
					return;
				}
				done += snd_pcm_uframes_t (n);
			}
			written += frames;
		}
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
                                        std::string& warning)
{
	// ALSA's library reports configuration trouble on stderr itself; the
	// player says what failed in its own line.
	snd_lib_error_set_handler (quietAlsa);
	auto backend = std::make_unique<AlsaBackend> (player);
	if (!backend->open (options, error, warning))
		return nullptr;
	return backend;
}

} // namespace Standalone
} // namespace Tarno
