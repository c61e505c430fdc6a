#include "audio/JackStream.h"

#include "engine/Engine.h"
#include "rt/AudioThread.h"

#include <jack/jack.h>

#include <algorithm>
#include <thread>

namespace {

constexpr unsigned kChunkFrames = 4096;

std::string& configuredName() {
    static std::string name = "quorvel";
    return name;
}
bool autoConnect = true;

} // namespace

void JackStream::setClientName(std::string name) { configuredName() = std::move(name); }
void JackStream::setAutoConnect(bool connect) { autoConnect = connect; }
const std::string& JackStream::clientName() { return configuredName(); }

JackStream::JackStream(const AudioDeviceEntry& device, OutputRing* output, InputRing* input)
    : device_(device), output_(output), input_(input), interleaved_(2 * kChunkFrames), scratch16_(2 * kChunkFrames) {
    // One client per stream; a stream of one direction says which in its name, as a second
    // stream of the other direction may be open beside it.
    std::string name = configuredName();
    if (!(output_ && input_)) name += output_ ? "-out" : "-in";
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (!client_) throw AudioDeviceError("the JACK server is not running or cannot be reached");
    rate_ = jack_get_sample_rate(client_);
    period_ = jack_get_buffer_size(client_);
    jack_set_process_callback(client_, &JackStream::process, this);
    jack_on_shutdown(client_, &JackStream::shutDown, this);
    const char* inNames[2] = {"in_left", "in_right"};
    const char* outNames[2] = {"out_left", "out_right"};
    for (int c = 0; c < 2; ++c) {
        if (input_) in_[c] = jack_port_register(client_, inNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        if (output_) out_[c] = jack_port_register(client_, outNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if ((input_ && !in_[c]) || (output_ && !out_[c])) {
            close();
            throw AudioDeviceError("JACK refused to make the program's ports");
        }
    }
    if (rate_ != kEngineRate) {
        try {
            if (output_) outputResampler_ = std::make_unique<StreamResampler>(*output_, rate_, int(kChunkFrames));
            if (input_) inputResampler_ = std::make_unique<StreamResampler>(*input_, rate_, int(kChunkFrames));
            // Both directions in one callback, converted: room for the air band.
            if (output_ && input_ && LiveAir::servesRate(rate_)) air_ = std::make_unique<LiveAir>(rate_);
        } catch (const std::exception& e) {
            close();
            throw AudioDeviceError(e.what());
        }
    }
}

JackStream::~JackStream() {
    stop();
    close();
}

void JackStream::close() {
    if (!client_) return;
    jack_client_close(client_);
    client_ = nullptr;
}

std::string JackStream::name() const { return client_ ? jack_get_client_name(client_) : std::string(); }

void JackStream::start() {
    if (!client_ || shutDown_.load()) throw AudioDeviceError("the JACK server has gone away");
    accepting_.store(true);
    if (!active_) {
        if (jack_activate(client_) != 0) {
            accepting_.store(false);
            throw AudioDeviceError("the JACK server refused to start the program's client");
        }
        active_ = true;
        if (autoConnect) connectPorts();
    }
}

void JackStream::connectPorts() {
    // The chosen device is a JACK client ("system"): its first two ports of each kind.
    const std::string pattern = "^" + device_.deviceName + ":";
    auto connect = [&](jack_port_t* const ours[2], unsigned long flags, bool oursIsSource) {
        const char** theirs = jack_get_ports(client_, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, flags);
        if (!theirs) return;
        for (int c = 0; c < 2 && theirs[c]; ++c) {
            if (!ours[c]) continue;
            const char* mine = jack_port_name(ours[c]);
            if (oursIsSource)
                jack_connect(client_, mine, theirs[c]);
            else
                jack_connect(client_, theirs[c], mine);
        }
        jack_free(theirs);
    };
    if (output_) connect(out_, JackPortIsInput, true);
    if (input_) connect(in_, JackPortIsOutput, false);
}

void JackStream::stop() {
    accepting_.store(false);
    // Our callback never blocks, so this waits at most for the rest of one period's copying.
    while (inCallback_.load() != 0) std::this_thread::yield();
    if (active_ && client_ && !shutDown_.load()) jack_deactivate(client_);
    active_ = false;
}

double JackStream::latencySeconds() const {
    return latencyOf(rate_, period_, outputResampler_ ? outputResampler_->delaySeconds() : 0,
                     inputResampler_ ? inputResampler_->delaySeconds() : 0);
}

bool JackStream::realTime() const { return client_ && jack_is_realtime(client_); }

void JackStream::shutDown(void* self) noexcept {
    static_cast<JackStream*>(self)->shutDown_.store(true, std::memory_order_release);
}

int JackStream::process(unsigned frames, void* self) noexcept {
    const AudioThread::Scope realTime;
    auto* me = static_cast<JackStream*>(self);
    me->inCallback_.fetch_add(1);
    float* outL = me->out_[0] ? static_cast<float*>(jack_port_get_buffer(me->out_[0], frames)) : nullptr;
    float* outR = me->out_[1] ? static_cast<float*>(jack_port_get_buffer(me->out_[1], frames)) : nullptr;
    if (!me->accepting_.load()) {
        if (outL) std::fill_n(outL, frames, 0.0f);
        if (outR) std::fill_n(outR, frames, 0.0f);
        me->inCallback_.fetch_sub(1);
        return 0;
    }
    const float* inL = me->in_[0] ? static_cast<const float*>(jack_port_get_buffer(me->in_[0], frames)) : nullptr;
    const float* inR = me->in_[1] ? static_cast<const float*>(jack_port_get_buffer(me->in_[1], frames)) : nullptr;
    float* stereo = me->interleaved_.data();
    for (unsigned done = 0; done < frames;) {
        const unsigned n = std::min(frames - done, kChunkFrames);
        // Input first: the block a pass takes must be there when the output asks for it.
        if (me->input_ && inL && inR) {
            for (unsigned i = 0; i < n; ++i) {
                stereo[2 * i] = inL[done + i];
                stereo[2 * i + 1] = inR[done + i];
            }
            if (me->inputResampler_)
                me->inputResampler_->capture(stereo, int(n));
            else
                me->input_->capture(stereo, int(n));
            if (me->air_) me->air_->capture(stereo, n);
        }
        if (me->output_ && outL && outR) {
            if (me->outputResampler_) {
                me->outputResampler_->render(stereo, int(n));
            } else {
                me->output_->render(me->scratch16_.data(), int(n));
                for (unsigned i = 0; i < 2 * n; ++i) stereo[i] = me->scratch16_[i] * (1.0f / 32768.0f);
            }
            if (me->air_) me->air_->add(stereo, n);
            for (unsigned i = 0; i < n; ++i) {
                outL[done + i] = stereo[2 * i];
                outR[done + i] = stereo[2 * i + 1];
            }
        }
        done += n;
    }
    me->inCallback_.fetch_sub(1, std::memory_order_release);
    return 0;
}
