#include "controller/Controller.h"

#include "editor/TarnoEditor.h"

#include "params/ParamTable.h"
#include "params/StateBlob.h"

#include "base/source/fstreamer.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

#include <cstring>

// The SDK's edit controller and view base refer to this interface ID; the
// plug-in defines it once, next to the code that creates views.
namespace Steinberg {
DEF_CLASS_IID (IPlugView)
}

namespace Tarno {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int32 kUiStateMagic = 0x54565549; // "TVUI"
constexpr int32 kUiStateVersion = 1;
constexpr int32 kTextSize = 128;

struct HiddenParam
{
	ParamID id;
	const char* title;
	int32 stepCount;
	ParamValue defaultValue;
};

const HiddenParam kHiddenParams[] = {
	{kPitchBend, "Pitch bend", 0, 0.5},
	{kModWheel, "Mod wheel", 0, 0.0},
	{kSustain, "Sustain", 1, 0.0},
	{kAllNotesOff, "All notes off", 0, 0.0},
};

} // namespace

FUnknown* Controller::create (void* /*context*/)
{
	return static_cast<IEditController*> (new Controller);
}

tresult PLUGIN_API Controller::initialize (FUnknown* context)
{
	const tresult result = EditController::initialize (context);
	if (result != kResultOk)
		return result;

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
	return kResultOk;
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
	if (!streamer.writeInt32 (kUiStateMagic) || !streamer.writeInt32 (kUiStateVersion) || !streamer.writeInt32 (skin))
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
	skin = value;
	return kResultOk;
}

tresult PLUGIN_API Controller::getParamStringByValue (ParamID id, ParamValue valueNormalized, String128 string)
{
	if (id >= static_cast<ParamID> (kNumParams))
		return EditController::getParamStringByValue (id, valueNormalized, string);
	ValueText text;
	formatValue (static_cast<int32> (id), valueNormalized, text);
	UString (string, kTextSize).fromAscii (text);
	return kResultOk;
}

tresult PLUGIN_API Controller::getParamValueByString (ParamID id, TChar* string, ParamValue& valueNormalized)
{
	if (id >= static_cast<ParamID> (kNumParams))
		return EditController::getParamValueByString (id, string, valueNormalized);
	char text[kTextSize] = {};
	if (string != nullptr)
		UString (string, kTextSize).toAscii (text, kTextSize);
	return parseValue (static_cast<int32> (id), text, valueNormalized) ? kResultOk : kResultFalse;
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
#ifdef _WIN32
	// One reference for the host; the editor holds the controller for its life.
	return new TarnoEditor (this);
#else
	// The editor window exists for Windows only.
	return nullptr;
#endif
}

tresult PLUGIN_API Controller::getMidiControllerAssignment (int32 busIndex, int16 channel,
                                                            CtrlNumber midiControllerNumber, ParamID& id)
{
	if (busIndex != 0 || static_cast<uint16> (channel) > 15)
		return kResultFalse;
	switch (midiControllerNumber)
	{
		case kCtrlModWheel: id = kModWheel; return kResultOk;
		case kCtrlSustainOnOff: id = kSustain; return kResultOk;
		case kCtrlAllSoundsOff:
		case kCtrlAllNotesOff: id = kAllNotesOff; return kResultOk;
		case Vst::kPitchBend: id = Tarno::kPitchBend; return kResultOk;
		default: return kResultFalse;
	}
}

} // namespace Tarno
