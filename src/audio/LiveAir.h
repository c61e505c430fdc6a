#pragma once

#include "engine/AirBand.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// The air band of a live duplex stream: the modulator's top band from the device's input,
// at the device's rate, added to its output in step with the engine's sound. Both
// directions run in one callback, so input frame i and output frame i are the same moment;
// each pass says which input block it played and where its sound goes out, and from that
// the band is held back by exactly the engine path's delay (at the frequency where the two
// bands meet).
// Thread: stopped (making it), window (setOn), audio (the rest).
class LiveAir {
public:
    // Whether a stream at `rate` converted with the low-delay converter gets one.
    static bool servesRate(double rate);
    LiveAir(double rate);

    // Thread: window.
    void setOn(bool on) { on_.store(on, std::memory_order_relaxed); }
    bool on() const { return on_.load(std::memory_order_relaxed); }

    // Thread: audio (the pass). The pass played the input block that began at engine input
    // frame `inputStart`; its sound leaves from engine output frame `outputStart`. `gain`
    // is the band's gain now (0 while the modulator is not the input), `channel` the input
    // channel the modulator is (0 left, 1 right).
    void passMade(std::uint64_t inputStart, std::uint64_t outputStart, float gain, int channel) noexcept;
    // Thread: audio. The callback's interleaved stereo input, then its output, a chunk at a
    // time and in that order.
    void capture(const float* stereo, std::size_t frames) noexcept;
    void add(float* stereo, std::size_t frames) noexcept;

private:
    static constexpr std::size_t kRing = 1 << 16; // over half a second at 96 kHz

    double rate_;
    double pathDelay_; // device frames the converters and the sibilance band add
    AirBand band_;
    std::size_t filterDelay_;
    std::vector<float> ring_; // the band of input frame i at i mod kRing
    std::vector<float> mono_;
    std::uint64_t inputFrames_ = 0, outputFrames_ = 0;
    std::int64_t lag_ = -1; // output frame o takes the band of input frame o - lag_
    float gain_ = 0;
    int channel_ = 0;
    std::atomic<bool> on_{false};
};
