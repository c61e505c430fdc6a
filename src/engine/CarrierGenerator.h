#pragma once

#include "engine/ChannelBank.h"
#include "engine/EngineParams.h"

#include <array>
#include <cstdint>

// The internal carrier: a pulse wave, or a chord of three pulse voices, generated at four
// times the engine rate and brought down by two half-band decimators. It also keeps the
// sample-and-hold clock that freezes and releases the channel values.
// Thread: owner (the thread that runs the block loop).
class CarrierGenerator {
public:
    static constexpr int kOversampling = 4;
    static constexpr int kRawLength = BLOCK_SIZE * kOversampling;

    explicit CarrierGenerator(ChannelBank& bank) : bank_(bank) {}

    // Fills `out` with one block. `values` are the kernel's channel values of the previous
    // block (the lowest six steer tracking). Returns the period used for this block.
    std::int32_t generate(const EngineParams& params, const std::array<double, kChannels>& values, double* out);

    // Whether a sample-and-hold period ended during the last block.
    bool shTick() const { return shTick_; }
    bool alternationPhase() const { return phase_; }
    std::uint32_t counter() const { return counter_; }
    // The last block before decimation, at four times the engine rate.
    const std::array<double, kRawLength>& rawBlock() const { return raw_; }
    // Sets the sample counter, which otherwise only ever counts on: tests reach its
    // wrap-around without running 27 hours of blocks.
    void setCounter(std::uint32_t counter) { counter_ = counter; }

    // The tracked period for a knob period and the lowest channel values; the knob's period
    // when the values carry no centroid (all zero).
    static std::int32_t trackedPeriod(std::int32_t knobPeriod, const std::array<double, kChannels>& values);

    // The three voices' cycle lengths in samples at four times the engine rate: the root's
    // half period (three eighths of it in Yodel's second phase), and the chord's two upper
    // voices at ratios of it, each at least one sample.
    struct VoiceCycles {
        std::uint32_t h0 = 1, h1 = 1, h2 = 1;
    };
    static VoiceCycles voiceCycles(const EngineParams& params, std::int32_t period, bool yodelPhase);

private:
    ChannelBank& bank_;
    std::uint32_t counter_ = 0;
    bool phase_ = false;
    bool shTick_ = false;
    std::array<double, kRawLength> raw_{};
    std::array<double, kRawLength> filtered_{};
    std::array<double, kRawLength / 2> half_{};
};

// Inline: both generators take it once a block, in the middle of their own arithmetic.
inline CarrierGenerator::VoiceCycles CarrierGenerator::voiceCycles(const EngineParams& params,
                                                                    std::int32_t period, bool yodelPhase) {
    const std::uint32_t unsignedPeriod = static_cast<std::uint32_t>(period);
    VoiceCycles v;
    v.h0 = params.yodel && yodelPhase ? unsignedPeriod * 3 / 8 : unsignedPeriod / 2;
    if (v.h0 == 0) v.h0 = 1; // a cycle of at least one sample keeps the modulo defined
    if (params.chordFirst) {
        v.h1 = static_cast<std::uint32_t>(v.h0 * 0.840896);
        v.h2 = static_cast<std::uint32_t>(v.h0 * 0.707107);
    } else {
        v.h1 = static_cast<std::uint32_t>(v.h0 * 0.793701);
        v.h2 = static_cast<std::uint32_t>(v.h0 * 0.66742);
    }
    if (v.h1 == 0) v.h1 = 1;
    if (v.h2 == 0) v.h2 = 1;
    return v;
}
