// tarnovelle-bundle-resources: completes a built bundle with what hosts and
// file browsers read besides the module itself:
//
//   Contents/Resources/Snapshots/<CID>_snapshot.png   each audio module class,
//     and <CID>_snapshot_2.0x.png                      at content scale 2
//   Contents/Resources/moduleinfo.json
//   desktop.ini and PlugIn.ico at the bundle's root     with --folder-icon
//
//   tarnovelle-bundle-resources --version VERSION [--folder-icon] BUNDLE
//
// The module is loaded as a host loads it, and moduleinfo.json is written
// from its answers. Every class must carry VERSION (the project's version)
// as its version string; otherwise nothing is written and the exit status
// is 1, as for any other failure, with the reason on stderr.
#include "packaging/tools/ModuleInfo.h"
#include "packaging/tools/PlugInIcon.h"
#include "packaging/tools/Snapshot.h"

#include "vst3host/Files.h"
#include "vst3host/Module.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using namespace Tarno;
using namespace Tarno::Packaging;

namespace {

int usage ()
{
	std::fprintf (stderr, "usage: tarnovelle-bundle-resources --version VERSION [--folder-icon] BUNDLE.vst3\n");
	return 2;
}

int fail (const std::string& message)
{
	std::fprintf (stderr, "tarnovelle-bundle-resources: %s\n", message.c_str ());
	return 1;
}

// The whole file or none: the old one stays when the write fails.
bool writeFile (const fs::path& path, const void* data, size_t size, std::string& error)
{
	return Host::writeFileAtomically (path.u8string (), data, size, error);
}

} // namespace

int main (int argc, char** argv)
{
	const Host::Utf8Arguments utf8 (argc, argv);
	std::string version;
	std::string bundleArg;
	bool folderIcon = false;
	for (int i = 1; i < argc; ++i)
	{
		if (std::strcmp (argv[i], "--version") == 0 && i + 1 < argc)
			version = argv[++i];
		else if (std::strcmp (argv[i], "--folder-icon") == 0)
			folderIcon = true;
		else if (argv[i][0] == '-' || !bundleArg.empty ())
			return usage ();
		else
			bundleArg = argv[i];
	}
	if (version.empty () || bundleArg.empty ())
		return usage ();

	const fs::path bundle = fs::u8path (bundleArg);
	std::string error;
	auto module = Host::Module::load (bundleArg, error);
	if (!module)
		return fail ("cannot load '" + bundleArg + "': " + error);
	if (module->classes ().empty ())
		return fail ("the module's factory lists no classes");
	for (const auto& c : module->classes ())
		if (c.version != version)
			return fail ("class '" + c.name + "' says version '" + c.version + "', the project is '" + version + "'");

	const fs::path resources = bundle / "Contents" / "Resources";
	const fs::path snapshots = resources / "Snapshots";
	std::error_code ec;
	// Snapshots of earlier builds (of classes that may no longer exist) go.
	fs::remove_all (snapshots, ec);
	fs::create_directories (snapshots, ec);
	if (ec)
		return fail ("cannot create '" + snapshots.u8string () + "': " + ec.message ());

	std::vector<ModuleClass> classes;
	for (const auto& c : module->classes ())
	{
		ModuleClass entry {c, {}};
		if (c.category == kVstAudioEffectClass)
		{
			for (double scale : kSnapshotScales)
			{
				const std::string file = snapshotFileName (c.cid, scale);
				if (!writeEditorSnapshot ((snapshots / file).u8string (), scale, error))
					return fail ("snapshot of '" + c.name + "': " + error);
				entry.snapshots.push_back ({scale, "Contents/Resources/Snapshots/" + file});
			}
		}
		classes.push_back (entry);
	}

	const std::string name = bundle.filename ().stem ().u8string ();
	const std::string json = moduleInfoJson (name, version, module->factoryInfo (), classes);
	if (!writeFile (resources / "moduleinfo.json", json.data (), json.size (), error))
		return fail (error);

	if (folderIcon)
	{
		std::vector<IconImage> images;
		for (int size : plugInIconSizes ())
			images.push_back (drawPlugInIcon (size));
		const std::vector<uint8_t> ico = encodeIco (images);
		const char* ini = folderDesktopIni ();
		if (ico.empty ())
			return fail ("the icon could not be encoded");
		if (!writeFile (bundle / "PlugIn.ico", ico.data (), ico.size (), error) ||
		    !writeFile (bundle / "desktop.ini", ini, std::strlen (ini), error))
			return fail (error);
	}
	return 0;
}
