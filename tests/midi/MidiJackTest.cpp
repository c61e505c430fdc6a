// Runs against a real JACK server with the dummy driver, started by the test fixture and
// named by JACK_DEFAULT_SERVER. A JACK MIDI client of the tests' own stands for a keyboard
// or control surface: the program's ports are opened on it through the device dialog's
// interface, exactly as the window does.

#include "JackMidiTestClient.h"
#include "midi/MidiLink.h"
#include "midi/MidiMapping.h"
#include "midi/MidiSettingsCommand.h"
#include "MidiTestSupport.h"
#include "rt/WakeupSignal.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr int kMarkerController = 119;

class RecordedAlerts final : public MidiAlerts {
public:
    std::vector<std::string> errors, warnings;
    void error(const std::string& text) override { errors.push_back(text); }
    void warning(const std::string& text) override { warnings.push_back(text); }
};

// A user at the device dialog: picks devices by name ("" for "None") and channels, then
// presses OK, or leaves with Escape.
class ScriptedUser final : public MidiDeviceChooser {
public:
    std::string input, output;
    int inChannel = 0;
    int outChannel = 2;
    bool pressOk = true;
    std::function<void()> whileOpen; // runs while the dialog is up
    std::vector<std::string> inputsShown, outputsShown;

    void choose(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                MidiDeviceSettings& settings) override {
        inputsShown = inputs;
        outputsShown = outputs;
        if (whileOpen) whileOpen();
        if (!pressOk) return;
        settings.inputDevice = position(inputs, input);
        settings.outputDevice = position(outputs, output);
        settings.inChannel = inChannel;
        settings.outChannel = outChannel;
    }

    static int position(const std::vector<std::string>& list, const std::string& name) {
        if (name.empty()) return 0;
        const auto at = std::find(list.begin(), list.end(), name);
        // A name not listed stands for a position past the end of the list.
        return at == list.end() ? static_cast<int>(list.size()) + 1 : static_cast<int>(at - list.begin()) + 1;
    }
};

bool contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

class JackMidi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.ok()) << "no JACK server: the test fixture starts one";
        link.SetNotifyWindow(&wake);
        user.input = "JACK: " + client.outPort();
        user.output = "JACK: " + client.inPort();
    }

    // The "MIDI" button with the test client chosen on both sides.
    void open() {
        runMidiSettings(core, link, user);
        ASSERT_TRUE(alerts.errors.empty()) << alerts.errors.front();
    }

    // The test client sends markers until one comes through the program's input: events sent
    // right after a connection is made can be lost. Everything before the marker is dropped.
    void syncInput() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            client.send({0xBF, kMarkerController, 1});
            if (!wake.wait(20)) continue;
            wake.drain();
            MidiMessage m;
            while (link.takeMessage(m))
                if (m.kind() == midi_status::ControlChange && m.data1() == kMarkerController) {
                    // Markers still in flight arrive on channel 16 and are skipped later.
                    return;
                }
        }
        FAIL() << "nothing sent to the program's input came through";
    }

    // The same for the output: markers go out until the test client hears one.
    void syncOutput() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            link.SendControl(kMarkerController, 1);
            if (client.waitUntil([&] { return !client.received().empty(); }, 20ms)) return;
        }
        FAIL() << "nothing the program sent reached the test client";
    }

    // What the test client heard, markers left out.
    std::vector<Bytes> heard() {
        client.collect();
        std::vector<Bytes> events;
        for (const Bytes& e : client.received())
            if (!(e.size() == 3 && e[1] == kMarkerController)) events.push_back(e);
        return events;
    }

    // The window's loop: waits for the wake-up, handles what came in, echoes the sliders,
    // until `count` messages other than markers were handled or time runs out.
    std::vector<MidiMessage> pump(std::size_t count, std::chrono::seconds timeout = 10s) {
        std::vector<MidiMessage> handled;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (handled.size() < count && std::chrono::steady_clock::now() < deadline) {
            if (!wake.wait(50)) continue;
            wake.drain();
            MidiMessage m;
            while (link.takeMessage(m)) {
                if (m.kind() == midi_status::ControlChange && m.data1() == kMarkerController) continue;
                mapping.handleMessage(m);
                handled.push_back(m);
            }
            mapping.echoSliders(link);
        }
        return handled;
    }

    JackMidiTestClient client{"quorvel-midi-test"};
    RecordedAlerts alerts;
    WakeupSignal wake;
    MidiLink link{alerts};
    ScriptedUser user;
    VocoderCore core;
    EchoHost host{link};
    CommandDispatcher dispatcher{core, host};
    MidiMapping mapping{core, dispatcher};
};

// ---- Devices ---------------------------------------------------------------------------

TEST_F(JackMidi, TheDialogListsTheClientsPortsUnderJackAndNoneLeavesBothPortsClosed) {
    user.input = user.output = "";
    link.Reconfigure(user);
    EXPECT_TRUE(contains(user.inputsShown, "JACK: " + client.outPort()));
    EXPECT_TRUE(contains(user.outputsShown, "JACK: " + client.inPort()));
    // A client's input is no source and its output no destination.
    EXPECT_FALSE(contains(user.inputsShown, "JACK: " + client.inPort()));
    EXPECT_FALSE(contains(user.outputsShown, "JACK: " + client.outPort()));

    EXPECT_TRUE(link.inClosed() && link.outClosed());
    EXPECT_FALSE(link.echoReady());
    EXPECT_EQ(client.inConnections() + client.outConnections(), 0);
    EXPECT_TRUE(alerts.errors.empty());
}

TEST_F(JackMidi, OkConnectsBothPortsToTheChosenDevicesAndCloseLetsGo) {
    open();
    EXPECT_FALSE(link.inClosed());
    EXPECT_FALSE(link.outClosed());
    EXPECT_EQ(link.inputDeviceName(), user.input);
    EXPECT_EQ(link.outputDeviceName(), user.output);
    EXPECT_EQ(client.outConnections(), 1);
    EXPECT_EQ(client.inConnections(), 1);

    link.Close();
    EXPECT_TRUE(link.inClosed() && link.outClosed());
    EXPECT_EQ(client.inConnections() + client.outConnections(), 0);
    EXPECT_TRUE(alerts.warnings.empty());
}

TEST_F(JackMidi, LeavingTheDialogWithoutOkReopensTheDevicesOfTheLastOk) {
    open();
    user.pressOk = false;
    user.outChannel = 9; // not stored: the dialog was not confirmed
    runMidiSettings(core, link, user);
    EXPECT_EQ(link.inputDeviceName(), user.input);
    EXPECT_EQ(link.outputDeviceName(), user.output);
    EXPECT_EQ(core.midiOutChannel, 2);
    syncInput();
    syncOutput();
}

TEST_F(JackMidi, ADevicePositionBeyondTheListsShowsBothOpenFailures) {
    user.input = user.output = "JACK: nobody:nothing";
    link.Reconfigure(user);
    ASSERT_EQ(alerts.errors.size(), 2u);
    EXPECT_EQ(alerts.errors[0], "midiInOpen failed, hWnd = " + std::to_string(wake.fd()) +
                                    " device ID out of range\n (Err number = 2)\n");
    EXPECT_EQ(alerts.errors[1], "midiOutOpen failed, device ID out of range\n");
    EXPECT_EQ(link.lastError(), 2);
    EXPECT_TRUE(link.inClosed() && link.outClosed());

    link.Close();
    EXPECT_TRUE(alerts.warnings.empty());
}

TEST_F(JackMidi, ADeviceThatLeavesWhileTheDialogIsUpShowsTheFailureAndTheOtherSideStillOpens) {
    auto keyboard = std::make_unique<JackMidiTestClient>("quorvel-midi-keyboard");
    ASSERT_TRUE(keyboard->ok());
    user.input = "JACK: " + keyboard->outPort();
    user.whileOpen = [&] { keyboard.reset(); };
    link.Reconfigure(user);

    ASSERT_EQ(alerts.errors.size(), 1u);
    EXPECT_NE(alerts.errors[0].find("midiInOpen failed"), std::string::npos);
    EXPECT_TRUE(link.inClosed());
    EXPECT_FALSE(link.outClosed());
    syncOutput();
}

// ---- Messages in and out ---------------------------------------------------------------

TEST_F(JackMidi, SendControlPutsTheThreeBytesOnTheWireWithEveryDataByteMasked) {
    open();
    syncOutput();
    client.clearReceived();
    link.SendControl(7, 127);
    link.SendControl(200, 300);
    ASSERT_TRUE(client.waitUntil([&] { return heard().size() >= 2; }, 5s));
    const std::vector<Bytes> expected{{0xB2, 0x07, 0x7F}, {0xB2, 200 & 0x7F, 300 & 0x7F}};
    EXPECT_EQ(heard(), expected);
}

TEST_F(JackMidi, TheOutputChannelOffSendsNothing) {
    user.outChannel = 16;
    open();
    EXPECT_FALSE(link.outClosed());
    EXPECT_FALSE(link.echoReady());
    link.SendControl(7, 127);
    core.midiSlots[0] = {control::CarrierGain, 7};
    mapping.echoSliders(link);
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(heard().empty());
}

TEST_F(JackMidi, ControlChangesAndNotesMoveTheControlsAndTheSliderEchoComesBack) {
    core.state.slaveMoveOn = false;
    core.midiSlots[0] = {control::CarrierGain, 7};
    core.midiSlots[1] = {kFirstChannelControl, 20};
    open();
    syncInput();
    syncOutput();
    client.clearReceived();

    client.send({0xB0, 7, 127});
    client.send({0xB5, 20, 100});
    client.send({0x90, 69, 64});
    const std::vector<MidiMessage> handled = pump(3);
    ASSERT_EQ(handled.size(), 3u);
    EXPECT_EQ(core.controls.parameterSlider(control::CarrierGain), 63);
    EXPECT_EQ(core.controls.channelSlider(0), 100);
    EXPECT_EQ(core.controls.parameterSlider(control::CarrierFrequency), 50);

    ASSERT_TRUE(client.waitUntil([&] { return heard().size() >= 2; }, 5s));
    const std::vector<Bytes> echo{{0xB2, 7, 126}, {0xB2, 20, 100}};
    EXPECT_EQ(heard(), echo);
}

TEST_F(JackMidi, ALampButtonOnAPedalFollowsItAndEchoesItsLamp) {
    core.midiSlots[0] = {control::Eq, 64};
    open();
    syncInput();
    syncOutput();
    client.clearReceived();

    client.send({0xB0, 64, 127});
    pump(1);
    EXPECT_TRUE(core.controls.litControl(control::Eq));
    client.send({0xB0, 64, 64});
    client.send({0xB0, 64, 0});
    pump(2);
    EXPECT_FALSE(core.controls.litControl(control::Eq));

    ASSERT_TRUE(client.waitUntil([&] { return heard().size() >= 2; }, 5s));
    const std::vector<Bytes> echo{{0xB2, 64, 127}, {0xB2, 64, 0}};
    EXPECT_EQ(heard(), echo);
}

TEST_F(JackMidi, AFloodOfThreeThousandControlChangesArrivesCompleteAndInOrder) {
    constexpr int kCount = 3000;
    core.midiSlots[0] = {control::CarrierGain, (kCount - 1) / 128};
    open();
    syncInput();
    syncOutput();
    client.clearReceived();

    for (int i = 0; i < kCount; ++i) {
        while (!client.send({0xB0, static_cast<std::uint8_t>(i / 128), static_cast<std::uint8_t>(i % 128)}))
            std::this_thread::sleep_for(1ms);
    }
    const std::vector<MidiMessage> handled = pump(kCount, 30s);
    ASSERT_EQ(handled.size(), std::size_t(kCount));
    for (int i = 0; i < kCount; ++i) {
        const MidiMessage& m = handled[static_cast<std::size_t>(i)];
        ASSERT_EQ(m.data1() * 128 + m.data2(), i) << "message " << i << " out of order";
    }
    EXPECT_EQ(link.lostMessages(), 0u);
    EXPECT_EQ(link.malformedMessages(), 0u);

    const int last = ((kCount - 1) % 128) >> 1;
    EXPECT_EQ(core.controls.parameterSlider(control::CarrierGain), last);
    ASSERT_TRUE(client.waitUntil(
        [&] {
            const auto h = heard();
            return !h.empty() &&
                   h.back() == Bytes{0xB2, std::uint8_t((kCount - 1) / 128), std::uint8_t(last * 2)};
        },
        5s));
}

TEST_F(JackMidi, GarbledEventsAreDroppedAndTheStreamGoesOn) {
    core.midiSlots[0] = {control::CarrierGain, 7};
    open();
    syncInput();

    client.send({0xB0, 7});                // truncated
    client.send({7, 16});                  // running status
    client.send({0xB0, 7, 1, 2});          // over-long
    client.send({0xB0, 0x90, 0x80});       // data bytes with the top bit set
    client.send({0xF0, 0x7E, 0x7F, 0xF7}); // a whole system exclusive: RtMidi drops it
    client.send({0xB0, 0xF8, 7, 10});      // a clock inside: still a control change
    client.send({0xB0, 7, 100});
    const std::vector<MidiMessage> handled = pump(2);
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].packed(), MidiMessage::of(0xB0, 7, 10).packed());
    EXPECT_EQ(handled[1].packed(), MidiMessage::of(0xB0, 7, 100).packed());
    EXPECT_EQ(link.malformedMessages(), 4u);
    EXPECT_EQ(core.controls.parameterSlider(control::CarrierGain), 50);
}

} // namespace
