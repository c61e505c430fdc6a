#include "audio/LiveLoop.h"

void LiveLoop::attach(WaveDuplex* device) {
    device_ = device;
    inputHead_ = 0;
    inputCount_ = 0;
    underrunsSeen_ = device ? device->underruns() : 0;
    droppedSeen_ = device ? device->droppedInputFrames() : 0;
}

void LiveLoop::queueFilledInput(std::size_t later) {
    int index;
    while (inputCount_ < inputQueue_.size() && device_->takeInputFilled(index)) {
        inputQueue_[(inputHead_ + inputCount_) % inputQueue_.size()] = index;
        ++inputCount_;
    }
    // Input that piled up while the output stood still (a dialog, a stall longer than the
    // ring) would delay the voice for good and, pile after pile, leave the device no buffer
    // to fill: the oldest blocks go back unheard, so the input is always as fresh as the
    // output allows. Input waiting for outputs already played is not stale: after a short
    // stall each of those passes takes its own block.
    while (inputCount_ > kMaxQueuedInput + later) {
        const int stale = inputQueue_[inputHead_];
        inputHead_ = (inputHead_ + 1) % inputQueue_.size();
        --inputCount_;
        ++skippedInput_;
        if (device_->inputOpen()) device_->addBuffer(stale);
    }
}

int LiveLoop::pump() {
    if (!device_) return 0;
    // Every output played since the last call, taken before the input: the device hands
    // over a period's input before its output, so the blocks that belong to these passes
    // are all queued below, and how many passes are still to come says how much of the
    // input is theirs.
    std::array<int, kMaxWaveBuffers> played;
    std::size_t count = 0;
    while (count < played.size() && device_->takeOutputDone(played[count])) ++count;
    // A stall that outlasted the ring (the output ran dry, or the input found no buffer)
    // leaves input from its start: only the freshest is kept.
    const std::uint64_t underruns = device_->underruns(), dropped = device_->droppedInputFrames();
    const bool ringRanOut = underruns != underrunsSeen_ || dropped != droppedSeen_;
    underrunsSeen_ = underruns;
    droppedSeen_ = dropped;
    for (std::size_t i = 0; i < count; ++i) {
        queueFilledInput(ringRanOut ? 0 : count - i - 1);
        pass(played[i]);
    }
    queueFilledInput(0);
    return static_cast<int>(count);
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
    if (input == nullptr && device_->inputOpen()) ++passesWithoutInput_;
    loop_.process(input, device_->sixteenBitInput(), device_->outputBuffer(outputIndex));
    ++passes_;

    if (device_->outputOpen()) device_->write(outputIndex);
    if (device_->inputOpen() && inputIndex >= 0) device_->addBuffer(inputIndex);
}
