#include "core/VocoderCore.h"

VocoderCore::VocoderCore() {
    // Buttons first: push flags, states, captions. The ControlState fields start with the
    // values these states stand for.
    for (int b = 0; b < kButtonCount; ++b) controls.setPush(b, isPushButton(b));
    for (int b = 0; b < kButtonCount; ++b) controls.setLit(b, buttonInfo(b).start != 0);
    for (int b = 0; b < kButtonCount; ++b) controls.setCaption(b, buttonInfo(b).label);

    channelMap = channel_map::identity();

    for (int k = 0; k < kChannelSliderCount; ++k)
        controls.setChannelSlider(k, controlInfo(controlIdOfSlider(k)).start);
    for (int i = 0; i < kBankCount; ++i) banks[static_cast<std::size_t>(i)] = SliderBank::make(BankId(i));

    for (int s = kFirstParameterSlider; s < kSliderCount; ++s)
        controls.setSlider(s, controlInfo(controlIdOfSlider(s)).start);

    filterBank.initialise(false, FilterWidth::Normal);

    delayPositions.fill(0);
    etimePositions.fill(64);
}

VocoderCore::~VocoderCore() {
    filterBank.release();
}

void VocoderCore::showCurrentBank() {
    const SliderBank& shown = currentBank();
    for (int k = 0; k < kChannels; ++k)
        controls.setChannelSlider(k, shown.positionOf(shown.value[static_cast<std::size_t>(k)]));
    state.slidersDirty = true;
}

void VocoderCore::showPresetNames() {
    for (int i = 0; i < kPresetCount; ++i)
        controls.setCaption(buttonIndexOf(control::Preset1 + i),
                            currentBank().presets[static_cast<std::size_t>(i)].name);
}

void VocoderCore::setChannelSliders(const std::array<int, kChannels>& positions) {
    for (int k = 0; k < kChannels; ++k) controls.setChannelSlider(k, positions[static_cast<std::size_t>(k)]);
    state.slidersDirty = true;
}

bool VocoderCore::startNewTake() {
    if (!recordingSupply) {
        recording = std::make_unique<Recording>();
        return true;
    }
    if (recording) recordingSupply->retireTake(std::move(recording));
    recording = recordingSupply->freshTake();
    return recording != nullptr;
}
