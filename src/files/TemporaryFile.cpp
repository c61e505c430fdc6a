#include "TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxAttempts = 100;

} // namespace

TemporaryFile::~TemporaryFile() {
    discard();
}

bool TemporaryFile::create(const std::filesystem::path& target) {
    discard();
    if (!target.has_filename()) return false;
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    // Hidden, and named after the target and this process, so a leftover is recognisable.
    std::string stem = ".";
    stem += target.filename().string();
    stem += '.';
    stem += std::to_string(::getpid());
    stem += '.';
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::string name = stem;
        name += std::to_string(attempt);
        name += ".tmp";
        const std::filesystem::path candidate = target.parent_path() / name;
        // 0666 lets the umask decide, as for any file the user creates.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (replacing && S_ISREG(existing.st_mode)) ::fchmod(fd, existing.st_mode & 07777);
        stream_ = ::fdopen(fd, "wb");
        if (stream_ == nullptr) {
            ::close(fd);
            ::unlink(candidate.c_str());
            return false;
        }
        target_ = target;
        path_ = candidate;
        return true;
    }
    return false;
}

TemporaryFile::CommitResult TemporaryFile::commit() {
    if (stream_ == nullptr) return CommitResult::WriteFailed;
    // Synced before the rename: after a crash the target is either the old file or the
    // whole new one, never a renamed file whose data never reached the disk.
    bool written = std::fflush(stream_) == 0;
    // A file system that cannot sync at all is no reason to refuse the save.
    if (written && ::fsync(::fileno(stream_)) != 0) written = errno == EINVAL || errno == ENOTSUP;
    written = (std::fclose(stream_) == 0) && written;
    stream_ = nullptr;
    if (!written) {
        discard();
        return CommitResult::WriteFailed;
    }
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
        discard();
        return CommitResult::RenameFailed;
    }
    path_.clear();
    return CommitResult::Committed;
}

void TemporaryFile::discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}
