#include "dsp/Nsp.h"

#include <cstdio>
#include <cstdlib>

namespace {

int currentStatus = NSP_StsOk;
int currentMode = NSP_ErrorModeLeaf;
NspErrorCallback currentHandler = nspStdErrHandler;

} // namespace

int nspGetErrStatus() { return currentStatus; }
void nspSetErrStatus(int status) { currentStatus = status; }
int nspGetErrMode() { return currentMode; }
void nspSetErrMode(int mode) { currentMode = mode; }

NspErrorCallback nspRedirectError(NspErrorCallback handler) {
    NspErrorCallback previous = currentHandler;
    currentHandler = handler ? handler : nspStdErrHandler;
    return previous;
}

int nspError(int status, const char* funcName, const char* context, const char* file, int line) {
    // Backtrace and autotrace reports pass through without hiding the error that caused them.
    if (status != NSP_StsBackTrace && status != NSP_StsAutoTrace) currentStatus = status;
    if (status != NSP_StsOk) currentHandler(status, funcName, context, file, line);
    return status;
}

const char* nspErrorStr(int status) {
    switch (status) {
    case 0: return "No Error";
    case -1: return "Backtrace";
    case -2: return "Unknown error";
    case -3: return "Internal error (bad state)";
    case -4: return "Out of memory";
    case -5: return "Bad argument";
    case -6: return "Unsupported function";
    case -7: return "Iteration convergence failed";
    case -8: return "Autotrace call";
    default: break;
    }
    thread_local char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Unknown %s code %d", status > 0 ? "status" : "error", status);
    return buffer;
}

NspErrorMessage nspFormatError(int status, const char* funcName, const char* context, const char* file,
                               int line, int mode) {
    const char* module = file ? file : "";
    const int where = line < 0 ? 0 : line;
    const char* routine = funcName ? funcName : "<unknown>";
    const char* what = context ? context : "";
    const char* suffix = "";
    if (mode == NSP_ErrorModeLeaf)
        suffix = "\n\nErrMode=NSP_ErrorModeLeaf\n\nTerminate the application?";
    else if (mode == NSP_ErrorModeParent)
        suffix = "\n\nErrMode=NSP_ErrorModeParent\n\nContinue?";

    const char* format = "in function [%s:%d]:%s():\n %s%s";
    if (status == NSP_StsBackTrace)
        format = "called from [%s:%d]:%s():\n %s%s";
    else if (status == NSP_StsAutoTrace)
        format = "called from [%s:%d]:\n %s(%s)%s";

    NspErrorMessage message;
    const int size = std::snprintf(nullptr, 0, format, module, where, routine, what, suffix);
    message.text.resize(static_cast<std::size_t>(size));
    std::snprintf(message.text.data(), message.text.size() + 1, format, module, where, routine, what, suffix);
    message.title = std::string("SPL Library Error: ") + nspErrorStr(currentStatus);
    return message;
}

int nspStdErrHandler(int status, const char* funcName, const char* context, const char* file, int line) {
    if (currentMode == NSP_ErrorModeSilent) return 0;
    const NspErrorMessage message = nspFormatError(status, funcName, context, file, line, currentMode);
    std::fprintf(stderr, "%s\n%s\n", message.title.c_str(), message.text.c_str());
    return 0;
}

void nspTerminateApplication() {
    std::fputs("SPL Library:\nterminating the application\n", stderr);
    std::fflush(stderr);
    std::_Exit(1);
}
