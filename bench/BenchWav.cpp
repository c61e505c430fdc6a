// Writes the material the render is measured on: a voice-like modulator or a two-note
// carrier, as 16-bit mono WAV at 11025 Hz, of any length.
//
//   quorvel-bench-wav OUT.wav SECONDS voice|chord

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

void put(std::FILE* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[3], "voice") != 0 && std::strcmp(argv[3], "chord") != 0)) {
        std::fputs("usage: quorvel-bench-wav OUT.wav SECONDS voice|chord\n", stderr);
        return 2;
    }
    const long seconds = std::atol(argv[2]);
    const long length = seconds * 11025;
    if (seconds < 1 || length > 0x3FFFFFFF) return 2;
    const bool voice = std::strcmp(argv[3], "voice") == 0;
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const std::uint32_t bytes = static_cast<std::uint32_t>(2 * length);
    std::fputs("RIFF", out);
    put(out, 36 + bytes, 4);
    std::fputs("WAVEfmt ", out);
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, 1, 2);
    put(out, 11025, 4);
    put(out, 22050, 4);
    put(out, 2, 2);
    put(out, 16, 2);
    std::fputs("data", out);
    put(out, bytes, 4);
    std::vector<std::uint8_t> piece;
    for (long i = 0; i < length; ++i) {
        const double t = double(i) / 11025.0;
        const double v = voice ? (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 3 * t)) *
                                     (6000 * std::sin(2 * std::numbers::pi * 180 * t) +
                                      2500 * std::sin(2 * std::numbers::pi * 2400 * t))
                               : 5000 * (std::sin(2 * std::numbers::pi * 110 * t) +
                                         std::sin(2 * std::numbers::pi * 138.6 * t));
        const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
        piece.push_back(static_cast<std::uint8_t>(s & 0xFF));
        piece.push_back(static_cast<std::uint8_t>(s >> 8));
        if (piece.size() >= 1 << 16) {
            std::fwrite(piece.data(), 1, piece.size(), out);
            piece.clear();
        }
    }
    std::fwrite(piece.data(), 1, piece.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
