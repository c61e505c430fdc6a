// libFuzzer target: the WAV reader on bytes in memory, through the same code as a file on
// disk. The first byte chooses the source choice (None, L+R, L, R, L-R); the rest is the
// file. Besides the sanitizers' checks, the reader's own promises are checked:
//   - a file that reads shows no message and fills the slot; one that does not shows
//     exactly one message and leaves the slot empty; None reads nothing and keeps the slot;
//   - the blocks come from the bytes really there, never from a size a header claims.

#include "files/WavDialogs.h"
#include "files/WavFiles.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

constexpr int kChoices = 5;
// At most 256 output samples per input byte (8-bit data at the lowest rate the converter
// takes, 11025/256 Hz), and two blocks of layout padding.
constexpr std::uint64_t kSamplesPerByte = 256;
constexpr std::uint64_t kSlackSamples = 2 * BLOCK_SIZE;

// Counts messages; any other question is a fault, since reading asks none.
class CountingDialogs final : public WavDialogs {
public:
    int messages = 0;

    std::optional<std::filesystem::path> openFile(WavSlot, std::string_view, std::string_view) override {
        std::abort();
    }
    std::optional<std::filesystem::path> saveFile(std::string_view, std::string_view) override {
        std::abort();
    }
    std::optional<SourceChoice> selectSource(WavSlot, std::string_view) override { std::abort(); }
    std::optional<SaveRate> selectSaveRate() override { std::abort(); }
    void message(std::string_view text) override {
        if (text.empty()) std::abort();
        ++messages;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto choice = static_cast<SourceChoice>(data[0] % kChoices);
    const std::span<const std::uint8_t> file(data + 1, size - 1);

    FileBlockList slot(2);
    slot[1].samples.fill(1234);
    CountingDialogs dialogs;
    const bool read = readWavMemory(file, choice, slot, dialogs);

    if (choice == SourceChoice::None) {
        if (read || dialogs.messages != 0 || slot.size() != 2 || slot[1].samples[0] != 1234) std::abort();
        return 0;
    }
    if (read) {
        if (dialogs.messages != 0 || slot.empty()) std::abort();
        if (slot.size() * BLOCK_SIZE > kSamplesPerByte * file.size() + kSlackSamples) std::abort();
    } else if (dialogs.messages != 1 || !slot.empty()) {
        std::abort();
    }
    return 0;
}
