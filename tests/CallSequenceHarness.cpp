#include "tests/CallSequenceHarness.h"

#include "vst3host/HostObjects.h"
#include "tests/HostileUtil.h"
#include "tests/ProcessUtil.h"
#include "tests/StreamUtil.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <set>

namespace TarnoTest {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int32 kTableParams = 16;
constexpr int32 kMaxBlock = 1024;

const char* const kCallNames[kCallCount] = {
	"create",        "factory info",  "initialize",   "terminate",        "connect",      "disconnect",
	"notify",        "queryInterface", "getParameterInfo", "getParamStringByValue", "getParamValueByString",
	"setParamNormalized", "getParamNormalized", "conversions", "MIDI mapping", "buses", "getRoutingInfo",
	"setupProcessing", "setActive",  "setProcessing", "process",          "tail",         "getState",
	"setState",      "createView",    "release",      "setComponentHandler", "arrangements", "canProcessSampleSize",
};

bool isHidden (ParamID id) { return id >= 100 && id <= 103; }

// The call's arguments, read from the input; zeros once it is used up.
class Reader
{
public:
	Reader (const uint8_t* data, size_t size) : data (data), size (size) {}

	bool more () const { return position < size; }
	uint8_t byte () { return position < size ? data[position++] : 0; }
	uint32_t u32 ()
	{
		uint32_t v = 0;
		for (int i = 0; i < 4; ++i)
			v |= uint32_t (byte ()) << (8 * i);
		return v;
	}
	uint64_t u64 () { return u32 () | uint64_t (u32 ()) << 32; }
	// True one time in `oneIn`; never for a zero byte, so that zeros (and an
	// input that has run out) choose the ordinary case.
	bool chance (int oneIn) { return byte () % oneIn == oneIn - 1; }

	// Mostly out of range for `count` entries, sometimes inside.
	int32 index (int32 count)
	{
		switch (byte () % 8)
		{
			case 0: return -1;
			case 1: return count;
			case 2: return INT32_MAX;
			case 3: return INT32_MIN;
			case 4: return count + 1;
			case 5: return int32 (u32 ());
			default: return count > 0 ? byte () % count : 0;
		}
	}
	double value ()
	{
		static const std::vector<double> special = hostileValues ();
		switch (byte () % 4)
		{
			case 0:
			{
				const uint64_t bits = u64 ();
				double v;
				std::memcpy (&v, &bits, sizeof v);
				return v;
			}
			case 1: return byte () / 255.0;
			default: return special[byte () % special.size ()];
		}
	}
	ParamID id ()
	{
		static const ParamID unknown[] = {16, 99, 104, 1000, 0x7FFFFFFF, kNoParamId};
		switch (byte () % 8)
		{
			case 3:
			case 4: return 100 + byte () % 4;
			case 5: return unknown[byte () % 6];
			case 6: return u32 ();
			default: return byte () % kTableParams;
		}
	}
	int16 int16Choice (int16 inRange)
	{
		static const int16 special[] = {-1, 16, 128, INT16_MIN, INT16_MAX, 0, 15};
		const uint8_t c = byte ();
		if (c % 3 == 0)
			return special[byte () % 7];
		return c % 3 == 1 ? int16 (byte () % inRange) : int16 (uint16 (u32 ()));
	}

private:
	const uint8_t* data;
	size_t size;
	size_t position = 0;
};

// The text a hidden parameter shows: its value clamped as the processor
// clamps it, with four decimals and no sign on zero, or On/Off for the
// sustain pedal.
std::string hiddenText (ParamID id, double v)
{
	const double c = Tarno::clampNormalized (v) + 0.0;
	if (id == 102)
		return c > 0.5 ? "On" : "Off";
	char text[16];
	std::snprintf (text, sizeof text, "%.4f", c);
	return text;
}

// Everything the host holds during one sequence. Host objects come first so
// that they outlive every plug-in object.
class Session
{
public:
	explicit Session (IPluginFactory* factory) : factory (factory)
	{
		const int32 count = factory->countClasses ();
		for (int32 i = 0; i < count; ++i)
		{
			PClassInfo info = {};
			if (factory->getClassInfo (i, &info) != kResultOk)
				continue;
			if (std::strcmp (info.category, kVstAudioEffectClass) == 0)
				std::memcpy (processorCid, info.cid, sizeof (TUID));
			if (std::strcmp (info.category, kVstComponentControllerClass) == 0)
				std::memcpy (controllerCid, info.cid, sizeof (TUID));
		}
	}
	~Session () { tearDown (); }

	void run (Reader& r, CallCode code);
	void tearDown ();

	std::string problem;

private:
	void fail (const std::string& what)
	{
		if (problem.empty ())
			problem = what;
	}
	void expect (bool holds, const std::string& what)
	{
		if (!holds)
			fail (what);
	}
	// Runs a plug-in call; an exception leaving it breaks a rule.
	template <typename Call>
	auto guarded (const char* what, Call call) -> decltype (call ())
	{
		try
		{
			return call ();
		}
		catch (...)
		{
			fail (std::string ("an exception left ") + what);
			return decltype (call ()) {};
		}
	}

	void create (Reader& r);
	void factoryInfo (Reader& r);
	void initialize (Reader& r);
	void connection (Reader& r, bool connect);
	void notify (Reader& r);
	void queryInterface (Reader& r);
	void parameterInfo (Reader& r);
	void stringByValue (Reader& r);
	void valueByString (Reader& r);
	void normalized (Reader& r, bool set);
	void conversions (Reader& r);
	void midiMapping (Reader& r);
	void buses (Reader& r);
	void routingInfo (Reader& r);
	void setupProcessing (Reader& r);
	void process (Reader& r);
	void getState (Reader& r);
	void setState (Reader& r);
	void createView (Reader& r);
	void release (Reader& r);
	void arrangements (Reader& r);
	void checkTail ();
	bool knows (ParamID id) const { return id < ParamID (kTableParams) || (isHidden (id) && controllerUp); }
	Bytes processorState ();
	Bytes controllerState ();
	Tarno::ParamBlock controllerValues ();

	IPluginFactory* factory;
	TUID processorCid = {};
	TUID controllerCid = {};
	CountingUnknown context;
	Tarno::Host::HostContext hostContext;
	Tarno::Host::RecordingComponentHandler handler;

	IPtr<IComponent> component;
	IPtr<IAudioProcessor> processor;
	IPtr<IConnectionPoint> processorPoint;
	IPtr<IEditController> controller;
	IPtr<IConnectionPoint> controllerPoint;
	IPtr<IMidiMapping> mapping;
	IPtr<IPlugView> view;
	bool componentUp = false;  // initialized and not terminated
	bool controllerUp = false;
};

void Session::tearDown ()
{
	// As a careful host ends: view gone, disconnected, terminated, released.
	view = nullptr;
	if (processorPoint && controllerPoint)
	{
		guarded ("disconnect", [&] { return processorPoint->disconnect (controllerPoint); });
		guarded ("disconnect", [&] { return controllerPoint->disconnect (processorPoint); });
	}
	if (componentUp)
		guarded ("terminate", [&] { return component->terminate (); });
	if (controllerUp)
		guarded ("terminate", [&] { return controller->terminate (); });
	componentUp = controllerUp = false;
	processorPoint = controllerPoint = nullptr;
	mapping = nullptr;
	processor = nullptr;
	component = nullptr;
	controller = nullptr;
}

Bytes Session::processorState ()
{
	MemoryStream stream;
	if (!component || guarded ("getState", [&] { return component->getState (&stream); }) != kResultOk)
		return {};
	return bytesOf (stream);
}

Bytes Session::controllerState ()
{
	MemoryStream stream;
	if (!controller || guarded ("getState", [&] { return controller->getState (&stream); }) != kResultOk)
		return {};
	return bytesOf (stream);
}

Tarno::ParamBlock Session::controllerValues ()
{
	Tarno::ParamBlock v {};
	for (int32 i = 0; i < kTableParams && controller; ++i)
		v[size_t (i)] = controller->getParamNormalized (ParamID (i));
	return v;
}

void Session::checkTail ()
{
	if (!processor)
		return;
	const uint32 tail = guarded ("getTailSamples", [&] { return processor->getTailSamples (); });
	expect (tail != 0xFFFFFFFFu, "getTailSamples claims an infinite tail");
	guarded ("getLatencySamples", [&] { return processor->getLatencySamples (); });
}

void Session::create (Reader& r)
{
	const uint8_t c = r.byte ();
	TUID garbage = {};
	const TUID* cids[] = {&processorCid, &controllerCid, &garbage, nullptr};
	const TUID* cid = cids[c % 4];
	const TUID* iids[] = {&IComponent::iid.toTUID (), &IAudioProcessor::iid.toTUID (), &IEditController::iid.toTUID (),
	                      &IConnectionPoint::iid.toTUID (), &FUnknown::iid.toTUID (), &garbage, nullptr};
	const TUID* iid = iids[(c / 4) % 7];
	if (cid == &garbage || iid == &garbage)
		for (auto& b : garbage)
			b = char (r.byte ());
	const bool withObj = !r.chance (8);
	void* marker = &garbage;
	void* obj = marker;
	const tresult res = guarded ("createInstance", [&] {
		return factory->createInstance (cid ? *cid : nullptr, iid ? *iid : nullptr, withObj ? &obj : nullptr);
	});
	if (!cid || !iid || !withObj)
		expect (res == kInvalidArgument, "createInstance with a null argument did not give kInvalidArgument");
	if (!withObj)
		return;
	if (res != kResultOk)
	{
		expect (obj == nullptr, "a refused createInstance left its out-pointer set");
		return;
	}
	expect (obj != nullptr && obj != marker, "createInstance succeeded without an object");
	if (obj == nullptr || obj == marker)
		return;
	IPtr<FUnknown> made = owned (static_cast<FUnknown*> (obj));
	if (cid == &processorCid && !component)
	{
		component = query<IComponent> (made);
		processor = query<IAudioProcessor> (made);
		processorPoint = query<IConnectionPoint> (made);
		expect (component && processor && processorPoint, "the processor lacks an interface");
	}
	else if (cid == &controllerCid && !controller)
	{
		controller = query<IEditController> (made);
		controllerPoint = query<IConnectionPoint> (made);
		mapping = query<IMidiMapping> (made);
		expect (controller && controllerPoint && mapping, "the controller lacks an interface");
	}
}

void Session::factoryInfo (Reader& r)
{
	const int32 count = guarded ("countClasses", [&] { return factory->countClasses (); });
	const uint8_t kind = r.byte () % 4;
	const int32 index = r.index (count);
	const bool nullInfo = r.chance (8);
	const bool inRange = index >= 0 && index < count;
	auto check = [&] (tresult res, bool untouched, const char* what) {
		if (nullInfo)
			expect (res == kInvalidArgument, std::string (what) + " with a null info did not give kInvalidArgument");
		else if (inRange)
			expect (res == kResultOk, std::string (what) + " refused an index in range");
		else
			expect (res == kInvalidArgument && untouched,
			        std::string (what) + " (" + std::to_string (index) + ") did not refuse cleanly");
	};
	if (kind == 0)
	{
		Patterned<PClassInfo> info;
		check (guarded ("getClassInfo", [&] { return factory->getClassInfo (index, nullInfo ? nullptr : &info.value); }),
		       info.untouched (), "getClassInfo");
	}
	else if (kind == 1)
	{
		if (auto f2 = query<IPluginFactory2> (factory))
		{
			Patterned<PClassInfo2> info;
			check (guarded ("getClassInfo2", [&] { return f2->getClassInfo2 (index, nullInfo ? nullptr : &info.value); }),
			       info.untouched (), "getClassInfo2");
		}
	}
	else if (kind == 2)
	{
		if (auto f3 = query<IPluginFactory3> (factory))
		{
			Patterned<PClassInfoW> info;
			check (guarded ("getClassInfoUnicode",
			                [&] { return f3->getClassInfoUnicode (index, nullInfo ? nullptr : &info.value); }),
			       info.untouched (), "getClassInfoUnicode");
		}
	}
	else
	{
		PFactoryInfo info;
		const tresult res = guarded ("getFactoryInfo", [&] { return factory->getFactoryInfo (nullInfo ? nullptr : &info); });
		expect (nullInfo ? res == kInvalidArgument : res == kResultOk, "getFactoryInfo");
	}
}

void Session::initialize (Reader& r)
{
	const uint8_t c = r.byte ();
	FUnknown* contexts[] = {nullptr, &context, &hostContext};
	FUnknown* with = contexts[(c / 2) % 3];
	if (c % 2 == 0 && component)
	{
		const bool wasUp = componentUp;
		const tresult res = guarded ("initialize", [&] { return component->initialize (with); });
		if (wasUp)
			expect (res == kResultFalse, "a second initialize of the processor did not give kResultFalse");
		componentUp = componentUp || res == kResultOk;
		if (componentUp)
			expect (component->getBusCount (kAudio, kOutput) == 1 && component->getBusCount (kEvent, kInput) == 1 &&
			            component->getBusCount (kAudio, kInput) == 0 && component->getBusCount (kEvent, kOutput) == 0,
			        "the processor's buses changed with initialize");
	}
	else if (c % 2 == 1 && controller)
	{
		const bool wasUp = controllerUp;
		const tresult res = guarded ("initialize", [&] { return controller->initialize (with); });
		if (wasUp)
			expect (res == kResultFalse, "a second initialize of the controller did not give kResultFalse");
		controllerUp = controllerUp || res == kResultOk;
		if (!controllerUp)
			return;
		const int32 count = controller->getParameterCount ();
		std::set<ParamID> ids;
		for (int32 i = 0; i < count; ++i)
		{
			ParameterInfo info = {};
			if (controller->getParameterInfo (i, info) == kResultOk)
				ids.insert (info.id);
		}
		expect (count == 20 && ids.size () == 20 && *ids.begin () == 0 && *ids.rbegin () == 103,
		        "the controller does not have its 20 parameters after initialize");
	}
}

void Session::connection (Reader& r, bool connect)
{
	const uint8_t c = r.byte ();
	IConnectionPoint* from = c % 2 == 0 ? processorPoint.get () : controllerPoint.get ();
	IConnectionPoint* other = c % 2 == 0 ? controllerPoint.get () : processorPoint.get ();
	IConnectionPoint* targets[] = {other, nullptr, from};
	IConnectionPoint* to = targets[(c / 2) % 3];
	if (!from)
		return;
	const tresult res = guarded (connect ? "connect" : "disconnect",
	                             [&] { return connect ? from->connect (to) : from->disconnect (to); });
	if (!to)
		expect (res != kResultOk, "connect or disconnect with nullptr succeeded");
}

void Session::notify (Reader& r)
{
	const uint8_t c = r.byte ();
	IConnectionPoint* point = c % 2 == 0 ? processorPoint.get () : controllerPoint.get ();
	if (!point)
		return;
	char id[9] = {};
	for (int i = 0; i < 8; ++i)
		id[i] = char (r.byte () % 96 + 32);
	const char* ids[] = {"TextMessage", nullptr, "", id};
	BareMessage bare (ids[(c / 2) % 4]);
	if ((c / 8) % 3 == 0)
	{
		const tresult res = guarded ("notify", [&] { return point->notify (nullptr); });
		expect (res == kResultFalse || res == kInvalidArgument, "notify (nullptr) did not refuse");
	}
	else if ((c / 8) % 3 == 1)
	{
		const tresult res = guarded ("notify", [&] { return point->notify (&bare); });
		expect (res == kResultFalse || res == kInvalidArgument, "notify with a message without attributes did not refuse");
	}
	else
	{
		// A real message with a text attribute of hostile units.
		void* obj = nullptr;
		TUID messageIid;
		IMessage::iid.toTUID (messageIid);
		if (hostContext.createInstance (messageIid, messageIid, &obj) != kResultOk || !obj)
			return;
		IPtr<IMessage> message = owned (static_cast<IMessage*> (obj));
		message->setMessageID (ids[(c / 2) % 4] ? ids[(c / 2) % 4] : "TextMessage");
		Text16 text;
		for (int n = r.byte () % 40; n > 0; --n)
		{
			const uint8_t low = r.byte ();
			text += char16 (low | r.byte () << 8);
		}
		text += char16 (0);
		message->getAttributes ()->setString ("Text", text.data ());
		guarded ("notify", [&] { return point->notify (message); });
	}
}

void Session::queryInterface (Reader& r)
{
	const uint8_t c = r.byte ();
	FUnknown* objects[] = {factory, component.get (), controller.get (), view.get (), mapping.get ()};
	FUnknown* object = objects[c % 5];
	if (!object)
		return;
	TUID garbage = {};
	const TUID* iids[] = {&FUnknown::iid.toTUID (),         &IPluginBase::iid.toTUID (),
	                      &IComponent::iid.toTUID (),       &IAudioProcessor::iid.toTUID (),
	                      &IConnectionPoint::iid.toTUID (), &IEditController::iid.toTUID (),
	                      &IEditController2::iid.toTUID (), &IMidiMapping::iid.toTUID (),
	                      &IPluginFactory::iid.toTUID (),   &IPluginFactory3::iid.toTUID (),
	                      &IPlugView::iid.toTUID (),        &IUnitInfo::iid.toTUID (),
	                      &IProcessContextRequirements::iid.toTUID (), &IPlugViewContentScaleSupport::iid.toTUID (),
	                      &garbage};
	const TUID& iid = *iids[r.byte () % 15];
	if (&iid == &garbage)
		for (auto& b : garbage)
			b = char (r.byte ());
	const bool withObj = !r.chance (3);
	void* obj = &garbage;
	const tresult res = guarded ("queryInterface", [&] { return object->queryInterface (iid, withObj ? &obj : nullptr); });
	if (!withObj)
	{
		expect (res == kInvalidArgument, "queryInterface without an out-pointer did not give kInvalidArgument");
		return;
	}
	if (res == kResultOk)
	{
		expect (obj != nullptr && obj != &garbage, "queryInterface succeeded without an interface");
		if (obj && obj != &garbage)
			static_cast<FUnknown*> (obj)->release ();
	}
	else
		expect (obj == nullptr, "a refused queryInterface left its out-pointer set");
}

void Session::parameterInfo (Reader& r)
{
	if (!controller)
		return;
	const int32 count = guarded ("getParameterCount", [&] { return controller->getParameterCount (); });
	const int32 index = r.index (count);
	Patterned<ParameterInfo> info;
	const tresult res = guarded ("getParameterInfo", [&] { return controller->getParameterInfo (index, info.value); });
	if (index >= 0 && index < count)
	{
		const double d = info.value.defaultNormalizedValue;
		expect (res == kResultOk && d >= 0.0 && d <= 1.0, "getParameterInfo in range");
	}
	else
		expect (res == kInvalidArgument && info.untouched (),
		        "getParameterInfo (" + std::to_string (index) + ") of " + std::to_string (count) + " did not refuse cleanly");
}

void Session::stringByValue (Reader& r)
{
	if (!controller)
		return;
	const ParamID id = r.id ();
	const double v = r.value ();
	const bool nullString = r.chance (16);
	GuardedText text;
	const tresult res = guarded ("getParamStringByValue",
	                             [&] { return controller->getParamStringByValue (id, v, nullString ? nullptr : text.data ()); });
	const std::string call = "getParamStringByValue (" + std::to_string (id) + ", " + std::to_string (v) + ")";
	if (nullString)
	{
		expect (knows (id) ? res == kInvalidArgument : res != kResultOk, call + " with a null string");
		return;
	}
	expect (text.guardIntact (), call + " wrote past 128 units");
	if (id >= ParamID (kTableParams) && !isHidden (id))
		expect (res != kResultOk, call + " accepted an unknown ID");
	if (res != kResultOk)
		return;
	expect (text.terminated (), call + " left its text unterminated");
	if (isHidden (id))
		expect (text.text () == hiddenText (id, v), call + " shows " + text.text ());
}

void Session::valueByString (Reader& r)
{
	if (!controller)
		return;
	static const std::vector<HostileText> texts = hostileTexts ();
	const ParamID id = r.id ();
	const uint8_t kind = r.byte () % 5;
	const HostileText* listed = nullptr;
	std::unique_ptr<char16[]> buffer;
	if (kind <= 1)
	{
		listed = &texts[r.byte () % texts.size ()];
		buffer.reset (new char16[listed->text.size () + 1]);
		std::copy (listed->text.begin (), listed->text.end (), buffer.get ());
		buffer[listed->text.size ()] = 0;
	}
	else if (kind <= 3)
	{
		// Random units; 128 of them without a terminator, else up to 127 and one.
		const bool full = kind == 3;
		const size_t n = full ? 128 : r.byte () % 128;
		buffer.reset (new char16[n + (full ? 0 : 1)]);
		for (size_t i = 0; i < n; ++i)
		{
			const uint8_t b = r.byte ();
			buffer[i] = b < 0xC0 ? char16 ("0123456789.-+eE xn"[b % 18]) : char16 (b | r.byte () << 8);
			if (buffer[i] == 0)
				buffer[i] = '0';
		}
		if (!full)
			buffer[n] = 0;
	}
	const double untouched = 0.123456789;
	double v = untouched;
	const tresult res = guarded ("getParamValueByString", [&] { return controller->getParamValueByString (id, buffer.get (), v); });
	const std::string call = "getParamValueByString (" + std::to_string (id) + (listed ? std::string (", ") + listed->name : "") + ")";
	if (res == kResultOk)
	{
		expect (std::isfinite (v), call + " gave a non-finite value");
		expect (!knows (id) || (v >= 0.0 && v <= 1.0), call + " gave a value outside [0, 1]");
	}
	else
		expect (sameBits (v, untouched), call + " refused but wrote its value");
	if (!buffer)
		expect (knows (id) ? res == kInvalidArgument : res != kResultOk, call + " with a null text");
	if (id >= ParamID (kTableParams) && !isHidden (id))
		expect (res != kResultOk, call + " accepted an unknown ID");
	if (listed && isHidden (id) && controllerUp)
	{
		if (listed->reading == Reading::NonFinite)
			expect (res == kResultFalse, call + " accepted a non-finite number");
		if (listed->reading == Reading::Finite)
			expect (res == kResultOk && v == std::min (std::max (listed->value, 0.0), 1.0), call + " misread a number");
	}
}

void Session::normalized (Reader& r, bool set)
{
	if (!controller)
		return;
	const ParamID id = r.id ();
	const double before = guarded ("getParamNormalized", [&] { return controller->getParamNormalized (id); });
	if (set)
	{
		const double v = r.value ();
		const tresult res = guarded ("setParamNormalized", [&] { return controller->setParamNormalized (id, v); });
		if (!std::isfinite (v))
			expect (res == kResultFalse && sameBits (controller->getParamNormalized (id), before),
			        "setParamNormalized (" + std::to_string (id) + ", " + std::to_string (v) + ") did not refuse");
	}
	const double after = guarded ("getParamNormalized", [&] { return controller->getParamNormalized (id); });
	expect (after >= 0.0 && after <= 1.0, "getParamNormalized (" + std::to_string (id) + ") gave " + std::to_string (after));
}

void Session::conversions (Reader& r)
{
	if (!controller)
		return;
	const ParamID id = r.id ();
	const double v = r.value ();
	const double plain = guarded ("normalizedParamToPlain", [&] { return controller->normalizedParamToPlain (id, v); });
	const double normal = guarded ("plainParamToNormalized", [&] { return controller->plainParamToNormalized (id, v); });
	if (id < ParamID (kTableParams))
	{
		expect (std::isfinite (plain), "normalizedParamToPlain of a table parameter gave a non-finite value");
		expect (normal >= 0.0 && normal <= 1.0, "plainParamToNormalized of a table parameter left [0, 1]");
	}
}

void Session::midiMapping (Reader& r)
{
	if (!mapping)
		return;
	static const CtrlNumber mapped[] = {kCtrlModWheel, kCtrlSustainOnOff, kCtrlAllSoundsOff, kCtrlAllNotesOff, kPitchBend};
	const int32 bus = r.chance (2) ? 0 : r.index (1);
	const int16 channel = r.int16Choice (16);
	const CtrlNumber number = r.chance (2) ? mapped[r.byte () % 5] : r.int16Choice (kCountCtrlNumber);
	Patterned<ParamID> id;
	const tresult res = guarded ("getMidiControllerAssignment",
	                             [&] { return mapping->getMidiControllerAssignment (bus, channel, number, id.value); });
	const bool valid = bus == 0 && channel >= 0 && channel <= 15;
	bool isMapped = false;
	for (CtrlNumber m : mapped)
		isMapped = isMapped || m == number;
	if (res == kResultOk)
		expect (valid && isHidden (id.value), "getMidiControllerAssignment accepted a bad bus, channel or controller");
	else
		expect (id.untouched (), "a refused getMidiControllerAssignment wrote its ID");
	if (valid && isMapped)
		expect (res == kResultOk, "getMidiControllerAssignment refused a mapped controller");
}

void Session::buses (Reader& r)
{
	if (!component)
		return;
	static const MediaType types[] = {kAudio, kEvent, 2, -1};
	static const BusDirection directions[] = {kInput, kOutput, 5};
	const MediaType type = types[r.byte () % 4];
	const BusDirection direction = directions[r.byte () % 3];
	const int32 count = guarded ("getBusCount", [&] { return component->getBusCount (type, direction); });
	const int32 index = r.index (count);
	const bool inRange = index >= 0 && index < count;
	Patterned<BusInfo> info;
	const tresult res = guarded ("getBusInfo", [&] { return component->getBusInfo (type, direction, index, info.value); });
	if (!inRange)
		expect (res == kInvalidArgument && info.untouched (), "getBusInfo out of range did not refuse cleanly");
	const TBool state = r.byte () % 2;
	const tresult activated = guarded ("activateBus", [&] { return component->activateBus (type, direction, index, state); });
	if (!inRange)
		expect (activated == kInvalidArgument, "activateBus out of range did not give kInvalidArgument");
}

void Session::routingInfo (Reader& r)
{
	if (!component)
		return;
	RoutingInfo in = {MediaType (r.byte () % 3), r.index (1), r.index (16)};
	Patterned<RoutingInfo> out;
	const tresult res = guarded ("getRoutingInfo", [&] { return component->getRoutingInfo (in, out.value); });
	if (res != kResultOk)
		expect (out.untouched (), "a refused getRoutingInfo wrote its answer");
}

void Session::setupProcessing (Reader& r)
{
	if (!processor)
		return;
	static const double rates[] = {44100, 48000, 96000, 8000, 1e300, std::numeric_limits<double>::infinity (),
	                               std::nan (""), -1, 0, 1e12, 5e-324, 842.2e6};
	static const int32 blocks[] = {512, 1, 0, -1, INT32_MAX, 4096};
	ProcessSetup setup = {};
	setup.processMode = int32 (r.byte () % 4 == 3 ? 77 : r.byte () % 3);
	setup.symbolicSampleSize = int32 (r.byte () % 3 == 2 ? 9 : r.byte () % 2);
	setup.maxSamplesPerBlock = blocks[r.byte () % 6];
	setup.sampleRate = r.chance (3) ? r.value () : rates[r.byte () % 12];
	guarded ("setupProcessing", [&] { return processor->setupProcessing (setup); });
	checkTail ();
}

void Session::process (Reader& r)
{
	if (!processor)
		return;
	static const int32 sizes[] = {-1, 0, 1, 32, 64, 256, kMaxBlock};
	const uint8_t c = r.byte ();
	int32 numSamples = sizes[c % 7];
	if (c % 8 == 7)
	{
		numSamples = r.byte ();
		numSamples |= (r.byte () & 3) << 8;
	}
	const int32 sampleSize = c / 8 % 4 == 3 ? 7 : c / 8 % 2;

	// Up to two output buses of up to three channels (some missing), and an
	// input bus the processor does not have.
	std::vector<std::vector<float>> f32 (7, std::vector<float> (kMaxBlock, 0.0f));
	std::vector<std::vector<double>> f64 (7, std::vector<double> (kMaxBlock, 0.0));
	float* p32[7];
	double* p64[7];
	for (int i = 0; i < 7; ++i)
	{
		const bool missing = r.chance (8);
		p32[i] = missing ? nullptr : f32[size_t (i)].data ();
		p64[i] = missing ? nullptr : f64[size_t (i)].data ();
	}
	AudioBusBuffers buses[3] = {};
	for (int b = 0; b < 3; ++b)
	{
		buses[b].numChannels = r.byte () % 4;
		buses[b].silenceFlags = r.u64 ();
		buses[b].channelBuffers32 = r.chance (8) ? nullptr : p32 + 2 * b;
		if (sampleSize == kSample64)
			buses[b].channelBuffers64 = r.chance (8) ? nullptr : p64 + 2 * b;
		if (b == 2 && buses[b].numChannels > 1)
			buses[b].numChannels = 1;
	}

	// Events and parameter points: honest lists, lying ones, or none.
	std::vector<Event> eventList;
	for (int n = r.byte () % 6; n > 0; --n)
	{
		Event e = {};
		e.busIndex = r.chance (4) ? r.index (1) : 0;
		e.sampleOffset = r.chance (4) ? r.index (numSamples) : r.byte () % std::max (numSamples, 1);
		const uint8_t type = r.byte () % 4;
		e.type = type == 0 ? uint16 (Event::kNoteOffEvent) : type == 3 ? uint16 (r.byte ()) : uint16 (Event::kNoteOnEvent);
		e.noteOn.channel = r.int16Choice (16);
		e.noteOn.pitch = r.int16Choice (128);
		e.noteOn.velocity = float (r.value ());
		e.noteOn.noteId = int32 (r.u32 ());
		eventList.push_back (e);
	}
	RawEvents honestEvents;
	honestEvents.events = eventList;
	LyingEvents lyingEvents (eventList, r.chance (2) ? INT32_MAX : int32 (eventList.size () + r.byte () % 4));
	std::vector<std::unique_ptr<LyingQueue>> queues;
	for (int n = r.byte () % 4; n > 0; --n)
	{
		std::vector<std::pair<int32, double>> points;
		for (int k = r.byte () % 4; k > 0; --k)
		{
			const int32 offset = r.chance (4) ? r.index (numSamples) : r.byte () % std::max (numSamples, 1);
			points.emplace_back (offset, r.value ());
		}
		const int32 claimed = r.chance (3) ? INT32_MAX : int32 (points.size () + r.byte () % 2);
		queues.push_back (std::make_unique<LyingQueue> (r.id (), points, claimed));
	}
	std::vector<IParamValueQueue*> held;
	for (auto& q : queues)
		held.push_back (q.get ());
	LyingChanges changes (held, r.chance (2) ? int32 (held.size ()) : INT32_MAX);

	ProcessContext context = {};
	context.sampleRate = r.value ();
	context.tempo = r.value ();
	context.projectTimeSamples = int64 (r.u64 ());
	context.state = r.u32 ();
	Tarno::Host::ParameterChanges outputChanges;
	Tarno::Host::EventList outputEvents;

	ProcessData data = {};
	data.processMode = int32 (r.byte () % 3);
	data.symbolicSampleSize = sampleSize;
	data.numSamples = numSamples;
	data.numOutputs = r.byte () % 3;
	data.outputs = buses;
	data.numInputs = r.byte () % 2;
	data.inputs = buses + 2;
	const uint8_t lists = r.byte ();
	data.inputEvents = lists % 3 == 0 ? nullptr : lists % 3 == 1 ? static_cast<IEventList*> (&honestEvents) : &lyingEvents;
	data.inputParameterChanges = lists / 3 % 2 == 0 ? nullptr : &changes;
	data.outputParameterChanges = lists / 6 % 2 ? &outputChanges : nullptr;
	data.outputEvents = lists / 12 % 2 ? &outputEvents : nullptr;
	data.processContext = lists / 24 % 2 ? &context : nullptr;

	guarded ("process", [&] { return processor->process (data); });

	expect (!lyingEvents.overrun && lyingEvents.failedReads <= 1, "process kept reading events after a failed getEvent");
	expect (!changes.overrun && changes.failedReads <= kMostMissingQueuesRead,
	        "process kept reading queues after a long run of missing ones");
	for (auto& q : queues)
		expect (!q->overrun && q->failedReads <= 1, "process kept reading points after a failed getPoint");
	for (int i = 0; i < 7; ++i)
		for (int s = 0; s < kMaxBlock; ++s)
			if (!std::isfinite (f32[size_t (i)][size_t (s)]) || !std::isfinite (f64[size_t (i)][size_t (s)]))
			{
				fail ("process wrote a non-finite sample");
				return;
			}
}

void Session::getState (Reader& r)
{
	const uint8_t c = r.byte ();
	const bool ofProcessor = c % 2 == 0;
	if (ofProcessor ? !component : !controller)
		return;
	auto get = [&] (IBStream* stream) {
		return guarded ("getState", [&] { return ofProcessor ? component->getState (stream) : controller->getState (stream); });
	};
	const uint8_t kind = (c / 2) % 4;
	if (kind == 0)
	{
		expect (get (nullptr) != kResultOk, "getState (nullptr) succeeded");
		return;
	}
	const Bytes honest = ofProcessor ? processorState () : controllerState ();
	if (kind == 1)
	{
		LimitedStream stream (r.byte () % 140);
		if (get (&stream) == kResultOk)
			expect (stream.data == honest, "getState succeeded into a stream that had no room");
		return;
	}
	const auto fault = FaultyStream::Fault (r.byte () % 6);
	FaultyStream stream ({}, fault, int32 (r.byte ()));
	if (get (&stream) == kResultOk)
		expect (stream.written == honest, "getState succeeded but its stream did not get the state");
}

void Session::setState (Reader& r)
{
	const uint8_t c = r.byte ();
	const uint8_t target = c % 3;
	if (target == 0 ? !component : !controller)
		return;

	// What the stream holds: a processor blob of chosen values, an editor
	// state, or raw bytes.
	Bytes content;
	const uint8_t kind = (c / 3) % 4;
	if (kind <= 1)
	{
		Tarno::ParamBlock values;
		for (double& v : values)
			v = r.chance (8) ? r.value () : r.byte () / 255.0;
		const uint32_t magic = r.chance (16) ? r.u32 () : 0x54564C31;
		const uint32_t version = r.chance (16) ? r.byte () : 1;
		content = stateBlob (values, magic, version);
		for (int n = kind == 1 ? r.byte () % 8 : 0; n > 0; --n)
			content.push_back (r.byte ());
	}
	else if (kind == 2)
	{
		appendLe32 (content, r.chance (8) ? r.u32 () : 0x54565549);
		appendLe32 (content, r.chance (8) ? r.byte () : 1);
		appendLe32 (content, r.chance (4) ? r.u32 () : r.byte () % 3);
	}
	else
	{
		for (int n = r.byte () % 160; n > 0; --n)
			content.push_back (r.byte ());
	}
	const bool nullStream = r.chance (16);
	const auto fault = FaultyStream::Fault (r.byte () % 6);
	FaultyStream stream (content, fault, int32 (r.byte () % 160));
	IBStream* given = nullStream ? nullptr : &stream;

	if (target == 0)
	{
		const Bytes before = processorState ();
		const tresult res = guarded ("setState", [&] { return component->setState (given); });
		const Bytes after = processorState ();
		if (res == kResultOk)
			expect (content.size () >= 136 && after == Bytes (content.begin (), content.begin () + 136),
			        "an accepted processor state was not restored exactly");
		else
			expect (after == before, "a refused processor state changed the processor");
		if (nullStream)
			expect (res != kResultOk, "setState (nullptr) succeeded");
	}
	else if (target == 1)
	{
		const Tarno::ParamBlock before = controllerValues ();
		const tresult res = guarded ("setComponentState", [&] { return controller->setComponentState (given); });
		const Tarno::ParamBlock after = controllerValues ();
		if (res == kResultOk && controllerUp)
		{
			Tarno::ParamBlock expected {};
			FaultyStream copy (content, FaultyStream::kNone);
			IBStream* reread = &copy;
			int32 skip[2];
			reread->read (skip, 8, nullptr);
			reread->read (expected.data (), 8 * kTableParams, nullptr);
			for (int i = 0; i < kTableParams; ++i)
				expect (after[size_t (i)] == expected[size_t (i)], "an accepted component state was not mirrored exactly");
		}
		else if (res != kResultOk)
		{
			for (int i = 0; i < kTableParams; ++i)
				expect (sameBits (after[size_t (i)], before[size_t (i)]), "a refused component state changed the controller");
		}
		if (nullStream)
			expect (res != kResultOk, "setComponentState (nullptr) succeeded");
	}
	else
	{
		const Bytes before = controllerState ();
		const tresult res = guarded ("setState", [&] { return controller->setState (given); });
		const Bytes after = controllerState ();
		// What an accepted state reads back as: its skin, and its zoom or
		// (a state of the first version) 100 %.
		Bytes restored;
		if (content.size () >= 12)
		{
			restored.assign (content.begin (), content.begin () + 12);
			appendLe32 (restored, 2);
			if (content.size () >= 24)
				restored.insert (restored.end (), content.begin () + 16, content.begin () + 24);
			else
				appendLeDouble (restored, 1.0);
		}
		if (res == kResultOk)
			expect (after == before || after == restored, "an accepted controller state was not restored exactly");
		else
			expect (after == before, "a refused controller state changed the controller");
		if (nullStream)
			expect (res != kResultOk, "setState (nullptr) succeeded");
	}
}

void Session::createView (Reader& r)
{
	if (!controller)
		return;
	char name[17] = {};
	for (int i = 0; i < 16; ++i)
		name[i] = char (r.byte () % 95 + 32);
	const char* names[] = {nullptr, ViewType::kEditor, "", "Editor", name};
	const char* chosen = names[r.byte () % 5];
	IPtr<IPlugView> made = owned (guarded ("createView", [&] { return controller->createView (chosen); }));
	if (!chosen || std::strcmp (chosen, ViewType::kEditor) != 0)
		expect (!made, "createView made a view for a name other than \"editor\"");
	if (!made)
		return;
	expect (guarded ("isPlatformTypeSupported", [&] { return made->isPlatformTypeSupported (nullptr); }) != kResultTrue,
	        "isPlatformTypeSupported (nullptr) said yes");
	for (FIDString type : {kPlatformTypeHWND, kPlatformTypeX11EmbedWindowID, static_cast<FIDString> (nullptr)})
		expect (guarded ("attached", [&] { return made->attached (nullptr, type); }) != kResultOk,
		        "attached (nullptr) succeeded");
	expect (guarded ("getSize", [&] { return made->getSize (nullptr); }) == kInvalidArgument,
	        "getSize (nullptr) did not give kInvalidArgument");
	guarded ("removed", [&] { return made->removed (); });
	// Content scales, from a table or from the bytes as they come: taken from
	// 1 to 4, where the view then has the scaled size; refused otherwise.
	if (FUnknownPtr<IPlugViewContentScaleSupport> scaling = FUnknownPtr<IPlugViewContentScaleSupport> (made))
	{
		const float table[] = {1.0f, 1.5f, 2.0f, 4.0f, 0.5f, -1.0f, std::numeric_limits<float>::quiet_NaN (),
		                       std::numeric_limits<float>::infinity ()};
		for (int k = r.byte () % 3; k > 0; --k)
		{
			float f = table[r.byte () % 8];
			if (r.chance (4))
			{
				const uint32_t bits = uint32_t (r.byte ()) | uint32_t (r.byte ()) << 8 | uint32_t (r.byte ()) << 16 |
				                      uint32_t (r.byte ()) << 24;
				std::memcpy (&f, &bits, sizeof f);
			}
			const bool fits = f >= 1.0f && f <= 4.0f;
			const tresult res = guarded ("setContentScaleFactor", [&] { return scaling->setContentScaleFactor (f); });
			expect (res == (fits ? kResultTrue : kResultFalse), "setContentScaleFactor took or refused the wrong factor");
			ViewRect size;
			if (fits && made->getSize (&size) == kResultOk)
				expect (size.getWidth () == int32 (std::floor (860.0 * f + 0.5)) &&
				            size.getHeight () == int32 (std::floor (530.0 * f + 0.5)),
				        "the view's size is not the scaled panel's");
		}
	}
	if (r.chance (2))
		view = made;
}

void Session::release (Reader& r)
{
	// The host lets go without disconnect or terminate.
	const uint8_t c = r.byte () % 3;
	if (c == 0)
	{
		processorPoint = nullptr;
		processor = nullptr;
		component = nullptr;
		componentUp = false;
	}
	else if (c == 1)
	{
		controllerPoint = nullptr;
		mapping = nullptr;
		controller = nullptr;
		controllerUp = false;
	}
	else
		view = nullptr;
}

void Session::arrangements (Reader& r)
{
	if (!processor)
		return;
	static const SpeakerArrangement choices[] = {SpeakerArr::kStereo, SpeakerArr::kMono, SpeakerArr::kEmpty,
	                                             ~SpeakerArrangement (0), SpeakerArr::k51};
	SpeakerArrangement ins[8], outs[8];
	for (int i = 0; i < 8; ++i)
	{
		ins[i] = choices[r.byte () % 5];
		outs[i] = r.chance (8) ? SpeakerArrangement (r.u64 ()) : choices[r.byte () % 5];
	}
	const int32 numIns = int32 (r.byte () % 11) - 2;
	const int32 numOuts = int32 (r.byte () % 11) - 2;
	const bool nullIns = r.chance (3), nullOuts = r.chance (4);
	const tresult res = guarded ("setBusArrangements", [&] {
		return processor->setBusArrangements (nullIns ? nullptr : ins, numIns, nullOuts ? nullptr : outs, numOuts);
	});
	if ((nullIns && numIns > 0) || (nullOuts && numOuts > 0))
		expect (res != kResultOk, "setBusArrangements accepted a null array");

	const BusDirection direction = r.byte () % 2 ? kOutput : kInput;
	const int32 count = component ? component->getBusCount (kAudio, direction) : 0;
	const int32 index = r.index (count);
	Patterned<SpeakerArrangement> arrangement;
	const tresult got = guarded ("getBusArrangement",
	                             [&] { return processor->getBusArrangement (direction, index, arrangement.value); });
	if (got != kResultOk)
		expect (arrangement.untouched (), "a refused getBusArrangement wrote its answer");
	if (component && (index < 0 || index >= count))
		expect (got != kResultOk, "getBusArrangement accepted a bus out of range");
}

void Session::run (Reader& r, CallCode code)
{
	switch (code)
	{
		case kCallCreate: create (r); break;
		case kCallFactoryInfo: factoryInfo (r); break;
		case kCallInitialize: initialize (r); break;
		case kCallTerminate:
			if (r.byte () % 2 == 0 && component)
			{
				guarded ("terminate", [&] { return component->terminate (); });
				componentUp = false;
			}
			else if (controller)
			{
				guarded ("terminate", [&] { return controller->terminate (); });
				controllerUp = false;
			}
			break;
		case kCallConnect: connection (r, true); break;
		case kCallDisconnect: connection (r, false); break;
		case kCallNotify: notify (r); break;
		case kCallQueryInterface: queryInterface (r); break;
		case kCallParameterInfo: parameterInfo (r); break;
		case kCallStringByValue: stringByValue (r); break;
		case kCallValueByString: valueByString (r); break;
		case kCallSetNormalized: normalized (r, true); break;
		case kCallGetNormalized: normalized (r, false); break;
		case kCallConversions: conversions (r); break;
		case kCallMidiMapping: midiMapping (r); break;
		case kCallBuses: buses (r); break;
		case kCallRoutingInfo: routingInfo (r); break;
		case kCallSetupProcessing: setupProcessing (r); break;
		case kCallSetActive:
			if (component)
				guarded ("setActive", [&] { return component->setActive (r.byte () % 2); });
			break;
		case kCallSetProcessing:
			if (processor)
				guarded ("setProcessing", [&] { return processor->setProcessing (r.byte () % 2); });
			break;
		case kCallProcess: process (r); break;
		case kCallTail: checkTail (); break;
		case kCallGetState: getState (r); break;
		case kCallSetState: setState (r); break;
		case kCallCreateView: createView (r); break;
		case kCallRelease: release (r); break;
		case kCallComponentHandler:
			if (controller)
				guarded ("setComponentHandler",
				         [&] { return controller->setComponentHandler (r.byte () % 2 ? &handler : nullptr); });
			break;
		case kCallArrangements: arrangements (r); break;
		case kCallSampleSize:
			if (processor)
			{
				const int32 size = r.chance (2) ? int32 (r.u32 ()) : int32 (r.byte () % 4) - 1;
				const tresult res = guarded ("canProcessSampleSize", [&] { return processor->canProcessSampleSize (size); });
				if (size != kSample32 && size != kSample64)
					expect (res != kResultTrue, "canProcessSampleSize accepted an unknown sample size");
			}
			break;
		case kCallCount: break;
	}
}

} // namespace

std::string runCallSequence (IPluginFactory* factory, const uint8_t* data, size_t size)
{
	if (factory == nullptr)
		return "no factory";
	Reader r (data, size);
	Session session (factory);
	for (int n = 0; n < kMaxCalls && r.more (); ++n)
	{
		const auto code = CallCode (r.byte () % kCallCount);
		session.run (r, code);
		if (!session.problem.empty ())
			return "call " + std::to_string (n) + " (" + kCallNames[code] + "): " + session.problem;
	}
	session.tearDown ();
	return session.problem.empty () ? std::string () : "at the end: " + session.problem;
}

} // namespace TarnoTest
