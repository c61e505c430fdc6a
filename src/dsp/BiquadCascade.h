#pragma once

#include "dsp/Nsp.h"

// The engine's filter type: one IirFilterState with the lifetime rules of the primitives.
// It is neither copied nor moved, because the state must stay where it was initialised.
// Thread: owner (the engine's).
class BiquadCascade {
public:
    BiquadCascade() = default;
    ~BiquadCascade();
    BiquadCascade(const BiquadCascade&) = delete;
    BiquadCascade& operator=(const BiquadCascade&) = delete;

    // Taps per section b0 b1 b2 a0 a1 a2; the delay line starts at zero.
    void init(const double* taps, int numQuads) { nspdIirInitBq(1, taps, numQuads, &state_); }
    void free() { nspIirFree(&state_); }
    // Frees (when initialised) and initialises again: the filter restarts from silence.
    void restart(const double* taps, int numQuads);
    // The same as restart, but a filter of that many sections keeps its memory: new taps
    // and a silent delay line in the block it has, so that a live pass can switch filters
    // without allocating.
    void reload(const double* taps, int numQuads);
    void process(const double* in, double* out, int n) { nspdbIir(&state_, in, out, n); }
    void process(double* inOut, int n) { nspdbIir(&state_, inOut, inOut, n); }

    bool isInitialised() const { return state_.initMarker == kIirInitMarker; }
    int sections() const { return state_.tapSt.order / 2; }
    // The delay line, two values per section (newest first); for tests and state checks.
    const double* delayLine() const { return state_.dlySt.dlyl; }
    IirFilterState& state() { return state_; }

private:
    IirFilterState state_;
};
