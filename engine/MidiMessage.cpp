#include "engine/MidiMessage.h"

#include "params/MidiControllers.h"

namespace Tarno {

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kPitchBend = 0xE0;

} // namespace

void playMidiMessage (Engine& engine, const uint8_t* bytes, uint32_t size)
{
	// Every message the voice answers has a status byte and two data bytes.
	if (bytes == nullptr || size != 3)
		return;
	const uint8_t status = bytes[0], data1 = bytes[1], data2 = bytes[2];
	if (status < 0x80 || status >= 0xF0 || data1 >= 0x80 || data2 >= 0x80)
		return;
	const int16_t channel = status & 0x0F;
	switch (status & 0xF0)
	{
		case kNoteOn: engine.noteOn (channel, data1, noteVelocity (data2)); break;
		case kNoteOff: engine.noteOff (channel, data1); break;
		case kControlChange:
		{
			const int32_t id = controllerParam (data1);
			if (id >= 0)
				engine.setParameter (id, controllerValue (data2));
			break;
		}
		case kPitchBend: engine.setParameter (kPitchBendParam, pitchBendValue (data1 | (data2 << 7))); break;
		default: break;
	}
}

} // namespace Tarno
