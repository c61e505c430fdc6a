#include "JackTestClient.h"

#include <chrono>
#include <cstring>
#include <thread>

JackTestClient::JackTestClient(const std::string& name, std::size_t capacity)
    : recordLeft_(capacity), recordRight_(capacity) {
    jack_status_t status;
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (!client_) return;
    name_ = jack_get_client_name(client_);
    in_[0] = jack_port_register(client_, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in_[1] = jack_port_register(client_, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    out_[0] = jack_port_register(client_, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    out_[1] = jack_port_register(client_, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client_, &JackTestClient::process, this);
    jack_set_xrun_callback(client_, &JackTestClient::xrun, this);
}

JackTestClient::~JackTestClient() {
    if (!client_) return;
    deactivate();
    jack_client_close(client_);
}

double JackTestClient::rate() const { return client_ ? jack_get_sample_rate(client_) : 0; }

bool JackTestClient::connect(const std::string& from, const std::string& to) {
    return client_ && jack_connect(client_, from.c_str(), to.c_str()) == 0;
}

void JackTestClient::setPlayback(std::vector<float> left, std::vector<float> right, bool waitForStart) {
    playLeft_ = std::move(left);
    playRight_ = std::move(right);
    played_ = 0;
    playing_.store(!waitForStart, std::memory_order_release);
}

bool JackTestClient::activate() {
    if (!client_ || active_) return active_;
    active_ = jack_activate(client_) == 0;
    return active_;
}

void JackTestClient::deactivate() {
    if (client_ && active_) jack_deactivate(client_);
    active_ = false;
}

bool JackTestClient::waitForFrames(std::size_t frames, double seconds) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (framesRecorded() < frames) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int JackTestClient::xrun(void* self) {
    static_cast<JackTestClient*>(self)->xruns_.fetch_add(1, std::memory_order_acq_rel);
    return 0;
}

int JackTestClient::process(jack_nframes_t frames, void* self) {
    auto* me = static_cast<JackTestClient*>(self);
    auto* outL = static_cast<float*>(jack_port_get_buffer(me->out_[0], frames));
    auto* outR = static_cast<float*>(jack_port_get_buffer(me->out_[1], frames));
    const bool playing = me->playing_.load(std::memory_order_acquire);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const std::size_t k = me->played_ + i;
        outL[i] = playing && k < me->playLeft_.size() ? me->playLeft_[k] : 0.0f;
        outR[i] = playing && k < me->playRight_.size() ? me->playRight_[k] : 0.0f;
    }
    if (playing && me->played_ == 0)
        me->playbackStart_.store(me->recorded_.load(std::memory_order_relaxed), std::memory_order_release);
    if (playing) me->played_ += frames;

    const auto* inL = static_cast<const float*>(jack_port_get_buffer(me->in_[0], frames));
    const auto* inR = static_cast<const float*>(jack_port_get_buffer(me->in_[1], frames));
    const std::size_t at = me->recorded_.load(std::memory_order_relaxed);
    const std::size_t room = me->recordLeft_.size() - at;
    const std::size_t n = frames < room ? frames : room;
    std::memcpy(me->recordLeft_.data() + at, inL, n * sizeof(float));
    std::memcpy(me->recordRight_.data() + at, inR, n * sizeof(float));
    me->recorded_.store(at + n, std::memory_order_release);
    return 0;
}
