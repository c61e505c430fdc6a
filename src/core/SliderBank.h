#pragma once

#include "core/CRandom.h"
#include "engine/Engine.h"

#include <array>
#include <string>
#include <string_view>

// The nine per-channel parameter banks, in their fixed order (also their order in settings
// files).
enum class BankId { Level, Pan, Dist, Delay, Echo, ETime, Regen, Slew, Warp };
inline constexpr int kBankCount = 9;
inline constexpr int kPresetCount = 3;
inline constexpr int kMaxPresetNameLength = 11;
inline constexpr int kChannelSliderMaximum = 127;
inline constexpr double kOneOver127 = 0.007874015748031496;

constexpr int bankIndex(BankId bank) {
    return static_cast<int>(bank);
}

// How a preset lays its 18 positions out; k is the channel number 1..18.
enum class PresetShape {
    Uniform, // every channel at a
    OddEven, // odd channels at a, even channels at b
    Split,   // channels 1..9 at a, 10..18 at b
    Ramp,    // channel k at (a·k + b) / c, truncated
};

struct PresetDefinition {
    std::string_view name;
    PresetShape shape;
    int a = 0;
    int b = 0;
    int c = 1;
};

struct BankDefinition {
    std::string_view name;
    double top;    // value at slider position 127
    double bottom; // value at slider position 0
    double start;  // every channel's value at start-up
    std::array<PresetDefinition, kPresetCount> presets;
};

// clang-format off
inline constexpr std::array<BankDefinition, kBankCount> kBankTable{{
    {"Level", 0.0004, 2e-9, 0.0002, {{{"Half ", PresetShape::Uniform, 64},
                                      {"Zero ", PresetShape::Uniform, 0},
                                      {"Comb ", PresetShape::OddEven, 0, 127}}}},
    {"Pan",   1.0,  -1.0,   0.0,    {{{"Sprd ", PresetShape::OddEven, 0, 127},
                                      {"Split ", PresetShape::Split, 127, 0},
                                      {"Mono ", PresetShape::Uniform, 64}}}},
    {"Dist",  0.99,  0.0,   0.0,    {{{"Zero ", PresetShape::Uniform, 0},
                                      {"Full ", PresetShape::Uniform, 127},
                                      {"Comb ", PresetShape::OddEven, 0, 127}}}},
    {"Delay", 1.0,   0.0,   0.0,    {{{"Zero ", PresetShape::Uniform, 0},
                                      {" Up ", PresetShape::Ramp, 1, -1, 1},
                                      {"Down ", PresetShape::Ramp, -1, 18, 1}}}},
    {"Echo",  1.0,   0.0,   0.0,    {{{"Full ", PresetShape::Uniform, 127},
                                      {"Zero ", PresetShape::Uniform, 0},
                                      {"Ramp ", PresetShape::Ramp, 127, 0, 18}}}},
    {"ETime", 1.0,   0.0,   0.5,    {{{"Full ", PresetShape::Uniform, 127},
                                      {"Half ", PresetShape::Uniform, 64},
                                      {"Zero ", PresetShape::Uniform, 0}}}},
    {"Regen", 1.05,  0.0,   0.0,    {{{"Zero ", PresetShape::Uniform, 0},
                                      {"Half ", PresetShape::Uniform, 64},
                                      {"Full ", PresetShape::Uniform, 127}}}},
    {"Slew",  1.0,   0.0,   0.0,    {{{"Fast ", PresetShape::Uniform, 0},
                                      {"Slow ", PresetShape::Uniform, 127},
                                      {"Ramp ", PresetShape::Ramp, -127, 2413, 18}}}}, // 127·(19 − k)/18
    {"Warp",  1.0,  -1.0,   0.0,    {{{"None ", PresetShape::Uniform, 64},
                                      {"Cmpr ", PresetShape::Uniform, 100},
                                      {"Expn ", PresetShape::Uniform, 28}}}},
}};
// clang-format on

constexpr std::array<int, kChannels> presetPositions(const PresetDefinition& preset) {
    std::array<int, kChannels> positions{};
    for (int k = 1; k <= kChannels; ++k) {
        int p = 0;
        switch (preset.shape) {
        case PresetShape::Uniform:
            p = preset.a;
            break;
        case PresetShape::OddEven:
            p = k % 2 == 1 ? preset.a : preset.b;
            break;
        case PresetShape::Split:
            p = k <= 9 ? preset.a : preset.b;
            break;
        case PresetShape::Ramp:
            p = (preset.a * k + preset.b) / preset.c;
            break;
        }
        positions[static_cast<std::size_t>(k - 1)] = p;
    }
    return positions;
}

struct SliderPreset {
    std::array<int, kChannels> position{};
    std::string name; // at most 11 characters
};

// One bank: the values the engine reads, the range the channel sliders span, and three
// presets.
// Thread: owner (the core's).
class SliderBank {
public:
    std::array<double, kChannels> value{};
    double top = 1.0;
    double bottom = 0.0;
    std::array<SliderPreset, kPresetCount> presets{};

    // The bank as the table builds it: range, presets with their names, start values.
    static SliderBank fromDefinition(const BankDefinition& definition);
    static SliderBank make(BankId bank) { return fromDefinition(kBankTable[static_cast<std::size_t>(bank)]); }

    // bottom + position·(1/127)·(top − bottom), the order presets use.
    double valueAtPosition(int position) const;
    // bottom + (top − bottom)·position·(1/127), the order the per-block derivation uses.
    // The two differ in the last bit for some positions; each caller keeps its own.
    // Inline: the block loop derives every channel's value from its slider on every pass.
    double engineValueAtPosition(int position) const {
        return bottom + (top - bottom) * position * kOneOver127;
    }
    // The slider position that shows `value`, 0..127. A value made from position p by either
    // order maps back to p.
    int positionOf(double value) const;

    // Sets every value from preset 0..2 and returns the positions the sliders must show.
    const std::array<int, kChannels>& loadPreset(int preset);
    // Draws a value per channel, channel 1 first, and returns the positions to show.
    std::array<int, kChannels> randomize(CRandom& random);
};
