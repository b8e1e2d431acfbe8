#include "player/StateStore.h"

#include "player/Player.h"
#include "vst3host/Files.h"
#include "vst3host/PresetFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#endif

namespace Tarno {
namespace Standalone {

namespace fs = std::filesystem;

namespace {

const char* const kStateFileName = "state.vstpreset";
const char* const kDamagedSuffix = ".damaged";

#if defined(_WIN32)
std::string roamingAppData ()
{
	PWSTR folder = nullptr;
	std::string path;
	if (SUCCEEDED (SHGetKnownFolderPath (FOLDERID_RoamingAppData, 0, nullptr, &folder)))
		path = Host::narrow (folder);
	CoTaskMemFree (folder);
	return path;
}
#endif

} // namespace

std::string configFolder (std::string& error)
{
#if defined(_WIN32)
	const std::string appData = roamingAppData ();
	if (appData.empty ())
	{
		error = "Windows names no application data folder: there is no folder for the saved state";
		return std::string ();
	}
	return (fs::u8path (appData) / "Tarnovelle").u8string ();
#else
	const char* xdg = std::getenv ("XDG_CONFIG_HOME");
	// Relative values are ignored, as the XDG rules ask.
	if (xdg && xdg[0] == '/')
		return (fs::path (xdg) / "tarnovelle").string ();
	const char* home = std::getenv ("HOME");
	if (home && *home)
		return (fs::path (home) / ".config" / "tarnovelle").string ();
	error = "neither XDG_CONFIG_HOME nor HOME is set: there is no folder for the saved state";
	return std::string ();
#endif
}

std::string stateFilePath (const std::string& folder)
{
	return (fs::u8path (folder) / kStateFileName).u8string ();
}

std::string presetsFolder (const std::string& folder)
{
	return (fs::u8path (folder) / "presets").u8string ();
}

RestoreResult restoreState (Player& player, const std::string& file, std::string& message)
{
	std::error_code ec;
	if (!fs::exists (fs::u8path (file), ec))
		return RestoreResult::NoFile;
	std::string error;
	// A file that cannot be read says nothing about its contents: it is
	// kept, and not saved over at the end.
	std::vector<uint8_t> bytes;
	bool tooLarge = false;
	if (!Host::readFile (file, bytes, error, Host::kMaxPresetFileSize, &tooLarge) && !tooLarge)
	{
		message = "the saved state cannot be read (" + error + "); it was left in place and will not be "
		          "saved over; starting with the default sound";
		return RestoreResult::Unreadable;
	}
	if (player.loadPreset (file, error))
		return RestoreResult::Restored;

	const fs::path aside = fs::u8path (file + kDamagedSuffix);
	fs::rename (fs::u8path (file), aside, ec);
	message = "the saved state is damaged (" + error + "); ";
	if (ec)
		message += "it could not be moved aside (" + ec.message () + ") and will be replaced";
	else
		message += "it was moved to '" + aside.u8string () + "'";
	message += "; starting with the default sound";
	// A state the processor took in part is not kept: the defaults again.
	std::string ignored;
	player.resetToDefaults (ignored);
	return RestoreResult::Damaged;
}

bool saveState (Player& player, const std::string& file, std::string& error)
{
	std::error_code ec;
	fs::create_directories (fs::u8path (file).parent_path (), ec);
	if (ec)
	{
		error = "cannot create '" + fs::u8path (file).parent_path ().u8string () + "': " + ec.message ();
		return false;
	}
	return player.savePreset (file, error);
}

} // namespace Standalone
} // namespace Tarno
