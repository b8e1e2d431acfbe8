#include "tests/StateFuzzHarness.h"

#include "controller/Controller.h"
#include "processor/StateBlob.h"
#include "processor/Processor.h"
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
	return problem;
}

} // namespace TarnoTest
