// Runs on a real X server (Xvfb, started by the test's script) and keeps pictures of the
// panel for review in the build folder's screenshots/.

#include "core/ControlTable.h"
#include "ScriptedPanelDialogs.h"
#include "app/VocoderWindow.h"
#include "ui/SpectrumDisplay.h"
#include "ui/ValueSlider.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QSet>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QImage shoot(QWidget& window) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return window.screen()->grabWindow(window.winId()).toImage();
}

void expectAFinishedPanel(const QImage& image) {
    EXPECT_EQ(image.size(), QSize(640, 480));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 200) << "the panel looks blank";
}

TEST(Screenshot, ThePanelAsItStarts) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test on a real X server";
    ScriptedPanelDialogs::Script script;
    VocoderWindow::Options options;
    VocoderWindow window(options, std::make_unique<ScriptedPanelDialogs>(script));
    window.show();
    const QImage image = shoot(window);
    expectAFinishedPanel(image);
    QDir().mkpath(QUORVEL_SCREENSHOTS);
    EXPECT_TRUE(image.save(QUORVEL_SCREENSHOTS "/panel-start.png"));
}

TEST(Screenshot, ThePanelWhilePlaying) {
    ScriptedPanelDialogs::Script script;
    VocoderWindow::Options options;
    VocoderWindow window(options, std::make_unique<ScriptedPanelDialogs>(script));
    window.show();
    window.dispatch(commandIdOf(control::Enhance));
    window.dispatch(commandIdOf(control::Chorus1Carrier));
    window.dispatch(commandIdOf(control::LevelBank + 1));
    window.dispatch(commandIdOf(control::Preset1));
    window.dispatch(commandIdOf(control::Rec));
    std::array<int, kChannels> map = window.core().channelMap;
    for (int update = 0; update < 40; ++update) {
        std::array<double, kChannels> energy{};
        for (int k = 0; k < kChannels; ++k) energy[k] = 6000 * (1 + std::sin(0.5 * k + update * 0.2));
        window.display().updateSpectrum(energy, map);
    }
    window.refreshWidgets();
    window.slider(kFirstParameterSlider).setLamp(true);
    const QImage image = shoot(window);
    expectAFinishedPanel(image);
    QDir().mkpath(QUORVEL_SCREENSHOTS);
    EXPECT_TRUE(image.save(QUORVEL_SCREENSHOTS "/panel-playing.png"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
