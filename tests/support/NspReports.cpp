#include "NspReports.h"

namespace {

int recordingHandler(int status, const char* funcName, const char* context, const char* file, int line) {
    NspReports::reports().push_back(
        {status, funcName ? funcName : "", context ? context : "", file ? file : "", line});
    return 0;
}

} // namespace

std::vector<NspReport>& NspReports::reports() {
    static std::vector<NspReport> all;
    return all;
}

void NspReports::SetUp() {
    reports().clear();
    nspSetErrStatus(NSP_StsOk);
    nspSetErrMode(NSP_ErrorModeLeaf);
    nspRedirectError(recordingHandler);
}

void NspReports::TearDown() {
    nspRedirectError(nullptr);
    nspSetErrStatus(NSP_StsOk);
}
