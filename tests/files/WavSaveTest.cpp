#include "dsp/BiquadCascade.h"
#include "FileSizeLimit.h"
#include "engine/FilterCoefficients.h"
#include "files/RecordingEncoder.h"
#include "files/WavFiles.h"
#include "files/WavWriter.h"
#include "WavTestSupport.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kSaveQuestion = "save: wav Vocoder WAV Files (*.wav)|*.wav|All Files (*.*)|*.*||";

// A recording with fractions and negative values, so truncation toward zero shows.
RecordBlockList recording(int blocks, double frequency, double level) {
    RecordBlockList list(blocks);
    for (int b = 0; b < blocks; ++b)
        for (int i = 0; i < BLOCK_SIZE; ++i)
            list[b].samples[i] = level * std::sin(frequency * (b * BLOCK_SIZE + i)) + 0.75;
    return list;
}

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t u16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint64_t u64(const Bytes& b, std::size_t at) {
    return u32(b, at) | std::uint64_t{u32(b, at + 4)} << 32;
}
std::string id(const Bytes& b, std::size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

// What a command prints on its standard output.
std::string outputOf(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// One channel of a recording at 11025 Hz doubled `doublings` times over the whole stream.
std::vector<std::int16_t> upsampledReference(const RecordBlockList& channel, int doublings) {
    std::vector<double> x;
    for (const RecordBlock& b : channel) x.insert(x.end(), b.samples.begin(), b.samples.end());
    for (int d = 0; d < doublings; ++d) {
        std::vector<double> stuffed;
        for (double v : x) stuffed.insert(stuffed.end(), {v * 2, 0.0});
        BiquadCascade filter;
        filter.init(coefficients::kHalfBandLowpass.data(), 5);
        filter.process(stuffed.data(), static_cast<int>(stuffed.size()));
        x = stuffed;
    }
    std::vector<std::int16_t> out;
    for (double v : x) out.push_back(truncatedClipped(v));
    return out;
}

class SaveCommand : public WavTest {
protected:
    TempFolder folder;
    ScriptedDialogs dialogs;
    fs::path target = folder.path() / "out.wav";
    RecordBlockList left = recording(6, 0.05, 12000);
    RecordBlockList right = recording(6, 0.31, -20000);

    // Saves at `rate`, checks the header and returns the data as 16-bit values.
    std::vector<std::int16_t> saveAndReadBack(SaveRate rate, std::uint32_t sampleRate) {
        dialogs.rateAnswers = {rate};
        dialogs.saveAnswers = {target};
        EXPECT_TRUE(saveRecording(left, right, dialogs));
        EXPECT_EQ(dialogs.asked, (std::vector<std::string>{"rate", kSaveQuestion}));
        const Bytes file = readAll(target);
        EXPECT_GE(file.size(), 46u);
        if (file.size() < 46) return {};
        EXPECT_EQ(id(file, 0), "RIFF");
        EXPECT_EQ(u32(file, 4), file.size() - 8);
        EXPECT_EQ(id(file, 8), "WAVE");
        EXPECT_EQ(id(file, 12), "fmt ");
        EXPECT_EQ(u32(file, 16), 18u);
        EXPECT_EQ(u16(file, 20), 1);              // PCM
        EXPECT_EQ(u16(file, 22), 2);              // channels
        EXPECT_EQ(u32(file, 24), sampleRate);     // frames per second
        EXPECT_EQ(u32(file, 28), sampleRate * 4); // bytes per second
        EXPECT_EQ(u16(file, 32), 4);              // block align
        EXPECT_EQ(u16(file, 34), 16);             // bits per sample
        EXPECT_EQ(u16(file, 36), 0);              // extra format bytes
        EXPECT_EQ(id(file, 38), "data");
        EXPECT_EQ(u32(file, 42), file.size() - 46);
        std::vector<std::int16_t> data;
        for (std::size_t at = 46; at + 1 < file.size(); at += 2)
            data.push_back(static_cast<std::int16_t>(u16(file, at)));
        return data;
    }

    std::vector<std::int16_t> interleaved(int doublings) {
        return interleave(upsampledReference(left, doublings), upsampledReference(right, doublings));
    }

    // Saves through the Save command to `path`; returns the messages shown.
    std::vector<std::string> saveTo(const fs::path& path, SaveRate rate = SaveRate::Rate22050) {
        ScriptedDialogs d;
        d.rateAnswers = {rate};
        d.saveAnswers = {path};
        const bool saved = saveRecording(left, right, d);
        EXPECT_EQ(saved, d.messages.empty());
        return d.messages;
    }
    // The file an ordinary save of the recording makes, in a folder of its own.
    Bytes ordinaryFile(SaveRate rate = SaveRate::Rate22050) {
        TempFolder elsewhere;
        EXPECT_EQ(saveTo(elsewhere.path() / "plain.wav", rate), std::vector<std::string>{});
        return readAll(elsewhere.path() / "plain.wav");
    }
};

TEST_F(SaveCommand, At11kHzTheDataIsTheRecordingTruncatedTowardZero) {
    const std::vector<std::int16_t> data = saveAndReadBack(SaveRate::Rate11025, 11025);
    EXPECT_EQ(data.size(), 6u * BLOCK_SIZE * 2);
    std::vector<std::int16_t> expected;
    for (int b = 0; b < 6; ++b)
        for (int i = 0; i < BLOCK_SIZE; ++i)
            expected.insert(expected.end(), {static_cast<std::int16_t>(std::trunc(left[b].samples[i])),
                                             static_cast<std::int16_t>(std::trunc(right[b].samples[i]))});
    EXPECT_EQ(data, expected);
}

TEST_F(SaveCommand, At22kHzEachChannelIsUpsampledOnce) {
    const std::vector<std::int16_t> data = saveAndReadBack(SaveRate::Rate22050, 22050);
    EXPECT_EQ(data.size(), 6u * 128 * 2);
    EXPECT_EQ(data, interleaved(1));
}

TEST_F(SaveCommand, At44kHzEachChannelIsUpsampledTwiceAndOvershootIsClipped) {
    // Full-scale square waves make the image filter overshoot.
    for (auto* list : {&left, &right})
        for (std::size_t b = 0; b < list->size(); ++b)
            for (int i = 0; i < BLOCK_SIZE; ++i)
                (*list)[b].samples[i] = ((b * BLOCK_SIZE + i) / 37) % 2 ? -32000 : 32000;
    const std::vector<std::int16_t> data = saveAndReadBack(SaveRate::Rate44100, 44100);
    EXPECT_EQ(data.size(), 6u * 256 * 2);
    EXPECT_EQ(data, interleaved(2));
    EXPECT_EQ(*std::max_element(data.begin(), data.end()), 32767);
}

TEST_F(SaveCommand, ListsOfDifferentLengthsAreSavedUpToTheShorter) {
    right.resize(4);
    const std::vector<std::int16_t> data = saveAndReadBack(SaveRate::Rate11025, 11025);
    EXPECT_EQ(data.size(), 4u * BLOCK_SIZE * 2);
}

TEST_F(SaveCommand, CancellingTheRateDialogAsksNothingMoreAndWritesNothing) {
    dialogs.rateAnswers = {std::nullopt};
    EXPECT_FALSE(saveRecording(left, right, dialogs));
    EXPECT_EQ(dialogs.asked, std::vector<std::string>{"rate"});
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST_F(SaveCommand, CancellingTheFileDialogWritesNothing) {
    dialogs.rateAnswers = {SaveRate::Rate44100};
    dialogs.saveAnswers = {std::nullopt};
    EXPECT_FALSE(saveRecording(left, right, dialogs));
    EXPECT_EQ(dialogs.asked, (std::vector<std::string>{"rate", kSaveQuestion}));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST_F(SaveCommand, AnEmptyRecordingAsksNothing) {
    EXPECT_FALSE(saveRecording(RecordBlockList{}, right, dialogs));
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(SaveCommand, ReplacingAFileKeepsItsPermissionsAndLeavesNoTemporaryFile) {
    folder.write("out.wav", Bytes{'o', 'l', 'd'});
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    saveAndReadBack(SaveRate::Rate11025, 11025);
    EXPECT_EQ(readAll(target).size(), 46u + 6 * BLOCK_SIZE * 4);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

// Runs as an unprivileged user while alive: permission bits do not bind root.
class Unprivileged {
public:
    Unprivileged() : wasRoot_(::geteuid() == 0) {
        if (wasRoot_) {
            EXPECT_EQ(::seteuid(65534), 0);
        }
    }
    ~Unprivileged() {
        if (wasRoot_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }

private:
    bool wasRoot_;
};

TEST_F(SaveCommand, AFolderThatCannotBeWrittenShowsItsMessageAndLeavesTheOldFile) {
    const Bytes old{'o', 'l', 'd'};
    folder.write("out.wav", old);
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
    dialogs.rateAnswers = {SaveRate::Rate22050};
    dialogs.saveAnswers = {target};
    {
        Unprivileged user;
        EXPECT_FALSE(saveRecording(left, right, dialogs));
    }
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Cannot create file!"});
    EXPECT_EQ(readAll(target), old);
}

TEST_F(SaveCommand, AWriteFailingHalfWayRemovesTheTemporaryFileAndLeavesTheOldOne) {
    const Bytes old{'o', 'l', 'd'};
    folder.write("out.wav", old);
    left = recording(200, 0.05, 1000);
    right = recording(200, 0.07, 1000);
    dialogs.rateAnswers = {SaveRate::Rate44100};
    dialogs.saveAnswers = {target};

    bool saved_ok = true;
    {
        FileSizeLimit full(8192); // the disk refuses the data after a few kilobytes
        saved_ok = saveRecording(left, right, dialogs);
    }

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Cannot write wave data!"});
    EXPECT_EQ(readAll(target), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

// ---- What is at the path ---------------------------------------------------------------

TEST_F(SaveCommand, ThroughSymbolicLinksTheFileAtTheEndIsReplacedAndEveryLinkStays) {
    const Bytes expected = ordinaryFile();
    const fs::path takes = folder.path() / "takes";
    fs::create_directories(takes / "old");
    const fs::path first = folder.write("takes/old/first.wav", Bytes{'o', 'l', 'd'});
    fs::permissions(first, fs::perms::owner_read | fs::perms::owner_write);
    // out.wav -> first.wav; chain.wav -> takes/hop.wav -> old/first.wav (read from takes/,
    // as the kernel reads a relative link); new.wav -> a file not made yet.
    fs::create_symlink("takes/old/first.wav", target);
    fs::create_symlink("takes/hop.wav", folder.path() / "chain.wav");
    fs::create_symlink("old/first.wav", takes / "hop.wav");
    fs::create_symlink(takes / "new-take.wav", folder.path() / "new.wav");

    for (const char* link : {"out.wav", "chain.wav"}) {
        SCOPED_TRACE(link);
        fs::resize_file(first, 0);
        EXPECT_EQ(saveTo(folder.path() / link), std::vector<std::string>{});
        EXPECT_TRUE(fs::is_symlink(folder.path() / link));
        EXPECT_EQ(readAll(first), expected);
    }
    EXPECT_EQ(fs::status(first).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(saveTo(folder.path() / "new.wav"), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_symlink(folder.path() / "new.wav"));
    EXPECT_EQ(readAll(takes / "new-take.wav"), expected);

    EXPECT_TRUE(fs::is_symlink(takes / "hop.wav"));
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"chain.wav", "new.wav", "out.wav", "takes"}));
    EXPECT_EQ(namesIn(takes), (std::vector<std::string>{"hop.wav", "new-take.wav", "old"}));
    EXPECT_EQ(namesIn(takes / "old"), std::vector<std::string>{"first.wav"});
}

TEST_F(SaveCommand, ALinkIntoAMissingFolderOrInACircleCannotBeCreatedAndStaysAsItWas) {
    fs::create_symlink("no/such/folder/take.wav", target);
    fs::create_symlink("round.wav", folder.path() / "about.wav");
    fs::create_symlink("about.wav", folder.path() / "round.wav");
    for (const char* link : {"out.wav", "about.wav"}) {
        SCOPED_TRACE(link);
        EXPECT_EQ(saveTo(folder.path() / link), std::vector<std::string>{"Cannot create file!"});
        EXPECT_TRUE(fs::is_symlink(folder.path() / link));
    }
    EXPECT_EQ(fs::read_symlink(target), "no/such/folder/take.wav");
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"about.wav", "out.wav", "round.wav"}));
}

TEST_F(SaveCommand, AFifoIsWrittenIntoInOrderAndStaysAFifo) {
    left = recording(300, 0.05, 12000); // more than the FIFO holds, so the reader has to keep up
    right = recording(300, 0.31, -20000);
    const Bytes expected = ordinaryFile(SaveRate::Rate44100);
    ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
    Bytes received;
    std::thread reader([&] { received = readAll(target); });
    EXPECT_EQ(saveTo(target, SaveRate::Rate44100), std::vector<std::string>{});
    reader.join();
    // The header was written first, with the take's length: the very bytes of a file.
    EXPECT_EQ(received, expected);
    EXPECT_TRUE(fs::is_fifo(target));
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"out.wav"});
}

TEST_F(SaveCommand, ATakeTooLongForRiffIsWrittenAsRf64WhichSoxAndTheReaderReadBack) {
    left = recording(40, 0.05, 12000);
    right = recording(40, 0.31, -20000);
    const Bytes riff = ordinaryFile();
    const fs::path plain = folder.write("plain.wav", riff);
    const std::uint64_t frames = 40 * 128, dataBytes = frames * 4;
    ASSERT_EQ(riff.size(), 46 + dataBytes);
    // The same take with the largest RIFF file set at its size, just below it, and below it
    // with a longer take announced than is written.
    auto writeWithLimit = [&](std::uint64_t limit, const fs::path& path, std::uint64_t announced) {
        WavWriter writer(SaveRate::Rate22050, limit);
        RecordingEncoder pieces(left, right, writer.doublings());
        std::string failure(writer.begin(path, announced));
        for (auto piece = pieces.next(); failure.empty() && !piece.empty(); piece = pieces.next())
            failure = writer.write(piece);
        if (failure.empty()) failure = writer.commit();
        EXPECT_EQ(failure, "");
        return writer.isRf64();
    };
    const fs::path atLimit = folder.path() / "at-limit.wav", rf64 = folder.path() / "rf64.wav",
                   announcedLonger = folder.path() / "announced-longer.wav";
    EXPECT_FALSE(writeWithLimit(riff.size(), atLimit, frames));
    EXPECT_EQ(readAll(atLimit), riff);
    EXPECT_TRUE(writeWithLimit(riff.size() - 1, rf64, frames));
    EXPECT_TRUE(writeWithLimit(riff.size() - 1, announcedLonger, frames + 128));

    const Bytes file = readAll(rf64);
    ASSERT_EQ(file.size(), riff.size() + 36);
    EXPECT_EQ(id(file, 0), "RF64");
    EXPECT_EQ(u32(file, 4), 0xFFFFFFFFu);
    EXPECT_EQ(id(file, 8), "WAVE");
    EXPECT_EQ(id(file, 12), "ds64");
    EXPECT_EQ(u32(file, 16), 28u);
    EXPECT_EQ(u64(file, 20), file.size() - 8); // riffSize
    EXPECT_EQ(u64(file, 28), dataBytes);       // dataSize
    EXPECT_EQ(u64(file, 36), frames);          // sampleCount
    EXPECT_EQ(u32(file, 44), 0u);              // no table of other sizes
    EXPECT_EQ(Bytes(file.begin() + 48, file.begin() + 74), Bytes(riff.begin() + 12, riff.begin() + 38));
    EXPECT_EQ(id(file, 74), "data");
    EXPECT_EQ(u32(file, 78), 0xFFFFFFFFu);
    EXPECT_EQ(Bytes(file.begin() + 82, file.end()), Bytes(riff.begin() + 46, riff.end()));
    // The announced length that did not come is corrected in ds64.
    EXPECT_EQ(readAll(announcedLonger), file);

    EXPECT_EQ(outputOf("soxi -s '" + rf64.string() + "'"), std::to_string(frames) + "\n");
    EXPECT_EQ(outputOf("soxi -r '" + rf64.string() + "'"), "22050\n");
    const std::string raw = outputOf("sox '" + rf64.string() + "' -t raw -");
    EXPECT_EQ(Bytes(raw.begin(), raw.end()), Bytes(riff.begin() + 46, riff.end()));
    ScriptedDialogs readBack;
    FileBlockList fromRf64, fromRiff;
    EXPECT_TRUE(readWavFile(rf64, SourceChoice::Left, fromRf64, readBack));
    EXPECT_TRUE(readWavFile(plain, SourceChoice::Left, fromRiff, readBack));
    EXPECT_EQ(readBack.messages, std::vector<std::string>{});
    EXPECT_EQ(fromRf64.size(), 40u);
    EXPECT_EQ(samplesOf(fromRf64), samplesOf(fromRiff));
}

} // namespace
