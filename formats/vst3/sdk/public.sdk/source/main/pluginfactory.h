// Class factory for VST 3 plug-in modules, for SDK copies that lack this
// helper (Debian's reduced copy). Written against the SDK's documented
// CPluginFactory API; a full SDK checkout uses its own file.
//
// The module's GetPluginFactory creates one CPluginFactory, registers its
// classes with registerClass and hands it to the host. The host's last
// release() destroys it and clears gPluginFactory.

#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <vector>

namespace Steinberg {

class CPluginFactory : public IPluginFactory3
{
public:
	// Signature of the functions registered with each class: creates one
	// instance (reference count 1) from the registered context pointer.
	typedef FUnknown* (*CreateFunc) (void* context);

	CPluginFactory (const PFactoryInfo& info);
	virtual ~CPluginFactory ();

	// Registers a class described with one of the three class-info layouts.
	// Returns false, registering nothing, when info or createFunc is null or
	// a class with the same class ID is already registered.
	bool registerClass (const PClassInfo* info, CreateFunc createFunc, void* context = nullptr);
	bool registerClass (const PClassInfo2* info, CreateFunc createFunc, void* context = nullptr);
	bool registerClass (const PClassInfoW* info, CreateFunc createFunc, void* context = nullptr);

	bool isClassRegistered (const FUID& cid);
	void removeAllClasses ();

	//--- FUnknown
	tresult PLUGIN_API queryInterface (const TUID _iid, void** obj) SMTG_OVERRIDE;
	uint32 PLUGIN_API addRef () SMTG_OVERRIDE;
	uint32 PLUGIN_API release () SMTG_OVERRIDE;

	//--- IPluginFactory
	tresult PLUGIN_API getFactoryInfo (PFactoryInfo* info) SMTG_OVERRIDE;
	int32 PLUGIN_API countClasses () SMTG_OVERRIDE;
	tresult PLUGIN_API getClassInfo (int32 index, PClassInfo* info) SMTG_OVERRIDE;
	// Creates the registered class `cid` and returns its `_iid` interface in
	// *obj with one reference owned by the caller. Unknown class or
	// unsupported interface: kNoInterface and *obj = nullptr.
	tresult PLUGIN_API createInstance (FIDString cid, FIDString _iid, void** obj) SMTG_OVERRIDE;

	//--- IPluginFactory2
	tresult PLUGIN_API getClassInfo2 (int32 index, PClassInfo2* info) SMTG_OVERRIDE;

	//--- IPluginFactory3
	// Strings are returned as UTF-16 (converted from UTF-8 when a class was
	// registered with PClassInfo or PClassInfo2).
	tresult PLUGIN_API getClassInfoUnicode (int32 index, PClassInfoW* info) SMTG_OVERRIDE;
	// The factory needs nothing from the host.
	tresult PLUGIN_API setHostContext (FUnknown* context) SMTG_OVERRIDE;

protected:
	// Each class is kept in both layouts so every getClassInfo variant is a
	// plain copy.
	struct ClassEntry
	{
		PClassInfo2 info8;
		PClassInfoW info16;
		CreateFunc createFunc;
		void* context;
	};

	bool addEntry (const ClassEntry& entry);
	const ClassEntry* entryAt (int32 index) const;

	PFactoryInfo factoryInfo;
	std::vector<ClassEntry> classes;
	int32 refCount;

private:
	CPluginFactory (const CPluginFactory&) = delete;
	CPluginFactory& operator= (const CPluginFactory&) = delete;
};

} // namespace Steinberg

// The module's factory while it exists (set by GetPluginFactory, cleared by
// the factory's destructor).
extern Steinberg::CPluginFactory* gPluginFactory;
