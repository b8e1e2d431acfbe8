// MIDI from WinMM inputs (Windows): every input device, or the first whose
// name contains the given text. Short messages go to the player's queue;
// WinMM may call from several threads, so pushes are serialised here (the
// audio thread that pops never waits).
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace Tarno {
namespace Standalone {

class Player;

std::vector<std::string> listMidiInputs ();

class WinMidiInput
{
public:
	explicit WinMidiInput (Player& player) : player_ (player) {}
	~WinMidiInput () { close (); }

	// Opens the inputs; returns the names opened. wanted empty: all. An
	// input that cannot be opened is reported in warnings.
	std::vector<std::string> open (const std::string& wanted, std::vector<std::string>& warnings);
	void close ();
	void received (unsigned long message);

private:
	Player& player_;
	std::vector<void*> handles_;
	std::mutex pushMutex_;
};

} // namespace Standalone
} // namespace Tarno
