// The rate converters a live stream at 48 kHz could use, side by side: what both
// directions (11025 -> 48000 for the output, 48000 -> 11025 for the input, stereo) cost in
// one core's time, how late they make a click, how much of the engine's top (5.3 kHz)
// they keep, and how loud the images and aliases they let through are.
//
//   converter-choice [SECONDS]     (default 20 s of audio per converter and direction)

#include "audio/LowDelayResampler.h"

#include <samplerate.h>
#include <soxr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kEngine = 11025, kDevice = 48000;

// One direction of one converter, fed chunk by chunk as a callback would.
class Converter {
public:
    virtual ~Converter() = default;
    // Interleaved stereo in, as much out as comes; returns frames written.
    virtual std::size_t process(const float* in, std::size_t frames, float* out, std::size_t room) = 0;
};

class SrcConverter final : public Converter {
public:
    SrcConverter(int type, double ratio) : ratio_(ratio) {
        int error = 0;
        state_ = src_new(type, 2, &error);
    }
    ~SrcConverter() override { src_delete(state_); }
    std::size_t process(const float* in, std::size_t frames, float* out, std::size_t room) override {
        SRC_DATA d{};
        d.data_in = in;
        d.input_frames = long(frames);
        d.data_out = out;
        d.output_frames = long(room);
        d.src_ratio = ratio_;
        src_process(state_, &d);
        return std::size_t(d.output_frames_gen);
    }

private:
    double ratio_;
    SRC_STATE* state_;
};

class SoxrConverter final : public Converter {
public:
    SoxrConverter(double from, double to, unsigned long recipe, double passbandEnd) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        soxr_quality_spec_t quality = soxr_quality_spec(recipe, 0);
        if (passbandEnd > 0) quality.passband_end = passbandEnd;
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_ = soxr_create(from, to, 2, &error, &io, &quality, &runtime);
    }
    ~SoxrConverter() override { soxr_delete(soxr_); }
    std::size_t process(const float* in, std::size_t frames, float* out, std::size_t room) override {
        std::size_t used = 0, made = 0;
        soxr_process(soxr_, in, frames, &used, out, room, &made);
        return made;
    }

private:
    soxr_t soxr_;
};

class OwnConverter final : public Converter {
public:
    OwnConverter(double from, double to) : c_(from == 11025 ? to : from, from == 11025, 4096) {}
    std::size_t process(const float* in, std::size_t frames, float* out, std::size_t) override {
        return c_.process(in, frames, out);
    }

private:
    LowDelayResampler c_;
};

struct Candidate {
    std::string name;
    std::function<std::unique_ptr<Converter>(double from, double to)> make;
};

// Runs `signal` (mono, duplicated to stereo) through in chunks of `chunk` frames.
std::vector<float> run(Converter& c, const std::vector<float>& signal, std::size_t chunk, double ratio) {
    std::vector<float> out;
    out.reserve(std::size_t(signal.size() * ratio) + 8192);
    std::vector<float> in(2 * chunk), part(2 * (std::size_t(chunk * ratio) + 4096));
    for (std::size_t at = 0; at < signal.size(); at += chunk) {
        const std::size_t n = std::min(chunk, signal.size() - at);
        for (std::size_t i = 0; i < n; ++i) in[2 * i] = in[2 * i + 1] = signal[at + i];
        const std::size_t made = c.process(in.data(), n, part.data(), part.size() / 2);
        for (std::size_t i = 0; i < made; ++i) out.push_back(part[2 * i]);
    }
    return out;
}

std::vector<float> sine(double frequency, double rate, double seconds, double level = 0.5) {
    std::vector<float> s(std::size_t(seconds * rate));
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = float(level * std::sin(2 * std::numbers::pi * frequency * i / rate));
    return s;
}

// Level of `frequency` in `x` (after its first `skip` frames), in dB relative to 0.5 peak.
double levelDb(const std::vector<float>& x, double frequency, double rate, std::size_t skip) {
    double re = 0, im = 0;
    const std::size_t n = x.size() - skip;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / double(n)); // Hann
        re += w * x[skip + i] * std::cos(2 * std::numbers::pi * frequency * i / rate);
        im += w * x[skip + i] * std::sin(2 * std::numbers::pi * frequency * i / rate);
    }
    const double amplitude = 2 * std::hypot(re, im) / (0.5 * double(n)) ;
    return 20 * std::log10(std::max(amplitude / 0.5, 1e-12));
}

// How late a click comes out, in ms: how much input had gone in past the click when the
// peak of its response came out (a converter that holds samples back to look ahead makes
// the output wait for that input too), fed 8 frames at a time.
double clickDelayMs(const Candidate& c, double from, double to) {
    std::vector<float> click(std::size_t(from * 0.5), 0.0f);
    const std::size_t at = std::size_t(from * 0.1);
    click[at] = 1.0f;
    auto conv = c.make(from, to);
    std::vector<float> in(16), part(2 * 4096);
    float best = 0;
    std::size_t fedAtBest = 0;
    for (std::size_t fed = 0; fed < click.size(); fed += 8) {
        for (std::size_t i = 0; i < 8; ++i) in[2 * i] = in[2 * i + 1] = click[fed + i];
        const std::size_t made = conv->process(in.data(), 8, part.data(), part.size() / 2);
        for (std::size_t i = 0; i < made; ++i)
            if (std::fabs(part[2 * i]) > best) {
                best = std::fabs(part[2 * i]);
                fedAtBest = fed + 8;
            }
    }
    return (double(fedAtBest) - double(at)) / from * 1000;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    // Pass band to 5.3 kHz of the engine's 5.5125 kHz Nyquist where asked for.
    constexpr double kTop = 5300 / 5512.5;
    auto soxr = [](unsigned long q, double passbandEnd = 0) {
        return [q, passbandEnd](double from, double to) {
            return std::make_unique<SoxrConverter>(from, to, q, passbandEnd);
        };
    };
    auto src = [](int type) {
        return [type](double from, double to) { return std::make_unique<SrcConverter>(type, to / from); };
    };
    const std::vector<Candidate> candidates = {
        {"own: min.-phase + polyphase", [](double from, double to) { return std::make_unique<OwnConverter>(from, to); }},
        {"libsamplerate sinc best", src(SRC_SINC_BEST_QUALITY)},
        {"libsamplerate sinc medium", src(SRC_SINC_MEDIUM_QUALITY)},
        {"libsamplerate sinc fastest", src(SRC_SINC_FASTEST)},
        {"libsoxr HQ linear", soxr(SOXR_HQ | SOXR_LINEAR_PHASE)},
        {"libsoxr MQ linear", soxr(SOXR_MQ | SOXR_LINEAR_PHASE)},
        {"libsoxr MQ intermediate", soxr(SOXR_MQ | SOXR_INTERMEDIATE_PHASE)},
        {"libsoxr MQ minimum", soxr(SOXR_MQ | SOXR_MINIMUM_PHASE)},
        {"libsoxr LQ linear", soxr(SOXR_LQ | SOXR_LINEAR_PHASE)},
        {"libsoxr LQ intermediate", soxr(SOXR_LQ | SOXR_INTERMEDIATE_PHASE)},
        {"libsoxr LQ minimum", soxr(SOXR_LQ | SOXR_MINIMUM_PHASE)},
        {"libsoxr 16-bit minimum", soxr(SOXR_16_BITQ | SOXR_MINIMUM_PHASE)},
        {"libsoxr MQ linear, 5.3k", soxr(SOXR_MQ | SOXR_LINEAR_PHASE, kTop)},
        {"libsoxr MQ intermed., 5.3k", soxr(SOXR_MQ | SOXR_INTERMEDIATE_PHASE, kTop)},
        {"libsoxr MQ minimum, 5.3k", soxr(SOXR_MQ | SOXR_MINIMUM_PHASE, kTop)},
        {"libsoxr 16-bit min., 5.3k", soxr(SOXR_16_BITQ | SOXR_MINIMUM_PHASE, kTop)},
        {"libsoxr HQ minimum, 5.3k", soxr(SOXR_HQ | SOXR_MINIMUM_PHASE, kTop)},
    };
    std::printf("%-28s %9s %9s %9s %9s %9s %9s\n", "converter", "CPU %", "out ms", "in ms", "5.3k dB",
                "image dB", "alias dB");
    const std::vector<float> engineNoise = sine(1000, kEngine, seconds);
    const std::vector<float> deviceNoise = sine(1000, kDevice, seconds);
    for (const Candidate& c : candidates) {
        // Cost: both directions over `seconds` of audio, in chunks of one callback each.
        auto up = c.make(kEngine, kDevice);
        auto down = c.make(kDevice, kEngine);
        const auto start = std::chrono::steady_clock::now(); // made when the stream opens: not counted
        run(*up, engineNoise, 64, kDevice / kEngine);
        run(*down, deviceNoise, 128, kEngine / kDevice);
        const double cpu = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / seconds;

        // The top of the engine's band, through the output's converter.
        auto keep = c.make(kEngine, kDevice);
        const std::vector<float> top = run(*keep, sine(5300, kEngine, 2), 64, kDevice / kEngine);
        const double topDb = levelDb(top, 5300, kDevice, 4096);
        // Its image, 11025 - 5300 Hz.
        const double imageDb = levelDb(top, kEngine - 5300, kDevice, 4096);
        // Input above the engine's band: 6 kHz and 9 kHz must not fold down into it.
        double aliasDb = -300;
        for (double f : {6000.0, 9000.0}) {
            auto fold = c.make(kDevice, kEngine);
            const std::vector<float> folded = run(*fold, sine(f, kDevice, 2), 128, kEngine / kDevice);
            aliasDb = std::max(aliasDb, levelDb(folded, kEngine - f > 0 ? kEngine - f : f - kEngine, kEngine, 1024));
        }
        std::printf("%-28s %9.2f %9.2f %9.2f %9.2f %9.1f %9.1f\n", c.name.c_str(), cpu * 100,
                    clickDelayMs(c, kEngine, kDevice), clickDelayMs(c, kDevice, kEngine), topDb, imageDb, aliasDb);
        std::fflush(stdout);
    }
    return 0;
}
