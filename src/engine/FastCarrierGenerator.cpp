#include "engine/FastCarrierGenerator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Where each voice's cycle position is taken: sample n of the block is at n + offset.
constexpr std::uint32_t kVoiceOffset[3] = {1, 43, 104};

// The first cycle position p (0 <= p < h) for which the reference's test p >= threshold
// holds, h when none does (a NaN threshold never holds). For a whole number p the test is
// p >= ceil(threshold).
std::uint32_t firstLow(std::uint32_t h, double threshold) {
    if (!(threshold > 0.0)) return threshold <= 0.0 ? 0 : h;
    if (threshold >= h) return h;
    return static_cast<std::uint32_t>(std::ceil(threshold));
}

constexpr int kSections = 5;

// n copies of `level`, eight at a time where they fit (stores the compiler pairs into vector
// stores; the plain fill stays a store per sample).
void fillRun(double* to, int n, double level) {
    int i = 0;
    for (; i + 8 <= n; i += 8)
        for (int k = 0; k < 8; ++k) to[i + k] = level;
    for (; i < n; ++i) to[i] = level;
}

} // namespace

std::int32_t FastCarrierGenerator::generate(const EngineParams& params,
                                            const std::array<double, kChannels>& values, double* out) {
    const double c = params.chord ? 10000.0 : 20000.0;
    const std::int32_t period =
        params.track ? CarrierGenerator::trackedPeriod(params.period, values) : params.period;
    shTick_ = false;

    const auto [h0, h1, h2] = CarrierGenerator::voiceCycles(params, period, phase_);
    const std::uint32_t shPeriod =
        params.sampleHoldPeriod > 0 ? static_cast<std::uint32_t>(params.sampleHoldPeriod) : 0;

    // The runs and the tick arithmetic hold while n + 104 does not pass 2^32 - 1 in this block.
    constexpr std::uint32_t kLastPosition = kRawLength + kVoiceOffset[2];
    if (counter_ <= std::numeric_limits<std::uint32_t>::max() - kLastPosition) {
        if (shPeriod != 0) {
            // Sample i ticks when (counter + i + 1) mod shPeriod is 0.
            const std::uint32_t first = (shPeriod - (counter_ + 1) % shPeriod) % shPeriod;
            if (first < kRawLength) {
                const std::uint32_t ticks = (kRawLength - 1 - first) / shPeriod + 1;
                shTick_ = true;
                if (ticks & 1) phase_ = !phase_;
            }
        }
        pulsesByRuns(h0, h1, h2, params.duty, c, params.chord);
        counter_ += kRawLength;
    } else {
        pulsesBySample(h0, h1, h2, shPeriod, params.duty, c, params.chord);
    }
    decimate(out);
    return period;
}

void FastCarrierGenerator::pulsesByRuns(std::uint32_t h0, std::uint32_t h1, std::uint32_t h2, double duty,
                                        double c, bool chord) {
    const std::uint32_t lengths[3] = {h0, h1, h2};
    // The reference compares with h0 * duty, duty * h1 and duty * h2: the same products.
    const std::uint32_t low[3] = {firstLow(h0, h0 * duty), firstLow(h1, duty * h1), firstLow(h2, duty * h2)};
    const int voices = chord ? 3 : 1;
    std::uint32_t position[3];
    for (int v = 0; v < voices; ++v) position[v] = (counter_ + kVoiceOffset[v]) % lengths[v];
    // Runs over which no voice changes level, each filled once. The first voice gives +c
    // or -c and each chord voice adds its own, as s += c and s -= c do.
    for (int i = 0; i < kRawLength;) {
        std::uint32_t run = static_cast<std::uint32_t>(kRawLength - i);
        double level = 0.0;
        for (int v = 0; v < voices; ++v) {
            const bool high = position[v] < low[v];
            run = std::min(run, (high ? low[v] : lengths[v]) - position[v]);
            const double voice = high ? c : -c;
            level = v == 0 ? voice : level + voice;
        }
        fillRun(raw_.data() + i, static_cast<int>(run), level);
        for (int v = 0; v < voices; ++v) {
            position[v] += run;
            if (position[v] == lengths[v]) position[v] = 0;
        }
        i += static_cast<int>(run);
    }
}

void FastCarrierGenerator::pulsesBySample(std::uint32_t h0, std::uint32_t h1, std::uint32_t h2,
                                          std::uint32_t shPeriod, double duty, double c, bool chord) {
    for (int i = 0; i < kRawLength; ++i) {
        const std::uint32_t n = counter_;
        counter_ = n + 1;
        if (shPeriod != 0 && counter_ % shPeriod == 0) {
            shTick_ = true;
            phase_ = !phase_;
        }
        double s = (n + 1) % h0 >= h0 * duty ? -c : c;
        if (chord) {
            if ((n + 43) % h1 >= duty * h1)
                s -= c;
            else
                s += c;
            if ((n + 104) % h2 >= duty * h2)
                s -= c;
            else
                s += c;
        }
        raw_[i] = s;
    }
}

void FastCarrierGenerator::decimate(double* out) {
    BiquadCascade& first = bank_.generatorDecimation[0];
    BiquadCascade& second = bank_.generatorDecimation[1];
    if (!first.isInitialised() || !second.isInitialised() || first.sections() != kSections ||
        second.sections() != kSections) {
        // Filters that failed to initialise: they report it, as the reference's do.
        first.process(raw_.data(), filtered_.data(), kRawLength);
        for (int i = 0; i < kRawLength / 2; ++i) half_[i] = filtered_[2 * i];
        second.process(half_.data(), filtered_.data(), kRawLength / 2);
        for (int i = 0; i < BLOCK_SIZE; ++i) out[i] = filtered_[2 * i];
        return;
    }
    routines_->halveTwice(raw_.data(), out, {first.state().tapSt.taps, first.state().dlySt.dlyl},
                          {second.state().tapSt.taps, second.state().dlySt.dlyl});
}
