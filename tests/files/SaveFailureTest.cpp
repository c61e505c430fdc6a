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
#include <gtest/gtest.h>

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

std::vector<double> samplesOf(const RecordBlockList& list) {
    std::vector<double> out;
    for (const RecordBlock& b : list) out.insert(out.end(), b.samples.begin(), b.samples.end());
    return out;
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
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"keep.set", "keep.wav"}));
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

} // namespace
