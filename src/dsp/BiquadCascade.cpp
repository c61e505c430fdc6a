#include "dsp/BiquadCascade.h"

BiquadCascade::~BiquadCascade() {
    // Destruction is not an error path: a filter that was never initialised has nothing to
    // free. The block of one that was is given back here rather than through nspIirFree,
    // which does nothing once the primitives' sticky status is negative: after any library
    // error, every filter destroyed would otherwise leak.
    if (isInitialised()) delete[] state_.tapSt.taps;
}

void BiquadCascade::restart(const double* taps, int numQuads) {
    if (isInitialised()) nspIirFree(&state_);
    init(taps, numQuads);
}

void BiquadCascade::reload(const double* taps, int numQuads) {
    if (!isInitialised() || sections() != numQuads || state_.tapSt.taps == nullptr) {
        restart(taps, numQuads);
        return;
    }
    // What nspdIirInitBq does after its allocation, in the block already there.
    double* block = state_.tapSt.taps;
    nspdbCopy(taps, block, 6 * numQuads);
    nspdIirlInitBq(1, block, numQuads, &state_.tapSt);
    nspdIirlInitDlyl(&state_.tapSt, block + 6 * numQuads, &state_.dlySt);
}
