// The window with a real JACK MIDI controller: a test client plays knobs, a pedal and notes
// into the program's MIDI input and hears the panel echoed on its output.

#include "core/ControlTable.h"
#include "ui/BitmapButton.h"
#include "JackMidiTestClient.h"
#include "ScriptedPanelDialogs.h"
#include "app/VocoderWindow.h"
#include "WindowDriving.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool runUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done()) return true;
    }
    return done();
}

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

} // namespace
