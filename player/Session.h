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

// The running program's own file, as the system knows it (/proc/self/exe on
// Linux, GetModuleFileNameW on Windows): never worked out from argv[0] or
// the current folder, which a start through PATH would make any folder.
// Empty when the system does not say.
std::string programFile ();

// The bundle to play: --plugin, else the first Tarnovelle.vst3 found in the
// usual places (see --help), the first being the program's own folder.
std::string findBundle (const Options& o, std::string& error);

class Session
{
public:
	// Creates the instrument and gives it --preset or the saved state.
	// False (with the error printed) when playing is impossible.
	bool begin (Player& player, const Options& o);
	// Saves the state; false (with the reason printed) when that failed.
	bool end (Player& player);
	const std::string& folder () const { return folder_; }

private:
	std::string folder_;
	std::string stateFile_;
};

} // namespace Standalone
} // namespace Tarno
