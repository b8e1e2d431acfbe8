#include "formats/vst3/Controller.h"

#include "formats/vst3/Win32View.h"
#include "formats/vst3/X11View.h"

#include "params/MidiControllers.h"
#include "params/NumberText.h"
#include "params/ParamTable.h"
#include "editor/EditorZoom.h"
#include "formats/vst3/StateBlob.h"

#include "base/source/fstreamer.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

#include <cmath>
#include <cstring>
#include <new>

namespace Tarno {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// The controller's state: magic, version 1, skin; then, from the second
// version on, the version of what follows and the zoom (a double). Readers
// of the first version read the first three words and ignore the rest, so
// a state written now still loads there (at 100 %); a state of the first
// version loads here at 100 %.
constexpr int32 kUiStateMagic = 0x54565549; // "TVUI"
constexpr int32 kUiStateVersion = 1;
constexpr int32 kUiStateZoomVersion = 2;
constexpr int32 kTextSize = 128;

struct HiddenParam
{
	ParamID id;
	const char* title;
	int32 stepCount;
	ParamValue defaultValue;
};

const HiddenParam kHiddenParams[] = {
	{kPitchBendParam, "Pitch bend", 0, 0.5},
	{kModWheelParam, "Mod wheel", 0, 0.0},
	{kSustainParam, "Sustain", 1, 0.0},
	{kAllNotesOffParam, "All notes off", 0, 0.0},
};

const HiddenParam* findHidden (ParamID id)
{
	for (const HiddenParam& p : kHiddenParams)
		if (p.id == id)
			return &p;
	return nullptr;
}

} // namespace

FUnknown* Controller::create (void* /*context*/)
{
	return static_cast<IEditController*> (new Controller);
}

tresult PLUGIN_API Controller::queryInterface (const TUID iid, void** obj)
{
	if (iid == nullptr || obj == nullptr)
		return kInvalidArgument;
	QUERY_INTERFACE (iid, obj, IMidiMapping::iid, IMidiMapping)
	return EditController::queryInterface (iid, obj);
}

tresult PLUGIN_API Controller::initialize (FUnknown* context)
{
	// The SDK's base only refuses a second call when the first had a context.
	if (initialized)
		return kResultFalse;
	const tresult result = EditController::initialize (context);
	if (result != kResultOk)
		return result;
	initialized = true;
	// The parameter container allocates and can throw; nothing may escape.
	try
	{
		addParameters ();
	}
	catch (...)
	{
		terminate ();
		return kOutOfMemory;
	}
	return kResultOk;
}

void Controller::addParameters ()
{
	for (int32 id = 0; id < kNumParams; ++id)
	{
		String128 title, units;
		UString (title, kTextSize).fromAscii (specs[id].name);
		UString (units, kTextSize).fromAscii (specs[id].unit);
		parameters.addParameter (title, units, specs[id].stepCount, specs[id].defaultNormalized,
		                         ParameterInfo::kCanAutomate, static_cast<ParamID> (id));
	}
	for (const HiddenParam& p : kHiddenParams)
	{
		String128 title;
		UString (title, kTextSize).fromAscii (p.title);
		parameters.addParameter (title, nullptr, p.stepCount, p.defaultValue, ParameterInfo::kIsHidden, p.id);
	}
}

tresult PLUGIN_API Controller::terminate ()
{
	initialized = false;
	peer.clear ();
	return EditController::terminate ();
}

tresult PLUGIN_API Controller::connect (IConnectionPoint* other)
{
	return peer.connect (other);
}

tresult PLUGIN_API Controller::disconnect (IConnectionPoint* other)
{
	return peer.disconnect (other);
}

tresult PLUGIN_API Controller::notify (IMessage* message)
{
	return answerMessage (message);
}

tresult PLUGIN_API Controller::getParameterInfo (int32 paramIndex, ParameterInfo& info)
{
	// The SDK's container indexes with vector::at, which throws.
	if (paramIndex < 0 || paramIndex >= parameters.getParameterCount ())
		return kInvalidArgument;
	return EditController::getParameterInfo (paramIndex, info);
}

tresult PLUGIN_API Controller::setParamNormalized (ParamID id, ParamValue value)
{
	// A host's NaN or infinity is refused and the value kept; the SDK's
	// parameter would store NaN and hand it out again.
	if (!std::isfinite (value))
		return kResultFalse;
	return EditController::setParamNormalized (id, value);
}

tresult PLUGIN_API Controller::setComponentState (IBStream* state)
{
	ParamBlock values = kDefaultParams;
	if (state == nullptr || !readState (state, values))
		return kResultFalse;
	for (int32 id = 0; id < kNumParams; ++id)
		setParamNormalized (static_cast<ParamID> (id), values[id]);
	return kResultOk;
}

tresult PLUGIN_API Controller::getState (IBStream* state)
{
	if (state == nullptr)
		return kInvalidArgument;
	IBStreamer streamer (state, kLittleEndian);
	if (!streamer.writeInt32 (kUiStateMagic) || !streamer.writeInt32 (kUiStateVersion) || !streamer.writeInt32 (skin) ||
	    !streamer.writeInt32 (kUiStateZoomVersion) || !streamer.writeDouble (zoom))
		return kResultFalse;
	return kResultOk;
}

tresult PLUGIN_API Controller::setState (IBStream* state)
{
	if (state == nullptr)
		return kInvalidArgument;
	IBStreamer streamer (state, kLittleEndian);
	int32 magic = 0, version = 0, value = 0;
	// A project saved without the controller's state: keep the skin.
	if (!streamer.readInt32 (magic))
		return kResultOk;
	if (!streamer.readInt32 (version) || !streamer.readInt32 (value))
		return kResultFalse;
	if (magic != kUiStateMagic || version != kUiStateVersion)
		return kResultFalse;
	if (static_cast<uint32> (value) > static_cast<uint32> (kSkinSilver))
		return kResultFalse;
	// The zoom, when the state has one; a zoom out of range is refused
	// with the whole state.
	int32 zoomVersion = 0;
	double savedZoom = 1.0;
	if (streamer.readInt32 (zoomVersion))
	{
		if (zoomVersion < kUiStateZoomVersion || !streamer.readDouble (savedZoom) || !acceptableZoom (savedZoom))
			return kResultFalse;
	}
	skin = value;
	zoom = savedZoom;
	return kResultOk;
}

// The hidden parameters' texts are made here rather than by the SDK's
// parameter: its number formatting writes past a String128 for huge values,
// its parsing throws on lone surrogates, and both follow the process locale.
// The texts are the same: "On"/"Off" for Sustain, otherwise the normalized
// value with four decimals (clamped to 0..1 here).
tresult PLUGIN_API Controller::getParamStringByValue (ParamID id, ParamValue valueNormalized, String128 string)
{
	if (string == nullptr)
		return kInvalidArgument;
	char text[kTextSize];
	if (id < static_cast<ParamID> (kNumParams))
	{
		ValueText value;
		formatValue (static_cast<int32> (id), valueNormalized, value);
		std::strcpy (text, value);
	}
	else if (const HiddenParam* hidden = findHidden (id); hidden != nullptr && getParameterObject (id) != nullptr)
	{
		// Clamped as the processor clamps it (NaN and infinities to 0); +0.0
		// turns -0 into 0.
		const double value = clampNormalized (valueNormalized) + 0.0;
		if (hidden->stepCount == 1)
			std::strcpy (text, value > 0.5 ? "On" : "Off");
		else
			formatFixed (value, 4, text, sizeof text);
	}
	else
		return kResultFalse;
	UString (string, kTextSize).fromAscii (text);
	return kResultOk;
}

tresult PLUGIN_API Controller::getParamValueByString (ParamID id, TChar* string, ParamValue& valueNormalized)
{
	if (string == nullptr)
		return kInvalidArgument;
	char text[kTextSize];
	UString (string, kTextSize).toAscii (text, kTextSize);
	if (id < static_cast<ParamID> (kNumParams))
		return parseValue (static_cast<int32> (id), text, valueNormalized) ? kResultOk : kResultFalse;
	if (findHidden (id) == nullptr || getParameterObject (id) == nullptr)
		return kResultFalse;
	// A number the host could not use (NaN, infinity, out of range) is
	// refused; a finite one is clamped to the normalized range.
	double value = 0.0;
	if (parseNumber (text, value) == 0 || !std::isfinite (value))
		return kResultFalse;
	valueNormalized = clampNormalized (value);
	return kResultOk;
}

ParamValue PLUGIN_API Controller::normalizedParamToPlain (ParamID id, ParamValue valueNormalized)
{
	return id < static_cast<ParamID> (kNumParams) ? toPlain (static_cast<int32> (id), valueNormalized) : valueNormalized;
}

ParamValue PLUGIN_API Controller::plainParamToNormalized (ParamID id, ParamValue plainValue)
{
	return id < static_cast<ParamID> (kNumParams) ? toNormalized (static_cast<int32> (id), plainValue) : plainValue;
}

IPlugView* PLUGIN_API Controller::createView (FIDString name)
{
	if (name == nullptr || std::strcmp (name, ViewType::kEditor) != 0)
		return nullptr;
	// One reference for the host; the editor holds the controller for its
	// life. Out of memory gives no view, and nothing thrown reaches the host.
	try
	{
#if defined(_WIN32)
		return new Win32View (this);
#elif defined(TARNO_HAVE_X11_EDITOR)
		return new X11View (this);
#endif
	}
	catch (...)
	{
	}
	return nullptr;
}

tresult PLUGIN_API Controller::getMidiControllerAssignment (int32 busIndex, int16 channel,
                                                            CtrlNumber midiControllerNumber, ParamID& id)
{
	if (busIndex != 0 || static_cast<uint16> (channel) > 15)
		return kResultFalse;
	// Pitch bend has a controller number of its own in VST 3; the others
	// are MIDI's.
	if (midiControllerNumber == Vst::kPitchBend)
	{
		id = Tarno::kPitchBendParam;
		return kResultOk;
	}
	const int32 mapped = controllerParam (midiControllerNumber);
	if (mapped < 0)
		return kResultFalse;
	id = static_cast<ParamID> (mapped);
	return kResultOk;
}

} // namespace Tarno
