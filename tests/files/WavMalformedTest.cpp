#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using MalformedWav = WavTest;

const FileBlockList kOldFile(3);

// Reads bytes from memory into a slot that held an older file; returns the one message
// shown (or "" when there was none) and checks that a failure left the slot empty.
std::string failureOf(const Bytes& bytes) {
    ScriptedDialogs dialogs;
    FileBlockList slot = kOldFile;
    const bool read = readWavMemory(bytes, SourceChoice::Left, slot, dialogs);
    EXPECT_LE(dialogs.messages.size(), 1u);
    if (read) {
        EXPECT_TRUE(dialogs.messages.empty());
        return "";
    }
    EXPECT_TRUE(slot.empty());
    return dialogs.messages.empty() ? "(no message)" : dialogs.messages.front();
}

const Bytes kData = pcm16(std::vector<std::int16_t>(100, 1000));

TEST_F(MalformedWav, ADataChunkClaimingMoreThanTheFileHoldsFailsAndEmptiesTheSlot) {
    TempFolder folder;
    const auto path =
        folder.write("short.wav", riffWave({chunk("fmt ", formatRecord({})), chunk("data", kData, 100000)}));
    ScriptedDialogs dialogs;
    FileBlockList slot = kOldFile;
    EXPECT_FALSE(readWavFile(path, SourceChoice::Left, slot, dialogs));
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Failed to read data chunk!"});
    EXPECT_TRUE(slot.empty());
    EXPECT_EQ(failureOf(riffWave({chunk("fmt ", formatRecord({})), chunk("data", kData, 0xFFFFFFFFu)})),
              "Failed to read data chunk!");
}

TEST_F(MalformedWav, EachBrokenHeaderGetsItsOwnMessage) {
    EXPECT_EQ(failureOf(wavFile({.tag = 3, .bits = 32}, kData)), "UnSupported Wave Format!");
    EXPECT_EQ(failureOf(riffWave({chunk("fmt ", extensibleRecord({.bits = 32}, 3)), chunk("data", kData)})),
              "UnSupported Wave Format!");
    Bytes notRiff = wavFile({}, kData);
    notRiff[0] = 'X';
    EXPECT_EQ(failureOf(notRiff), "Bad Wave Format! Probably not a WAV file.");
    Bytes notWave = wavFile({}, kData);
    notWave[8] = 'A';
    EXPECT_EQ(failureOf(notWave), "Bad Wave Format! Probably not a WAV file.");
    EXPECT_EQ(failureOf(riffWave({chunk("data", kData)})), "Bad Riff Format!");
    EXPECT_EQ(failureOf(riffWave({chunk("fmt ", formatRecord({}, 14)), chunk("data", kData)})),
              "Bad PCM Format!");
    EXPECT_EQ(failureOf(riffWave({chunk("fmt ", formatRecord({}))})), "Bad Format in Wave file!");
    EXPECT_EQ(failureOf(wavFile({}, {})), "No wave data!");
    EXPECT_EQ(failureOf({}), "Cannot read file!");
    EXPECT_EQ(failureOf(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}), "Cannot read file!");
}

TEST_F(MalformedWav, FormatsWithoutAUsableFrameLayoutAreRefused) {
    EXPECT_EQ(failureOf(wavFile({.channels = 0}, kData)), "Bad PCM Format!");
    EXPECT_EQ(failureOf(wavFile({.blockAlign = 0}, kData)), "Bad PCM Format!");
    EXPECT_EQ(failureOf(wavFile({.channels = 2, .blockAlign = 3}, kData)), "Bad PCM Format!");
    EXPECT_EQ(failureOf(wavFile({.rate = 0}, kData)), "Bad PCM Format!");
    EXPECT_EQ(failureOf(wavFile({.bits = 0, .blockAlign = 2}, kData)), "UnSupported Wave Format!");
    EXPECT_EQ(failureOf(wavFile({.bits = 64}, kData)), "UnSupported Wave Format!");
    EXPECT_EQ(failureOf(wavFile({.rate = 10}, kData)), "UnSupported Wave Format!");
    EXPECT_EQ(failureOf(riffWave({chunk("fmt ", extensibleRecord({}, 1), 30), chunk("data", kData)})),
              "Bad PCM Format!");
}

TEST_F(MalformedWav, AbsurdChunkSizesEndTheSearchInsteadOfHanging) {
    // A format chunk claiming 4 GB hides everything after it.
    EXPECT_EQ(failureOf(riffWave({chunk("fmt ", formatRecord({}), 0xFFFFFFF0u), chunk("data", kData)})),
              "Bad Format in Wave file!");
    // A format chunk claiming 16 bytes where the file ends after 10.
    const Bytes whole = riffWave({chunk("fmt ", formatRecord({}))});
    const Bytes cut(whole.begin(), whole.end() - 6);
    EXPECT_EQ(failureOf(cut), "Bad PCM Format!");
    // A RIFF size of 4 holds only the form type.
    EXPECT_EQ(failureOf(riffWave({chunk("fmt ", formatRecord({})), chunk("data", kData)}, 4)),
              "Bad Riff Format!");
}

TEST_F(MalformedWav, EveryTruncationOfAValidFileEitherReadsOrFailsCleanly) {
    const Bytes whole = riffWave({chunk("LIST", Bytes(9, 'x')), chunk("fmt ", formatRecord({.channels = 2})),
                                  chunk("data", pcm16(std::vector<std::int16_t>(301, -5)))});
    int failures = 0;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const std::string message = failureOf(Bytes(whole.begin(), whole.begin() + length));
        failures += !message.empty();
        EXPECT_NE(message, "(no message)") << length;
    }
    EXPECT_EQ(failures, static_cast<int>(whole.size())); // the data chunk is whole only at full length
    EXPECT_EQ(failureOf(whole), "");
}

TEST_F(MalformedWav, RandomDamageToTheHeaderNeverCrashesNorGrowsBeyondTheData) {
    const Bytes whole = wavFile({.channels = 2, .rate = 22050}, pcm16(std::vector<std::int16_t>(512, 99)));
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        Bytes damaged = whole;
        for (int hits = 0; hits < 3; ++hits) damaged[random() % 44] = static_cast<std::uint8_t>(random());
        ScriptedDialogs dialogs;
        FileBlockList slot;
        const bool read = readWavMemory(damaged, SourceChoice::LeftPlusRight, slot, dialogs);
        EXPECT_EQ(read, dialogs.messages.empty());
        // Whatever the header claims, the blocks come from the bytes really there: at most
        // 256 samples per byte (the largest rate ratio), never a claimed size.
        EXPECT_LE(slot.size() * BLOCK_SIZE, whole.size() * 256 + 2 * BLOCK_SIZE);
    }
}

} // namespace
