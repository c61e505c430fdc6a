// libFuzzer target: the settings loader on any text. After loading, every value the engine
// reads must be within its range and a few blocks of sound from it finite. Saving what was
// loaded and loading that again must give the same file (the loader keeps nothing it could
// not write back), except that the channel sliders may move once: the loader shows the
// current bank's values on them, whatever positions the text gave.

#include "core/BlockEvents.h"
#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "session/SettingsFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr int kBlocks = 3;
constexpr int kChannelSliderLines = kChannels;

class SilentEvents final : public BlockEvents {
public:
    void showMessage(std::string_view) override {}
};

struct Panel {
    VocoderCore core;
    NullCommandHost host;
    CommandDispatcher dispatcher{core, host};
};

void check(bool condition) {
    if (!condition) std::abort();
}

void checkRanges(const VocoderCore& core) {
    for (int s = 0; s < kSliderCount; ++s)
        check(core.controls.slider(s) >= 0 && core.controls.slider(s) <= sliderMaximum(s));
    for (int entry : core.channelMap) check(entry >= 0 && entry < kChannels);
    for (const SliderBank& bank : core.banks) {
        const double low = std::min({0.0, bank.bottom, bank.top});
        const double high = std::max({0.0, bank.bottom, bank.top});
        for (double v : bank.value) check(v >= low && v <= high);
    }
}

// A loud sine on both inputs, into whatever the file switched on.
void runBlocks(VocoderCore& core) {
    SilentEvents events;
    BlockLoop loop(core, events);
    InputBuffer input;
    OutputBuffer out;
    for (int block = 0; block < kBlocks; ++block) {
        for (int n = 0; n < BLOCK_SIZE; ++n) {
            const auto v = static_cast<std::int16_t>(30000 * std::sin(0.37 * (block * BLOCK_SIZE + n)));
            for (int byte = 0; byte < 4; ++byte)
                input.bytes[static_cast<std::size_t>(4 * n + byte)] =
                    static_cast<std::uint8_t>(v >> (8 * (byte % 2)));
        }
        loop.updateParameters();
        loop.process(&input, true, out);
        for (int n = 0; n < BLOCK_SIZE; ++n)
            check(std::isfinite(loop.outputLeft()[static_cast<std::size_t>(n)]) &&
                  std::isfinite(loop.outputRight()[static_cast<std::size_t>(n)]));
    }
    for (double v : core.kernel.values()) check(std::isfinite(v));
}

std::string reloaded(const std::string& text) {
    Panel panel;
    loadSettingsText(panel.core, panel.dispatcher, text);
    return settingsText(panel.core);
}

// The text after the channel slider lines.
std::string_view afterChannelSliders(std::string_view text) {
    std::size_t at = 0;
    for (int line = 0; line < kChannelSliderLines && at != std::string_view::npos; ++line) {
        at = text.find('\n', at);
        if (at != std::string_view::npos) ++at;
    }
    return at == std::string_view::npos ? std::string_view() : text.substr(at);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Panel first;
    loadSettingsText(first.core, first.dispatcher, text);
    checkRanges(first.core);

    const std::string saved = settingsText(first.core);
    const std::string again = reloaded(saved);
    check(afterChannelSliders(again) == afterChannelSliders(saved));
    check(reloaded(again) == again);

    runBlocks(first.core);
    checkRanges(first.core);
    return 0;
}
