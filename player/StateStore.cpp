#include "player/StateStore.h"

#include "player/Player.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace Tarno {
namespace Standalone {

namespace fs = std::filesystem;

namespace {

const char* const kStateFileName = "state.vstpreset";
const char* const kDamagedSuffix = ".damaged";

#if defined(_WIN32)
std::string environmentUtf8 (const wchar_t* name)
{
	const DWORD size = GetEnvironmentVariableW (name, nullptr, 0);
	if (size == 0)
		return std::string ();
	std::wstring value (size, L'\0');
	const DWORD length = GetEnvironmentVariableW (name, value.data (), size);
	value.resize (length);
	return fs::path (value).u8string ();
}
#endif

} // namespace

std::string configFolder (std::string& error)
{
#if defined(_WIN32)
	const std::string appData = environmentUtf8 (L"APPDATA");
	if (appData.empty ())
	{
		error = "APPDATA is not set: there is no folder for the saved state";
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
