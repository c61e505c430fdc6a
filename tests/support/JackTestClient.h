#pragma once

#include <jack/jack.h>

#include <atomic>
#include <string>
#include <vector>

// A JACK client of the tests' own: plays a prepared stereo signal from its outputs and
// records its inputs, so that the program's audio can be checked from outside.
class JackTestClient {
public:
    // Opens the client on the server named by JACK_DEFAULT_SERVER; `capacity` frames of
    // recording are allocated up front.
    JackTestClient(const std::string& name, std::size_t capacity);
    ~JackTestClient();
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool ok() const { return client_ != nullptr; }
    double rate() const;
    std::string name() const { return name_; }
    // Connects two ports by their full names; true when connected.
    bool connect(const std::string& from, const std::string& to);
    // Before activate(): what the outputs play, then silence. Playback begins with the first
    // cycle, or with the first cycle after startPlayback() when `waitForStart` is set.
    void setPlayback(std::vector<float> left, std::vector<float> right, bool waitForStart = false);
    void startPlayback() { playing_.store(true, std::memory_order_release); }
    // Where, in the recording, the first played frame went out; npos before playback began.
    std::size_t playbackStartFrame() const { return playbackStart_.load(std::memory_order_acquire); }
    bool activate();
    std::size_t framesRecorded() const { return recorded_.load(std::memory_order_acquire); }
    // Cycles the server reported as missed (an overloaded machine): frames are lost there
    // whatever the clients do.
    int xruns() const { return xruns_.load(std::memory_order_acquire); }
    // Waits until at least `frames` have been recorded or `seconds` pass.
    bool waitForFrames(std::size_t frames, double seconds) const;
    // Stops the client's processing; the recording can then be read.
    void deactivate();
    const std::vector<float>& left() const { return recordLeft_; }
    const std::vector<float>& right() const { return recordRight_; }

private:
    static int process(jack_nframes_t frames, void* self);
    static int xrun(void* self);

    std::string name_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {nullptr, nullptr};
    jack_port_t* out_[2] = {nullptr, nullptr};
    std::vector<float> playLeft_, playRight_;
    std::size_t played_ = 0;
    std::atomic<bool> playing_{true};
    std::atomic<std::size_t> playbackStart_{static_cast<std::size_t>(-1)};
    std::vector<float> recordLeft_, recordRight_;
    std::atomic<std::size_t> recorded_{0};
    std::atomic<int> xruns_{0};
    bool active_ = false;
};
