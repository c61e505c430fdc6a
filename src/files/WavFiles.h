#pragma once

#include "engine/FileBlock.h"
#include "engine/RecordBlock.h"
#include "files/SourceChoice.h"
#include "files/WavDialogs.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

// Reading WAV files into the engine's blocks and saving the recording as a WAV file.
// Every failure is shown once through `dialogs.message` with the text the users know.
//
// Thread: owner (the core's). In the program that is the window, with the sound output
// paused around the call: the engine reads the slots and the recording on that same thread,
// between calls. The renderer calls them from its main thread.

// The mono samples of a file at its own rate, before any rate change.
struct NativeSamples {
    std::vector<std::int16_t> samples;
    std::uint32_t rate = 0;
};

// Converts the WAV file at `path` to mono 11025 Hz blocks. On success the slot holds the
// whole new file; on failure it is empty. `choice` selects what a file of two or more
// channels contributes; with None nothing is read and the slot is left as it is. With
// `native`, the same mono samples at the file's own rate are kept there too.
bool readWavFile(const std::filesystem::path& path, SourceChoice choice, FileBlockList& slot,
                 WavDialogs& dialogs, NativeSamples* native = nullptr);
// The same for a WAV file already in memory, through the same code as a file.
bool readWavMemory(std::span<const std::uint8_t> bytes, SourceChoice choice, FileBlockList& slot,
                   WavDialogs& dialogs);

// The Load command: asks for a carrier file, then for a modulator file, checking each and
// asking which source a file of several channels gives. A failure or Escape in a source
// dialog ends the command; None keeps what the slot had.
void loadWavFiles(FileBlockList& modulatorFile, FileBlockList& carrierFile, WavDialogs& dialogs);

// The same questions and reading, with the files handed back rather than put in place: a
// slot holds a value when the command replaces that file (empty after a failed read).
struct LoadedWavFiles {
    std::optional<FileBlockList> modulator;
    std::optional<FileBlockList> carrier;
};
LoadedWavFiles askForWavFiles(WavDialogs& dialogs);

// The Save command: asks for the rate and the file, then converts the recording (pairs of
// blocks up to the end of the shorter list) while it writes it. An existing file is replaced
// only by a complete new one. Returns whether a file was written. Does nothing when either
// list is empty; the recording itself is never changed.
bool saveRecording(const RecordBlockList& left, const RecordBlockList& right, WavDialogs& dialogs);
