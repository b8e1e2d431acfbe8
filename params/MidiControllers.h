// The MIDI controllers the voice answers and the hidden parameters that
// carry them, with the value conversions every plug-in format shares:
// a 7-bit controller value v arrives as v / 127, a 14-bit pitch bend b as
// b / 16383, a note's velocity v as v / 127 in single precision.
#pragma once

#include "params/ParamTable.h"

#include <cstdint>

namespace Tarno {

enum MidiControllerNumber : int32_t
{
	kMidiModWheel = 1,
	kMidiSustain = 64,
	kMidiAllSoundOff = 120,
	kMidiAllNotesOff = 123,
};

// The hidden parameter a controller number drives, or -1 for a controller
// the voice ignores (and for numbers outside 0..127).
constexpr int32_t controllerParam (int32_t controller)
{
	switch (controller)
	{
		case kMidiModWheel: return kModWheelParam;
		case kMidiSustain: return kSustainParam;
		case kMidiAllSoundOff:
		case kMidiAllNotesOff: return kAllNotesOffParam;
		default: return -1;
	}
}

constexpr double controllerValue (int32_t value7) { return value7 / 127.0; }
constexpr double pitchBendValue (int32_t value14) { return value14 / 16383.0; }
constexpr float noteVelocity (int32_t value7) { return float (value7) / 127.f; }

} // namespace Tarno
