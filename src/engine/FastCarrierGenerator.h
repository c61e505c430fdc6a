#pragma once

#include "engine/CarrierGenerator.h"
#include "engine/ChannelBank.h"
#include "engine/EngineParams.h"
#include "engine/LanePath.h"

#include <array>
#include <cstdint>

// The internal carrier the block loop runs: the same 64 samples, ticks and phase as
// CarrierGenerator, bit for bit, without a division per voice and sample. Each voice's
// position in its cycle advances by one per sample, so a block is a few runs of +c and -c
// found from one remainder per voice; the sample-and-hold ticks are found the same way.
// Only a block in which the 32-bit sample counter wraps around (once in 27 hours) takes
// the remainders sample by sample, as the reference does. The two half-band decimators run
// on the bank's generator filters, in their own state and with their taps; unlike the
// reference they do not stop when an earlier call of the primitives left an error status.
// CarrierGenerator stays the plain statement this one is tested against.
// Thread: owner (the thread that runs the block loop).
class FastCarrierGenerator {
public:
    static constexpr int kRawLength = CarrierGenerator::kRawLength;

    explicit FastCarrierGenerator(ChannelBank& bank, LanePath path = bestLanePath())
        : bank_(bank), routines_(&laneRoutines(path)) {}

    // As CarrierGenerator::generate.
    std::int32_t generate(const EngineParams& params, const std::array<double, kChannels>& values,
                          double* out);

    bool shTick() const { return shTick_; }
    bool alternationPhase() const { return phase_; }
    std::uint32_t counter() const { return counter_; }
    const std::array<double, kRawLength>& rawBlock() const { return raw_; }
    // Sets the sample counter, as CarrierGenerator::setCounter.
    void setCounter(std::uint32_t counter) { counter_ = counter; }

private:
    void pulsesByRuns(std::uint32_t h0, std::uint32_t h1, std::uint32_t h2, double duty, double c,
                      bool chord);
    void pulsesBySample(std::uint32_t h0, std::uint32_t h1, std::uint32_t h2, std::uint32_t shPeriod,
                        double duty, double c, bool chord);
    void decimate(double* out);

    ChannelBank& bank_;
    const LaneRoutines* routines_;
    std::uint32_t counter_ = 0;
    bool phase_ = false;
    bool shTick_ = false;
    std::array<double, kRawLength> raw_{};
    // Used only when the bank's filters failed to initialise (see decimate).
    std::array<double, kRawLength> filtered_{};
    std::array<double, kRawLength / 2> half_{};
};
