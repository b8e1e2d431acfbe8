// Cost of one full repaint of the editor panel (skin and overlay) through
// the Cairo canvas, and the share of one core at the editor's ten repaints a
// second while idle.
#ifdef TARNO_HAVE_CAIRO_CANVAS

#include "editor/CairoCanvas.h"
#include "editor/Overlay.h"
#include "editor/SkinPainter.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 860, kHeight = 530;
constexpr double kRepaintsPerSecond = 10.0;

void BM_Repaint (benchmark::State& state)
{
	const auto skin = static_cast<int32_t> (state.range (0));
	Tarno::CairoCanvas canvas (kWidth, kHeight, Tarno::Rgb{20, 34, 38});
	const Tarno::ParamBlock values = Tarno::kDefaultParams;
	for (auto _ : state)
	{
		Tarno::paintSkin (canvas, skin, values, -1);
		Tarno::paintOverlay (canvas, values, skin);
		benchmark::ClobberMemory ();
	}
	// Inverted rates: seconds per (iterations / k) = k · seconds per repaint.
	const auto perRepaint = benchmark::Counter::kIsRate | benchmark::Counter::kInvert;
	state.counters["ms_per_repaint"] = benchmark::Counter (double (state.iterations ()) / 1e3, perRepaint);
	state.counters["core_share_at_10_per_s_pct"] =
	    benchmark::Counter (double (state.iterations ()) / (kRepaintsPerSecond * 100.0), perRepaint);
}

} // namespace

BENCHMARK (BM_Repaint)->Name ("Repaint/skin")->Arg (0)->Arg (1)->Arg (2)->Unit (benchmark::kMillisecond);

#endif // TARNO_HAVE_CAIRO_CANVAS
