#include "engine/AirBand.h"

#include "engine/Engine.h"
#include "engine/FilterCoefficients.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>

namespace {

constexpr double kStopDecibels = 60;

double besselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < 1e-12 * sum) break;
    }
    return sum;
}

// Odd, so that the filter's delay is a whole number of frames.
std::size_t tapCount(double rate) {
    const double transition = 2 * std::numbers::pi * 2 * (AirBand::kEdgeHz - AirBand::kStopHz) / rate;
    auto n = static_cast<std::size_t>(std::ceil((kStopDecibels - 8) / (2.285 * transition))) + 1;
    return n | 1;
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
    const double beta = 0.1102 * (kStopDecibels - 8.7);
    const double cutoff = kEdgeHz / rate; // cycles per sample
    // The history holds the extra hold-back in front of the filter's window, newest sample
    // first; the taps are padded to whole groups of kLanes.
    hold_ = alignFrames - delay;
    taps_.assign((n + kLanes - 1) / kLanes * kLanes, 0.0f);
    window_ = hold_ + taps_.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double m = double(i) - double(delay);
        const double lowPass = m == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * m) / (std::numbers::pi * m);
        const double r = m / double(delay);
        const double w = besselI0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / besselI0(beta);
        taps_[i] = static_cast<float>(((m == 0 ? 1.0 : 0.0) - lowPass) * w);
    }
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
