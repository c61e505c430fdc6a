#include "JackMidiTestClient.h"

#include <algorithm>
#include <jack/midiport.h>
#include <thread>

namespace {

// Records per ring: a flood of several thousand messages fits without waiting.
constexpr std::size_t kRingRecords = 16384;
// At most this many events go out in one cycle, so that a flood spreads over cycles the
// way a fast controller's stream would.
constexpr int kEventsPerCycle = 64;

} // namespace

JackMidiTestClient::JackMidiTestClient(const std::string& name) {
    jack_status_t status;
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (!client_) return;
    name_ = jack_get_client_name(client_);
    in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    toSend_ = jack_ringbuffer_create(kRingRecords * sizeof(Record));
    arrived_ = jack_ringbuffer_create(kRingRecords * sizeof(Record));
    jack_set_process_callback(client_, &JackMidiTestClient::process, this);
    active_ = in_ && out_ && toSend_ && arrived_ && jack_activate(client_) == 0;
}

JackMidiTestClient::~JackMidiTestClient() {
    if (client_) {
        if (active_) jack_deactivate(client_);
        jack_client_close(client_);
    }
    if (toSend_) jack_ringbuffer_free(toSend_);
    if (arrived_) jack_ringbuffer_free(arrived_);
}

int JackMidiTestClient::inConnections() const {
    return in_ ? jack_port_connected(in_) : 0;
}

int JackMidiTestClient::outConnections() const {
    return out_ ? jack_port_connected(out_) : 0;
}

bool JackMidiTestClient::send(const std::vector<std::uint8_t>& bytes) {
    if (!toSend_ || jack_ringbuffer_write_space(toSend_) < sizeof(Record)) return false;
    Record r;
    r.size = static_cast<std::uint8_t>(std::min(bytes.size(), kMaxEventBytes));
    std::copy_n(bytes.begin(), r.size, r.bytes);
    jack_ringbuffer_write(toSend_, reinterpret_cast<const char*>(&r), sizeof r);
    return true;
}

std::size_t JackMidiTestClient::pending() const {
    return toSend_ ? jack_ringbuffer_read_space(toSend_) / sizeof(Record) : 0;
}

std::size_t JackMidiTestClient::collect() {
    std::size_t added = 0;
    Record r;
    while (arrived_ && jack_ringbuffer_read_space(arrived_) >= sizeof r) {
        jack_ringbuffer_read(arrived_, reinterpret_cast<char*>(&r), sizeof r);
        received_.emplace_back(r.bytes, r.bytes + r.size);
        ++added;
    }
    return added;
}

bool JackMidiTestClient::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        collect();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

int JackMidiTestClient::process(jack_nframes_t frames, void* self) {
    auto* me = static_cast<JackMidiTestClient*>(self);

    void* out = jack_port_get_buffer(me->out_, frames);
    jack_midi_clear_buffer(out);
    Record r;
    for (int n = 0; n < kEventsPerCycle && jack_ringbuffer_read_space(me->toSend_) >= sizeof r; ++n) {
        jack_ringbuffer_peek(me->toSend_, reinterpret_cast<char*>(&r), sizeof r);
        // Events keep their order: all at the first frame, in the order written. One that
        // does not fit waits for the next cycle.
        if (jack_midi_event_write(out, 0, r.bytes, r.size) != 0) break;
        jack_ringbuffer_read_advance(me->toSend_, sizeof r);
    }

    void* in = jack_port_get_buffer(me->in_, frames);
    const jack_nframes_t count = jack_midi_get_event_count(in);
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, in, i) != 0) continue;
        Record got;
        got.size = static_cast<std::uint8_t>(std::min<std::size_t>(event.size, kMaxEventBytes));
        std::copy_n(event.buffer, got.size, got.bytes);
        if (jack_ringbuffer_write_space(me->arrived_) >= sizeof got)
            jack_ringbuffer_write(me->arrived_, reinterpret_cast<const char*>(&got), sizeof got);
    }
    return 0;
}
