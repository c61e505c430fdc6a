#pragma once

#include <cstddef>
#include <memory>
#include <vector>

// The live streams' rate converter between the engine's 11025 Hz and a device's rate, made
// for little delay and little work: a minimum-phase low-pass at 22050 Hz makes the one
// steep step (everything the engine makes, up to 5.3 kHz, passes; from 5.725 kHz on, where
// the images and aliases of that band would fall, 100 dB of stop band), and a short
// linear-phase polyphase filter goes between 22050 Hz and the device's rate, where the
// band is wide open. Designed when a stream opens, on the window's thread; the process
// calls allocate nothing.
// Thread: stopped (making it), audio (converting).
class LowDelayResampler {
public:
    // Whether this converter can serve a device at `deviceRate` (a rate the engine's band
    // fits under with room to spare, in a ratio of modest integers).
    static bool supports(double deviceRate);

    // `up`: the engine's rate to the device's; otherwise the device's to the engine's.
    // Interleaved stereo; `maxInputFrames` bounds one process call's input.
    LowDelayResampler(double deviceRate, bool up, std::size_t maxInputFrames);
    ~LowDelayResampler();
    LowDelayResampler(const LowDelayResampler&) = delete;
    LowDelayResampler& operator=(const LowDelayResampler&) = delete;

    // Thread: audio. Converts `frames` stereo frames into `out`, which has room for
    // maxOutputFrames(frames); returns the frames made.
    std::size_t process(const float* in, std::size_t frames, float* out) noexcept;
    std::size_t maxOutputFrames(std::size_t inputFrames) const;
    // Thread: any. The delay a low sound gets, in seconds (the minimum-phase step's group
    // delay at low frequencies plus the polyphase step's).
    double delaySeconds() const { return delaySeconds_; }
    // The same for a converter at `deviceRate`, without making one (after the first call,
    // which designs the steep step once).
    static double delayFor(double deviceRate, double frequency = 300);

private:
    struct Stage;
    std::unique_ptr<Stage> first_, second_;
    std::vector<float> middle_; // stereo frames at 22050 Hz between the steps
    double delaySeconds_ = 0;
};
