#include "files/FileByteSource.h"
#include "files/MemoryByteSource.h"
#include "files/RiffReader.h"
#include "files/WavDecoder.h"
#include "files/WavFiles.h"
#include "files/WavHeader.h"
#include "files/WavTexts.h"

#include <algorithm>
#include <array>
#include <new>
#include <string_view>

namespace {

// Reads the whole file into `blocks`; returns the failure message, empty on success.
std::string_view convertWav(ByteSource& source, SourceChoice choice, FileBlockList& blocks,
                            NativeSamples* native = nullptr) {
    RiffReader reader(source);
    WavHeader header;
    if (const std::string_view failure = checkWavHeader(reader, header); !failure.empty()) return failure;

    RiffChunk data;
    if (!reader.findChunk(data, kDataId, header.riff)) return wavTexts::kNoDataChunk;
    data.size = header.dataSize(data);
    if (data.size == 0) return wavTexts::kNoWaveData;

    // The claimed size only bounds the loop. Room is made for the bytes that really are in
    // the source, so a size beyond the end of the file costs nothing before the short read
    // ends it.
    WavDecoder decoder(header.format, choice);
    if (native) {
        native->rate = header.format.sampleRate;
        decoder.keepNativeSamples(&native->samples);
    }
    const std::uint64_t present = source.size() > data.dataOffset ? source.size() - data.dataOffset : 0;
    decoder.reserveFor(std::min<std::uint64_t>(data.size, present));
    std::array<std::uint8_t, WavDecoder::kMaxPieceBytes> piece;
    std::uint64_t remaining = data.size;
    while (remaining > 0) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, decoder.pieceBytes()));
        if (reader.read(data, piece.data(), wanted) != wanted) return wavTexts::kDataReadFailed;
        decoder.addPiece(piece.data(), wanted);
        remaining -= wanted;
    }
    if (!decoder.finish(blocks)) return wavTexts::kDataReadFailed;
    return {};
}

bool readWav(ByteSource& source, SourceChoice choice, FileBlockList& slot, WavDialogs& dialogs,
             NativeSamples* native = nullptr) {
    FileBlockList blocks;
    std::string_view failure;
    try {
        failure = convertWav(source, choice, blocks, native);
    } catch (const std::bad_alloc&) {
        // A file longer than memory allows: the same outcome as data that cannot be read.
        failure = wavTexts::kDataReadFailed;
    }
    if (!failure.empty()) {
        slot.clear();
        slot.shrink_to_fit();
        dialogs.message(failure);
        return false;
    }
    slot = std::move(blocks);
    return true;
}

} // namespace

bool readWavFile(const std::filesystem::path& path, SourceChoice choice, FileBlockList& slot,
                 WavDialogs& dialogs, NativeSamples* native) {
    if (choice == SourceChoice::None) return false;
    FileByteSource source;
    if (!source.open(path)) {
        slot.clear();
        slot.shrink_to_fit();
        dialogs.message(wavTexts::kCannotReadFile);
        return false;
    }
    return readWav(source, choice, slot, dialogs, native);
}

bool readWavMemory(std::span<const std::uint8_t> bytes, SourceChoice choice, FileBlockList& slot,
                   WavDialogs& dialogs) {
    if (choice == SourceChoice::None) return false;
    MemoryByteSource source(bytes);
    return readWav(source, choice, slot, dialogs);
}
