#include "files/FileByteSource.h"
#include "files/RiffReader.h"
#include "files/WavFiles.h"
#include "files/WavHeader.h"
#include "files/WavTexts.h"

#include <string_view>

namespace {

// What differs between the carrier and the modulator half of the command.
struct SlotTexts {
    WavSlot slot;
    std::string_view filter;
    std::string_view sourceTitle;
    std::string_view openFailure;
};
constexpr SlotTexts kCarrierTexts{WavSlot::Carrier, wavTexts::kCarrierFilter, wavTexts::kCarrierSourceTitle,
                                  wavTexts::kCannotReadFile};
constexpr SlotTexts kModulatorTexts{WavSlot::Modulator, wavTexts::kModulatorFilter, wavTexts::kModulatorSourceTitle,
                                    wavTexts::kCannotOpenFile};

// Checks the chosen file, asks for its source and reads it. Returns false when the
// command must end here.
bool loadSlot(const std::filesystem::path& path, const SlotTexts& texts, std::optional<FileBlockList>& slot,
              WavDialogs& dialogs) {
    WavHeader header;
    {
        // The file is closed again before any dialog shows.
        FileByteSource source;
        if (!source.open(path)) {
            dialogs.message(texts.openFailure);
            return false;
        }
        RiffReader reader(source);
        if (const std::string_view failure = checkWavHeader(reader, header); !failure.empty()) {
            dialogs.message(failure);
            return false;
        }
    }
    SourceChoice choice = SourceChoice::LeftPlusRight;
    if (header.format.channels >= 2) {
        const std::optional<SourceChoice> chosen = dialogs.selectSource(texts.slot, texts.sourceTitle);
        if (!chosen) return false;
        choice = *chosen;
    }
    if (choice == SourceChoice::None) return true;
    slot.emplace();
    return readWavFile(path, choice, *slot, dialogs);
}

} // namespace

LoadedWavFiles askForWavFiles(WavDialogs& dialogs) {
    LoadedWavFiles loaded;
    if (const auto path = dialogs.openFile(WavSlot::Carrier, wavTexts::kCarrierOpenTitle, kCarrierTexts.filter)) {
        if (!loadSlot(*path, kCarrierTexts, loaded.carrier, dialogs)) return loaded;
    }
    if (const auto path = dialogs.openFile(WavSlot::Modulator, wavTexts::kModulatorOpenTitle, kModulatorTexts.filter))
        loadSlot(*path, kModulatorTexts, loaded.modulator, dialogs);
    return loaded;
}

void loadWavFiles(FileBlockList& modulatorFile, FileBlockList& carrierFile, WavDialogs& dialogs) {
    LoadedWavFiles loaded = askForWavFiles(dialogs);
    if (loaded.carrier) carrierFile = std::move(*loaded.carrier);
    if (loaded.modulator) modulatorFile = std::move(*loaded.modulator);
}
