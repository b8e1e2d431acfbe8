// The steps every platform's main () shares: finding the bundle, creating
// the instrument with its saved state (or --preset), and saving the state at
// the end. Messages go to stderr as "<program>: ...".
#pragma once

#include "player/Options.h"
#include "player/Player.h"

#include <string>

namespace Tarno {
namespace Standalone {

void printMessage (const std::string& text);
void printWarning (const std::string& text);
int printError (const std::string& text); // returns 1

// The bundle to play: --plugin, else the first Tarnovelle.vst3 found in the
// usual places (see --help). programPath is the running program's path.
std::string findBundle (const Options& o, const std::string& programPath, std::string& error);

class Session
{
public:
	// Creates the instrument and gives it --preset or the saved state.
	// False (with the error printed) when playing is impossible.
	bool begin (Player& player, const Options& o, const std::string& programPath);
	// Saves the state; false (with the reason printed) when that failed.
	bool end (Player& player);
	const std::string& folder () const { return folder_; }

private:
	std::string folder_;
	std::string stateFile_;
};

} // namespace Standalone
} // namespace Tarno
