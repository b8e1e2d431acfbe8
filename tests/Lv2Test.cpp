// The LV2 bundle as LV2 hosts load it (through lilv): its sound against the
// VST 3 processor's 32-bit output, the factory presets, the skin's state and
// patch messages, and run () without allocation.
#if defined(TARNO_LV2_BUNDLE)

#include "formats/vst3/Processor.h"
#include "params/MidiControllers.h"
#include "params/Presets.h"
#include "params/Skins.h"
#include "tests/AllocationHooks.h"
#include "tests/Lv2Host.h"
#include "tests/ProcessUtil.h"
#include "tests/StreamUtil.h"

#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

using namespace Tarno;
using namespace TarnoTest;
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

enum class Kind { On, Off, Cc, Bend, Port, Junk, Truncated };

// One input at an absolute frame. Port changes lie on block boundaries;
// Junk and Truncated reach the LV2 plug-in only.
struct Input
{
	uint32_t frame;
	Kind kind;
	int a = 0, b = 0;
	float value = 0.f;
	std::vector<uint8_t> bytes = {};
};

struct Case
{
	const char* name;
	double rate;
	std::vector<uint32_t> blocks;
	std::vector<Input> inputs;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN ();
constexpr float kInf = std::numeric_limits<float>::infinity ();

const Case kCases[] = {
    {"notes, bend and mod wheel in blocks of varying size", 48000, {64, 1, 300, 128, 511, 17, 1024, 256, 700},
     {{10, Kind::On, 60, 100}, {70, Kind::Bend, 12000}, {200, Kind::Cc, kMidiModWheel, 90}, {400, Kind::On, 67, 80},
      {650, Kind::Off, 60}, {900, Kind::Bend, 8192}, {901, Kind::Bend, 0}, {1500, Kind::Off, 67},
      {1600, Kind::On, 48, 127}, {1700, Kind::Cc, kMidiModWheel, 0}, {2500, Kind::Off, 48}}},
    {"sustain pedal and both all-notes-off controllers", 44100, {256, 100, 333, 1000, 64, 512},
     {{0, Kind::On, 60, 90}, {50, Kind::Cc, kMidiSustain, 127}, {80, Kind::Off, 60}, {300, Kind::On, 64, 70},
      {310, Kind::Off, 64}, {700, Kind::Cc, kMidiSustain, 0}, {800, Kind::On, 72, 100},
      {900, Kind::Cc, kMidiAllNotesOff, 0}, {1000, Kind::On, 55, 60}, {1300, Kind::Cc, kMidiAllSoundOff, 0},
      {1400, Kind::On, 57, 1}, {2000, Kind::Off, 57}}},
    {"port changes smoothed, bad values clamped", 48000, {512, 512, 512, 512, 512},
     {{5, Kind::On, 60, 100}, {512, Kind::Port, kOutputParam, 0, -6.f}, {512, Kind::Port, kSquareParam, 0, 10.f},
      {1024, Kind::Port, kTransposeParam, 0, 2.f}, {1024, Kind::Port, kLegatoParam, 0, 0.f},
      {1100, Kind::On, 62, 100}, {1536, Kind::Port, kAttackParam, 0, kNaN},
      {1536, Kind::Port, kVibratoDepthParam, 0, kInf}, {2048, Kind::Port, kFineTuneParam, 0, -kInf},
      {2048, Kind::Port, kReleaseParam, 0, 1e9f}, {2048, Kind::Port, kSineParam, 0, -5.f},
      {2048, Kind::Port, kTransposeParam, 0, 0.4f}, {2100, Kind::Off, 62}}},
    {"unknown and malformed MIDI ignored", 48000, {300, 300, 300},
     {{0, Kind::On, 60, 100},
      {10, Kind::Junk, 0, 0, 0.f, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
      {20, Kind::Junk, 0, 0, 0.f, {0xC0, 0x05}},
      {30, Kind::Junk, 0, 0, 0.f, {0xD0, 0x40}},
      {35, Kind::Junk, 0, 0, 0.f, {0xA0, 0x3C, 0x40}},
      {40, Kind::Junk, 0, 0, 0.f, {0xB0, 0x07, 0x10}},
      {50, Kind::Junk, 0, 0, 0.f, {0x90, 0x3E}},
      {60, Kind::Junk, 0, 0, 0.f, {0x90, 0x3E, 0x80}},
      {70, Kind::Junk, 0, 0, 0.f, {0x90, 0x40, 0x40, 0x00}},
      {80, Kind::Junk, 0, 0, 0.f, {}},
      {90, Kind::Junk, 0, 0, 0.f, {0xF8}},
      {95, Kind::Junk, 0, 0, 0.f, {0x3C, 0x40, 0x40}},
      {400, Kind::Off, 60}, {500, Kind::On, 65, 100}, {599, Kind::Truncated}, {700, Kind::Off, 65}}},
};

// A VST 3 processor as a host runs it, 32-bit stereo, starting from `values`
// (restored as the LV2 plug-in takes its ports in the first run).
struct Vst3Side
{
	IPtr<Processor> p;

	Vst3Side (double rate, const ParamBlock& values)
	{
		p = owned (static_cast<Processor*> (static_cast<IAudioProcessor*> (Processor::create (nullptr))));
		EXPECT_EQ (p->initialize (nullptr), kResultOk);
		ProcessSetup setup = {kRealtime, kSample32, 4096, rate};
		p->setupProcessing (setup);
		p->setActive (true);
		p->setProcessing (true);
		EXPECT_EQ (p->setState (streamOf (stateBlob (values))), kResultOk);
	}
	~Vst3Side ()
	{
		p->setProcessing (false);
		p->setActive (false);
		p->terminate ();
	}
};

bool sameBits (float a, float b) { return std::memcmp (&a, &b, sizeof a) == 0; }

TEST (Lv2, SoundsAsTheVst3ProcessorSampleForSample)
{
	for (const Case& c : kCases)
	{
		SCOPED_TRACE (c.name);
		Lv2World world (TARNO_LV2_BUNDLE);
		ASSERT_NE (world.plugin, nullptr);
		UridMap map;
		Lv2Instance lv2 (world, map, c.rate);
		ASSERT_NE (lv2.instance, nullptr);
		ParamBlock start;
		for (int32_t id = 0; id < kNumParams; ++id)
			start[size_t (id)] = toNormalized (id, lv2.controls[id]);
		Vst3Side vst3 (c.rate, start);
		lilv_instance_activate (lv2.instance);

		uint32_t blockStart = 0;
		double energy = 0.0;
		for (uint32_t frames : c.blocks)
		{
			RawEvents events;
			std::map<ParamID, std::vector<std::pair<int32, double>>> points;
			for (const Input& in : c.inputs)
			{
				if (in.frame < blockStart || in.frame >= blockStart + frames)
					continue;
				const int32 at = int32 (in.frame - blockStart);
				switch (in.kind)
				{
					case Kind::On:
						lv2.midi (at, {0x90, uint8_t (in.a), uint8_t (in.b)});
						events.noteOn (at, 0, int16 (in.a), noteVelocity (in.b));
						break;
					case Kind::Off:
						lv2.midi (at, {0x80, uint8_t (in.a), 0});
						events.noteOff (at, 0, int16 (in.a));
						break;
					case Kind::Cc:
						lv2.midi (at, {0xB0, uint8_t (in.a), uint8_t (in.b)});
						points[ParamID (controllerParam (in.a))].push_back ({at, controllerValue (in.b)});
						break;
					case Kind::Bend:
						lv2.midi (at, {0xE0, uint8_t (in.a & 0x7F), uint8_t (in.a >> 7)});
						points[kPitchBendParam].push_back ({at, pitchBendValue (in.a)});
						break;
					case Kind::Port:
						lv2.controls[in.a] = in.value;
						points[ParamID (in.a)].push_back ({0, toNormalized (in.a, in.value)});
						break;
					case Kind::Junk: lv2.midi (at, in.bytes); break;
					case Kind::Truncated:
					{
						// An event whose body claims more bytes than the
						// sequence holds: the walk must end before it.
						auto* seq = lv2.sequenceAtom ();
						const uint32_t before = seq->atom.size;
						lv2.midi (at, {0x90, 0x30, 0x7F});
						auto* last = reinterpret_cast<LV2_Atom_Event*> (reinterpret_cast<uint8_t*> (&seq->body) + before);
						last->body.size = 4000;
						break;
					}
				}
			}
			RawChanges changes;
			for (auto& [id, list] : points)
				changes.add (id, list);
			Block block (2, int (frames));
			block.data.inputEvents = &events;
			block.data.inputParameterChanges = &changes;
			ASSERT_EQ (vst3.p->process (block.data), kResultOk);
			lv2.run (frames);

			for (uint32_t i = 0; i < frames; ++i)
			{
				ASSERT_TRUE (sameBits (lv2.left[i], block.f32[0][i]))
				    << "frame " << blockStart + i << ": " << lv2.left[i] << " vs " << block.f32[0][i];
				ASSERT_TRUE (sameBits (lv2.right[i], block.f32[1][i])) << "frame " << blockStart + i;
				energy += std::fabs (lv2.left[i]);
			}
			blockStart += frames;
		}
		EXPECT_GT (energy, 1.0); // the notes sounded
		lilv_instance_deactivate (lv2.instance);
	}
}

void collectPort (const char* symbol, void* user, const void* value, uint32_t size, uint32_t)
{
	if (size == sizeof (float))
		(*static_cast<std::map<std::string, float>*> (user))[symbol] = *static_cast<const float*> (value);
}

std::string portSymbol (int32_t id)
{
	std::string symbol = specs[id].name;
	for (char& ch : symbol)
		ch = ch == ' ' ? '_' : char (std::tolower (ch));
	return symbol;
}

// The control ports' values for a saved state.
const void* portValue (const char* symbol, void* user, uint32_t* size, uint32_t* type)
{
	auto* source = static_cast<std::pair<Lv2Instance*, LV2_URID>*> (user);
	for (int32_t id = 0; id < kNumParams; ++id)
		if (portSymbol (id) == symbol)
		{
			*size = sizeof (float);
			*type = source->second;
			return &source->first->controls[id];
		}
	*size = 0;
	return nullptr;
}

// Sets the skin through a patch:Set and reads back what the plug-in says.
int32_t skinAfter (Lv2Instance& lv2, int32_t set)
{
	if (set >= 0)
		lv2.skinMessage (0, set);
	lv2.skinMessage (3, -1);
	lv2.run (64);
	return lv2.notifiedSkin ();
}

TEST (Lv2, FactoryPresetsSetEveryPortAndKeepTheSkin)
{
	Lv2World world (TARNO_LV2_BUNDLE);
	ASSERT_NE (world.plugin, nullptr);
	UridMap map;
	Lv2Instance lv2 (world, map, 48000);
	ASSERT_NE (lv2.instance, nullptr);
	lilv_instance_activate (lv2.instance);
	ASSERT_EQ (skinAfter (lv2, 2), 2);

	LilvNode* presetClass = lilv_new_uri (world.world, LV2_PRESETS__Preset);
	LilvNodes* related = lilv_plugin_get_related (world.plugin, presetClass);
	EXPECT_EQ (lilv_nodes_size (related), unsigned (kNumFactoryPresets));
	lilv_nodes_free (related);
	lilv_node_free (presetClass);

	for (const FactoryPreset& preset : kFactoryPresets)
	{
		SCOPED_TRACE (preset.title);
		const std::string uri = std::string (kLv2PluginUri) + "#preset-" + std::to_string (preset.number);
		LilvNode* node = lilv_new_uri (world.world, uri.c_str ());
		EXPECT_GE (lilv_world_load_resource (world.world, node), 0);
		LilvState* state = lilv_state_new_from_world (world.world, &map.map, node);
		lilv_node_free (node);
		ASSERT_NE (state, nullptr);
		EXPECT_STREQ (lilv_state_get_label (state), preset.title);
		std::map<std::string, float> ports;
		lilv_state_restore (state, lv2.instance, collectPort, &ports, 0, lv2.features ());
		lilv_state_free (state);

		ASSERT_EQ (ports.size (), size_t (kNumParams));
		for (int32_t id = 0; id < kNumParams; ++id)
		{
			const std::string symbol = portSymbol (id);
			ASSERT_EQ (ports.count (symbol), 1u) << symbol;
			EXPECT_EQ (ports[symbol], float (toPlain (id, preset.values[size_t (id)]))) << symbol;
		}
		EXPECT_EQ (skinAfter (lv2, -1), 2);
	}
}

TEST (Lv2, SavedStateBringsBackTheSkinAndPorts)
{
	Lv2World world (TARNO_LV2_BUNDLE);
	ASSERT_NE (world.plugin, nullptr);
	const LV2_Feature* none[] = {nullptr};
	EXPECT_EQ (lilv_plugin_instantiate (world.plugin, 48000, none), nullptr); // urid:map is required
	UridMap map;
	Lv2Instance first (world, map, 48000);
	ASSERT_NE (first.instance, nullptr);
	lilv_instance_activate (first.instance);
	EXPECT_EQ (skinAfter (first, -1), kSkinOriginal);
	EXPECT_EQ (skinAfter (first, 1), 1);
	EXPECT_EQ (skinAfter (first, 9), 1); // out of range: kept
	first.controls[kSquareParam] = 12.5f;

	std::pair<Lv2Instance*, LV2_URID> source {&first, map.id (LV2_ATOM__Float)};
	LilvState* saved = lilv_state_new_from_instance (world.plugin, first.instance, &map.map, nullptr, nullptr,
	                                                 nullptr, nullptr, portValue, &source, 0, nullptr);
	ASSERT_NE (saved, nullptr);
	char* text = lilv_state_to_string (world.world, &map.map, &map.unmap, saved, "urn:tarno:session", nullptr);
	lilv_state_free (saved);
	ASSERT_NE (text, nullptr);
	LilvState* loaded = lilv_state_new_from_string (world.world, &map.map, text);
	lilv_free (text);
	ASSERT_NE (loaded, nullptr);

	Lv2Instance second (world, map, 48000);
	ASSERT_NE (second.instance, nullptr);
	lilv_instance_activate (second.instance);
	std::map<std::string, float> ports;
	lilv_state_restore (loaded, second.instance, collectPort, &ports, 0, second.features ());
	lilv_state_free (loaded);
	EXPECT_EQ (ports["square"], 12.5f);
	// The restore is announced on the notify port without being asked.
	second.run (32);
	EXPECT_EQ (second.notifiedSkin (), 1);

	// Stored values of the wrong type, size or range leave the skin alone.
	struct Stored
	{
		LV2_URID type;
		size_t size;
		int32_t value;
		int32_t expected;
	};
	const LV2_URID intType = map.id (LV2_ATOM__Int), floatType = map.id (LV2_ATOM__Float);
	const auto* iface = static_cast<const LV2_State_Interface*> (
	    lilv_instance_get_extension_data (second.instance, LV2_STATE__interface));
	ASSERT_NE (iface, nullptr);
	for (const Stored& s : {Stored {intType, 4, 7, 1}, Stored {intType, 4, -1, 1}, Stored {floatType, 4, 2, 1},
	                        Stored {intType, 8, 2, 1}, Stored {intType, 0, 2, 1}, Stored {0, 4, 2, 1},
	                        Stored {intType, 4, 2, 2}})
	{
		struct Handle
		{
			Stored s;
			LV2_URID key;
			int32_t bytes[2];
		} h {s, map.id (kLv2SkinUri), {s.value, s.value}};
		auto retrieve = [] (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
		                    uint32_t* flags) -> const void* {
			auto* self = static_cast<Handle*> (handle);
			*size = self->s.size;
			*type = self->s.type;
			*flags = LV2_STATE_IS_POD;
			return key == self->key && self->s.size > 0 ? static_cast<const void*> (self->bytes) : nullptr;
		};
		EXPECT_EQ (iface->restore (lilv_instance_get_handle (second.instance), retrieve, &h, 0, nullptr),
		           LV2_STATE_SUCCESS);
		EXPECT_EQ (skinAfter (second, -1), s.expected) << "type " << s.type << " size " << s.size << " value " << s.value;
	}
}

TEST (Lv2, RunAllocatesNothing)
{
	if (!Allocations::active ())
		GTEST_SKIP () << "allocation hooks are off under sanitizers";
	Lv2World world (TARNO_LV2_BUNDLE);
	ASSERT_NE (world.plugin, nullptr);
	UridMap map;
	Allocations::count (true);
	Lv2Instance lv2 (world, map, 48000);
	Allocations::count (false);
	ASSERT_NE (lv2.instance, nullptr);
	EXPECT_GT (Allocations::counted (), 0); // the hooks see the plug-in's allocations
	lilv_instance_activate (lv2.instance);

	long counted = 0;
	for (int block = 0; block < 8; ++block)
	{
		lv2.midi (0, {0x90, uint8_t (60 + block), 100});
		lv2.midi (10, {0xE0, 0x10, 0x50});
		lv2.midi (20, {0xB0, kMidiModWheel, 64});
		lv2.midi (30, {0xB0, kMidiSustain, uint8_t (block % 2 ? 0 : 127)});
		lv2.midi (40, {0xF0, 0x01, 0x02, 0xF7});
		lv2.skinMessage (50, block % 3);
		lv2.skinMessage (60, -1);
		lv2.midi (300, {0xB0, kMidiAllNotesOff, 0});
		lv2.controls[block % kNumParams] += 1.f;
		Allocations::count (true);
		lv2.run (block % 2 ? 1024 : 333);
		Allocations::count (false);
		counted += Allocations::counted ();
	}
	EXPECT_EQ (counted, 0);
}

// Sequences of random bytes behind a valid header (sizes, frames out of
// order or beyond the block, truncated objects): no read outside them, and
// the plug-in goes on playing and answering.
TEST (Lv2, RandomSequencesAreReadSafely)
{
	Lv2World world (TARNO_LV2_BUNDLE);
	ASSERT_NE (world.plugin, nullptr);
	UridMap map;
	Lv2Instance lv2 (world, map, 48000);
	ASSERT_NE (lv2.instance, nullptr);
	lilv_instance_activate (lv2.instance);
	const LV2_URID types[] = {map.id (LV2_MIDI__MidiEvent), map.id (LV2_ATOM__Object), 12345};
	uint32_t seed = 7;
	auto random = [&seed] { return seed = seed * 1664525u + 1013904223u; };
	for (int round = 0; round < 300; ++round)
	{
		// A buffer of exactly the sequence's size, so that a memory checker
		// sees any read beyond it.
		const uint32_t used = (random () % 512) & ~7u;
		std::vector<uint64_t> buffer ((sizeof (LV2_Atom_Sequence) + used) / 8);
		auto* seq = reinterpret_cast<LV2_Atom_Sequence*> (buffer.data ());
		auto* bytes = reinterpret_cast<uint8_t*> (seq + 1);
		for (uint32_t i = 0; i < used; ++i)
			bytes[i] = uint8_t (random () >> 24);
		// Some events with plausible headers among the noise.
		for (uint32_t at = 0; at + 16 <= used; at += 8 * (1 + random () % 6))
		{
			auto* event = reinterpret_cast<LV2_Atom_Event*> (bytes + at);
			event->time.frames = int64_t (random () % 300) - 50;
			event->body.type = types[random () % 3];
			event->body.size = random () % 40;
		}
		seq->atom.type = map.id (LV2_ATOM__Sequence);
		seq->atom.size = uint32_t (sizeof (LV2_Atom_Sequence_Body)) + used;
		lilv_instance_connect_port (lv2.instance, Lv2Instance::kControlPort, seq);
		lv2.run (256);
		for (uint32_t i = 0; i < 256; ++i)
			ASSERT_TRUE (std::isfinite (lv2.left[i])) << "round " << round;
	}
	lilv_instance_connect_port (lv2.instance, Lv2Instance::kControlPort, lv2.control);
	const int32_t skin = skinAfter (lv2, -1);
	EXPECT_TRUE (skin >= 0 && skin < kNumSkins) << skin;
	EXPECT_EQ (skinAfter (lv2, 1), 1);
}

} // namespace

#endif
