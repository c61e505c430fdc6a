#include "audio/RtAudioStream.h"

#include "engine/Engine.h"
#include "rt/AudioThread.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace {

constexpr unsigned kMaxCallbackFrames = 8192;

RtAudio::Api apiOf(AudioBackend backend) {
    switch (backend) {
    case AudioBackend::Jack: return RtAudio::UNIX_JACK;
    case AudioBackend::Alsa: return RtAudio::LINUX_ALSA;
    case AudioBackend::Pulse: return RtAudio::LINUX_PULSE;
    case AudioBackend::InternalClock: break;
    }
    return RtAudio::RTAUDIO_DUMMY;
}

} // namespace

RtAudioStream::RtAudioStream(const AudioDeviceEntry& device, OutputRing* output, InputRing* input)
    : device_(device), output_(output), input_(input), scratch16_(2 * kMaxCallbackFrames) {
    try {
        audio_ = std::make_unique<RtAudio>(apiOf(device.backend));
        audio_->showWarnings(false);
        // Device numbers change as other programs come and go (every JACK client is a
        // device): find the device again by its name.
        const unsigned count = audio_->getDeviceCount();
        bool found = false;
        for (unsigned id = 0; id < count && !found; ++id) {
            const RtAudio::DeviceInfo info = audio_->getDeviceInfo(id);
            if (info.probed && info.name == device.deviceName) {
                device_.deviceId = id;
                found = true;
            }
        }
        if (!found) throw AudioDeviceError("device ID out of range");
    } catch (const RtAudioError& e) {
        throw AudioDeviceError(e.getMessage());
    }
    // The engine rate first; a device that runs at one fixed rate (a JACK server) or
    // refuses 11025 Hz is opened at its own rate and converted.
    const bool lists11025 =
        device.rates.empty() || std::find(device.rates.begin(), device.rates.end(), 11025u) != device.rates.end();
    unsigned fallback = device.preferredRate;
    if (fallback == 0 && !device.rates.empty()) fallback = device.rates.back();
    std::string firstError;
    if (lists11025) {
        try {
            open(11025);
        } catch (const RtAudioError& e) {
            firstError = e.getMessage();
        }
    }
    if (!audio_->isStreamOpen()) {
        if (fallback == 0 || fallback == 11025)
            throw AudioDeviceError(firstError.empty() ? "the device offers no usable sample rate" : firstError);
        try {
            open(fallback);
        } catch (const RtAudioError& e) {
            throw AudioDeviceError(e.getMessage());
        }
    }
    rate_ = audio_->getStreamSampleRate();
    if (rate_ <= 0) rate_ = 11025;
    if (rate_ != kEngineRate) {
        try {
            if (output_) outputResampler_ = std::make_unique<StreamResampler>(*output_, rate_, int(kMaxCallbackFrames));
            if (input_) inputResampler_ = std::make_unique<StreamResampler>(*input_, rate_, kMaxCallbackFrames);
            // Both directions in one callback, converted: room for the air band.
            if (output_ && input_ && LiveAir::servesRate(rate_)) air_ = std::make_unique<LiveAir>(rate_);
        } catch (const std::exception& e) {
            audio_->closeStream();
            throw AudioDeviceError(e.what());
        }
    }
}

void RtAudioStream::open(unsigned rate) {
    RtAudio::StreamParameters parameters;
    parameters.deviceId = device_.deviceId;
    parameters.nChannels = 2;
    parameters.firstChannel = 0;
    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_SCHEDULE_REALTIME;
    options.numberOfBuffers = 2;
    options.streamName = output_ && input_ ? "quorvel" : output_ ? "quorvel-out" : "quorvel-in";
    unsigned frames = std::max(64u, 64u * rate / 11025u);
    audio_->openStream(output_ ? &parameters : nullptr, input_ ? &parameters : nullptr, RTAUDIO_FLOAT32, rate,
                       &frames, &RtAudioStream::callback, this, &options);
    periodFrames_ = frames;
}

double RtAudioStream::latencySeconds() const {
    return latencyOf(rate_, periodFrames_, outputResampler_ ? outputResampler_->delaySeconds() : 0,
                     inputResampler_ ? inputResampler_->delaySeconds() : 0);
}

RtAudioStream::~RtAudioStream() {
    stop();
    if (audio_ && audio_->isStreamOpen()) audio_->closeStream();
}

void RtAudioStream::start() {
    accepting_.store(true);
    try {
        audio_->startStream();
    } catch (const RtAudioError& e) {
        accepting_.store(false);
        throw AudioDeviceError(e.getMessage());
    }
}

void RtAudioStream::stop() {
    accepting_.store(false);
    if (audio_ && audio_->isStreamOpen() && audio_->isStreamRunning()) {
        try {
            audio_->abortStream(); // stopStream() can wait for ever on a server that stopped calling us
        } catch (const RtAudioError&) {
        }
    }
    // Our callback never blocks, so this waits at most for the rest of one period's copying.
    while (inCallback_.load() != 0) std::this_thread::yield();
}

bool RtAudioStream::isAlive() const { return audio_ && audio_->isStreamOpen(); }

int RtAudioStream::callback(void* out, void* in, unsigned frames, double, RtAudioStreamStatus,
                            void* self) noexcept {
    const AudioThread::Scope realTime;
    auto* me = static_cast<RtAudioStream*>(self);
    me->inCallback_.fetch_add(1);
    if (me->realTime_.load(std::memory_order_relaxed) < 0)
        me->realTime_.store(sched_getscheduler(0) == SCHED_FIFO || sched_getscheduler(0) == SCHED_RR ? 1 : 0,
                            std::memory_order_relaxed);
    if (!me->accepting_.load()) {
        if (out) std::fill_n(static_cast<float*>(out), 2 * std::size_t(frames), 0.0f);
        me->inCallback_.fetch_sub(1);
        return 0;
    }
    const float* input = static_cast<const float*>(in);
    float* output = static_cast<float*>(out);
    while (frames > 0) {
        const unsigned n = std::min(frames, kMaxCallbackFrames);
        // Input first: the block a pass takes must be there when its output buffer comes back.
        if (me->input_ && input) {
            if (me->inputResampler_)
                me->inputResampler_->capture(input, static_cast<int>(n));
            else
                me->input_->capture(input, static_cast<int>(n));
            if (me->air_) me->air_->capture(input, n);
            input += 2 * n;
        }
        if (me->output_ && output) {
            if (me->outputResampler_) {
                me->outputResampler_->render(output, static_cast<int>(n));
            } else {
                me->output_->render(me->scratch16_.data(), static_cast<int>(n));
                for (unsigned i = 0; i < 2 * n; ++i) output[i] = me->scratch16_[i] * (1.0f / 32768.0f);
            }
            if (me->air_) me->air_->add(output, n);
            output += 2 * n;
        }
        frames -= n;
    }
    me->inCallback_.fetch_sub(1, std::memory_order_release);
    return 0;
}
