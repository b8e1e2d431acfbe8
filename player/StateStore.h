// Where the player keeps its files, and the last state saved on exit and
// restored at the next start (a .vstpreset: the processor's parameters and
// the controller's chunk with the chosen skin).
//
//   Linux:   $XDG_CONFIG_HOME/tarnovelle/ (default ~/.config/tarnovelle/)
//   Windows: the roaming application data folder (%APPDATA%)\Tarnovelle
#pragma once

#include <string>

namespace Tarno {
namespace Standalone {

class Player;

// The configuration folder (not created); empty with a message when neither
// variable is set.
std::string configFolder (std::string& error);
std::string stateFilePath (const std::string& folder);
std::string presetsFolder (const std::string& folder);

enum class RestoreResult
{
	Restored,
	NoFile,
	Damaged,    // reported, moved aside to <file>.damaged; the defaults stay
	Unreadable, // cannot be read (permissions, I/O error): reported, left in place, not saved over
};

// Restores the state from file. For Damaged and Unreadable, message says
// what was wrong and what became of the file.
RestoreResult restoreState (Player& player, const std::string& file, std::string& message);
// Saves the state into file, creating its folder; the file is replaced only
// by a complete new one.
bool saveState (Player& player, const std::string& file, std::string& error);

} // namespace Standalone
} // namespace Tarno
