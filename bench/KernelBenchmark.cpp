// Cost of one kernel block, for the reference kernel and for the optimised one on every
// vector unit this machine has, at each setting of KernelWorkload. The real-time factor
// is the block period (64 / 11025 s) divided by the time per block: how many times faster
// than real time the kernel runs. Also the carrier generator, reference and optimised.

#include "CarrierGenerator.h"
#include "ChannelBank.h"
#include "FastCarrierGenerator.h"
#include "FastVocoderKernel.h"
#include "KernelWorkload.h"
#include "VocoderKernel.h"

#include <array>
#include <benchmark/benchmark.h>
#include <string>

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
        std::array<double, BLOCK_SIZE> carrier{}, modulator{}, left{}, right{};
        std::size_t b = 0;
        for (auto _ : state) {
            workload.load(b++, carrier.data(), modulator.data());
            kernel.process(workload.params(), carrier.data(), modulator.data(), left.data(), right.data());
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

// Names as run-all reads them: Kernel/<kernel>/<setting>, Generator/<generator>.
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
    benchmark::RegisterBenchmark("Generator/reference", [](benchmark::State& s) {
        runGenerator<CarrierGenerator>(s);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Generator/optimised", [](benchmark::State& s) {
        runGenerator<FastCarrierGenerator>(s, bestLanePath());
    })->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
