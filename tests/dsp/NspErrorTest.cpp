#include "dsp/Nsp.h"
#include "NspReports.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ErrorReporting = NspReports;

TEST_F(ErrorReporting, StatusTextsNameEveryKnownCodeAndFormatTheOthers) {
    EXPECT_STREQ(nspErrorStr(0), "No Error");
    EXPECT_STREQ(nspErrorStr(-1), "Backtrace");
    EXPECT_STREQ(nspErrorStr(-4), "Out of memory");
    EXPECT_STREQ(nspErrorStr(-5), "Bad argument");
    EXPECT_STREQ(nspErrorStr(-8), "Autotrace call");
    EXPECT_STREQ(nspErrorStr(3), "Unknown status code 3");
    EXPECT_STREQ(nspErrorStr(-9), "Unknown error code -9");
}

TEST_F(ErrorReporting, TheMessageNamesTheModuleLineRoutineAndContextWithTheModesQuestion) {
    nspSetErrStatus(NSP_StsBadArg);
    NspErrorMessage leaf = nspFormatError(-5, "nspdbCopy", "n<=0", "nsparith", 279, NSP_ErrorModeLeaf);
    EXPECT_EQ(leaf.title, "SPL Library Error: Bad argument");
    EXPECT_EQ(leaf.text, "in function [nsparith:279]:nspdbCopy():\n n<=0"
                         "\n\nErrMode=NSP_ErrorModeLeaf\n\nTerminate the application?");

    NspErrorMessage parent = nspFormatError(-1, "nspdIirInitBq", "", "nspiirh", 476, NSP_ErrorModeParent);
    EXPECT_EQ(parent.text, "called from [nspiirh:476]:nspdIirInitBq():\n \n\nErrMode=NSP_ErrorModeParent\n\nContinue?");

    NspErrorMessage autotrace = nspFormatError(-8, nullptr, nullptr, nullptr, -3, NSP_ErrorModeSilent);
    EXPECT_EQ(autotrace.text, "called from [:0]:\n <unknown>()");
}

TEST_F(ErrorReporting, BacktraceAndAutotraceReachTheHandlerWithoutChangingTheStatus) {
    nspError(NSP_StsBackTrace, "f", "", "m", 1);
    nspError(NSP_StsAutoTrace, "f", "", "m", 2);
    EXPECT_EQ(nspGetErrStatus(), NSP_StsOk);
    EXPECT_EQ(reports().size(), 2u);
    nspError(NSP_StsOk, "f", "", "m", 3);
    EXPECT_EQ(reports().size(), 2u); // status 0 is not reported
}

TEST_F(ErrorReporting, RedirectingReturnsThePreviousHandlerAndNullRestoresTheDefault) {
    NspErrorCallback mine = nspRedirectError(nullptr);
    EXPECT_NE(mine, nspStdErrHandler);
    EXPECT_EQ(nspRedirectError(mine), nspStdErrHandler);
}

TEST_F(ErrorReporting, TheDefaultHandlerWritesTheMessageToStandardErrorUnlessSilent) {
    nspRedirectError(nullptr);
    nspSetErrMode(NSP_ErrorModeParent);
    testing::internal::CaptureStderr();
    nspdbAbs1(nullptr, 4);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("SPL Library Error: Bad argument"), std::string::npos);
    EXPECT_NE(printed.find("in function [nspvec:2902]:nspdbAbs1():\n vec==0"), std::string::npos);
    EXPECT_NE(printed.find("Continue?"), std::string::npos);

    nspSetErrStatus(0);
    nspSetErrMode(NSP_ErrorModeSilent);
    testing::internal::CaptureStderr();
    nspdbAbs1(nullptr, 4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
