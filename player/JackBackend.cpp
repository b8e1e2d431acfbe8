#include "player/JackBackend.h"

#include "player/Options.h"
#include "player/Player.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace Tarno {
namespace Standalone {

namespace {

const char* const kClientName = "Tarnovelle";

// The MIDI port's events of one cycle, as the player reads them.
class JackMidi : public Player::MidiSource
{
public:
	explicit JackMidi (void* buffer) : buffer_ (buffer) {}
	uint32_t count () override { return buffer_ ? jack_midi_get_event_count (buffer_) : 0; }
	bool get (uint32_t index, const uint8_t*& data, size_t& size, uint32_t& offset) override
	{
		jack_midi_event_t e;
		if (jack_midi_event_get (&e, buffer_, index) != 0)
			return false;
		data = e.buffer;
		size = e.size;
		offset = e.time;
		return true;
	}

private:
	void* buffer_;
};

class JackBackend : public AudioBackend
{
public:
	JackBackend (Player& player) : player_ (player) {}
	~JackBackend () override { close (); }

	bool open (const Options& options, std::string& error)
	{
		jack_status_t status {};
		client_ = jack_client_open (kClientName, JackNoStartServer, &status);
		if (client_ == nullptr)
		{
			const char* server = std::getenv ("JACK_DEFAULT_SERVER");
			error = std::string ("no JACK server is running") +
			        (server && *server ? std::string (" (server name '") + server + "')" : std::string ());
			return false;
		}
		left_ = jack_port_register (client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
		right_ = jack_port_register (client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
		midi_ = jack_port_register (client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
		if (!left_ || !right_ || !midi_)
		{
			error = "the JACK server refused to register the player's ports";
			return false;
		}
		rate_ = jack_get_sample_rate (client_);
		block_ = jack_get_buffer_size (client_);
		if (!player_.start (double (rate_), error))
			return false;
		jack_set_process_callback (client_, &JackBackend::process, this);
		jack_set_sample_rate_callback (client_, &JackBackend::sampleRateChanged, this);
		jack_set_buffer_size_callback (client_, &JackBackend::bufferSizeChanged, this);
		jack_on_info_shutdown (client_, &JackBackend::shutDown, this);
		if (jack_activate (client_) != 0)
		{
			error = "the JACK server refused to activate the client";
			return false;
		}
		active_ = true;
		if (!options.noConnect)
			connect ();
		return true;
	}

	std::string description () const override
	{
		jack_latency_range_t range {0, 0};
		if (client_ && left_)
			jack_port_get_latency_range (left_, JackPlaybackLatency, &range);
		reportedLatency_ = range.max;
		const jack_nframes_t block = client_ ? jack_get_buffer_size (client_) : 0;
		char text[256];
		std::snprintf (text, sizeof (text),
		               "JACK client '%s', %u Hz, %u samples per block (%.2f ms), playback latency %u samples "
		               "(%.2f ms)",
		               client_ ? jack_get_client_name (client_) : kClientName, unsigned (rate_), unsigned (block),
		               rate_ ? 1000.0 * block / rate_ : 0.0, unsigned (range.max),
		               rate_ ? 1000.0 * range.max / rate_ : 0.0);
		return text;
	}

	Health poll (std::string& message) override
	{
		if (lost_.load ())
		{
			message = "the JACK server shut down";
			return Health::Lost;
		}
		const jack_nframes_t rate = newRate_.load ();
		if (rate != 0 && rate != rate_)
		{
			std::string error;
			if (player_.changeSampleRate (double (rate), error))
			{
				rate_ = rate;
				message = "the JACK server changed its sample rate to " + std::to_string (rate) + " Hz";
			}
			else
				message = "cannot follow the JACK server's new sample rate: " + error;
			return Health::Playing;
		}
		const jack_nframes_t block = newBlock_.exchange (0);
		if (block != 0 && block != block_)
		{
			const bool first = block_ == 0;
			block_ = block;
			if (!first)
			{
				message = "the JACK server changed its block size to " + std::to_string (block) + " samples";
				return Health::Playing;
			}
		}
		// The server works latencies out after connections change: report
		// the playback latency once it is known or when it changes.
		jack_latency_range_t range {0, 0};
		jack_port_get_latency_range (left_, JackPlaybackLatency, &range);
		if (range.max != reportedLatency_)
		{
			reportedLatency_ = range.max;
			char text[128];
			std::snprintf (text, sizeof (text), "playback latency %u samples (%.2f ms)", unsigned (range.max),
			               rate_ ? 1000.0 * range.max / rate_ : 0.0);
			message = text;
		}
		return Health::Playing;
	}

	void close () override
	{
		if (client_ == nullptr)
			return;
		// A server that shut down has already stopped calling us.
		if (active_ && !lost_.load ())
			jack_deactivate (client_);
		active_ = false;
		jack_client_close (client_);
		client_ = nullptr;
		player_.stop ();
	}

private:
	void connect ()
	{
		const char** playback =
		    jack_get_ports (client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
		if (playback && playback[0])
		{
			jack_connect (client_, jack_port_name (left_), playback[0]);
			jack_connect (client_, jack_port_name (right_), playback[1] ? playback[1] : playback[0]);
		}
		jack_free (playback);
		const char** capture =
		    jack_get_ports (client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsPhysical | JackPortIsOutput);
		for (int i = 0; capture && capture[i]; ++i)
			jack_connect (client_, capture[i], jack_port_name (midi_));
		jack_free (capture);
	}

	static int process (jack_nframes_t frames, void* arg)
	{
		auto* self = static_cast<JackBackend*> (arg);
		auto* left = static_cast<float*> (jack_port_get_buffer (self->left_, frames));
		auto* right = static_cast<float*> (jack_port_get_buffer (self->right_, frames));
		JackMidi midi (jack_port_get_buffer (self->midi_, frames));
		self->player_.process (left, right, int32 (frames), &midi);
		return 0;
	}

	static int sampleRateChanged (jack_nframes_t rate, void* arg)
	{
		static_cast<JackBackend*> (arg)->newRate_.store (rate);
		return 0;
	}

	// Buffers hold Player::kMaxBlockSize samples and longer blocks are
	// played in parts: nothing to prepare, only the news to pass on.
	static int bufferSizeChanged (jack_nframes_t frames, void* arg)
	{
		static_cast<JackBackend*> (arg)->newBlock_.store (frames);
		return 0;
	}

	// Called on one of libjack's threads, maybe while the main thread polls:
	// only the flag is touched here.
	static void shutDown (jack_status_t, const char*, void* arg)
	{
		static_cast<JackBackend*> (arg)->lost_.store (true);
	}

	Player& player_;
	jack_client_t* client_ = nullptr;
	jack_port_t* left_ = nullptr;
	jack_port_t* right_ = nullptr;
	jack_port_t* midi_ = nullptr;
	jack_nframes_t rate_ = 0;
	mutable jack_nframes_t reportedLatency_ = 0;
	bool active_ = false;
	std::atomic<jack_nframes_t> newRate_ {0};
	std::atomic<jack_nframes_t> newBlock_ {0};
	jack_nframes_t block_ = 0;
	std::atomic<bool> lost_ {false};
};

// libjack prints its own messages when no server answers; the player says
// it in one line instead.
void quietJack (const char*) {}

} // namespace

std::unique_ptr<AudioBackend> openJack (Player& player, const Options& options, std::string& error)
{
	jack_set_error_function (quietJack);
	jack_set_info_function (quietJack);
	auto backend = std::make_unique<JackBackend> (player);
	if (!backend->open (options, error))
		return nullptr;
	return backend;
}

} // namespace Standalone
} // namespace Tarno
