#include "LiveLoop.h"

void LiveLoop::attach(WaveDuplex* device) {
    device_ = device;
    inputHead_ = 0;
    inputCount_ = 0;
}

void LiveLoop::queueFilledInput() {
    int index;
    while (inputCount_ < inputQueue_.size() && device_->takeInputFilled(index)) {
        inputQueue_[(inputHead_ + inputCount_) % inputQueue_.size()] = index;
        ++inputCount_;
    }
    // Input that piled up while the output stood still (a dialog, a stall) would delay the
    // voice for good and, pile after pile, leave the device no buffer to fill: the oldest
    // blocks go back unheard, so the input is always as fresh as the output allows.
    while (inputCount_ > kMaxQueuedInput) {
        const int stale = inputQueue_[inputHead_];
        inputHead_ = (inputHead_ + 1) % inputQueue_.size();
        --inputCount_;
        ++skippedInput_;
        if (device_->inputOpen()) device_->addBuffer(stale);
    }
}

int LiveLoop::pump() {
    if (!device_) return 0;
    int ran = 0;
    int index;
    while (device_->takeOutputDone(index)) {
        // Input is collected after each output buffer is seen: the device hands over a
        // period's input before its output, so the block that belongs to this pass is here.
        queueFilledInput();
        pass(index);
        ++ran;
    }
    queueFilledInput();
    return ran;
}

void LiveLoop::pass(int outputIndex) {
    loop_.updateParameters();
    // A pass that arrives while the device is being reset is dropped, buffer and all.
    if (device_->isResetting()) return;

    int inputIndex = -1;
    if (inputCount_ > 0) {
        inputIndex = inputQueue_[inputHead_];
        inputHead_ = (inputHead_ + 1) % inputQueue_.size();
        --inputCount_;
    }
    const InputBuffer* input = inputIndex >= 0 ? &device_->inputBuffer(inputIndex) : nullptr;
    loop_.process(input, device_->sixteenBitInput(), device_->outputBuffer(outputIndex));
    ++passes_;

    if (device_->outputOpen()) device_->write(outputIndex);
    if (device_->inputOpen() && inputIndex >= 0) device_->addBuffer(inputIndex);
}
