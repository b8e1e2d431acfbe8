// Tests for the VST 3 SDK helpers in sdk/: the plug-in class factory and the
// audio-effect base class. Independent of the plug-in's own code.
//
// Until tarno_tests links vst3sdk_extra, the helper headers are not on its
// include path; the file then only reports itself as skipped.

#if __has_include("public.sdk/source/main/pluginfactory.h") && \
    __has_include("public.sdk/source/vst/vstaudioeffect.h")

#include "public.sdk/source/main/pluginfactory.h"
#include "public.sdk/source/vst/vstaudioeffect.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// ASCII rendering of a UTF-16 string, non-ASCII units as \uXXXX, so that
// failures print readably on both platforms (char16 differs there).
std::string escape16 (const char16* s)
{
	std::string out;
	for (; *s; ++s)
	{
		const unsigned unit = static_cast<uint16> (*s);
		if (unit >= 0x20 && unit < 0x7F)
			out += static_cast<char> (unit);
		else
		{
			char buf[8];
			std::snprintf (buf, sizeof (buf), "\\u%04x", unit);
			out += buf;
		}
	}
	return out;
}

std::string cidBytes (const TUID cid)
{
	return std::string (reinterpret_cast<const char*> (cid), sizeof (TUID));
}

//------------------------------------------------------------------------
// A test interface and a counted class implementing it; each instance keeps
// the value its create function's context pointed to.
class ITestProbe : public FUnknown
{
public:
	virtual int32 PLUGIN_API kind () = 0;
	static const FUID iid;
};
DECLARE_CLASS_IID (ITestProbe, 0x6D1C0A51, 0x3B9E4F27, 0x8A61C2D4, 0x0F5E7B93)
DEF_CLASS_IID (ITestProbe)

// An interface that neither test class implements.
const FUID& unsupportedIid = IEditController::iid;

class Probe : public FObject, public ITestProbe
{
public:
	static int live;

	explicit Probe (int32 k) : kindValue (k) { ++live; }
	~Probe () override { --live; }
	int32 PLUGIN_API kind () override { return kindValue; }

	static FUnknown* create (void* context)
	{
		return static_cast<ITestProbe*> (new Probe (*static_cast<int32*> (context)));
	}

	DEF_INTERFACES_1 (ITestProbe, FObject)
	REFCOUNT_METHODS (FObject)

private:
	int32 kindValue;
};
int Probe::live = 0;

int32 kindA = 1;
int32 kindB = 2;

const TUID kCidA = INLINE_UID (0x0A0A0A0A, 0x11223344, 0x55667788, 0x99AABBCC);
const TUID kCidB = INLINE_UID (0x0B0B0B0B, 0xCAFEF00D, 0x01020304, 0xDEADBEEF);
const TUID kCidUnknown = INLINE_UID (0x0C0C0C0C, 0, 0, 1);

const PFactoryInfo kFactoryInfo ("Tarno Test Vendor", "https://example.invalid",
                                 "mailto:test@example.invalid", PFactoryInfo::kUnicode);

//------------------------------------------------------------------------
// A factory holding class A (registered with PClassInfo2) and class B
// (registered with PClassInfoW).
class SdkFactoryTest : public ::testing::Test
{
protected:
	void SetUp () override
	{
		Probe::live = 0;
		factory = new CPluginFactory (kFactoryInfo);

		PClassInfo2 a (kCidA, PClassInfo::kManyInstances, "Audio Module Class", "Probe A", 0x5,
		               "Instrument|Synth", "Vendor A", "1.2.3.4", "VST 3.7.2");
		ASSERT_TRUE (factory->registerClass (&a, Probe::create, &kindA));

		PClassInfoW b (kCidB, 1, "Component Controller Class", STR16 ("Probe B"), 0x2,
		               "Fx", STR16 ("Vendor B"), STR16 ("9.8.7"), STR16 ("VST 3.7.2"));
		ASSERT_TRUE (factory->registerClass (&b, Probe::create, &kindB));
	}

	void TearDown () override
	{
		EXPECT_EQ (0u, factory->release ());
		EXPECT_EQ (0, Probe::live) << "an instance created by the factory leaked";
	}

	CPluginFactory* factory = nullptr;
};

TEST_F (SdkFactoryTest, ReportsFactoryInfoAndCountsClasses)
{
	PFactoryInfo info;
	ASSERT_EQ (kResultOk, factory->getFactoryInfo (&info));
	EXPECT_STREQ ("Tarno Test Vendor", info.vendor);
	EXPECT_STREQ ("https://example.invalid", info.url);
	EXPECT_STREQ ("mailto:test@example.invalid", info.email);
	EXPECT_EQ (kFactoryInfo.flags, info.flags);

	EXPECT_EQ (2, factory->countClasses ());
	EXPECT_TRUE (factory->isClassRegistered (FUID::fromTUID (kCidA)));
	EXPECT_TRUE (factory->isClassRegistered (FUID::fromTUID (kCidB)));
	EXPECT_FALSE (factory->isClassRegistered (FUID::fromTUID (kCidUnknown)));
}

TEST_F (SdkFactoryTest, ClassInfoVersion1CopiesBasicFields)
{
	PClassInfo a;
	ASSERT_EQ (kResultOk, factory->getClassInfo (0, &a));
	EXPECT_EQ (cidBytes (kCidA), cidBytes (a.cid));
	EXPECT_EQ (PClassInfo::kManyInstances, a.cardinality);
	EXPECT_STREQ ("Audio Module Class", a.category);
	EXPECT_STREQ ("Probe A", a.name);

	PClassInfo b;
	ASSERT_EQ (kResultOk, factory->getClassInfo (1, &b));
	EXPECT_EQ (cidBytes (kCidB), cidBytes (b.cid));
	EXPECT_STREQ ("Probe B", b.name);

	PClassInfo none;
	EXPECT_NE (kResultOk, factory->getClassInfo (2, &none));
	EXPECT_NE (kResultOk, factory->getClassInfo (-1, &none));
}

TEST_F (SdkFactoryTest, ClassInfo2CopiesEveryField)
{
	PClassInfo2 a;
	ASSERT_EQ (kResultOk, factory->getClassInfo2 (0, &a));
	EXPECT_EQ (cidBytes (kCidA), cidBytes (a.cid));
	EXPECT_EQ (PClassInfo::kManyInstances, a.cardinality);
	EXPECT_STREQ ("Audio Module Class", a.category);
	EXPECT_STREQ ("Probe A", a.name);
	EXPECT_EQ (0x5u, a.classFlags);
	EXPECT_STREQ ("Instrument|Synth", a.subCategories);
	EXPECT_STREQ ("Vendor A", a.vendor);
	EXPECT_STREQ ("1.2.3.4", a.version);
	EXPECT_STREQ ("VST 3.7.2", a.sdkVersion);

	PClassInfo2 none;
	EXPECT_NE (kResultOk, factory->getClassInfo2 (2, &none));
}

TEST_F (SdkFactoryTest, ClassInfoUnicodeHasUtf16Strings)
{
	PClassInfoW a;
	ASSERT_EQ (kResultOk, factory->getClassInfoUnicode (0, &a));
	EXPECT_EQ (cidBytes (kCidA), cidBytes (a.cid));
	EXPECT_EQ (PClassInfo::kManyInstances, a.cardinality);
	EXPECT_STREQ ("Audio Module Class", a.category);
	EXPECT_EQ ("Probe A", escape16 (a.name));
	EXPECT_EQ (0x5u, a.classFlags);
	EXPECT_STREQ ("Instrument|Synth", a.subCategories);
	EXPECT_EQ ("Vendor A", escape16 (a.vendor));
	EXPECT_EQ ("1.2.3.4", escape16 (a.version));
	EXPECT_EQ ("VST 3.7.2", escape16 (a.sdkVersion));

	PClassInfoW b;
	ASSERT_EQ (kResultOk, factory->getClassInfoUnicode (1, &b));
	EXPECT_EQ (cidBytes (kCidB), cidBytes (b.cid));
	EXPECT_EQ (1, b.cardinality);
	EXPECT_STREQ ("Component Controller Class", b.category);
	EXPECT_EQ ("Probe B", escape16 (b.name));
	EXPECT_EQ (0x2u, b.classFlags);
	EXPECT_STREQ ("Fx", b.subCategories);
	EXPECT_EQ ("Vendor B", escape16 (b.vendor));
	EXPECT_EQ ("9.8.7", escape16 (b.version));
	EXPECT_EQ ("VST 3.7.2", escape16 (b.sdkVersion));

	PClassInfoW none;
	EXPECT_NE (kResultOk, factory->getClassInfoUnicode (2, &none));
}

TEST_F (SdkFactoryTest, CreateInstanceHandsTheCallerTheOnlyReference)
{
	void* obj = nullptr;
	ASSERT_EQ (kResultOk, factory->createInstance (reinterpret_cast<FIDString> (kCidB),
	                                               ITestProbe::iid, &obj));
	ASSERT_NE (nullptr, obj);
	auto* probe = static_cast<ITestProbe*> (obj);
	// Class B's create function got class B's context.
	EXPECT_EQ (kindB, probe->kind ());
	EXPECT_EQ (1, Probe::live);
	EXPECT_EQ (2u, probe->addRef ());
	EXPECT_EQ (1u, probe->release ());
	EXPECT_EQ (0u, probe->release ());
	EXPECT_EQ (0, Probe::live);

	ASSERT_EQ (kResultOk, factory->createInstance (reinterpret_cast<FIDString> (kCidA),
	                                               FUnknown::iid, &obj));
	ASSERT_NE (nullptr, obj);
	ITestProbe* probeA = nullptr;
	ASSERT_EQ (kResultOk, static_cast<FUnknown*> (obj)->queryInterface (
	                          ITestProbe::iid, reinterpret_cast<void**> (&probeA)));
	EXPECT_EQ (kindA, probeA->kind ());
	probeA->release ();
	EXPECT_EQ (0u, static_cast<FUnknown*> (obj)->release ());
}

TEST_F (SdkFactoryTest, CreateInstanceWithUnsupportedInterfaceLeavesNothingBehind)
{
	void* obj = reinterpret_cast<void*> (0x1);
	EXPECT_EQ (kNoInterface, factory->createInstance (reinterpret_cast<FIDString> (kCidA),
	                                                  unsupportedIid, &obj));
	EXPECT_EQ (nullptr, obj);
	EXPECT_EQ (0, Probe::live);
}

TEST_F (SdkFactoryTest, CreateInstanceOfUnknownClassFails)
{
	void* obj = reinterpret_cast<void*> (0x1);
	EXPECT_NE (kResultOk, factory->createInstance (reinterpret_cast<FIDString> (kCidUnknown),
	                                               ITestProbe::iid, &obj));
	EXPECT_EQ (nullptr, obj);
	EXPECT_EQ (0, Probe::live);
}

TEST_F (SdkFactoryTest, RemoveAllClassesEmptiesTheFactory)
{
	factory->removeAllClasses ();
	EXPECT_EQ (0, factory->countClasses ());
	EXPECT_FALSE (factory->isClassRegistered (FUID::fromTUID (kCidA)));
	void* obj = nullptr;
	EXPECT_NE (kResultOk, factory->createInstance (reinterpret_cast<FIDString> (kCidA),
	                                               ITestProbe::iid, &obj));
	EXPECT_EQ (nullptr, obj);
}

TEST_F (SdkFactoryTest, AnswersForEveryFactoryInterfaceVersion)
{
	const FUID* iids[] = {&FUnknown::iid, &IPluginFactory::iid, &IPluginFactory2::iid,
	                      &IPluginFactory3::iid};
	for (const FUID* iid : iids)
	{
		void* obj = nullptr;
		ASSERT_EQ (kResultOk, factory->queryInterface (*iid, &obj));
		EXPECT_EQ (static_cast<IPluginFactory3*> (factory), obj);
		static_cast<FUnknown*> (obj)->release ();
	}
	void* obj = reinterpret_cast<void*> (0x1);
	EXPECT_EQ (kNoInterface, factory->queryInterface (unsupportedIid, &obj));
	EXPECT_EQ (nullptr, obj);
}

// The module-wide factory: the host's last release destroys it and clears
// gPluginFactory, so a later GetPluginFactory builds a new one.
TEST (SdkFactoryLifetime, LastReleaseClearsTheGlobalFactory)
{
	ASSERT_EQ (nullptr, gPluginFactory);
	gPluginFactory = new CPluginFactory (kFactoryInfo);
	IPluginFactory* asSeenByHost = gPluginFactory;
	EXPECT_EQ (2u, asSeenByHost->addRef ());
	EXPECT_EQ (1u, asSeenByHost->release ());
	EXPECT_NE (nullptr, gPluginFactory);
	EXPECT_EQ (0u, asSeenByHost->release ());
	EXPECT_EQ (nullptr, gPluginFactory);
}

TEST (SdkFactoryLifetime, DestroyingAnotherFactoryKeepsTheGlobalOne)
{
	gPluginFactory = new CPluginFactory (kFactoryInfo);
	CPluginFactory* other = new CPluginFactory (kFactoryInfo);
	EXPECT_EQ (0u, other->release ());
	ASSERT_NE (nullptr, gPluginFactory);
	EXPECT_EQ (0u, gPluginFactory->release ());
	EXPECT_EQ (nullptr, gPluginFactory);
}

#if defined(VST3_SDK_EXTRA_OWN_HELPERS)
// Behaviour of sdk/'s own factory beyond the documented API.

TEST (SdkOwnFactory, RefusesDuplicateClassIdsAndMissingCreateFunctions)
{
	CPluginFactory* factory = new CPluginFactory (kFactoryInfo);
	PClassInfo info (kCidA, 1, "Service", "First");
	EXPECT_TRUE (factory->registerClass (&info, Probe::create, &kindA));
	PClassInfo again (kCidA, 1, "Service", "Second");
	EXPECT_FALSE (factory->registerClass (&again, Probe::create, &kindB));
	PClassInfo noFunc (kCidB, 1, "Service", "No function");
	EXPECT_FALSE (factory->registerClass (&noFunc, nullptr));
	EXPECT_FALSE (factory->registerClass (static_cast<const PClassInfo*> (nullptr), Probe::create));
	EXPECT_EQ (1, factory->countClasses ());
	PClassInfo stored;
	ASSERT_EQ (kResultOk, factory->getClassInfo (0, &stored));
	EXPECT_STREQ ("First", stored.name);
	EXPECT_EQ (0u, factory->release ());
}

TEST (SdkOwnFactory, WidensUtf8NamesToUtf16)
{
	CPluginFactory* factory = new CPluginFactory (kFactoryInfo);
	// "Synth été 🎹", a malformed byte, and a sequence cut short at the end.
	PClassInfo2 info (kCidA, 1, "Audio Module Class", "Synth \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xB9", 0,
	                  "", "ab\xFF" "c", "1.0\xC3", "");
	ASSERT_TRUE (factory->registerClass (&info, Probe::create, &kindA));
	PClassInfoW w;
	ASSERT_EQ (kResultOk, factory->getClassInfoUnicode (0, &w));
	EXPECT_EQ ("Synth \\u00e9t\\u00e9 \\ud83c\\udfb9", escape16 (w.name));
	EXPECT_EQ ("ab\\ufffdc", escape16 (w.vendor));
	EXPECT_EQ ("1.0\\ufffd", escape16 (w.version));
	EXPECT_EQ ("", escape16 (w.sdkVersion));
	EXPECT_EQ (0u, factory->release ());
}

TEST (SdkOwnFactory, NarrowsUtf16NamesToUtf8)
{
	CPluginFactory* factory = new CPluginFactory (kFactoryInfo);
	const char16 name[] = {'S', 0x00E9, ' ', 0xD83C, 0xDFB9, 0};
	const char16 lone[] = {'x', 0xD800, 'y', 0};
	PClassInfoW info (kCidB, 1, "Audio Module Class", name, 0, "", lone, STR16 ("2.0"), nullptr);
	ASSERT_TRUE (factory->registerClass (&info, Probe::create, &kindB));
	PClassInfo2 n;
	ASSERT_EQ (kResultOk, factory->getClassInfo2 (0, &n));
	EXPECT_STREQ ("S\xC3\xA9 \xF0\x9F\x8E\xB9", n.name);
	EXPECT_STREQ ("x\xEF\xBF\xBDy", n.vendor);
	EXPECT_STREQ ("2.0", n.version);
	EXPECT_EQ (0u, factory->release ());
}

TEST (SdkOwnFactory, TruncatesFullBuffersWithoutSplittingCharacters)
{
	CPluginFactory* factory = new CPluginFactory (kFactoryInfo);

	// 64 ASCII bytes fill PClassInfo2::name with no terminator left.
	const std::string full (PClassInfo::kNameSize, 'a');
	PClassInfo2 wide (kCidA, 1, "Audio Module Class", full.c_str (), 0, "", "", "", "");
	ASSERT_TRUE (factory->registerClass (&wide, Probe::create, &kindA));
	PClassInfoW w;
	ASSERT_EQ (kResultOk, factory->getClassInfoUnicode (0, &w));
	EXPECT_EQ (std::string (PClassInfo::kNameSize - 1, 'a'), escape16 (w.name));
	PClassInfo2 n2;
	ASSERT_EQ (kResultOk, factory->getClassInfo2 (0, &n2));
	EXPECT_EQ (std::string (PClassInfo::kNameSize - 1, 'a'), std::string (n2.name));

	// 61 ASCII units + one surrogate pair: the pair's 4 UTF-8 bytes do not
	// fit in the remaining 2 bytes, so the name ends after the 61 units.
	char16 name[PClassInfo::kNameSize] = {};
	for (int i = 0; i < 61; ++i)
		name[i] = 'a';
	name[61] = static_cast<char16> (0xD83C);
	name[62] = static_cast<char16> (0xDFB9);
	PClassInfoW narrow (kCidB, 1, "Audio Module Class", name, 0, "", nullptr, nullptr, nullptr);
	ASSERT_TRUE (factory->registerClass (&narrow, Probe::create, &kindB));
	PClassInfo2 n;
	ASSERT_EQ (kResultOk, factory->getClassInfo2 (1, &n));
	EXPECT_EQ (std::string (61, 'a'), std::string (n.name));

	EXPECT_EQ (0u, factory->release ());
}
#endif

//------------------------------------------------------------------------
// An effect with one stereo input, one stereo output and one event input.
class TestEffect : public AudioEffect
{
public:
	static int live;

	TestEffect () { ++live; }
	~TestEffect () override { --live; }

	const ProcessSetup& setup () const { return processSetup; }

	static FUnknown* create (void*) { return static_cast<IAudioProcessor*> (new TestEffect); }
};
int TestEffect::live = 0;

// Accepts 64-bit processing as well.
class DoubleEffect : public TestEffect
{
public:
	tresult PLUGIN_API canProcessSampleSize (int32 size) SMTG_OVERRIDE
	{
		return (size == kSample32 || size == kSample64) ? kResultTrue : kResultFalse;
	}
};

class SdkAudioEffectTest : public ::testing::Test
{
protected:
	void SetUp () override
	{
		TestEffect::live = 0;
		effect = owned (new TestEffect);
		in = effect->addAudioInput (STR16 ("Audio In"), SpeakerArr::kStereo);
		out = effect->addAudioOutput (STR16 ("Audio Out"), SpeakerArr::kStereo, kMain, 0);
		events = effect->addEventInput (STR16 ("MIDI In"), 1, kAux);
	}
	void TearDown () override
	{
		effect = nullptr;
		EXPECT_EQ (0, TestEffect::live);
	}

	IPtr<TestEffect> effect;
	AudioBus* in = nullptr;
	AudioBus* out = nullptr;
	EventBus* events = nullptr;
};

TEST_F (SdkAudioEffectTest, BusLookupReturnsTheAddedBusses)
{
	ASSERT_NE (nullptr, in);
	ASSERT_NE (nullptr, out);
	ASSERT_NE (nullptr, events);
	EXPECT_EQ (in, effect->getAudioInput (0));
	EXPECT_EQ (out, effect->getAudioOutput (0));
	EXPECT_EQ (events, effect->getEventInput (0));
	EXPECT_EQ (nullptr, effect->getAudioInput (1));
	EXPECT_EQ (nullptr, effect->getAudioOutput (-1));
	EXPECT_EQ (nullptr, effect->getEventInput (1));
	EXPECT_EQ (nullptr, effect->getEventOutput (0));

	EventBus* second = effect->addEventOutput (STR16 ("MIDI Out"));
	EXPECT_EQ (second, effect->getEventOutput (0));
}

TEST_F (SdkAudioEffectTest, HostSeesTheBussesThroughIComponent)
{
	FUnknownPtr<IComponent> component (static_cast<IAudioProcessor*> (effect.get ()));
	ASSERT_TRUE (component);
	EXPECT_EQ (1, component->getBusCount (kAudio, kInput));
	EXPECT_EQ (1, component->getBusCount (kAudio, kOutput));
	EXPECT_EQ (1, component->getBusCount (kEvent, kInput));
	EXPECT_EQ (0, component->getBusCount (kEvent, kOutput));

	BusInfo info {};
	ASSERT_EQ (kResultTrue, component->getBusInfo (kAudio, kInput, 0, info));
	EXPECT_EQ (kAudio, info.mediaType);
	EXPECT_EQ (kInput, info.direction);
	EXPECT_EQ (2, info.channelCount);
	EXPECT_EQ ("Audio In", escape16 (info.name));
	EXPECT_EQ (kMain, info.busType);
	EXPECT_EQ (static_cast<uint32> (BusInfo::kDefaultActive), info.flags);

	ASSERT_EQ (kResultTrue, component->getBusInfo (kAudio, kOutput, 0, info));
	EXPECT_EQ (kOutput, info.direction);
	EXPECT_EQ ("Audio Out", escape16 (info.name));
	EXPECT_EQ (0u, info.flags);

	ASSERT_EQ (kResultTrue, component->getBusInfo (kEvent, kInput, 0, info));
	EXPECT_EQ (kEvent, info.mediaType);
	EXPECT_EQ (1, info.channelCount);
	EXPECT_EQ ("MIDI In", escape16 (info.name));
	EXPECT_EQ (kAux, info.busType);
}

TEST_F (SdkAudioEffectTest, AnswersForItsProcessingInterfaces)
{
	FUnknown* unknown = static_cast<IAudioProcessor*> (effect.get ());
	const FUID* iids[] = {&IAudioProcessor::iid, &IProcessContextRequirements::iid,
	                      &IComponent::iid, &IPluginBase::iid, &FUnknown::iid};
	for (const FUID* iid : iids)
	{
		void* obj = nullptr;
		EXPECT_EQ (kResultOk, unknown->queryInterface (*iid, &obj));
		ASSERT_NE (nullptr, obj);
		static_cast<FUnknown*> (obj)->release ();
	}
	void* obj = nullptr;
	EXPECT_EQ (kNoInterface, unknown->queryInterface (unsupportedIid, &obj));
	EXPECT_EQ (nullptr, obj);
}

TEST_F (SdkAudioEffectTest, AcceptsArrangementsMatchingTheBusCounts)
{
	SpeakerArrangement ins[] = {SpeakerArr::kMono};
	SpeakerArrangement outs[] = {SpeakerArr::k51};
	EXPECT_EQ (kResultTrue, effect->setBusArrangements (ins, 1, outs, 1));

	SpeakerArrangement arr = 0;
	ASSERT_EQ (kResultTrue, effect->getBusArrangement (kInput, 0, arr));
	EXPECT_EQ (SpeakerArr::kMono, arr);
	ASSERT_EQ (kResultTrue, effect->getBusArrangement (kOutput, 0, arr));
	EXPECT_EQ (SpeakerArr::k51, arr);

	// getBusInfo follows the new arrangement.
	BusInfo info {};
	ASSERT_EQ (kResultTrue, effect->getBusInfo (kAudio, kOutput, 0, info));
	EXPECT_EQ (6, info.channelCount);
}

TEST_F (SdkAudioEffectTest, RefusesArrangementsForADifferentBusCount)
{
	SpeakerArrangement two[] = {SpeakerArr::kMono, SpeakerArr::kMono};
	SpeakerArrangement one[] = {SpeakerArr::kMono};
	EXPECT_EQ (kResultFalse, effect->setBusArrangements (two, 2, one, 1));
	EXPECT_EQ (kResultFalse, effect->setBusArrangements (one, 1, nullptr, 0));

	SpeakerArrangement arr = 0;
	ASSERT_EQ (kResultTrue, effect->getBusArrangement (kInput, 0, arr));
	EXPECT_EQ (SpeakerArr::kStereo, arr);
	ASSERT_EQ (kResultTrue, effect->getBusArrangement (kOutput, 0, arr));
	EXPECT_EQ (SpeakerArr::kStereo, arr);

	EXPECT_EQ (kResultFalse, effect->getBusArrangement (kInput, 1, arr));
	EXPECT_EQ (kResultFalse, effect->getBusArrangement (kOutput, -1, arr));
}

TEST_F (SdkAudioEffectTest, DefaultsToThirtyTwoBitRealtimeSetup)
{
	EXPECT_EQ (kRealtime, effect->setup ().processMode);
	EXPECT_EQ (kSample32, effect->setup ().symbolicSampleSize);
	EXPECT_EQ (1024, effect->setup ().maxSamplesPerBlock);
	EXPECT_EQ (44100.0, effect->setup ().sampleRate);

	EXPECT_EQ (kResultTrue, effect->canProcessSampleSize (kSample32));
	EXPECT_EQ (kResultFalse, effect->canProcessSampleSize (kSample64));
	EXPECT_EQ (kNoTail, effect->getTailSamples ());
	EXPECT_EQ (0u, effect->getLatencySamples ());
	EXPECT_EQ (0u, effect->getProcessContextRequirements ());
}

TEST_F (SdkAudioEffectTest, SetupProcessingStoresAcceptedSetupsOnly)
{
	ProcessSetup offline {kOffline, kSample32, 512, 96000.0};
	EXPECT_EQ (kResultOk, effect->setupProcessing (offline));
	EXPECT_EQ (kOffline, effect->setup ().processMode);
	EXPECT_EQ (512, effect->setup ().maxSamplesPerBlock);
	EXPECT_EQ (96000.0, effect->setup ().sampleRate);

	ProcessSetup doubles {kRealtime, kSample64, 256, 48000.0};
	EXPECT_EQ (kResultFalse, effect->setupProcessing (doubles));
	EXPECT_EQ (kOffline, effect->setup ().processMode);
	EXPECT_EQ (kSample32, effect->setup ().symbolicSampleSize);
	EXPECT_EQ (512, effect->setup ().maxSamplesPerBlock);
	EXPECT_EQ (96000.0, effect->setup ().sampleRate);
}

TEST (SdkAudioEffectSubclass, SetupProcessingFollowsAnOverriddenSampleSizeCheck)
{
	IPtr<DoubleEffect> effect = owned (new DoubleEffect);
	ProcessSetup doubles {kRealtime, kSample64, 256, 48000.0};
	EXPECT_EQ (kResultOk, effect->setupProcessing (doubles));
	EXPECT_EQ (kSample64, effect->setup ().symbolicSampleSize);
	EXPECT_EQ (48000.0, effect->setup ().sampleRate);
}

// The path a host takes: the factory creates the effect, the host holds the
// only reference, and its release destroys the effect.
TEST (SdkAudioEffectFromFactory, CreatedEffectLivesExactlyAsLongAsTheHostsReference)
{
	TestEffect::live = 0;
	const TUID cid = INLINE_UID (0x7E57EFFE, 0xC7000000, 0, 1);
	CPluginFactory* factory = new CPluginFactory (kFactoryInfo);
	PClassInfo info (cid, PClassInfo::kManyInstances, "Audio Module Class", "Effect");
	ASSERT_TRUE (factory->registerClass (&info, TestEffect::create));

	void* obj = nullptr;
	ASSERT_EQ (kResultOk, factory->createInstance (reinterpret_cast<FIDString> (cid),
	                                               IComponent::iid, &obj));
	ASSERT_NE (nullptr, obj);
	EXPECT_EQ (1, TestEffect::live);
	auto* component = static_cast<IComponent*> (obj);
	EXPECT_EQ (0, component->getBusCount (kAudio, kOutput));
	EXPECT_EQ (0u, component->release ());
	EXPECT_EQ (0, TestEffect::live);
	EXPECT_EQ (0u, factory->release ());
}

} // namespace

#else

#include <gtest/gtest.h>

TEST (SdkExtra, NotLinked)
{
	GTEST_SKIP () << "vst3sdk_extra is not linked into this test program";
}

#endif
