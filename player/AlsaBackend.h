// The ALSA output used when no JACK server runs: a PCM (the default one or
// --device) played from a thread of its own, and an ALSA sequencer client
// "Tarnovelle" with one input port that MIDI keyboards can be connected to.
#pragma once

#include "player/AudioBackend.h"

#include <memory>
#include <string>
#include <vector>

namespace Tarno {
namespace Standalone {

// nullptr with the reason in error when the PCM cannot be opened. A missing
// sequencer only turns MIDI input off, and a playing thread without
// real-time scheduling may drop out: warnings say so, one line each.
std::unique_ptr<AudioBackend> openAlsa (Player& player, const Options& options, std::string& error,
                                        std::vector<std::string>& warnings);

} // namespace Standalone
} // namespace Tarno
