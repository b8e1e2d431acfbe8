// What the main loop needs of an audio backend (JACK, ALSA, WASAPI): it is
// opened on a started Player, plays until closed, and reports what happened
// to it since the last look.
#pragma once

#include <string>

namespace Tarno {
namespace Standalone {

class Player;
struct Options;

class AudioBackend
{
public:
	enum class Health
	{
		Playing,
		Lost, // the server or device is gone; close and open again later
	};

	virtual ~AudioBackend () = default;
	// One line for the user: what plays, at which rate and block size.
	virtual std::string description () const = 0;
	// Main thread, regularly: handles rate changes and reports the status.
	virtual Health poll (std::string& message) = 0;
	virtual void close () = 0;
};

} // namespace Standalone
} // namespace Tarno
