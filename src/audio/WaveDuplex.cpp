#include "audio/WaveDuplex.h"

#include "engine/Engine.h"

#include <algorithm>
#include <cstdio>

namespace {

// Input buffers: the pass's block, those that may wait (LiveLoop::kMaxQueuedInput), the one
// being filled and one to spare.
constexpr int kInputBuffers = 5;

} // namespace

WaveDuplex::WaveDuplex(const SoundCardChoice& choice, const AudioDeviceCatalog& catalog, ShowMessage showMessage)
    : showMessage_(std::move(showMessage)) {
    sixteenBitInput_ = choice.sixteenBit;
    bufferCount_ = std::clamp(choice.bufferSlider, 1, kMaxWaveBuffers);
    noInput_ = choice.inputChoice == 0;
    input_.setSixteenBit(sixteenBitInput_);
    if (choice.outputChoice == 0) {
        noOutput_ = true;
        return;
    }
    noOutput_ = false;

    const int outputId = choice.outputChoice - 1;
    try {
        if (outputId < 0 || outputId >= static_cast<int>(catalog.outputs().size()))
            throw AudioDeviceError("device ID out of range");
        outputStream_ = AudioStream::openOutput(catalog.outputs()[outputId], output_);
        outputName_ = catalog.outputs()[outputId].name;
    } catch (const AudioDeviceError& e) {
        error_ = true;
        show("Couldn't open wave out device - \n%s", e.what());
        return;
    }
    outputOpen_ = true;

    if (!noInput_) {
        const int inputId = choice.inputChoice - 1;
        try {
            if (inputId < 0 || inputId >= static_cast<int>(catalog.inputs().size()))
                throw AudioDeviceError("device ID out of range");
            const AudioDeviceEntry& in = catalog.inputs()[inputId];
            const AudioDeviceEntry& out = catalog.outputs()[outputId];
            if (AudioStream::sameDevice(in, out)) {
                // One stream for both directions keeps the input in step with the output.
                outputStream_.reset();
                outputStream_ = AudioStream::openDuplex(out, output_, input_);
            } else {
                inputStream_ = AudioStream::openInput(in, input_);
            }
            inputName_ = in.name;
        } catch (const AudioDeviceError& e) {
            error_ = true;
            show("Couldn't open wave in device - \n%s", e.what());
            return;
        }
        inputOpen_ = true;
    }
    reset();
}

WaveDuplex::~WaveDuplex() { close(); }

void WaveDuplex::show(const char* format, const std::string& detail) {
    if (!showMessage_) return;
    const int size = std::snprintf(nullptr, 0, format, detail.c_str());
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, format, detail.c_str());
    showMessage_(text);
}

void WaveDuplex::start() {
    output_.prime(bufferCount_ - 1);
    // Input buffers go in before any stream runs: a stream that carries both directions
    // captures from its first period on.
    if (!noInput_)
        for (int i = 0; i < kInputBuffers; ++i) input_.addBuffer(i);
    if (outputStream_) {
        try {
            outputStream_->start();
        } catch (const AudioDeviceError& e) {
            error_ = true;
            show("Couldn't write to wave out device - \n%s", e.what());
            return;
        }
    }
    running_ = outputStream_ != nullptr;
    if (inputStream_) {
        try {
            inputStream_->start();
        } catch (const AudioDeviceError& e) {
            error_ = true;
            show("Couldn't start wave in device - \n%s", e.what());
            return;
        }
    }
}

void WaveDuplex::reset() {
    running_ = false;
    if (outputStream_) outputStream_->stop();
    if (inputStream_) inputStream_->stop();
    output_.clear();
    input_.clear();
}

void WaveDuplex::close() {
    running_ = false;
    if (outputStream_) outputStream_->stop();
    if (inputStream_) inputStream_->stop();
    outputStream_.reset();
    inputStream_.reset();
    outputOpen_ = false;
    inputOpen_ = false;
    output_.clear();
    input_.clear();
}

bool WaveDuplex::lost() const {
    return (outputStream_ && !outputStream_->isAlive()) || (inputStream_ && !inputStream_->isAlive());
}

double WaveDuplex::latencySeconds() const {
    double seconds = (bufferCount_ - 1) * BLOCK_SIZE / kEngineRate;
    if (outputStream_) seconds += outputStream_->latencySeconds();
    if (inputStream_) seconds += inputStream_->latencySeconds();
    return seconds;
}

bool WaveDuplex::realTime() const {
    return (!outputStream_ || outputStream_->realTime()) && (!inputStream_ || inputStream_->realTime());
}
