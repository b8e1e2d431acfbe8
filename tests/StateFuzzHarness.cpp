#include "tests/StateFuzzHarness.h"

#include "formats/vst3/Controller.h"
#include "vst3host/PresetFile.h"
#include "formats/vst3/ClassIds.h"
#include "formats/vst3/StateBlob.h"
#include "formats/vst3/Processor.h"
#include "tests/StreamUtil.h"

namespace TarnoTest {

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace Tarno;

namespace {

Bytes processorState (Processor& p)
{
	MemoryStream stream;
	p.getState (&stream);
	return bytesOf (stream);
}

ParamBlock controllerValues (Controller& c)
{
	ParamBlock v;
	for (int i = 0; i < kNumParams; ++i)
		v[i] = c.getParamNormalized (ParamID (i));
	return v;
}

// The input as a preset file: refused with the file named and `out` left
// alone, or read, written back unchanged and loaded as a host loads it
// (everything put back when a chunk is refused).
std::string checkPresetInput (const uint8_t* data, size_t size)
{
	const char* const name = "input.vstpreset";
	TUID classId;
	processorID.toTUID (classId);
	const Host::PresetContents untouched {{1, 2, 3}, {4}};
	Host::PresetContents contents = untouched;
	std::string error;
	if (!Host::parsePresetFile (data, size, name, classId, contents, error))
	{
		if (contents.componentState != untouched.componentState || contents.controllerState != untouched.controllerState)
			return "a refused preset file changed the contents";
		return error.rfind (std::string (name) + ": ", 0) == 0 ? "" : "refusal without the file's name: " + error;
	}
	Bytes again;
	Host::PresetContents reread;
	if (!Host::makePresetFile (classId, contents, "", again, error) ||
	    !Host::parsePresetFile (again.data (), again.size (), name, classId, reread, error) ||
	    reread.componentState != contents.componentState || reread.controllerState != contents.controllerState)
		return "a preset file read does not survive writing and reading again";

	IPtr<Processor> p = owned (static_cast<Processor*> (static_cast<IAudioProcessor*> (Processor::create (nullptr))));
	IPtr<Controller> c = owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
	p->initialize (nullptr);
	c->initialize (nullptr);
	c->skin = kSkinVintage;
	// What a host loading it may expect: the blob judged by a fresh
	// processor, the controller chunk by a fresh controller.
	IPtr<Controller> judge = owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
	judge->skin = kSkinVintage;
	ParamBlock blob = kDefaultParams;
	const bool blobValid = readState (streamOf (contents.componentState), blob);
	const bool chunkValid = contents.controllerState.empty () || judge->setState (streamOf (contents.controllerState)) == kResultOk;

	const Bytes stateBefore = processorState (*p);
	const ParamBlock valuesBefore = controllerValues (*c);
	std::string problem;
	const bool loaded = Host::applyPresetContents (p, c, false, contents, error);
	if (loaded != (blobValid && chunkValid))
		problem = "preset accepted or refused against its chunks";
	else if (!loaded && (processorState (*p) != stateBefore || controllerValues (*c) != valuesBefore || c->skin != kSkinVintage))
		problem = "a refused preset changed the plug-in";
	else if (loaded && (processorState (*p) != Bytes (contents.componentState.begin (), contents.componentState.begin () + kStateSize) ||
	                    controllerValues (*c) != blob || c->skin != judge->skin))
		problem = "a loaded preset is not mirrored exactly";
	c->terminate ();
	p->terminate ();
	return problem;
}

} // namespace

std::string checkStateInput (const uint8_t* data, size_t size)
{
	const Bytes input (data, data + size);
	const Bytes blob = input.size () >= size_t (kStateSize) ? Bytes (input.begin (), input.begin () + kStateSize) : Bytes ();

	IPtr<Processor> p = owned (static_cast<Processor*> (static_cast<IAudioProcessor*> (Processor::create (nullptr))));
	IPtr<Controller> c = owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
	p->initialize (nullptr);
	c->initialize (nullptr);
	c->skin = kSkinVintage;

	std::string problem;
	const Bytes before = processorState (*p);
	const tresult processorResult = p->setState (streamOf (input));
	const Bytes after = processorState (*p);
	if (processorResult == kResultOk ? after != blob : after != before)
		problem = "processor state after setState";

	const ParamBlock valuesBefore = controllerValues (*c);
	const tresult controllerResult = c->setComponentState (streamOf (input));
	if (controllerResult != processorResult)
		problem = "processor and controller disagree about the blob";
	const ParamBlock valuesAfter = controllerValues (*c);
	if (controllerResult != kResultOk && valuesAfter != valuesBefore)
		problem = "refused component state changed the controller";
	if (controllerResult == kResultOk)
	{
		// Compared as numbers: the SDK's parameters keep 0 for -0.
		ParamBlock expected;
		readState (streamOf (blob), expected);
		for (int i = 0; i < kNumParams; ++i)
			if (!(valuesAfter[i] == expected[i]))
				problem = "accepted component state not mirrored exactly";
	}

	const tresult uiResult = c->setState (streamOf (input));
	const int32 expectedSkin = uiResult == kResultOk && input.size () >= 12 ? int32 (input[8] | input[9] << 8) : kSkinVintage;
	if (c->skin != expectedSkin || c->skin < 0 || c->skin > 2)
		problem = "controller skin after setState";

	c->terminate ();
	p->terminate ();
	return problem.empty () ? checkPresetInput (data, size) : problem;
}

} // namespace TarnoTest
