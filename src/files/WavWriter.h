#pragma once

#include "files/RiffChunk.h"
#include "files/RiffWriter.h"
#include "files/SaveRate.h"
#include "files/TemporaryFile.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

// A saved recording's WAV file (16-bit stereo PCM at a save rate) written through a
// temporary file beside the target, the data a piece at a time. Each step returns the
// message its failure shows, empty on success; after a failure the writer is finished with
// and the temporary file goes with it. The target changes only when commit() succeeds.
//
// A FIFO, a device or standard output is written straight into (see TemporaryFile), and
// what has gone out there stays out. Such a stream cannot be gone back to, so its header
// is final from the start: it states the sizes of the take when begin() is told its
// length, and otherwise the sizes a stream of unknown length conventionally states
// (0xFFFFFFFF, which sox, ffmpeg and aplay read as "up to the end"; this program's own reader
// does not, and nothing of its own writes such a header without a length).
//
// A take whose file would be larger than RIFF can describe is written as RF64 (EBU Tech
// 3306): the form 'RF64', a 'ds64' chunk right after the form type with the 64-bit sizes,
// and 0xFFFFFFFF in the 32-bit fields. That takes knowing the length before the data, so
// only a take whose length begin() is told becomes RF64; every other file is plain RIFF,
// byte for byte as the program has always written it.
//
// Thread: owner. It may change hands (BackgroundWavSave begins it on the producer, writes
// on its worker and commits after joining it), but one thread at a time.
class WavWriter {
public:
    // `riffLimit` is the largest file written as plain RIFF; only a test sets it lower,
    // to see an RF64 file without writing four gigabytes.
    explicit WavWriter(SaveRate rate, std::uint64_t riffLimit = RiffWriter::kMaxFileSize);
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // How many rate doublings the recording goes through for this rate.
    int doublings() const { return doublings_; }

    // Creates the temporary file and writes everything before the data. `frames`, when
    // known, is how many stereo frames the data will hold.
    std::string_view begin(const std::filesystem::path& target, std::optional<std::uint64_t> frames = std::nullopt);
    std::string_view write(std::span<const std::uint8_t> data);
    // Completes the chunks and puts the file in the target's place.
    std::string_view commit();

    // After begin(): whether the bytes go straight into the target, and whether the file
    // is RF64.
    bool inPlace() const { return file_.inPlace(); }
    bool isRf64() const { return rf64_; }

private:
    std::string_view beginRf64();
    std::string_view completeRf64(std::uint64_t dataBytes);
    bool padData(std::uint64_t dataBytes);

    std::uint32_t sampleRate_;
    int doublings_;
    std::uint64_t riffLimit_;
    std::optional<std::uint64_t> declaredBytes_; // the data's length as the header states it
    bool rf64_ = false;
    std::uint64_t writtenBack_ = 0; // where writing back to the disk was last started
    TemporaryFile file_;
    std::unique_ptr<RiffWriter> writer_;
    RiffChunk riff_, ds64_, fmt_, data_;
};
