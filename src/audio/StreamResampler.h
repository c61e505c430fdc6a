#pragma once

#include "audio/InputRing.h"
#include "audio/OutputRing.h"

#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

// Converts between the engine rate and a device that runs at another rate, with
// libsamplerate's streaming sinc converter. Everything is allocated on construction, on
// the window's thread, before the stream starts; the convert calls run on the audio thread
// and neither allocate nor lock.
// Thread: stopped (making and destroying it) and audio (converting).
class StreamResampler {
public:
    // Thread: stopped (on the window, before the stream starts; throws std::runtime_error
    // when libsamplerate cannot make its converter).
    // Output: engine blocks from `ring` become device frames at `deviceRate`.
    StreamResampler(OutputRing& ring, double deviceRate);
    // Input: device frames at `deviceRate` become engine frames in `ring`.
    StreamResampler(InputRing& ring, double deviceRate, int maxDeviceFrames);
    ~StreamResampler();
    StreamResampler(const StreamResampler&) = delete;
    StreamResampler& operator=(const StreamResampler&) = delete;

    // Thread: any. The converter's own delay, for the latency the user is shown.
    double delaySeconds() const;

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
    SRC_STATE* state_ = nullptr;
    std::vector<float> block_;
    std::vector<float> converted_;
};
