#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <gtest/gtest.h>

namespace {

const std::string kCarrierOpen = "open: CARRIER WAV Files (*.wav)|*.wav|All Files (*.*)|*.*||";
const std::string kModulatorOpen = "open: MODULATOR WAV Files (*.wav)|*.wav|All Files (*.*)|*.*||";
const std::string kCarrierSource = "source: Select the Carrier Source";
const std::string kModulatorSource = "source: Select the Modulator Source";

class LoadCommand : public WavTest {
protected:
    TempFolder folder;
    ScriptedDialogs dialogs;
    FileBlockList modulator = FileBlockList(5);
    FileBlockList carrier = FileBlockList(7);
    const std::vector<std::int16_t> leftSignal = testSignal(64, 500, 11025);
    const std::vector<std::int16_t> rightSignal = testSignal(64, 1500, 11025);

    std::filesystem::path mono = folder.write("mono.wav", wavFile({}, pcm16(leftSignal)));
    std::filesystem::path stereo =
        folder.write("stereo.wav", wavFile({.channels = 2}, pcm16(interleave(leftSignal, rightSignal))));
    std::filesystem::path missing = folder.path() / "missing.wav";

    void load() { loadWavFiles(modulator, carrier, dialogs); }
};

TEST_F(LoadCommand, AsksForTheCarrierFirstThenTheModulatorWithoutSourceDialogsForMonoFiles) {
    dialogs.openAnswers = {stereo, mono};
    dialogs.sourceAnswers = {SourceChoice::Right};
    load();
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{kCarrierOpen, kCarrierSource, kModulatorOpen}));
    // Whoever answers without a user goes by the slot, never by the wording.
    EXPECT_EQ(dialogs.slots, (std::vector<WavSlot>{WavSlot::Carrier, WavSlot::Carrier, WavSlot::Modulator}));
    EXPECT_EQ(samplesOf(carrier), rightSignal);
    EXPECT_EQ(samplesOf(modulator), leftSignal);
}

TEST_F(LoadCommand, AStereoModulatorAsksWithTheModulatorTitle) {
    dialogs.openAnswers = {std::nullopt, stereo};
    dialogs.sourceAnswers = {SourceChoice::Left};
    load();
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{kCarrierOpen, kModulatorOpen, kModulatorSource}));
    EXPECT_EQ(dialogs.slots, (std::vector<WavSlot>{WavSlot::Carrier, WavSlot::Modulator, WavSlot::Modulator}));
    EXPECT_EQ(carrier.size(), 7u);
    EXPECT_EQ(samplesOf(modulator), leftSignal);
}

TEST_F(LoadCommand, AFileOfFourChannelsAsksForItsSourceLikeAStereoFile) {
    const auto quad =
        folder.write("quad.wav", wavFile({.channels = 4}, pcm16(std::vector<std::int16_t>(256, 40))));
    dialogs.openAnswers = {quad, std::nullopt};
    dialogs.sourceAnswers = {SourceChoice::LeftPlusRight};
    load();
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{kCarrierOpen, kCarrierSource, kModulatorOpen}));
    EXPECT_EQ(samplesOf(carrier), std::vector<std::int16_t>(64, 40));
}

TEST_F(LoadCommand, EscapeInTheSourceDialogEndsTheCommandLeavingTheSlot) {
    dialogs.openAnswers = {stereo};
    dialogs.sourceAnswers = {std::nullopt};
    load();
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{kCarrierOpen, kCarrierSource}));
    EXPECT_EQ(carrier.size(), 7u);
}

TEST_F(LoadCommand, SourceNoneKeepsThePreviousFileAndGoesOnToTheModulator) {
    dialogs.openAnswers = {stereo, stereo};
    dialogs.sourceAnswers = {SourceChoice::None, SourceChoice::None};
    load();
    EXPECT_EQ(dialogs.asked,
              (std::vector<std::string>{kCarrierOpen, kCarrierSource, kModulatorOpen, kModulatorSource}));
    EXPECT_EQ(carrier.size(), 7u);
    EXPECT_EQ(modulator.size(), 5u);
}

TEST_F(LoadCommand, AMissingCarrierCannotBeReadAndEndsTheCommand) {
    dialogs.openAnswers = {missing};
    load();
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{kCarrierOpen, "message: Cannot read file!"}));
    EXPECT_EQ(carrier.size(), 7u);
}

TEST_F(LoadCommand, AMissingModulatorCannotBeOpened) {
    dialogs.openAnswers = {std::nullopt, missing};
    load();
    EXPECT_EQ(dialogs.asked,
              (std::vector<std::string>{kCarrierOpen, kModulatorOpen, "message: Cannot open file!"}));
    EXPECT_EQ(modulator.size(), 5u);
}

TEST_F(LoadCommand, ACarrierThatIsNoWavFileIsRefusedBeforeAnyQuestionAndEndsTheCommand) {
    dialogs.openAnswers = {
        folder.write("text.wav", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'})};
    load();
    EXPECT_EQ(dialogs.asked,
              (std::vector<std::string>{kCarrierOpen, "message: Bad Wave Format! Probably not a WAV file."}));
    EXPECT_EQ(carrier.size(), 7u);
}

TEST_F(LoadCommand, ACarrierWhoseDataCannotBeReadIsEmptiedAndEndsTheCommand) {
    const Bytes cut = riffWave({chunk("fmt ", formatRecord({})), chunk("data", pcm16({1, 2, 3}), 1000)});
    dialogs.openAnswers = {folder.write("cut.wav", cut)};
    load();
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{kCarrierOpen, "message: Failed to read data chunk!"}));
    EXPECT_TRUE(carrier.empty());
    EXPECT_EQ(modulator.size(), 5u);
}

} // namespace
