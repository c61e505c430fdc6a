#include "files/BackgroundWavSave.h"

#include <algorithm>

BackgroundWavSave::BackgroundWavSave(std::filesystem::path target, SaveRate rate, LanePath path)
    : target_(std::move(target)), writer_(std::make_unique<WavWriter>(rate)),
      encoder_(writer_->doublings(), path) {
    batch_.reserve(RecordingEncoder::kBlocksPerPiece);
}

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
    thread_ = std::thread([this] { run(); });
    return true;
}

void BackgroundWavSave::add(const RecordBlock& left, const RecordBlock& right) {
    if (!thread_.joinable()) return;
    batch_.emplace_back(&left, &right);
    ++added_;
    if (batch_.size() == RecordingEncoder::kBlocksPerPiece) hand(false);
}

// Whole pieces wake the thread; the last piece may be short.
void BackgroundWavSave::hand(bool last) {
    {
        const std::lock_guard lock(mutex_);
        pending_.insert(pending_.end(), batch_.begin(), batch_.end());
        if (last) ending_ = true;
    }
    batch_.clear();
    wake_.notify_one();
}

void BackgroundWavSave::run() {
    std::vector<BlockPair> work;
    const RecordBlock* left[RecordingEncoder::kBlocksPerPiece];
    const RecordBlock* right[RecordingEncoder::kBlocksPerPiece];
    for (;;) {
        bool last;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !pending_.empty(); });
            work.swap(pending_);
            last = ending_ && pending_.empty();
        }
        // After a failure the rest is only taken off the queue: the file is not used.
        for (std::size_t done = 0; done < work.size() && !failed_.load(std::memory_order_relaxed);) {
            const std::size_t count = std::min(RecordingEncoder::kBlocksPerPiece, work.size() - done);
            for (std::size_t b = 0; b < count; ++b) {
                left[b] = work[done + b].first;
                right[b] = work[done + b].second;
            }
            if (const std::string_view failure = writer_->write(encoder_.encode(left, right, count));
                !failure.empty()) {
                failure_ = failure;
                failed_.store(true, std::memory_order_release);
            }
            done += count;
        }
        work.clear();
        if (last) return;
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
