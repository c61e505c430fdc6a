// What the user sees when a save fails in the window: one message with the reason, the
// file that was there unchanged, and, for a recording, the recording still there for
// another try. The disk is made full with a file size limit (which binds root too) and a
// folder read-only by its permissions (for an unprivileged user).

#include "core/ControlTable.h"
#include "ui/BitmapButton.h"
#include "FileSizeLimit.h"
#include "ScriptedPanelDialogs.h"
#include "Unprivileged.h"
#include "app/VocoderWindow.h"
#include "WindowDriving.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kOld = "old contents\n";
// A session cut short after its first line: still read as one at start, so it stays.
const std::string kOldSession = "0 64\n";

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class WindowSaveFailure : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("quorvel-save-failure-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        session = folder / "session.set";
        settings = folder / "sound.set";
        take = folder / "take.wav";
        for (const fs::path& p : {settings, take}) std::ofstream(p, std::ios::binary) << kOld;
        std::ofstream(session, std::ios::binary) << kOldSession;
    }
    void TearDown() override {
        window.reset();
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }

    VocoderWindow& open() {
        VocoderWindow::Options options;
        options.sessionFile = session;
        window = std::make_unique<VocoderWindow>(options, std::make_unique<ScriptedPanelDialogs>(script));
        window->show();
        return *window;
    }
    void click(ControlId id) { clickButton(*window, id); }
    void runFor(int ms) { runEventLoopFor(ms); }
    bool closeWindow() {
        script.questions.push_back(true);
        QCloseEvent event;
        QApplication::sendEvent(window.get(), &event);
        return event.isAccepted();
    }
    void makeFolderReadOnly() {
        using p = fs::perms;
        fs::permissions(folder, p::owner_read | p::owner_exec | p::group_read | p::group_exec |
                                    p::others_read | p::others_exec);
    }
    // Some 300 ms of sound on the internal clock, recorded.
    std::size_t record(VocoderWindow& w) {
        SoundCardChoice clock;
        clock.outputChoice = int(AudioDeviceCatalog::scan().outputs().size()); // the last entry
        clock.bufferSlider = 8;
        script.soundCards.push_back(clock);
        QTest::keyClick(&w, Qt::Key_S);
        runFor(50);
        click(control::Rec);
        runFor(300);
        click(control::Rec);
        return w.take() ? w.take()->left.size() : 0;
    }

    fs::path folder, session, settings, take;
    ScriptedPanelDialogs::Script script;
    std::unique_ptr<VocoderWindow> window;
};

TEST_F(WindowSaveFailure, SettingsOnAFullDiskSayWhyOnceAndKeepTheOldFile) {
    open();
    script.saveAnswers.push_back(settings);
    {
        FileSizeLimit full(100);
        click(control::SaveSettings);
    }
    EXPECT_EQ(script.messages, std::vector<std::string>{"The settings could not be saved: cannot write " +
                                                        settings.string() + ": File too large"});
    EXPECT_EQ(readText(settings), kOld);
}

TEST_F(WindowSaveFailure, SettingsInAReadOnlyFolderSayWhyOnceAndKeepTheOldFile) {
    open();
    makeFolderReadOnly();
    script.saveAnswers.push_back(settings);
    {
        Unprivileged user;
        click(control::SaveSettings);
    }
    EXPECT_EQ(script.messages,
              std::vector<std::string>{"The settings could not be saved: cannot create a file in " +
                                       folder.string() + ": Permission denied"});
    EXPECT_EQ(readText(settings), kOld);
}

TEST_F(WindowSaveFailure, TheSessionOnAFullDiskSaysWhyOnceAtCloseAndKeepsTheOldFile) {
    open();
    click(control::Eq);
    {
        FileSizeLimit full(0);
        EXPECT_TRUE(closeWindow());
    }
    EXPECT_EQ(script.messages, std::vector<std::string>{"The session could not be saved: cannot write " +
                                                        session.string() + ": File too large"});
    EXPECT_EQ(readText(session), kOldSession);
}

TEST_F(WindowSaveFailure, TheSessionInAReadOnlyFolderSaysWhyOnceAtCloseAndKeepsTheOldFile) {
    open();
    makeFolderReadOnly();
    {
        Unprivileged user;
        EXPECT_TRUE(closeWindow());
    }
    EXPECT_EQ(script.messages,
              std::vector<std::string>{"The session could not be saved: cannot create a file in " +
                                       folder.string() + ": Permission denied"});
    EXPECT_EQ(readText(session), kOldSession);
}

TEST_F(WindowSaveFailure, ARecordingOnAFullDiskSaysSoOnceAndStaysForAnotherTry) {
    VocoderWindow& w = open();
    const std::size_t blocks = record(w);
    ASSERT_GT(blocks, 10u);
    script.rates.push_back(SaveRate::Rate44100);
    script.saveAnswers.push_back(take);
    {
        FileSizeLimit full(1024);
        click(control::Save);
    }
    EXPECT_EQ(script.messages, std::vector<std::string>{"Cannot write wave data!"});
    EXPECT_EQ(readText(take), kOld);
    ASSERT_TRUE(w.take());
    EXPECT_EQ(w.take()->left.size(), blocks);
    EXPECT_EQ(w.take()->right.size(), blocks);

    // With room on the disk the same recording saves completely.
    script.rates.push_back(SaveRate::Rate44100);
    script.saveAnswers.push_back(take);
    click(control::Save);
    EXPECT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(fs::file_size(take), 46 + blocks * 1024);
}

TEST_F(WindowSaveFailure, ARecordingInAReadOnlyFolderSaysSoOnceAndStaysForAnotherTry) {
    VocoderWindow& w = open();
    const std::size_t blocks = record(w);
    ASSERT_GT(blocks, 10u);
    makeFolderReadOnly();
    script.rates.push_back(SaveRate::Rate11025);
    script.saveAnswers.push_back(take);
    {
        Unprivileged user;
        click(control::Save);
    }
    EXPECT_EQ(script.messages, std::vector<std::string>{"Cannot create file!"});
    EXPECT_EQ(readText(take), kOld);
    ASSERT_TRUE(w.take());
    EXPECT_EQ(w.take()->left.size(), blocks);
}

// The window's thread must never wait for a reader that may never come.
TEST_F(WindowSaveFailure, ARecordingIntoAPipeNobodyReadsSaysSoAtOnceAndStaysForAnotherTry) {
    VocoderWindow& w = open();
    const std::size_t blocks = record(w);
    ASSERT_GT(blocks, 10u);
    const fs::path pipe = folder / "pipe.wav";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    script.rates.push_back(SaveRate::Rate11025);
    script.saveAnswers.push_back(pipe);
    click(control::Save);
    EXPECT_EQ(script.messages, std::vector<std::string>{"Cannot create file!"});
    EXPECT_TRUE(fs::is_fifo(pipe));
    ASSERT_TRUE(w.take());
    EXPECT_EQ(w.take()->left.size(), blocks);

    // With a reader the same recording goes into the pipe, whole (room enough that the
    // reader can take it after the save).
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_GE(::fcntl(reader, F_SETPIPE_SZ, 1 << 20), int(46 + blocks * 256));
    script.rates.push_back(SaveRate::Rate11025);
    script.saveAnswers.push_back(pipe);
    click(control::Save);
    std::string received(46 + blocks * 256 + 1, '\0');
    const ssize_t got = ::read(reader, received.data(), received.size());
    ::close(reader);
    EXPECT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(got, ssize_t(46 + blocks * 256));
    EXPECT_EQ(received.compare(0, 4, "RIFF"), 0);
    EXPECT_TRUE(fs::is_fifo(pipe));
}

} // namespace
