#include "BiquadCascade.h"

BiquadCascade::~BiquadCascade() {
    // Destruction is not an error path: a filter that was never initialised has nothing to free.
    if (isInitialised()) nspIirFree(&state_);
}

void BiquadCascade::restart(const double* taps, int numQuads) {
    if (isInitialised()) nspIirFree(&state_);
    init(taps, numQuads);
}
