// Cost of one kernel block. The real-time factor is the block period (64 / 11025 s)
// divided by the time per block: how many times faster than real time the kernel runs.

#include "ChannelBank.h"
#include "VocoderKernel.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <numbers>

namespace {

void runKernel(benchmark::State& state, const EngineParams& params, FilterWidth width) {
    ChannelBank bank;
    bank.initialise(false, width);
    VocoderKernel kernel(bank);
    // A second of input, prepared beforehand; the kernel overwrites its inputs, so each
    // block is copied in (a negligible part of the cost).
    constexpr int kBlocks = 172;
    std::array<std::array<double, BLOCK_SIZE>, kBlocks> modulatorInput{}, carrierInput{};
    for (int b = 0; b < kBlocks; ++b) {
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            const long t = long(b) * BLOCK_SIZE + i;
            const double x = double(t) / kEngineRate;
            modulatorInput[b][i] = 8000 * std::sin(2 * std::numbers::pi * 180 * x) * (0.6 + 0.4 * std::sin(9 * x)) +
                                   3000 * std::sin(2 * std::numbers::pi * 2300 * x);
            carrierInput[b][i] = (t % 98) < 49 ? 15000.0 : -15000.0;
        }
    }
    std::array<double, BLOCK_SIZE> carrier{}, modulator{}, left{}, right{};
    int b = 0;
    for (auto _ : state) {
        carrier = carrierInput[b];
        modulator = modulatorInput[b];
        b = b + 1 == kBlocks ? 0 : b + 1;
        kernel.process(params, carrier.data(), modulator.data(), left.data(), right.data());
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
    }
    bank.release();
    state.counters["x_realtime"] = benchmark::Counter(
        double(state.iterations()) * BLOCK_SIZE / kEngineRate, benchmark::Counter::kIsRate);
}

void KernelPlainVocoder(benchmark::State& state) { runKernel(state, EngineParams{}, FilterWidth::Normal); }

void KernelBusy(benchmark::State& state) {
    EngineParams params;
    params.enhance = true;
    params.echoTime.fill(40);
    params.echo.fill(0.6);
    params.regeneration.fill(0.8);
    params.distortion.fill(0.5);
    params.warp.fill(0.4);
    params.pan.fill(-0.3);
    params.sibilance = 0.5;
    params.mix = 0.2;
    runKernel(state, params, FilterWidth::Wide);
}

} // namespace

BENCHMARK(KernelPlainVocoder)->Unit(benchmark::kMicrosecond);
BENCHMARK(KernelBusy)->Unit(benchmark::kMicrosecond);
