#pragma once

#include "core/NullCommandHost.h"
#include "midi/MidiEchoTarget.h"
#include "midi/MidiMessage.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

// A MIDI output that writes down what it is sent, where the program has a MidiLink.
class RecordedOutput final : public MidiEchoTarget {
public:
    bool ready = true;
    std::vector<std::pair<int, int>> sent; // (controller, value)
    std::array<int, kMidiSlotCount> last{};

    bool echoReady() const override { return ready; }
    void SendControl(int controller, int value) override { sent.emplace_back(controller, value); }
    std::array<int, kMidiSlotCount>& lastSent() override { return last; }
};

// The host a window is for the dispatcher's MIDI echo: the button echo goes to the same
// output as the slider echo. Everything else a command asks of it does nothing.
class EchoHost final : public NullCommandHost {
public:
    explicit EchoHost(MidiEchoTarget& output) : output_(output) {}
    bool midiEchoReady() override { return output_.echoReady(); }
    void sendControl(int controller, int value) override { output_.SendControl(controller, value); }

private:
    MidiEchoTarget& output_;
};

inline MidiMessage bytesOf(std::initializer_list<std::uint8_t> bytes) {
    const std::vector<unsigned char> data(bytes);
    return MidiMessage::fromBytes(data.data(), data.size());
}

inline MidiMessage controlChange(int channel, int controller, int value) {
    return MidiMessage::of(static_cast<std::uint8_t>(0xB0 | channel), static_cast<std::uint8_t>(controller),
                           static_cast<std::uint8_t>(value));
}

inline MidiMessage noteOn(int channel, int note, int velocity) {
    return MidiMessage::of(static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(note),
                           static_cast<std::uint8_t>(velocity));
}
