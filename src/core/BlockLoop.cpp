#include "core/BlockLoop.h"

#include "core/ControlTable.h"
#include "core/EngineParamsUpdate.h"
#include "engine/Sample16.h"

#include <cmath>

namespace {

// The dither's step per unit of a draw, on the modulator and on the carrier.
constexpr double kModulatorDither = 3.051850947599719e-07;
constexpr double kCarrierDither = 3.0518509475997196e-10;

} // namespace

void BlockLoop::updateParameters() {
    updateEngineParams(core_);
    events_.parametersUpdated();
}

const FileBlock* BlockLoop::takeFileBlock(const FileBlockList& file, std::size_t& pos, bool& playing,
                                          bool& restart, bool repeat, ControlId button, bool& usedLast) {
    usedLast = false;
    if (!playing) return nullptr;
    if (file.empty()) {
        // A double click can start a file kind that is not loaded; nothing can play.
        playing = false;
        core_.controls.setLitControl(button, false);
        return nullptr;
    }
    if (restart || pos >= file.size()) {
        pos = 0;
        restart = false;
    }
    const FileBlock* block = &file[pos++];
    if (pos == file.size()) {
        usedLast = true;
        if (repeat) {
            pos = 0;
        } else {
            playing = false;
            core_.controls.setLitControl(button, false);
        }
    }
    return block;
}

std::size_t BlockLoop::blocksLeft(const FileBlockList& file, std::size_t pos, bool playing, bool restart) {
    if (!playing || file.empty()) return 0;
    return file.size() - (restart || pos >= file.size() ? 0 : pos);
}

std::size_t BlockLoop::modulatorBlocksLeft() const {
    const ControlState& s = core_.state;
    return blocksLeft(core_.modulatorFile, core_.modulatorFilePos, s.playModulatorFile, s.modulatorFileRestart);
}

std::size_t BlockLoop::carrierBlocksLeft() const {
    const ControlState& s = core_.state;
    return blocksLeft(core_.carrierFile, core_.carrierFilePos, s.playCarrierFile, s.carrierFileRestart);
}

void BlockLoop::buildSamples(const InputBuffer* input, bool sixteenBitInput, const FileBlock* modulatorFile,
                             const FileBlock* carrierFile) {
    const ControlState& s = core_.state;
    const std::array<double, kChannels>& value = core_.kernel.values();
    const bool unvoiced = s.voicedUnvoicedOn && value[0] + value[1] < value[16] && value[16] > 50;
    const bool oscillator = !carrierFile && (s.carrierPulse || s.carrierChorus);
    const bool noise = !carrierFile && !oscillator && s.carrierNoise;

    // The samples without the random parts, each source chosen once for the block.
    if (input) {
        for (int n = 0; n < BLOCK_SIZE; ++n) {
            double left, right;
            if (sixteenBitInput) {
                const std::uint8_t* frame = input->bytes.data() + 4 * n;
                left = static_cast<std::int16_t>(frame[0] | frame[1] << 8);
                right = static_cast<std::int16_t>(frame[2] | frame[3] << 8);
            } else {
                const std::uint8_t* frame = input->bytes.data() + 2 * n;
                left = (frame[0] - 128) * 256;
                right = (frame[1] - 128) * 256;
            }
            modulator_[n] = s.inputMode == 0 || s.inputMode == 2 ? left : right;
            carrier_[n] = s.inputMode == 0 ? right : s.inputMode == 1 ? left : right - left;
        }
    } else {
        // Silence, where no file or oscillator replaces it below.
        if (!modulatorFile) modulator_.fill(0.0);
        if (!carrierFile && !oscillator) carrier_.fill(0.0);
    }
    // The dither alone, as most blocks have it: the same draws, eight at a time, taking the
    // modulator file's and the oscillator's samples on the way.
    const bool ditherAlone = dither_ && !noise && !unvoiced;
    if (carrierFile)
        for (int n = 0; n < BLOCK_SIZE; ++n) carrier_[n] = carrierFile->samples[n];
    if (ditherAlone) {
        CRandom& random = core_.random;
        std::uint32_t state = random.state();
        routines_.addDither(state, modulatorFile ? modulatorFile->samples.data() : nullptr,
                            oscillator ? oscillator_.data() : carrier_.data(), modulator_.data(), carrier_.data(),
                            BLOCK_SIZE, kModulatorDither, kCarrierDither);
        random.seed(state);
        return;
    }
    if (modulatorFile)
        for (int n = 0; n < BLOCK_SIZE; ++n) modulator_[n] = modulatorFile->samples[n];
    if (oscillator) carrier_ = oscillator_;

    // Then the draws, sample by sample in the order that makes the sequence: the
    // modulator's dither, the noise carrier, the unvoiced noise, the carrier's dither.
    if (!dither_ && !noise && !unvoiced) return;
    CRandom& random = core_.random;
    const bool dither = dither_;
    for (int n = 0; n < BLOCK_SIZE; ++n) {
        if (dither) modulator_[n] += random.next() * kModulatorDither;
        double c = carrier_[n];
        if (noise) c = -32767 + random.next() * 2.000030518509476;
        if (unvoiced) c = (1 - 2.0 * random.next() / 32767) * -16383;
        if (dither) c += random.next() * kCarrierDither;
        carrier_[n] = c;
    }
}

void BlockLoop::record(OutputBuffer& out) {
    ControlState& s = core_.state;
    RecordBlock* newLeft = nullptr;
    RecordBlock* newRight = nullptr;
    TakeStream* stream = nullptr;
    if (s.recordOn && core_.recording && core_.recording->stream) {
        stream = core_.recording->stream;
    } else if (s.recordOn && core_.recording) {
        Recording& r = *core_.recording;
        newLeft = r.left.tryAppend();
        newRight = newLeft ? r.right.tryAppend() : nullptr;
        if (newLeft && !newRight) r.left.pop_back();
        if (!newRight) {
            newLeft = nullptr;
            s.recordOn = false;
            core_.controls.setLitControl(control::Rec, false);
            events_.showMessage("Not enough memory for rec buffer");
        }
    }

    if (s.playRecording && core_.recording) {
        Recording& r = *core_.recording;
        if (s.playRestart) {
            r.playPos = 0;
            s.playRestart = false;
        }
        const RecordBlock* playLeft = r.playPos < r.left.size() ? &r.left[r.playPos] : nullptr;
        const RecordBlock* playRight = r.playPos < r.right.size() ? &r.right[r.playPos] : nullptr;
        ++r.playPos;
        if (r.playPos >= r.left.size() || r.playPos >= r.right.size()) s.playRecording = false;
        if (deviceOutput_)
            for (int n = 0; n < BLOCK_SIZE; ++n) {
                out.samples[2 * n] = playLeft ? toSample16(playLeft->samples[n]) : 0;
                out.samples[2 * n + 1] = playRight ? toSample16(playRight->samples[n]) : 0;
            }
        // As a kept take's new blocks stay: silent.
        if (stream) {
            static constexpr std::array<double, BLOCK_SIZE> kSilence{};
            stream->recorded(kSilence, kSilence);
        }
        return;
    }
    s.playRecording = false;
    if (deviceOutput_) routines_.toStereo16(left_.data(), right_.data(), BLOCK_SIZE, out.samples.data());
    if (newLeft) {
        newLeft->samples = left_;
        newRight->samples = right_;
    } else if (stream) {
        stream->recorded(left_, right_);
    }
}

void BlockLoop::process(const InputBuffer* input, bool sixteenBitInput, OutputBuffer& out) {
    ControlState& s = core_.state;
    inputMissing_ = input == nullptr;

    const FileBlock* modulatorFile =
        takeFileBlock(core_.modulatorFile, core_.modulatorFilePos, s.playModulatorFile, s.modulatorFileRestart,
                      s.repeatModulatorFile, control::PlayModulator, lastModulatorBlock_);
    const FileBlock* carrierFile =
        takeFileBlock(core_.carrierFile, core_.carrierFilePos, s.playCarrierFile, s.carrierFileRestart,
                      s.repeatCarrierFile, control::PlayCarrier, lastCarrierBlock_);

    core_.generator.generate(core_.params, core_.kernel.values(), oscillator_.data());
    core_.params.shTick = core_.generator.shTick();

    buildSamples(input, sixteenBitInput, modulatorFile, carrierFile);
    overloads_ = core_.kernel.process(core_.params, carrier_.data(), modulator_.data(), left_.data(), right_.data());
    record(out);

    if (++blockCounter_ % 18 == 0) events_.spectrumDue(core_.kernel.values());
}
