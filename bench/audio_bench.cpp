// The audio thread's work per block: 10 ms at 192 kHz through a cascade of
// 20 zero pairs and 20 pole pairs, the crossfade and the limiter. The audio
// output renders its sound in blocks of at most 10 ms; the work must take
// under 5 % of the block's duration on one core.

#include "bench/allocation_counter.h"
#include "bench/bench_setup.h"

#include "model/audio_cascade.h"
#include "model/audio_engine.h"
#include "model/filter_state.h"

#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int RATE = 192000;
constexpr std::size_t BLOCK = RATE / 100;  // 10 ms

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// range(0): root slots per list (20 pairs each, or 1 single each).
// range(1): 0 for one design held, so that one cascade runs; 1 for a new
// design every half block, so that two cascades run and crossfade
// throughout, as during a drag.
void BM_AudioBlock(benchmark::State& state)
{
    const int slotCount = static_cast<int>(state.range(0));
    const bool dragging = state.range(1) != 0;
    FilterState first;
    FilterState second;
    setUpRoots(first, slotCount, 0);
    setUpRoots(second, slotCount, 1);
    const CascadeCoefficients cascades[2] = {cascadeCoefficients(first), cascadeCoefficients(second)};

    AudioEngine engine;
    engine.setCascade(cascades[0]);
    engine.setLevelDb(0.0);
    engine.setPlaying(true);
    engine.prepare(RATE);
    std::vector<float> block(BLOCK);
    // Past the fade-in.
    for (int i = 0; i < 10; ++i)
        engine.render(block.data(), block.size());

    int next = 1;
    std::uint64_t allocations = 0;
    double cpuSeconds = 0.0;
    for (auto _ : state) {
        const std::uint64_t before = allocationCount();
        const double start = threadCpuSeconds();
        if (dragging) {
            for (std::size_t half = 0; half < 2; ++half) {
                engine.setCascade(cascades[next]);
                next = 1 - next;
                engine.render(block.data() + half * BLOCK / 2, BLOCK / 2);
            }
        } else {
            engine.render(block.data(), block.size());
        }
        cpuSeconds += threadCpuSeconds() - start;
        allocations += allocationCount() - before;
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    // The share of the block's 10 ms that rendering it takes on one core, in
    // per cent: this thread's processor time, whatever else the machine runs.
    state.counters["percentOfBlock"] =
        benchmark::Counter(cpuSeconds / 0.010 * 100.0, benchmark::Counter::kAvgIterations);
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AudioBlock)->ArgsProduct({{1, 20}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace
