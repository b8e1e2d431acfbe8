// The computer keyboard as a piano: the bottom letter row (Z S X D C V G B
// H N J M ,) is one octave from C, the row above (Q 2 W 3 E R 5 T 6 Y 7 U
// I) the next one; [ and ] shift both an octave down and up. Keys are the
// characters a key gives without modifiers, in lower case.
#pragma once

namespace Tarno {
namespace Standalone {

// Where the keyboard's notes go (the player).
class NoteSink
{
public:
	virtual ~NoteSink () = default;
	// A note on (velocity > 0) or off; false when it could not be queued.
	virtual bool queueNote (int key, int velocity) = 0;
};

class ComputerKeyboard
{
public:
	static constexpr int kVelocity = 100;
	static constexpr int kLowestOctave = 0;
	static constexpr int kHighestOctave = 8;

	explicit ComputerKeyboard (NoteSink& player) : player_ (player) {}

	// A key of the window, pressed or released, with Ctrl held or not. A key
	// pressed with Ctrl is a shortcut, not a note; a key released always
	// ends the note it started, whatever is held then. True when the key
	// belongs to the keyboard (and was used).
	bool key (char key, bool down, bool control);
	bool keyDown (char key);
	bool keyUp (char key);
	// Releases every sounding note (the window lost the focus).
	void releaseAll ();
	int octave () const { return octave_; }

	// The semitone above the lower row's C, or -1.
	static int semitone (char key);

private:
	NoteSink& player_;
	int octave_ = 4; // the lower row starts at C4 (MIDI 60)
	int sounding_[128] = {}; // per key character: the note it started + 1
};

} // namespace Standalone
} // namespace Tarno
