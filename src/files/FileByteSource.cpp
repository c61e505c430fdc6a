#include "files/FileByteSource.h"

#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

FileByteSource::~FileByteSource() {
    close();
}

bool FileByteSource::open(const std::filesystem::path& path) {
    close();
    // Non-blocking only for the open itself: opening a FIFO for reading would otherwise
    // wait for a writer before the type check below could refuse it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    file_ = ::fdopen(fd, "rb");
    if (file_ == nullptr) {
        ::close(fd);
        return false;
    }
    position_ = 0;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
}

void FileByteSource::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    position_ = 0;
    size_ = 0;
}

std::size_t FileByteSource::read(void* into, std::size_t size) {
    if (file_ == nullptr || size == 0) return 0;
    const std::size_t got = std::fread(into, 1, size, file_);
    position_ += got;
    return got;
}

bool FileByteSource::seek(std::uint64_t position) {
    if (file_ == nullptr || position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return false;
    if (::fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) return false;
    position_ = position;
    return true;
}
