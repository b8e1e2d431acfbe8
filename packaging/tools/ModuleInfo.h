// Contents/Resources/moduleinfo.json: the module's factory and classes as a
// host can read them without loading the module. The text is made from what
// the loaded module answers (Host::Module), so the two cannot disagree.
#pragma once

#include "vst3host/Module.h"

#include <string>
#include <vector>

namespace Tarno {
namespace Packaging {

// A picture of a class's editor, its path relative to the bundle folder.
struct Snapshot
{
	double scaleFactor = 1.0;
	std::string path;
};

struct ModuleClass
{
	Host::ClassInfo info;
	std::vector<Snapshot> snapshots;
};

// The class ID as the 32 hexadecimal digits of its four 32-bit parts, the
// same text on every platform (the bytes of a class ID are ordered
// differently on Windows).
std::string canonicalCid (const Steinberg::TUID cid);

// The file name of a class's snapshot inside Contents/Resources/Snapshots/:
// <CID>_snapshot.png at scale 1, <CID>_snapshot_2.0x.png at scale 2.
std::string snapshotFileName (const Steinberg::TUID cid, double scale = 1.0);

// JSON text for a string: quotes, backslashes and control characters
// escaped, other bytes (UTF-8) kept.
std::string jsonString (const std::string& text);

// The whole moduleinfo.json text. name is the bundle's name without
// ".vst3", version the module's version.
std::string moduleInfoJson (const std::string& name, const std::string& version, const Host::FactoryInfo& factory,
                            const std::vector<ModuleClass>& classes);

} // namespace Packaging
} // namespace Tarno
