#pragma once

#include "core/BlockEvents.h"
#include "core/VocoderCore.h"
#include "core/WaveBuffers.h"
#include "engine/Engine.h"
#include "engine/LanePath.h"
#include "engine/VocoderKernel.h"

#include <array>
#include <cstddef>
#include <cstdint>

// One block of the vocoder from the controls to 16-bit stereo: engine parameters, file
// playback, the carrier generator, the modulator and carrier samples for the input mode
// and carrier buttons, the kernel, recording, and playback of the recording. The live loop
// runs it for every output buffer the sound card hands back; the command-line renderer
// runs it with no sound card at all. Both run this same code.
// Thread: owner (the core's: the window in the program, the main thread in the renderer).
class BlockLoop {
public:
    BlockLoop(VocoderCore& core, BlockEvents& events) : core_(core), events_(events) {}

    // The engine parameters for the coming pass; the first step of every pass, even one
    // that a resetting device then drops.
    void updateParameters();

    // The rest of the pass: `input` is the oldest filled input buffer, or null when none
    // was queued. Writes 64 frames into `out`, unless the device output is off.
    void process(const InputBuffer* input, bool sixteenBitInput, OutputBuffer& out);

    // Leaves out the tiny random additions to the modulator and carrier samples (they
    // exist to keep the filters out of denormal numbers; a render may want exact zeros).
    void setDither(bool on) { dither_ = on; }
    // Off where no device plays the frames (a render keeps only the recording): `out` is
    // then left as it is, and its 16-bit frames are not made.
    void setDeviceOutput(bool on) { deviceOutput_ = on; }

    bool inputMissing() const { return inputMissing_; }
    std::uint64_t blockCounter() const { return blockCounter_; }
    const Overloads& overloads() const { return overloads_; }
    // Whether this pass took the last block of the modulator or carrier file.
    bool usedLastModulatorBlock() const { return lastModulatorBlock_; }
    bool usedLastCarrierBlock() const { return lastCarrierBlock_; }
    // How many passes from now take a block of the modulator or carrier file up to the one
    // that takes its last, if no command changes its playing meanwhile; 0 when it does not
    // play. (A repeating file starts over after that pass.)
    std::size_t modulatorBlocksLeft() const;
    std::size_t carrierBlocksLeft() const;

    const std::array<double, BLOCK_SIZE>& modulatorBlock() const { return modulator_; }
    const std::array<double, BLOCK_SIZE>& carrierBlock() const { return carrier_; }
    const std::array<double, BLOCK_SIZE>& outputLeft() const { return left_; }
    const std::array<double, BLOCK_SIZE>& outputRight() const { return right_; }

private:
    // Takes this pass's block of a playing file, or null when the file does not play.
    const FileBlock* takeFileBlock(const FileBlockList& file, std::size_t& pos, bool& playing, bool& restart,
                                   bool repeat, ControlId button, bool& usedLast);
    // What takeFileBlock will do from here, pass by pass, up to the last block.
    static std::size_t blocksLeft(const FileBlockList& file, std::size_t pos, bool playing, bool restart);
    void buildSamples(const InputBuffer* input, bool sixteenBitInput, const FileBlock* modulatorFile,
                      const FileBlock* carrierFile);
    void record(OutputBuffer& out);

    VocoderCore& core_;
    BlockEvents& events_;
    const LaneRoutines& routines_ = laneRoutines(bestLanePath()); // the dither, the output's 16-bit samples
    bool dither_ = true;
    bool deviceOutput_ = true;
    bool inputMissing_ = false;
    bool lastModulatorBlock_ = false;
    bool lastCarrierBlock_ = false;
    std::uint64_t blockCounter_ = 0;
    Overloads overloads_;
    std::array<double, BLOCK_SIZE> modulator_{};
    std::array<double, BLOCK_SIZE> carrier_{};
    std::array<double, BLOCK_SIZE> oscillator_{};
    std::array<double, BLOCK_SIZE> left_{};
    std::array<double, BLOCK_SIZE> right_{};
};
