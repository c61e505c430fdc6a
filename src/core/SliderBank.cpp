#include "core/SliderBank.h"

#include <algorithm>
#include <cmath>

SliderBank SliderBank::fromDefinition(const BankDefinition& definition) {
    SliderBank bank;
    bank.top = definition.top;
    bank.bottom = definition.bottom;
    bank.value.fill(definition.start);
    for (std::size_t i = 0; i < bank.presets.size(); ++i) {
        bank.presets[i].position = presetPositions(definition.presets[i]);
        bank.presets[i].name.assign(definition.presets[i].name.substr(0, kMaxPresetNameLength));
    }
    return bank;
}

double SliderBank::valueAtPosition(int position) const {
    return bottom + position * kOneOver127 * (top - bottom);
}

int SliderBank::positionOf(double v) const {
    const double x = (v - bottom) * 127 / (top - bottom);
    // Plain truncation turns a value made from position p into p − 1 whenever the round trip
    // lands a hair below p (position 17 of Delay, 1 of Pan, 3 of Level ...), so every bank
    // switch or settings reload would walk the sliders down. The margin is far below one
    // step and far above the rounding of the two value formulas.
    const double shifted = std::trunc(x + 1e-6);
    if (!(shifted >= 0.0)) return 0; // also a NaN value
    if (shifted >= kChannelSliderMaximum) return kChannelSliderMaximum;
    return static_cast<int>(shifted);
}

const std::array<int, kChannels>& SliderBank::loadPreset(int preset) {
    const SliderPreset& p = presets[static_cast<std::size_t>(preset)];
    for (std::size_t k = 0; k < value.size(); ++k) value[k] = valueAtPosition(p.position[k]);
    return p.position;
}

std::array<int, kChannels> SliderBank::randomize(CRandom& random) {
    std::array<int, kChannels> positions{};
    for (std::size_t k = 0; k < value.size(); ++k) {
        // n reaches 128 only for the top draw; its value is then exactly `top`, which no
        // slider position shows, so the slider stops at 127.
        const int n = random.next() * 128 / CRandom::kMax;
        value[k] = bottom + (top - bottom) * n / 128;
        positions[k] = std::min(n, kChannelSliderMaximum);
    }
    return positions;
}
