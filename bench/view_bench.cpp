// The response sampling, the partial redraw and the full paint.

#include "bench/allocation_counter.h"
#include "bench/bench_setup.h"

#include "model/filter_state.h"
#include "model/rounding.h"
#include "view/layout.h"
#include "view/paint.h"
#include "view/response_view.h"
#include "view/surface.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

void BM_EvaluateSweep(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    FilterState filter;
    setUpRoots(filter, static_cast<int>(state.range(1)), 0);
    ResponseView view;
    view.clearResponseRows(static_cast<std::size_t>(width));
    const Rect magnitude{0, 10, width, 374};
    const Rect phase{0, 395, width, 576};
    const ResponseAxes axes = responseAxes(magnitude, phase, filter);
    for (auto _ : state) {
        view.sampleResponse(axes, filter);
        benchmark::DoNotOptimize(view.magnitudeRows().data());
        benchmark::ClobberMemory();
    }
    state.counters["columns/s"] = benchmark::Counter(static_cast<double>(width) * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EvaluateSweep)
    ->ArgsProduct({{545, 1920, 3840}, {1, 20}})
    ->Unit(benchmark::kMicrosecond);

void BM_PartialRedraw(benchmark::State& state)
{
    FilterState filter;
    BenchDisplay display;
    const int slotCount = static_cast<int>(state.range(2));
    setUpRoots(filter, slotCount, 0);
    setUpDisplay(display, filter, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    int variant = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        variant = 1 - variant;
        state.PauseTiming();
        setUpRoots(filter, slotCount, variant);
        state.ResumeTiming();
        const std::uint64_t before = allocationCount();
        partialRedraw(display.plots, display.layout, filter, display.fonts, true);
        allocations += allocationCount() - before;
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PartialRedraw)
    ->Args({800, 600, 1})
    ->Args({800, 600, 20})
    ->Args({3840, 2160, 1})
    ->Args({3840, 2160, 20})
    ->Unit(benchmark::kMicrosecond);

// The same redraw with the precision view on: the filter rounded to Q15
// (scaling, rounding, roots) and the rounded |H| sampled at every column,
// what a drag step adds with the overlay shown.
void BM_PartialRedrawQ15(benchmark::State& state)
{
    FilterState filter;
    BenchDisplay display;
    const int slotCount = static_cast<int>(state.range(2));
    setUpRoots(filter, slotCount, 0);
    display.plots.precision = Precision::Q15;
    setUpDisplay(display, filter, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    int variant = 0;
    for (auto _ : state) {
        variant = 1 - variant;
        state.PauseTiming();
        setUpRoots(filter, slotCount, variant);
        state.ResumeTiming();
        partialRedraw(display.plots, display.layout, filter, display.fonts, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PartialRedrawQ15)
    ->Args({800, 600, 1})
    ->Args({800, 600, 20})
    ->Args({3840, 2160, 20})
    ->Unit(benchmark::kMicrosecond);

void BM_FullPaint(benchmark::State& state)
{
    FilterState filter;
    BenchDisplay display;
    setUpRoots(filter, static_cast<int>(state.range(2)), 0);
    setUpDisplay(display, filter, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const Rect all{0, 0, surfaceWidth(display.plots.surface), surfaceHeight(display.plots.surface)};
    for (auto _ : state) {
        fullPaint(display.plots, display.layout, filter, display.fonts, all);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullPaint)
    ->Args({800, 600, 1})
    ->Args({800, 600, 20})
    ->Args({3840, 2160, 1})
    ->Args({3840, 2160, 20})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
