#pragma once

#include "dsp/BiquadCascade.h"

// One doubling of the rate for one channel of a saved recording: each value is doubled and
// followed by a zero, and the half-band low-pass removes the image this leaves above the
// old Nyquist frequency (the doubling restores the level the zeros halve). The filter
// starts from silence when the object is made and runs on across the whole recording.
class HalfBandUpsampler {
public:
    HalfBandUpsampler();
    HalfBandUpsampler(const HalfBandUpsampler&) = delete;
    HalfBandUpsampler& operator=(const HalfBandUpsampler&) = delete;

    // `in` holds n values, `out` receives 2n.
    void process(const double* in, int n, double* out);

private:
    BiquadCascade filter_;
};
