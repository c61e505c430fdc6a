#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// One incoming MIDI short message as a fixed-size record, so that the MIDI layer's thread can
// hand it to the window's thread through a lock-free queue without allocating.
//
// `size` is the length of the message as it arrived (real-time bytes taken out, see
// fromBytes), counted up to 255; only the first three bytes are kept. A record whose size
// does not match its status byte is malformed and is never interpreted, so nothing reads
// past the end of what arrived.
//
// Thread: any. A plain value; nothing here allocates, locks or blocks, so midi-in may
// build and check records.
struct MidiMessage {
    static constexpr std::size_t kMaxBytes = 3;

    std::array<std::uint8_t, kMaxBytes> bytes{};
    std::uint8_t size = 0;

    // The record of one event as the MIDI layer delivered it. Real-time bytes (0xF8..0xFF)
    // may stand anywhere in a stream, even inside another message, and mean nothing to the
    // vocoder: they are taken out, so a control change with a clock byte in its middle still
    // counts. What is left may be empty (size 0), which no one needs to queue.
    static MidiMessage fromBytes(const unsigned char* data, std::size_t count) noexcept;
    static MidiMessage of(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);

    // A status byte first, exactly as many data bytes as that status takes, each below 0x80.
    // Running status, system exclusive, truncated and over-long messages all fail.
    bool wellFormed() const noexcept;

    std::uint8_t status() const { return bytes[0]; }
    // The high nibble of a channel message: 0x8 Note Off .. 0xE Pitch Bend; 0xF system.
    int kind() const { return bytes[0] >> 4; }
    // 0..15, the low nibble of the status byte.
    int channel() const { return bytes[0] & 0x0F; }
    int data1() const { return bytes[1]; }
    int data2() const { return bytes[2]; }
    // Status in the low byte, then the two data bytes: the platform's short-message form.
    std::uint32_t packed() const {
        return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16;
    }
};

namespace midi_status {
inline constexpr int NoteOff = 0x8;
inline constexpr int NoteOn = 0x9;
inline constexpr int ControlChange = 0xB;
inline constexpr int System = 0xF;
inline constexpr std::uint8_t SysexStart = 0xF0;
inline constexpr std::uint8_t FirstRealTime = 0xF8;
inline constexpr std::uint8_t ActiveSensing = 0xFE;
} // namespace midi_status

// The length of a message that starts with `status` (1..3), or 0 where no short message
// can start: data bytes, system exclusive, its end and the undefined 0xF4 and 0xF5.
int midiMessageLength(std::uint8_t status) noexcept;

// The three bytes of a control change on output channel 0..15. Every byte is masked into
// its field, so a controller number or value out of range can never turn into a status byte
// or another channel's message.
std::array<std::uint8_t, 3> controlChangeBytes(int channel, int controller, int value);
