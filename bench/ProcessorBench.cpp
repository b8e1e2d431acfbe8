// The default patch's held note through the processor: one 512-sample
// block with no events per iteration, 32-bit stereo, on the fastest path
// (the processor's own choice). Compare with DefaultNote on that path: the
// block's cost beyond the engine's is the processor's (queues, events, the
// copy to both channels).
#include "formats/vst3/Processor.h"
#include "tests/ProcessUtil.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr int32 kBlockSamples = 512;

void ProcessorBlock (benchmark::State& state)
{
	const double rate = static_cast<double> (state.range (0));
	IPtr<Tarno::Processor> p =
	    owned (static_cast<Tarno::Processor*> (static_cast<IAudioProcessor*> (Tarno::Processor::create (nullptr))));
	p->initialize (nullptr);
	ProcessSetup setup = {kRealtime, kSample32, kBlockSamples, rate};
	p->setupProcessing (setup);
	p->setActive (true);
	p->setProcessing (true);

	std::vector<float> left (kBlockSamples), right (kBlockSamples);
	float* channels[2] = {left.data (), right.data ()};
	AudioBusBuffers bus = {};
	bus.numChannels = 2;
	bus.channelBuffers32 = channels;
	ProcessData data = {};
	data.numSamples = kBlockSamples;
	data.symbolicSampleSize = kSample32;
	data.numOutputs = 1;
	data.outputs = &bus;

	TarnoTest::RawEvents note;
	note.noteOn (0, 0, 60, 0.8f);
	data.inputEvents = &note;
	p->process (data);
	data.inputEvents = nullptr;
	for (int i = 0; i < 10; ++i) // past the attack
		p->process (data);

	for (auto _ : state)
	{
		p->process (data);
		benchmark::DoNotOptimize (left[kBlockSamples - 1]);
	}
	state.SetItemsProcessed (state.iterations () * kBlockSamples);
	using benchmark::Counter;
	const auto perSample = Counter::Flags (Counter::kIsIterationInvariantRate | Counter::kInvert);
	state.counters["ns_per_sample"] = Counter (kBlockSamples * 1e-9, perSample);
	state.counters["core_share_pct"] = Counter (kBlockSamples / (100.0 * rate), perSample);

	p->setProcessing (false);
	p->setActive (false);
	p->terminate ();
}

BENCHMARK (ProcessorBlock)->ArgName ("rate")->Arg (48000)->Unit (benchmark::kMicrosecond);

} // namespace
