#include "midi/MidiLink.h"

#include "midi/MidiErrorName.h"
#include "rt/WakeupSignal.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

using midi_channel::kInOff;
using midi_channel::kInOmni;
constexpr int kOutNone = -1;
constexpr int kOutOff = 16;
constexpr int kLastOutChannel = 15;

constexpr const char* kInOpenFailed = "midiInOpen failed, hWnd = %d %s\n (Err number = %d)\n";
constexpr const char* kOutOpenFailed = "midiOutOpen failed, %s\n";
constexpr const char* kOutCloseFailed = "midiOutClose() returned error: %s!";
constexpr const char* kInCloseFailed = "midiInClose() returned error: %s!";

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    const int length = std::snprintf(nullptr, 0, pattern, args...);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, args...);
    return text;
}

std::string errorName(int code) {
    return std::string(MidiErrorName(code));
}

} // namespace

MidiLink::MidiLink(MidiAlerts& alerts) : alerts_(alerts) {}

MidiLink::~MidiLink() {
    Close();
}

void MidiLink::SetNotifyWindow(WakeupSignal* wake) {
    notifyWindow_ = wake;
    queue_.setWakeup(wake);
}

void MidiLink::SetChannels(int inCode, int outCode) {
    // "OFF" is the last code of the input list; cutting it to 16 would turn it into
    // channel 16 the next time the dialog opens.
    inChannel_ = std::clamp(inCode, kInOmni, kInOff);
    outChannel_ = outCode < 0 ? kOutNone : std::min(outCode, kOutOff);
}

void MidiLink::Reconfigure(MidiDeviceChooser& dialog) {
    Close();

    const MidiDeviceCatalog catalog = MidiDeviceCatalog::scan();
    MidiDeviceSettings settings{inputDevice_, outputDevice_, inChannel_, outChannel_, slots_};
    dialog.choose(catalog.inputNames(), catalog.outputNames(), settings);

    inputDevice_ = settings.inputDevice;
    outputDevice_ = settings.outputDevice;
    SetChannels(settings.inChannel, settings.outChannel);
    slots_ = settings.assignments;

    openInput(catalog, inputDevice_);
    openOutput(catalog, outputDevice_);
}

void MidiLink::openInput(const MidiDeviceCatalog& catalog, int position) {
    inClosed_ = true;
    if (position == 0) return;
    const auto& devices = catalog.inputs();
    const int code = position > 0 && position <= static_cast<int>(devices.size())
                         ? input_.open(devices[static_cast<std::size_t>(position - 1)])
                         : midi_error::BadDeviceId;
    if (code != midi_error::NoError) {
        // Nothing is held after a failed open, so the side counts as closed: nothing is sent
        // to it and the next Close() has nothing to complain about.
        lastError_ = code;
        // The message names the window by what stands for it here: its wake-up descriptor.
        const int window = notifyWindow_ ? notifyWindow_->fd() : 0;
        alerts_.error(format(kInOpenFailed, window, errorName(code).c_str(), code));
        return;
    }
    inClosed_ = false;
}

void MidiLink::openOutput(const MidiDeviceCatalog& catalog, int position) {
    outClosed_ = true;
    if (position == 0) return;
    const auto& devices = catalog.outputs();
    const int code = position > 0 && position <= static_cast<int>(devices.size())
                         ? output_.open(devices[static_cast<std::size_t>(position - 1)])
                         : midi_error::BadDeviceId;
    if (code != midi_error::NoError) {
        lastError_ = code;
        alerts_.error(format(kOutOpenFailed, errorName(code).c_str()));
        return;
    }
    outClosed_ = false;
}

void MidiLink::Close() {
    if (!outClosed_) {
        const int code = output_.close();
        if (code != midi_error::NoError) alerts_.warning(format(kOutCloseFailed, errorName(code).c_str()));
        outClosed_ = true;
    }
    if (!inClosed_) {
        const int code = input_.close();
        if (code != midi_error::NoError) alerts_.warning(format(kInCloseFailed, errorName(code).c_str()));
        inClosed_ = true;
    }
}

bool MidiLink::echoReady() const {
    return !outClosed_ && output_.isOpen() && outChannel_ >= 0 && outChannel_ <= kLastOutChannel;
}

void MidiLink::SendControl(int controller, int value) {
    // The output code "OFF" (16) would otherwise make 0xC0, a program change.
    if (!echoReady()) return;
    output_.send(controlChangeBytes(outChannel_, controller, value));
}
