// The standalone player's command line.
#pragma once

#include <string>

namespace Tarno {
namespace Standalone {

struct Options
{
	std::string device;     // ALSA PCM (Linux) or WASAPI output (Windows); empty: the default
	std::string midiDevice; // WinMM input (Windows); empty: every input
	std::string preset;     // .vstpreset to start with instead of the saved state
	std::string plugin;     // the bundle; empty: found in the program's own folder first
	double seconds = -1.0;  // quit after this long (negative: run until told to stop)
	bool noConnect = false;
	bool noReconnect = false;
	bool noGui = false;
	bool listDevices = false;
	bool help = false;
	bool version = false;
};

extern const char* const kProgram;
const char* usageText ();

// False with a message for a bad command line.
bool parseOptions (int argc, char** argv, Options& o, std::string& error);

// Parses the command line and answers --help and --version. True when the
// program goes on; otherwise `status` is its exit status (2 for a bad
// command line, with the reason on stderr).
bool readCommandLine (int argc, char** argv, Options& o, int& status);

} // namespace Standalone
} // namespace Tarno
