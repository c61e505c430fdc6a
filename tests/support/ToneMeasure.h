#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <vector>

// The amplitude and phase of frequency `hz` over samples [from, from + length) (a whole
// number of its cycles), by correlation with a complex tone.
inline std::complex<double> toneIn(const std::vector<float>& s, double rate, double hz, std::size_t from,
                                   std::size_t length) {
    std::complex<double> sum;
    for (std::size_t n = from; n < from + length; ++n)
        sum += double(s[n]) * std::polar(1.0, -2 * std::numbers::pi * hz * double(n - from) / rate);
    return 2.0 * sum / double(length);
}

// The delay, in samples, of the path from `in` (read from `inFrom`) to `out` (from
// `outFrom`) for a pair of tones at `low` and `low` + 100 Hz, from the phase they gained:
// unambiguous up to 10 ms. A delay common to both signals' positions is left out.
inline double groupDelayFrames(const std::vector<float>& in, std::size_t inFrom, const std::vector<float>& out,
                               std::size_t outFrom, double rate, double low, std::size_t length) {
    auto phase = [&](double hz) {
        return std::arg(toneIn(out, rate, hz, outFrom, length) / toneIn(in, rate, hz, inFrom, length));
    };
    double turn = phase(low) - phase(low + 100); // grows with the delay
    while (turn < 0) turn += 2 * std::numbers::pi;
    return turn / (2 * std::numbers::pi * 100 / rate);
}
