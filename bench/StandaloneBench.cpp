// The standalone player's audio callback (Player::process, what the JACK,
// ALSA and WASAPI callbacks call) against the engine's own per-sample cost:
// the difference is what hosting costs (the VST 3 process call, event and
// parameter lists, queues, copying out).
//
//   Standalone/callback/<block>  one callback of <block> samples with a note
//                                held and one MIDI message per block, through
//                                the bundle (Tarnovelle.vst3 in the working
//                                directory, or $TARNO_BUNDLE)
//   Standalone/plugin/<block>    the same through the host library's
//                                PluginInstance::process (the processor's
//                                own block work without the player)
//   Standalone/engine/<block>    the same note, the engine ticked directly
//
// Counters: ns_per_sample, and block_ms, the latency a block adds (block /
// 48 kHz).
#include "vst3host/Module.h"
#include "vst3host/PluginInstance.h"
#include "player/Player.h"

#include "engine/Engine.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000.0;

std::string bundle ()
{
	const char* env = std::getenv ("TARNO_BUNDLE");
	return env && *env ? env : "Tarnovelle.vst3";
}

void addCounters (benchmark::State& state, int block)
{
	state.SetItemsProcessed (state.iterations () * block);
	state.counters["ns_per_sample"] =
	    benchmark::Counter (double (block) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
	                                                   benchmark::Counter::kInvert);
	state.counters["block_ms"] = 1000.0 * block / kRate;
}

// One controller message per block, as a keyboard's modulation wheel sends.
class OneMessage : public Tarno::Standalone::Player::MidiSource
{
public:
	uint32_t count () override { return 1; }
	bool get (uint32_t, const uint8_t*& data, size_t& size, uint32_t& offset) override
	{
		value_ = uint8_t ((value_ + 1) & 0x7F);
		bytes_[2] = value_;
		data = bytes_;
		size = 3;
		offset = 0;
		return true;
	}

private:
	uint8_t bytes_[3] = {0xB0, 1, 0};
	uint8_t value_ = 0;
};

void BM_Callback (benchmark::State& state)
{
	const int block = int (state.range (0));
	Tarno::Standalone::Player player;
	std::string error;
	if (!player.open (bundle (), error) || !player.start (kRate, error))
	{
		state.SkipWithError (error.c_str ());
		return;
	}
	player.queueNote (60, 100);
	std::vector<float> left (static_cast<size_t> (block)), right (static_cast<size_t> (block));
	OneMessage midi;
	for (auto _ : state)
	{
		player.process (left.data (), right.data (), block, &midi);
		benchmark::DoNotOptimize (left.data ());
	}
	addCounters (state, block);
}

void BM_Plugin (benchmark::State& state)
{
	using namespace Tarno::Host;
	const int block = int (state.range (0));
	std::string error;
	auto module = Module::load (bundle (), error);
	const ClassInfo* instrument = module ? module->instrumentClass (error) : nullptr;
	PluginInstance plugin;
	ProcessOptions options;
	options.sampleRate = kRate;
	options.maxBlockSize = block;
	options.processMode = Steinberg::Vst::kRealtime;
	if (!instrument || plugin.create (*module, *instrument, error) != Steinberg::kResultOk ||
	    plugin.setupProcessing (options, error) != Steinberg::kResultOk ||
	    plugin.startProcessing (error) != Steinberg::kResultOk)
	{
		state.SkipWithError (error.c_str ());
		return;
	}
	Midi::Event e;
	e.type = Midi::EventType::NoteOn;
	e.data1 = 60;
	e.data2 = 100;
	plugin.midi ().translate (e, 0, plugin.events (), plugin.parameterChanges ());
	e.type = Midi::EventType::ControlChange;
	e.data1 = 1;
	for (auto _ : state)
	{
		e.data2 = uint8_t ((e.data2 + 1) & 0x7F);
		plugin.midi ().translate (e, 0, plugin.events (), plugin.parameterChanges ());
		plugin.process (block);
		benchmark::DoNotOptimize (plugin.output32 (0));
	}
	addCounters (state, block);
}

void BM_Engine (benchmark::State& state)
{
	const int block = int (state.range (0));
	Tarno::Engine engine;
	engine.prepare (kRate);
	engine.noteOn (0, 60, 100.f / 127.f);
	for (auto _ : state)
	{
		double sum = 0.0;
		for (int i = 0; i < block; ++i)
			sum += engine.tick ();
		benchmark::DoNotOptimize (sum);
	}
	addCounters (state, block);
}

} // namespace

BENCHMARK (BM_Callback)->Name ("Standalone/callback")->Arg (64)->Arg (256)->Arg (1024);
BENCHMARK (BM_Plugin)->Name ("Standalone/plugin")->Arg (64)->Arg (256)->Arg (1024);
BENCHMARK (BM_Engine)->Name ("Standalone/engine")->Arg (64)->Arg (256)->Arg (1024);
