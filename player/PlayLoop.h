// What both mains do between their window work, with one rule for every
// backend (JACK, ALSA, WASAPI): the player's idle work, the backend watched,
// a lost backend closed and the same kind opened again every 2 seconds (or,
// with --no-reconnect, the end with status 1), and the --seconds limit.
#pragma once

#include "player/AudioBackend.h"
#include "player/Options.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace Tarno {
namespace Standalone {

class Player;

class PlayLoop
{
public:
	using Clock = std::chrono::steady_clock;
	using Opener = std::function<std::unique_ptr<AudioBackend> (std::string& error)>;
	static constexpr std::chrono::milliseconds kReconnectInterval {2000};

	// backend plays now; reopen opens the same kind of backend again.
	PlayLoop (Player& player, const Options& o, std::unique_ptr<AudioBackend> backend, Opener reopen,
	          Clock::time_point now = Clock::now ());
	~PlayLoop () { close (); }

	// Main thread, regularly. False when the loop is over: --seconds have
	// passed, or the backend was lost under --no-reconnect (status () 1).
	bool step (Clock::time_point now = Clock::now ());
	int status () const { return status_; }
	bool playing () const { return backend_ != nullptr; }
	void close ();

	// Where the loop's lines go (stderr by default), as printMessage takes them.
	std::function<void (const std::string&)> say;

private:
	Player& player_;
	const Options& options_;
	std::unique_ptr<AudioBackend> backend_;
	Opener reopen_;
	Clock::time_point started_, nextTry_;
	int status_ = 0;
};

} // namespace Standalone
} // namespace Tarno
