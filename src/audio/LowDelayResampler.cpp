#include "audio/LowDelayResampler.h"

#include "dsp/KaiserLowpass.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace {

constexpr double kEngineRate = 11025;
constexpr double kMiddleRate = 22050;
constexpr double kBandTop = 5300;        // the highest the engine makes
constexpr double kStopDb = 100;          // images and aliases below the 16-bit floor
constexpr long kMostPhases = 4096;

void fft(std::vector<std::complex<double>>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * M_PI / double(len) * (inverse ? 1 : -1);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
    if (inverse)
        for (auto& x : a) x /= double(n);
}

// The minimum-phase filter with the magnitude of `h`, by the real cepstrum: its energy
// comes first, so a low sound leaves after a few samples instead of half the filter.
std::vector<double> minimumPhase(const std::vector<double>& h) {
    std::size_t n = 1;
    while (n < 64 * h.size()) n <<= 1;
    std::vector<std::complex<double>> spectrum(n);
    std::copy(h.begin(), h.end(), spectrum.begin());
    fft(spectrum, false);
    for (auto& x : spectrum) x = std::log(std::max(std::abs(x), 1e-12));
    fft(spectrum, true); // the real cepstrum
    for (std::size_t i = 1; i < n / 2; ++i) spectrum[i] *= 2;
    for (std::size_t i = n / 2 + 1; i < n; ++i) spectrum[i] = 0;
    fft(spectrum, false);
    for (auto& x : spectrum) x = std::exp(x);
    fft(spectrum, true);
    std::vector<double> out(h.size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = spectrum[i].real();
    return out;
}

// Group delay at 300 Hz, in samples of the filter's rate.
double groupDelay(const std::vector<double>& h, double rate, double frequency) {
    const double w = 2 * M_PI * frequency / rate;
    std::complex<double> sum, weighted;
    for (std::size_t n = 0; n < h.size(); ++n) {
        const std::complex<double> e = std::polar(h[n], -w * double(n));
        sum += e;
        weighted += double(n) * e;
    }
    return (weighted / sum).real();
}

long gcd(long a, long b) { return b == 0 ? a : gcd(b, a % b); }

std::vector<double> steepStep() {
    return minimumPhase(kaiserLowpass(kMiddleRate, kBandTop, kEngineRate - kBandTop, kStopDb));
}

// The wide step between 22050 Hz and the device: the band passes, and it stops where the
// far side's images and aliases would land in the band. `shared` is the rate both sides
// divide into.
std::vector<double> wideStep(double deviceRate, double shared) {
    return kaiserLowpass(shared, kBandTop, std::min(kMiddleRate, deviceRate) - kBandTop, kStopDb);
}

double wideTaps(double deviceRate, double shared) {
    const double transition = (std::min(kMiddleRate, deviceRate) - 2 * kBandTop) / shared;
    return double(long(std::ceil((kStopDb - 7.95) / (2.285 * 2 * M_PI * transition))) | 1);
}

} // namespace

typedef float Vector8 __attribute__((vector_size(32)));

// Always inlined, so that the vector never crosses a call (its passing differs between the
// AVX2 build of the loop and the plain one).
[[gnu::always_inline]] inline Vector8 load(const float* p) {
    Vector8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// One rational step: output m of input j through h(m Q - j P), the prototype h at the rate
// both share (input rate x P = output rate x Q), kept as P phases of K taps each.
struct LowDelayResampler::Stage {
    Stage(const std::vector<double>& prototype, long p, long q, std::size_t maxInput)
        : P(p), Q(q), K(std::size_t((long(prototype.size()) + p - 1) / p)) {
        const double sum = std::accumulate(prototype.begin(), prototype.end(), 0.0);
        taps.assign(std::size_t(P) * K, 0.0f);
        for (long phase = 0; phase < P; ++phase)
            for (std::size_t i = 0; i < K; ++i) {
                const std::size_t at = std::size_t(phase) + i * std::size_t(P);
                // Kept backwards, oldest input first, so that taps and input run the same way.
                if (at < prototype.size())
                    taps[std::size_t(phase) * K + (K - 1 - i)] = float(prototype[at] * double(P) / sum);
            }
        // Each channel's input history, newest last, with room for one call's input after
        // the K - 1 frames kept from before.
        for (auto& h : history) h.assign(K - 1 + maxInput, 0.0f);
    }

    std::size_t maxOutput(std::size_t frames) const { return std::size_t(double(frames) * P / Q) + 2; }

    // Built once more for AVX2 and chosen at run time: twice as many sums per instruction.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    __attribute__((target_clones("avx2", "default")))
#endif
    std::size_t process(const float* in, std::size_t frames, float* out) noexcept {
        for (int c = 0; c < 2; ++c)
            for (std::size_t i = 0; i < frames; ++i) history[c][K - 1 + i] = in[2 * i + std::size_t(c)];
        std::size_t made = 0;
        // Output m needs input up to floor(m Q / P): `time` runs in the prototype's units,
        // counted from the first new input frame.
        while (time < long(frames) * P) {
            const long newest = time / P;
            const long phase = time % P;
            const float* t = &taps[std::size_t(phase) * K];
            for (int c = 0; c < 2; ++c) {
                // Thirty-two sums side by side in four vectors, so that no add waits for the
                // one before it.
                const float* x = &history[c][std::size_t(newest)];
                Vector8 acc{}, acc1{}, acc2{}, acc3{};
                std::size_t i = 0;
                for (; i + 32 <= K; i += 32) {
                    acc += load(t + i) * load(x + i);
                    acc1 += load(t + i + 8) * load(x + i + 8);
                    acc2 += load(t + i + 16) * load(x + i + 16);
                    acc3 += load(t + i + 24) * load(x + i + 24);
                }
                for (; i + 8 <= K; i += 8) acc += load(t + i) * load(x + i);
                acc = (acc + acc1) + (acc2 + acc3);
                float sum = ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7]));
                for (; i < K; ++i) sum += t[i] * x[i];
                out[2 * made + std::size_t(c)] = sum;
            }
            ++made;
            time += Q;
        }
        time -= long(frames) * P;
        for (auto& h : history) std::copy(h.begin() + long(frames), h.begin() + long(frames + K - 1), h.begin());
        return made;
    }

    long P, Q;
    std::size_t K;
    std::vector<float> taps;
    std::array<std::vector<float>, 2> history;
    long time = 0;
};

bool LowDelayResampler::supports(double deviceRate) {
    if (deviceRate < 16000 || deviceRate != std::floor(deviceRate)) return false;
    const long rate = long(deviceRate), middle = long(kMiddleRate);
    const long g = gcd(rate, middle);
    return rate / g <= kMostPhases && middle / g <= kMostPhases;
}

LowDelayResampler::LowDelayResampler(double deviceRate, bool up, std::size_t maxInputFrames) {
    if (!supports(deviceRate)) throw std::invalid_argument("no low-delay converter for this rate");
    // The steep step at 22050 Hz is the same filter both ways.
    const std::vector<double> steep = steepStep();
    const long rate = long(deviceRate), middle = long(kMiddleRate);
    const long g = gcd(rate, middle);
    const long toDevice = rate / g, toMiddle = middle / g; // device = middle x toDevice / toMiddle
    const double shared = kMiddleRate * double(toDevice);
    const std::vector<double> wide = wideStep(deviceRate, shared);

    std::size_t middleFrames;
    if (up) {
        first_ = std::make_unique<Stage>(steep, 2, 1, maxInputFrames);
        middleFrames = first_->maxOutput(maxInputFrames);
        second_ = std::make_unique<Stage>(wide, toDevice, toMiddle, middleFrames);
    } else {
        first_ = std::make_unique<Stage>(wide, toMiddle, toDevice, maxInputFrames);
        middleFrames = first_->maxOutput(maxInputFrames);
        second_ = std::make_unique<Stage>(steep, 1, 2, middleFrames);
    }
    middle_.assign(2 * middleFrames, 0.0f);
    delaySeconds_ = delayFor(deviceRate);
}

double LowDelayResampler::delayFor(double deviceRate, double frequency) {
    static const std::vector<double> steep = steepStep();
    const double steepDelay = groupDelay(steep, kMiddleRate, frequency) / kMiddleRate;
    const long rate = long(deviceRate), middle = long(kMiddleRate);
    const double shared = kMiddleRate * double(rate / gcd(rate, middle));
    return steepDelay + (wideTaps(deviceRate, shared) - 1) / 2 / shared;
}

LowDelayResampler::~LowDelayResampler() = default;

std::size_t LowDelayResampler::maxOutputFrames(std::size_t inputFrames) const {
    return second_->maxOutput(first_->maxOutput(inputFrames));
}

std::size_t LowDelayResampler::process(const float* in, std::size_t frames, float* out) noexcept {
    const std::size_t between = first_->process(in, frames, middle_.data());
    return second_->process(middle_.data(), between, out);
}
