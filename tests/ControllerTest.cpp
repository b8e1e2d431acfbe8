#include "formats/vst3/Controller.h"

#include "params/ParamTable.h"
#include "tests/StreamUtil.h"

#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tarno;
using namespace TarnoTest;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

struct Initialized
{
	IPtr<Controller> c;
	Initialized ()
	{
		c = owned (static_cast<Controller*> (static_cast<IEditController*> (Controller::create (nullptr))));
		EXPECT_EQ (c->initialize (nullptr), kResultOk);
	}
	~Initialized () { c->terminate (); }

	std::string text (ParamID id, double value)
	{
		String128 s = {};
		EXPECT_EQ (c->getParamStringByValue (id, value, s), kResultOk);
		char narrow[128];
		UString (s, 128).toAscii (narrow, 128);
		return narrow;
	}
	tresult parse (ParamID id, const char* text, double& value)
	{
		String128 s = {};
		UString (s, 128).fromAscii (text);
		return c->getParamValueByString (id, s, value);
	}
	ParamBlock values ()
	{
		ParamBlock v;
		for (int i = 0; i < kNumParams; ++i)
			v[i] = c->getParamNormalized (ParamID (i));
		return v;
	}
	Bytes ownState ()
	{
		MemoryStream stream;
		EXPECT_EQ (c->getState (&stream), kResultOk);
		return bytesOf (stream);
	}
};

std::string title (const ParameterInfo& info)
{
	char narrow[128];
	UString (const_cast<TChar*> (info.title), 128).toAscii (narrow, 128);
	return narrow;
}

Bytes uiState (uint32_t magic, uint32_t version, uint32_t skin)
{
	Bytes b;
	appendLe32 (b, magic);
	appendLe32 (b, version);
	appendLe32 (b, skin);
	return b;
}

} // namespace

TEST (Controller, RegistersTwentyParameters)
{
	Initialized i;
	ASSERT_EQ (i.c->getParameterCount (), 20);
	for (int32 index = 0; index < 16; ++index)
	{
		ParameterInfo info = {};
		ASSERT_EQ (i.c->getParameterInfo (index, info), kResultOk);
		EXPECT_EQ (info.id, ParamID (index));
		EXPECT_EQ (title (info), specs[index].name);
		EXPECT_EQ (info.stepCount, specs[index].stepCount);
		EXPECT_EQ (info.defaultNormalizedValue, specs[index].defaultNormalized);
		EXPECT_EQ (info.flags, int32 (ParameterInfo::kCanAutomate));
		EXPECT_EQ (info.unitId, 0);
	}
	const ParamID hiddenIds[] = {100, 101, 102, 103};
	const char* hiddenTitles[] = {"Pitch bend", "Mod wheel", "Sustain", "All notes off"};
	const int32 hiddenSteps[] = {0, 0, 1, 0};
	for (int32 k = 0; k < 4; ++k)
	{
		ParameterInfo info = {};
		ASSERT_EQ (i.c->getParameterInfo (16 + k, info), kResultOk);
		EXPECT_EQ (info.id, hiddenIds[k]);
		EXPECT_EQ (title (info), hiddenTitles[k]);
		EXPECT_EQ (info.stepCount, hiddenSteps[k]);
		EXPECT_EQ (info.flags, int32 (ParameterInfo::kIsHidden));
		EXPECT_EQ (info.defaultNormalizedValue, k == 0 ? 0.5 : 0.0);
	}
	EXPECT_EQ (i.values (), kDefaultParams);

	ParameterInfo legato = {};
	i.c->getParameterInfo (kLegatoParam, legato);
	char units[128];
	UString (legato.units, 128).toAscii (units, 128);
	EXPECT_STREQ (units, "");
	ParameterInfo attack = {};
	i.c->getParameterInfo (kAttackParam, attack);
	UString (attack.units, 128).toAscii (units, 128);
	EXPECT_STREQ (units, "ms");
}

TEST (Controller, TextsAndConversions)
{
	Initialized i;
	EXPECT_EQ (i.text (Tarno::kOutputParam, 0.8), "-12.0 dB");
	EXPECT_EQ (i.text (kTransposeParam, 0.45), "0 oct");
	EXPECT_EQ (i.text (kLegatoParam, 0.5), "On");
	double v = 0.42;
	EXPECT_EQ (i.parse (kSquareParam, "55.0 %", v), kResultOk);
	EXPECT_DOUBLE_EQ (v, 0.55);
	v = 0.42;
	EXPECT_EQ (i.parse (kAttackParam, "abc", v), kResultFalse);
	EXPECT_EQ (v, 0.42);
	EXPECT_EQ (i.parse (kLegatoParam, "Off", v), kResultOk);
	EXPECT_EQ (v, 0.0);
	EXPECT_EQ (i.parse (kLegatoParam, "On", v), kResultOk);
	EXPECT_EQ (v, 1.0);
	// Characters beyond 8 bits keep their low byte: U+0135 becomes '5'.
	String128 wide = {};
	wide[0] = char16 (0x0135);
	wide[1] = '0';
	EXPECT_EQ (i.c->getParamValueByString (kSquareParam, wide, v), kResultOk);
	EXPECT_DOUBLE_EQ (v, 0.5);

	EXPECT_EQ (i.c->normalizedParamToPlain (kTransposeParam, 1.0 / 3.0), -1.0);
	EXPECT_EQ (i.c->plainParamToNormalized (kTransposeParam, 1.5), 0.75);
	EXPECT_EQ (i.c->normalizedParamToPlain (kModWheelParam, 0.7), 0.7);
	EXPECT_EQ (i.c->plainParamToNormalized (Tarno::kPitchBendParam, 0.25), 0.25);
	// Hidden parameters use the SDK's own texts.
	String128 s = {};
	EXPECT_EQ (i.c->getParamStringByValue (kModWheelParam, 0.5, s), kResultOk);
	EXPECT_NE (s[0], 0);
	EXPECT_EQ (i.c->getParamStringByValue (999, 0.5, s), kResultFalse);
}

TEST (Controller, MidiMapping)
{
	Initialized i;
	struct Case
	{
		int32 bus;
		int16 channel;
		CtrlNumber cc;
		tresult result;
		ParamID id;
	};
	const Case cases[] = {
		{0, 0, kCtrlSustainOnOff, kResultOk, 102}, {0, 15, Vst::kPitchBend, kResultOk, 100},
		{0, 0, kCtrlAllSoundsOff, kResultOk, 103}, {0, 0, kCtrlAllNotesOff, kResultOk, 103},
		{0, 7, kCtrlModWheel, kResultOk, 101},      {1, 0, kCtrlModWheel, kResultFalse, 555},
		{0, 16, kCtrlModWheel, kResultFalse, 555},  {0, -1, kCtrlModWheel, kResultFalse, 555},
		{0, 0, kCtrlVolume, kResultFalse, 555},     {-1, 0, kCtrlModWheel, kResultFalse, 555},
	};
	for (const Case& c : cases)
	{
		ParamID id = 555;
		EXPECT_EQ (i.c->getMidiControllerAssignment (c.bus, c.channel, c.cc, id), c.result)
		    << c.bus << " " << c.channel << " " << c.cc;
		EXPECT_EQ (id, c.id);
	}
	// The controller answers as an IMidiMapping.
	IMidiMapping* mapping = nullptr;
	ASSERT_EQ (i.c->queryInterface (IMidiMapping::iid, reinterpret_cast<void**> (&mapping)), kResultOk);
	mapping->release ();
}

TEST (Controller, OwnStateKeepsTheSkin)
{
	Initialized i;
	// The first version's three words, then the zoom's version and the zoom
	// (EditorViewTest has the zoom's cases).
	Bytes zoomTail;
	appendLe32 (zoomTail, 2);
	appendLeDouble (zoomTail, 1.0);
	auto withZoom = [&zoomTail] (Bytes b) {
		b.insert (b.end (), zoomTail.begin (), zoomTail.end ());
		return b;
	};
	EXPECT_EQ (i.ownState (), withZoom (Bytes{0x49, 0x55, 0x56, 0x54, 1, 0, 0, 0, 0, 0, 0, 0}));
	EXPECT_EQ (i.c->getState (nullptr), kInvalidArgument);
	EXPECT_EQ (i.c->setState (nullptr), kInvalidArgument);
	LimitedStream full (6);
	EXPECT_EQ (i.c->getState (&full), kResultFalse);

	EXPECT_EQ (i.c->setState (streamOf (uiState (0x54565549, 1, 2))), kResultOk);
	EXPECT_EQ (i.c->skin, kSkinSilver);
	EXPECT_EQ (i.c->setState (streamOf ({})), kResultOk); // an empty state keeps the skin
	EXPECT_EQ (i.c->skin, kSkinSilver);
	Bytes eight = uiState (0x54565549, 1, 0);
	eight.resize (8);
	for (const Bytes& bad : {eight, uiState (0x54565549, 1, 3), uiState (0x54565549, 1, 0xFFFFFFFF),
	                         uiState (0x54565549, 2, 1), uiState (0x49555654, 1, 1)})
	{
		EXPECT_EQ (i.c->setState (streamOf (bad)), kResultFalse);
		EXPECT_EQ (i.c->skin, kSkinSilver);
	}
	// Fewer bytes than a magic read like an empty state: accepted, skin kept.
	EXPECT_EQ (i.c->setState (streamOf ({0x49, 0x55})), kResultOk);
	EXPECT_EQ (i.c->skin, kSkinSilver);
	EXPECT_EQ (i.c->setState (streamOf (uiState (0x54565549, 1, 1))), kResultOk);
	EXPECT_EQ (i.ownState (), withZoom (uiState (0x54565549, 1, 1)));
}

TEST (Controller, ComponentStateMirrorsTheProcessor)
{
	Initialized i;
	ParamBlock v;
	for (int k = 0; k < kNumParams; ++k)
		v[k] = (k + 1) / 19.0;
	EXPECT_EQ (i.c->setComponentState (streamOf (stateBlob (v))), kResultOk);
	EXPECT_EQ (i.values (), v);
	EXPECT_EQ (i.c->getParamNormalized (Tarno::kPitchBendParam), 0.5); // not part of the blob

	ParamBlock bad = kDefaultParams;
	bad[10] = 1.5;
	EXPECT_EQ (i.c->setComponentState (streamOf (stateBlob (bad))), kResultFalse);
	EXPECT_EQ (i.c->setComponentState (nullptr), kResultFalse);
	Bytes cut = stateBlob (kDefaultParams);
	cut.resize (135);
	EXPECT_EQ (i.c->setComponentState (streamOf (cut)), kResultFalse);
	EXPECT_EQ (i.values (), v); // nothing changed
}

TEST (Controller, ClassIdentityAndViews)
{
	Initialized i;
	EXPECT_TRUE (i.c->isTypeOf ("Controller", false));
	EXPECT_TRUE (i.c->isTypeOf ("EditController"));
	EXPECT_TRUE (i.c->isTypeOf ("FObject"));
	EXPECT_FALSE (i.c->isTypeOf ("EditController", false));
	EXPECT_EQ (i.c->createView (nullptr), nullptr);
	EXPECT_EQ (i.c->createView ("Editor"), nullptr);
}
