#pragma once

#include <cstdint>

// The classic 15-bit linear congruential generator. It is our own object rather than the
// process-wide C generator so that the sequence belongs to one VocoderCore: a test, an
// offline render or a second core cannot disturb it, and a seed reproduces a run exactly.
// Thread: owner. It is not shared.
class CRandom {
public:
    static constexpr int kMax = 32767;

    explicit CRandom(std::uint32_t seed = 1) : state_(seed) {}

    void seed(std::uint32_t state) { state_ = state; }
    // The state the next draw starts from (seed() with it repeats the sequence from here).
    std::uint32_t state() const { return state_; }

    // 0..32767. Inline: the block loop draws up to four a sample.
    int next() {
        state_ = state_ * 214013u + 2531011u; // unsigned: the wrap-around is the generator
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

private:
    std::uint32_t state_;
};
