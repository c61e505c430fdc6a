#pragma once

#include "audio/AudioStream.h"

#include <atomic>
#include <thread>

// An output with no sound card: a thread of ours plays the ring in real time and throws the
// sound away, so the block loop runs (files play, the recording fills) on any machine.
class InternalClockStream : public AudioStream {
public:
    explicit InternalClockStream(OutputRing& ring) : ring_(ring) {}
    ~InternalClockStream() override { stop(); }

    void start() override;
    void stop() override;
    bool isAlive() const override { return true; }
    double rate() const override { return 11025; }

private:
    void run();

    OutputRing& ring_;
    std::thread thread_;
    std::atomic<bool> running_{false};
};
