#pragma once

#include <cmath>
#include <limits>

// A recursive filter fed exact zeros rings down into subnormal numbers and, rounding to
// nearest, can then cycle among the smallest of them for ever, every operation on them
// many times slower than on normal numbers. The tiny random additions to the inputs keep
// the analysis filters away from that; the rebuild filters take the octave sums, which are
// exact zeros whenever every band's factor is (all levels down, every source shifted out
// of range), and with their state subnormal the kernel took some twelve times its usual
// time a block. Such a state can reach no sample of any output format (a subnormal is
// 0 as a 16-bit or 32-bit float sample), so once a filter's whole state is below the
// normal range the filter restarts from silence. Both kernels check one rebuild step's
// pair of filters after each block, the steps in turn (while there is sound, the first
// value read ends a check), and so stay bit for bit the same.
//
// Clears `count` values `stride` apart to +0 when every one of them is a zero or subnormal
// (a NaN is neither, and is kept); returns whether it did.
inline bool clearIfSubnormal(double* first, int count, int stride) {
    for (int i = 0; i < count; ++i)
        if (!(std::fabs(first[i * stride]) < std::numeric_limits<double>::min())) return false;
    for (int i = 0; i < count; ++i) first[i * stride] = 0.0;
    return true;
}
