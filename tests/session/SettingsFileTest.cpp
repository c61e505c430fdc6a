#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "session/SettingsFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Limits the size of files this process writes while it lives; writing past it fails with
// EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

struct Panel {
    VocoderCore core;
    NullCommandHost host;
    CommandDispatcher dispatcher{core, host};
    void press(ControlId id) { dispatcher.dispatch(commandIdOf(id)); }
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("quorvel-settings-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }
    fs::path folder;
};

// A state far from the start values: every kind of item changed.
void playAround(Panel& p) {
    for (int i = 0; i < kSliderCount; ++i) p.core.controls.setSlider(i, (i * 37 + 5) % 128);
    p.press(control::Eq);
    p.press(control::Enhance);
    p.press(control::Yodel);
    p.press(control::WideFilter);
    p.press(control::Chorus2Carrier);
    p.press(control::InputLR + 2);
    p.press(control::ShiftFirst + 4);
    p.press(control::SlaveMove);
    p.press(control::InvertSpectrum);
    p.press(control::SwapSpectrum);
    for (ControlId bank = control::LevelBank; bank <= control::WarpBank; ++bank) {
        p.press(bank);
        p.press(control::Randomize);
    }
    p.press(control::LevelBank + 1); // Pan current when saved
    p.core.midiSlots[3] = MidiAssignment{48, 7};
    p.core.midiSlots[19] = MidiAssignment{6, 121};
    p.core.midiInChannel = 5;
    p.core.midiOutChannel = 2;
}

TEST_F(SettingsFiles, ACompleteFileHas267LinesInSixSections) {
    Panel p;
    const std::vector<std::string> lines = linesOf(settingsText(p.core));
    ASSERT_EQ(lines.size(), 267u);
    EXPECT_EQ(lines[0], "0 64");   // channel slider 1
    EXPECT_EQ(lines[18], "18 32"); // CGain
    EXPECT_EQ(lines[24], "24 8");  // Width
    EXPECT_EQ(lines[25], "0 0");   // REC, the first latched button
    EXPECT_EQ(lines[26], "3 0");   // PCar: Play and Save are push buttons and get no line
    EXPECT_EQ(lines[66], "0 0");   // channel map entry 0
    EXPECT_EQ(lines[84], "0.000200");   // Level, channel 1
    EXPECT_EQ(lines[89], "0.500000");   // ETime, channel 1
    EXPECT_EQ(lines[246], "-1 64");     // MIDI slot 0, unassigned
    EXPECT_EQ(lines[266], "0 -1");      // MIDI channels
}

TEST_F(SettingsFiles, SavingAndLoadingReproducesTheWholePlayingState) {
    Panel saved;
    playAround(saved);
    const fs::path path = folder / "state.set";
    ASSERT_TRUE(SaveSettings(saved.core, path));

    Panel loaded;
    ASSERT_TRUE(LoadSettings(loaded.core, loaded.dispatcher, path));
    for (int i = 0; i < kSliderCount; ++i) EXPECT_EQ(loaded.core.controls.slider(i), saved.core.controls.slider(i)) << i;
    for (int b = 0; b < kButtonCount; ++b)
        if (!saved.core.controls.isPush(b)) {
            EXPECT_EQ(loaded.core.controls.lit(b), saved.core.controls.lit(b)) << b;
        }
    EXPECT_EQ(loaded.core.channelMap, saved.core.channelMap);
    for (int b = 0; b < kBankCount; ++b) EXPECT_EQ(loaded.core.banks[b].value, saved.core.banks[b].value) << b;
    EXPECT_EQ(loaded.core.state.currentBank, BankId::Pan);
    EXPECT_EQ(loaded.core.filterBank.width(), FilterWidth::Wide);
    EXPECT_EQ(loaded.core.midiSlots[3].control, 48);
    EXPECT_EQ(loaded.core.midiSlots[19].controller, 121);
    EXPECT_EQ(loaded.core.midiInChannel, 5);
    EXPECT_EQ(loaded.core.midiOutChannel, 2);
    // Engine flags follow the lamps.
    EXPECT_TRUE(loaded.core.state.eqOn);
    EXPECT_TRUE(loaded.core.state.enhanceOn);
    EXPECT_FALSE(loaded.core.state.slaveMoveOn);
    EXPECT_EQ(loaded.core.state.inputMode, 2);
    EXPECT_EQ(loaded.core.state.shiftSteps, -2);
    EXPECT_TRUE(loaded.core.state.carrierChorus);
    EXPECT_FALSE(loaded.core.state.chorusFirst);
    // Saving the loaded state writes the same file again.
    EXPECT_EQ(settingsText(loaded.core), settingsText(saved.core));
}

TEST_F(SettingsFiles, EveryPositionOfEveryBankSurvivesASaveAndALoad) {
    for (int b = 0; b < kBankCount; ++b) {
        Panel saved;
        saved.press(control::LevelBank + b);
        for (int start = 0; start < 128; start += kChannels) {
            std::array<int, kChannels> positions{};
            for (int k = 0; k < kChannels; ++k) positions[k] = std::min(127, start + k);
            for (int k = 0; k < kChannels; ++k)
                saved.core.currentBank().value[k] = saved.core.currentBank().valueAtPosition(positions[k]);
            Panel loaded;
            loadSettingsText(loaded.core, loaded.dispatcher, settingsText(saved.core));
            for (int k = 0; k < kChannels; ++k) {
                ASSERT_EQ(loaded.core.controls.channelSlider(k), positions[k]) << "bank " << b << " channel " << k;
                ASSERT_EQ(loaded.core.banks[b].value[k], saved.core.currentBank().value[k]);
            }
        }
    }
}

TEST_F(SettingsFiles, FilesWithSixDecimalsStillLoadAndTinyLevelsComeBackAsZero) {
    Panel p;
    std::string text = settingsText(p.core);
    std::vector<std::string> lines = linesOf(text);
    lines[84] = "0.000000"; // Level, channel 1, as an old file wrote 2e-9
    lines[85] = "-0.503937"; // Pan, channel 1
    std::string edited;
    for (const std::string& l : lines) edited += l + "\r\n"; // and with CR LF endings
    loadSettingsText(p.core, p.dispatcher, edited);
    EXPECT_EQ(p.core.banks[0].value[0], 0.0);
    EXPECT_EQ(p.core.banks[1].value[0], -0.503937);
}

TEST_F(SettingsFiles, AFileThatEndsAfterTheSlidersChangesNothingElse) {
    Panel saved;
    playAround(saved);
    std::vector<std::string> lines = linesOf(settingsText(saved.core));
    std::string sliders;
    for (int i = 0; i < 25; ++i) sliders += lines[i] + "\n";

    Panel p;
    const ControlState before = p.core.state;
    const auto map = p.core.channelMap;
    const auto level = p.core.banks[0].value;
    loadSettingsText(p.core, p.dispatcher, sliders);
    for (int i = 0; i < kSliderCount; ++i) EXPECT_EQ(p.core.controls.slider(i), saved.core.controls.slider(i));
    ControlState after = p.core.state;
    after.slidersDirty = before.slidersDirty;
    EXPECT_EQ(after, before);
    EXPECT_EQ(p.core.channelMap, map);
    EXPECT_EQ(p.core.banks[0].value, level);
}

TEST_F(SettingsFiles, WithBothNarrowAndWideLitTheLaterLineWins) {
    Panel p;
    std::vector<std::string> lines = linesOf(settingsText(p.core));
    // Latched buttons start at line 25; Nrrw is button 27, Norm 32, Wide 37.
    auto lineOfButton = [&](int button) {
        for (int i = 25; i < 66; ++i)
            if (lines[i].rfind(std::to_string(button) + " ", 0) == 0) return i;
        return -1;
    };
    lines[lineOfButton(27)] = "27 1";
    lines[lineOfButton(32)] = "32 0";
    lines[lineOfButton(37)] = "37 1";
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    loadSettingsText(p.core, p.dispatcher, text);
    EXPECT_TRUE(p.core.controls.litControl(control::WideFilter));
    EXPECT_FALSE(p.core.controls.litControl(control::NarrowFilter));
    EXPECT_FALSE(p.core.controls.litControl(control::NormalFilter));
    EXPECT_EQ(p.core.filterBank.width(), FilterWidth::Wide);
    EXPECT_TRUE(p.core.state.wideFilter);
    EXPECT_FALSE(p.core.state.narrowFilter);
}

TEST_F(SettingsFiles, AToggleStoredDarkSwitchesItsEngineFlagOffToo) {
    Panel p;
    p.press(control::Eq);
    ASSERT_TRUE(p.core.state.eqOn);
    Panel fresh;
    loadSettingsText(p.core, p.dispatcher, settingsText(fresh.core));
    EXPECT_FALSE(p.core.controls.litControl(control::Eq));
    EXPECT_FALSE(p.core.state.eqOn); // the lamp never lies about the sound
}

TEST_F(SettingsFiles, LoadingASoundNeverThrowsAwayARecordedTake) {
    Panel p;
    p.press(control::Rec); // records...
    p.core.recording->left.emplace_back();
    p.core.recording->right.emplace_back();
    p.press(control::Rec); // ...and stops
    ASSERT_TRUE(p.core.recording);
    Panel recording;
    recording.press(control::Rec);
    loadSettingsText(p.core, p.dispatcher, settingsText(recording.core));
    ASSERT_TRUE(p.core.recording);
    EXPECT_EQ(p.core.recording->left.size(), 1u);
}

TEST_F(SettingsFiles, DamagedLinesLeaveTheirItemsAsTheyWere) {
    Panel p;
    std::vector<std::string> lines = linesOf(settingsText(p.core));
    lines[18] = "18 x";                     // unparsable slider line
    lines[19] = "99 5";                     // slider index out of range
    lines[22] = "22 -40";                   // clamped by the slider
    lines[23] = "23 99999999999999999999";  // does not fit an int
    lines[66] = "0 17";                     // a valid routing entry
    lines[67] = "1 18";                     // a source outside 0..17
    lines[84] = "nan";                      // never reaches a filter
    lines[85] = "inf";
    lines[86] = "1e39";                     // Dist: kept within 0..0.99
    lines[87] = std::string(1 << 20, '7'); // a one-megabyte line is one line
    std::string text = "\xEF\xBB\xBF";     // a byte-order mark
    for (const std::string& l : lines) text += l + "\r";
    loadSettingsText(p.core, p.dispatcher, text);
    EXPECT_EQ(p.core.controls.slider(18), 32);
    EXPECT_EQ(p.core.controls.slider(19), 32);
    EXPECT_EQ(p.core.controls.slider(22), 0);
    EXPECT_EQ(p.core.controls.slider(23), 32);
    EXPECT_EQ(p.core.channelMap[0], 17);
    EXPECT_EQ(p.core.channelMap[1], 1);
    EXPECT_EQ(p.core.banks[0].value[0], 0.0002);
    EXPECT_EQ(p.core.banks[1].value[0], 0.0);
    EXPECT_EQ(p.core.banks[2].value[0], 0.99);
    EXPECT_EQ(p.core.banks[3].value[0], 1.0);  // 777... clamped to the Delay bank's top
    EXPECT_EQ(p.core.banks[4].value[0], 0.0);  // the line after the long one is read as itself
    EXPECT_EQ(p.core.midiInChannel, 0);
    EXPECT_EQ(p.core.midiOutChannel, -1);
}

TEST_F(SettingsFiles, NumbersAreWrittenAndReadTheSameInAnyLocale) {
    Panel p;
    playAround(p);
    const std::string inC = settingsText(p.core);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no locale with a decimal comma here";
    const std::string inGerman = settingsText(p.core);
    Panel loaded;
    loadSettingsText(loaded.core, loaded.dispatcher, inC);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(inGerman, inC);
    EXPECT_EQ(inC.find(','), std::string::npos);
    for (int b = 0; b < kBankCount; ++b) EXPECT_EQ(loaded.core.banks[b].value, p.core.banks[b].value);
}

TEST_F(SettingsFiles, AFailedSaveLeavesTheOldFileAsItWasAndSaysWhy) {
    Panel p;
    const fs::path path = folder / "keep.set";
    ASSERT_TRUE(SaveSettings(p.core, path));
    const std::string before = settingsText(p.core);
    playAround(p);
    {
        // A disk that fills up after 100 bytes, even for root.
        FileSizeLimit full(100);
        std::string error;
        EXPECT_FALSE(SaveSettings(p.core, path, &error));
        EXPECT_FALSE(error.empty());
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    EXPECT_EQ(contents.str(), before);
    for (const auto& entry : fs::directory_iterator(folder)) EXPECT_EQ(entry.path(), path); // no leftovers

    std::string error;
    EXPECT_FALSE(SaveSettings(p.core, path / "not-a-folder.set", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SettingsFiles, SavesThroughSymbolicLinksWriteTheFileTheyLeadToAndKeepTheLinks) {
    Panel p;
    playAround(p);
    const std::string text = settingsText(p.core);
    auto contents = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    };
    // The session as many keep it: the configuration folder's file a link into a folder of
    // kept files, through a second link.
    fs::create_directories(folder / "dotfiles" / "quorvel");
    std::ofstream(folder / "dotfiles" / "quorvel" / "session.set") << "old";
    fs::create_directory_symlink("dotfiles/quorvel", folder / "kept");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = old ? old : "";
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    fs::create_directories(folder / "config" / "quorvel");
    fs::create_symlink("../../kept/session.set", sessionFilePath());
    EXPECT_TRUE(SaveSettings(p.core, sessionFilePath()));
    EXPECT_TRUE(fs::is_symlink(sessionFilePath()));
    EXPECT_EQ(contents(folder / "dotfiles" / "quorvel" / "session.set"), text);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "dotfiles" / "quorvel"), fs::directory_iterator()), 1);
    if (old) {
        setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }

    // A settings file not made yet is made where its link points; one into a folder that
    // does not exist names that folder.
    fs::create_symlink(folder / "presets" / "robot.set", folder / "robot.set");
    std::string error;
    EXPECT_FALSE(SaveSettings(p.core, folder / "robot.set", &error));
    EXPECT_EQ(error, "cannot create a file in " + (folder / "presets").string() + ": No such file or directory");
    fs::create_directory(folder / "presets");
    EXPECT_TRUE(SaveSettings(p.core, folder / "robot.set"));
    EXPECT_TRUE(fs::is_symlink(folder / "robot.set"));
    EXPECT_EQ(contents(folder / "presets" / "robot.set"), text);
}

TEST_F(SettingsFiles, TheSessionLivesInTheUsersConfigurationFolder) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = old ? old : "";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    EXPECT_EQ(sessionFilePath(), folder / "quorvel" / "session.set");
    Panel p;
    EXPECT_TRUE(SaveSettings(p.core, sessionFilePath())); // the folder is made when needed
    EXPECT_TRUE(fs::exists(folder / "quorvel" / "session.set"));
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(sessionFilePath(), fs::path("/home/someone/.config/quorvel/session.set"));
    if (old) setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
}

} // namespace
