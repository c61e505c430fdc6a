#pragma once

#include "RenderOptions.h"

#include <iosfwd>

// One offline render: the same core, dispatcher and block loop as the live program, driven
// from the command line instead of a panel and a sound card. Messages go to `err` with the
// texts the program shows in its message boxes.
// Thread: owner (the caller's); the job runs to the end before run() returns.
class RenderJob {
public:
    enum ExitCode { kSuccess = 0, kFileError = 1, kUsageError = 2 };

    RenderJob(const RenderOptions& options, std::ostream& err, bool showProgress)
        : options_(options), err_(err), showProgress_(showProgress) {}

    int run();

private:
    const RenderOptions& options_;
    std::ostream& err_;
    bool showProgress_;
};
