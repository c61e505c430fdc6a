// Runs a fixed number of kernel blocks at one KernelWorkload setting, for counting the
// instructions of one block under callgrind, whose count does not depend on the machine's
// load (run-all counts only inside the kernel's process function).
//
//   quorvel-kernel-blocks reference|optimised [plain|busy|silent] [BLOCKS] [PATH]
//
// PATH is portable, avx2 or avx512 (default: the widest this machine, or valgrind's
// emulation of it, runs). Prints the path the optimised kernel ran on.

#include "engine/ChannelBank.h"
#include "engine/FastVocoderKernel.h"
#include "KernelWorkload.h"
#include "engine/VocoderKernel.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

template <class Kernel>
double run(Kernel& kernel, const KernelWorkload& workload, long blocks) {
    std::array<double, BLOCK_SIZE> carrier{}, modulator{}, left{}, right{};
    double sum = 0;
    for (long b = 0; b < blocks; ++b) {
        workload.load(static_cast<std::size_t>(b), carrier.data(), modulator.data());
        kernel.process(workload.params(), carrier.data(), modulator.data(), left.data(), right.data());
        sum += left[0] + right[BLOCK_SIZE - 1];
    }
    return sum;
}

int usage() {
    std::fputs("usage: quorvel-kernel-blocks reference|optimised [plain|busy|silent] [BLOCKS] "
               "[portable|avx2|avx512]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view which = argv[1];
    if (which != "reference" && which != "optimised") return usage();
    const auto setting = KernelWorkload::named(argc > 2 ? argv[2] : "plain");
    // The muted setting is measured after thousands of settling blocks, which the count
    // inside the kernel would take in too.
    if (!setting || *setting == KernelWorkload::Setting::Muted) return usage();
    const long blocks = argc > 3 ? std::atol(argv[3]) : 1000;
    if (blocks < 1) return usage();
    LanePath path = bestLanePath();
    if (argc > 4) {
        const std::string_view name = argv[4];
        bool known = false;
        for (LanePath p : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512})
            if (name == lanePathName(p)) path = p, known = true;
        if (!known) return usage();
    }

    const KernelWorkload workload(*setting);
    ChannelBank bank;
    bank.initialise(false, workload.width());
    double sum;
    if (which == "reference") {
        VocoderKernel kernel(bank);
        sum = run(kernel, workload, blocks);
        std::printf("reference kernel, %s, %ld blocks\n", KernelWorkload::name(*setting), blocks);
    } else {
        FastVocoderKernel kernel(bank, path);
        sum = run(kernel, workload, blocks);
        std::printf("optimised kernel (%s), %s, %ld blocks\n", lanePathName(kernel.path()),
                    KernelWorkload::name(*setting), blocks);
    }
    bank.release();
    // Keeps the work observable.
    return sum == 12345.678 ? 1 : 0;
}
