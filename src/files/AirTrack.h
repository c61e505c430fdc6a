#pragma once

#include "engine/AirBand.h"
#include "files/RateConverter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The air band of a render: the modulator file's top band, from its samples at its own
// rate, at the rate the recording is saved at, in step with the sibilance band of the
// engine's sound, which reached the file through the file's decimation to 11025 Hz, the
// sibilance high-pass and the save's doublings (their delays where the two bands meet).
// Offline there is no need to wait for the band's own filter: the band is taken that much
// earlier instead.
// Thread: owner (whoever encodes the saved file).
class AirTrack {
public:
    // Whether a file at `fileRate` has anything above the engine's band, saved at `saveRate`.
    static bool hasAir(std::uint32_t fileRate, double saveRate);
    // The engine path's delay where the bands meet, in frames at `saveRate`, for a file at
    // `fileRate` saved after `doublings` doublings.
    static double pathDelay(std::uint32_t fileRate, int doublings);

    // `samples`: the file's mono samples at `fileRate`; `gain`: the band's (AirBand::gainOf).
    AirTrack(std::vector<std::int16_t> samples, std::uint32_t fileRate, int doublings, double gain);

    // Adds the next `frames` frames of the band to both sides of `pairs` (left, right pairs
    // in 16-bit units); after the file's end the band is silent.
    void addTo(double* pairs, std::size_t frames);

private:
    void produce(std::size_t frames);

    std::vector<std::int16_t> samples_;
    std::size_t read_ = 0;
    double saveRate_;
    float gain_;
    std::unique_ptr<RateConverter> converter_; // null when the file is at the saved rate
    AirBand band_;
    std::size_t skip_; // the band's first frames, which lie before the sound's
    std::vector<float> ready_;
    std::vector<float> converted_;
    std::size_t readyAt_ = 0;
};
