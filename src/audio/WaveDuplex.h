#pragma once

#include "audio/AudioDeviceCatalog.h"
#include "audio/AudioStream.h"
#include "audio/InputRing.h"
#include "audio/OutputRing.h"
#include "audio/SoundCardChoice.h"
#include "rt/WakeupSignal.h"

#include <functional>
#include <memory>
#include <string>

// One sound-card input and one output, each with a ring of `bufferCount` 64-frame buffers.
// The output is the clock: every buffer it has played comes back to the window's thread,
// which fills it with the next block and writes it again; filled input buffers come back
// the same way and are added again once used.
// Thread: window (every member); the streams' callbacks, on the audio thread, touch only the rings.
class WaveDuplex {
public:
    using ShowMessage = std::function<void(const std::string&)>;

    // Opens the chosen devices; failures are shown through `showMessage` and leave the
    // object partly open, as the steps after a failure are skipped.
    WaveDuplex(const SoundCardChoice& choice, const AudioDeviceCatalog& catalog, WakeupSignal& wake,
               ShowMessage showMessage);
    ~WaveDuplex();
    WaveDuplex(const WaveDuplex&) = delete;
    WaveDuplex& operator=(const WaveDuplex&) = delete;

    // Primes the output with `bufferCount` silent buffers and starts both streams.
    void start();
    // Stops both streams and drops every queued buffer; passes arriving now are ignored.
    void reset();
    void write(int index);
    void addBuffer(int index);
    void close();

    void pauseOutput();
    void resumeOutput();

    bool isResetting() const { return resetting_; }
    bool hasError() const { return error_; }
    // True once a sound server has gone away under an open stream.
    bool lost() const;

    bool takeOutputDone(int& index) { return output_.takeDone(index); }
    bool takeInputFilled(int& index) { return input_.takeFilled(index); }
    OutputBuffer& outputBuffer(int index) { return output_.buffer(index); }
    InputBuffer& inputBuffer(int index) { return input_.buffer(index); }
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
    double latencySeconds() const;
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
    bool resetting_ = true;
    bool error_ = false;
    int bufferCount_ = 1;
};
