#pragma once

#include "files/RiffChunk.h"
#include "files/RiffWriter.h"
#include "files/SaveRate.h"
#include "files/TemporaryFile.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

// A saved recording's WAV file (16-bit stereo PCM at a save rate) written through a
// temporary file beside the target, the data a piece at a time. Each step returns the
// message its failure shows, empty on success; after a failure the writer is finished with
// and the temporary file goes with it. The target changes only when commit() succeeds.
//
// Thread: owner. It may change hands (BackgroundWavSave begins it on the producer, writes
// on its worker and commits after joining it), but one thread at a time.
class WavWriter {
public:
    explicit WavWriter(SaveRate rate);
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // How many rate doublings the recording goes through for this rate.
    int doublings() const { return doublings_; }

    // Creates the temporary file and writes everything before the data.
    std::string_view begin(const std::filesystem::path& target);
    std::string_view write(std::span<const std::uint8_t> data);
    // Completes the chunks and puts the file in the target's place.
    std::string_view commit();

private:
    std::uint32_t sampleRate_;
    int doublings_;
    std::uint64_t writtenBack_ = 0; // where writing back to the disk was last started
    TemporaryFile file_;
    std::unique_ptr<RiffWriter> writer_;
    RiffChunk riff_, fmt_, data_;
};
