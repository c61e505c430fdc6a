#include "midi/MidiMessage.h"

namespace {

// Message length by the high nibble of a channel status byte (0x8..0xE).
constexpr std::array<int, 16> kChannelMessageLength{0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3, 2, 2, 3, 0};

// System common and real-time messages by the low nibble of 0xF0..0xFF.
constexpr std::array<int, 16> kSystemMessageLength{0, 2, 3, 2, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1};

constexpr std::uint8_t kDataMask = 0x7F;

bool isRealTime(unsigned char byte) noexcept {
    return byte >= midi_status::FirstRealTime;
}

} // namespace

int midiMessageLength(std::uint8_t status) noexcept {
    if (status < 0x80) return 0;
    if (status >= 0xF0) return kSystemMessageLength[status & 0x0F];
    return kChannelMessageLength[status >> 4];
}

MidiMessage MidiMessage::fromBytes(const unsigned char* data, std::size_t count) noexcept {
    MidiMessage m;
    if (data == nullptr) return m;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (isRealTime(data[i])) continue;
        if (kept < kMaxBytes) m.bytes[kept] = data[i];
        ++kept;
        if (kept == 255) break; // long enough to be malformed whatever follows
    }
    m.size = static_cast<std::uint8_t>(kept);
    return m;
}

MidiMessage MidiMessage::of(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    MidiMessage m;
    m.bytes = {status, data1, data2};
    m.size = static_cast<std::uint8_t>(midiMessageLength(status));
    return m;
}

bool MidiMessage::wellFormed() const noexcept {
    const int length = midiMessageLength(bytes[0]);
    if (length == 0 || size != length) return false;
    for (int i = 1; i < length; ++i)
        if (bytes[static_cast<std::size_t>(i)] > kDataMask) return false;
    return true;
}

std::array<std::uint8_t, 3> controlChangeBytes(int channel, int controller, int value) {
    return {static_cast<std::uint8_t>(0xB0 | (channel & 0x0F)),
            static_cast<std::uint8_t>(controller & kDataMask), static_cast<std::uint8_t>(value & kDataMask)};
}
