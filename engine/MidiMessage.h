// One MIDI channel message played on the engine, with the controller
// mapping of params/MidiControllers.h: for formats that hand the plug-in
// raw MIDI bytes.
#pragma once

#include "engine/Engine.h"

#include <cstdint>

namespace Tarno {

// Note on and off, the mapped controllers and pitch bend. Anything else
// (other controllers, pressure, program changes, system messages, a data
// byte with its top bit set, a message of the wrong length) is ignored.
void playMidiMessage (Engine& engine, const uint8_t* bytes, uint32_t size);

} // namespace Tarno
