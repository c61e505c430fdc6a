#pragma once

#include <cstdio>
#include <filesystem>

// A new file written next to its target and renamed over it only when complete, so that a
// save that fails part-way leaves an existing file as it was. Until committed, the file is
// removed when the object goes.
class TemporaryFile {
public:
    enum class CommitResult { Committed, WriteFailed, RenameFailed };

    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates an empty file in the target's folder. When the target exists, the new file
    // takes its permissions, so replacing a file does not change who may read it.
    bool create(const std::filesystem::path& target);
    std::FILE* stream() const { return stream_; }
    const std::filesystem::path& path() const { return path_; }

    // Writes out, syncs and closes the file, then renames it over the target.
    CommitResult commit();

private:
    void discard();

    std::filesystem::path target_;
    std::filesystem::path path_;
    std::FILE* stream_ = nullptr;
};
