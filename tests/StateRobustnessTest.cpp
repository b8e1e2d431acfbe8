// Deterministic random inputs through the same checks as the state fuzzer.
#include "vst3host/PresetFile.h"
#include "formats/vst3/ClassIds.h"
#include "tests/Phrases.h"
#include "tests/StateFuzzHarness.h"
#include "tests/StreamUtil.h"

#include <gtest/gtest.h>

using namespace TarnoTest;

namespace {

void expectHolds (const Bytes& input)
{
	const std::string problem = checkStateInput (input.data (), input.size ());
	ASSERT_TRUE (problem.empty ()) << problem << " (input of " << input.size () << " bytes)";
}

} // namespace

TEST (StateRobustness, RandomBytes)
{
	Lcg random (2024);
	for (int i = 0; i < 400; ++i)
	{
		Bytes input (size_t (random.below (300)));
		for (uint8_t& b : input)
			b = uint8_t (random.next ());
		expectHolds (input);
	}
}

TEST (StateRobustness, DamagedValidBlobs)
{
	Lcg random (99);
	for (int i = 0; i < 600; ++i)
	{
		Tarno::ParamBlock values;
		for (double& v : values)
			v = random.unit ();
		Bytes input = stateBlob (values);
		// Flip a few bytes, cut or extend.
		const int damage = random.below (4);
		for (int k = 0; k < damage; ++k)
			input[size_t (random.below (int (input.size ())))] ^= uint8_t (1 + random.below (255));
		if (random.below (4) == 0)
			input.resize (size_t (random.below (140)));
		if (random.below (4) == 0)
			input.push_back (uint8_t (random.next ()));
		expectHolds (input);
	}
}

TEST (StateRobustness, EdgeValues)
{
	// -0 and the exact ends of the range are valid values.
	for (double edge : {-0.0, 0.0, 1.0, 5e-324})
	{
		Tarno::ParamBlock values = Tarno::kDefaultParams;
		values[5] = edge;
		values[9] = edge;
		expectHolds (stateBlob (values));
	}
}

TEST (StateRobustness, ControllerStates)
{
	for (uint32_t skin : {0u, 1u, 2u, 3u, 0xFFFFFFFFu, 0x100u})
		for (uint32_t version : {1u, 0u, 2u})
		{
			Bytes input;
			appendLe32 (input, 0x54565549);
			appendLe32 (input, version);
			appendLe32 (input, skin);
			for (size_t cut = 0; cut <= input.size (); ++cut)
				expectHolds (Bytes (input.begin (), input.begin () + long (cut)));
		}
}

// Preset files as hosts write them (a controller chunk with a valid or
// invalid skin, meta information or none), then damaged: bytes flipped in
// the header, the chunks or the chunk list, cut short or lengthened.
TEST (StateRobustness, DamagedPresetFiles)
{
	Steinberg::TUID classId;
	Tarno::processorID.toTUID (classId);
	Lcg random (20);
	for (int i = 0; i < 500; ++i)
	{
		Tarno::ParamBlock values;
		for (double& v : values)
			v = random.unit ();
		Tarno::Host::PresetContents contents {stateBlob (values), {}};
		if (random.below (2) == 0)
		{
			appendLe32 (contents.controllerState, 0x54565549);
			appendLe32 (contents.controllerState, 1);
			appendLe32 (contents.controllerState, uint32_t (random.below (4)));
		}
		Bytes file;
		std::string error;
		const std::string xml = random.below (2) == 0 ? Tarno::Host::presetMetaInfo ("x", "Tarnovelle", "Instrument") : "";
		ASSERT_TRUE (Tarno::Host::makePresetFile (classId, contents, xml, file, error)) << error;
		const int damage = random.below (4);
		for (int k = 0; k < damage; ++k)
			file[size_t (random.below (int (file.size ())))] ^= uint8_t (1 + random.below (255));
		if (random.below (4) == 0)
			file.resize (size_t (random.below (int (file.size ()))));
		if (random.below (8) == 0)
			file.push_back (uint8_t (random.next ()));
		expectHolds (file);
	}
}
