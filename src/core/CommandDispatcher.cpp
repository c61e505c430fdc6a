#include "core/CommandDispatcher.h"

#include <cstdlib>

namespace {

constexpr int kMidiOn = 127;
constexpr int kMidiOff = 0;

// Toggles whose whole effect is to mirror their state into one field.
struct PlainToggle {
    ControlId id;
    bool ControlState::*field;
};
constexpr PlainToggle kPlainToggles[] = {
    {control::RepeatCarrier, &ControlState::repeatCarrierFile},
    {control::RepeatModulator, &ControlState::repeatModulatorFile},
    {control::SampleHold, &ControlState::sampleHoldOn},
    {control::HoldSpectrum, &ControlState::holdOn},
    {control::Eq, &ControlState::eqOn},
    {control::VoicedUnvoiced, &ControlState::voicedUnvoicedOn},
    {control::Yodel, &ControlState::yodelOn},
    {control::Track, &ControlState::trackOn},
    {control::SlaveMove, &ControlState::slaveMoveOn},
};

// "-2" .. "+3": the label says which way the spectrum moves, the field holds the opposite.
constexpr int kShiftSteps[] = {2, 1, 0, -1, -2, -3};

struct WidthFlags {
    ControlId id;
    bool narrow;
    bool wide;
};
constexpr WidthFlags kWidthFlags[] = {
    {control::NarrowFilter, true, false},
    {control::NormalFilter, false, false},
    {control::WideFilter, false, true},
};

struct CarrierFlags {
    ControlId id;
    bool pulse;
    bool chorus;
    bool chorusFirst;
    bool noise;
};
constexpr CarrierFlags kCarrierFlags[] = {
    {control::ExternalCarrier, false, false, false, false},
    {control::PulseCarrier, true, false, false, false},
    {control::Chorus1Carrier, false, true, true, false},
    {control::Chorus2Carrier, false, true, false, false},
    {control::NoiseCarrier, false, false, false, true},
};

template <typename Row, std::size_t N>
const Row* rowFor(const Row (&table)[N], ControlId id) {
    for (const Row& row : table)
        if (row.id == id) return &row;
    return nullptr;
}

// Keeps the sound card's output stopped while a dialog or file work runs.
class OutputPause {
public:
    explicit OutputPause(CommandHost& host) : host_(host) { host_.pauseOutput(); }
    ~OutputPause() { host_.resumeOutput(); }
    OutputPause(const OutputPause&) = delete;
    OutputPause& operator=(const OutputPause&) = delete;

private:
    CommandHost& host_;
};

} // namespace

void CommandDispatcher::dispatch(int commandId) {
    const int button = buttonIndexOfCommand(commandId);
    if (button >= 0) press(controlIdOfButton(button));
    echo(commandId);
}

void CommandDispatcher::toggle(ControlId id, bool& field) {
    const bool on = !core_.controls.litControl(id);
    core_.controls.setLitControl(id, on);
    field = on;
}

void CommandDispatcher::press(ControlId id) {
    ControlState& s = core_.state;
    ControlModel& c = core_.controls;

    if (controlInfo(id).kind == ControlKind::Exclusive) {
        pressExclusive(id);
        return;
    }
    if (const PlainToggle* t = rowFor(kPlainToggles, id)) {
        toggle(id, s.*(t->field));
        return;
    }

    switch (id) {
    case control::Rec:
        toggle(id, s.recordOn);
        // A new take replaces the old one as soon as recording starts.
        if (s.recordOn && !core_.startNewTake()) {
            s.recordOn = false;
            c.setLitControl(control::Rec, false);
        }
        break;
    case control::Play:
        c.setLitControl(control::Rec, false);
        s.recordOn = false;
        s.playRecording = core_.recording != nullptr;
        if (s.playRecording) s.playRestart = true;
        break;
    case control::Save:
        c.setLitControl(control::Rec, false);
        s.recordOn = false;
        if (core_.recording) {
            OutputPause pause(host_);
            host_.saveRecording();
        }
        break;
    case control::PlayCarrier:
        playFile(control::PlayCarrier, control::RepeatCarrier, core_.carrierFile, s.playCarrierFile,
                 s.carrierFileRestart, s.repeatCarrierFile);
        break;
    case control::PlayModulator:
        playFile(control::PlayModulator, control::RepeatModulator, core_.modulatorFile, s.playModulatorFile,
                 s.modulatorFileRestart, s.repeatModulatorFile);
        break;
    case control::Load: {
        // Playback has to be switched on again for whatever the load brings in.
        stopFiles();
        OutputPause pause(host_);
        host_.loadWavFiles();
        break;
    }
    case control::Help:
        host_.openHelp();
        break;
    case control::DisplayMode:
        host_.toggleDisplayMode();
        break;
    case control::InvertSpectrum:
        channel_map::invert(core_.channelMap);
        publishChannelMap();
        break;
    case control::RandSpectrum:
        channel_map::randomize(core_.channelMap, core_.random);
        publishChannelMap();
        break;
    case control::LinearSpectrum:
        core_.channelMap = channel_map::identity();
        publishChannelMap();
        break;
    case control::SwapSpectrum:
        channel_map::swapNeighbours(core_.channelMap);
        publishChannelMap();
        break;
    case control::Enhance:
        toggle(id, s.enhanceOn);
        c.setLitControl(control::Smooth, false);
        s.smoothOn = false;
        break;
    case control::Smooth:
        toggle(id, s.smoothOn);
        c.setLitControl(control::Enhance, false);
        s.enhanceOn = false;
        break;
    case control::LoadSettings: {
        OutputPause pause(host_);
        host_.loadSettings();
        break;
    }
    case control::SaveSettings: {
        OutputPause pause(host_);
        host_.saveSettings();
        break;
    }
    case control::MidiSettings: {
        OutputPause pause(host_);
        host_.configureMidi();
        break;
    }
    case control::AudioSettings:
        host_.reopenAudio();
        break;
    case control::Randomize:
        core_.setChannelSliders(core_.currentBank().randomize(core_.random));
        break;
    default:
        if (id >= control::Preset1 && id <= control::Preset3)
            core_.setChannelSliders(core_.currentBank().loadPreset(id - control::Preset1));
        break;
    }
}

void CommandDispatcher::pressExclusive(ControlId id) {
    const ExclusiveGroup group = controlInfo(id).group;
    for (int b = 0; b < kButtonCount; ++b)
        if (buttonInfo(b).group == group) core_.controls.setLit(b, controlIdOfButton(b) == id);

    ControlState& s = core_.state;
    switch (group) {
    case ExclusiveGroup::Shift:
        s.shiftSteps = kShiftSteps[id - control::ShiftFirst];
        break;
    case ExclusiveGroup::Input:
        s.inputMode = id - control::InputLR;
        break;
    case ExclusiveGroup::Width:
        if (const WidthFlags* w = rowFor(kWidthFlags, id)) {
            s.narrowFilter = w->narrow;
            s.wideFilter = w->wide;
        }
        // Only the band filters are rebuilt; they restart from silence.
        core_.filterBank.initialise(true, filterWidthFromFlags(s.narrowFilter, s.wideFilter));
        break;
    case ExclusiveGroup::Carrier:
        if (const CarrierFlags* f = rowFor(kCarrierFlags, id)) {
            s.carrierPulse = f->pulse;
            s.carrierChorus = f->chorus;
            s.chorusFirst = f->chorusFirst;
            s.carrierNoise = f->noise;
        }
        break;
    case ExclusiveGroup::SliderMode:
        s.currentBank = BankId(id - control::LevelBank);
        core_.showPresetNames();
        core_.showCurrentBank();
        break;
    case ExclusiveGroup::None:
        break;
    }
}

void CommandDispatcher::playFile(ControlId play, ControlId repeat, const FileBlockList& file, bool& playing,
                                 bool& restart, bool& repeating) {
    const bool on = !core_.controls.litControl(play);
    core_.controls.setLitControl(play, on);
    if (on && !file.empty()) {
        playing = true;
        restart = true;
        return;
    }
    // Without a file there is nothing to play: the button does not latch.
    core_.controls.setLitControl(play, false);
    core_.controls.setLitControl(repeat, false);
    playing = false;
    repeating = false;
}

void CommandDispatcher::stopFiles() {
    ControlState& s = core_.state;
    for (ControlId id :
         {control::PlayModulator, control::RepeatModulator, control::PlayCarrier, control::RepeatCarrier})
        core_.controls.setLitControl(id, false);
    s.playModulatorFile = s.repeatModulatorFile = false;
    s.playCarrierFile = s.repeatCarrierFile = false;
}

void CommandDispatcher::doubleClick(int commandId) {
    const ControlId id = commandId - kCommandFirst + kFirstButtonControl;
    if (id == control::PlayCarrier) startBothFiles(true);
    if (id == control::PlayModulator) startBothFiles(false);
}

void CommandDispatcher::startBothFiles(bool carrierFirst) {
    ControlState& s = core_.state;
    const FileBlockList& first = carrierFirst ? core_.carrierFile : core_.modulatorFile;
    const ControlId firstButton = carrierFirst ? control::PlayCarrier : control::PlayModulator;
    if (first.empty() || !core_.controls.litControl(firstButton)) {
        stopFiles();
        return;
    }
    s.playCarrierFile = s.carrierFileRestart = true;
    s.playModulatorFile = s.modulatorFileRestart = true;
    // Both files start from their beginnings together; the other kind can only join when it
    // is loaded, or its button would latch with nothing to play.
    if (core_.carrierFile.empty()) s.playCarrierFile = s.carrierFileRestart = false;
    if (core_.modulatorFile.empty()) s.playModulatorFile = s.modulatorFileRestart = false;
    core_.controls.setLitControl(control::PlayCarrier, s.playCarrierFile);
    core_.controls.setLitControl(control::PlayModulator, s.playModulatorFile);
}

void CommandDispatcher::moveChannelSlider(int k, int newPosition, SlaveMode mode) {
    ControlModel& c = core_.controls;
    const int old = c.channelSlider(k);
    const int d = c.setChannelSlider(k, newPosition) - old;
    if (!core_.state.slaveMoveOn) return;
    for (int i = 0; i < kChannelSliderCount; ++i) {
        if (i == k) continue;
        const int step = mode == SlaveMode::Tilt ? d * std::abs(i - k) : d;
        c.setChannelSlider(i, c.channelSlider(i) + step);
    }
    core_.state.slidersDirty = true;
}

void CommandDispatcher::publishChannelMap() {
    host_.channelMapChanged();
}

void CommandDispatcher::echo(int commandId) {
    const int button = buttonIndexOfCommand(commandId);
    if (button < 0 || !host_.midiEchoReady()) return;
    const ControlId id = controlIdOfButton(button);
    const bool push = core_.controls.isPush(button);
    const bool lit = core_.controls.lit(button);
    for (const MidiAssignment& slot : core_.midiSlots) {
        if (slot.control != id) continue;
        if (push) {
            host_.sendControl(slot.controller, kMidiOn);
            host_.sendControl(slot.controller, kMidiOff);
        } else {
            host_.sendControl(slot.controller, lit ? kMidiOn : kMidiOff);
        }
    }
}
