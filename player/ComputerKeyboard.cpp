#include "player/ComputerKeyboard.h"

#include <cstring>

namespace Tarno {
namespace Standalone {

namespace {

const char* const kLowerRow = "zsxdcvgbhnjm,l.;/";
const char* const kUpperRow = "q2w3er5t6y7ui9o0p";
constexpr int kOctaveDown = '[';
constexpr int kOctaveUp = ']';

} // namespace

int ComputerKeyboard::semitone (char key)
{
	if (key == 0)
		return -1;
	if (const char* p = std::strchr (kLowerRow, key))
		return int (p - kLowerRow);
	if (const char* p = std::strchr (kUpperRow, key))
		return 12 + int (p - kUpperRow);
	return -1;
}

bool ComputerKeyboard::key (char key, bool down, bool control)
{
	if (!down)
		return keyUp (key);
	return !control && keyDown (key);
}

bool ComputerKeyboard::keyDown (char key)
{
	const unsigned char index = static_cast<unsigned char> (key);
	if (key == kOctaveDown || key == kOctaveUp)
	{
		const int next = octave_ + (key == kOctaveUp ? 1 : -1);
		if (next >= kLowestOctave && next <= kHighestOctave)
			octave_ = next;
		return true;
	}
	const int step = semitone (key);
	if (step < 0 || index >= 128)
		return false;
	if (sounding_[index] != 0) // key repeat
		return true;
	const int note = 12 * (octave_ + 1) + step;
	if (note > 127)
		return true;
	if (player_.queueNote (note, kVelocity))
		sounding_[index] = note + 1;
	return true;
}

bool ComputerKeyboard::keyUp (char key)
{
	const unsigned char index = static_cast<unsigned char> (key);
	if (index >= 128 || semitone (key) < 0)
		return key == kOctaveDown || key == kOctaveUp;
	if (sounding_[index] != 0 && player_.queueNote (sounding_[index] - 1, 0))
		sounding_[index] = 0;
	return true;
}

void ComputerKeyboard::releaseAll ()
{
	for (int i = 0; i < 128; ++i)
		if (sounding_[i] != 0 && player_.queueNote (sounding_[i] - 1, 0))
			sounding_[i] = 0;
}

} // namespace Standalone
} // namespace Tarno
