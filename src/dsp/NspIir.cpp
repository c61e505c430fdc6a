#include "dsp/Nsp.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr const char* kIirModule = "nspiirh";
constexpr const char* kIirlModule = "nspiirl";

bool failed() { return nspGetErrStatus() < 0; }

void badArg(const char* funcName, const char* context, const char* file, int line) {
    nspError(NSP_StsBadArg, funcName, context, file, line);
}

// A coefficient counts as zero when its upper 32 bits, sign disregarded, are zero.
bool isZeroCoefficient(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return ((bits >> 32) & 0x7FFFFFFFu) == 0;
}

bool tapsUsable(const IirTapState* tapState) {
    return tapState->taps != nullptr && (tapState->form == 0 || tapState->form == 1);
}

// Direct form II per section, gain applied once at the input. Every operation is written
// out in the order that defines the result; no contraction, no reordering.
//
// Taps and delay line are copied into locals first: the output array may alias neither,
// but the compiler cannot know that, and re-reading them from memory for every sample
// costs more than the filtering. Fixed section counts let the state live in registers.
template <int Sections>
void runFixed(const double* taps, double* delay, const double* in, double* out, int n) {
    double c[4 * Sections];
    double d[2 * Sections];
    for (int i = 0; i < 4 * Sections; ++i) c[i] = taps[1 + i];
    for (int i = 0; i < 2 * Sections; ++i) d[i] = delay[i];
    const double gain = taps[0];
    for (int i = 0; i < n; ++i) {
        double t = gain * in[i];
        for (int k = 0; k < Sections; ++k) {
            const double d0 = d[2 * k];
            const double d1 = d[2 * k + 1];
            const double w = t - c[4 * k] * d0 - c[4 * k + 1] * d1;
            const double y = w + c[4 * k + 2] * d0 + c[4 * k + 3] * d1;
            d[2 * k + 1] = d0;
            d[2 * k] = w;
            t = y;
        }
        out[i] = t;
    }
    for (int i = 0; i < 2 * Sections; ++i) delay[i] = d[i];
}

void runGeneric(const double* taps, double* delay, int sections, const double* in, double* out, int n) {
    const double gain = taps[0];
    for (int i = 0; i < n; ++i) {
        double t = gain * in[i];
        for (int k = 0; k < sections; ++k) {
            const double* c = taps + 1 + 4 * k;
            double* d = delay + 2 * k;
            const double d0 = d[0];
            const double d1 = d[1];
            const double w = t - c[0] * d0 - c[1] * d1;
            const double y = w + c[2] * d0 + c[3] * d1;
            d[1] = d0;
            d[0] = w;
            t = y;
        }
        out[i] = t;
    }
}

void runCascade(const double* taps, double* delay, int sections, const double* in, double* out, int n) {
    switch (sections) {
    case 1: runFixed<1>(taps, delay, in, out, n); break;
    case 2: runFixed<2>(taps, delay, in, out, n); break;
    case 4: runFixed<4>(taps, delay, in, out, n); break;
    case 5: runFixed<5>(taps, delay, in, out, n); break;
    default: runGeneric(taps, delay, sections, in, out, n); break;
    }
}

} // namespace

void nspdIirInitBq(int iirType, const double* taps, int numQuads, IirFilterState* state) {
    constexpr const char* fn = "nspdIirInitBq";
    if (state == nullptr) badArg(fn, "statePtr==0", kIirModule, 465);
    if (taps == nullptr) badArg(fn, "tapVals==0", kIirModule, 465);
    if (failed()) return;
    if (numQuads <= 0) badArg(fn, "numQuads <= 0", kIirModule, 465);
    if (iirType != 0 && iirType != 1) badArg(fn, "iirType is out of range", kIirModule, 465);
    if (state->initMarker == kIirInitMarker)
        badArg(fn, "IIR filter state structure is already initialized! Use nspIirFree to free it", kIirModule,
               465);
    if (failed()) return;

    const std::size_t count = 8u * static_cast<std::size_t>(numQuads);
    double* block = new (std::nothrow) double[count];
    if (block == nullptr) {
        nspError(NSP_StsNoMem, fn, "insufficiency of memory for IIR filter state", kIirModule, 470);
        if (failed()) return;
    }

    state->initMarker = kIirInitMarker;
    nspdbCopy(taps, block, 6 * numQuads);
    nspdIirlInitBq(iirType, block, numQuads, &state->tapSt);
    if (nspGetErrStatus() != NSP_StsOk) {
        nspError(NSP_StsBackTrace, fn, "", kIirModule, 476);
        delete[] block;
        state->tapSt.taps = nullptr;
        state->initMarker = 0;
        return;
    }
    nspdIirlInitDlyl(&state->tapSt, block + 6 * numQuads, &state->dlySt);
}

void nspdbIir(IirFilterState* state, const double* in, double* out, int n) {
    constexpr const char* fn = "nspdbIir";
    if (state == nullptr) badArg(fn, "statePtr==0", kIirModule, 915);
    if (state != nullptr && state->initMarker != kIirInitMarker)
        badArg(fn, "IIR filter wasn't initialized", kIirModule, 915);
    if (failed()) return;
    nspdbIirl(&state->tapSt, &state->dlySt, in, out, n);
}

void nspIirFree(IirFilterState* state) {
    constexpr const char* fn = "nspIirFree";
    if (state == nullptr) badArg(fn, "statePtr==0", kIirModule, 653);
    if (state != nullptr && state->initMarker != kIirInitMarker)
        badArg(fn, "IIR filter wasn't initialized", kIirModule, 656);
    if (failed()) return;
    delete[] state->tapSt.taps;
    state->tapSt.taps = nullptr;
    state->dlySt.dlyl = nullptr;
    state->initMarker = 0;
}

void nspdIirlInitBq(int iirType, double* taps, int numQuads, IirTapState* tapState) {
    constexpr const char* fn = "nspdIirlInitBq";
    if (tapState == nullptr) badArg(fn, "tapStPtr==0", kIirlModule, 350);
    if (taps == nullptr) badArg(fn, "taps==0", kIirlModule, 350);
    if (numQuads <= 0) badArg(fn, "numQuads <= 0", kIirlModule, 350);
    if (iirType != 0 && iirType != 1) badArg(fn, "iirType is out of range", kIirlModule, 350);
    if (failed()) return;

    tapState->order = 2 * numQuads;
    tapState->iirType = iirType;
    tapState->form = 1;
    tapState->taps = taps;

    // In place: section i reads elements 6i..6i+5 and writes 1+4i..4+4i, never ahead of its reads.
    double gain = 1.0;
    for (int i = 0; i < numQuads; ++i) {
        const double* section = taps + 6 * i;
        const double b0 = section[0], b1 = section[1], b2 = section[2];
        const double a0 = section[3], a1 = section[4], a2 = section[5];
        char context[48];
        if (isZeroCoefficient(b0)) {
            std::snprintf(context, sizeof context, "taps[%d*6] equals zero", i);
            badArg(fn, context, kIirlModule, 362);
            return;
        }
        if (isZeroCoefficient(a0)) {
            std::snprintf(context, sizeof context, "taps[%d*6+3] equals zero", i);
            badArg(fn, context, kIirlModule, 362);
            return;
        }
        double* normalised = taps + 1 + 4 * i;
        normalised[0] = a1 / a0;
        normalised[1] = a2 / a0;
        normalised[2] = b1 / b0;
        normalised[3] = b2 / b0;
        gain *= b0 / a0;
    }
    taps[0] = gain;
}

void nspdIirlInitDlyl(const IirTapState* tapState, double* dlyl, IirDelayState* dlyState) {
    constexpr const char* fn = "nspdIirlInitDlyl";
    if (tapState == nullptr) badArg(fn, "tapStPtr==0", kIirlModule, 537);
    if (dlyState == nullptr) badArg(fn, "dlyStPtr==0", kIirlModule, 537);
    if (failed()) return;
    if (!tapsUsable(tapState)) badArg(fn, "structure *tapStPtr wasn't initialized", kIirlModule, 537);
    if (tapState->order > 0 && dlyl == nullptr) badArg(fn, "dlyl==0", kIirlModule, 537);
    if (failed()) return;
    dlyState->dlyl = dlyl;
    for (int i = 0; i < tapState->order; ++i) dlyl[i] = 0.0;
}

void nspdbIirl(const IirTapState* tapState, IirDelayState* dlyState, const double* in, double* out, int n) {
    constexpr const char* fn = "nspdbIirl";
    if (tapState == nullptr) badArg(fn, "tapStPtr==0", kIirlModule, 2304);
    if (dlyState == nullptr) badArg(fn, "dlyStPtr==0", kIirlModule, 2304);
    if (in == nullptr) badArg(fn, "inSamps==0", kIirlModule, 2304);
    if (out == nullptr) badArg(fn, "outSamps==0", kIirlModule, 2304);
    if (failed()) return;
    if (!tapsUsable(tapState)) badArg(fn, "structure *tapStPtr wasn't initialized", kIirlModule, 2304);
    if (tapState->order > 0 && dlyState->dlyl == nullptr)
        badArg(fn, "structure *dlyStPtr wasn't initialized", kIirlModule, 2304);
    if (n < 0) badArg(fn, "numIters < 0", kIirlModule, 2304);
    if (failed()) return;

    runCascade(tapState->taps, dlyState->dlyl, tapState->order / 2, in, out, n);
}
