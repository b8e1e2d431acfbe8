// The real Tarnovelle.vst3 bundle, loaded by our host as a DAW would: its
// exports, factory, classes, and a processor and controller created through
// it. Runs natively against the Linux bundle and, built with mingw, under
// Wine against the Windows bundle.
#ifdef TARNO_HAVE_PLUGIN

#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "formats/vst3/Processor.h"
#include "tests/BundlePath.h"
#include "tests/StreamUtil.h"

#include "TarnoVersion.h"

#include "pluginterfaces/vst/ivstmidicontrollers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace TarnoTest;
using Tarno::Host::Module;
using Tarno::Host::PluginInstance;

namespace {

std::unique_ptr<Module> loadBundle ()
{
	std::string error;
	auto module = Module::load (bundlePath (), error);
	EXPECT_TRUE (module) << error;
	return module;
}

// The module's binary opened directly, for its exported functions.
class RawLibrary
{
public:
	RawLibrary ()
	{
		std::string binary, error;
		EXPECT_TRUE (Module::findBinary (bundlePath (), binary, error)) << error;
#if defined(_WIN32)
		handle = LoadLibraryA (binary.c_str ());
#else
		handle = dlopen (binary.c_str (), RTLD_NOW | RTLD_LOCAL);
#endif
		EXPECT_NE (handle, nullptr) << binary;
	}
	~RawLibrary ()
	{
#if defined(_WIN32)
		if (handle)
			FreeLibrary (static_cast<HMODULE> (handle));
#else
		if (handle)
			dlclose (handle);
#endif
	}
	template <typename F>
	F function (const char* name)
	{
#if defined(_WIN32)
		return reinterpret_cast<F> (reinterpret_cast<void*> (GetProcAddress (static_cast<HMODULE> (handle), name)));
#else
		return reinterpret_cast<F> (dlsym (handle, name));
#endif
	}
	void* handle = nullptr;
};

std::string cidBytes (const TUID cid)
{
	static const char* digits = "0123456789ABCDEF";
	std::string s;
	for (int i = 0; i < 16; ++i)
	{
		const auto b = uint8_t (cid[i]);
		s += digits[b >> 4];
		s += digits[b & 15];
	}
	return s;
}

struct Instance
{
	std::unique_ptr<Module> module = loadBundle ();
	PluginInstance plugin;

	explicit Instance (double rate = 48000, bool doubles = false, int32 block = 512) { start (rate, doubles, block); }
	void start (double rate, bool doubles, int32 block)
	{
		std::string error;
		ASSERT_TRUE (module);
		ASSERT_EQ (plugin.create (*module, module->classes ()[0], error), kResultOk) << error;
		Tarno::Host::ProcessOptions options;
		options.sampleRate = rate;
		options.use64Bit = doubles;
		options.maxBlockSize = block;
		options.processMode = kRealtime;
		ASSERT_EQ (plugin.setupProcessing (options, error), kResultOk) << error;
		ASSERT_EQ (plugin.startProcessing (error), kResultOk) << error;
	}
	~Instance ()
	{
		plugin.stopProcessing ();
		plugin.destroy ();
	}
};

} // namespace

TEST (Bundle, FactoryAndClasses)
{
	auto module = loadBundle ();
	ASSERT_TRUE (module);
	EXPECT_EQ (module->factoryInfo ().vendor, "Tarnovelle DSP");
	EXPECT_EQ (module->factoryInfo ().url, "");
	EXPECT_EQ (module->factoryInfo ().email.rfind ("mailto:", 0), 0u);
	EXPECT_EQ (module->factoryInfo ().flags, int32 (PFactoryInfo::kUnicode));
	ASSERT_EQ (module->classes ().size (), 2u);

	const auto& processor = module->classes ()[0];
	EXPECT_EQ (processor.category, "Audio Module Class");
	EXPECT_EQ (processor.name, "Tarnovelle");
	EXPECT_EQ (processor.classFlags, 1u);
	EXPECT_EQ (processor.subCategories, "Instrument|Synth");
	EXPECT_EQ (processor.vendor, "");
	EXPECT_EQ (processor.version, TARNO_VERSION_STRING);
	EXPECT_EQ (processor.sdkVersion, "VST 3.8.1");
	EXPECT_EQ (processor.cardinality, 0x7FFFFFFF);

	const auto& controller = module->classes ()[1];
	EXPECT_EQ (controller.category, "Component Controller Class");
	EXPECT_EQ (controller.name, "Tarnovelle Controller");
	EXPECT_EQ (controller.classFlags, 0u);
	EXPECT_EQ (controller.subCategories, "");
	EXPECT_EQ (controller.version, TARNO_VERSION_STRING);

	// The 16 bytes the host sees, laid out by the platform's rules.
#if defined(_WIN32)
	EXPECT_EQ (cidBytes (processor.cid), "183D948AE225E14D9917202610100001");
	EXPECT_EQ (cidBytes (controller.cid), "183D948AE225E14D9917202610100002");
#else
	EXPECT_EQ (cidBytes (processor.cid), "8A943D1825E24DE19917202610100001");
	EXPECT_EQ (cidBytes (controller.cid), "8A943D1825E24DE19917202610100002");
#endif
}

TEST (Bundle, ExportsAndEntryCounting)
{
	RawLibrary lib;
	ASSERT_NE (lib.handle, nullptr);
	using Factory = IPluginFactory* (PLUGIN_API*) ();
	auto getFactory = lib.function<Factory> ("GetPluginFactory");
	ASSERT_NE (getFactory, nullptr);
#if defined(_WIN32)
	auto init = lib.function<bool (*) ()> ("InitDll");
	auto exit = lib.function<bool (*) ()> ("ExitDll");
	ASSERT_NE (init, nullptr);
	ASSERT_NE (exit, nullptr);
	auto enter = [&] { return init (); };
#else
	auto entry = lib.function<bool (*) (void*)> ("ModuleEntry");
	auto exit = lib.function<bool (*) ()> ("ModuleExit");
	ASSERT_NE (entry, nullptr);
	ASSERT_NE (exit, nullptr);
	auto enter = [&] { return entry (lib.handle); };
#endif
	EXPECT_TRUE (enter ());
	EXPECT_TRUE (enter ());
	EXPECT_TRUE (exit ());
	EXPECT_TRUE (exit ());
	EXPECT_FALSE (exit ()); // one more exit than entries
	EXPECT_TRUE (enter ());

	// One factory, shared: the second call adds a reference.
	IPluginFactory* first = getFactory ();
	IPluginFactory* second = getFactory ();
	ASSERT_NE (first, nullptr);
	EXPECT_EQ (first, second);
	EXPECT_EQ (first->addRef (), 3u);
	first->release ();
	EXPECT_EQ (first->countClasses (), 2);
	second->release ();
	first->release ();
	// A new factory after the last reference went.
	IPluginFactory* fresh = getFactory ();
	ASSERT_NE (fresh, nullptr);
	EXPECT_EQ (fresh->countClasses (), 2);
	fresh->release ();
}

TEST (Bundle, CreateInstanceRefusesWhatItDoesNotKnow)
{
	auto module = loadBundle ();
	ASSERT_TRUE (module);
	IPluginFactory* factory = module->factory ();
	void* obj = reinterpret_cast<void*> (1);
	EXPECT_NE (factory->createInstance (module->classes ()[0].cid, IEditController::iid, &obj), kResultOk);
	EXPECT_EQ (obj, nullptr);
	TUID unknown = {};
	obj = reinterpret_cast<void*> (1);
	EXPECT_NE (factory->createInstance (unknown, IComponent::iid, &obj), kResultOk);
	EXPECT_EQ (obj, nullptr);
	ASSERT_EQ (factory->createInstance (module->classes ()[1].cid, IEditController::iid, &obj), kResultOk);
	static_cast<IEditController*> (obj)->release ();
}

TEST (Bundle, InstanceStateParametersAndMapping)
{
	Instance i;
	std::vector<uint8_t> blob;
	std::string error;
	ASSERT_EQ (i.plugin.getState (blob, error), kResultOk) << error;
	EXPECT_EQ (blob, stateBlob (Tarno::kDefaultParams));
	EXPECT_EQ (i.plugin.processor ()->getTailSamples (), 244799u);

	Tarno::ParamBlock values;
	for (int k = 0; k < Tarno::kNumParams; ++k)
		values[k] = (k + 2) / 20.0;
	ASSERT_EQ (i.plugin.setState (stateBlob (values), error), kResultOk) << error;
	ASSERT_EQ (i.plugin.getState (blob, error), kResultOk);
	EXPECT_EQ (blob, stateBlob (values));
	// The controller mirrors the restored state.
	for (int k = 0; k < Tarno::kNumParams; ++k)
		EXPECT_EQ (i.plugin.controller ()->getParamNormalized (ParamID (k)), values[k]);
	Bytes bad = stateBlob (values);
	bad[4] = 2; // version 2
	EXPECT_NE (i.plugin.setState (bad, error), kResultOk);
	ASSERT_EQ (i.plugin.getState (blob, error), kResultOk);
	EXPECT_EQ (blob, stateBlob (values));

	const auto params = i.plugin.parameters ();
	ASSERT_EQ (params.size (), 20u);
	EXPECT_EQ (params[16].id, 100u);
	EXPECT_EQ (params[16].title, "Pitch bend");
	std::string shown;
	ASSERT_EQ (i.plugin.setParameterFromText ("Output", "-6 dB", shown, error), kResultOk) << error;
	EXPECT_EQ (shown, "-6.0 dB");
	EXPECT_EQ (i.plugin.parameterText (Tarno::kTransposeParam, 0.45), "0 oct");

	IMidiMapping* mapping = nullptr;
	ASSERT_EQ (i.plugin.controller ()->queryInterface (IMidiMapping::iid, reinterpret_cast<void**> (&mapping)), kResultOk);
	ParamID id = 0;
	EXPECT_EQ (mapping->getMidiControllerAssignment (0, 15, Vst::kPitchBend, id), kResultOk);
	EXPECT_EQ (id, 100u);
	EXPECT_EQ (mapping->getMidiControllerAssignment (0, 16, kCtrlModWheel, id), kResultFalse);
	mapping->release ();
}

// The bundle renders what the processor built into the tests renders, sample
// for sample: the module boundary changes nothing.
TEST (Bundle, RendersLikeTheProcessorItWasBuiltFrom)
{
	for (bool doubles : {false, true})
	{
		Instance i (44100, doubles, 512);
		IPtr<Tarno::Processor> local =
		    owned (static_cast<Tarno::Processor*> (static_cast<IAudioProcessor*> (Tarno::Processor::create (nullptr))));
		local->initialize (nullptr);
		ProcessSetup setup = {kRealtime, doubles ? kSample64 : kSample32, 512, 44100};
		local->setupProcessing (setup);
		local->setActive (true);
		local->setProcessing (true);

		Event on = {};
		on.type = Event::kNoteOnEvent;
		on.sampleOffset = 100;
		on.noteOn.channel = 3;
		on.noteOn.pitch = 62;
		on.noteOn.velocity = 0.9f;
		i.plugin.events ().addEvent (on);
		i.plugin.parameterChanges ().add (Tarno::kVibratoDepthParam, 0, 0.5);
		i.plugin.parameterChanges ().add (Tarno::kModWheelParam, 256, 1.0);
		ASSERT_EQ (i.plugin.process (512), kResultOk);

		Tarno::Host::EventList events;
		events.addEvent (on);
		Tarno::Host::ParameterChanges changes;
		changes.add (Tarno::kVibratoDepthParam, 0, 0.5);
		changes.add (Tarno::kModWheelParam, 256, 1.0);
		std::vector<double> out64 (512);
		std::vector<float> out32 (512);
		double* p64 = out64.data ();
		float* p32 = out32.data ();
		AudioBusBuffers bus = {};
		bus.numChannels = 1;
		if (doubles)
			bus.channelBuffers64 = &p64;
		else
			bus.channelBuffers32 = &p32;
		ProcessData data = {};
		data.numSamples = 512;
		data.symbolicSampleSize = doubles ? kSample64 : kSample32;
		data.numOutputs = 1;
		data.outputs = &bus;
		data.inputEvents = &events;
		data.inputParameterChanges = &changes;
		local->process (data);

		ASSERT_EQ (i.plugin.outputChannelCount (), 2);
		for (int s = 0; s < 512; ++s)
		{
			const double expected = doubles ? out64[size_t (s)] : out32[size_t (s)];
			for (int32 c = 0; c < 2; ++c)
			{
				const double got = doubles ? i.plugin.output64 (c)[s] : i.plugin.output32 (c)[s];
				ASSERT_EQ (got, expected) << "sample " << s << " channel " << c;
			}
			if (s < 100)
			{
				EXPECT_EQ (expected, 0.0) << s;
			}
		}
		EXPECT_NE (out32[100] + out64[100], 0.0);
		local->setProcessing (false);
		local->setActive (false);
		local->terminate ();
	}
}

#endif // TARNO_HAVE_PLUGIN
