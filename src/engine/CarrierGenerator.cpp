#include "engine/CarrierGenerator.h"

#include <cmath>

std::int32_t CarrierGenerator::trackedPeriod(std::int32_t knobPeriod, const std::array<double, kChannels>& values) {
    const double sum = values[0] + values[1] + values[2] + values[3] + values[4] + values[5];
    // No energy in the low channels means no centroid: the knob keeps the pitch.
    if (!(sum > 0.0)) return knobPeriod;
    const double centroid =
        (1 * values[1] + 2 * values[2] + 3 * values[3] + 4 * values[4] + 5 * values[5]) / sum;
    const double period = 100.0 * std::exp(-0.231 * centroid) + 0.95 * knobPeriod;
    if (!(period >= 2.0) || period > 2147483647.0) return knobPeriod;
    return static_cast<std::int32_t>(period);
}

std::int32_t CarrierGenerator::generate(const EngineParams& params, const std::array<double, kChannels>& values,
                                        double* out) {
    const double c = params.chord ? 10000.0 : 20000.0;
    const std::int32_t period = params.track ? trackedPeriod(params.period, values) : params.period;
    shTick_ = false;

    const auto [h0, h1, h2] = voiceCycles(params, period, phase_);
    const std::uint32_t shPeriod = params.sampleHoldPeriod > 0 ? static_cast<std::uint32_t>(params.sampleHoldPeriod) : 0;

    const double duty = params.duty;
    for (int i = 0; i < kRawLength; ++i) {
        const std::uint32_t n = counter_;
        counter_ = n + 1;
        if (shPeriod != 0 && counter_ % shPeriod == 0) {
            shTick_ = true;
            phase_ = !phase_;
        }
        double s = (n + 1) % h0 >= h0 * duty ? -c : c;
        if (params.chord) {
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

    bank_.generatorDecimation[0].process(raw_.data(), filtered_.data(), kRawLength);
    for (int i = 0; i < kRawLength / 2; ++i) half_[i] = filtered_[2 * i];
    bank_.generatorDecimation[1].process(half_.data(), filtered_.data(), kRawLength / 2);
    for (int i = 0; i < BLOCK_SIZE; ++i) out[i] = filtered_[2 * i];
    return period;
}
