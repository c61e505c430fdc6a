#include "engine/VocoderKernel.h"

#include "engine/SubnormalState.h"

#include "dsp/Nsp.h"

#include <cmath>

namespace {

// Channels of each octave in processing order, highest first. Because the whole block
// runs from channel 17 down to 0, a channel's upper neighbour already holds this block's
// value when it is mapped, and its lower neighbour still holds the previous block's.
constexpr int kOctaveChannels[kOctaves][4] = {
    {17, 16, 15, 14}, {13, 12, 11, -1}, {10, 9, 8, -1}, {7, 6, 5, -1}, {4, 3, 2, -1}, {1, 0, -1, -1},
};

// Clips a block to +-32000 and says whether it went beyond.
bool clipBlock(double* block) {
    const bool overload = nspdMax(block, BLOCK_SIZE) > kClipLevel || nspdMin(block, BLOCK_SIZE) < -kClipLevel;
    nspdbThresh1(block, BLOCK_SIZE, kClipLevel, NSP_GT);
    nspdbThresh1(block, BLOCK_SIZE, -kClipLevel, NSP_LT);
    return overload;
}

} // namespace

double VocoderKernel::warp(double v, double f) {
    // A negative or undefined value counts as 0.
    double d = v > 0.0 ? v : 0.0;
    if (d > 16000.0) d = 16000.0;
    if (d < 4000.0) return d * ((1.0 + f) * (1.0 + f));
    return d + (2.0 / 3.0) * (16000.0 - d) * (f + f * f / 2.0);
}

void VocoderKernel::distort(double* buffer, int n, double x) {
    if (x < 0.005) return;
    const double b = (1.0 - x) * (1.0 - x);
    const double low = -4000.0 * b;
    const double high = 4000.0 * b;
    for (int i = 0; i < n; ++i) {
        const double s = buffer[i];
        if (s < low)
            buffer[i] = -4000.0;
        else if (s > high)
            buffer[i] = 4000.0;
        else
            buffer[i] = s / b;
    }
}

double VocoderKernel::mapChannel(const EngineParams& params, int k, double env) {
    std::array<double, kHistoryLength>& history = history_[k];
    std::array<double, kHistoryLength>& recirc = recirc_[k];
    history[pos_] = env;
    const double a = history[((pos_ - params.delay[k]) % kHistoryLength + kHistoryLength) % kHistoryLength];
    const double b = params.echoTime[k] != 0
                         ? recirc[((pos_ - params.echoTime[k] + kHistoryLength) % kHistoryLength + kHistoryLength) %
                                  kHistoryLength]
                         : a;
    recirc[pos_] = a + b * params.regeneration[k];

    const bool frozen = params.hold || (params.sampleHold && !params.shTick);
    if (!frozen) {
        const double v = warp(a + b * params.echo[k], params.warp[k]);
        if (params.enhance) {
            double result;
            if (k == kChannels - 1)
                result = v - 0.25 * value_[k - 1];
            else if (k == 0)
                result = v - 0.25 * value_[1];
            else
                result = v - 0.25 * (value_[k + 1] + value_[k - 1]);
            value_[k] = result < 0.0 ? 0.0 : result;
        } else if (params.smooth) {
            if (k == kChannels - 1)
                value_[k] = 0.5 * v + 0.25 * value_[k - 1];
            else if (k == 0)
                value_[k] = 0.5 * v + 0.25 * value_[1];
            else
                value_[k] = 0.5 * v + 0.25 * (value_[k + 1] + value_[k - 1]);
        } else {
            value_[k] = v;
        }
    }

    if (params.eq) return 1000.0;
    const int j = params.source[k] + params.shift;
    return j >= 0 && j < kChannels ? value_[j] : 0.0;
}

Overloads VocoderKernel::process(const EngineParams& params, double* carrier, double* modulator, double* left,
                                 double* right) {
    Overloads overloads;
    pos_ = (pos_ + 1) % kHistoryLength;

    std::array<double, kChannels> smoothing;
    for (int k = 0; k < kChannels; ++k) smoothing[k] = 1.0 / (1.0 + 32.0 * params.slew[k]);

    nspdbMpy1(params.carrierLevel, carrier, BLOCK_SIZE);
    nspdbMpy1(params.modulatorLevel, modulator, BLOCK_SIZE);
    overloads.carrier = clipBlock(carrier);
    overloads.modulator = clipBlock(modulator);

    bank_.sibilanceHighpass.process(modulator, sibilance_.data(), BLOCK_SIZE);

    nspdbCopy(modulator, modOctave_[0].data(), BLOCK_SIZE);
    nspdbCopy(carrier, carOctave_[0].data(), BLOCK_SIZE);
    for (int o = 0; o < kOctaves; ++o) {
        const int n = BLOCK_SIZE >> o;
        double* M = modOctave_[o].data();
        double* C = carOctave_[o].data();
        double* leftSum = leftSum_[o].data();
        double* rightSum = rightSum_[o].data();
        for (int i = 0; i < n; ++i) leftSum[i] = rightSum[i] = 0.0;

        for (const int k : kOctaveChannels[o]) {
            if (k < 0) break;
            bank_.modulatorBand[k].process(M, band_.data(), n);
            nspdbAbs1(band_.data(), n);
            bank_.envelopeLowpass[k].process(band_.data(), n);
            bank_.carrierBand[k].process(C, carrierBand_.data(), n);

            const double m = nspdMean(band_.data(), n);
            envelope_[k] = m * smoothing[k] + (1.0 - smoothing[k]) * envelope_[k];
            const double g = mapChannel(params, k, envelope_[k]);
            gain_[k] = g;

            distort(carrierBand_.data(), n, params.distortion[k]);
            nspdbCopy(carrierBand_.data(), leftBand_.data(), n);
            nspdbMpy1((1.0 - params.pan[k]) * g * params.level[k], leftBand_.data(), n);
            nspdbMpy1((1.0 + params.pan[k]) * g * params.level[k], carrierBand_.data(), n);
            nspdbAdd2(leftBand_.data(), leftSum, n);
            nspdbAdd2(carrierBand_.data(), rightSum, n);
        }

        if (o + 1 < kOctaves) {
            bank_.modulatorDecimation[o].process(M, scratch_.data(), n);
            for (int i = 0; i < n / 2; ++i) modOctave_[o + 1][i] = scratch_[2 * i];
            bank_.carrierDecimation[o].process(C, scratch_.data(), n);
            for (int i = 0; i < n / 2; ++i) carOctave_[o + 1][i] = scratch_[2 * i];
        }
    }

    // Rebuild the full rate: zero-stuff with gain 2, remove the image, add to the octave above.
    for (int o = kOctaves - 1; o >= 1; --o) {
        const int n = BLOCK_SIZE >> o;
        for (auto [sums, filters] : {std::pair{&leftSum_, &bank_.leftInterpolation},
                                     std::pair{&rightSum_, &bank_.rightInterpolation}}) {
            const double* source = (*sums)[o].data();
            for (int i = 0; i < n; ++i) {
                scratch_[2 * i] = 2.0 * source[i];
                scratch_[2 * i + 1] = 0.0;
            }
            (*filters)[o - 1].process(scratch_.data(), 2 * n);
            nspdbAdd2(scratch_.data(), (*sums)[o - 1].data(), 2 * n);
        }
    }
    // One step's pair of filters a block (SubnormalState), the steps in turn.
    for (BiquadCascade* filter : {&bank_.leftInterpolation[silenceStep_], &bank_.rightInterpolation[silenceStep_]})
        clearIfSubnormal(filter->state().dlySt.dlyl, 2 * filter->sections(), 1);
    silenceStep_ = (silenceStep_ + 1) % (kOctaves - 1);
    nspdbCopy(leftSum_[0].data(), left, BLOCK_SIZE);
    nspdbCopy(rightSum_[0].data(), right, BLOCK_SIZE);

    nspdbMpy1(params.sibilance, sibilance_.data(), BLOCK_SIZE);
    nspdbAdd2(sibilance_.data(), left, BLOCK_SIZE);
    nspdbAdd2(sibilance_.data(), right, BLOCK_SIZE);

    nspdbMpy1(params.mix * 0.5, modulator, BLOCK_SIZE);
    const double wet = (1.0 - params.mix) * widthGain(bank_.width());
    nspdbMpy1(wet, left, BLOCK_SIZE);
    nspdbMpy1(wet, right, BLOCK_SIZE);
    nspdbAdd2(modulator, left, BLOCK_SIZE);
    nspdbAdd2(modulator, right, BLOCK_SIZE);

    overloads.left = clipBlock(left);
    overloads.right = clipBlock(right);
    return overloads;
}
