// A host that gets everything wrong, through the real bundle: indices out of
// range, null pointers, huge and non-finite values, texts that are not text,
// calls out of order and after terminate, lying counts and misbehaving
// streams. Every call must answer with the right result, write nothing it
// should not, let no exception out and leave the plug-in as it was. Runs
// natively against the Linux bundle and, built with mingw, under Wine
// against the Windows bundle.
#ifdef TARNO_HAVE_PLUGIN

#include "vst3host/HostObjects.h"
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "params/ParamTable.h"
#include "tests/BundlePath.h"
#include "tests/CallSequenceHarness.h"
#include "tests/HostileUtil.h"
#include "tests/Phrases.h"
#include "tests/ProcessUtil.h"
#include "tests/StreamUtil.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>

#if defined(__SANITIZE_ADDRESS__)
#define TARNO_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNO_TEST_ASAN 1
#endif
#endif

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace TarnoTest;
using Tarno::Host::Module;
using Tarno::Host::PluginInstance;

namespace {

const ParamID kHiddenIds[] = {100, 101, 102, 103};
const ParamID kUnknownIds[] = {16, 99, 104, 1000, 0x7FFFFFFF, kNoParamId};

std::vector<ParamID> knownIds ()
{
	std::vector<ParamID> ids;
	for (ParamID id = 0; id < ParamID (Tarno::kNumParams); ++id)
		ids.push_back (id);
	ids.insert (ids.end (), std::begin (kHiddenIds), std::end (kHiddenIds));
	return ids;
}

std::string show (double v)
{
	char text[64];
	std::snprintf (text, sizeof text, "%.17g", v);
	return text;
}

// Runs a plug-in call; an exception leaving the plug-in is a failure.
tresult guarded (const std::string& what, const std::function<tresult ()>& call)
{
	try
	{
		return call ();
	}
	catch (...)
	{
		ADD_FAILURE () << what << ": an exception left the plug-in";
		return kInternalError;
	}
}

// Runs a plug-in call whose result does not matter.
template <typename Call>
void survives (const std::string& what, Call call)
{
	try
	{
		call ();
	}
	catch (...)
	{
		ADD_FAILURE () << what << ": an exception left the plug-in";
	}
}

// A call with an out-argument that a refusal must leave alone.
template <typename T>
void expectRefused (const std::string& what, tresult expected, const std::function<tresult (T&)>& call)
{
	Patterned<T> out;
	const tresult r = guarded (what, [&] { return call (out.value); });
	EXPECT_EQ (r, expected) << what;
	EXPECT_TRUE (out.untouched ()) << what << " wrote to its out-argument";
}

// The bundle loaded through our host, and raw objects made by its factory.
struct Bundle
{
	std::unique_ptr<Module> module;
	IPluginFactory* factory = nullptr;
	const Tarno::Host::ClassInfo* processorClass = nullptr;
	const Tarno::Host::ClassInfo* controllerClass = nullptr;

	Bundle ()
	{
		std::string error;
		module = Module::load (bundlePath (), error);
		EXPECT_TRUE (module) << error;
		if (!module)
			return;
		factory = module->factory ();
		for (const auto& c : module->classes ())
		{
			if (c.category == kVstAudioEffectClass)
				processorClass = &c;
			if (c.category == kVstComponentControllerClass)
				controllerClass = &c;
		}
		EXPECT_NE (processorClass, nullptr);
		EXPECT_NE (controllerClass, nullptr);
	}
	bool ok () const { return factory && processorClass && controllerClass; }

	template <typename T>
	IPtr<T> make (const TUID cid)
	{
		void* obj = nullptr;
		if (factory->createInstance (cid, T::iid, &obj) != kResultOk || obj == nullptr)
			return nullptr;
		return owned (static_cast<T*> (obj));
	}
};

// A processor and a controller from the bundle's factory, initialized with
// a counting context unless told otherwise, not connected. Terminated at the
// end unless the test did that itself.
struct Pair
{
	Bundle bundle;
	CountingUnknown context;
	IPtr<IComponent> component;
	IPtr<IAudioProcessor> processor;
	IPtr<IEditController> controller;
	bool componentLive = false, controllerLive = false;

	explicit Pair (bool initialize = true)
	{
		if (!bundle.ok ())
			return;
		component = bundle.make<IComponent> (bundle.processorClass->cid);
		controller = bundle.make<IEditController> (bundle.controllerClass->cid);
		processor = query<IAudioProcessor> (component);
		EXPECT_TRUE (component && controller && processor);
		if (initialize && component && controller)
		{
			EXPECT_EQ (component->initialize (&context), kResultOk);
			EXPECT_EQ (controller->initialize (&context), kResultOk);
			componentLive = controllerLive = true;
		}
	}
	~Pair () { terminate (); }
	bool ok () const { return component && controller && processor; }
	void terminate ()
	{
		if (componentLive)
			component->terminate ();
		if (controllerLive)
			controller->terminate ();
		componentLive = controllerLive = false;
	}

	Bytes state ()
	{
		MemoryStream stream;
		EXPECT_EQ (component->getState (&stream), kResultOk);
		return bytesOf (stream);
	}
	Tarno::ParamBlock values ()
	{
		Tarno::ParamBlock v;
		for (int32 i = 0; i < Tarno::kNumParams; ++i)
			v[i] = controller->getParamNormalized (ParamID (i));
		return v;
	}
};

// A started instance (set up, active, processing), as a DAW holds it.
struct Started
{
	std::unique_ptr<Module> module;
	PluginInstance plugin;

	Started ()
	{
		std::string error;
		module = Module::load (bundlePath (), error);
		EXPECT_TRUE (module) << error;
		if (!module)
			return;
		EXPECT_EQ (plugin.create (*module, module->classes ()[0], error), kResultOk) << error;
		Tarno::Host::ProcessOptions options;
		options.processMode = kRealtime;
		EXPECT_EQ (plugin.setupProcessing (options, error), kResultOk) << error;
		EXPECT_EQ (plugin.startProcessing (error), kResultOk) << error;
	}
	~Started ()
	{
		plugin.stopProcessing ();
		plugin.destroy ();
	}
	bool ok () const { return plugin.isProcessing (); }
	Bytes state ()
	{
		std::vector<uint8_t> blob;
		std::string error;
		EXPECT_EQ (plugin.getState (blob, error), kResultOk) << error;
		return blob;
	}
};

double valueInState (const Bytes& blob, int32 id)
{
	double v = 0;
	if (blob.size () >= size_t (8 + 8 * (id + 1)))
	{
		uint64_t bits = 0;
		for (int i = 7; i >= 0; --i)
			bits = bits << 8 | blob[size_t (8 + 8 * id + i)];
		std::memcpy (&v, &bits, sizeof v);
	}
	return v;
}

bool allFinite (const Block& block)
{
	for (const auto& channel : block.f32)
		for (float s : channel)
			if (!std::isfinite (s))
				return false;
	for (const auto& channel : block.f64)
		for (double s : channel)
			if (!std::isfinite (s))
				return false;
	return true;
}

Tarno::ParamBlock someValues ()
{
	Tarno::ParamBlock v;
	for (int i = 0; i < Tarno::kNumParams; ++i)
		v[i] = (i + 5) / 31.0;
	return v;
}

} // namespace

TEST (HostileHost, OutOfRangeIndicesAreRefusedWithoutWriting)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	auto mapping = query<IMidiMapping> (p.controller);
	ASSERT_TRUE (mapping);
	ASSERT_EQ (p.controller->getParameterCount (), 20);

	for (int32 index : {-1, 20, 21, INT32_MAX, INT32_MIN})
		expectRefused<ParameterInfo> ("getParameterInfo (" + std::to_string (index) + ")", kInvalidArgument,
		                              [&] (ParameterInfo& info) { return p.controller->getParameterInfo (index, info); });

	struct BusIndex
	{
		MediaType type;
		BusDirection direction;
		int32 index;
	};
	const BusIndex badBuses[] = {
		{kAudio, kOutput, 1},       {kAudio, kOutput, -1},      {kAudio, kOutput, INT32_MAX},
		{kAudio, kOutput, INT32_MIN}, {kAudio, kInput, 0},      {kEvent, kInput, 1},
		{kEvent, kInput, -1},       {kEvent, kInput, INT32_MIN}, {kEvent, kOutput, 0},
		{2, kOutput, 0},            {-1, kInput, 0},            {INT32_MAX, kOutput, 0},
	};
	for (const BusIndex& b : badBuses)
	{
		const std::string where = " (" + std::to_string (b.type) + ", " + std::to_string (b.direction) + ", " +
		                          std::to_string (b.index) + ")";
		expectRefused<BusInfo> ("getBusInfo" + where, kInvalidArgument, [&] (BusInfo& info) {
			return p.component->getBusInfo (b.type, b.direction, b.index, info);
		});
		for (TBool state : {TBool (true), TBool (false)})
			EXPECT_EQ (guarded ("activateBus" + where, [&] { return p.component->activateBus (b.type, b.direction, b.index, state); }),
			           kInvalidArgument)
			    << "activateBus" << where;
		if (b.type == kAudio)
		{
			Patterned<SpeakerArrangement> arrangement;
			const tresult r = guarded ("getBusArrangement" + where, [&] {
				return p.processor->getBusArrangement (b.direction, b.index, arrangement.value);
			});
			EXPECT_NE (r, kResultOk) << "getBusArrangement" << where;
			EXPECT_TRUE (arrangement.untouched ()) << "getBusArrangement" << where;
		}
	}
	// A refused call left the buses as they were.
	EXPECT_EQ (p.component->getBusCount (kAudio, kOutput), 1);
	EXPECT_EQ (p.component->getBusCount (kEvent, kInput), 1);

	for (int32 bus : {-1, 1, INT32_MAX})
		for (int32 channel : {-1, 0, 16, INT32_MIN})
		{
			RoutingInfo in = {kEvent, bus, channel};
			Patterned<RoutingInfo> out;
			const tresult r = guarded ("getRoutingInfo", [&] { return p.component->getRoutingInfo (in, out.value); });
			EXPECT_NE (r, kResultOk) << "getRoutingInfo (bus " << bus << ", channel " << channel << ")";
			EXPECT_TRUE (out.untouched ()) << "getRoutingInfo (bus " << bus << ", channel " << channel << ")";
		}

	struct Assignment
	{
		int32 bus;
		int16 channel;
		CtrlNumber controller;
	};
	const Assignment badAssignments[] = {
		{1, 0, kCtrlModWheel},          {-1, 0, kCtrlModWheel},      {INT32_MAX, 0, kCtrlModWheel},
		{INT32_MIN, 0, kPitchBend},     {0, 16, kCtrlModWheel},      {0, -1, kCtrlSustainOnOff},
		{0, INT16_MIN, kPitchBend},     {0, INT16_MAX, kPitchBend},  {0, 0, -1},
		{0, 0, kCountCtrlNumber},       {0, 0, INT16_MAX},           {0, 0, INT16_MIN},
		{0, 0, kCtrlVolume},            {0, 15, kAfterTouch},
	};
	for (const Assignment& a : badAssignments)
		expectRefused<ParamID> ("getMidiControllerAssignment (" + std::to_string (a.bus) + ", " + std::to_string (a.channel) +
		                            ", " + std::to_string (a.controller) + ")",
		                        kResultFalse, [&] (ParamID& id) {
			                        return mapping->getMidiControllerAssignment (a.bus, a.channel, a.controller, id);
		                        });

	auto factory3 = query<IPluginFactory3> (p.bundle.factory);
	ASSERT_TRUE (factory3);
	for (int32 index : {-1, 2, INT32_MAX, INT32_MIN})
	{
		const std::string at = " (" + std::to_string (index) + ")";
		expectRefused<PClassInfo> ("getClassInfo" + at, kInvalidArgument,
		                           [&] (PClassInfo& info) { return factory3->getClassInfo (index, &info); });
		expectRefused<PClassInfo2> ("getClassInfo2" + at, kInvalidArgument,
		                            [&] (PClassInfo2& info) { return factory3->getClassInfo2 (index, &info); });
		expectRefused<PClassInfoW> ("getClassInfoUnicode" + at, kInvalidArgument,
		                            [&] (PClassInfoW& info) { return factory3->getClassInfoUnicode (index, &info); });
	}

	// After terminate the controller has no parameters: every index is out of range.
	p.terminate ();
	for (int32 index : {0, 5, 19, -1, 20})
		expectRefused<ParameterInfo> ("getParameterInfo (" + std::to_string (index) + ") after terminate", kInvalidArgument,
		                              [&] (ParameterInfo& info) { return p.controller->getParameterInfo (index, info); });
}

TEST (HostileHost, FactoryRefusesBadClassAndInterfaceIds)
{
	Bundle b;
	ASSERT_TRUE (b.ok ());
	auto factory3 = query<IPluginFactory3> (b.factory);
	ASSERT_TRUE (factory3);
	const TUID unknown = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
	const TUID zero = {};
	struct Creation
	{
		const char* what;
		const char* cid;
		const char* iid;
		bool withObj;
		tresult expected; // kResultOk here means "anything but kResultOk"
	};
	const auto* processorCid = reinterpret_cast<const char*> (b.processorClass->cid);
	const auto* controllerCid = reinterpret_cast<const char*> (b.controllerClass->cid);
	const auto* componentIid = reinterpret_cast<const char*> (IComponent::iid.toTUID ());
	const auto* controllerIid = reinterpret_cast<const char*> (IEditController::iid.toTUID ());
	const Creation creations[] = {
		{"null class ID", nullptr, componentIid, true, kInvalidArgument},
		{"null interface ID", processorCid, nullptr, true, kInvalidArgument},
		{"null out-pointer", processorCid, componentIid, false, kInvalidArgument},
		{"everything null", nullptr, nullptr, false, kInvalidArgument},
		{"unknown class ID", reinterpret_cast<const char*> (unknown), componentIid, true, kResultOk},
		{"zero class ID", reinterpret_cast<const char*> (zero), componentIid, true, kResultOk},
		{"processor as controller", processorCid, controllerIid, true, kResultOk},
		{"controller as component", controllerCid, componentIid, true, kResultOk},
		{"unknown interface ID", processorCid, reinterpret_cast<const char*> (unknown), true, kResultOk},
	};
	for (const Creation& c : creations)
	{
		void* obj = reinterpret_cast<void*> (0x10);
		const tresult r = guarded (c.what, [&] { return factory3->createInstance (c.cid, c.iid, c.withObj ? &obj : nullptr); });
		if (c.expected == kResultOk)
		{
			EXPECT_NE (r, kResultOk) << c.what;
		}
		else
		{
			EXPECT_EQ (r, c.expected) << c.what;
		}
		EXPECT_TRUE (!c.withObj || obj == nullptr) << c.what << " left the out-pointer set";
		if (r == kResultOk && c.withObj && obj)
			static_cast<FUnknown*> (obj)->release ();
	}
	EXPECT_EQ (factory3->getFactoryInfo (nullptr), kInvalidArgument);
	for (int32 index : {0, 1, -1})
	{
		EXPECT_EQ (factory3->getClassInfo (index, nullptr), kInvalidArgument) << index;
		EXPECT_EQ (factory3->getClassInfo2 (index, nullptr), kInvalidArgument) << index;
		EXPECT_EQ (factory3->getClassInfoUnicode (index, nullptr), kInvalidArgument) << index;
	}
	EXPECT_EQ (factory3->countClasses (), 2);
}

TEST (HostileHost, ValueTextsStayWithin128Units)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	std::vector<ParamID> ids = knownIds ();
	ids.insert (ids.end (), std::begin (kUnknownIds), std::end (kUnknownIds));
	const std::set<ParamID> known (ids.begin (), ids.begin () + 20);

	for (ParamID id : ids)
	{
		for (double v : hostileValues ())
		{
			const std::string what = "getParamStringByValue (" + std::to_string (id) + ", " + show (v) + ")";
			GuardedText text;
			const tresult r = guarded (what, [&] { return p.controller->getParamStringByValue (id, v, text.data ()); });
			EXPECT_TRUE (text.guardIntact ()) << what << " wrote past 128 units";
			if (!known.count (id))
			{
				EXPECT_NE (r, kResultOk) << what;
				continue;
			}
			EXPECT_EQ (r, kResultOk) << what;
			EXPECT_TRUE (text.terminated ()) << what;
			// The hidden parameters show their normalized value clamped as the
			// processor clamps it (NaN and both infinities are 0), with no
			// sign on zero.
			const double c = Tarno::clampNormalized (v) + 0.0;
			if (id == 102)
			{
				EXPECT_EQ (text.text (), c > 0.5 ? "On" : "Off") << what;
			}
			else if (id >= 100)
			{
				char expected[16];
				std::snprintf (expected, sizeof expected, "%.4f", c);
				EXPECT_EQ (text.text (), expected) << what;
			}
		}
	}
	for (ParamID id : ids)
	{
		const tresult r = guarded ("null string", [&] { return p.controller->getParamStringByValue (id, 0.5, nullptr); });
		if (known.count (id))
		{
			EXPECT_EQ (r, kInvalidArgument) << "getParamStringByValue (" << id << ", 0.5, nullptr)";
		}
		else
		{
			EXPECT_NE (r, kResultOk) << "getParamStringByValue (" << id << ", 0.5, nullptr)";
		}
	}

#ifdef TARNO_TEST_ASAN
	// The same calls with the string on the stack, where AddressSanitizer
	// sees a write past its end.
	for (ParamID id : ids)
		for (double v : hostileValues ())
		{
			String128 text;
			guarded ("getParamStringByValue", [&] { return p.controller->getParamStringByValue (id, v, text); });
		}
#endif
}

TEST (HostileHost, HostileTextsNeverGiveNonFiniteValues)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	std::vector<ParamID> ids = knownIds ();
	ids.insert (ids.end (), std::begin (kUnknownIds), std::end (kUnknownIds));
	const std::set<ParamID> known (ids.begin (), ids.begin () + 20);
	const double untouched = 0.123456789;

	std::vector<HostileText> texts = hostileTexts ();
	// 128 digits without a terminator: the whole String128 and nothing after.
	texts.push_back ({"128 units without a terminator", repeated ('3', 128), Reading::Any, 0});
	for (const HostileText& t : texts)
	{
		const bool unterminated = t.text.size () == 128;
		// Exactly the text's size, so that AddressSanitizer sees a read past it.
		std::unique_ptr<char16[]> buffer (new char16[t.text.size () + (unterminated ? 0 : 1)]);
		std::copy (t.text.begin (), t.text.end (), buffer.get ());
		if (!unterminated)
			buffer[t.text.size ()] = 0;

		for (ParamID id : ids)
		{
			const std::string what = "getParamValueByString (" + std::to_string (id) + ", " + t.name + ")";
			double v = untouched;
			const tresult r = guarded (what, [&] { return p.controller->getParamValueByString (id, buffer.get (), v); });
			if (r == kResultOk)
			{
				EXPECT_TRUE (std::isfinite (v)) << what << " gave " << show (v);
				EXPECT_TRUE (!known.count (id) || (v >= 0.0 && v <= 1.0)) << what << " gave " << show (v);
			}
			else
			{
				EXPECT_TRUE (sameBits (v, untouched)) << what << " refused but wrote " << show (v);
			}
			if (!known.count (id))
			{
				EXPECT_NE (r, kResultOk) << what;
				continue;
			}
			if (id < 100)
				continue;
			switch (t.reading)
			{
				case Reading::NonFinite: EXPECT_EQ (r, kResultFalse) << what; break;
				case Reading::None: EXPECT_NE (r, kResultOk) << what; break;
				case Reading::Finite:
				{
					const double expected = t.value < 0.0 ? 0.0 : t.value > 1.0 ? 1.0 : t.value;
					EXPECT_EQ (r, kResultOk) << what;
					EXPECT_TRUE (r != kResultOk || v == expected) << what << " gave " << show (v);
					break;
				}
				case Reading::Any: break;
			}
		}
	}

	for (ParamID id : ids)
	{
		double v = untouched;
		const tresult r = guarded ("null text", [&] { return p.controller->getParamValueByString (id, nullptr, v); });
		if (known.count (id))
			EXPECT_EQ (r, kInvalidArgument) << "getParamValueByString (" << id << ", nullptr)";
		else
			EXPECT_NE (r, kResultOk) << "getParamValueByString (" << id << ", nullptr)";
		EXPECT_TRUE (sameBits (v, untouched)) << "getParamValueByString (" << id << ", nullptr) wrote " << show (v);
	}
}

// Texts are the same whatever locale the host process runs in.
TEST (HostileHost, TextsIgnoreTheProcessLocale)
{
	Started s;
	ASSERT_TRUE (s.ok ());
	const std::string previous = std::setlocale (LC_ALL, nullptr);
	const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "nl_NL.UTF-8", "German_Germany.1252",
	                            "de-DE", "French_France.1252", "fr-FR"};
	const char* chosen = nullptr;
	for (const char* name : candidates)
	{
		if (std::setlocale (LC_ALL, name) && std::localeconv ()->decimal_point[0] == ',')
		{
			chosen = name;
			break;
		}
		std::setlocale (LC_ALL, previous.c_str ());
	}
	if (!chosen)
		GTEST_SKIP () << "no locale with a decimal comma is installed (Debian: package locales-all)";
	struct Restore
	{
		const std::string& name;
		~Restore () { std::setlocale (LC_ALL, name.c_str ()); }
	} restore {previous};

	IEditController* c = s.plugin.controller ();
	EXPECT_EQ (s.plugin.parameterText (Tarno::kOutputParam, 0.9), "-6.0 dB") << chosen;
	EXPECT_EQ (s.plugin.parameterText (100, 0.5), "0.5000") << chosen;
	EXPECT_EQ (s.plugin.parameterText (Tarno::kVibratoRateParam, 0.25), "5.0 Hz") << chosen;

	String128 text = {};
	const Text16 minus65 = text16 ("-6.5");
	std::copy (minus65.begin (), minus65.end (), text);
	double v = -1;
	ASSERT_EQ (c->getParamValueByString (Tarno::kOutputParam, text, v), kResultOk) << chosen;
	EXPECT_NEAR (c->normalizedParamToPlain (Tarno::kOutputParam, v), -6.5, 1e-9) << chosen;
	const Text16 quarter = text16 ("0.25");
	std::fill (std::begin (text), std::end (text), 0);
	std::copy (quarter.begin (), quarter.end (), text);
	ASSERT_EQ (c->getParamValueByString (101, text, v), kResultOk) << chosen;
	EXPECT_EQ (v, 0.25) << chosen;
}

TEST (HostileHost, NonFiniteNormalizedValuesAreRefused)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	const double inf = std::numeric_limits<double>::infinity ();
	const double nan = std::numeric_limits<double>::quiet_NaN ();
	for (ParamID id : knownIds ())
	{
		// Start from a value that is not the default.
		p.controller->setParamNormalized (id, 0.625);
		for (double v : {nan, -nan, inf, -inf})
		{
			const double before = p.controller->getParamNormalized (id);
			const std::string what = "setParamNormalized (" + std::to_string (id) + ", " + show (v) + ")";
			EXPECT_EQ (guarded (what, [&] { return p.controller->setParamNormalized (id, v); }), kResultFalse) << what;
			EXPECT_TRUE (sameBits (p.controller->getParamNormalized (id), before)) << what << " changed the value";
		}
	}
	std::vector<ParamID> ids = knownIds ();
	ids.insert (ids.end (), std::begin (kUnknownIds), std::end (kUnknownIds));
	for (ParamID id : ids)
	{
		for (double v : hostileValues ())
		{
			p.controller->setParamNormalized (id, v);
			const double got = p.controller->getParamNormalized (id);
			EXPECT_TRUE (std::isfinite (got)) << "getParamNormalized (" << id << ") after " << show (v) << " gave "
			                                  << show (got);
		}
	}
}

TEST (HostileHost, QueryInterfaceWithoutAnOutPointer)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	const FUID unknown (0x07070707, 0x07070707, 0x07070707, 0x07070707);
	struct Query
	{
		const char* what;
		FUnknown* object;
		const FUID* iid;
	};
	FUnknown* processor = p.component;
	FUnknown* controller = p.controller;
	FUnknown* factory = p.bundle.factory;
	const Query queries[] = {
		{"processor IComponent", processor, &IComponent::iid},
		{"processor IAudioProcessor", processor, &IAudioProcessor::iid},
		{"processor IConnectionPoint", processor, &IConnectionPoint::iid},
		{"processor IPluginBase", processor, &IPluginBase::iid},
		{"processor FUnknown", processor, &FUnknown::iid},
		{"processor IEditController", processor, &IEditController::iid},
		{"processor unknown IID", processor, &unknown},
		{"controller IEditController", controller, &IEditController::iid},
		{"controller IMidiMapping", controller, &IMidiMapping::iid},
		{"controller IConnectionPoint", controller, &IConnectionPoint::iid},
		{"controller IPluginBase", controller, &IPluginBase::iid},
		{"controller IEditController2", controller, &IEditController2::iid},
		{"controller FUnknown", controller, &FUnknown::iid},
		{"controller IComponent", controller, &IComponent::iid},
		{"controller unknown IID", controller, &unknown},
		{"factory IPluginFactory", factory, &IPluginFactory::iid},
		{"factory IPluginFactory3", factory, &IPluginFactory3::iid},
		{"factory unknown IID", factory, &unknown},
	};
	for (const Query& q : queries)
		EXPECT_EQ (guarded (q.what, [&] { return q.object->queryInterface (q.iid->toTUID (), nullptr); }), kInvalidArgument) << q.what;
}

TEST (HostileHost, NotifyWithBadMessages)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	auto processorPoint = query<IConnectionPoint> (p.component);
	auto controllerPoint = query<IConnectionPoint> (p.controller);
	ASSERT_TRUE (processorPoint && controllerPoint);
	// Messages the host made itself: text attributes that are not text.
	Tarno::Host::HostContext host;
	auto message = [&] (const char* id, const Text16& text) {
		void* obj = nullptr;
		TUID iid;
		IMessage::iid.toTUID (iid);
		EXPECT_EQ (host.createInstance (iid, iid, &obj), kResultOk);
		IPtr<IMessage> m = owned (static_cast<IMessage*> (obj));
		m->setMessageID (id);
		const Text16 terminated = text + char16 (0);
		m->getAttributes ()->setString ("Text", terminated.data ());
		return m;
	};
	IPtr<IMessage> loneSurrogate = message ("TextMessage", text16 ("a") + char16 (0xDA20) + text16 ("b"));
	IPtr<IMessage> highAtTheEnd = message ("TextMessage", text16 ("ab") + char16 (0xD800));
	IPtr<IMessage> plain = message ("TextMessage", text16 ("hello"));
	BareMessage text ("TextMessage"), noId (nullptr), empty (""), other ("Tarnovelle");
	struct Sent
	{
		const char* what;
		IMessage* message;
		bool refused; // must give kResultFalse or kInvalidArgument
	};
	const Sent sent[] = {
		{"a message with a lone surrogate in its text", loneSurrogate, false},
		{"a message with a high surrogate at the end of its text", highAtTheEnd, false},
		{"a text message", plain, false},
		{"a null message", nullptr, true},
		{"TextMessage without attributes", &text, true},
		{"a null ID without attributes", &noId, true},
		{"an empty ID without attributes", &empty, true},
		{"another ID without attributes", &other, true},
	};
	for (bool connected : {false, true})
	{
		if (connected)
		{
			processorPoint->connect (controllerPoint);
			controllerPoint->connect (processorPoint);
		}
		for (IConnectionPoint* point : {processorPoint.get (), controllerPoint.get ()})
			for (const Sent& m : sent)
			{
				const std::string what = std::string (point == processorPoint ? "processor: " : "controller: ") + m.what;
				const tresult r = guarded (what, [&] { return point->notify (m.message); });
				EXPECT_TRUE (!m.refused || r == kResultFalse || r == kInvalidArgument) << what << " gave " << r;
			}
	}
	EXPECT_NE (processorPoint->connect (nullptr), kResultOk);
	EXPECT_NE (controllerPoint->disconnect (nullptr), kResultOk);
	processorPoint->disconnect (controllerPoint);
	controllerPoint->disconnect (processorPoint);
}

TEST (HostileHost, SecondInitializeChangesNothing)
{
	for (bool firstWithContext : {false, true})
		for (bool secondWithContext : {false, true})
		{
			const std::string what = std::string ("first with ") + (firstWithContext ? "a context" : "nullptr") +
			                         ", second with " + (secondWithContext ? "a context" : "nullptr");
			Pair p (false);
			ASSERT_TRUE (p.ok ());
			FUnknown* first = firstWithContext ? &p.context : nullptr;
			FUnknown* second = secondWithContext ? &p.context : nullptr;
			ASSERT_EQ (p.component->initialize (first), kResultOk) << what;
			ASSERT_EQ (p.controller->initialize (first), kResultOk) << what;
			p.componentLive = p.controllerLive = true;
			EXPECT_EQ (guarded (what, [&] { return p.component->initialize (second); }), kResultFalse) << what;
			EXPECT_EQ (guarded (what, [&] { return p.controller->initialize (second); }), kResultFalse) << what;

			EXPECT_EQ (p.component->getBusCount (kAudio, kOutput), 1) << what;
			EXPECT_EQ (p.component->getBusCount (kEvent, kInput), 1) << what;
			EXPECT_EQ (p.component->getBusCount (kAudio, kInput), 0) << what;
			EXPECT_EQ (p.component->getBusCount (kEvent, kOutput), 0) << what;
			ASSERT_EQ (p.controller->getParameterCount (), 20) << what;
			std::set<ParamID> seen;
			for (int32 i = 0; i < 20; ++i)
			{
				ParameterInfo info = {};
				ASSERT_EQ (p.controller->getParameterInfo (i, info), kResultOk) << what;
				seen.insert (info.id);
			}
			const std::vector<ParamID> ids = knownIds ();
			EXPECT_EQ (seen, std::set<ParamID> (ids.begin (), ids.end ())) << what;
		}
}

// The host connects both ways, then drops both objects without disconnect
// or terminate. Both must still be destroyed, giving back the references
// they took on the context (LeakSanitizer sees the same in the asan stage).
TEST (HostileHost, ConnectedPairReleasedWithoutTeardownIsFreed)
{
	Bundle bundle;
	ASSERT_TRUE (bundle.ok ());
	CountingUnknown context;
	{
		IPtr<IComponent> component = bundle.make<IComponent> (bundle.processorClass->cid);
		IPtr<IEditController> controller = bundle.make<IEditController> (bundle.controllerClass->cid);
		ASSERT_TRUE (component && controller);
		ASSERT_EQ (component->initialize (&context), kResultOk);
		ASSERT_EQ (controller->initialize (&context), kResultOk);
		auto processorPoint = query<IConnectionPoint> (component);
		auto controllerPoint = query<IConnectionPoint> (controller);
		ASSERT_TRUE (processorPoint && controllerPoint);
		EXPECT_EQ (processorPoint->connect (controllerPoint), kResultOk);
		EXPECT_EQ (controllerPoint->connect (processorPoint), kResultOk);
	}
	EXPECT_EQ (context.refs.load (), 1u) << "a connected object outlived the host's last reference";
}

TEST (HostileHost, LyingCountsEndPromptly)
{
	Event noteOn = {};
	noteOn.type = Event::kNoteOnEvent;
	noteOn.noteOn.pitch = 60;
	noteOn.noteOn.velocity = 1.0f;
	const double unchanged = std::numeric_limits<double>::quiet_NaN ();
	const std::vector<std::pair<int32, double>> twoPoints = {{0, 0.25}, {100, 0.75}};

	struct Case
	{
		const char* what;
		int32 claimedEvents; // 0: no event list; the list holds one note-on
		std::vector<std::pair<int32, double>> points; // of the output level
		int32 claimedPoints;
		int32 claimedQueues; // 0: no parameter changes; the list holds the one queue
		double outputAfter;  // NaN: the state must not change
	};
	const Case cases[] = {
		{"events", INT32_MAX, {}, 0, 0, unchanged},
		{"points", 0, twoPoints, INT32_MAX, 1, 0.75},
		{"queue without points", 0, {}, INT32_MAX, 1, unchanged},
		{"queue with three points missing", 0, {}, 3, 1, unchanged},
		{"queues", 0, {{50, 0.5}}, 1, INT32_MAX, 0.5},
		{"everything", INT32_MAX, twoPoints, INT32_MAX, INT32_MAX, 0.75},
	};
	for (const Case& c : cases)
	{
		Started s;
		ASSERT_TRUE (s.ok ());
		const Bytes before = s.state ();
		LyingEvents events ({noteOn}, c.claimedEvents);
		LyingQueue queue (Tarno::kOutputParam, c.points, c.claimedPoints);
		LyingChanges changes ({&queue}, c.claimedQueues);
		Block block (2, 512);
		block.data.inputEvents = c.claimedEvents ? &events : nullptr;
		block.data.inputParameterChanges = c.claimedQueues ? &changes : nullptr;

		guarded (c.what, [&] { return s.plugin.processor ()->process (block.data); });
		EXPECT_FALSE (events.overrun) << c.what << ": kept reading events after a failed getEvent";
		EXPECT_FALSE (queue.overrun) << c.what << ": kept reading points after a failed getPoint";
		EXPECT_FALSE (changes.overrun) << c.what << ": kept reading queues after a failed getParameterData";
		EXPECT_LE (events.failedReads, 1) << c.what;
		EXPECT_LE (queue.failedReads, 1) << c.what;
		// Missing queues are skipped, but a run of them ends the walk.
		EXPECT_LE (changes.failedReads, kMostMissingQueuesRead) << c.what;

		// What the lists did hold was used, and nothing else.
		const Bytes after = s.state ();
		if (c.outputAfter == c.outputAfter)
			EXPECT_EQ (valueInState (after, Tarno::kOutputParam), c.outputAfter) << c.what;
		else
			EXPECT_EQ (after, before) << c.what << ": a value the host never sent was applied";
		if (c.claimedEvents)
		{
			float peak = 0;
			for (float x : block.f32[0])
				peak = std::max (peak, std::fabs (x));
			EXPECT_GT (peak, 0.0f) << c.what << ": the one real note did not sound";
		}
	}
}

// A list that has no queue at some index it counted: the queues after it
// still arrive, in their order, whether the list counts them truly or claims
// far more than it holds.
TEST (HostileHost, MissingQueueSkipsOnlyItself)
{
	for (int32 claimed : {3, INT32_MAX})
	{
		Started s;
		ASSERT_TRUE (s.ok ());
		LyingQueue output (Tarno::kOutputParam, {{0, 0.25}}, 1);
		LyingQueue square (Tarno::kSquareParam, {{10, 0.5}}, 1);
		LyingChanges changes ({&output, nullptr, &square}, claimed);
		Block block (2, 64);
		block.data.inputParameterChanges = &changes;
		guarded ("null queue in the middle", [&] { return s.plugin.processor ()->process (block.data); });
		const Bytes after = s.state ();
		EXPECT_EQ (valueInState (after, Tarno::kOutputParam), 0.25) << claimed;
		EXPECT_EQ (valueInState (after, Tarno::kSquareParam), 0.5) << claimed;
		EXPECT_FALSE (changes.overrun) << claimed;
	}
}

TEST (HostileHost, TailNeverClaimsToBeInfinite)
{
	const double inf = std::numeric_limits<double>::infinity ();
	Pair p;
	ASSERT_TRUE (p.ok ());
	for (double rate : {1e300, inf, 1e12, std::numeric_limits<double>::max (), 842.2e6, 842.1e6, -1.0, 0.0, 5e-324,
	                    -inf, std::numeric_limits<double>::quiet_NaN (), 48000.0})
	{
		const std::string what = "sample rate " + show (rate);
		ProcessSetup setup = {kRealtime, kSample32, 512, rate};
		guarded (what, [&] { return p.processor->setupProcessing (setup); });
		const uint32 tail = p.processor->getTailSamples ();
		EXPECT_LE (tail, 0xFFFFFFFEu) << what;

		// Whatever the rate, a block renders finite samples.
		p.component->setActive (true);
		p.processor->setProcessing (true);
		RawEvents events;
		events.noteOn (0, 0, 64, 0.9f);
		Block block (2, 256);
		block.data.inputEvents = &events;
		guarded (what, [&] { return p.processor->process (block.data); });
		EXPECT_TRUE (allFinite (block)) << what;
		p.processor->setProcessing (false);
		p.component->setActive (false);
	}
}

TEST (HostileHost, CallsOutOfOrderAndAfterTerminate)
{
	Pair p (false);
	ASSERT_TRUE (p.ok ());
	const Bytes blob = stateBlob (someValues ());
	auto processorCalls = [&] (const std::string& stage) {
		RawEvents events;
		events.noteOn (3, 1, 70, 1.0f);
		RawChanges changes;
		changes.add (Tarno::kOutputParam, {{0, 0.5}});
		for (bool doubles : {false, true})
		{
			Block block (2, 128, doubles);
			block.data.inputEvents = &events;
			block.data.inputParameterChanges = &changes;
			guarded (stage + ": process", [&] { return p.processor->process (block.data); });
			EXPECT_TRUE (allFinite (block)) << stage;
		}
		MemoryStream out;
		guarded (stage + ": getState", [&] { return p.component->getState (&out); });
		guarded (stage + ": setState", [&] { return p.component->setState (streamOf (blob)); });
		uint32 tail = 0;
		survives (stage + ": getTailSamples", [&] { tail = p.processor->getTailSamples (); });
		EXPECT_LE (tail, 0xFFFFFFFEu) << stage;
		survives (stage + ": getLatencySamples", [&] { p.processor->getLatencySamples (); });
		guarded (stage + ": setProcessing", [&] { return p.processor->setProcessing (true); });
		guarded (stage + ": setActive", [&] { return p.component->setActive (true); });
		guarded (stage + ": setActive", [&] { return p.component->setActive (false); });
		guarded (stage + ": setProcessing", [&] { return p.processor->setProcessing (false); });
		guarded (stage + ": activateBus", [&] { return p.component->activateBus (kAudio, kOutput, 0, true); });
		guarded (stage + ": setIoMode", [&] { return p.component->setIoMode (kOfflineProcessing); });
		SpeakerArrangement stereo = SpeakerArr::kStereo;
		guarded (stage + ": setBusArrangements", [&] { return p.processor->setBusArrangements (nullptr, 0, &stereo, 1); });
		guarded (stage + ": setBusArrangements", [&] { return p.processor->setBusArrangements (nullptr, 0, nullptr, 1); });
		guarded (stage + ": setBusArrangements", [&] { return p.processor->setBusArrangements (nullptr, 3, nullptr, 0); });
		TUID cid;
		guarded (stage + ": getControllerClassId", [&] { return p.component->getControllerClassId (cid); });
	};
	auto controllerCalls = [&] (const std::string& stage) {
		const int32 count = p.controller->getParameterCount ();
		expectRefused<ParameterInfo> (stage + ": getParameterInfo (count)", kInvalidArgument,
		                              [&] (ParameterInfo& info) { return p.controller->getParameterInfo (count, info); });
		for (ParamID id : knownIds ())
		{
			GuardedText text;
			guarded (stage + ": getParamStringByValue", [&] { return p.controller->getParamStringByValue (id, 0.3, text.data ()); });
			EXPECT_TRUE (text.guardIntact ()) << stage;
			const Text16 half = text16 ("0.5");
			Text16 terminated = half + char16 (0);
			double v = 0.123;
			const tresult r = guarded (stage + ": getParamValueByString",
			                           [&] { return p.controller->getParamValueByString (id, &terminated[0], v); });
			EXPECT_TRUE (r != kResultOk || std::isfinite (v)) << stage;
			guarded (stage + ": setParamNormalized", [&] { return p.controller->setParamNormalized (id, 0.4); });
			EXPECT_TRUE (std::isfinite (p.controller->getParamNormalized (id))) << stage;
			EXPECT_TRUE (std::isfinite (p.controller->normalizedParamToPlain (id, 0.4))) << stage;
		}
		guarded (stage + ": setComponentState", [&] { return p.controller->setComponentState (streamOf (blob)); });
		MemoryStream out;
		guarded (stage + ": getState", [&] { return p.controller->getState (&out); });
		guarded (stage + ": setState", [&] { return p.controller->setState (streamOf (bytesOf (out))); });
		guarded (stage + ": setComponentHandler", [&] { return p.controller->setComponentHandler (nullptr); });
		if (auto mapping = query<IMidiMapping> (p.controller))
		{
			ParamID id = 0;
			guarded (stage + ": getMidiControllerAssignment",
			         [&] { return mapping->getMidiControllerAssignment (0, 0, kCtrlModWheel, id); });
		}
		survives (stage + ": createView", [&] {
			if (IPlugView* view = p.controller->createView (ViewType::kEditor))
				view->release ();
		});
	};

	processorCalls ("before initialize");
	controllerCalls ("before initialize");
	ASSERT_EQ (p.component->initialize (&p.context), kResultOk);
	ASSERT_EQ (p.controller->initialize (&p.context), kResultOk);
	p.componentLive = p.controllerLive = true;
	processorCalls ("before setupProcessing and setActive");
	controllerCalls ("initialized");
	p.terminate ();
	processorCalls ("after terminate");
	controllerCalls ("after terminate");
	EXPECT_EQ (guarded ("terminate twice", [&] { return p.component->terminate (); }), kResultOk);
	guarded ("terminate twice", [&] { return p.controller->terminate (); });
}

TEST (HostileHost, MisbehavingStreamsChangeAllOrNothing)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	struct Misbehaviour
	{
		const char* what;
		FaultyStream::Fault fault;
		int32 amount;
	};
	const Misbehaviour streams[] = {
		{"honest", FaultyStream::kNone, 0},
		{"one byte at a time", FaultyStream::kShortTransfers, 1},
		{"three bytes at a time", FaultyStream::kShortTransfers, 3},
		{"reports 8 bytes more", FaultyStream::kOverReports, 8},
		{"reports a billion bytes more", FaultyStream::kOverReports, 1 << 30},
		{"reports -1 bytes", FaultyStream::kNegativeCounts, 0},
		{"fails at once", FaultyStream::kFailsAfter, 0},
		{"fails halfway", FaultyStream::kFailsAfter, 68},
		{"fails before the last byte", FaultyStream::kFailsAfter, 135},
		{"cannot seek or tell", FaultyStream::kNoSeekOrTell, 0},
	};
	const Tarno::ParamBlock values = someValues ();
	const Bytes blob = stateBlob (values);
	Bytes uiState;
	appendLe32 (uiState, 0x54565549);
	appendLe32 (uiState, 1);
	appendLe32 (uiState, 2);
	// The zoom after the skin, as the controller writes its state.
	appendLe32 (uiState, 2);
	appendLeDouble (uiState, 1.0);

	for (const Misbehaviour& m : streams)
	{
		for (const Bytes& content : {blob, Bytes (blob.begin (), blob.begin () + 100)})
		{
			const std::string what = std::string (m.what) + (content.size () == blob.size () ? "" : ", cut short");
			// Start from a different state each time so that a change shows.
			ASSERT_EQ (p.component->setState (streamOf (stateBlob (Tarno::kDefaultParams))), kResultOk);
			ASSERT_EQ (p.controller->setComponentState (streamOf (stateBlob (Tarno::kDefaultParams))), kResultOk);
			const Bytes before = p.state ();
			FaultyStream stream (content, m.fault, m.amount);
			const tresult r = guarded (what, [&] { return p.component->setState (&stream); });
			EXPECT_EQ (p.state (), r == kResultOk ? blob : before) << "processor setState, " << what;

			const Tarno::ParamBlock valuesBefore = p.values ();
			FaultyStream again (content, m.fault, m.amount);
			const tresult rc = guarded (what, [&] { return p.controller->setComponentState (&again); });
			EXPECT_EQ (p.values (), rc == kResultOk ? values : valuesBefore) << "controller setComponentState, " << what;
			if (m.fault == FaultyStream::kNone || m.fault == FaultyStream::kNoSeekOrTell)
			{
				EXPECT_EQ (r, content == blob ? kResultOk : kResultFalse) << what;
				EXPECT_EQ (rc, r) << what;
			}
		}

		Bytes skinZero;
		appendLe32 (skinZero, 0x54565549);
		appendLe32 (skinZero, 1);
		appendLe32 (skinZero, 0);
		appendLe32 (skinZero, 2);
		appendLeDouble (skinZero, 1.0);
		ASSERT_EQ (p.controller->setState (streamOf (skinZero)), kResultOk);
		FaultyStream ui (uiState, m.fault, m.amount);
		const tresult ru = guarded (m.what, [&] { return p.controller->setState (&ui); });
		MemoryStream uiAfter;
		ASSERT_EQ (p.controller->getState (&uiAfter), kResultOk);
		if (m.fault == FaultyStream::kNone || m.fault == FaultyStream::kNoSeekOrTell)
			EXPECT_EQ (bytesOf (uiAfter), uiState) << "controller setState, " << m.what;
		else if (ru == kResultOk)
			EXPECT_TRUE (bytesOf (uiAfter) == uiState || bytesOf (uiAfter) == skinZero) << "controller setState, " << m.what;
		else
			EXPECT_EQ (bytesOf (uiAfter), skinZero) << "controller setState, " << m.what;

		// Writing into the stream: a success means the whole state arrived.
		const Bytes state = p.state ();
		FaultyStream sink ({}, m.fault, m.amount);
		const tresult rs = guarded (m.what, [&] { return p.component->getState (&sink); });
		EXPECT_TRUE (rs != kResultOk || sink.written == state) << "processor getState, " << m.what;
		FaultyStream uiSink ({}, m.fault, m.amount);
		const tresult rus = guarded (m.what, [&] { return p.controller->getState (&uiSink); });
		EXPECT_TRUE (rus != kResultOk || uiSink.written == bytesOf (uiAfter)) << "controller getState, " << m.what;
	}
	EXPECT_NE (guarded ("null", [&] { return p.component->setState (nullptr); }), kResultOk);
	EXPECT_NE (guarded ("null", [&] { return p.component->getState (nullptr); }), kResultOk);
	EXPECT_NE (guarded ("null", [&] { return p.controller->setComponentState (nullptr); }), kResultOk);
	EXPECT_NE (guarded ("null", [&] { return p.controller->setState (nullptr); }), kResultOk);
	EXPECT_NE (guarded ("null", [&] { return p.controller->getState (nullptr); }), kResultOk);
}

TEST (HostileHost, ViewsRefuseNullArguments)
{
	Pair p;
	ASSERT_TRUE (p.ok ());
	const std::string longName (1000, 'e');
	for (const char* name : {static_cast<const char*> (nullptr), "", "Editor", "editor ", "editorx", "Tarnovelle",
	                         longName.c_str ()})
	{
		IPlugView* view = p.controller->createView (name);
		EXPECT_EQ (view, nullptr) << (name ? name : "nullptr");
		if (view)
			view->release ();
	}

	IPtr<IPlugView> view = owned (p.controller->createView (ViewType::kEditor));
#if defined(_WIN32)
	const FIDString native = kPlatformTypeHWND, foreign = kPlatformTypeX11EmbedWindowID;
#else
	const FIDString native = kPlatformTypeX11EmbedWindowID, foreign = kPlatformTypeHWND;
#endif
#if !defined(_WIN32) && !defined(TARNO_HAVE_X11_EDITOR)
	// This bundle was built without an editor window.
	EXPECT_FALSE (view);
	return;
#endif
	ASSERT_TRUE (view);
	// Torn down without ever being attached.
	EXPECT_EQ (guarded ("removed", [&] { return view->removed (); }), kResultOk);
	EXPECT_NE (guarded ("isPlatformTypeSupported (nullptr)", [&] { return view->isPlatformTypeSupported (nullptr); }), kResultTrue);
	EXPECT_NE (guarded ("isPlatformTypeSupported (foreign)", [&] { return view->isPlatformTypeSupported (foreign); }), kResultTrue);
	EXPECT_NE (guarded ("attached (nullptr, native)", [&] { return view->attached (nullptr, native); }), kResultOk);
	EXPECT_NE (guarded ("attached (nullptr, nullptr)", [&] { return view->attached (nullptr, nullptr); }), kResultOk);
	int parent = 0; // not a window: a foreign type must be refused before the parent is looked at
	EXPECT_NE (guarded ("attached (parent, foreign)", [&] { return view->attached (&parent, foreign); }), kResultOk);
	EXPECT_EQ (guarded ("getSize (nullptr)", [&] { return view->getSize (nullptr); }), kInvalidArgument);
	EXPECT_EQ (guarded ("onSize (nullptr)", [&] { return view->onSize (nullptr); }), kInvalidArgument);
	EXPECT_NE (guarded ("checkSizeConstraint (nullptr)", [&] { return view->checkSizeConstraint (nullptr); }), kResultOk);
	EXPECT_EQ (guarded ("queryInterface (nullptr)", [&] { return view->queryInterface (IPlugView::iid, nullptr); }),
	           kInvalidArgument);
	guarded ("setFrame (nullptr)", [&] { return view->setFrame (nullptr); });
	ViewRect size;
	EXPECT_EQ (view->getSize (&size), kResultOk);
	EXPECT_GT (size.getWidth (), 0);
	EXPECT_EQ (guarded ("removed", [&] { return view->removed (); }), kResultOk);
}

// The call-sequence fuzzer's checks, deterministic: random calls after a
// prologue that creates, initializes, connects, sets up and starts both
// objects, so that most calls meet live objects.
TEST (HostileHost, RandomCallSequences)
{
	Bundle b;
	ASSERT_TRUE (b.ok ());
	const Bytes prologue = {kCallCreate, 0, 0,          kCallCreate, 9, 0,   kCallInitialize, 2, kCallInitialize, 5,
	                        kCallConnect, 0,            kCallConnect, 1,     kCallSetupProcessing, 0, 0, 0, 0, 0, 0, 1,
	                        kCallSetActive, 1,          kCallSetProcessing, 1};
	Lcg random (20240611);
	for (int i = 0; i < 300; ++i)
	{
		Bytes input = prologue;
		for (int n = random.below (600); n > 0; --n)
			input.push_back (uint8_t (random.next ()));
		const std::string problem = runCallSequence (b.factory, input.data (), input.size ());
		ASSERT_TRUE (problem.empty ()) << problem << " (sequence " << i << ")";
	}
}

#endif // TARNO_HAVE_PLUGIN
