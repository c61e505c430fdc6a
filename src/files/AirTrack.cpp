#include "files/AirTrack.h"

#include "engine/Engine.h"
#include "engine/FilterCoefficients.h"

#include <algorithm>
#include <cmath>

namespace {

// Frames of the file converted at a time.
constexpr std::size_t kChunk = 4096;

double halfBandSeconds(double rate) {
    return AirBand::cascadeDelay(coefficients::kHalfBandLowpass, AirBand::kMeetingHz, rate) / rate;
}

} // namespace

bool AirTrack::hasAir(std::uint32_t fileRate, double saveRate) {
    return AirBand::hasRoomAt(fileRate) && AirBand::hasRoomAt(saveRate);
}

double AirTrack::pathDelay(std::uint32_t fileRate, int doublings) {
    // The decimation of a file at two or four times the engine's rate runs the half-band
    // filter at each rate on the way down; other rates go through libsamplerate, whose
    // output is in step with its input.
    double seconds = 0;
    if (fileRate == 4 * kEngineRate) seconds += halfBandSeconds(4 * kEngineRate);
    if (fileRate == 4 * kEngineRate || fileRate == 2 * kEngineRate) seconds += halfBandSeconds(2 * kEngineRate);
    seconds += AirBand::sibilanceDelay() / kEngineRate;
    for (int d = 1; d <= doublings; ++d) seconds += halfBandSeconds(kEngineRate * (1 << d));
    return seconds * kEngineRate * (1 << doublings);
}

AirTrack::AirTrack(std::vector<std::int16_t> samples, std::uint32_t fileRate, int doublings, double gain)
    : samples_(std::move(samples)),
      saveRate_(kEngineRate * (1 << doublings)),
      gain_(static_cast<float>(gain)),
      band_(saveRate_, std::max<std::size_t>(AirBand::filterDelay(saveRate_),
                                             std::size_t(std::lround(pathDelay(fileRate, doublings))))) {
    if (fileRate != saveRate_) converter_ = std::make_unique<RateConverter>(fileRate, saveRate_);
    const long lead = long(AirBand::filterDelay(saveRate_)) - std::lround(pathDelay(fileRate, doublings));
    skip_ = lead > 0 ? std::size_t(lead) : 0;
}

void AirTrack::produce(std::size_t frames) {
    std::vector<float> input;
    while (ready_.size() - readyAt_ < frames) {
        const std::size_t n = std::min(kChunk, samples_.size() - read_);
        input.assign(kChunk, 0.0f); // past the end the file is silence
        for (std::size_t i = 0; i < n; ++i) input[i] = samples_[read_ + i];
        read_ += n;
        converted_.clear();
        if (converter_) {
            if (!converter_->process(input.data(), long(kChunk), false, converted_)) converted_.assign(kChunk, 0.0f);
        } else {
            converted_ = input;
        }
        band_.process(converted_.data(), converted_.size(), gain_, converted_.data());
        std::size_t from = std::min(skip_, converted_.size());
        skip_ -= from;
        ready_.erase(ready_.begin(), ready_.begin() + long(readyAt_));
        readyAt_ = 0;
        ready_.insert(ready_.end(), converted_.begin() + long(from), converted_.end());
    }
}

void AirTrack::addTo(double* pairs, std::size_t frames) {
    produce(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double air = ready_[readyAt_ + i];
        pairs[2 * i] += air;
        pairs[2 * i + 1] += air;
    }
    readyAt_ += frames;
}
