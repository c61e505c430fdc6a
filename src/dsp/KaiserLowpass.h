#pragma once

#include <cstddef>
#include <vector>

// A linear-phase low-pass designed with the Kaiser window: it passes up to `pass` Hz and is
// `attenuationDb` down from `stop` Hz on, at `rate`, cutting off half way between. The tap
// count is odd, so that its delay, (taps - 1) / 2, is a whole number of samples.
// Thread: any (pure functions).
std::size_t kaiserTaps(double rate, double pass, double stop, double attenuationDb);
std::vector<double> kaiserLowpass(double rate, double pass, double stop, double attenuationDb);
