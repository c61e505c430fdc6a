// A disk that fills up or a folder that cannot be written: the file already there stays as
// it was, the reason is given once, no temporary file stays behind, and a recording that
// could not be saved is still there for another try.

#include "core/CommandDispatcher.h"
#include "FileSizeLimit.h"
#include "core/NullCommandHost.h"
#include "session/SettingsFile.h"
#include "Unprivileged.h"
#include "core/VocoderCore.h"
#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

RecordBlockList recording(int blocks, double frequency) {
    RecordBlockList list(static_cast<std::size_t>(blocks));
    for (int b = 0; b < blocks; ++b)
        for (int i = 0; i < BLOCK_SIZE; ++i)
            list[static_cast<std::size_t>(b)].samples[static_cast<std::size_t>(i)] =
                12000 * std::sin(frequency * (b * BLOCK_SIZE + i)) - 0.5;
    return list;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<double> samplesOf(const RecordBlockList& list) {
    std::vector<double> out;
    for (const RecordBlock& b : list) out.insert(out.end(), b.samples.begin(), b.samples.end());
    return out;
}

// While alive, a write to a pipe nobody reads fails with EPIPE instead of raising SIGPIPE,
// as in both programs.
class PipeSignalIgnored {
public:
    PipeSignalIgnored() : previous_(std::signal(SIGPIPE, SIG_IGN)) {}
    ~PipeSignalIgnored() { std::signal(SIGPIPE, previous_); }
    PipeSignalIgnored(const PipeSignalIgnored&) = delete;
    PipeSignalIgnored& operator=(const PipeSignalIgnored&) = delete;

private:
    void (*previous_)(int);
};

bool isCharacterDevice(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

class SavingFails : public WavTest {
protected:
    TempFolder folder;
    fs::path settingsPath = folder.path() / "keep.set";
    fs::path wavPath = folder.path() / "keep.wav";
    const Bytes oldBytes{'o', 'l', 'd', '\n'};

    VocoderCore core;
    NullCommandHost host;
    CommandDispatcher dispatcher{core, host};

    void SetUp() override {
        folder.write("keep.set", oldBytes);
        folder.write("keep.wav", oldBytes);
        // A state unlike the start, so that a partial file would differ from the old one.
        for (int s = 0; s < kSliderCount; ++s) core.controls.setSlider(s, 127 - s);
    }
    void makeFolderReadOnly() {
        using p = fs::perms;
        fs::permissions(folder.path(), p::owner_read | p::owner_exec | p::group_read | p::group_exec |
                                           p::others_read | p::others_exec);
    }
    // Only the two files the test made, with the old contents.
    void expectOnlyTheOldFiles() {
        EXPECT_EQ(readAll(settingsPath), oldBytes);
        EXPECT_EQ(readAll(wavPath), oldBytes);
        EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"keep.set", "keep.wav"}));
    }
    // Saves through the Save command's dialogs; returns the messages shown.
    std::vector<std::string> saveWav(const RecordBlockList& left, const RecordBlockList& right, SaveRate rate,
                                     bool expectSaved) {
        ScriptedDialogs dialogs;
        dialogs.rateAnswers = {rate};
        dialogs.saveAnswers = {wavPath};
        EXPECT_EQ(saveRecording(left, right, dialogs), expectSaved);
        return dialogs.messages;
    }
};

// ---- Settings and session files --------------------------------------------------------

TEST_F(SavingFails, ASettingsFileOnAFullDiskStaysAsItWasAndTheErrorSaysTheFileIsTooLarge) {
    std::string error;
    {
        FileSizeLimit full(100);
        EXPECT_FALSE(SaveSettings(core, settingsPath, &error));
    }
    EXPECT_EQ(error, "cannot write " + settingsPath.string() + ": File too large");
    expectOnlyTheOldFiles();
    // Room again: the same save goes through.
    EXPECT_TRUE(SaveSettings(core, settingsPath));
    EXPECT_EQ(readAll(settingsPath).size(), settingsText(core).size());
}

TEST_F(SavingFails, ASettingsFileInAReadOnlyFolderStaysAsItWasAndTheErrorNamesTheFolder) {
    makeFolderReadOnly();
    std::string error;
    {
        Unprivileged user;
        EXPECT_FALSE(SaveSettings(core, settingsPath, &error));
    }
    EXPECT_EQ(error, "cannot create a file in " + folder.path().string() + ": Permission denied");
    expectOnlyTheOldFiles();
}

TEST_F(SavingFails, TheSessionFileOnAFullDiskStaysAsItWas) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = config ? config : "";
    ::setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    const fs::path session = sessionFilePath();
    ASSERT_TRUE(SaveSettings(core, session));
    const Bytes before = readAll(session);
    dispatcher.dispatch(commandIdOfButton(buttonIndexOf(control::WideFilter)));
    std::string error;
    {
        FileSizeLimit full(0);
        EXPECT_FALSE(SaveSettings(core, session, &error));
    }
    EXPECT_EQ(error, "cannot write " + session.string() + ": File too large");
    EXPECT_EQ(readAll(session), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(session.parent_path()), fs::directory_iterator()), 1);
    if (config) {
        ::setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

// ---- WAV recordings --------------------------------------------------------------------

TEST_F(SavingFails, ARecordingLongerThanTheDiskHasRoomForCannotBeWrittenAndStaysForAnotherTry) {
    const RecordBlockList left = recording(300, 0.05), right = recording(300, 0.21);
    const std::vector<double> leftBefore = samplesOf(left), rightBefore = samplesOf(right);
    {
        FileSizeLimit full(16384);
        EXPECT_EQ(saveWav(left, right, SaveRate::Rate44100, false),
                  std::vector<std::string>{"Cannot write wave data!"});
    }
    expectOnlyTheOldFiles();
    EXPECT_EQ(samplesOf(left), leftBefore);
    EXPECT_EQ(samplesOf(right), rightBefore);

    // The same recording, saved again with room on the disk, is the whole file.
    EXPECT_EQ(saveWav(left, right, SaveRate::Rate44100, true), std::vector<std::string>{});
    EXPECT_EQ(fs::file_size(wavPath), 46u + 300u * 256 * 4);
}

TEST_F(SavingFails, ARecordingThatFitsInTheWriteBufferButNotOnTheDiskFailsWhenFlushed) {
    const RecordBlockList left = recording(4, 0.05), right = recording(4, 0.3);
    {
        FileSizeLimit full(100);
        EXPECT_EQ(saveWav(left, right, SaveRate::Rate11025, false),
                  std::vector<std::string>{"Unable to write data into file!"});
    }
    expectOnlyTheOldFiles();
}

TEST_F(SavingFails, ARecordingInAReadOnlyFolderCannotBeCreatedAndLeavesTheOldFile) {
    const RecordBlockList left = recording(4, 0.05), right = recording(4, 0.3);
    makeFolderReadOnly();
    std::vector<std::string> messages;
    {
        Unprivileged user;
        messages = saveWav(left, right, SaveRate::Rate22050, false);
    }
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot create file!"});
    expectOnlyTheOldFiles();
}

// ---- Streams ---------------------------------------------------------------------------

TEST_F(SavingFails, AFifoWhoseReaderGoesAwayReportsTheWriteFailureAndStaysAFifo) {
    // Far more than the FIFO holds, so the save is still writing when the reader leaves.
    const RecordBlockList left = recording(1000, 0.05), right = recording(1000, 0.21);
    const fs::path fifo = folder.path() / "live.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread reader([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
        char head[100];
        EXPECT_EQ(::read(fd, head, sizeof head), 100);
        ::close(fd);
    });
    PipeSignalIgnored quiet;
    ScriptedDialogs dialogs;
    dialogs.rateAnswers = {SaveRate::Rate44100};
    dialogs.saveAnswers = {fifo};
    EXPECT_FALSE(saveRecording(left, right, dialogs));
    reader.join();
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Cannot write wave data!"});
    EXPECT_TRUE(fs::is_fifo(fifo));
    fs::remove(fifo);
    expectOnlyTheOldFiles();
}

TEST_F(SavingFails, AFullDeviceReportsTheWriteFailureAndStaysADevice) {
    // Root makes a full device of its own (/dev/full's numbers), so that a save gone wrong
    // could only ever replace that one; anyone else uses /dev/full itself, which they cannot
    // replace.
    TempFolder devices;
    fs::path full = devices.path() / "full";
    if (::geteuid() != 0 || ::mknod(full.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0) full = "/dev/full";
    if (!isCharacterDevice(full) || ::access(full.c_str(), W_OK) != 0)
        GTEST_SKIP() << "no full device to write to here: neither one of our own nor a writable /dev/full";

    const RecordBlockList left = recording(300, 0.05), right = recording(300, 0.21);
    ScriptedDialogs dialogs;
    dialogs.rateAnswers = {SaveRate::Rate44100};
    dialogs.saveAnswers = {full};
    EXPECT_FALSE(saveRecording(left, right, dialogs));
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Cannot write wave data!"});
    std::string error;
    EXPECT_FALSE(SaveSettings(core, full, &error));
    EXPECT_EQ(error, "cannot write " + full.string() + ": No space left on device");
    EXPECT_TRUE(isCharacterDevice(full));
    if (full != "/dev/full") {
        EXPECT_EQ(namesIn(devices.path()), std::vector<std::string>{"full"});
    }
}

} // namespace
