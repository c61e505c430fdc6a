#include "core/EngineParamsUpdate.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace {

using ChannelArray = std::array<double, kChannels>;

// The EngineParams array each bank feeds, in bank order.
constexpr std::array<ChannelArray EngineParams::*, kBankCount> kBankArrays{
    &EngineParams::level,        &EngineParams::pan,  &EngineParams::distortion,
    &EngineParams::delayValue,   &EngineParams::echo, &EngineParams::echoTimeValue,
    &EngineParams::regeneration, &EngineParams::slew, &EngineParams::warp,
};

double gainLevel(int k) {
    return 0.001 + k / 32.0;
}

// 24 slider steps to the octave, from 2262 (k = 0) to 366 (k = 63).
std::int32_t periodOf(int k) {
    return static_cast<std::int32_t>(200 * std::pow(2.0, (84 - k) / 24.0));
}

// The same, from a table for the slider's own range: the pass need not raise 2 to a power.
std::int32_t pulsePeriod(int k) {
    constexpr int kPositions = 64;
    static const std::array<std::int32_t, kPositions> table = [] {
        std::array<std::int32_t, kPositions> periods{};
        for (int i = 0; i < kPositions; ++i) periods[static_cast<std::size_t>(i)] = periodOf(i);
        return periods;
    }();
    return k >= 0 && k < kPositions ? table[static_cast<std::size_t>(k)] : periodOf(k);
}

} // namespace

void updateEngineParams(VocoderCore& core) {
    EngineParams& p = core.params;
    const ControlModel& c = core.controls;
    const ControlState& s = core.state;

    p.carrierLevel = gainLevel(c.parameterSlider(control::CarrierGain));
    p.modulatorLevel = gainLevel(c.parameterSlider(control::ModulatorGain));
    p.sibilance = c.parameterSlider(control::Sibilance) / 64.0;
    p.mix = c.parameterSlider(control::MixLevel) / 64.0;
    p.sampleHoldRate = (c.parameterSlider(control::SampleHoldRate) + 1) * 6.7e-6;
    p.sampleHoldPeriod = static_cast<std::int32_t>(1.0 / p.sampleHoldRate);
    p.period = pulsePeriod(c.parameterSlider(control::CarrierFrequency));
    p.duty = (c.parameterSlider(control::PulseWidth) + 1) / 128.0;
    p.dutyReciprocal = 1.0 / p.duty;

    SliderBank& current = core.currentBank();
    for (int i = 0; i < kChannels; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        const int position = c.channelSlider(i);
        current.value[k] = current.engineValueAtPosition(position);
        if (s.currentBank == BankId::Delay) core.delayPositions[k] = position;
        if (s.currentBank == BankId::ETime) core.etimePositions[k] = position;
    }
    for (std::size_t b = 0; b < kBankArrays.size(); ++b) p.*kBankArrays[b] = core.banks[b].value;
    for (std::size_t k = 0; k < kChannels; ++k) {
        p.delay[k] = core.delayPositions[k];
        p.echoTime[k] = core.etimePositions[k];
        p.source[k] = core.channelMap[k];
    }

    p.shift = s.shiftSteps;
    p.hold = s.holdOn;
    p.sampleHold = s.sampleHoldOn;
    p.enhance = s.enhanceOn;
    p.smooth = s.smoothOn;
    p.eq = s.eqOn;
    p.chord = s.carrierChorus;
    p.chordFirst = s.chorusFirst;
    p.yodel = s.yodelOn;
    p.track = s.trackOn;
}
