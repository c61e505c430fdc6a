#pragma once

#include "audio/AudioDeviceCatalog.h"
#include "audio/AudioStream.h"
#include "audio/LiveAir.h"
#include "audio/InputRing.h"
#include "audio/OutputRing.h"
#include "audio/SoundCardChoice.h"

#include <functional>
#include <memory>
#include <string>

// One sound-card input and one output. The output asks its block source (the live loop)
// for every block as it needs it, inside its callback; `bufferCount` - 1 blocks of silence
// primed ahead of the first keep that many blocks of safety between the passes and the
// device. Filled input blocks wait for the pass, which gives each back once used.
// Thread: window (every member not marked); the streams' callbacks, on the audio thread,
// touch only the rings and what is marked audio.
class WaveDuplex {
public:
    using ShowMessage = std::function<void(const std::string&)>;

    // Opens the chosen devices; failures are shown through `showMessage` and leave the
    // object partly open, as the steps after a failure are skipped.
    WaveDuplex(const SoundCardChoice& choice, const AudioDeviceCatalog& catalog, ShowMessage showMessage);
    ~WaveDuplex();
    WaveDuplex(const WaveDuplex&) = delete;
    WaveDuplex& operator=(const WaveDuplex&) = delete;

    // Thread: stopped. Who makes the output's blocks.
    void setSource(BlockSource* source) { output_.setSource(source); }
    // Primes the output with its safety blocks and the input with free buffers, and starts
    // both streams.
    void start();
    // Stops both streams and drops every queued buffer.
    void reset();
    void close();
    // The air band on or off, where this device has one (air()).
    void setAir(bool on) {
        if (LiveAir* band = air()) band->setOn(on);
    }
    // Whether the output's callback is running passes (started without an error).
    bool running() const { return running_; }

    bool hasError() const { return error_; }
    // True once a sound server has gone away under an open stream.
    bool lost() const;

    // Thread: audio (the output's callback, through the live loop).
    bool takeInputFilled(int& index) noexcept { return input_.takeFilled(index); }
    InputBuffer& inputBuffer(int index) noexcept { return input_.buffer(index); }
    void returnInput(int index) noexcept { input_.addBuffer(index); }
    // Where an input block began and where the block being made will play, in engine frames
    // (for the air band, which lines the two up).
    std::uint64_t inputStartFrame(int index) const noexcept { return input_.startFrame(index); }
    std::uint64_t outputMakingAt() const noexcept { return output_.makingAt(); }
    // The air band, when both directions run in one converted stream; null otherwise.
    LiveAir* air() noexcept { return outputStream_ && !inputStream_ ? outputStream_->air() : nullptr; }

    int inputBufferBytes() const { return input_.bufferBytes(); }

    bool noInput() const { return noInput_; }
    bool noOutput() const { return noOutput_; }
    bool sixteenBitInput() const { return sixteenBitInput_; }
    bool inputOpen() const { return inputOpen_; }
    bool outputOpen() const { return outputOpen_; }
    int bufferCount() const { return bufferCount_; }

    // What the user can see of the audio path.
    std::string outputName() const { return outputName_; }
    std::string inputName() const { return inputName_; }
    double outputRate() const { return outputStream_ ? outputStream_->rate() : 0.0; }
    double inputRate() const {
        return inputStream_ ? inputStream_->rate() : inputOpen_ && outputStream_ ? outputStream_->rate() : 0.0;
    }
    // From a sound at the input to the same sound at the output, through the dry mix: the
    // periods of the streams, the rate converters and the safety blocks.
    double latencySeconds() const;
    // Whether every open stream's callback runs with real-time priority.
    bool realTime() const;
    std::uint64_t underruns() const { return output_.underruns(); }
    std::uint64_t blocksPlayed() const { return output_.blocksPlayed(); }
    std::uint64_t droppedInputFrames() const { return input_.droppedFrames(); }

private:
    void show(const char* format, const std::string& detail = {});

    ShowMessage showMessage_;
    OutputRing output_;
    InputRing input_;
    std::unique_ptr<AudioStream> outputStream_;
    std::unique_ptr<AudioStream> inputStream_;
    std::string outputName_, inputName_;
    bool noInput_ = true;
    bool noOutput_ = true;
    bool sixteenBitInput_ = false;
    bool inputOpen_ = false;
    bool outputOpen_ = false;
    bool running_ = false;
    bool error_ = false;
    int bufferCount_ = 1;
};
