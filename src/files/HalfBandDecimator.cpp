#include "files/HalfBandDecimator.h"

#include "engine/FilterCoefficients.h"
#include "engine/Sample16.h"

#include <array>

namespace {

constexpr int kSections = static_cast<int>(coefficients::kHalfBandLowpass.size() / 6);

} // namespace

HalfBandDecimator::HalfBandDecimator(int factor) : factor_(factor == kMaxFactor ? kMaxFactor : 2) {
    first_.init(coefficients::kHalfBandLowpass.data(), kSections);
    if (factor_ == kMaxFactor) second_.init(coefficients::kHalfBandLowpass.data(), kSections);
}

void HalfBandDecimator::process(const std::int16_t* in, FileBlock& out) {
    const int length = factor_ * BLOCK_SIZE;
    std::array<double, kMaxFactor * BLOCK_SIZE> wide{};
    for (int i = 0; i < length; ++i) wide[i] = in[i];
    first_.process(wide.data(), length);

    if (factor_ == kMaxFactor) {
        std::array<double, 2 * BLOCK_SIZE> half{};
        for (int i = 0; i < 2 * BLOCK_SIZE; ++i) half[i] = wide[2 * i];
        second_.process(half.data(), 2 * BLOCK_SIZE);
        for (int i = 0; i < BLOCK_SIZE; ++i) out.samples[i] = toSample16(half[2 * i]);
    } else {
        for (int i = 0; i < BLOCK_SIZE; ++i) out.samples[i] = toSample16(wide[2 * i]);
    }
}
