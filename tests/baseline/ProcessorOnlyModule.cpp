// A module whose factory offers an instrument's audio processor and no edit
// controller: what a player must refuse with a clear message.
#include "public.sdk/source/main/pluginfactory.h"
#include "public.sdk/source/vst/vstaudioeffect.h"

using namespace Steinberg;

namespace {

const FUID kProcessorId (0x5A1E0C3B, 0x44D24F71, 0x9C0B7E52, 0x2F6A8D13);

// The SDK's audio effect as it comes: no buses, no controller class.
class BareProcessor : public Vst::AudioEffect
{
public:
	static FUnknown* create (void*) { return static_cast<Vst::IAudioProcessor*> (new BareProcessor ()); }
};

} // namespace

bool InitModule () { return true; }
bool DeinitModule () { return true; }

SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory ()
{
	if (gPluginFactory)
	{
		gPluginFactory->addRef ();
		return gPluginFactory;
	}
	PFactoryInfo factoryInfo ("Tarnovelle tests", "", "", PFactoryInfo::kUnicode);
	auto* factory = new CPluginFactory (factoryInfo);
	gPluginFactory = factory;
	PClassInfo2 processorClass (kProcessorId, PClassInfo::kManyInstances, kVstAudioEffectClass, "Processor Only",
	                            Vst::kDistributable, "Instrument|Synth", "", "1.0.0", "VST 3.8.1");
	factory->registerClass (&processorClass, BareProcessor::create, nullptr);
	return gPluginFactory;
}
