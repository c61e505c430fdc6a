#include "files/HalfBandUpsampler.h"

#include "engine/FilterCoefficients.h"

HalfBandUpsampler::HalfBandUpsampler() {
    filter_.init(coefficients::kHalfBandLowpass.data(),
                 static_cast<int>(coefficients::kHalfBandLowpass.size() / 6));
}

void HalfBandUpsampler::process(const double* in, int n, double* out) {
    for (int i = 0; i < n; ++i) {
        out[2 * i] = 2.0 * in[i];
        out[2 * i + 1] = 0.0;
    }
    filter_.process(out, 2 * n);
}
