#include "dsp/Nsp.h"

#include <cmath>

namespace {

constexpr const char* kArith = "nsparith";
constexpr const char* kVec = "nspvec";

bool failed() { return nspGetErrStatus() < 0; }

void badArg(const char* funcName, const char* context, const char* file, int line) {
    nspError(NSP_StsBadArg, funcName, context, file, line);
}

// The checks shared by the routines that take one vector and its length.
bool vectorUsable(const char* fn, const double* vec, int n, int line) {
    if (n <= 0) badArg(fn, "len<=0", kVec, line);
    if (vec == nullptr) badArg(fn, "vec==0", kVec, line);
    return !failed();
}

} // namespace

void nspdbAdd2(const double* src, double* dst, int n) {
    if (n <= 0) badArg("nspdbAdd2", "n<=0", kArith, 620);
    if (src == nullptr) badArg("nspdbAdd2", "src==0", kArith, 620);
    if (dst == nullptr) badArg("nspdbAdd2", "dst==0", kArith, 620);
    if (failed()) return;
    for (int i = 0; i < n; ++i) dst[i] += src[i];
}

void nspdbCopy(const double* src, double* dst, int n) {
    if (n <= 0) badArg("nspdbCopy", "n<=0", kArith, 279);
    if (src == nullptr) badArg("nspdbCopy", "src==0", kArith, 279);
    if (dst == nullptr) badArg("nspdbCopy", "dst==0", kArith, 279);
    if (failed()) return;
    for (int i = 0; i < n; ++i) dst[i] = src[i];
}

void nspdbMpy1(double val, double* dst, int n) {
    if (n <= 0) badArg("nspdbMpy1", "n<=0", kArith, 695);
    if (dst == nullptr) badArg("nspdbMpy1", "dst==0", kArith, 695);
    if (failed()) return;
    for (int i = 0; i < n; ++i) dst[i] *= val;
}

double nspdMean(const double* vec, int n) {
    if (!vectorUsable("nspdMean", vec, n, 3138)) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += vec[i];
    return sum / n;
}

void nspdbAbs1(double* vec, int n) {
    if (!vectorUsable("nspdbAbs1", vec, n, 2902)) return;
    for (int i = 0; i < n; ++i) vec[i] = std::fabs(vec[i]);
}

void nspdbThresh1(double* vec, int n, double thresh, int relOp) {
    if (!vectorUsable("nspdbThresh1", vec, n, 696)) return;
    if (relOp == NSP_GT) {
        for (int i = 0; i < n; ++i)
            if (vec[i] > thresh) vec[i] = thresh;
    } else if (relOp == NSP_LT) {
        for (int i = 0; i < n; ++i)
            if (vec[i] < thresh) vec[i] = thresh;
    }
}

double nspdMin(const double* vec, int n) {
    if (!vectorUsable("nspdMin", vec, n, 3352)) return 0.0;
    double smallest = vec[0];
    for (int i = 1; i < n; ++i)
        if (vec[i] < smallest) smallest = vec[i];
    return smallest;
}

double nspdMax(const double* vec, int n) {
    if (!vectorUsable("nspdMax", vec, n, 3181)) return 0.0;
    double largest = vec[0];
    for (int i = 1; i < n; ++i)
        if (vec[i] > largest) largest = vec[i];
    return largest;
}
