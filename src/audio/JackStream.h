#pragma once

#include "audio/AudioStream.h"
#include "audio/LiveAir.h"
#include "audio/StreamResampler.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

// A stream on a JACK server, as JACK users expect one: a client of its own whose ports say
// what they carry (in_left, in_right, out_left, out_right), connected to the chosen
// device's ports unless the user's patchbay is to do that. The process callback captures
// the period's input before it plays the period's output, so a duplex stream hands each
// pass its input first. A server that goes away only marks the stream dead; the window
// closes it.
// Thread: window (opening, starting, stopping, asking) and audio (the process callback).
class JackStream : public AudioStream {
public:
    // How every JACK stream opened from now on names itself and whether it connects.
    // Thread: window (before any stream is opened).
    static void setClientName(std::string name);
    static void setAutoConnect(bool connect);
    static const std::string& clientName();

    // Thread: window. Throws AudioDeviceError with JACK's words.
    JackStream(const AudioDeviceEntry& device, OutputRing* output, InputRing* input);
    ~JackStream() override;

    // Thread: window.
    void start() override;
    void stop() override;
    bool isAlive() const override { return !shutDown_.load(std::memory_order_acquire); }
    double rate() const override { return rate_; }
    double latencySeconds() const override;
    LiveAir* air() override { return air_.get(); }
    bool realTime() const override;
    // The client's name on the server (JACK may have made it unique).
    std::string name() const;

private:
    // Thread: audio.
    static int process(unsigned frames, void* self) noexcept;
    // Thread: any (JACK's own thread, once).
    static void shutDown(void* self) noexcept;
    void connectPorts();
    void close();

    AudioDeviceEntry device_;
    OutputRing* output_;
    InputRing* input_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {nullptr, nullptr};
    jack_port_t* out_[2] = {nullptr, nullptr};
    double rate_ = 0;
    unsigned period_ = 0;
    bool active_ = false;
    // As RtAudioStream: stop() clears `accepting_` and waits for the callback to leave.
    std::atomic<bool> accepting_{false};
    std::atomic<int> inCallback_{0};
    std::atomic<bool> shutDown_{false};
    std::unique_ptr<StreamResampler> outputResampler_;
    std::unique_ptr<StreamResampler> inputResampler_;
    std::unique_ptr<LiveAir> air_; // duplex and converted only
    std::vector<float> interleaved_; // audio thread: one chunk of stereo frames
    std::vector<std::int16_t> scratch16_;
};
