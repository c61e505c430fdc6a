// Runs the program's window on a real JACK server for a while (QUORVEL_SOAK_SECONDS, 20 by
// default) with a voice at the input, while the panel is kept busy: sliders swept, banks,
// carriers and widths switched, settings saved and loaded, the whole panel repainted. Not a
// block may be lost or repeated, and no output may be NaN, infinite or denormal.

#include "core/ControlTable.h"
#include "JackTestClient.h"
#include "ScriptedPanelDialogs.h"
#include "app/VocoderWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <random>

namespace {

bool healthy(double v) { return std::isfinite(v) && (v == 0.0 || std::fpclassify(v) == FP_NORMAL); }

TEST(Soak, TheLiveLoopRunsWithoutALostBlockWhileThePanelIsBusy) {
    const char* seconds = std::getenv("QUORVEL_SOAK_SECONDS");
    const int duration = seconds ? std::atoi(seconds) : 20;
    const auto folder = std::filesystem::temp_directory_path() / ("quorvel-soak-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);

    JackTestClient voice("quorvel-soak-voice", 64);
    ASSERT_TRUE(voice.ok()) << "no JACK server";
    const double rate = voice.rate();
    std::vector<float> speech(std::size_t(rate * 30));
    for (std::size_t i = 0; i < speech.size(); ++i) {
        const double t = double(i) / rate;
        speech[i] = float((0.3 + 0.2 * std::sin(2 * std::numbers::pi * 1.7 * t)) *
                          (std::sin(2 * std::numbers::pi * 190 * t) + 0.4 * std::sin(2 * std::numbers::pi * 2100 * t)));
    }
    voice.setPlayback(speech, speech);
    ASSERT_TRUE(voice.activate());

    ScriptedPanelDialogs::Script script;
    VocoderWindow::Options options;
    VocoderWindow window(options, std::make_unique<ScriptedPanelDialogs>(script));
    window.show();
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::scan();
    SoundCardChoice jack;
    jack.outputChoice = catalog.outputIndex("JACK: system") + 1;
    jack.inputChoice = catalog.inputIndex("JACK: system") + 1;
    const char* buffers = std::getenv("QUORVEL_SOAK_BUFFERS");
    jack.bufferSlider = buffers ? std::atoi(buffers) : 36; // the dialog's default
    jack.sixteenBit = true;
    script.soundCards.push_back(jack);
    window.openSoundCard();
    ASSERT_NE(window.device(), nullptr);
    ASSERT_TRUE(script.messages.empty()) << script.messages.front();
    voice.connect(voice.name() + ":out_1", "quorvel:in_left");
    voice.connect(voice.name() + ":out_2", "quorvel:in_right");

    std::mt19937 random(2026);
    int step = 0;
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [&] {
        ++step;
        const int slider = int(random() % kSliderCount);
        window.moveSlider(slider, int(random() % (slider < kChannels ? 128 : 64)), SlaveMode::Parallel);
        if (step % 7 == 0) window.dispatch(kCommandFirst + buttonIndexOf(control::LevelBank + int(random() % 9)));
        if (step % 11 == 0) window.dispatch(kCommandFirst + buttonIndexOf(control::ExternalCarrier + int(random() % 6)));
        if (step % 13 == 0) window.dispatch(kCommandFirst + buttonIndexOf(control::NarrowFilter));
        if (step % 17 == 0) window.dispatch(kCommandFirst + buttonIndexOf(control::NormalFilter));
        if (step % 19 == 0) window.dispatch(kCommandFirst + buttonIndexOf(control::Randomize));
        if (step % 50 == 0) {
            script.saveAnswers.push_back(folder / "soak.set");
            window.dispatch(kCommandFirst + buttonIndexOf(control::SaveSettings));
            script.openAnswers.push_back(folder / "soak.set");
            window.dispatch(kCommandFirst + buttonIndexOf(control::LoadSettings));
        }
        window.refreshWidgets();
        window.repaint();
    });
    busy.start(10);

    long checked = 0, unhealthy = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration * 1000LL) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        // What the passes show: the display's values, every pass's own.
        for (double v : window.engine().image().spectrum) unhealthy += !healthy(v);
        ++checked;
    }
    busy.stop();
    WaveDuplex* device = window.device();
    ASSERT_NE(device, nullptr);
    const double expectedBlocks = duration * rate / (64.0 * rate / 11025.0);
    std::printf("soak: %d s, %llu blocks played, %llu underruns, %llu input frames dropped, %d panel steps\n",
                duration, static_cast<unsigned long long>(device->blocksPlayed()),
                static_cast<unsigned long long>(device->underruns()),
                static_cast<unsigned long long>(device->droppedInputFrames()), step);
    EXPECT_EQ(device->underruns(), 0u) << "blocks lost at the output";
    EXPECT_EQ(device->droppedInputFrames(), 0u) << "input lost";
    EXPECT_GT(double(device->blocksPlayed()), 0.9 * expectedBlocks);
    // Every pass took its own input block: none passed over, none missing after the first.
    EXPECT_EQ(window.liveLoop().skippedInput(), 0u);
    EXPECT_LE(window.liveLoop().passesWithoutInput(), 1u);
    EXPECT_EQ(unhealthy, 0) << "of " << checked << " checks";
    EXPECT_TRUE(script.messages.empty());
    std::filesystem::remove_all(folder);
}

} // namespace
