#include "audio/LiveLoop.h"

void LiveLoop::attach(WaveDuplex* device) {
    if (device_) device_->setSource(nullptr);
    device_ = device;
    inputHead_ = 0;
    inputCount_ = 0;
    if (device_) device_->setSource(this);
}

void LiveLoop::makeBlock(OutputBuffer& out) noexcept {
    engine_.beginPass();
    int index;
    while (inputCount_ < inputQueue_.size() && device_->takeInputFilled(index)) {
        inputQueue_[(inputHead_ + inputCount_) % inputQueue_.size()] = index;
        ++inputCount_;
    }
    while (inputCount_ > kMaxQueuedInput) {
        device_->returnInput(inputQueue_[inputHead_]);
        inputHead_ = (inputHead_ + 1) % inputQueue_.size();
        --inputCount_;
        skippedInput_.fetch_add(1, std::memory_order_relaxed);
    }
    int inputIndex = -1;
    if (inputCount_ > 0) {
        inputIndex = inputQueue_[inputHead_];
        inputHead_ = (inputHead_ + 1) % inputQueue_.size();
        --inputCount_;
    } else if (device_->inputOpen()) {
        passesWithoutInput_.fetch_add(1, std::memory_order_relaxed);
    }
    const InputBuffer* input = inputIndex >= 0 ? &device_->inputBuffer(inputIndex) : nullptr;
    const std::uint64_t inputStart = inputIndex >= 0 ? device_->inputStartFrame(inputIndex) : 0;
    engine_.loop().process(input, device_->sixteenBitInput(), out);
    if (inputIndex >= 0) device_->returnInput(inputIndex);
    passes_.fetch_add(1, std::memory_order_relaxed);
    engine_.endPass();
    if (LiveAir* air = device_->air(); air && inputIndex >= 0)
        air->passMade(inputStart, device_->outputMakingAt(), engine_.airGain(), engine_.airChannel());
}
