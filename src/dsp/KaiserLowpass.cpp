#include "dsp/KaiserLowpass.h"

#include <algorithm>
#include <cmath>

namespace {

double besselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 60; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < 1e-17 * sum) break;
    }
    return sum;
}

} // namespace

std::size_t kaiserTaps(double rate, double pass, double stop, double attenuationDb) {
    const double transition = (stop - pass) / rate;
    return std::size_t(std::ceil((attenuationDb - 7.95) / (2.285 * 2 * M_PI * transition))) | 1;
}

std::vector<double> kaiserLowpass(double rate, double pass, double stop, double attenuationDb) {
    const long taps = long(kaiserTaps(rate, pass, stop, attenuationDb));
    const double beta = 0.1102 * (attenuationDb - 8.7);
    const double cutoff = (pass + stop) / 2 / rate;
    std::vector<double> h(static_cast<std::size_t>(taps));
    const double middle = (taps - 1) / 2.0;
    for (long n = 0; n < taps; ++n) {
        const double t = n - middle;
        const double sinc = t == 0 ? 2 * cutoff : std::sin(2 * M_PI * cutoff * t) / (M_PI * t);
        const double r = t / middle;
        h[std::size_t(n)] = sinc * besselI0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / besselI0(beta);
    }
    return h;
}
