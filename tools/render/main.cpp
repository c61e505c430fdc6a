#include "RenderJob.h"
#include "RenderOptions.h"

#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A reader that goes away (the end of a pipe, a closed FIFO) makes a write fail with
    // EPIPE, which the save reports, instead of ending the program without a word.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = parseRenderOptions(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << "quorvel-render: " << *error << "\nTry 'quorvel-render --help'.\n";
        return RenderJob::kUsageError;
    }
    const RenderOptions& options = std::get<RenderOptions>(parsed);
    if (options.help) {
        std::cout << kRenderUsage;
        return RenderJob::kSuccess;
    }
    RenderJob job(options, std::cerr, !options.quiet && isatty(STDERR_FILENO));
    return job.run();
}
