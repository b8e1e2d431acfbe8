// Loading a VST 3 module: finds the binary inside a bundle folder, loads it,
// runs its entry function, gets its plug-in factory and reads the factory's
// class list. A factory with IPluginFactory3 gets a host context of its own.
// Unloading runs in reverse (factory released, exit function, library
// closed).
//
// Accepted paths:
//   Linux:   X.vst3/ (loads X.vst3/Contents/<arch>-linux/X.so) or a .so file
//   Windows: X.vst3/ (loads X.vst3\Contents\<arch>-win\X.vst3) or a
//            .vst3/.dll file
// Entry functions: ModuleEntry (handle) / ModuleExit () on Linux,
// InitDll () / ExitDll () on Windows, each called when exported.
#pragma once

#include "vst3host/HostObjects.h"

#include "pluginterfaces/base/ipluginbase.h"

#include <memory>
#include <string>
#include <vector>

namespace Tarno {
namespace Host {

struct ClassInfo
{
	Steinberg::TUID cid = {};
	int32_t cardinality = 0;
	std::string category;      // e.g. "Audio Module Class"
	std::string name;
	uint32_t classFlags = 0;   // IPluginFactory2 and later
	std::string subCategories; // e.g. "Instrument|Synth"
	std::string vendor;
	std::string version;
	std::string sdkVersion;

	// The class ID as 32 hexadecimal digits.
	std::string cidString () const;
	// True when '|'-separated subCategories contains word (case-sensitive).
	bool hasSubCategory (const std::string& word) const;
};

struct FactoryInfo
{
	std::string vendor;
	std::string url;
	std::string email;
	int32_t flags = 0;
};

class Module
{
public:
	~Module ();
	Module (const Module&) = delete;
	Module& operator= (const Module&) = delete;

	// Loads the module at path. On failure returns nullptr with a message.
	static std::unique_ptr<Module> load (const std::string& path, std::string& error);

	// Where the binary of a bundle (or a direct binary path) is. False with a
	// message when the path does not exist or the bundle holds no binary for
	// this platform.
	static bool findBinary (const std::string& path, std::string& binary, std::string& error);

	// Subfolder of Contents/ for this platform, e.g. "x86_64-linux".
	static const char* architectureFolder ();

	Steinberg::IPluginFactory* factory () const { return factory_; }
	const FactoryInfo& factoryInfo () const { return factoryInfo_; }
	const std::vector<ClassInfo>& classes () const { return classes_; }
	// The audio module class to play: the first one listing "Instrument" among
	// its sub-categories. A factory that gives no sub-categories at all (only
	// IPluginFactory) offers its first audio module class. nullptr with a
	// message when there is none.
	const ClassInfo* instrumentClass (std::string& error) const;
	const std::string& binaryPath () const { return binaryPath_; }
	// Whether the module exported ModuleEntry (Linux) or InitDll (Windows).
	bool hasEntryFunction () const { return hasEntry_; }

	// The context given to IPluginFactory3::setHostContext (when the factory
	// has it) right after loading; it lives as long as the module.
	HostContext& factoryContext () { return factoryContext_; }

private:
	Module () = default;
	bool readClasses (std::string& error);
	void unload ();

	HostContext factoryContext_;
	void* handle_ = nullptr;
	bool hasEntry_ = false;
	bool entryCalled_ = false;
	Steinberg::IPluginFactory* factory_ = nullptr;
	FactoryInfo factoryInfo_;
	std::vector<ClassInfo> classes_;
	std::string binaryPath_;
};

} // namespace Host
} // namespace Tarno
