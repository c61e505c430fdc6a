#include "files/BackgroundWavSave.h"
#include "FileSizeLimit.h"

#include "Unprivileged.h"
#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <iterator>
#include <limits>

namespace {

namespace fs = std::filesystem;

// Music-like blocks with overshoot beyond 16 bits and, near the end, an infinity.
RecordBlock block(std::size_t b, double frequency) {
    RecordBlock r;
    for (int i = 0; i < BLOCK_SIZE; ++i) {
        const double t = double(b * BLOCK_SIZE + std::size_t(i));
        r.samples[std::size_t(i)] = 30000.0 * std::sin(frequency * t) + 7000.0 * std::sin(0.9 * t) + 0.5;
    }
    return r;
}

std::size_t filesIn(const fs::path& folder) {
    return std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class BackgroundSave : public WavTest {
protected:
    TempFolder folder;
    fs::path target = folder.path() / "render.wav";

    // What the Save command writes from the finished lists.
    Bytes ordinarySave(const RecordBlockList& left, const RecordBlockList& right, SaveRate rate) {
        ScriptedDialogs dialogs;
        dialogs.rateAnswers = {rate};
        const fs::path path = folder.path() / "ordinary.wav";
        dialogs.saveAnswers = {path};
        EXPECT_TRUE(saveRecording(left, right, dialogs));
        return readAll(path);
    }
};

TEST_F(BackgroundSave, WritesWhileTheRecordingGrowsExactlyTheFileSaveWritesAfterwardsAtEveryRate) {
    for (const SaveRate rate : {SaveRate::Rate11025, SaveRate::Rate22050, SaveRate::Rate44100}) {
        SCOPED_TRACE(static_cast<int>(rate));
        // Uneven pieces, the lists growing at the back while the thread reads the blocks.
        const std::size_t blocks = 5 * RecordingEncoder::kBlocksPerPiece + 7;
        RecordBlockList left, right;
        BackgroundWavSave save(target, rate);
        ASSERT_TRUE(save.start());
        for (std::size_t b = 0; b < blocks; ++b) {
            left.push_back(block(b, 0.013));
            right.push_back(block(b, 0.21));
            if (b == blocks - 2) left.back().samples[5] = std::numeric_limits<double>::infinity();
            save.add(left.back(), right.back());
        }
        EXPECT_EQ(save.blocks(), blocks);
        ASSERT_TRUE(save.finish());
        EXPECT_EQ(readAll(target), ordinarySave(left, right, rate));
        EXPECT_EQ(filesIn(folder.path()), 2u); // no temporary file left
    }
}

TEST_F(BackgroundSave, EndingUnfinishedInAnyWayLeavesTheOldFileAndNothingElse) {
    const Bytes old{'o', 'l', 'd'};
    folder.write("render.wav", old);
    RecordBlockList left(40), right(40);

    // Nothing handed over: there is nothing to save.
    {
        BackgroundWavSave save(target, SaveRate::Rate44100);
        ASSERT_TRUE(save.start());
        EXPECT_FALSE(save.finish());
    }
    // Dropped before finishing (the render failed).
    {
        BackgroundWavSave save(target, SaveRate::Rate44100);
        ASSERT_TRUE(save.start());
        for (std::size_t b = 0; b < left.size(); ++b) save.add(left[b], right[b]);
    }
    // Added to without having started: nothing happens.
    {
        BackgroundWavSave save(target, SaveRate::Rate11025);
        save.add(left[0], right[0]);
        EXPECT_EQ(save.blocks(), 0u);
        EXPECT_FALSE(save.finish());
    }
    EXPECT_EQ(readAll(target), old);
    EXPECT_EQ(filesIn(folder.path()), 1u);
}

TEST_F(BackgroundSave, AFolderThatCannotBeWrittenRefusesToStart) {
    fs::permissions(folder.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    BackgroundWavSave save(target, SaveRate::Rate22050);
    {
        Unprivileged user;
        EXPECT_FALSE(save.start());
    }
    RecordBlockList left(3), right(3);
    save.add(left[0], right[0]);
    EXPECT_FALSE(save.finish());
    fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(filesIn(folder.path()), 0u);
}

TEST_F(BackgroundSave, AWriteFailingOnItsThreadEndsUnfinishedAndLeavesTheOldFile) {
    const Bytes old{'o', 'l', 'd'};
    folder.write("render.wav", old);
    RecordBlockList left, right;
    for (std::size_t b = 0; b < 300; ++b) {
        left.push_back(block(b, 0.02));
        right.push_back(block(b, 0.03));
    }
    bool complete = true;
    {
        FileSizeLimit full(8192); // the disk refuses the data after a few kilobytes
        BackgroundWavSave save(target, SaveRate::Rate44100);
        ASSERT_TRUE(save.start());
        for (std::size_t b = 0; b < left.size(); ++b) save.add(left[b], right[b]);
        complete = save.finish();
    }

    EXPECT_FALSE(complete);
    EXPECT_EQ(readAll(target), old);
    EXPECT_EQ(filesIn(folder.path()), 1u);
}

TEST_F(BackgroundSave, IntoAFifoTheHeaderStatesTheLengthWhenKnownAndOtherwiseThatItIsUnknown) {
    RecordBlockList left, right;
    for (std::size_t b = 0; b < 200; ++b) {
        left.push_back(block(b, 0.02));
        right.push_back(block(b, 0.03));
    }
    const Bytes file = ordinarySave(left, right, SaveRate::Rate22050);
    const fs::path fifo = folder.path() / "live.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Saves into the FIFO while `read` takes what comes out of it.
    auto stream = [&](std::optional<std::size_t> blocks, const std::function<void()>& read) {
        std::thread reader(read);
        BackgroundWavSave save(fifo, SaveRate::Rate22050);
        EXPECT_TRUE(save.start(blocks));
        EXPECT_TRUE(save.inPlace());
        for (std::size_t b = 0; b < left.size(); ++b) save.add(left[b], right[b]);
        EXPECT_TRUE(save.finish());
        reader.join();
    };
    Bytes known, unknown;
    stream(left.size(), [&] { known = readAll(fifo); });
    stream(std::nullopt, [&] { unknown = readAll(fifo); });
    EXPECT_EQ(known, file);
    Bytes placeholders = file;
    for (std::size_t at : {4, 42}) std::fill_n(placeholders.begin() + long(at), 4, 0xFF);
    EXPECT_EQ(unknown, placeholders);

    // sox takes the unknown length as "up to the end" (and warns that the end came early).
    std::string raw;
    stream(std::nullopt, [&] {
        if (std::FILE* sox = ::popen(("sox -t wav '" + fifo.string() + "' -t raw - 2>/dev/null").c_str(), "r")) {
            char buffer[4096];
            for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, sox)) > 0;) raw.append(buffer, got);
            ::pclose(sox);
        }
    });
    EXPECT_EQ(Bytes(raw.begin(), raw.end()), Bytes(file.begin() + 46, file.end()));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(filesIn(folder.path()), 2u);
}

} // namespace
