#pragma once

#include "files/ByteSource.h"

#include <cstdio>
#include <filesystem>

// A regular file read through a small stdio buffer, so that a long WAV is streamed rather
// than loaded: only the converted blocks are ever held in memory.
class FileByteSource : public ByteSource {
public:
    FileByteSource() = default;
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    // Fails for anything but an existing, readable regular file: a FIFO or a device picked
    // in a file dialog would block the window or never end.
    bool open(const std::filesystem::path& path);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    std::size_t read(void* into, std::size_t size) override;
    bool seek(std::uint64_t position) override;
    std::uint64_t position() const override { return position_; }
    std::uint64_t size() const override { return size_; }

private:
    std::FILE* file_ = nullptr;
    std::uint64_t position_ = 0;
    std::uint64_t size_ = 0;
};
