// The window with a real JACK MIDI controller: a test client plays knobs, a pedal and notes
// into the program's MIDI input and hears the panel echoed on its output.

#include "core/ControlTable.h"
#include "ui/BitmapButton.h"
#include "ui/SpectrumDisplay.h"
#include "ui/ValueSlider.h"
#include "JackMidiTestClient.h"
#include "ScriptedPanelDialogs.h"
#include "app/VocoderWindow.h"
#include "WindowDriving.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

int position(const std::vector<std::string>& list, const std::string& name) {
    const auto at = std::find(list.begin(), list.end(), name);
    return at == list.end() ? 0 : int(at - list.begin()) + 1;
}

TEST(WindowMidi, AControllerPlaysThePanelAndThePanelIsEchoedBack) {
    JackMidiTestClient controller("quorvel-controller");
    ASSERT_TRUE(controller.ok()) << "no JACK server: the test fixture starts one";
    ScriptedPanelDialogs::Script script;
    VocoderWindow window(VocoderWindow::Options{}, std::make_unique<ScriptedPanelDialogs>(script));
    window.show();

    script.midiChoice = [&](const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                            MidiDeviceSettings& settings) {
        settings.inputDevice = position(inputs, "JACK: " + controller.outPort());
        settings.outputDevice = position(outputs, "JACK: " + controller.inPort());
        settings.inChannel = 0;  // OMNI
        settings.outChannel = 0; // channel 1
        settings.assignments[0] = {control::MixLevel, 7};
        settings.assignments[1] = {control::Eq, 64};
        settings.assignments[2] = {control::Enhance, 20};
    };
    clickButton(window, control::MidiSettings);
    ASSERT_EQ(script.midiDialogs, 1);
    ASSERT_TRUE(script.messages.empty()) << script.messages.front();
    EXPECT_EQ(window.core().midiSlots[0].controller, 7);

    // Events sent right after a connection can be lost: send until the knob arrives.
    const VocoderCore& core = window.core();
    ASSERT_TRUE(runUntil([&] {
        controller.send({0xB3, 7, 127});
        return core.controls.parameterSlider(control::MixLevel) == 63;
    }, 10000));
    controller.send({0xB0, 64, 127}); // the pedal down
    ASSERT_TRUE(runUntil([&] { return core.state.eqOn; }, 3000));
    controller.send({0xB0, 64, 0}); // and up
    ASSERT_TRUE(runUntil([&] { return !core.state.eqOn; }, 3000));
    EXPECT_FALSE(core.controls.litControl(control::Eq));
    controller.send({0x90, 69, 100});
    ASSERT_TRUE(runUntil([&] { return core.controls.parameterSlider(control::CarrierFrequency) == 50; }, 3000));

    // A click echoes the button; the blocks echo the sliders (Mix 63 goes out as 126).
    controller.collect();
    controller.clearReceived();
    clickButton(window, control::Enhance);
    EXPECT_TRUE(controller.waitUntil(
        [&] {
            for (const auto& e : controller.received())
                if (e == std::vector<std::uint8_t>{0xB0, 20, 127}) return true;
            return false;
        },
        std::chrono::milliseconds(3000)));
    SoundCardChoice clock;
    clock.outputChoice = int(AudioDeviceCatalog::scan().outputs().size());
    clock.bufferSlider = 8;
    script.soundCards.push_back(clock);
    window.openSoundCard();
    EXPECT_TRUE(runUntil([&] {
        controller.collect();
        for (const auto& e : controller.received())
            if (e == std::vector<std::uint8_t>{0xB0, 7, 126}) return true;
        return false;
    }, 3000));
    // With a device playing the passes take the MIDI input themselves.
    ASSERT_TRUE(window.engine().audioOwnsCore());
    controller.send({0xB3, 7, 0});
    EXPECT_TRUE(runUntil([&] { return core.controls.parameterSlider(control::MixLevel) == 0; }, 3000));
}

// Sends a message every 100 ms until `done`: a backlog of copies would still be arriving
// after it.
bool sendUntil(JackMidiTestClient& controller, const std::vector<std::uint8_t>& bytes,
               const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 100) {
        controller.send(bytes);
        if (runUntil(done, 100)) return true;
    }
    return done();
}

// What a right click on a button and Ctrl with the right button on a slider open.
void openControlMenu(VocoderWindow& window, ControlId control) {
    if (isButtonControl(control)) {
        BitmapButton& button = window.button(buttonIndexOf(control));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(12, 9), button.mapToGlobal(QPoint(12, 9)));
        QApplication::sendEvent(&button, &event);
    } else {
        QTest::mousePress(&window.slider(sliderIndexOf(control)), Qt::RightButton, Qt::ControlModifier, QPoint(15, 30));
    }
}

TEST(WindowMidi, AControlLearnsTheNextControllerThatArrivesWithOrWithoutASoundCard) {
    JackMidiTestClient controller("quorvel-learner");
    ASSERT_TRUE(controller.ok()) << "no JACK server: the test fixture starts one";
    ScriptedPanelDialogs::Script script;
    VocoderWindow window(VocoderWindow::Options{}, std::make_unique<ScriptedPanelDialogs>(script));
    window.show();
    const VocoderCore& core = window.core();
    using Action = PanelDialogs::ControlAction;

    // Without a MIDI input there is nothing to learn from.
    script.controlActions.push_back(Action::Learn);
    openControlMenu(window, control::Eq);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(window.learningControl(), -1);

    script.midiChoice = [&](const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                            MidiDeviceSettings& settings) {
        settings.inputDevice = position(inputs, "JACK: " + controller.outPort());
        settings.outputDevice = position(outputs, "JACK: " + controller.inPort());
        settings.inChannel = 0;
        settings.outChannel = 0;
    };
    clickButton(window, control::MidiSettings);
    script.controlActions.push_back(Action::Learn);
    openControlMenu(window, control::Eq);
    ASSERT_EQ(script.controlMenus.back(), std::make_pair(std::string(controlInfo(control::Eq).name), false));
    EXPECT_EQ(window.learningControl(), control::Eq);
    EXPECT_EQ(window.display().status(), "MOVE A MIDI CONTROLLER");
    // Values between the latch's thresholds, so the ones after the learnt one switch nothing.
    ASSERT_TRUE(sendUntil(controller, {0xB4, 21, 64}, [&] { return window.learningControl() == -1; }, 10000));
    EXPECT_EQ(core.midiSlots[0].control, control::Eq);
    EXPECT_EQ(core.midiSlots[0].controller, 21);
    EXPECT_NE(window.display().status(), "MOVE A MIDI CONTROLLER");
    controller.send({0xB0, 21, 127});
    ASSERT_TRUE(runUntil([&] { return core.state.eqOn; }, 3000));
    controller.send({0xB0, 21, 0});
    ASSERT_TRUE(runUntil([&] { return !core.state.eqOn; }, 3000));

    // Escape gives up.
    script.controlActions.push_back(Action::Learn);
    openControlMenu(window, control::MixLevel);
    EXPECT_EQ(window.learningControl(), control::MixLevel);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(window.learningControl(), -1);
    EXPECT_NE(window.display().status(), "MOVE A MIDI CONTROLLER");

    // While a device plays, the control change is taken on the sound card's thread.
    SoundCardChoice clock;
    clock.outputChoice = int(AudioDeviceCatalog::scan().outputs().size());
    clock.bufferSlider = 8;
    script.soundCards.push_back(clock);
    window.openSoundCard();
    ASSERT_TRUE(window.engine().audioOwnsCore());
    script.controlActions.push_back(Action::Learn);
    openControlMenu(window, control::MixLevel);
    ASSERT_EQ(script.controlMenus.back().first, std::string(controlInfo(control::MixLevel).name));
    ASSERT_TRUE(sendUntil(controller, {0xB0, 22, 64}, [&] { return window.learningControl() == -1; }, 10000));
    EXPECT_EQ(core.midiSlots[1].control, control::MixLevel);
    EXPECT_EQ(core.midiSlots[1].controller, 22);
    // The core has the table: the controller plays the slider, and the slider is echoed.
    controller.collect();
    controller.clearReceived();
    controller.send({0xB0, 22, 127});
    EXPECT_TRUE(runUntil([&] { return core.controls.parameterSlider(control::MixLevel) == 63; }, 3000));
    EXPECT_TRUE(runUntil([&] {
        controller.collect();
        for (const auto& e : controller.received())
            if (e == std::vector<std::uint8_t>{0xB0, 22, 126}) return true;
        return false;
    }, 3000));

    script.controlActions.push_back(Action::Forget);
    openControlMenu(window, control::Eq);
    EXPECT_TRUE(script.controlMenus.back().second) << "the menu did not know Eq was assigned";
    settleWindow(window);
    EXPECT_FALSE(core.midiSlots[0].assigned());

    // The assignment dialog shows what was learnt.
    std::array<MidiAssignment, kMidiSlotCount> shown{};
    script.midiChoice = [&](const std::vector<std::string>&, const std::vector<std::string>&,
                            MidiDeviceSettings& settings) { shown = settings.assignments; };
    clickButton(window, control::MidiSettings);
    EXPECT_EQ(shown[1].control, control::MixLevel);
    EXPECT_EQ(shown[1].controller, 22);
    EXPECT_FALSE(shown[0].assigned());
}

} // namespace
