#include "files/TemporaryFile.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxAttempts = 100;
// As many links as the kernel itself follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;
constexpr std::string_view kSuffix = ".tmp";

// ".<target name>.": what every temporary name of `target` starts with. (Appended piece by
// piece: GCC 12 warns wrongly about overlapping copies in a chain of string additions.)
std::string targetPrefix(const std::filesystem::path& target) {
    std::string prefix = ".";
    prefix += target.filename().string();
    prefix += '.';
    return prefix;
}

// ".<target name>.<pid>.": what every temporary name of `target` made by `pid` starts with.
std::string namePrefix(const std::filesystem::path& target, pid_t pid) {
    std::string prefix = targetPrefix(target);
    prefix += std::to_string(pid);
    prefix += '.';
    return prefix;
}

// Whether a process of that id may still be writing. A process we may not signal is alive
// as far as we know.
bool processRuns(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// The process id in a temporary name of `target`, or 0 when `name` is not one.
pid_t saverOf(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() + kSuffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return 0;
    const std::string_view rest = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    pid_t pid = 0;
    const auto [afterPid, pidError] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (pidError != std::errc() || pid <= 0 || afterPid == rest.data() + rest.size() || *afterPid != '.')
        return 0;
    unsigned attempt = 0;
    const auto [end, attemptError] = std::from_chars(afterPid + 1, rest.data() + rest.size(), attempt);
    if (attemptError != std::errc() || end != rest.data() + rest.size()) return 0;
    return pid;
}

// A save killed between naming its file and renaming it leaves the named file behind.
// Nothing else could ever remove it, so the next save of the same target does.
void removeLeftovers(const std::filesystem::path& folder, const std::filesystem::path& target) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const std::string prefix = targetPrefix(target);
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = saverOf(entry->d_name, prefix);
        if (pid != 0 && pid != ::getpid() && !processRuns(pid)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// The rename is durable only once the folder itself is on the disk.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::filesystem::path folderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

bool isStreamNode(mode_t mode) {
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

// Whether `target`, through any links, is a FIFO or a character device: something to write
// into, which a renamed file would only put out of reach of whoever reads it.
bool namesStreamNode(const std::filesystem::path& target) {
    struct stat info {};
    return ::stat(target.c_str(), &info) == 0 && isStreamNode(info.st_mode);
}

// The end of the chain of symbolic links that starts at `target` (`target` itself when it
// is no link): the file a save replaces. It need not exist. A relative link is read from
// the link's own folder, as the kernel reads it.
bool followLinks(std::filesystem::path& target, int& error) {
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        std::error_code failure;
        const std::filesystem::path next = std::filesystem::read_symlink(target, failure);
        if (failure) {
            error = failure.value();
            return false;
        }
        target = next.is_absolute() ? next : folderOf(target) / next;
    }
    error = ELOOP;
    return false;
}

} // namespace

TemporaryFile::~TemporaryFile() {
    discard();
}

bool TemporaryFile::create(const std::filesystem::path& requested) {
    discard();
    error_ = 0;
    inPlace_ = false;
    target_ = requested;
    if (!requested.has_filename()) {
        error_ = EISDIR;
        return false;
    }
    if (requested == kStandardOutput || namesStreamNode(requested)) {
        if (openInPlace(requested)) return true;
        // A node replaced by a file since it was looked at is saved as a file.
        if (error_ != 0) return false;
    }
    if (!followLinks(target_, error_)) return false;
    if (!target_.has_filename()) {
        error_ = EISDIR;
        return false;
    }
    const std::filesystem::path folder = folderOf(target_);
    removeLeftovers(folder, target_);
    int fd = -1;
    if (openUnnamed(folder)) {
        fd = ::fileno(stream_);
    } else if (error_ != 0 || !openNamed(folder)) {
        return false;
    } else {
        fd = ::fileno(stream_);
    }
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);
    return true;
}

// Leaves error_ at 0 when the target turns out not to be a stream after all.
bool TemporaryFile::openInPlace(const std::filesystem::path& target) {
    const bool standardOutput = target == kStandardOutput;
    // Standard output is written through a copy of the descriptor, so that closing the
    // stream leaves the process's own descriptor 1 as it was.
    const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | (waitForFifoReaders_ ? 0 : O_NONBLOCK);
    const int fd = standardOutput ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0) : ::open(target.c_str(), flags);
    if (fd < 0) return fail();
    // Only the opening was not to wait; the writes go at the reader's pace as usual.
    if (!waitForFifoReaders_ && !standardOutput) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat info {};
    if (!standardOutput && (::fstat(fd, &info) != 0 || !isStreamNode(info.st_mode))) {
        ::close(fd);
        return false;
    }
    if (!adopt(fd)) return false;
    inPlace_ = true;
    return true;
}

// Takes `fd` as the stream the save writes through; closes it when it cannot.
bool TemporaryFile::adopt(int fd) {
    stream_ = ::fdopen(fd, "wb");
    if (stream_ != nullptr) return true;
    error_ = errno;
    ::close(fd);
    return false;
}

// Leaves error_ at 0 when the file system cannot make unnamed files, so a named one is tried.
bool TemporaryFile::openUnnamed(const std::filesystem::path& folder) {
#ifdef O_TMPFILE
    // The file is named later through its /proc link; without /proc it could never be.
    if (::access("/proc/self/fd", X_OK) != 0) return false;
    // 0666 lets the umask decide, as for any file the user creates.
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) error_ = errno;
        return false;
    }
    return adopt(fd);
#else
    (void)folder;
    return false;
#endif
}

bool TemporaryFile::openNamed(const std::filesystem::path& folder) {
    const std::string prefix = namePrefix(target_, ::getpid());
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const std::filesystem::path candidate =
            folder / (prefix + std::to_string(attempt) + std::string(kSuffix));
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail();
        }
        if (!adopt(fd)) {
            ::unlink(candidate.c_str());
            return false;
        }
        path_ = candidate;
        return true;
    }
    error_ = EEXIST;
    return false;
}

// Gives the complete unnamed file a temporary name in the target's folder, from which it is
// renamed over the target: a link cannot replace an existing file.
bool TemporaryFile::nameUnnamed() {
    const std::string link = "/proc/self/fd/" + std::to_string(::fileno(stream_));
    const std::string prefix = namePrefix(target_, ::getpid());
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const std::filesystem::path candidate =
            folderOf(target_) / (prefix + std::to_string(attempt) + std::string(kSuffix));
        if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            path_ = candidate;
            return true;
        }
        if (errno != EEXIST) return fail();
    }
    error_ = EEXIST;
    return false;
}

TemporaryFile::CommitResult TemporaryFile::commit() {
    if (stream_ == nullptr) {
        if (error_ == 0) error_ = EBADF;
        return CommitResult::WriteFailed;
    }
    if (inPlace_) {
        // Nothing to sync or rename: a reader takes the bytes as they come.
        bool written = std::fflush(stream_) == 0 || fail();
        if (std::fclose(stream_) != 0 && written) written = fail();
        stream_ = nullptr;
        return written ? CommitResult::Committed : CommitResult::WriteFailed;
    }
    // Synced before the rename: after a crash the target is either the old file or the
    // whole new one, never a renamed file whose data never reached the disk.
    bool written = std::fflush(stream_) == 0 || fail();
    // A file system that cannot sync at all is no reason to refuse the save.
    if (written && ::fsync(::fileno(stream_)) != 0 && errno != EINVAL && errno != ENOTSUP) written = fail();
    if (written && path_.empty() && !nameUnnamed()) {
        discard();
        return CommitResult::RenameFailed;
    }
    if (std::fclose(stream_) != 0 && written) written = fail();
    stream_ = nullptr;
    if (!written) {
        discard();
        return CommitResult::WriteFailed;
    }
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
        fail();
        discard();
        return CommitResult::RenameFailed;
    }
    path_.clear();
    syncFolder(folderOf(target_));
    return CommitResult::Committed;
}

bool TemporaryFile::fail() {
    error_ = errno;
    return false;
}

void TemporaryFile::discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}
