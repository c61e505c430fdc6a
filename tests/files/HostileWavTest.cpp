// Every file of a corpus of damaged, lying and unusual WAV files (made at build time by
// hostile_wavs.py, with a manifest of what each must give) is read as the Load command reads
// it: the outcome is the manifest's, its message is shown once, a failure leaves the slot
// empty and a success fills it completely, and reading allocates no more than a small
// multiple of what the file holds, whatever its headers claim.

#include "AllocationCounter.h"
#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = QUORVEL_HOSTILE_WAVS;

struct CorpusFile {
    std::string name;
    SourceChoice choice = SourceChoice::Left;
    std::optional<std::size_t> blocks; // set when the file loads
    std::string message;               // set when it does not
    std::string sameAs;                // a file of the same sound, when there is one
};

// Failures name the file, not the bytes of the record.
void PrintTo(const CorpusFile& f, std::ostream* out) {
    *out << f.name;
}

std::vector<CorpusFile> readManifest() {
    std::vector<CorpusFile> files;
    std::ifstream in(kCorpus / "manifest.tsv");
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() < 3) continue;
        CorpusFile f;
        f.name = fields[0];
        f.choice = static_cast<SourceChoice>(std::stoi(fields[1]));
        const std::string& outcome = fields[2];
        if (outcome.rfind("loads ", 0) == 0) f.blocks = std::stoul(outcome.substr(6));
        if (outcome.rfind("message ", 0) == 0) f.message = outcome.substr(8);
        if (fields.size() > 3) f.sameAs = fields[3];
        files.push_back(f);
    }
    return files;
}

const std::vector<CorpusFile>& manifest() {
    static const std::vector<CorpusFile> files = readManifest();
    return files;
}

// Whatever a slot held before: a failed read must not leave it there, a good one replaces it.
FileBlockList oldFile() {
    FileBlockList old(3);
    for (FileBlock& b : old) b.samples.fill(4321);
    return old;
}

struct Reading {
    bool read = false;
    FileBlockList slot;
    std::vector<std::string> messages;
    std::uint64_t allocated = 0;
};

Reading readFromDisk(const CorpusFile& f) {
    Reading r;
    r.slot = oldFile();
    ScriptedDialogs dialogs;
    AllocationCounter::start();
    r.read = readWavFile(kCorpus / f.name, f.choice, r.slot, dialogs);
    r.allocated = AllocationCounter::stop();
    r.messages = dialogs.messages;
    return r;
}

// What reading may allocate whatever the file: the stdio buffer, the decoder and, for rates
// the half-band filters do not serve, the sinc converter's state (some 450 kB).
constexpr std::uint64_t kFixedAllowance = 1u << 20;
// Blocks hold 16-bit samples, so 8-bit data doubles, and the rates the corpus converts
// lengthen it by at most 11025/8000; anything beyond would be memory a header talked the
// reader into.
constexpr std::uint64_t kSizeMultiple = 4;

class HostileWav : public WavTest, public ::testing::WithParamInterface<CorpusFile> {};

TEST_P(HostileWav, GivesExactlyTheOutcomeItsManifestNamesWithItsMessageShownOnce) {
    const CorpusFile& f = GetParam();
    const Reading r = readFromDisk(f);
    if (f.blocks) {
        EXPECT_TRUE(r.read);
        EXPECT_TRUE(r.messages.empty()) << r.messages.front();
        EXPECT_EQ(r.slot.size(), *f.blocks);
    } else {
        EXPECT_FALSE(r.read);
        EXPECT_EQ(r.messages, std::vector<std::string>{f.message});
        EXPECT_TRUE(r.slot.empty());
    }
}

// The files that hold the same sound as another file of the corpus.
std::vector<CorpusFile> filesOfAKnownSound() {
    std::vector<CorpusFile> files;
    std::copy_if(manifest().begin(), manifest().end(), std::back_inserter(files),
                 [](const CorpusFile& f) { return !f.sameAs.empty(); });
    return files;
}

class HostileWavOfAKnownSound : public HostileWav {};

TEST_P(HostileWavOfAKnownSound, LoadsTheVeryBlocksOfTheOtherFile) {
    const CorpusFile& f = GetParam();
    const auto other = std::find_if(manifest().begin(), manifest().end(),
                                    [&](const CorpusFile& c) { return c.name == f.sameAs; });
    ASSERT_NE(other, manifest().end());
    const Reading mine = readFromDisk(f);
    const Reading theirs = readFromDisk(*other);
    ASSERT_TRUE(mine.read && theirs.read);
    EXPECT_EQ(samplesOf(mine.slot), samplesOf(theirs.slot));
}

TEST_P(HostileWav, ReadsFromMemoryExactlyAsFromDisk) {
    const CorpusFile& f = GetParam();
    const Reading disk = readFromDisk(f);
    const Bytes bytes = readAll(kCorpus / f.name);
    FileBlockList slot = oldFile();
    ScriptedDialogs dialogs;
    EXPECT_EQ(readWavMemory(bytes, f.choice, slot, dialogs), disk.read);
    EXPECT_EQ(dialogs.messages, disk.messages);
    EXPECT_EQ(samplesOf(slot), samplesOf(disk.slot));
}

TEST_P(HostileWav, AllocatesNoMoreThanASmallMultipleOfItsSize) {
    const CorpusFile& f = GetParam();
    const std::uint64_t size = fs::file_size(kCorpus / f.name);
    const Reading r = readFromDisk(f);
    RecordProperty("bytes", std::to_string(size));
    RecordProperty("allocated", std::to_string(r.allocated));
    EXPECT_LE(r.allocated, kSizeMultiple * size + kFixedAllowance) << "file of " << size << " bytes";
}

std::string testName(const ::testing::TestParamInfo<CorpusFile>& info) {
    std::string name = fs::path(info.param.name).stem().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileWav, ::testing::ValuesIn(manifest()), testName);
INSTANTIATE_TEST_SUITE_P(Corpus, HostileWavOfAKnownSound, ::testing::ValuesIn(filesOfAKnownSound()),
                         testName);

TEST(HostileWavCorpus, TheManifestListsEveryFileOfTheCorpusAndEveryFileItListsIsThere) {
    std::set<std::string> listed, present;
    for (const CorpusFile& f : manifest()) EXPECT_TRUE(listed.insert(f.name).second) << f.name << " twice";
    for (const auto& entry : fs::directory_iterator(kCorpus))
        if (entry.path().extension() == ".wav") present.insert(entry.path().filename().string());
    EXPECT_EQ(listed, present);
    EXPECT_GE(listed.size(), 60u);
}

TEST(HostileWavCorpus, ReadingWhileCountingSeesTheBlocksItMakes) {
    // The counter must really see the reader's allocations, or the bound above proves nothing.
    const auto plain = std::find_if(manifest().begin(), manifest().end(),
                                    [](const CorpusFile& f) { return f.name == "plain.wav"; });
    ASSERT_NE(plain, manifest().end());
    const Reading r = readFromDisk(*plain);
    ASSERT_TRUE(r.read);
    EXPECT_GE(r.allocated, r.slot.size() * sizeof(FileBlock));
}

} // namespace
