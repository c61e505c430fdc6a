#pragma once

#include "dsp/Nsp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Records what the primitives report instead of printing it, and clears the sticky status
// around each test so that one test's error cannot silence the next.
struct NspReport {
    int status;
    std::string funcName;
    std::string context;
    std::string file;
    int line;
};

class NspReports : public ::testing::Test {
public:
    static std::vector<NspReport>& reports();

protected:
    void SetUp() override;
    void TearDown() override;
};
