#include "player/Session.h"

#include "player/StateStore.h"
#include "vst3host/Files.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace Tarno {
namespace Standalone {

namespace fs = std::filesystem;

void printMessage (const std::string& text)
{
	std::fprintf (stderr, "%s: %s\n", kProgram, text.c_str ());
	std::fflush (stderr);
}

void printWarning (const std::string& text)
{
	printMessage ("warning: " + text);
}

int printError (const std::string& text)
{
	printMessage ("error: " + text);
	return 1;
}

std::string programFile ()
{
#if defined(_WIN32)
	std::wstring path (MAX_PATH, L'\0');
	for (;;)
	{
		const DWORD n = GetModuleFileNameW (nullptr, path.data (), DWORD (path.size ()));
		if (n == 0)
			return std::string ();
		if (n < path.size ())
		{
			path.resize (n);
			return fs::path (path).u8string ();
		}
		path.resize (path.size () * 2);
	}
#else
	std::error_code ec;
	const fs::path path = fs::read_symlink ("/proc/self/exe", ec);
	return ec ? std::string () : path.u8string ();
#endif
}

std::string findBundle (const Options& o, std::string& error)
{
	if (!o.plugin.empty ())
		return o.plugin;
	std::vector<fs::path> candidates;
	std::error_code ec;
	const std::string program = programFile ();
	// Without the program's own location, no folder stands in for it.
	const fs::path folder = program.empty () ? fs::path () : fs::u8path (program).parent_path ();
	if (!folder.empty ())
		candidates.push_back (folder / "Tarnovelle.vst3");
#if defined(_WIN32)
	if (const wchar_t* common = _wgetenv (L"CommonProgramFiles"))
		candidates.push_back (fs::path (common) / "VST3" / "Tarnovelle.vst3");
#else
	if (!folder.empty ())
		candidates.push_back (folder.parent_path () / "lib" / "vst3" / "Tarnovelle.vst3");
	if (const char* home = std::getenv ("HOME"))
		candidates.push_back (fs::path (home) / ".vst3" / "Tarnovelle.vst3");
	candidates.push_back ("/usr/lib/vst3/Tarnovelle.vst3");
	candidates.push_back ("/usr/local/lib/vst3/Tarnovelle.vst3");
#endif
	std::string tried;
	for (const fs::path& c : candidates)
	{
		if (fs::is_directory (c, ec))
			return c.u8string ();
		tried += (tried.empty () ? "" : ", ") + c.u8string ();
	}
	error = "Tarnovelle.vst3 was not found (looked for " + tried + "); give it with --plugin";
	return std::string ();
}

bool Session::begin (Player& player, const Options& o)
{
	// A state file that would exceed the file size limit is a failed save,
	// reported at the end, not a silent death.
	Host::reportFileSizeLimitAsError ();
	std::string error;
	const std::string bundle = findBundle (o, error);
	if (bundle.empty ())
	{
		printError (error);
		return false;
	}
	if (!player.open (bundle, error))
	{
		printError ("cannot load '" + bundle + "': " + error);
		return false;
	}
	folder_ = configFolder (error);
	if (folder_.empty ())
		printWarning (error + "; the state will not be saved");
	else
		stateFile_ = stateFilePath (folder_);

	if (!o.preset.empty ())
	{
		if (!player.loadPreset (o.preset, error))
		{
			printError ("cannot load the preset: " + error);
			return false;
		}
		printMessage ("playing the preset '" + o.preset + "'");
	}
	else if (!stateFile_.empty ())
	{
		std::string message;
		switch (restoreState (player, stateFile_, message))
		{
			case RestoreResult::Restored: printMessage ("restored the last state from '" + stateFile_ + "'"); break;
			case RestoreResult::Damaged: printWarning (message); break;
			case RestoreResult::Unreadable:
				printWarning (message);
				stateFile_.clear ();
				break;
			case RestoreResult::NoFile: break;
		}
	}
	return true;
}

bool Session::end (Player& player)
{
	if (player.sampleRate () > 0.0)
	{
		char text[96];
		std::snprintf (text, sizeof (text), "played %.1f s of sound (%lld samples)",
		               double (player.playedSamples ()) / player.sampleRate (), (long long) player.playedSamples ());
		printMessage (text);
	}
	if (stateFile_.empty ())
		return true;
	std::string error;
	if (!saveState (player, stateFile_, error))
	{
		printError ("the state was not saved: " + error);
		return false;
	}
	printMessage ("saved the state in '" + stateFile_ + "'");
	return true;
}

} // namespace Standalone
} // namespace Tarno
