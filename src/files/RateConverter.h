#pragma once

#include <cstdint>
#include <vector>

struct SRC_STATE_tag;

// Converts a mono stream at any other rate to the engine's 11025 Hz with libsamplerate's
// best sinc converter. The rates the half-band filters serve never come here.
class RateConverter {
public:
    // Whether a file at `rate` can be brought to 11025 Hz (libsamplerate takes ratios up
    // to 256 either way).
    static bool canConvert(std::uint32_t rate);

    // Throws std::bad_alloc when libsamplerate cannot make its state.
    explicit RateConverter(std::uint32_t rate);
    // From `rate` to `to` instead (the air band's way to a saved file's rate).
    RateConverter(std::uint32_t rate, double to);
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    // Converts `count` more input samples and appends what comes out to `out`. With `last`
    // set, the converter is drained: everything still inside it comes out. Returns false
    // when libsamplerate reports an error.
    bool process(const float* in, long count, bool last, std::vector<float>& out);

private:
    SRC_STATE_tag* state_ = nullptr;
    double ratio_;
};
