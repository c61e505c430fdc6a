#include "engine/LanePath.h"

bool lanePathRuns(LanePath path) {
#if QUORVEL_X86_LANES
    // Needed when this runs before the compiler's own start-up code (a static initialiser).
    __builtin_cpu_init();
#endif
    switch (path) {
    case LanePath::Portable:
        return true;
#if QUORVEL_X86_LANES
    // The compiler's check includes the operating system's support for the wider registers.
    case LanePath::Avx2:
        return __builtin_cpu_supports("avx2");
    case LanePath::Avx512:
        // Its four-lane code uses all thirty-two registers (the VL extension, which every
        // AVX-512 processor but the first Xeon Phi generations has).
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#else
    case LanePath::Avx2:
    case LanePath::Avx512:
        return false;
#endif
    }
    return false;
}

LanePath bestLanePath() {
    if (lanePathRuns(LanePath::Avx512)) return LanePath::Avx512;
    if (lanePathRuns(LanePath::Avx2)) return LanePath::Avx2;
    return LanePath::Portable;
}

const char* lanePathName(LanePath path) {
    switch (path) {
    case LanePath::Portable:
        return "portable";
    case LanePath::Avx2:
        return "avx2";
    case LanePath::Avx512:
        return "avx512";
    }
    return "portable";
}

const LaneRoutines& laneRoutines(LanePath path) {
    if (!lanePathRuns(path)) return kPortableLaneRoutines;
#if QUORVEL_X86_LANES
    if (path == LanePath::Avx512) return kAvx512LaneRoutines;
    if (path == LanePath::Avx2) return kAvx2LaneRoutines;
#endif
    return kPortableLaneRoutines;
}
