#pragma once

#include "audio/AudioStream.h"

#include <atomic>
#include <thread>

// An output with no sound card: a thread of ours plays the ring in real time and throws the
// sound away, so the block loop runs (files play, the recording fills) on any machine.
// Thread: window (starting and stopping) and audio (the clock thread's run()).
class InternalClockStream : public AudioStream {
public:
    // Thread: window. Destroying it stops and joins the clock thread.
    explicit InternalClockStream(OutputRing& ring) : ring_(ring) {}
    ~InternalClockStream() override { stop(); }

    // Thread: window. start() throws AudioDeviceError when no thread can be made.
    void start() override;
    // Returns once the clock thread has ended.
    void stop() override;
    bool isAlive() const override { return true; }
    double rate() const override { return 11025; }
    double latencySeconds() const override { return 64 / 11025.0; }
    bool realTime() const override { return realTime_.load(std::memory_order_relaxed); }

private:
    // Thread: audio. The clock thread's whole life: one block each period until stopped.
    void run() noexcept;

    OutputRing& ring_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> realTime_{false};
};
