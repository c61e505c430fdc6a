#pragma once

#include "engine/EngineParams.h"
#include "engine/FilterWidth.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// One of the settings the kernel is measured at, with a second of input (172 blocks)
// prepared beforehand, so that a measurement holds nothing but the kernel.
//   plain   every control at its start position (a plain vocoder, Normal width): a
//           voice-like modulator on a pulse carrier
//   busy    Wide, the Chorus1 chord as the carrier, enhance, echo with regeneration, warp,
//           distortion, pan, sibilance and mix
//   silent  the plain setting with nothing at either input but the tiny random additions
//           the block loop makes (they keep the filters out of denormal numbers)
//   muted   the plain setting with every level at 0, measured once the rebuild filters
//           have rung down from the plain setting's sound to where they stay (settle):
//           their inputs are then exact zeros, which no tiny addition reaches
// Thread: any; one object per thread.
class KernelWorkload {
public:
    enum class Setting { Plain, Busy, Silent, Muted };
    static constexpr Setting kSettings[] = {Setting::Plain, Setting::Busy, Setting::Silent, Setting::Muted};

    explicit KernelWorkload(Setting setting);

    static const char* name(Setting setting);
    static std::optional<Setting> named(std::string_view name);

    const EngineParams& params() const { return params_; }
    FilterWidth width() const { return width_; }
    std::size_t blocks() const { return carrier_.size(); }
    // Copies block `block` (taken round the second) into the kernel's input buffers, which
    // the kernel overwrites.
    void load(std::size_t block, double* carrier, double* modulator) const;

    // Brings a new kernel to where the setting is measured: the muted setting's blocks of
    // sound and then of ring-down; nothing for the others.
    template <class Kernel>
    void settle(Kernel& kernel) const {
        std::array<double, BLOCK_SIZE> carrier{}, modulator{}, left{}, right{};
        for (std::size_t b = 0; b < settleBlocks_; ++b) {
            load(b, carrier.data(), modulator.data());
            kernel.process(b < kSoundBlocks ? sound_ : params_, carrier.data(), modulator.data(), left.data(),
                           right.data());
        }
    }

private:
    static constexpr std::size_t kSoundBlocks = 200;
    EngineParams params_;
    EngineParams sound_; // the settling blocks' parameters before the ring-down
    std::size_t settleBlocks_ = 0;
    FilterWidth width_ = FilterWidth::Normal;
    std::vector<std::array<double, BLOCK_SIZE>> carrier_, modulator_;
};
