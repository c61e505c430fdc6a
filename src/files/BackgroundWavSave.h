#pragma once

#include "engine/LanePath.h"
#include "engine/RecordBlock.h"
#include "files/RecordingEncoder.h"
#include "files/SaveRate.h"
#include "files/WavWriter.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

// A recording saved while it is being made: an offline render hands over each block as it
// is recorded, and a thread of this object's own converts and writes them on another core,
// so that the save costs next to nothing after the last block. The file is byte for byte
// the one saveRecording writes from the finished recording.
//
// The blocks are copied into a few pieces of this object's own, which the thread hands back
// once written, so the caller need not keep them: memory stays the same for a take of any
// length. When the thread falls behind (a slow reader at the other end of a pipe), add()
// waits for a piece to come back rather than hold more.
//
// Whenever this save cannot complete (the file cannot be made, a write fails, nothing was
// handed over) finish() says so and leaves no file behind; a caller that kept the
// recording can then save it the ordinary way, and failure() gives the message otherwise.
//
// Except into a stream (a FIFO, a device, standard output: see TemporaryFile), where the
// bytes go out as they are written: once start() has succeeded this is the only save there
// can be, and a failure is final. inPlace() tells such a save; failure() gives its message.
//
// Thread: owner (the producer: start, add, blocks, finish) and worker (the conversion and
// writing, on the object's own thread).
class BackgroundWavSave {
public:
    // Thread: owner.
    BackgroundWavSave(std::filesystem::path target, SaveRate rate, LanePath path = bestLanePath());
    // Stops the thread; a file not finished is removed.
    ~BackgroundWavSave();
    BackgroundWavSave(const BackgroundWavSave&) = delete;
    BackgroundWavSave& operator=(const BackgroundWavSave&) = delete;

    // Creates the temporary file and starts the thread; false when the file cannot be made.
    // `blocks`, when known, is how many blocks will be handed over: the header then states
    // the length from the start (a stream needs that; see WavWriter).
    bool start(std::optional<std::size_t> blocks = std::nullopt);
    // Before start(): a band added at the saved rate (the render's air band), read by the
    // worker; it must outlive the save.
    void setAir(AirTrack* air) { encoder_.setAir(air); }
    // The next recorded block of each channel (copied).
    void add(const std::array<double, BLOCK_SIZE>& left, const std::array<double, BLOCK_SIZE>& right);
    void add(const RecordBlock& left, const RecordBlock& right) { add(left.samples, right.samples); }
    // Blocks handed over so far.
    std::size_t blocks() const { return added_; }
    // Waits for the thread; true when the file is complete and in the target's place.
    bool finish();

    // Whether a write has failed already: a producer writing into a stream can stop.
    bool failed() const { return failed_.load(std::memory_order_acquire); }
    // The message of what failed (start(), a write or the completion in finish()); empty
    // when nothing did. Read it on the producer's thread after failed() or finish().
    std::string_view failure() const { return failure_; }
    // After start(): whether the bytes go straight into the target.
    bool inPlace() const { return inPlace_; }

    // Pieces of blocks in flight between the two threads at most.
    static constexpr std::size_t kPieces = 8;

private:
    // Made without clearing its blocks (make_unique_for_overwrite): only the `count` that
    // add() has written are read.
    struct Piece {
        RecordingEncoder::BlockSamples left[RecordingEncoder::kBlocksPerPiece];
        RecordingEncoder::BlockSamples right[RecordingEncoder::kBlocksPerPiece];
        std::size_t count = 0;
    };

    // Thread: owner.
    void hand(bool last);
    void stop();
    // Thread: worker.
    void run();

    std::filesystem::path target_;
    std::unique_ptr<WavWriter> writer_;
    RecordingEncoder encoder_;
    std::size_t added_ = 0;
    std::vector<std::unique_ptr<Piece>> pieces_;
    Piece* filling_ = nullptr; // the producer's, handed over when full

    std::mutex mutex_;
    std::condition_variable wake_;     // the thread's: a piece to write, or the end
    std::condition_variable returned_; // the producer's: a piece written
    std::deque<Piece*> pending_;       // guarded by mutex_
    std::vector<Piece*> spare_;        // guarded by mutex_
    bool ending_ = false;              // guarded by mutex_
    std::atomic<bool> failed_{false};
    std::string_view failure_;       // the thread's until failed_ is set or it is joined
    bool inPlace_ = false;
    std::thread thread_;
};
