#include "engine/AirBand.h"

#include "dsp/KaiserLowpass.h"
#include "engine/Engine.h"
#include "engine/FilterCoefficients.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>

namespace {

constexpr double kStopDecibels = 60;

// The high-pass is the whole band less this low-pass, which stops where the air begins.
std::vector<double> lowPass(double rate) {
    return kaiserLowpass(rate, AirBand::kStopHz, 2 * AirBand::kEdgeHz - AirBand::kStopHz, kStopDecibels);
}
std::size_t tapCount(double rate) {
    return kaiserTaps(rate, AirBand::kStopHz, 2 * AirBand::kEdgeHz - AirBand::kStopHz, kStopDecibels);
}

} // namespace

double AirBand::cascadeDelay(std::span<const double> sections, double hz, double rate) {
    const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * hz / rate); // z^-1
    // A polynomial c0 + c1 z^-1 + c2 z^-2 delays by Re(sum n cn z^-n / sum cn z^-n).
    auto delayOf = [&](const double* c) {
        const std::complex<double> value = c[0] + c[1] * z + c[2] * z * z;
        const std::complex<double> weighted = c[1] * z + 2.0 * c[2] * z * z;
        return (weighted / value).real();
    };
    double delay = 0;
    for (std::size_t s = 0; s + 6 <= sections.size(); s += 6) delay += delayOf(&sections[s]) - delayOf(&sections[s + 3]);
    return delay;
}

double AirBand::sibilanceDelay() {
    return cascadeDelay(coefficients::kSibilanceHighpass, kMeetingHz, kEngineRate);
}

std::size_t AirBand::filterDelay(double rate) { return (tapCount(rate) - 1) / 2; }

AirBand::AirBand(double rate, std::size_t alignFrames) {
    const std::size_t n = tapCount(rate);
    const std::size_t delay = (n - 1) / 2;
    if (alignFrames < delay) throw std::invalid_argument("the air band cannot lag less than its filter");
    // The history holds the extra hold-back in front of the filter's window, newest sample
    // first; the taps are padded to whole groups of kLanes.
    hold_ = alignFrames - delay;
    taps_.assign((n + kLanes - 1) / kLanes * kLanes, 0.0f);
    window_ = hold_ + taps_.size();
    const std::vector<double> low = lowPass(rate);
    for (std::size_t i = 0; i < n; ++i) taps_[i] = static_cast<float>((i == delay ? 1.0 : 0.0) - low[i]);
    history_.assign(2 * window_, 0.0f);
}

void AirBand::clear() {
    std::fill(history_.begin(), history_.end(), 0.0f);
    position_ = 0;
}

void AirBand::process(const float* in, std::size_t frames, float gain, float* out) noexcept {
    const float* taps = taps_.data();
    for (std::size_t f = 0; f < frames; ++f) {
        // history_[position_ .. position_ + window_) holds the newest sample first.
        position_ = position_ == 0 ? window_ - 1 : position_ - 1;
        history_[position_] = history_[position_ + window_] = in[f];
        const float* x = history_.data() + position_ + hold_;
        // Partial sums in lanes, which the compiler keeps in one vector register.
        float lanes[kLanes] = {};
        for (std::size_t k = 0; k < taps_.size(); k += kLanes)
            for (std::size_t j = 0; j < kLanes; ++j) lanes[j] += taps[k + j] * x[k + j];
        float sum = 0;
        for (float lane : lanes) sum += lane;
        out[f] = gain * sum;
    }
}
