#pragma once

#include "audio/InputRing.h"
#include "audio/OutputRing.h"

#include "audio/LowDelayResampler.h"

#include <memory>
#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

// Converts between the engine rate and a device that runs at another rate: with the
// low-delay converter of our own where the rate allows (every common one), else with
// libsamplerate's streaming sinc converter. Everything is allocated on construction, on
// the window's thread, before the stream starts; the convert calls run on the audio thread
// and neither allocate nor lock.
// Thread: stopped (making and destroying it) and audio (converting).
class StreamResampler {
public:
    // Thread: stopped (on the window, before the stream starts; throws std::runtime_error
    // when libsamplerate cannot make its converter).
    // Output: engine blocks from `ring` become device frames at `deviceRate`.
    StreamResampler(OutputRing& ring, double deviceRate, int maxDeviceFrames);
    // Input: device frames at `deviceRate` become engine frames in `ring`.
    StreamResampler(InputRing& ring, double deviceRate, int maxDeviceFrames);
    ~StreamResampler();
    StreamResampler(const StreamResampler&) = delete;
    StreamResampler& operator=(const StreamResampler&) = delete;

    // Thread: any. The converter's own delay, for the latency the user is shown.
    double delaySeconds() const;
    // What delaySeconds() will say for a converter at `deviceRate` in that direction.
    static double expectedDelaySeconds(double deviceRate, bool output);

    // Thread: audio. Fills `frames` interleaved stereo device frames.
    void render(float* out, int frames) noexcept;
    // Thread: audio. Takes `frames` interleaved stereo device frames.
    void capture(const float* in, int frames) noexcept;

private:
    // Thread: audio (called back from inside render() when the converter wants input).
    static long pull(void* self, float** data) noexcept;

    OutputRing* output_ = nullptr;
    InputRing* input_ = nullptr;
    double ratio_;
    std::unique_ptr<LowDelayResampler> lowDelay_;
    SRC_STATE* state_ = nullptr;
    std::vector<float> block_;
    std::vector<float> converted_;
    // Output: converted frames made and not yet played (the low-delay converter makes
    // whatever a block gives).
    std::vector<float> fifo_;
    std::size_t fifoFrames_ = 0;
};
