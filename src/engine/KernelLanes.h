#pragma once

#include "engine/Engine.h"
#include "engine/LaneGroup.h"

#include <cstdint>

// One block through the lanes, in the order FastVocoderKernel::process calls the routines:
//   1. scaleInputs: carrier and modulator scaled by their levels, checked for overload and
//      clipped, at the full rate.
//   2. analyse, octave by octave from the top: octave0 runs on the full-rate inputs (the
//      top four modulator bands with their envelope low-passes, the sibilance high-pass,
//      and the decimators that halve modulator and carrier for octave 1); middle[o - 1]
//      runs octave o (1 to 4) at its rate on what the octave above decimated, its carrier
//      bands into middleBands; octave5 runs the lowest two channels. Each envelope lane's
//      samples are summed per channel; the lowest octave's carrier bands are distorted here.
//   3. updateEnvelopes and warp, inside the kernel's scalar mapping of each channel's value
//      and gain.
//   4. synthesise: octave0Carrier filters the top octave's carrier bands from the scaled
//      carrier into octave0Bands; the other octaves' driven bands are distorted; each
//      octave's carrier bands, times their factors (BandShaping), are summed into its left
//      and right sums at the octave's rate.
//   5. Rebuild steps 4 to 0 (rebuild[o], or paired[o] when exact) bring each octave's sums
//      up to the rate of the octave above, where they join that octave's own, down to the
//      full rate; what work goes beside which step is the block's schedule (LaneSynthesis.h).
//   6. The output mix: the sibilance band added to the full-rate sums, the wet gain and
//      the dry modulator applied, overload noted, left and right clipped.
//
// The filters of the optimised kernel arranged in lanes, and the working buffers of one
// block. The arrangement is the same whatever unit runs it: a unit with eight lanes runs
// an eight-lane group at once, a narrower one runs it as two halves.
//
// Analysis (the modulator and carrier split into octaves):
//   octave 0         8 lanes: modulator bands 17 16 15 14 with their envelope low-passes,
//                    modulator and carrier decimation 0, sibilance high-pass, idle
//   octave 0 carrier 4 lanes: carrier bands 17 16 15 14
//   octaves 1 to 4   8 lanes each: three modulator bands with envelopes, modulator
//                    decimation | the same three carrier bands, carrier decimation
//   octave 5         4 lanes: modulator bands 1 0 with envelopes | carrier bands 1 0
// Rebuild (the octave sums back to the full rate): step o, the interpolation low-pass that
// brings octave o + 1 up to octave o, left and right side by side in rebuild[o]; the same
// taps arranged for the paired form (PairedRebuild) in paired[o].
//
// Thread: owner (like the kernel that owns it).

enum class LaneJob : std::uint8_t {
    Idle,
    ModulatorBand,
    CarrierBand,
    ModulatorDecimation,
    CarrierDecimation,
    Sibilance
};

// What one lane runs; `index` is the channel of a band, the octave step of a decimator.
struct LaneAssignment {
    LaneJob job;
    std::int8_t index;
};

namespace lanes {

using J = LaneJob;
inline constexpr LaneAssignment kOctave0[8] = {
    {J::ModulatorBand, 17},      {J::ModulatorBand, 16},    {J::ModulatorBand, 15}, {J::ModulatorBand, 14},
    {J::ModulatorDecimation, 0}, {J::CarrierDecimation, 0}, {J::Sibilance, 0},      {J::Idle, 0},
};
inline constexpr LaneAssignment kOctave0Carrier[4] = {
    {J::CarrierBand, 17}, {J::CarrierBand, 16}, {J::CarrierBand, 15}, {J::CarrierBand, 14}};
inline constexpr LaneAssignment kMiddle[4][8] = {
    {{J::ModulatorBand, 13},
     {J::ModulatorBand, 12},
     {J::ModulatorBand, 11},
     {J::ModulatorDecimation, 1},
     {J::CarrierBand, 13},
     {J::CarrierBand, 12},
     {J::CarrierBand, 11},
     {J::CarrierDecimation, 1}},
    {{J::ModulatorBand, 10},
     {J::ModulatorBand, 9},
     {J::ModulatorBand, 8},
     {J::ModulatorDecimation, 2},
     {J::CarrierBand, 10},
     {J::CarrierBand, 9},
     {J::CarrierBand, 8},
     {J::CarrierDecimation, 2}},
    {{J::ModulatorBand, 7},
     {J::ModulatorBand, 6},
     {J::ModulatorBand, 5},
     {J::ModulatorDecimation, 3},
     {J::CarrierBand, 7},
     {J::CarrierBand, 6},
     {J::CarrierBand, 5},
     {J::CarrierDecimation, 3}},
    {{J::ModulatorBand, 4},
     {J::ModulatorBand, 3},
     {J::ModulatorBand, 2},
     {J::ModulatorDecimation, 4},
     {J::CarrierBand, 4},
     {J::CarrierBand, 3},
     {J::CarrierBand, 2},
     {J::CarrierDecimation, 4}},
};
inline constexpr LaneAssignment kOctave5[4] = {
    {J::ModulatorBand, 1}, {J::ModulatorBand, 0}, {J::CarrierBand, 1}, {J::CarrierBand, 0}};

// Where the decimators' outputs sit in the octave-0 and middle output rows, and the
// sibilance band in the octave-0 rows.
inline constexpr int kOctave0ModulatorOut = 4;
inline constexpr int kOctave0CarrierOut = 5;
inline constexpr int kOctave0SibilanceOut = 6;
inline constexpr int kMiddleModulatorOut = 3;
inline constexpr int kMiddleCarrierOut = 7;

// The lane of the first carrier band in octave 5's rows and in the middle octaves' rows:
// the bands are read as four lanes from there, highest channel first.
inline constexpr int kOctave5FirstBand = 2;
inline constexpr int kMiddleFirstBand = 4;

// First row of middle octave o (1 to 4) in the middle buffers, and first pair of octave o
// in the sums.
constexpr int middleRow(int octave) {
    return BLOCK_SIZE - (2 * BLOCK_SIZE >> octave);
}
constexpr int sumsRow(int octave) {
    return 2 * BLOCK_SIZE - (2 * BLOCK_SIZE >> octave);
}

} // namespace lanes

// Per block: each carrier band's factors for the octave's sums (its distortion is done
// before, LaneGroup's drive), by channel
// from index 2 on (channel k at k + 2): the vector code reads an octave's channels as one
// vector from kShapingFirst[octave] and reverses it into processing order; the two leading
// slots stand in for the missing channels below channel 0.
inline constexpr int kShapingSlots = kChannels + 2;
namespace lanes {
inline constexpr int kShapingFirst[kOctaves] = {16, 12, 9, 6, 3, 0};
}
struct alignas(64) BandShaping {
    double left[kShapingSlots];  // (1 - pan) x g x level
    double right[kShapingSlots]; // (1 + pan) x g x level
};

// What synthesise needs of the engine parameters, per channel and for the whole block.
struct SynthesisParams {
    const double* pan;
    const double* level;
    const double* gain; // g of each channel, from the value mapping
    // Bit o (octaves 0 to 4) is set when some band of octave o is distorted (its lanes'
    // drive is set); the lowest octave's are distorted in the analysis.
    unsigned drivenOctaves;
    double sibilanceGain;
    double mixHalf;
    double wet;
};

// A rebuild step's interpolation low-passes (left, right) as the paired form runs them.
// Their a1 is zero in every section, so each section's recursion reaches two samples back
// and the even and odd samples form two recursions of their own: an (even, odd) pair of
// samples of both sides is one four-lane vector, [left even, left odd, right even, right
// odd]. The a1 product is then a zero, and subtracting it changes nothing unless the value
// it is subtracted from is -0 (which becomes +0) or the delay value is not finite (NaN):
// the paired form runs a block only when neither can happen (LaneRoutines' synthesise
// checks the step's inputs, and its state after a block it ran sample by sample).
struct alignas(64) PairedRebuild {
    double taps[5][3][4]; // a2, b1, b2 of each section, as [left, left, right, right]
    double gain[4];       // twice the gain (an even sample's input is twice a sum), the same
    bool usable;          // the filters have that shape (FastVocoderKernel checks)
    bool checkState;      // the last block ran sample by sample: check the state first
};

struct alignas(64) KernelLanes {
    LaneGroup<8, 5> octave0;
    LaneGroup<4, 4> octave0Carrier;
    LaneGroup<8, 5> middle[4];
    LaneGroup<4, 5> octave5;
    LaneGroup<2, 5> rebuild[kOctaves - 1];
    PairedRebuild paired[kOctaves - 1];

    // One block's intermediate signals.
    alignas(64) double octave0Out[BLOCK_SIZE][8];
    alignas(64) double octave0Bands[BLOCK_SIZE][4];
    alignas(64) double middleBands[lanes::middleRow(5)][8];
    alignas(64) double middleOut[lanes::middleRow(5)][8];
    alignas(64) double octave5Bands[3][4]; // a spare row: the bands are read four lanes from lane 2
    alignas(64) double sums[lanes::sumsRow(kOctaves)][2]; // by two samples: left, left, right, right
    BandShaping shaping;
};

// A five-section half-band low-pass as BiquadCascade holds it: the normalised taps (gain,
// then a1/a0 a2/a0 b1/b0 b2/b0 per section) and the delay line, which the routines below
// read and write in place.
struct HalfBandState {
    const double* taps;
    double* delay;
};

// The vector routines of one instruction set; every one computes exactly what the
// reference (the reference kernel, the primitives' filter loop) computes, lane by lane and
// sample by sample.
struct LaneRoutines {
    // Scales both inputs, reports and clips overload (the kernel's first steps).
    void (*scaleInputs)(double* carrier, double* modulator, double carrierLevel, double modulatorLevel,
                        bool& carrierOverload, bool& modulatorOverload);
    // Runs the analysis filters over the block (all but the top octave's carrier bands),
    // distorts the lowest octave's carrier bands when `driven` (with the drive set in their
    // lanes; synthesise distorts the others) and sums each channel's envelope samples.
    void (*analyse)(KernelLanes& lanes, const double* modulator, const double* carrier, bool driven,
                    double (&envelopeSum)[kChannels]);
    // Each channel's smoothed envelope from its summed envelope samples: mean (the sum over
    // the octave's length), then envelope = mean x c + (1 - c) x envelope with the slew
    // coefficient c = 1 / (1 + 32 x slew).
    void (*updateEnvelopes)(const double (&envelopeSum)[kChannels], const double* slew, double* envelope);
    // VocoderKernel::warp of every channel: v[k] = warp(u[k], f[k]).
    void (*warp)(const double* u, const double* f, double* v);
    // Filters the top octave's carrier bands from the scaled carrier, distorts the carrier
    // bands of the octaves in `drivenOctaves`, sums the carrier bands with their factors,
    // rebuilds the full rate, adds sibilance and the dry modulator (which is left scaled by
    // mixHalf), and clips the outputs.
    void (*synthesise)(KernelLanes& lanes, const SynthesisParams& params, const double* carrier,
                       double* modulator, double* left, double* right, bool& leftOverload,
                       bool& rightOverload);

    // The carrier generator's two halvings: 256 samples through `first`, every other output
    // through `second`, every other output of that into `out` (64 samples).
    void (*halveTwice)(const double* in, double* out, HalfBandState first, HalfBandState second);
    // One doubling of the rate of left, right pairs: n pairs in, 2n out. Pair 2i is twice
    // in[i] and pair 2i + 1 is zero, each side through its own filter.
    void (*doublePairs)(const double* in, int n, double* out, HalfBandState left, HalfBandState right);
    // 16-bit samples as toSample16 makes them: truncated toward zero, clipped to the 16-bit
    // range, NaN as 0.
    void (*toSamples16)(const double* in, int n, std::int16_t* out);
    // The same for n frames of left and right, interleaved.
    void (*toStereo16)(const double* left, const double* right, int n, std::int16_t* out);
    // The block loop's dither alone: for each of n samples (a multiple of 4) two draws of
    // the 15-bit generator (state = state x 214013 + 2531011, draw = bits 16-30 of state),
    // the first times `modulatorStep` added to modulatorFrom[i] (or, when that is null, to
    // modulator[i]) into modulator[i], the second times `carrierStep` to carrierFrom[i]
    // into carrier[i]; `state` is left after the last draw.
    void (*addDither)(std::uint32_t& state, const std::int16_t* modulatorFrom, const double* carrierFrom,
                      double* modulator, double* carrier, int n, double modulatorStep, double carrierStep);
};

extern const LaneRoutines kPortableLaneRoutines;
extern const LaneRoutines kAvx2LaneRoutines;
extern const LaneRoutines kAvx512LaneRoutines;
