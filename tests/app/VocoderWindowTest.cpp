#include "core/ControlTable.h"
#include "dsp/Nsp.h"
#include "engine/RecordBlock.h"
#include "ui/BitmapButton.h"
#include "ui/PanelLayout.h"
#include "ScriptedPanelDialogs.h"
#include "app/VocoderApp.h"
#include "app/VocoderWindow.h"
#include "session/SettingsFile.h"
#include "ui/Skin.h"
#include "ui/SpectrumDisplay.h"
#include "ui/ValueSlider.h"
#include "WindowDriving.h"

#include <QContextMenuEvent>

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

// A full memory for recordings: while this is set on a thread, the chunks a take is made
// of cannot be had there. The array forms are replaced together, so that what one
// allocates another may free.
namespace {
thread_local bool refuseRecordingChunks = false;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (refuseRecordingChunks && size == RecordBlockList::kChunkBlocks * sizeof(RecordBlock)) return nullptr;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

namespace fs = std::filesystem;

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("quorvel-window-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        session = folder / "session.set";
    }
    void TearDown() override {
        window.reset();
        fs::remove_all(folder);
    }

    VocoderWindow& open() {
        VocoderWindow::Options options;
        options.sessionFile = session;
        options.manual = folder / "manual.html";
        options.preferences = folder / "preferences";
        window = std::make_unique<VocoderWindow>(options, std::make_unique<ScriptedPanelDialogs>(script));
        window->show();
        return *window;
    }
    void click(ControlId id) { clickButton(*window, id); }
    void runFor(int ms) { runEventLoopFor(ms); }
    bool closeWindow() {
        QCloseEvent event;
        QApplication::sendEvent(window.get(), &event);
        return event.isAccepted();
    }
    // The internal clock is the one output every machine has.
    static SoundCardChoice internalClock() {
        SoundCardChoice c;
        c.outputChoice = int(AudioDeviceCatalog::scan().outputs().size()); // the last entry
        c.bufferSlider = 8;
        return c;
    }

    fs::path folder, session;
    ScriptedPanelDialogs::Script script;
    std::unique_ptr<VocoderWindow> window;
};

TEST_F(Window, StartsAsAFixedPanelWithTheStartValuesWhenThereIsNoSession) {
    VocoderWindow& w = open();
    EXPECT_EQ(w.windowTitle(), "QUORVEL V2.00");
    EXPECT_EQ(w.size(), QSize(640, 480));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.core().controls.parameterSlider(control::CarrierGain), 32);
    EXPECT_EQ(w.core().controls.parameterSlider(control::PulseWidth), 8);
    EXPECT_TRUE(w.core().controls.litControl(control::InputMR));
    EXPECT_TRUE(w.core().controls.litControl(control::PulseCarrier));
    EXPECT_EQ(w.core().controls.caption(buttonIndexOf(control::Preset1)), "Half");
    EXPECT_EQ(w.device(), nullptr); // the sound card waits for the first mouse movement
    EXPECT_EQ(w.button(0).geometry(), QRect(320, 20, 24, 19));
    EXPECT_EQ(w.slider(0).geometry(), QRect(39, 273, 30, 182));
    EXPECT_EQ(w.slider(18).geometry(), QRect(39, 97, 30, 118));
    EXPECT_EQ(w.display().geometry(), QRect(260, 97, 178, 102));
}

TEST_F(Window, StartsFromTheSessionFileWhenThereIsOne) {
    {
        VocoderWindow& w = open();
        click(control::WideFilter);
        click(control::Eq);
        w.moveSlider(sliderIndexOf(control::MixLevel), 40, SlaveMode::Parallel);
        script.questions.push_back(true);
        ASSERT_TRUE(closeWindow());
        window.reset();
    }
    ASSERT_TRUE(fs::exists(session));
    VocoderWindow& w = open();
    EXPECT_TRUE(w.core().controls.litControl(control::WideFilter));
    EXPECT_TRUE(w.core().state.eqOn);
    EXPECT_EQ(w.engine().ownedCore().filterBank.width(), FilterWidth::Wide); // no device: the window owns the core
    EXPECT_EQ(w.core().controls.parameterSlider(control::MixLevel), 40);
}

TEST_F(Window, ClosingAsksAndNoKeepsItRunningWithoutSaving) {
    open();
    script.questions.push_back(false);
    EXPECT_FALSE(closeWindow());
    EXPECT_EQ(script.questionsAsked.back(), "Do you really want to stop having fun?");
    EXPECT_FALSE(fs::exists(session));
    script.questions.push_back(true);
    EXPECT_TRUE(closeWindow());
    EXPECT_TRUE(fs::exists(session)); // closed before any sound card: the session is still written
}

TEST_F(Window, ClickingButtonsGoesThroughTheDispatcherAndLightsTheLamps) {
    VocoderWindow& w = open();
    click(control::Smooth);
    EXPECT_TRUE(w.core().state.smoothOn);
    click(control::Enhance);
    EXPECT_TRUE(w.core().state.enhanceOn);
    EXPECT_FALSE(w.core().state.smoothOn);
    EXPECT_FALSE(w.core().controls.litControl(control::Smooth));
    click(control::LevelBank + 1); // Pan
    EXPECT_EQ(w.core().state.currentBank, BankId::Pan);
    EXPECT_EQ(w.core().controls.caption(buttonIndexOf(control::Preset1)), "Sprd ");
    EXPECT_EQ(w.core().controls.channelSlider(0), 63); // Pan 0.0 shows 63
    click(control::DisplayMode);
    EXPECT_TRUE(w.display().mapMode());
}

TEST_F(Window, ASliderMovedBetweenBlocksIsNotLostWhenTheBankChanges) {
    VocoderWindow& w = open(); // no sound card: no blocks run
    ValueSlider& s = w.slider(3);
    const QPoint thumb = s.thumbRect().center();
    QTest::mousePress(&s, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(&s, thumb - QPoint(0, 10));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, thumb - QPoint(0, 10));
    const int moved = w.core().controls.channelSlider(3);
    click(control::LevelBank + 1); // to Pan
    click(control::LevelBank);     // and back to Level
    EXPECT_EQ(w.core().controls.channelSlider(3), moved);
}

TEST_F(Window, AChannelSliderDragMovesTheOthersWithSlaveMove) {
    VocoderWindow& w = open();
    ValueSlider& s = w.slider(5);
    const QPoint thumb = s.thumbRect().center();
    QTest::mousePress(&s, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(&s, thumb - QPoint(0, 3));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, thumb - QPoint(0, 3));
    for (int i = 0; i < kChannels; ++i) EXPECT_EQ(w.core().controls.channelSlider(i), 67) << i;
}

TEST_F(Window, TheKeySOpensTheSoundCardAndTheInternalClockDrivesTheBlocks) {
    VocoderWindow& w = open();
    script.soundCards.push_back(internalClock());
    QTest::keyClick(&w, Qt::Key_S);
    runFor(50);
    ASSERT_NE(w.device(), nullptr);
    EXPECT_FALSE(w.device()->hasError());
    runFor(400);
    EXPECT_GT(w.engine().passes(), 20u);
    EXPECT_NE(w.display().toolTip().indexOf("No sound card (internal clock)"), -1);
    EXPECT_NE(w.display().toolTip().indexOf("Latency: 8 buffers, 46 ms"), -1);
}

// With no memory left for a take, REC says so while the sound goes on; the box is shown
// by the window, never inside a pass, so even a box that replaces the device is safe.
TEST_F(Window, ATakeWithNoMemoryIsReportedWhileTheSoundGoesOnEvenWhenItsBoxReplacesTheDevice) {
    VocoderWindow& w = open();
    script.soundCards.push_back(internalClock());
    click(control::AudioSettings);
    ASSERT_NE(w.device(), nullptr);
    refuseRecordingChunks = true; // no spare take can be made from here on
    std::uint64_t passesUnderTheBox = 0;
    script.whileMessageIsUp = [&] {
        // The sound goes on under a box: the passes do not wait for it.
        const std::uint64_t from = w.engine().passes();
        QTest::qSleep(100);
        passesUnderTheBox = w.engine().passes() - from;
        script.soundCards.push_back(internalClock()); // the device is closed and another opened
        w.openSoundCard();
    };
    // The spare takes made before run out one REC after another.
    for (int press = 0; press < 6 && script.messages.empty(); ++press) {
        click(control::Rec);
        runFor(30);
    }
    refuseRecordingChunks = false;
    script.whileMessageIsUp = nullptr;
    EXPECT_EQ(script.messages, std::vector<std::string>{"Not enough memory for rec buffer"});
    EXPECT_GT(passesUnderTheBox, 8u); // 17 blocks in 100 ms
    runFor(50);
    EXPECT_FALSE(w.core().state.recordOn);
    EXPECT_FALSE(w.core().controls.litControl(control::Rec));
    ASSERT_NE(w.device(), nullptr);
    const std::uint64_t before = w.engine().passes();
    runFor(300);
    EXPECT_GT(w.engine().passes(), before + 20);
}

TEST_F(Window, RecordsPlaysAFileAndSavesTheRecordingThroughTheDialogs) {
    VocoderWindow& w = open();
    script.soundCards.push_back(internalClock());
    QTest::keyClick(&w, Qt::Key_S);
    runFor(50);
    click(control::Rec);
    runFor(300);
    click(control::Rec);
    ASSERT_TRUE(w.take());
    const std::size_t blocks = w.take()->left.size();
    EXPECT_GT(blocks, 10u);
    const fs::path out = folder / "take.wav";
    script.rates.push_back(SaveRate::Rate11025);
    script.saveAnswers.push_back(out);
    click(control::Save);
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(fs::file_size(out), 46 + blocks * 256); // an 18-byte format record
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(Window, TheSpectrumDisplayFollowsTheBlocksAndItsMapEditsReachTheEngine) {
    VocoderWindow& w = open();
    click(control::DisplayMode);
    SpectrumDisplay& d = w.display();
    // Column 3 (x 41..47), dragged to entry 10 (y = 86 - 4 x 10).
    QTest::mousePress(&d, Qt::LeftButton, {}, QPoint(44, 50));
    QTest::mouseMove(&d, QPoint(44, 46));
    QTest::mouseRelease(&d, Qt::LeftButton, {}, QPoint(44, 46));
    EXPECT_EQ(d.map()[3], 10);
    EXPECT_EQ(w.core().channelMap[3], 10);
    click(control::LinearSpectrum);
    EXPECT_EQ(d.map()[3], 3);
}

TEST_F(Window, HelpOpensTheManualAndLibraryErrorsShowTheirBox) {
    open();
    click(control::Help);
    ASSERT_EQ(script.manualsOpened.size(), 1u);
    EXPECT_EQ(script.manualsOpened[0], folder / "manual.html");

    nspSetErrStatus(0);
    nspSetErrMode(NSP_ErrorModeParent);
    nspdbCopy(nullptr, nullptr, 1);
    nspSetErrStatus(0);
    nspSetErrMode(NSP_ErrorModeLeaf);
    ASSERT_EQ(script.libraryErrors.size(), 2u);
    EXPECT_EQ(script.libraryErrors[0],
              "SPL Library Error: Bad argument\nin function [nsparith:279]:nspdbCopy():\n src==0"
              "\n\nErrMode=NSP_ErrorModeParent\n\nContinue?");
}

// ---- What a player meets first ---------------------------------------------------------------

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool sameFace(BitmapButton& a, BitmapButton& b) { return a.grab().toImage() == b.grab().toImage(); }

TEST_F(Window, TheSoundCardDialogOffersTheLastDevicesAgainAndThePanelSaysWhenThereAreNone) {
    {
        VocoderWindow& w = open();
        EXPECT_EQ(w.display().status(), "NO SOUND CARD"); // not only in a tooltip
        script.soundCards.push_back(internalClock());
        QTest::keyClick(&w, Qt::Key_S);
        runFor(100);
        ASSERT_NE(w.device(), nullptr);
        EXPECT_EQ(w.display().status(), "");
        EXPECT_NE(fileText(folder / "preferences").find("output=No sound card (internal clock)\n"), std::string::npos);
        script.questions.push_back(true);
        ASSERT_TRUE(closeWindow());
        window.reset();
    }
    // The next run offers the same device and buffers, so Return plays at once.
    VocoderWindow& w = open();
    script.soundCards.push_back(ScriptedPanelDialogs::kReturn);
    click(control::AudioSettings);
    ASSERT_EQ(script.soundCardsShown.size(), 2u);
    EXPECT_EQ(script.soundCardsShown[1].outputChoice, internalClock().outputChoice);
    EXPECT_EQ(script.soundCardsShown[1].bufferSlider, 8);
    ASSERT_NE(w.device(), nullptr);
    EXPECT_TRUE(w.device()->running());
    // A deliberate None is kept too, and said on the panel.
    SoundCardChoice none;
    script.soundCards.push_back(none);
    click(control::AudioSettings);
    EXPECT_EQ(w.display().status(), "NO SOUND CARD");
    script.soundCards.push_back(ScriptedPanelDialogs::kReturn);
    click(control::AudioSettings);
    EXPECT_EQ(script.soundCardsShown.back().outputChoice, 0);
}

TEST_F(Window, ClosingWithATakeNeverSavedAsksToSaveItAndTheSessionStartsNoRecording) {
    const fs::path out = folder / "take.wav";
    {
        VocoderWindow& w = open();
        script.soundCards.push_back(internalClock());
        click(control::AudioSettings);
        click(control::Rec);
        runFor(200);
        script.questions.push_back(true);
        script.saveAnswers3.push_back(PanelDialogs::SaveAnswer::Cancel);
        EXPECT_FALSE(closeWindow());
        EXPECT_EQ(script.questionsAsked.back(), "The recording has not been saved. Save it before QUORVEL closes?");
        ASSERT_TRUE(w.take());
        script.questions.push_back(true);
        script.saveAnswers3.push_back(PanelDialogs::SaveAnswer::Save);
        script.rates.push_back(SaveRate::Rate11025);
        script.saveAnswers.push_back(out);
        EXPECT_TRUE(closeWindow());
        EXPECT_GT(fs::file_size(out), 46u + 10 * 256);
        window.reset();
    }
    // The session was written with REC lit; it comes back dark, with no take growing.
    VocoderWindow& w = open();
    EXPECT_FALSE(w.core().controls.litControl(control::Rec));
    EXPECT_FALSE(w.core().state.recordOn);
    EXPECT_EQ(w.take(), nullptr);
    // A take saved since it was made needs no question.
    script.soundCards.push_back(ScriptedPanelDialogs::kReturn);
    click(control::AudioSettings);
    click(control::Rec);
    runFor(100);
    script.rates.push_back(SaveRate::Rate11025);
    script.saveAnswers.push_back(out);
    click(control::Save);
    runFor(50);
    script.questions.push_back(true);
    EXPECT_TRUE(closeWindow());
    EXPECT_EQ(script.questionsAsked.back(), "Do you really want to stop having fun?");
}

TEST_F(Window, SaveAndLoadDarkenTheirLampsBeforeTheirDialogsAndLoadSaysWhichFileItWants) {
    VocoderWindow& w = open();
    auto button = [&](ControlId id) -> BitmapButton& { return w.button(buttonIndexOf(id)); };
    click(control::RepeatModulator);
    ASSERT_FALSE(sameFace(button(control::RepeatModulator), button(control::RepeatCarrier)));
    std::vector<bool> darkDuringDialogs;
    script.whileDialogIsUp = [&] {
        darkDuringDialogs.push_back(sameFace(button(control::RepeatModulator), button(control::RepeatCarrier)) &&
                                    sameFace(button(control::Rec), button(control::RepeatCarrier)));
    };
    script.openAnswers = {std::nullopt, std::nullopt};
    click(control::Load);
    EXPECT_EQ(script.openTitles,
              (std::vector<std::string>{"Select the Carrier WAV File", "Select the Modulator WAV File"}));

    script.soundCards.push_back(internalClock());
    click(control::AudioSettings);
    click(control::Rec);
    runFor(100);
    ASSERT_FALSE(sameFace(button(control::Rec), button(control::RepeatCarrier)));
    script.rates.push_back(std::nullopt);
    click(control::Save);
    EXPECT_EQ(darkDuringDialogs, std::vector<bool>(3, true));
}

TEST_F(Window, AFileThatIsNoSettingsFileChangesNothingAndADamagedSessionIsKeptAside) {
    const std::string damaged = "RIFF\x24\x08\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\n1 2 3\n";
    std::ofstream(session, std::ios::binary) << damaged;
    std::ofstream(folder / "voice.wav", std::ios::binary) << damaged;
    VocoderWindow& w = open();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "The session file " + session.string() +
                                      " is damaged, so QUORVEL starts from the start values.\nThe damaged file is "
                                      "kept as " + session.string() + ".damaged.");
    EXPECT_FALSE(fs::exists(session));
    EXPECT_EQ(fileText(session.string() + ".damaged"), damaged);
    EXPECT_TRUE(w.core().controls.litControl(control::InputMR)); // the start values

    // A cancelled LSet first: the banks follow the sliders at every command.
    script.openAnswers.push_back(std::nullopt);
    click(control::LoadSettings);
    const std::string before = settingsText(w.core());
    script.openAnswers.push_back(folder / "voice.wav");
    click(control::LoadSettings);
    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(script.messages[1], "\"voice.wav\" is not a settings file, so nothing was changed.");
    EXPECT_EQ(settingsText(w.core()), before);

    script.questions.push_back(true);
    EXPECT_TRUE(closeWindow());
    EXPECT_TRUE(fs::exists(session)); // a new one beside the damaged one
    EXPECT_EQ(fileText(session.string() + ".damaged"), damaged);
}

TEST_F(Window, ThePanelOffersNoMaximiseZoomsCrispFromTheDoubleSkinAndItsMenuKeepsZoomAndAir) {
    {
        VocoderWindow& w = open();
        EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        script.menus.push_back(PanelDialogs::PanelMenuChoice{200, false});
        script.menus.push_back(PanelDialogs::PanelMenuChoice{std::nullopt, true});
        for (int i = 0; i < 2; ++i) {
            QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), w.mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(&w, &menu);
        }
        EXPECT_EQ(script.airShown, (std::vector<bool>{false, false}));
        EXPECT_TRUE(w.airOn());
        EXPECT_EQ(w.size(), QSize(1280, 960));
        EXPECT_EQ(w.button(0).geometry(), QRect(640, 40, 48, 38));
        EXPECT_EQ(w.display().geometry(), QRect(520, 194, 356, 204));
        // Every pixel of a lamp is the double-size picture's own, not a blown-up small one.
        const QImage face = w.button(1).grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage skin = Skin::pixmap(SkinImage::PushFace, 2.0).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(face.size(), skin.size());
        int differing = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                differing += qAlpha(skin.pixel(x, y)) == 255 && face.pixel(x, y) != skin.pixel(x, y);
        EXPECT_EQ(differing, 0);
        // The mouse works in the panel's own pixels: 10 screen pixels up are 5 values.
        ValueSlider& s = w.slider(18);
        const int start = s.value();
        const QPoint thumb = PanelWidget::scaled(s.thumbRect(), 2.0).center();
        QTest::mousePress(&s, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(&s, thumb - QPoint(0, 10));
        QTest::mouseRelease(&s, Qt::LeftButton, {}, thumb - QPoint(0, 10));
        EXPECT_EQ(w.core().controls.slider(18), start + 5);
        script.questions.push_back(true);
        ASSERT_TRUE(closeWindow());
        window.reset();
    }
    EXPECT_NE(fileText(folder / "preferences").find("zoom=200\nair=1\n"), std::string::npos);
    VocoderWindow& w = open();
    EXPECT_EQ(w.zoomPercent(), 200);
    EXPECT_TRUE(w.airOn());
    EXPECT_EQ(w.size(), QSize(1280, 960));
}

TEST_F(Window, InMapModeTheDisplaysHeadingChanges) {
    VocoderWindow& w = open();
    const QRect heading = PanelLayout::kDisplayHeadingArea;
    const QImage spectrum = w.grab(heading).toImage();
    click(control::DisplayMode);
    ASSERT_TRUE(w.display().mapMode());
    EXPECT_NE(w.grab(heading).toImage(), spectrum);
    click(control::DisplayMode);
    EXPECT_EQ(w.grab(heading).toImage(), spectrum);
}

TEST_F(Window, AFailedSessionSaveIsReportedOnce) {
    VocoderWindow::Options options;
    options.sessionFile = folder / "plain-file" / "session.set";
    std::ofstream(folder / "plain-file") << "not a folder";
    window = std::make_unique<VocoderWindow>(options, std::make_unique<ScriptedPanelDialogs>(script));
    script.questions.push_back(true);
    EXPECT_TRUE(closeWindow());
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].rfind("The session could not be saved: ", 0), 0u);
}

} // namespace

namespace {

// A JACK server of this test's own, so that it can be killed like a crashing server.
class PrivateJackServer {
public:
    static constexpr const char* kName = QUORVEL_JACK_CRASH_SERVER;
    PrivateJackServer() { start(); }
    ~PrivateJackServer() { std::system((std::string(QUORVEL_JACK_SERVER) + " stop " + kName).c_str()); }
    bool start() {
        setenv("JACK_DEFAULT_SERVER", kName, 1);
        return std::system((std::string(QUORVEL_JACK_SERVER) + " start " + kName + " 11025").c_str()) == 0;
    }
    void crash() {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::ifstream pidfile(std::string(runtime ? runtime : "/tmp") + "/quorvel-jack-" + kName + ".pid");
        int pid = 0;
        pidfile >> pid;
        if (pid > 0) ::kill(pid, SIGKILL);
    }
};

TEST_F(Window, ALostSoundServerIsReportedOnceTheTakeIsKeptAndAudioOpensANewOne) {
    PrivateJackServer server;
    VocoderWindow& w = open();
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::scan();
    SoundCardChoice jack;
    jack.outputChoice = catalog.outputIndex("JACK: system") + 1;
    jack.inputChoice = catalog.inputIndex("JACK: system") + 1;
    jack.bufferSlider = 8;
    jack.sixteenBit = true;
    ASSERT_GT(jack.outputChoice, 0) << "the private JACK server did not start";
    script.soundCards.push_back(jack);
    click(control::AudioSettings);
    ASSERT_NE(w.device(), nullptr);
    ASSERT_FALSE(w.device()->hasError());
    click(control::Rec);
    runFor(300);
    ASSERT_TRUE(w.take());
    const std::size_t recorded = w.take()->left.size();
    ASSERT_GT(recorded, 10u);

    server.crash();
    // Noticed once RtAudio has closed the stream from its own thread (within a second, or
    // longer on a loaded machine). Nothing may close it meanwhile: two closes at once
    // deadlock inside libjack.
    auto lostCount = [&] {
        return std::count_if(script.messages.begin(), script.messages.end(), [](const std::string& m) {
            return m.find("The sound server has gone away") != std::string::npos;
        });
    };
    for (int waited = 0; waited < 10000 && lostCount() == 0; waited += 100) runFor(100);
    runFor(300);
    EXPECT_EQ(lostCount(), 1);
    EXPECT_EQ(w.display().status(), "SOUND CARD LOST");
    EXPECT_EQ(w.device(), nullptr);
    ASSERT_TRUE(w.take());
    EXPECT_GE(w.take()->left.size(), recorded);

    ASSERT_TRUE(server.start());
    script.soundCards.push_back(jack);
    const std::uint64_t before = w.engine().passes();
    click(control::AudioSettings);
    ASSERT_NE(w.device(), nullptr);
    EXPECT_FALSE(w.device()->hasError());
    runFor(300);
    EXPECT_GT(w.engine().passes(), before + 20);
    EXPECT_EQ(script.messages.size(), 1u);
    // The stream is closed before the server stops, for the same reason.
    window.reset();
}

// A first run offers the running JACK server, so Return plays through it.
TEST_F(Window, AFirstRunOffersARunningJackServer) {
    PrivateJackServer server;
    VocoderWindow& w = open();
    script.soundCards.push_back(ScriptedPanelDialogs::kReturn);
    click(control::AudioSettings);
    ASSERT_EQ(script.soundCardsShown.size(), 1u);
    const SoundCardChoice shown = script.soundCardsShown[0];
    EXPECT_EQ(script.soundCardOutputs[0][std::size_t(shown.outputChoice)], "JACK: system");
    EXPECT_GT(shown.inputChoice, 0);
    ASSERT_NE(w.device(), nullptr);
    EXPECT_TRUE(w.device()->running());
    EXPECT_EQ(w.display().status(), "");
    window.reset(); // before the server stops
}

TEST_F(Window, ADeviceThatVanishesWhileTheDialogIsUpIsReportedOnceAndTheProgramCarriesOn) {
    PrivateJackServer server;
    VocoderWindow& w = open();
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::scan();
    SoundCardChoice jack;
    jack.outputChoice = catalog.outputIndex("JACK: system") + 1;
    ASSERT_GT(jack.outputChoice, 0) << "the private JACK server did not start";
    script.soundCards.push_back(jack);
    script.whileSoundCardDialogIsUp = [&] { server.crash(); };
    click(control::AudioSettings);
    script.whileSoundCardDialogIsUp = nullptr;
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].rfind("Couldn't open wave out device - \n", 0), 0u) << script.messages[0];
    click(control::Eq); // the panel still works
    EXPECT_TRUE(w.core().state.eqOn);
    SoundCardChoice clock;
    clock.outputChoice = int(AudioDeviceCatalog::scan().outputs().size());
    clock.bufferSlider = 8;
    script.soundCards.push_back(clock);
    click(control::AudioSettings);
    runFor(200);
    EXPECT_GT(w.engine().passes(), 5u);
    EXPECT_EQ(script.messages.size(), 1u);
}

// The JACK options: a name JACK would refuse is said at the start, not at the first Audio.
TEST(CommandLine, TheJackOptionsTakeANameJackAcceptsAndLeaveTheConnectionsWhenAsked) {
    struct Row {
        std::vector<std::string> args;
        std::string name;
        bool connect;
        std::string error;
    };
    const std::string bad = "--jack-name needs a name of 1 to 63 characters without ':'";
    for (const Row& row : std::vector<Row>{
             {{}, "quorvel", true, ""},
             {{"--jack-name", "vox", "--no-connect"}, "vox", false, ""},
             {{"--jack-name=vox two"}, "vox two", true, ""},
             {{"--jack-name"}, "quorvel", true, "--jack-name needs a name"},
             {{"--jack-name="}, "quorvel", true, bad},
             {{"--jack-name", "a:b"}, "quorvel", true, bad},
             {{"--jack-name", std::string(64, 'x')}, "quorvel", true, bad},
         }) {
        const VocoderApp::CommandLine line = VocoderApp::parse(row.args);
        EXPECT_EQ(line.error, row.error) << ::testing::PrintToString(row.args);
        if (!row.error.empty()) continue;
        EXPECT_EQ(line.jackName, row.name);
        EXPECT_EQ(line.jackConnect, row.connect);
    }
}

} // namespace
