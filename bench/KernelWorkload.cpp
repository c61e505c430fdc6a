#include "KernelWorkload.h"

#include "core/CRandom.h"
#include "engine/CarrierGenerator.h"
#include "engine/ChannelBank.h"

#include <cmath>
#include <numbers>

namespace {

constexpr std::size_t kBlocks = 172; // one second at 11025 Hz

constexpr const char* kNames[] = {"plain", "busy", "silent", "muted"};

} // namespace

const char* KernelWorkload::name(Setting setting) {
    return kNames[static_cast<int>(setting)];
}

std::optional<KernelWorkload::Setting> KernelWorkload::named(std::string_view name) {
    for (Setting s : kSettings)
        if (name == KernelWorkload::name(s)) return s;
    return std::nullopt;
}

KernelWorkload::KernelWorkload(Setting setting) : carrier_(kBlocks), modulator_(kBlocks) {
    for (std::size_t b = 0; b < kBlocks; ++b) {
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            const long t = static_cast<long>(b) * BLOCK_SIZE + i;
            const double x = double(t) / kEngineRate;
            modulator_[b][i] =
                8000 * std::sin(2 * std::numbers::pi * 180 * x) * (0.6 + 0.4 * std::sin(9 * x)) +
                3000 * std::sin(2 * std::numbers::pi * 2300 * x);
            carrier_[b][i] = (t % 98) < 49 ? 15000.0 : -15000.0;
        }
    }
    if (setting == Setting::Busy) {
        width_ = FilterWidth::Wide;
        params_.enhance = true;
        params_.echoTime.fill(40);
        params_.echo.fill(0.6);
        params_.regeneration.fill(0.8);
        params_.distortion.fill(0.5);
        params_.warp.fill(0.4);
        params_.pan.fill(-0.3);
        params_.sibilance = 0.5;
        params_.mix = 0.2;
        params_.chord = true;
        params_.chordFirst = true;
        // The chord as the carrier generator makes it.
        ChannelBank bank;
        bank.initialise(false, width_);
        CarrierGenerator generator(bank);
        const std::array<double, kChannels> values{};
        for (auto& block : carrier_) generator.generate(params_, values, block.data());
        bank.release();
    } else if (setting == Setting::Muted) {
        // From full size, the rebuild filters take some 10,000 blocks to ring down into the
        // subnormal numbers.
        sound_ = params_;
        params_.level.fill(0.0);
        settleBlocks_ = 30000;
    } else if (setting == Setting::Silent) {
        // What the block loop feeds when both inputs are silent.
        CRandom random;
        for (std::size_t b = 0; b < kBlocks; ++b)
            for (int i = 0; i < BLOCK_SIZE; ++i) {
                modulator_[b][i] = random.next() * 3.051850947599719e-07;
                carrier_[b][i] = random.next() * 3.0518509475997196e-10;
            }
    }
}

void KernelWorkload::load(std::size_t block, double* carrier, double* modulator) const {
    const std::size_t b = block % kBlocks;
    for (int i = 0; i < BLOCK_SIZE; ++i) {
        carrier[i] = carrier_[b][i];
        modulator[i] = modulator_[b][i];
    }
}
