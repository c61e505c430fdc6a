#include "files/BackgroundWavSave.h"

BackgroundWavSave::BackgroundWavSave(std::filesystem::path target, SaveRate rate, LanePath path)
    : target_(std::move(target)), writer_(std::make_unique<WavWriter>(rate)),
      encoder_(writer_->doublings(), path) {}

BackgroundWavSave::~BackgroundWavSave() {
    stop();
}

bool BackgroundWavSave::start(std::optional<std::size_t> blocks) {
    if (thread_.joinable() || !writer_) return false;
    std::optional<std::uint64_t> frames;
    if (blocks) frames = static_cast<std::uint64_t>(*blocks) * static_cast<std::uint64_t>(encoder_.framesPerBlock());
    failure_ = writer_->begin(target_, frames);
    inPlace_ = writer_->inPlace();
    if (!failure_.empty()) {
        writer_.reset();
        return false;
    }
    // Made only once the file is: a save that cannot start costs nothing.
    for (std::size_t p = 0; p < kPieces; ++p) pieces_.push_back(std::make_unique_for_overwrite<Piece>());
    for (std::size_t p = 1; p < kPieces; ++p) spare_.push_back(pieces_[p].get());
    filling_ = pieces_[0].get();
    thread_ = std::thread([this] { run(); });
    return true;
}

void BackgroundWavSave::add(const std::array<double, BLOCK_SIZE>& left, const std::array<double, BLOCK_SIZE>& right) {
    if (!thread_.joinable()) return;
    Piece& piece = *filling_;
    piece.left[piece.count] = left;
    piece.right[piece.count] = right;
    ++added_;
    if (++piece.count == RecordingEncoder::kBlocksPerPiece) hand(false);
}

// Whole pieces wake the thread; the last piece may be short.
void BackgroundWavSave::hand(bool last) {
    std::unique_lock lock(mutex_);
    if (filling_->count > 0) pending_.push_back(filling_);
    if (last) {
        ending_ = true;
        filling_ = nullptr;
    } else {
        returned_.wait(lock, [this] { return !spare_.empty(); });
        filling_ = spare_.back();
        spare_.pop_back();
        filling_->count = 0;
    }
    lock.unlock();
    wake_.notify_one();
}

void BackgroundWavSave::run() {
    const RecordingEncoder::BlockSamples* left[RecordingEncoder::kBlocksPerPiece];
    const RecordingEncoder::BlockSamples* right[RecordingEncoder::kBlocksPerPiece];
    for (;;) {
        Piece* piece;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !pending_.empty(); });
            if (pending_.empty()) return;
            piece = pending_.front();
            pending_.pop_front();
        }
        // After a failure the rest is only taken off the queue: the file is not used.
        if (!failed_.load(std::memory_order_relaxed)) {
            for (std::size_t b = 0; b < piece->count; ++b) {
                left[b] = &piece->left[b];
                right[b] = &piece->right[b];
            }
            if (const std::string_view failure = writer_->write(encoder_.encode(left, right, piece->count));
                !failure.empty()) {
                failure_ = failure;
                failed_.store(true, std::memory_order_release);
            }
        }
        {
            const std::lock_guard lock(mutex_);
            spare_.push_back(piece);
        }
        returned_.notify_one();
    }
}

void BackgroundWavSave::stop() {
    if (!thread_.joinable()) return;
    hand(true);
    thread_.join();
}

bool BackgroundWavSave::finish() {
    if (!thread_.joinable()) return false;
    stop();
    bool complete = !failed_ && added_ > 0;
    if (complete) {
        failure_ = writer_->commit();
        complete = failure_.empty();
    }
    writer_.reset(); // an uncommitted temporary file goes with it
    return complete;
}
