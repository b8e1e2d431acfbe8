// Cost of one full repaint of the editor panel (skin and overlay) through
// the Cairo canvas, and the share of one core at the editor's ten repaints a
// second:
//  - Repaint/skin/N: the same panel again and again (nothing changed);
//  - Repaint/drag/N: every repaint shows a new value of one control, the one
//    being dragged (the editor repaints on every edit);
//  - Repaint/first/N: on a canvas that has kept nothing yet (a newly opened
//    editor window);
//  - Repaint/scale/N/P: Repaint/skin at content scale P percent (the panel
//    drawn through ScaledCanvas onto a canvas of the window's pixel size).
// The Cairo canvas keeps the pictures of the anti-aliased shapes it has
// drawn, so the three differ by how many shapes it meets for the first time.
#ifdef TARNO_HAVE_CAIRO_CANVAS

#include "editor/canvas/CairoCanvas.h"
#include "editor/skins/PanelLayout.h"
#include "editor/canvas/ScaledCanvas.h"
#include "editor/skins/SkinPainter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int kWidth = 860, kHeight = 530;
constexpr double kRepaintsPerSecond = 10.0;
constexpr Tarno::Rgb kPanel = {20, 34, 38};

void repaint (Tarno::CairoCanvas& canvas, int32_t skin, const Tarno::ParamBlock& values, int32_t active,
              double f = 1.0)
{
	Tarno::paintPanel (canvas, skin, values, active, f);
	benchmark::ClobberMemory ();
}

void setCounters (benchmark::State& state)
{
	// Inverted rates: seconds per (iterations / k) = k · seconds per repaint.
	const auto perRepaint = benchmark::Counter::kIsRate | benchmark::Counter::kInvert;
	state.counters["ms_per_repaint"] = benchmark::Counter (double (state.iterations ()) / 1e3, perRepaint);
	state.counters["core_share_at_10_per_s_pct"] =
	    benchmark::Counter (double (state.iterations ()) / (kRepaintsPerSecond * 100.0), perRepaint);
}

void BM_Repaint (benchmark::State& state)
{
	const auto skin = static_cast<int32_t> (state.range (0));
	Tarno::CairoCanvas canvas (kWidth, kHeight, kPanel);
	const Tarno::ParamBlock values = Tarno::kDefaultParams;
	for (auto _ : state)
		repaint (canvas, skin, values, -1);
	setCounters (state);
}

void BM_RepaintDragging (benchmark::State& state)
{
	const auto skin = static_cast<int32_t> (state.range (0));
	Tarno::CairoCanvas canvas (kWidth, kHeight, kPanel);
	Tarno::ParamBlock values = Tarno::kDefaultParams;
	int step = 0;
	for (auto _ : state)
	{
		// Steps of the golden ratio, modulo 1: a value not shown before.
		values[Tarno::kAttackParam] = std::fmod (0.61803398875 * ++step, 1.0);
		repaint (canvas, skin, values, Tarno::kAttackParam);
	}
	setCounters (state);
}

void BM_RepaintFirst (benchmark::State& state)
{
	const auto skin = static_cast<int32_t> (state.range (0));
	const Tarno::ParamBlock values = Tarno::kDefaultParams;
	std::unique_ptr<Tarno::CairoCanvas> canvas;
	for (auto _ : state)
	{
		state.PauseTiming ();
		canvas = std::make_unique<Tarno::CairoCanvas> (kWidth, kHeight, kPanel);
		state.ResumeTiming ();
		repaint (*canvas, skin, values, -1);
	}
	setCounters (state);
}

void BM_RepaintScaled (benchmark::State& state)
{
	const auto skin = static_cast<int32_t> (state.range (0));
	const double f = double (state.range (1)) / 100.0;
	Tarno::CairoCanvas canvas (Tarno::scaledLength (kWidth, f), Tarno::scaledLength (kHeight, f), kPanel);
	for (auto _ : state)
		repaint (canvas, skin, Tarno::kDefaultParams, -1, f);
	setCounters (state);
}

} // namespace

BENCHMARK (BM_RepaintScaled)
	->Name ("Repaint/scale")
	->ArgsProduct ({{0, 1, 2}, {100, 150, 200}})
	->Unit (benchmark::kMillisecond);
BENCHMARK (BM_Repaint)->Name ("Repaint/skin")->Arg (0)->Arg (1)->Arg (2)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_RepaintDragging)->Name ("Repaint/drag")->Arg (0)->Arg (1)->Arg (2)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_RepaintFirst)->Name ("Repaint/first")->Arg (0)->Arg (1)->Arg (2)->Unit (benchmark::kMillisecond);

#endif // TARNO_HAVE_CAIRO_CANVAS
