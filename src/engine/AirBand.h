#pragma once

#include "engine/EngineParams.h"
#include "engine/FilterWidth.h"

#include <cstddef>
#include <span>
#include <vector>

// "Air": the part of the modulator above the engine's band, added to the output at the
// output's rate. The engine runs at 11025 Hz, so nothing it makes reaches above 5.5 kHz,
// where the hiss of /s/, /sh/, /f/ and /t/ mostly lies; this band takes it from the
// modulator before it is converted down and lays it on top of the sibilance band, with the
// same gain (both outputs alike, as the sibilance band is added).
//
// A linear-phase high-pass (a Kaiser-windowed sinc, -6 dB at kEdgeHz, 60 dB down below
// kStopHz) meets the rate converters' low-pass, which passes up to 5.3 kHz and stops from
// 5.725 kHz, so the two bands hardly overlap; the band is held back by the engine path's
// delay, so that it leaves with the sound it belongs to.
//
// Thread: stopped (making it: designs and allocates), audio (process(), gainOf()).
class AirBand {
public:
    static constexpr double kStopHz = 5300;
    static constexpr double kEdgeHz = 5650;

    // Whether there is anything above the engine's band at `rate` to add.
    static bool hasRoomAt(double rate) { return rate >= 2 * (kEdgeHz + 1000); }
    // The high-pass's own delay in frames at `rate`, which is part of any alignment.
    static std::size_t filterDelay(double rate);

    // Where the band meets the sibilance band: the frequency whose delay through the
    // engine's path the band is aligned with.
    static constexpr double kMeetingHz = 5000;
    // The group delay at `hz`, in samples at `rate`, of a cascade given as b0 b1 b2 a0 a1 a2
    // per section (the coefficient tables' form).
    static double cascadeDelay(std::span<const double> sections, double hz, double rate);
    // The engine's own part of that delay: its sibilance high-pass, in engine samples.
    static double sibilanceDelay();

    // `alignFrames`: how far the band lags the modulator, at least filterDelay(rate).
    AirBand(double rate, std::size_t alignFrames);

    // The band's gain for the engine's present parameters: the sibilance gain after the
    // modulator level, with the output's wet share and width gain.
    static double gainOf(const EngineParams& params, FilterWidth width) {
        return params.modulatorLevel * params.sibilance * (1.0 - params.mix) * widthGain(width);
    }

    // `frames` modulator samples (16-bit units) in; the band times `gain`, `alignFrames`
    // behind, out (it may be the input's buffer).
    void process(const float* in, std::size_t frames, float gain, float* out) noexcept;
    // Forgets everything it has heard.
    void clear();

private:
    static constexpr std::size_t kLanes = 8;

    std::vector<float> taps_;
    std::size_t hold_ = 0;
    std::vector<float> history_; // twice the window, so that every window is contiguous
    std::size_t window_ = 0;     // the hold-back plus the taps
    std::size_t position_ = 0;
};
