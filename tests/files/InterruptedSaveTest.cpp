// A save killed at any moment leaves the complete old file or the complete new one, never a
// part of either, and nothing behind that stays: a child process saves a settings file and a
// WAV recording to the same two paths over and over, alternating between two versions, and
// is killed with SIGKILL after a random delay, hundreds of times.

#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "files/TemporaryFile.h"
#include "files/WavFiles.h"
#include "session/SettingsFile.h"
#include "WavTestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kKills = 300;

// Two recordings of different lengths, so that a file cut short or mixed from both can
// never pass for either.
RecordBlockList recording(int blocks, double frequency) {
    RecordBlockList list(static_cast<std::size_t>(blocks));
    for (int b = 0; b < blocks; ++b)
        for (int i = 0; i < BLOCK_SIZE; ++i)
            list[static_cast<std::size_t>(b)].samples[static_cast<std::size_t>(i)] =
                9000 * std::sin(frequency * (b * BLOCK_SIZE + i));
    return list;
}

struct Version {
    VocoderCore core;
    NullCommandHost host;
    CommandDispatcher dispatcher{core, host};
    RecordBlockList left, right;
    std::string settings;
    Bytes wav;
};

bool saveWav(const Version& v, const fs::path& path) {
    ScriptedDialogs dialogs;
    dialogs.rateAnswers = {SaveRate::Rate44100};
    dialogs.saveAnswers = {path};
    return saveRecording(v.left, v.right, dialogs);
}

std::string readText(const fs::path& path) {
    const Bytes bytes = readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

// ".<pid>.", the part of a temporary file's name that says which process made it. (Built
// piece by piece: GCC 12 warns wrongly about a chain of string additions.)
std::string temporaryNamePart(pid_t pid) {
    std::string part = ".";
    part += std::to_string(pid);
    part += '.';
    return part;
}

// The names in `folder` other than `keep`.
std::vector<std::string> othersIn(const fs::path& folder, const std::vector<std::string>& keep) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) names.push_back(name);
    }
    return names;
}

class InterruptedSave : public WavTest {
protected:
    void SetUp() override {
        versions[0].left = recording(40, 0.03);
        versions[0].right = recording(40, 0.05);
        versions[1].left = recording(70, 0.11);
        versions[1].right = recording(70, 0.02);
        versions[1].dispatcher.dispatch(commandIdOfButton(buttonIndexOf(control::WideFilter)));
        versions[1].dispatcher.dispatch(commandIdOfButton(buttonIndexOf(control::LevelBank + 1)));
        versions[1].dispatcher.dispatch(commandIdOfButton(buttonIndexOf(control::Randomize)));
        for (int s = 0; s < kSliderCount; ++s) versions[1].core.controls.setSlider(s, 3 * s + 1);
        for (Version& v : versions) {
            v.settings = settingsText(v.core);
            ASSERT_TRUE(saveWav(v, references.path() / "reference.wav"));
            v.wav = readAll(references.path() / "reference.wav");
        }
        ASSERT_NE(versions[0].settings, versions[1].settings);
        ASSERT_NE(versions[0].wav.size(), versions[1].wav.size());
    }

    // Saves both files alternately, the first version first, until killed.
    [[noreturn]] void saveForever() {
        for (int i = 0;; ++i) {
            const Version& v = versions[i % 2];
            SaveSettings(v.core, settingsPath);
            saveWav(v, wavPath);
        }
    }

    // Which version `contents` is: 0, 1, or -1 for neither.
    template <typename T, typename Member>
    int versionOf(const T& contents, Member member) const {
        for (int v = 0; v < 2; ++v)
            if (versions[v].*member == contents) return v;
        return -1;
    }

    TempFolder folder, references;
    std::array<Version, 2> versions;
    fs::path settingsPath = folder.path() / "state.set";
    fs::path wavPath = folder.path() / "take.wav";
};

TEST_F(InterruptedSave, AKilledSaveLeavesTheWholeOldOrTheWholeNewFileAndTheNextSaveClearsWhatItLeft) {
    // Both files start as the second version, so the child's first completed save shows.
    ASSERT_TRUE(SaveSettings(versions[1].core, settingsPath));
    ASSERT_TRUE(saveWav(versions[1], wavPath));
    const std::vector<std::string> targets{"state.set", "take.wav"};

    // From before the first save completes to well into the tenth, at the speed this machine
    // saves now (a loaded machine saves slower, and fixed delays would all fall in the first).
    const auto timed = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(SaveSettings(versions[i % 2].core, references.path() / "timed.set"));
        ASSERT_TRUE(saveWav(versions[i % 2], references.path() / "timed.wav"));
    }
    const auto round = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - timed) / 4;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMicroseconds(0, std::max(30000, int(10 * round.count())));
    std::array<int, 2> settingsSeen{}, wavSeen{};
    int leftovers = 0;
    std::vector<pid_t> killed;
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) saveForever();
        ::usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself";
        killed.push_back(child);

        const int settings = versionOf(readText(settingsPath), &Version::settings);
        const int wav = versionOf(readAll(wavPath), &Version::wav);
        ASSERT_NE(settings, -1) << "a partial settings file after kill " << kill;
        ASSERT_NE(wav, -1) << "a partial WAV file after kill " << kill;
        ++settingsSeen[static_cast<std::size_t>(settings)];
        ++wavSeen[static_cast<std::size_t>(wav)];
        // Only files that killed children had named and not yet renamed may remain (a child
        // killed before it began a save of its own has not cleared its predecessor's yet).
        for (const std::string& name : othersIn(folder.path(), targets)) {
            const bool fromKilled = std::any_of(killed.begin(), killed.end(), [&](pid_t pid) {
                return name.find(temporaryNamePart(pid)) != std::string::npos;
            });
            EXPECT_TRUE(fromKilled) << name << " is not a killed child's";
            ++leftovers;
        }
    }
    // The kills fell before, between and after completed saves of both versions.
    for (int v = 0; v < 2; ++v) {
        EXPECT_GT(settingsSeen[static_cast<std::size_t>(v)], kKills / 20) << "settings version " << v;
        EXPECT_GT(wavSeen[static_cast<std::size_t>(v)], kKills / 20) << "WAV version " << v;
    }
    RecordProperty("leftovers", leftovers);

    // One more save of each, and nothing but the two files is left.
    ASSERT_TRUE(SaveSettings(versions[0].core, settingsPath));
    ASSERT_TRUE(saveWav(versions[0], wavPath));
    EXPECT_EQ(othersIn(folder.path(), targets), std::vector<std::string>{});
    EXPECT_EQ(readText(settingsPath), versions[0].settings);
    EXPECT_EQ(readAll(wavPath), versions[0].wav);
}

// ---- Leftovers of earlier saves --------------------------------------------------------

// The id of a process that has ended (and been reaped), so no process has it for now.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

using Leftovers = InterruptedSave;

TEST_F(Leftovers, TheNextSaveRemovesWhatAnEndedSaverLeftOfTheSameFileAndNothingElse) {
    const pid_t ended = endedProcess();
    const std::string dead = ".state.set" + temporaryNamePart(ended) + "0.tmp";
    const std::string living = ".state.set" + temporaryNamePart(::getppid()) + "0.tmp";
    const std::string otherTarget = ".other.set" + temporaryNamePart(ended) + "0.tmp";
    const std::string notOurs = dead + ".bak";
    for (const std::string& name : {dead, living, otherTarget, notOurs})
        writeFile(folder.path() / name, "part");

    ASSERT_TRUE(SaveSettings(versions[1].core, settingsPath));
    EXPECT_FALSE(fs::exists(folder.path() / dead));
    for (const std::string& name : {living, otherTarget, notOurs})
        EXPECT_TRUE(fs::exists(folder.path() / name)) << name;
    EXPECT_EQ(readText(settingsPath), versions[1].settings);
}

TEST_F(Leftovers, AnUncommittedFileIsGoneWhenItsSaveIsAbandoned) {
    {
        TemporaryFile file;
        ASSERT_TRUE(file.create(settingsPath));
        std::fputs("half a file", file.stream());
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

} // namespace
