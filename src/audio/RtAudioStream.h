#pragma once

#include "audio/AudioStream.h"
#include "audio/LiveAir.h"
#include "audio/StreamResampler.h"

#include <rtaudio/RtAudio.h>

#include <atomic>
#include <memory>
#include <vector>

// A stream on an RtAudio back end (JACK, ALSA, PulseAudio): output, input, or both on one
// device. The device runs at the engine rate when it can; otherwise at its own rate with a
// converter in the callback, never at a wrong speed.
//
// Both directions on one device share one stream, so one callback captures a period of
// input and then plays a period of output: the input block that belongs to an output block
// is always handed over first, and the input never drifts against the output.
// Thread: window (opening, starting, stopping, asking) and audio (the callback).
class RtAudioStream : public AudioStream {
public:
    // Thread: window. Throws AudioDeviceError with the back end's message.
    RtAudioStream(const AudioDeviceEntry& device, OutputRing* output, InputRing* input);
    ~RtAudioStream() override;

    // Thread: window.
    void start() override;
    void stop() override;
    bool isAlive() const override;
    double rate() const override { return rate_; }
    double latencySeconds() const override;
    LiveAir* air() override { return air_.get(); }
    // RtAudio asks for real-time scheduling; its first callback says whether it got it.
    bool realTime() const override { return realTime_.load(std::memory_order_relaxed) > 0; }

private:
    // Thread: audio. RtAudio's callback: one period of input into the rings, then one of
    // output out of them.
    static int callback(void* out, void* in, unsigned frames, double time, RtAudioStreamStatus status,
                        void* self) noexcept;
    // Thread: window.
    void open(unsigned rate);

    AudioDeviceEntry device_;
    OutputRing* output_;
    InputRing* input_;
    std::unique_ptr<RtAudio> audio_;
    double rate_ = 0;
    unsigned periodFrames_ = 0;
    // The callback counts itself in before it looks at `accepting_`, and stop() clears
    // `accepting_` before it waits for the count to reach zero: either the callback sees the
    // stream stopping and touches nothing, or stop() sees it running and waits it out.
    // (A back end's own stop may return while its thread is still inside our callback.)
    std::atomic<bool> accepting_{false};
    std::atomic<int> inCallback_{0};
    std::atomic<int> realTime_{-1}; // -1 before the first callback, then 0 or 1
    std::unique_ptr<StreamResampler> outputResampler_;
    std::unique_ptr<StreamResampler> inputResampler_;
    std::unique_ptr<LiveAir> air_; // duplex and converted only
    std::vector<std::int16_t> scratch16_; // audio thread: stereo frames at the engine rate
};
