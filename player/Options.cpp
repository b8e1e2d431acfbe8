#include "player/Options.h"

#include "TarnoVersion.h"

#include <cstdio>
#include <cstdlib>

namespace Tarno {
namespace Standalone {

#if defined(_WIN32)
const char* const kProgram = "Tarnovelle";
#else
const char* const kProgram = "tarnovelle";
#endif

const char* usageText ()
{
#if defined(_WIN32)
	return "Usage: Tarnovelle.exe [options]\n"
	       "\n"
	       "Plays the Tarnovelle synthesizer without a DAW: WASAPI (shared mode) for\n"
	       "sound, every WinMM MIDI input (or the one given) for notes, and the\n"
	       "instrument's editor in a window.\n"
	       "\n"
	       "Options:\n"
	       "  --device NAME      play through the output device whose name contains NAME\n"
	       "                     (default: the default output device)\n"
	       "  --midi NAME        take MIDI only from the input whose name contains NAME\n"
	       "  --list-devices     list the output devices and MIDI inputs, then quit\n"
	       "  --preset FILE      start with the .vstpreset FILE instead of the saved state\n"
	       "  --no-gui           run without a window\n"
	       "  --seconds N        quit after N seconds (up to 86400)\n"
	       "  --plugin PATH      the Tarnovelle.vst3 bundle to play (default: the one in\n"
	       "                     the program's own folder, never the current folder;\n"
	       "                     then the installed one)\n"
	       "  --version          show the version\n"
	       "  --help             show this text\n"
	       "\n"
	       "Keys in the window: Z S X D C V G B H N J M , play the lower octave and\n"
	       "Q 2 W 3 E R 5 T 6 Y 7 U I the upper one; [ and ] shift both an octave down\n"
	       "and up. Ctrl+O loads and Ctrl+S saves a preset (also in the Preset menu).\n"
	       "\n"
	       "The last state is saved in %APPDATA%\\Tarnovelle\\state.vstpreset on exit and\n"
	       "restored at the next start. Exit status 1 when that save failed (the last good\n"
	       "file stays).\n";
#else
	return "Usage: tarnovelle [options]\n"
	       "\n"
	       "Plays the Tarnovelle synthesizer without a DAW: a JACK client named\n"
	       "\"Tarnovelle\" with two audio outputs and one MIDI input, or, when no JACK\n"
	       "server runs, an ALSA output with an ALSA sequencer input port. The\n"
	       "instrument's editor opens in a window.\n"
	       "\n"
	       "Options:\n"
	       "  --device NAME      the ALSA PCM to use when there is no JACK server\n"
	       "                     (default: \"default\")\n"
	       "  --no-connect       leave the JACK ports unconnected (by default the outputs go\n"
	       "                     to the system playback ports and every physical MIDI\n"
	       "                     capture port is connected to the input)\n"
	       "  --no-reconnect     quit when the JACK server shuts down or the ALSA device\n"
	       "                     is lost (by default the player tries to reconnect\n"
	       "                     every 2 seconds)\n"
	       "  --preset FILE      start with the .vstpreset FILE instead of the saved state\n"
	       "  --no-gui           run without a window\n"
	       "  --seconds N        quit after N seconds (up to 86400)\n"
	       "  --plugin PATH      the Tarnovelle.vst3 bundle to play (default: the one in\n"
	       "                     the program's own folder, never the current folder;\n"
	       "                     then ../lib/vst3 from there, ~/.vst3, /usr/lib/vst3 and\n"
	       "                     /usr/local/lib/vst3)\n"
	       "  --version          show the version\n"
	       "  --help             show this text\n"
	       "\n"
	       "Keys in the window: Z S X D C V G B H N J M , play the lower octave and\n"
	       "Q 2 W 3 E R 5 T 6 Y 7 U I the upper one; [ and ] shift both an octave down\n"
	       "and up. Ctrl+S saves the sound as a new preset in the presets folder;\n"
	       "Ctrl+O (or Page Down) loads the next preset, Page Up the previous one: the\n"
	       "factory presets (~/.vst3/presets, /usr/share/vst3/presets), then the saved ones.\n"
	       "\n"
	       "Files: $XDG_CONFIG_HOME/tarnovelle/state.vstpreset (default\n"
	       "~/.config/tarnovelle) holds the last state, saved on exit and restored at the\n"
	       "next start; presets are kept in $XDG_CONFIG_HOME/tarnovelle/presets/.\n"
	       "\n"
	       "Exit status: 0 after a clean end (window closed, SIGINT, SIGTERM, --seconds),\n"
	       "1 when it cannot play (no JACK server and no ALSA device, no plug-in, a bad\n"
	       "--preset, a plug-in without an edit controller), the output was lost under\n"
	       "--no-reconnect, or the state could not be saved on exit (the last good file\n"
	       "stays); 2 for a bad command line.\n";
#endif
}

bool parseOptions (int argc, char** argv, Options& o, std::string& error)
{
	for (int i = 1; i < argc; ++i)
	{
		std::string arg = argv[i];
		std::string inlineValue;
		bool hasInline = false;
		const size_t eq = arg.find ('=');
		if (arg.compare (0, 2, "--") == 0 && eq != std::string::npos)
		{
			inlineValue = arg.substr (eq + 1);
			arg = arg.substr (0, eq);
			hasInline = true;
		}
		auto value = [&] (std::string& out) {
			if (hasInline)
			{
				out = inlineValue;
				return true;
			}
			if (i + 1 >= argc)
			{
				error = "option " + arg + " needs a value";
				return false;
			}
			out = argv[++i];
			return true;
		};
		auto flag = [&] (bool& out) {
			if (hasInline)
			{
				error = "option " + arg + " takes no value";
				return false;
			}
			out = true;
			return true;
		};
		bool ok = true;
		if (arg == "--help" || arg == "-h")
			ok = flag (o.help);
		else if (arg == "--version")
			ok = flag (o.version);
		else if (arg == "--device")
			ok = value (o.device);
		else if (arg == "--preset")
			ok = value (o.preset);
		else if (arg == "--plugin")
			ok = value (o.plugin);
		else if (arg == "--no-gui")
			ok = flag (o.noGui);
#if defined(_WIN32)
		else if (arg == "--midi")
			ok = value (o.midiDevice);
		else if (arg == "--list-devices")
			ok = flag (o.listDevices);
#else
		else if (arg == "--no-connect")
			ok = flag (o.noConnect);
		else if (arg == "--no-reconnect")
			ok = flag (o.noReconnect);
#endif
		else if (arg == "--seconds")
		{
			std::string v;
			ok = value (v);
			char* end = nullptr;
			if (ok)
				o.seconds = std::strtod (v.c_str (), &end);
			if (ok && (v.empty () || *end != 0 || !(o.seconds > 0.0) || o.seconds > 86400.0))
			{
				error = "--seconds needs a number above 0 and up to 86400, not '" + v + "'";
				return false;
			}
		}
		else
		{
			error = arg.compare (0, 1, "-") == 0 ? "unknown option " + arg : "unexpected argument '" + arg + "'";
			return false;
		}
		if (!ok)
			return false;
		if ((arg == "--device" || arg == "--preset" || arg == "--plugin" || arg == "--midi") &&
		    (hasInline ? inlineValue : std::string (argv[i])).empty ())
		{
			error = "option " + arg + " needs a non-empty value";
			return false;
		}
	}
	return true;
}

bool readCommandLine (int argc, char** argv, Options& o, int& status)
{
	std::string error;
	status = 0;
	if (!parseOptions (argc, argv, o, error))
	{
		std::fprintf (stderr, "%s: %s\n(see %s --help)\n", kProgram, error.c_str (), kProgram);
		status = 2;
		return false;
	}
	if (o.help)
	{
		std::fputs (usageText (), stdout);
		return false;
	}
	if (o.version)
	{
		std::printf ("%s %s\n", kProgram, TARNO_VERSION_STRING);
		return false;
	}
	return true;
}

} // namespace Standalone
} // namespace Tarno
