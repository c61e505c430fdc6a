#include "RenderJob.h"
#include "RenderOptions.h"

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
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
