#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <string>
#include <vector>

// A JACK MIDI client of the tests' own: what the test queues goes out of its "out" port,
// a few events a cycle, and every event that reaches its "in" port is kept, so that the
// program's MIDI ports can be driven and heard from outside.
//
// Thread: every method from the test's thread; the process callback runs on JACK's.
class JackMidiTestClient {
public:
    // The longest event the tests send; longer ones are cut.
    static constexpr std::size_t kMaxEventBytes = 15;

    // Opens the client on the server named by JACK_DEFAULT_SERVER and activates it.
    explicit JackMidiTestClient(const std::string& name);
    ~JackMidiTestClient();
    JackMidiTestClient(const JackMidiTestClient&) = delete;
    JackMidiTestClient& operator=(const JackMidiTestClient&) = delete;

    bool ok() const { return client_ != nullptr && active_; }
    std::string name() const { return name_; }
    std::string outPort() const { return name_ + ":out"; }
    std::string inPort() const { return name_ + ":in"; }
    // How many ports are connected to our "in" / "out" port.
    int inConnections() const;
    int outConnections() const;

    // Queues one event; false when the queue is full (the caller waits and tries again).
    bool send(const std::vector<std::uint8_t>& bytes);
    bool send(std::initializer_list<std::uint8_t> bytes) { return send(std::vector<std::uint8_t>(bytes)); }
    // How many queued events have not gone out yet.
    std::size_t pending() const;

    // Moves what arrived so far into received() and returns how many events that added.
    std::size_t collect();
    const std::vector<std::vector<std::uint8_t>>& received() const { return received_; }
    void clearReceived() { received_.clear(); }
    // Collects until `done` holds or the time runs out; returns whether it held.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    // One event in either ring: its length, then up to kMaxEventBytes bytes.
    struct Record {
        std::uint8_t size = 0;
        std::uint8_t bytes[kMaxEventBytes] = {};
    };

    static int process(jack_nframes_t frames, void* self);

    std::string name_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    jack_port_t* out_ = nullptr;
    jack_ringbuffer_t* toSend_ = nullptr;
    jack_ringbuffer_t* arrived_ = nullptr;
    bool active_ = false;
    std::vector<std::vector<std::uint8_t>> received_;
};
