// The module's class factory: the processor as class 0, the controller as
// class 1.
#include "formats/vst3/Controller.h"
#include "formats/vst3/ClassIds.h"
#include "formats/vst3/Processor.h"

#include "TarnoVersion.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/main/pluginfactory.h"

using namespace Steinberg;

namespace {

// Both classes carry the project's version (CMakeLists.txt); the factory's
// own texts (vendor, URL, e-mail) come from there too, and carry no version.
constexpr const char* kVersion = TARNO_VERSION_STRING;
constexpr const char* kSdkVersion = "VST 3.8.1";

} // namespace

// Called by the module entry on the first load and the last unload.
bool InitModule () { return true; }
bool DeinitModule () { return true; }

SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory ()
{
	if (gPluginFactory)
	{
		gPluginFactory->addRef ();
		return gPluginFactory;
	}

	// The factory copies every description it is given. They are plain
	// locals: a function-local static takes a thread-safe guard, whose
	// lock on Windows is made by the statically linked threads library
	// and left behind when the module is unloaded.
	PFactoryInfo factoryInfo (TARNO_VENDOR, TARNO_URL, TARNO_EMAIL, PFactoryInfo::kUnicode);
	auto* factory = new CPluginFactory (factoryInfo);
	gPluginFactory = factory;

	PClassInfo2 processorClass (Tarno::processorID, PClassInfo::kManyInstances, kVstAudioEffectClass,
	                            "Tarnovelle", Vst::kDistributable, "Instrument|Synth", "", kVersion, kSdkVersion);
	factory->registerClass (&processorClass, Tarno::Processor::create, nullptr);

	PClassInfo2 controllerClass (Tarno::controllerID, PClassInfo::kManyInstances, kVstComponentControllerClass,
	                             "Tarnovelle Controller", 0, "", "", kVersion, kSdkVersion);
	factory->registerClass (&controllerClass, Tarno::Controller::create, nullptr);

	return gPluginFactory;
}
