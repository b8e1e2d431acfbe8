// The JACK client "Tarnovelle": two audio outputs (out_left, out_right) and
// one MIDI input (midi_in). The server is the default one or the one named
// by JACK_DEFAULT_SERVER; a server is never started by the player.
#pragma once

#include "player/AudioBackend.h"

#include <memory>
#include <string>

namespace Tarno {
namespace Standalone {

// nullptr with the reason in error when no server answers.
std::unique_ptr<AudioBackend> openJack (Player& player, const Options& options, std::string& error);

} // namespace Standalone
} // namespace Tarno
