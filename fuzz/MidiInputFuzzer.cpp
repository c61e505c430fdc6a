// libFuzzer target: MIDI input from the bytes the MIDI layer delivers to the messages the
// window takes and the mapping applies to a VocoderCore. The input is read as:
//   - 20 pairs of bytes: the assignment slots (a control of -3..86, so that slots naming
//     no control occur too, and a controller);
//   - one byte: the input channel setting (0 OMNI, 1..16, 17 OFF and beyond);
//   - events: a length byte (0..7) and that many bytes, as one delivery of the MIDI layer.
// After every event all sliders are within their ranges; every value echoed is a data
// byte sent to an assigned controller; the engine's sound stays finite.

#include "core/BlockEvents.h"
#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "midi/MidiEchoTarget.h"
#include "midi/MidiInputQueue.h"
#include "midi/MidiMapping.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr int kControlSpan = 90;
constexpr int kControlOffset = 3;
constexpr int kInputSettings = 19;
constexpr std::size_t kMaxEvent = 7;
constexpr int kEventsPerEcho = 8;
constexpr int kEventsPerBlock = 32;

void check(bool condition) {
    if (!condition) std::abort();
}

// The MIDI output, open on a channel: echoes must be data bytes for assigned controllers.
class CheckedOutput final : public MidiEchoTarget {
public:
    explicit CheckedOutput(const VocoderCore& core) : core_(core) {}

    bool echoReady() const override { return true; }
    void SendControl(int controller, int value) override {
        check(value >= 0 && value <= 127);
        bool assigned = false;
        for (const MidiAssignment& slot : core_.midiSlots)
            assigned = assigned || (slot.assigned() && slot.controller == controller);
        check(assigned);
    }
    std::array<int, kMidiSlotCount>& lastSent() override { return lastSent_; }

private:
    const VocoderCore& core_;
    std::array<int, kMidiSlotCount> lastSent_{};
};

// What the window does for a command, without dialogs or devices: the button echo goes to
// the checked output.
class Host final : public NullCommandHost {
public:
    explicit Host(CheckedOutput& output) : output_(output) {}
    bool midiEchoReady() override { return output_.echoReady(); }
    void sendControl(int controller, int value) override { output_.SendControl(controller, value); }

private:
    CheckedOutput& output_;
};

class SilentEvents final : public BlockEvents {
public:
    void showMessage(std::string_view) override {}
};

void checkSliders(const VocoderCore& core) {
    for (int s = 0; s < kSliderCount; ++s)
        check(core.controls.slider(s) >= 0 && core.controls.slider(s) <= sliderMaximum(s));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 2 * kMidiSlotCount + 1;
    if (size < kHeader) return 0;
    VocoderCore core;
    CheckedOutput output(core);
    Host host(output);
    CommandDispatcher dispatcher(core, host);
    MidiMapping mapping(core, dispatcher);
    for (int k = 0; k < kMidiSlotCount; ++k)
        core.midiSlots[static_cast<std::size_t>(k)] = {data[2 * k] % kControlSpan - kControlOffset,
                                                       data[2 * k + 1] % 128};
    core.midiInChannel = data[2 * kMidiSlotCount] % kInputSettings;
    const auto slots = core.midiSlots;

    MidiInputQueue queue;
    SilentEvents events;
    BlockLoop loop(core, events);
    OutputBuffer out;
    int handled = 0;
    for (std::size_t at = kHeader; at < size;) {
        const std::size_t length = std::min<std::size_t>(data[at] % (kMaxEvent + 1), size - at - 1);
        queue.receive(data + at + 1, length);
        at += 1 + length;
        MidiMessage message;
        while (queue.take(message)) {
            check(message.wellFormed());
            mapping.handleMessage(message);
            checkSliders(core);
            if (++handled % kEventsPerEcho == 0) mapping.echoSliders(output);
            if (handled % kEventsPerBlock == 0) {
                loop.updateParameters();
                loop.process(nullptr, true, out);
                for (int n = 0; n < BLOCK_SIZE; ++n)
                    check(std::isfinite(loop.outputLeft()[static_cast<std::size_t>(n)]));
            }
        }
    }
    mapping.echoSliders(output);
    // MIDI plays the controls; it never rewrites the table that maps it.
    for (int k = 0; k < kMidiSlotCount; ++k)
        check(core.midiSlots[static_cast<std::size_t>(k)].control ==
                  slots[static_cast<std::size_t>(k)].control &&
              core.midiSlots[static_cast<std::size_t>(k)].controller ==
                  slots[static_cast<std::size_t>(k)].controller);
    return 0;
}
