// Cost of one kernel block, for the reference kernel and for the optimised one on every
// vector unit this machine has, at each setting of KernelWorkload. The real-time factor
// is the block period (64 / 11025 s) divided by the time per block: how many times faster
// than real time the kernel runs. Also the carrier generator, reference and optimised, and
// the floor under the kernel's filters on each vector unit (CascadeCeiling.h).

#include "engine/CarrierGenerator.h"
#include "CascadeCeiling.h"
#include "engine/ChannelBank.h"
#include "engine/FastCarrierGenerator.h"
#include "engine/FastVocoderKernel.h"
#include "KernelWorkload.h"
#include "engine/VocoderKernel.h"

#include <array>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

void realTimeFactor(benchmark::State& state) {
    state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * BLOCK_SIZE / kEngineRate,
                                                      benchmark::Counter::kIsRate);
}

template <class Kernel, class... PathArgument>
void runKernel(benchmark::State& state, KernelWorkload::Setting setting, PathArgument... path) {
    const KernelWorkload workload(setting);
    ChannelBank bank;
    bank.initialise(false, workload.width());
    {
        Kernel kernel(bank, path...);
        workload.settle(kernel);
        // The kernel scales its inputs in place, so every block needs a fresh copy; the
        // copies are made a batch at a time outside the timed part, which is the kernel's
        // block alone. A batch (128 KiB) stays in the second-level cache.
        constexpr std::size_t kBatch = 128;
        std::array<std::array<double, BLOCK_SIZE>, kBatch> carriers{}, modulators{};
        std::array<double, BLOCK_SIZE> left{}, right{};
        std::size_t b = 0, i = kBatch;
        for (auto _ : state) {
            if (i == kBatch) {
                state.PauseTiming();
                for (i = 0; i < kBatch; ++i) workload.load(b++, carriers[i].data(), modulators[i].data());
                i = 0;
                state.ResumeTiming();
            }
            kernel.process(workload.params(), carriers[i].data(), modulators[i].data(), left.data(), right.data());
            ++i;
            benchmark::DoNotOptimize(left.data());
            benchmark::DoNotOptimize(right.data());
        }
    }
    bank.release();
    realTimeFactor(state);
}

template <class Generator, class... PathArgument>
void runGenerator(benchmark::State& state, PathArgument... path) {
    const KernelWorkload workload(KernelWorkload::Setting::Busy); // the chord: three voices
    ChannelBank bank;
    bank.initialise(false, workload.width());
    {
        Generator generator(bank, path...);
        const std::array<double, kChannels> values{};
        std::array<double, BLOCK_SIZE> out{};
        for (auto _ : state) {
            generator.generate(workload.params(), values, out.data());
            benchmark::DoNotOptimize(out.data());
        }
    }
    bank.release();
    realTimeFactor(state);
}

// The block's lane-sections as full groups of the unit's width (rounded up to whole pairs
// of steps): five-section half-band filters of the bank side by side, on a voice.
template <int W>
void runCeiling(benchmark::State& state, void (*run)(LaneGroup<W, 5>&, const double*, int, double*)) {
    const KernelWorkload workload(KernelWorkload::Setting::Plain);
    ChannelBank bank;
    bank.initialise(false, workload.width());
    const int laneSections = blockLaneSections(bank);
    const int perStep = W * 5;
    int steps = (laneSections + perStep - 1) / perStep;
    steps += steps & 1;
    {
        LaneGroup<W, 5> group{};
        for (int lane = 0; lane < W; ++lane) {
            BiquadCascade& filter = lane < kOctaves - 1 ? bank.modulatorDecimation[lane]
                                                        : bank.leftInterpolation[lane - (kOctaves - 1)];
            const double* taps = filter.state().tapSt.taps;
            group.gain[lane] = taps[0];
            for (int s = 0; s < 5; ++s)
                for (int j = 0; j < 4; ++j) group.taps[s][j][lane] = taps[1 + 4 * s + j];
        }
        std::vector<double> in(static_cast<std::size_t>(steps));
        std::vector<double> out(in.size() * W);
        std::array<double, BLOCK_SIZE> carrier{}, modulator{};
        for (int i = 0; i < steps; i += BLOCK_SIZE) {
            workload.load(static_cast<std::size_t>(i / BLOCK_SIZE), carrier.data(), modulator.data());
            for (int j = 0; j < BLOCK_SIZE && i + j < steps; ++j) in[i + j] = modulator[j];
        }
        for (auto _ : state) {
            run(group, in.data(), steps, out.data());
            benchmark::DoNotOptimize(out.data());
        }
    }
    bank.release();
    // A label, not a counter: the CSV report wants the same counters in every row.
    state.SetLabel(std::to_string(laneSections) + " filter sections");
    realTimeFactor(state);
}

// Names as run-all reads them: Kernel/<kernel>/<setting>, Ceiling/<unit>/filters,
// Generator/<generator>.
const bool registered = [] {
    for (KernelWorkload::Setting setting : KernelWorkload::kSettings) {
        const std::string suffix = std::string("/") + KernelWorkload::name(setting);
        benchmark::RegisterBenchmark(("Kernel/reference" + suffix).c_str(), [setting](benchmark::State& s) {
            runKernel<VocoderKernel>(s, setting);
        })->Unit(benchmark::kMicrosecond);
        for (LanePath path : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512}) {
            if (!lanePathRuns(path)) continue;
            benchmark::RegisterBenchmark(
                (std::string("Kernel/optimised-") + lanePathName(path) + suffix).c_str(),
                [setting, path](benchmark::State& s) { runKernel<FastVocoderKernel>(s, setting, path); })
                ->Unit(benchmark::kMicrosecond);
        }
    }
#if QUORVEL_X86_LANES
    if (lanePathRuns(LanePath::Avx512))
        benchmark::RegisterBenchmark("Ceiling/avx512/filters", [](benchmark::State& s) {
            runCeiling<8>(s, runFullGroupAvx512);
        })->Unit(benchmark::kMicrosecond);
    if (lanePathRuns(LanePath::Avx2))
        benchmark::RegisterBenchmark("Ceiling/avx2/filters", [](benchmark::State& s) {
            runCeiling<4>(s, runFullGroupAvx2);
        })->Unit(benchmark::kMicrosecond);
#endif
    benchmark::RegisterBenchmark("Generator/reference", [](benchmark::State& s) {
        runGenerator<CarrierGenerator>(s);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Generator/optimised", [](benchmark::State& s) {
        runGenerator<FastCarrierGenerator>(s, bestLanePath());
    })->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
