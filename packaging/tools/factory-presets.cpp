// tarnovelle-factory-presets: writes the five factory presets as VST 3
// preset files, the way hosts list them in their preset browsers:
//
//   tarnovelle-factory-presets --vendor VENDOR BUNDLE.vst3 FOLDER
//
// One file per entry of kFactoryPresets, named after its title
// ("01  Original.vstpreset"), holding the processor's class ID, the
// processor's state at the preset's values and meta information (the
// preset's name, the plug-in's name and category). There is no controller
// chunk: loading a factory preset keeps the skin the user chose.
//
// The class ID, name, category and vendor are the built module's own
// answers, loaded as a host loads them; VENDOR (the name the packages use
// for the presets' folder) must be the factory's vendor. Each file is then
// loaded back into a plug-in instance, which must end up with exactly the
// preset's values. Any failure writes nothing more and exits with status 1
// and the reason.
#include "vst3host/Files.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "vst3host/PresetFile.h"
#include "params/Presets.h"
#include "formats/vst3/StateBlob.h"

#include "public.sdk/source/common/memorystream.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace Tarno;
using namespace Tarno::Host;

namespace {

int fail (const std::string& message)
{
	std::fprintf (stderr, "tarnovelle-factory-presets: %s\n", message.c_str ());
	return 1;
}

std::vector<uint8_t> stateBlob (const ParamBlock& values)
{
	Steinberg::IPtr<Steinberg::MemoryStream> stream = Steinberg::owned (new Steinberg::MemoryStream ());
	if (writeState (stream, values) != Steinberg::kResultOk)
		return {};
	const char* data = stream->getData ();
	return std::vector<uint8_t> (data, data + stream->getSize ());
}

// Loads the file into a fresh instance and compares the controller's values.
bool loadsAsWritten (Module& module, const ClassInfo& cls, const std::string& path, const ParamBlock& values,
                     std::string& error)
{
	PluginInstance plugin;
	if (plugin.create (module, cls, error) != Steinberg::kResultOk || !plugin.loadPreset (path, error))
		return false;
	for (int32_t id = 0; id < kNumParams; ++id)
	{
		const double shown = plugin.controller ()->getParamNormalized (Steinberg::Vst::ParamID (id));
		if (!(shown == values[size_t (id)]))
		{
			error = path + ": after loading, parameter " + std::to_string (id) + " is " + std::to_string (shown) +
			        ", not " + std::to_string (values[size_t (id)]);
			return false;
		}
	}
	return true;
}

} // namespace

int main (int argc, char** argv)
{
	const Utf8Arguments utf8 (argc, argv);
	if (argc != 5 || std::string (argv[1]) != "--vendor")
	{
		std::fprintf (stderr, "usage: tarnovelle-factory-presets --vendor VENDOR BUNDLE.vst3 FOLDER\n");
		return 2;
	}
	const std::string vendor = argv[2], bundle = argv[3], folder = argv[4];

	std::string error;
	std::unique_ptr<Module> module = Module::load (bundle, error);
	if (!module)
		return fail (error);
	const ClassInfo* processor = module->instrumentClass (error);
	if (processor == nullptr)
		return fail (error);
	if (module->factoryInfo ().vendor != vendor)
		return fail ("the factory's vendor is '" + module->factoryInfo ().vendor + "', the packages say '" + vendor +
		             "': the presets' folder would not be the plug-in's");

	for (const FactoryPreset& preset : kFactoryPresets)
	{
		PresetContents contents;
		contents.componentState = stateBlob (preset.values);
		if (contents.componentState.size () != size_t (kStateSize))
			return fail (std::string ("the state of '") + preset.title + "' could not be written");
		const std::string path = folder + "/" + presetFileName (preset.title);
		const std::string xml = presetMetaInfo (preset.title, processor->name, processor->subCategories);
		if (!writePresetFile (path, processor->cid, contents, xml, error) ||
		    !loadsAsWritten (*module, *processor, path, preset.values, error))
			return fail (error);
	}
	return 0;
}
