#pragma once

// Double-precision signal-processing primitives: a biquad-cascade IIR filter, its
// low-level tap and delay-line layer, and eight vector routines, with a process-wide
// sticky status reported through a replaceable handler.
//
// Thread: owner (the engine's: the window in the program, the main thread in the renderer).
// The status, mode and handler are process-wide and unguarded, so the engine calls these
// routines from one thread at a time.

#include "dsp/IirFilterState.h"

#include <string>

// Status codes.
inline constexpr int NSP_StsOk = 0;
inline constexpr int NSP_StsBackTrace = -1;
inline constexpr int NSP_StsError = -2;
inline constexpr int NSP_StsInternal = -3;
inline constexpr int NSP_StsNoMem = -4;
inline constexpr int NSP_StsBadArg = -5;
inline constexpr int NSP_StsBadFunc = -6;
inline constexpr int NSP_StsNoConv = -7;
inline constexpr int NSP_StsAutoTrace = -8;

// Error modes.
inline constexpr int NSP_ErrorModeLeaf = 0;
inline constexpr int NSP_ErrorModeParent = 1;
inline constexpr int NSP_ErrorModeSilent = 2;

// Relations for nspdbThresh1.
inline constexpr int NSP_LT = 0;
inline constexpr int NSP_GT = 1;

using NspErrorCallback = int (*)(int status, const char* funcName, const char* context, const char* file,
                                 int line);

// --- IIR filter -------------------------------------------------------------------------
void nspdIirInitBq(int iirType, const double* taps, int numQuads, IirFilterState* state);
void nspdbIir(IirFilterState* state, const double* in, double* out, int n);
void nspIirFree(IirFilterState* state);

// Low-level layer: normalise taps in place, attach a delay line, run the filter loop.
void nspdIirlInitBq(int iirType, double* taps, int numQuads, IirTapState* tapState);
void nspdIirlInitDlyl(const IirTapState* tapState, double* dlyl, IirDelayState* dlyState);
void nspdbIirl(const IirTapState* tapState, IirDelayState* dlyState, const double* in, double* out, int n);

// --- Vector routines (source first, destination second) ----------------------------------
void nspdbAdd2(const double* src, double* dst, int n);
void nspdbCopy(const double* src, double* dst, int n);
void nspdbMpy1(double val, double* dst, int n);
double nspdMean(const double* vec, int n);
void nspdbAbs1(double* vec, int n);
void nspdbThresh1(double* vec, int n, double thresh, int relOp);
double nspdMin(const double* vec, int n);
double nspdMax(const double* vec, int n);

// --- Status, mode and handler ------------------------------------------------------------
int nspGetErrStatus();
void nspSetErrStatus(int status);
int nspGetErrMode();
void nspSetErrMode(int mode);
// Installs a handler; a null handler restores the default. Returns the previous one.
NspErrorCallback nspRedirectError(NspErrorCallback handler);
// The error routine every check goes through.
int nspError(int status, const char* funcName, const char* context, const char* file, int line);
// Text of a status code. Unknown codes are formatted into one buffer per thread.
const char* nspErrorStr(int status);

// What the default handler shows, so that a window can show the same box.
struct NspErrorMessage {
    std::string title; // "SPL Library Error: <status text>"
    std::string text;  // the located message with the mode's question
};
NspErrorMessage nspFormatError(int status, const char* funcName, const char* context, const char* file,
                               int line, int mode);

// The default handler of this layer: no window exists here, so it writes the message to
// standard error and returns (it cannot ask the question, so it never terminates).
int nspStdErrHandler(int status, const char* funcName, const char* context, const char* file, int line);

// The fatal exit a handler takes when the user answers "terminate".
[[noreturn]] void nspTerminateApplication();
