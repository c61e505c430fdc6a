#pragma once

#include <cstdio>
#include <filesystem>

// A new file written next to its target and put in its place only when complete, so that a
// save that fails part-way, or a program killed in the middle of one, leaves an existing
// file as it was.
//
// Where the file system allows it the new file has no name at all until it is complete
// (O_TMPFILE): a killed program leaves nothing behind. Elsewhere, and for the moment between
// naming the complete file and renaming it over the target, the file is called
// ".<target name>.<process id>.<n>.tmp"; a later save of the same target removes such
// leftovers of processes that no longer run.
//
// A target that is a symbolic link stays one: the new file replaces the file at the end of
// the chain of links (and a link that points nowhere yet gets its file made there), so the
// user's links keep working and the files they point to change.
//
// Some targets are not files to replace but places to write into: a FIFO, a character
// device (a terminal, /dev/null, /dev/full) and this process's standard output, named by
// kStandardOutput. Those are written straight into, in order, with no temporary file and
// nothing renamed: the node stays what it was. Such a save cannot be undone part-way, and
// the stream cannot be sought back in (inPlace() says so).
//
// Thread: owner. One object per save, on one thread at a time; the file system is the only
// thing two saves share.
class TemporaryFile {
public:
    enum class CommitResult { Committed, WriteFailed, RenameFailed };

    // The name a save gives for this process's standard output, whatever that is: a pipe,
    // a terminal or a file the shell opened.
    static constexpr const char* kStandardOutput = "/dev/stdout";

    TemporaryFile() = default;
    // Removes the file unless it was committed.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates an empty file in the folder of the target (of the file a link leads to). When
    // that file exists, the new file takes its permissions, so replacing a file does not
    // change who may read it. A FIFO, a character device or kStandardOutput is opened for
    // writing instead; opening a FIFO waits for its reader, as a shell's redirection does,
    // unless the process said not to.
    bool create(const std::filesystem::path& target);

    // A program whose thread must not hang on a pipe nobody reads (the window) has a FIFO
    // without a reader fail at once (ENXIO) instead. Thread: window, before any save.
    static void setWaitForFifoReaders(bool wait) { waitForFifoReaders_ = wait; }
    std::FILE* stream() const { return stream_; }
    // Whether the writes go straight into the target rather than into a new file.
    bool inPlace() const { return inPlace_; }
    // What create() was last given, after the links it leads through (as far as they
    // could be followed): the file that is replaced.
    const std::filesystem::path& target() const { return target_; }

    // Writes out, syncs and closes the file, then renames it over the target. In place,
    // writes out what is buffered and closes the stream.
    CommitResult commit();

    // The system's error number of the last failure of create() or commit(), 0 if none.
    int error() const { return error_; }

private:
    bool openInPlace(const std::filesystem::path& target);
    bool adopt(int fd);
    bool openUnnamed(const std::filesystem::path& folder);
    bool openNamed(const std::filesystem::path& folder);
    bool nameUnnamed();
    bool fail();
    void discard();

    std::filesystem::path target_;
    std::filesystem::path path_; // the file's name while it has one
    std::FILE* stream_ = nullptr;
    bool inPlace_ = false;
    int error_ = 0;
    static inline bool waitForFifoReaders_ = true;
};
