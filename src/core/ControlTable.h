#pragma once

#include "engine/Engine.h"

#include <array>
#include <string>
#include <string_view>

// The 84 assignable controls of the panel. One number, the ControlId, names a control in the
// MIDI assignment list, in the MIDI echo and in the order of settings files; the sliders and
// buttons are reached from it by fixed offsets.
// Everything here is constant data or a pure function: any thread may use it.

using ControlId = int;

enum class ControlKind { None, ParameterSlider, ChannelSlider, Toggle, Exclusive, Push };

// The radio groups: exactly one member of each is lit at any time.
enum class ExclusiveGroup { None, Shift, Input, Width, Carrier, SliderMode };

struct ControlInfo {
    std::string_view name;  // as listed for MIDI assignment
    std::string_view label; // caption painted on the panel; for the presets the start caption only
    ControlKind kind;
    int minimum;
    int maximum;
    int start;
    ExclusiveGroup group;
};

inline constexpr int kControlCount = 84;
inline constexpr int kParameterSliderCount = 7;
inline constexpr int kChannelSliderCount = kChannels;
inline constexpr int kSliderCount = 25;
inline constexpr int kButtonCount = 58;
inline constexpr int kCommandFirst = 201;
inline constexpr int kCommandLast = 258;
inline constexpr int kMaxCaptionLength = 11;

inline constexpr ControlId kFirstParameterControl = 1;
inline constexpr ControlId kFirstChannelControl = 8;
inline constexpr ControlId kFirstButtonControl = 26;
inline constexpr int kFirstParameterSlider = kChannelSliderCount; // slider index of "CGain"

// Names of the controls the code refers to by meaning.
namespace control {
inline constexpr ControlId Off = 0;
inline constexpr ControlId CarrierGain = 1;
inline constexpr ControlId ModulatorGain = 2;
inline constexpr ControlId Sibilance = 3;
inline constexpr ControlId MixLevel = 4;
inline constexpr ControlId SampleHoldRate = 5;
inline constexpr ControlId CarrierFrequency = 6;
inline constexpr ControlId PulseWidth = 7;
inline constexpr ControlId Rec = 26;
inline constexpr ControlId Play = 27;
inline constexpr ControlId Save = 28;
inline constexpr ControlId PlayCarrier = 29;
inline constexpr ControlId RepeatCarrier = 30;
inline constexpr ControlId Load = 31;
inline constexpr ControlId PlayModulator = 32;
inline constexpr ControlId RepeatModulator = 33;
inline constexpr ControlId Help = 34;
inline constexpr ControlId DisplayMode = 35;
inline constexpr ControlId ShiftFirst = 36; // "-2 Shift" .. "+3 Shift" follow in order
inline constexpr ControlId ShiftZero = 38;
inline constexpr ControlId InvertSpectrum = 42;
inline constexpr ControlId RandSpectrum = 43;
inline constexpr ControlId LinearSpectrum = 44;
inline constexpr ControlId SwapSpectrum = 45;
inline constexpr ControlId SampleHold = 46;
inline constexpr ControlId HoldSpectrum = 47;
inline constexpr ControlId Enhance = 48;
inline constexpr ControlId Smooth = 49;
inline constexpr ControlId Eq = 50;
inline constexpr ControlId LoadSettings = 51;
inline constexpr ControlId SaveSettings = 52;
inline constexpr ControlId NarrowFilter = 53;
inline constexpr ControlId InputLR = 54; // " L/R ", " R/L ", " M/L", " M/R" follow in order
inline constexpr ControlId InputMR = 57;
inline constexpr ControlId NormalFilter = 58;
inline constexpr ControlId VoicedUnvoiced = 59;
inline constexpr ControlId Yodel = 60;
inline constexpr ControlId Track = 61;
inline constexpr ControlId ExternalCarrier = 62;
inline constexpr ControlId WideFilter = 63;
inline constexpr ControlId PulseCarrier = 64;
inline constexpr ControlId Chorus1Carrier = 65;
inline constexpr ControlId Chorus2Carrier = 66;
inline constexpr ControlId NoiseCarrier = 67;
inline constexpr ControlId LevelBank = 68; // the nine bank buttons follow in bank order
inline constexpr ControlId WarpBank = 76;
inline constexpr ControlId Preset1 = 77;
inline constexpr ControlId Preset3 = 79;
inline constexpr ControlId Randomize = 80;
inline constexpr ControlId SlaveMove = 81;
inline constexpr ControlId MidiSettings = 82;
inline constexpr ControlId AudioSettings = 83;
} // namespace control

// Columns: name, label, kind, minimum, maximum, start, group. The preset buttons show the
// current bank's preset names once a bank button has been pressed; "Half", "Zero", "Comb"
// are only their captions at start-up.
// clang-format off
inline constexpr std::array<ControlInfo, kControlCount> kControlTable = [] {
    using K = ControlKind;
    using G = ExclusiveGroup;
    return std::array<ControlInfo, kControlCount>{{
        {"Off",                          "",       K::None,            0,   0,  0, G::None},
        {"Carrier Gain",                 "CGain",  K::ParameterSlider, 0,  63, 32, G::None},
        {"Modulator Gain",               "MGain",  K::ParameterSlider, 0,  63, 32, G::None},
        {"Sibilance",                    " Sibil", K::ParameterSlider, 0,  63,  0, G::None},
        {"Mix Level",                    " Mix",   K::ParameterSlider, 0,  63,  0, G::None},
        {"S/H Rate",                     "Rate",   K::ParameterSlider, 0,  63, 32, G::None},
        {"Internal Carrier Frequency",   "Freq",   K::ParameterSlider, 0,  63, 32, G::None},
        {"Internal Carrier Pulse Width", "Width",  K::ParameterSlider, 0,  63,  8, G::None},
        {"Channel Slider 1",             " 100",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 2",             " 132",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 3",             " 160",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 4",             " 200",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 5",             " 264",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 6",             " 320",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 7",             " 400",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 8",             " 528",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 9",             " 640",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 10",            " 800",   K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 11",            " 1056",  K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 12",            " 1280",  K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 13",            " 1600",  K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 14",            " 2112",  K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 15",            " 2560",  K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 16",            " 3200",  K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 17",            " 4224",  K::ChannelSlider,   0, 127, 64, G::None},
        {"Channel Slider 18",            " 5120",  K::ChannelSlider,   0, 127, 64, G::None},
        {"REC Button",                   " REC",   K::Toggle,          0,   1,  0, G::None},
        {"Play Button",                  "Play",   K::Push,            0,   1,  0, G::None},
        {"Save Button",                  "Save",   K::Push,            0,   1,  0, G::None},
        {"PCar Button",                  "PCar",   K::Toggle,          0,   1,  0, G::None},
        {"RptC Button",                  "RptC",   K::Toggle,          0,   1,  0, G::None},
        {"Load Button",                  "Load",   K::Push,            0,   1,  0, G::None},
        {"PMod Button",                  "PMod",   K::Toggle,          0,   1,  0, G::None},
        {"RptM Button",                  "RptM",   K::Toggle,          0,   1,  0, G::None},
        {"HELP Button",                  "HELP",   K::Push,            0,   1,  0, G::None},
        {"TDisp Button",                 "TDisp",  K::Push,            0,   1,  0, G::None},
        {"-2 Shift Button",              " -2 ",   K::Exclusive,       0,   1,  0, G::Shift},
        {"-1 Shift Button",              " -1 ",   K::Exclusive,       0,   1,  0, G::Shift},
        {"0 Shift Button",               " 0 ",    K::Exclusive,       0,   1,  1, G::Shift},
        {"+1 Shift Button",              " +1 ",   K::Exclusive,       0,   1,  0, G::Shift},
        {"+2 Shift Button",              " +2 ",   K::Exclusive,       0,   1,  0, G::Shift},
        {"+3 Shift Button",              " +3 ",   K::Exclusive,       0,   1,  0, G::Shift},
        {"Invert Spectrum Button",       " Inv ",  K::Push,            0,   1,  0, G::None},
        {"Rand Spectrum Button",         " Rand",  K::Push,            0,   1,  0, G::None},
        {"Linear Spectrum Button",       " Lin",   K::Push,            0,   1,  0, G::None},
        {"Swap Spectrum Button",         "Swap",   K::Push,            0,   1,  0, G::None},
        {"Sample/Hold Button",           " S/H ",  K::Toggle,          0,   1,  0, G::None},
        {"Hold Spectrum Button",         " Hold ", K::Toggle,          0,   1,  0, G::None},
        {"Enhance Spectrum Button",      " Enh",   K::Toggle,          0,   1,  0, G::None},
        {"Smooth Spectrum Button",       "Smth",   K::Toggle,          0,   1,  0, G::None},
        {"EQ Button",                    " EQ",    K::Toggle,          0,   1,  0, G::None},
        {"Load Settings Button",         "LSet",   K::Push,            0,   1,  0, G::None},
        {"Save Settings Button",         "SSet",   K::Push,            0,   1,  0, G::None},
        {"Narrow Filter Button",         "Nrrw",   K::Exclusive,       0,   1,  0, G::Width},
        {"L/R Input Mode Button",        " L/R ",  K::Exclusive,       0,   1,  0, G::Input},
        {"R/L Input Mode Button",        " R/L ",  K::Exclusive,       0,   1,  0, G::Input},
        {"M/L Input Mode Button",        " M/L",   K::Exclusive,       0,   1,  0, G::Input},
        {"M/R Input Mode Button",        " M/R",   K::Exclusive,       0,   1,  1, G::Input},
        {"Normal Filter Button",         "Norm",   K::Exclusive,       0,   1,  1, G::Width},
        {"Voiced/Unvoiced Button",       " V/UV ", K::Toggle,          0,   1,  0, G::None},
        {"Yodel Button",                 "Yodel",  K::Toggle,          0,   1,  0, G::None},
        {"Track Button",                 "Track",  K::Toggle,          0,   1,  0, G::None},
        {"External Carrier Button",      "Extrn",  K::Exclusive,       0,   1,  0, G::Carrier},
        {"Wide Filter Button",           "Wide",   K::Exclusive,       0,   1,  0, G::Width},
        {"Pulse Carrier Button",         "Pulse",  K::Exclusive,       0,   1,  1, G::Carrier},
        {"Chorus1 Carrier Button",       "Chor1",  K::Exclusive,       0,   1,  0, G::Carrier},
        {"Chorus2 Carrier Button",       "Chor2",  K::Exclusive,       0,   1,  0, G::Carrier},
        {"Noise Carrier Button",         "Noise",  K::Exclusive,       0,   1,  0, G::Carrier},
        {"Level Button",                 "Level",  K::Exclusive,       0,   1,  1, G::SliderMode},
        {"Pan Button",                   " Pan ",  K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Distortion Button",            " Dist",  K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Delay Button",                 "Delay",  K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Echo Button",                  "Echo",   K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Echo Time Button",             "ETime",  K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Regeneration Button",          "Regen",  K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Slew Button",                  "Slew",   K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Warp Button",                  "Warp",   K::Exclusive,       0,   1,  0, G::SliderMode},
        {"Preset 1 Button",              "Half",   K::Push,            0,   1,  0, G::None},
        {"Preset 2 Button",              "Zero",   K::Push,            0,   1,  0, G::None},
        {"Preset 3 Button",              "Comb",   K::Push,            0,   1,  0, G::None},
        {"Randomize Button",             "Rand",   K::Push,            0,   1,  0, G::None},
        {"Slave Move Button",            "Slave",  K::Toggle,          0,   1,  1, G::None},
        {"MIDI Settings Button",         "MIDI",   K::Push,            0,   1,  0, G::None},
        {"Audio Settings Button",        "Audio",  K::Push,            0,   1,  0, G::None},
    }};
}();
// clang-format on

// Centre frequency in Hz of each channel, lowest first.
inline constexpr std::array<int, kChannels> kChannelCentreHz{
    100, 132, 160, 200, 264, 320, 400, 528, 640, 800, 1056, 1280, 1600, 2112, 2560, 3200, 4224, 5120};

constexpr bool isValidControl(ControlId id) {
    return id >= 0 && id < kControlCount;
}
constexpr const ControlInfo& controlInfo(ControlId id) {
    return kControlTable[static_cast<std::size_t>(id)];
}
constexpr bool isSliderControl(ControlId id) {
    return id >= kFirstParameterControl && id < kFirstButtonControl;
}
constexpr bool isButtonControl(ControlId id) {
    return id >= kFirstButtonControl && id < kControlCount;
}

// Sliders: 0..17 are channel sliders 1..18, 18..24 the parameter sliders in ControlId order.
constexpr int sliderIndexOf(ControlId id) {
    if (id >= kFirstChannelControl && id < kFirstButtonControl) return id - kFirstChannelControl;
    if (id >= kFirstParameterControl && id < kFirstChannelControl)
        return id - kFirstParameterControl + kFirstParameterSlider;
    return -1;
}
constexpr ControlId controlIdOfSlider(int slider) {
    if (slider >= 0 && slider < kChannelSliderCount) return slider + kFirstChannelControl;
    if (slider >= kFirstParameterSlider && slider < kSliderCount)
        return slider - kFirstParameterSlider + kFirstParameterControl;
    return -1;
}
constexpr bool isChannelSlider(int slider) {
    return slider >= 0 && slider < kChannelSliderCount;
}
constexpr int sliderMaximum(int slider) {
    return isChannelSlider(slider) ? 127 : 63;
}

// Buttons: button b is ControlId b + 26 and command identifier b + 201.
constexpr int buttonIndexOf(ControlId id) {
    return isButtonControl(id) ? id - kFirstButtonControl : -1;
}
constexpr ControlId controlIdOfButton(int button) {
    return button + kFirstButtonControl;
}
constexpr int commandIdOfButton(int button) {
    return button + kCommandFirst;
}
// The command identifier a press of a button's control sends.
constexpr int commandIdOf(ControlId id) {
    return commandIdOfButton(buttonIndexOf(id));
}
constexpr int buttonIndexOfCommand(int commandId) {
    return commandId >= kCommandFirst && commandId <= kCommandLast ? commandId - kCommandFirst : -1;
}
constexpr const ControlInfo& buttonInfo(int button) {
    return controlInfo(controlIdOfButton(button));
}
constexpr bool isPushButton(int button) {
    return buttonInfo(button).kind == ControlKind::Push;
}

// The ControlId whose MIDI list name matches, ignoring case; -1 when there is none.
ControlId controlIdByName(std::string_view name);

// " %d" of the channel's centre frequency, as the channel slider shows it.
std::string channelSliderCaption(int channel);
