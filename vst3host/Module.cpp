#include "vst3host/Module.h"

#include "vst3host/StringConv.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace Tarno {
namespace Host {

using namespace Steinberg;
namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
const char* const kBinaryExtension = ".vst3";
#else
const char* const kBinaryExtension = ".so";
#endif

#if defined(_WIN32)
std::string lastErrorText ()
{
	const DWORD code = GetLastError ();
	char text[512] = {};
	const DWORD n = FormatMessageA (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
	                                code, 0, text, sizeof (text), nullptr);
	std::string s (text, n);
	while (!s.empty () && (s.back () == '\n' || s.back () == '\r' || s.back () == ' '))
		s.pop_back ();
	return s.empty () ? "error " + std::to_string (code) : s;
}

// GetProcAddress returns a generic function pointer; going through
// void (*) () (which GCC treats as compatible with every function type)
// converts it without a -Wcast-function-type warning.
template <typename Fn>
Fn findSymbol (void* handle, const char* name)
{
	FARPROC proc = GetProcAddress (static_cast<HMODULE> (handle), name);
	return reinterpret_cast<Fn> (reinterpret_cast<void (*) ()> (proc));
}
#else
#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a module stays mapped after it is closed: the leak
// check at exit then still sees the module's static data, which points to
// what the module keeps for its whole life, instead of reporting all of it
// as lost.
constexpr int kKeepMappedFlag = RTLD_NODELETE;
#else
constexpr int kKeepMappedFlag = 0;
#endif

template <typename Fn>
Fn findSymbol (void* handle, const char* name)
{
	return reinterpret_cast<Fn> (dlsym (handle, name));
}
#endif

} // namespace

//------------------------------------------------------------------------
std::string ClassInfo::cidString () const
{
	std::string s;
	char hex[3];
	for (int i = 0; i < 16; ++i)
	{
		std::snprintf (hex, sizeof (hex), "%02X", unsigned (uint8_t (cid[i])));
		s += hex;
	}
	return s;
}

bool ClassInfo::hasSubCategory (const std::string& word) const
{
	size_t start = 0;
	while (start <= subCategories.size ())
	{
		size_t end = subCategories.find ('|', start);
		if (end == std::string::npos)
			end = subCategories.size ();
		if (subCategories.compare (start, end - start, word) == 0)
			return true;
		start = end + 1;
	}
	return false;
}

const ClassInfo* Module::instrumentClass (std::string& error) const
{
	std::vector<const ClassInfo*> audio;
	for (const ClassInfo& c : classes_)
		if (c.category == kVstAudioEffectClass)
			audio.push_back (&c);
	if (audio.empty ())
	{
		error = "'" + binaryPath_ + "' has no audio module class";
		return nullptr;
	}
	bool anySubCategories = false;
	for (const ClassInfo* c : audio)
	{
		if (c->hasSubCategory ("Instrument"))
			return c;
		anySubCategories = anySubCategories || !c->subCategories.empty ();
	}
	if (!anySubCategories)
		return audio.front ();
	error = "'" + binaryPath_ + "' has no instrument class; its audio module classes are:";
	for (const ClassInfo* c : audio)
		error += " '" + c->name + "' (" + c->subCategories + ")";
	return nullptr;
}

//------------------------------------------------------------------------
const char* Module::architectureFolder ()
{
#if defined(_WIN32)
#if defined(__aarch64__) || defined(_M_ARM64)
	return "arm64-win";
#elif defined(__x86_64__) || defined(_M_X64)
	return "x86_64-win";
#else
	return "x86-win";
#endif
#else
#if defined(__aarch64__)
	return "aarch64-linux";
#elif defined(__x86_64__)
	return "x86_64-linux";
#elif defined(__i386__)
	return "i386-linux";
#else
	return "unknown-linux";
#endif
#endif
}

bool Module::findBinary (const std::string& path, std::string& binary, std::string& error)
{
	std::error_code ec;
	fs::path p = fs::u8path (path);
	const fs::file_status st = fs::status (p, ec);
	if (ec || !fs::exists (st))
	{
		error = "'" + path + "' does not exist";
		return false;
	}
	if (fs::is_regular_file (st))
	{
		binary = path;
		return true;
	}
	if (!fs::is_directory (st))
	{
		error = "'" + path + "' is neither a bundle folder nor a module file";
		return false;
	}

	if (!p.has_filename ()) // "X.vst3/" names the folder X.vst3
		p = p.parent_path ();
	const fs::path folder = p / "Contents" / architectureFolder ();
	const fs::path expected = folder / (p.stem ().u8string () + kBinaryExtension);
	if (fs::is_regular_file (expected, ec))
	{
		binary = expected.u8string ();
		return true;
	}
	// A bundle whose binary was named differently from its folder: accept
	// it when there is exactly one candidate.
	std::vector<fs::path> found;
	for (fs::directory_iterator it (folder, ec), end; !ec && it != end; it.increment (ec))
	{
		if (it->path ().extension () == kBinaryExtension && it->is_regular_file (ec))
			found.push_back (it->path ());
	}
	if (found.size () == 1)
	{
		binary = found.front ().u8string ();
		return true;
	}
	error = "bundle '" + path + "' has no " + expected.filename ().u8string () + " in Contents/" +
	        architectureFolder () +
	        (found.size () > 1 ? " (and several other candidates)" : "");
	return false;
}

//------------------------------------------------------------------------
std::unique_ptr<Module> Module::load (const std::string& path, std::string& error)
{
	std::unique_ptr<Module> m (new Module ());
	if (!findBinary (path, m->binaryPath_, error))
		return nullptr;

#if defined(_WIN32)
	HMODULE h = LoadLibraryW (fs::u8path (m->binaryPath_).wstring ().c_str ());
	if (h == nullptr)
	{
		error = "cannot load '" + m->binaryPath_ + "': " + lastErrorText ();
		return nullptr;
	}
	m->handle_ = h;
	using InitFn = bool (*) ();
	if (auto init = findSymbol<InitFn> (m->handle_, "InitDll"))
	{
		m->hasEntry_ = true;
		if (!init ())
		{
			error = "InitDll of '" + m->binaryPath_ + "' failed";
			return nullptr;
		}
		m->entryCalled_ = true;
	}
#else
	// RTLD_LOCAL: the module's symbols (it carries its own copy of the SDK)
	// must not be used to resolve those of later modules.
	void* h = dlopen (m->binaryPath_.c_str (), RTLD_LAZY | RTLD_LOCAL | kKeepMappedFlag);
	if (h == nullptr)
	{
		const char* why = dlerror ();
		error = "cannot load '" + m->binaryPath_ + "': " + (why ? why : "unknown error");
		return nullptr;
	}
	m->handle_ = h;
	using EntryFn = bool (*) (void*);
	if (auto entry = findSymbol<EntryFn> (m->handle_, "ModuleEntry"))
	{
		m->hasEntry_ = true;
		if (!entry (m->handle_))
		{
			error = "ModuleEntry of '" + m->binaryPath_ + "' failed";
			return nullptr;
		}
		m->entryCalled_ = true;
	}
#endif

	auto getFactory = findSymbol<GetFactoryProc> (m->handle_, "GetPluginFactory");
	if (getFactory == nullptr)
	{
		error = "'" + m->binaryPath_ + "' does not export GetPluginFactory (not a VST 3 module)";
		return nullptr;
	}
	m->factory_ = getFactory ();
	if (m->factory_ == nullptr)
	{
		error = "GetPluginFactory of '" + m->binaryPath_ + "' returned no factory";
		return nullptr;
	}
	{
		FUnknownPtr<IPluginFactory3> factory3 (m->factory_);
		if (factory3)
			factory3->setHostContext (&m->factoryContext_);
	}
	if (!m->readClasses (error))
		return nullptr;
	return m;
}

bool Module::readClasses (std::string& error)
{
	PFactoryInfo fi;
	if (factory_->getFactoryInfo (&fi) == kResultOk)
	{
		factoryInfo_.vendor = fromFixedAscii (fi.vendor, PFactoryInfo::kNameSize);
		factoryInfo_.url = fromFixedAscii (fi.url, PFactoryInfo::kURLSize);
		factoryInfo_.email = fromFixedAscii (fi.email, PFactoryInfo::kEmailSize);
		factoryInfo_.flags = fi.flags;
	}

	FUnknownPtr<IPluginFactory2> factory2 (factory_);
	FUnknownPtr<IPluginFactory3> factory3 (factory_);
	const int32 count = factory_->countClasses ();
	if (count < 0)
	{
		error = "the plug-in factory reports a negative class count";
		return false;
	}
	for (int32 i = 0; i < count; ++i)
	{
		ClassInfo c;
		PClassInfoW w;
		PClassInfo2 info2;
		PClassInfo info;
		if (factory3 && factory3->getClassInfoUnicode (i, &w) == kResultOk)
		{
			memcpy (c.cid, w.cid, sizeof (TUID));
			c.cardinality = w.cardinality;
			c.category = fromFixedAscii (w.category, PClassInfo::kCategorySize);
			c.name = toUtf8 (w.name, PClassInfo::kNameSize);
			c.classFlags = w.classFlags;
			c.subCategories = fromFixedAscii (w.subCategories, PClassInfoW::kSubCategoriesSize);
			c.vendor = toUtf8 (w.vendor, PClassInfoW::kVendorSize);
			c.version = toUtf8 (w.version, PClassInfoW::kVersionSize);
			c.sdkVersion = toUtf8 (w.sdkVersion, PClassInfoW::kVersionSize);
		}
		else if (factory2 && factory2->getClassInfo2 (i, &info2) == kResultOk)
		{
			memcpy (c.cid, info2.cid, sizeof (TUID));
			c.cardinality = info2.cardinality;
			c.category = fromFixedAscii (info2.category, PClassInfo::kCategorySize);
			c.name = fromFixedAscii (info2.name, PClassInfo::kNameSize);
			c.classFlags = info2.classFlags;
			c.subCategories = fromFixedAscii (info2.subCategories, PClassInfo2::kSubCategoriesSize);
			c.vendor = fromFixedAscii (info2.vendor, PClassInfo2::kVendorSize);
			c.version = fromFixedAscii (info2.version, PClassInfo2::kVersionSize);
			c.sdkVersion = fromFixedAscii (info2.sdkVersion, PClassInfo2::kVersionSize);
		}
		else if (factory_->getClassInfo (i, &info) == kResultOk)
		{
			memcpy (c.cid, info.cid, sizeof (TUID));
			c.cardinality = info.cardinality;
			c.category = fromFixedAscii (info.category, PClassInfo::kCategorySize);
			c.name = fromFixedAscii (info.name, PClassInfo::kNameSize);
		}
		else
			continue; // a class the factory cannot describe cannot be chosen either
		classes_.push_back (c);
	}
	return true;
}

void Module::unload ()
{
	if (factory_)
	{
		factory_->release ();
		factory_ = nullptr;
	}
	if (handle_ == nullptr)
		return;
#if defined(_WIN32)
	if (entryCalled_)
	{
		using ExitFn = bool (*) ();
		if (auto exitDll = findSymbol<ExitFn> (handle_, "ExitDll"))
			exitDll ();
	}
	FreeLibrary (static_cast<HMODULE> (handle_));
#else
	if (entryCalled_)
	{
		using ExitFn = bool (*) ();
		if (auto moduleExit = findSymbol<ExitFn> (handle_, "ModuleExit"))
			moduleExit ();
	}
	dlclose (handle_);
#endif
	entryCalled_ = false;
	handle_ = nullptr;
}

Module::~Module () { unload (); }

} // namespace Host
} // namespace Tarno
