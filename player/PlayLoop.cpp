#include "player/PlayLoop.h"

#include "player/Player.h"
#include "player/Session.h"

namespace Tarno {
namespace Standalone {

PlayLoop::PlayLoop (Player& player, const Options& o, std::unique_ptr<AudioBackend> backend, Opener reopen,
                    Clock::time_point now)
: say (printMessage), player_ (player), options_ (o), backend_ (std::move (backend)), reopen_ (std::move (reopen)),
  started_ (now), nextTry_ (now)
{
}

bool PlayLoop::step (Clock::time_point now)
{
	if (options_.seconds > 0.0 && now - started_ >= std::chrono::duration<double> (options_.seconds))
		return false;
	player_.idle ();
	std::string message;
	if (backend_ && backend_->poll (message) == AudioBackend::Health::Lost)
	{
		backend_->close ();
		backend_.reset ();
		if (options_.noReconnect)
		{
			say ("error: " + message);
			status_ = 1;
			return false;
		}
		say (message + "; trying to reconnect every 2 seconds");
		nextTry_ = now + kReconnectInterval;
	}
	else if (!message.empty ())
		say (message);
	if (!backend_ && now >= nextTry_)
	{
		std::string error;
		backend_ = reopen_ (error);
		if (backend_)
			say ("reconnected: playing through " + backend_->description ());
		nextTry_ = now + kReconnectInterval;
	}
	return true;
}

void PlayLoop::close ()
{
	if (backend_)
		backend_->close ();
	backend_.reset ();
}

} // namespace Standalone
} // namespace Tarno
