// The default patch's held note through the LV2 plug-in's run: one
// 512-frame block with an empty input sequence per iteration, 32-bit
// stereo, on the fastest path. Compare with ProcessorBlock, the same
// block through the VST 3 processor.
#if defined(TARNO_HAVE_LV2)

#include "formats/lv2/Plugin.h"
#include "params/ParamTable.h"

#include <benchmark/benchmark.h>

#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kBlockFrames = 512;

struct Map
{
	std::map<std::string, LV2_URID> ids;
	LV2_URID_Map map {this, [] (LV2_URID_Map_Handle h, const char* uri) {
		                  auto& ids = static_cast<Map*> (h)->ids;
		                  return ids.emplace (uri, LV2_URID (ids.size () + 1)).first->second;
	                  }};
};

void Lv2RunBlock (benchmark::State& state)
{
	const double rate = static_cast<double> (state.range (0));
	Map urids;
	const LV2_Feature mapFeature {LV2_URID__map, &urids.map};
	const LV2_Feature* features[] = {&mapFeature, nullptr};
	auto plugin = std::make_unique<Tarno::Lv2::Plugin> ();
	if (!plugin->initialize (rate, features))
	{
		state.SkipWithError ("no instance");
		return;
	}

	std::vector<float> ports (Tarno::kNumParams), left (kBlockFrames), right (kBlockFrames);
	for (int32_t id = 0; id < Tarno::kNumParams; ++id)
	{
		ports[size_t (id)] = float (Tarno::toPlain (id, Tarno::kDefaultParams[size_t (id)]));
		plugin->connectPort (uint32_t (id), &ports[size_t (id)]);
	}
	alignas (8) uint8_t control[256] = {}, notify[256] = {};
	plugin->connectPort (Tarno::Lv2::kControlPort, control);
	plugin->connectPort (Tarno::Lv2::kOutLeftPort, left.data ());
	plugin->connectPort (Tarno::Lv2::kOutRightPort, right.data ());
	plugin->connectPort (Tarno::Lv2::kNotifyPort, notify);
	plugin->activate ();

	// The note in the first block, then empty sequences.
	LV2_Atom_Forge forge;
	lv2_atom_forge_init (&forge, &urids.map);
	LV2_Atom_Forge_Frame sequence;
	lv2_atom_forge_set_buffer (&forge, control, sizeof control);
	lv2_atom_forge_sequence_head (&forge, &sequence, 0);
	const uint8_t noteOn[3] = {0x90, 60, 102};
	lv2_atom_forge_frame_time (&forge, 0);
	lv2_atom_forge_atom (&forge, 3, urids.map.map (&urids, LV2_MIDI__MidiEvent));
	lv2_atom_forge_write (&forge, noteOn, 3);
	auto* input = reinterpret_cast<LV2_Atom_Sequence*> (control);
	auto* output = reinterpret_cast<LV2_Atom*> (notify);
	output->size = sizeof notify - sizeof (LV2_Atom);
	plugin->run (kBlockFrames);
	input->atom.size = sizeof (LV2_Atom_Sequence_Body);
	for (int i = 0; i < 10; ++i) // past the attack
	{
		output->size = sizeof notify - sizeof (LV2_Atom);
		plugin->run (kBlockFrames);
	}

	for (auto _ : state)
	{
		output->size = sizeof notify - sizeof (LV2_Atom);
		plugin->run (kBlockFrames);
		benchmark::DoNotOptimize (left[kBlockFrames - 1]);
	}
	state.SetItemsProcessed (state.iterations () * kBlockFrames);
	using benchmark::Counter;
	const auto perSample = Counter::Flags (Counter::kIsIterationInvariantRate | Counter::kInvert);
	state.counters["ns_per_sample"] = Counter (kBlockFrames * 1e-9, perSample);
	state.counters["core_share_pct"] = Counter (kBlockFrames / (100.0 * rate), perSample);
}

BENCHMARK (Lv2RunBlock)->ArgName ("rate")->Arg (48000)->Unit (benchmark::kMicrosecond);

} // namespace

#endif
