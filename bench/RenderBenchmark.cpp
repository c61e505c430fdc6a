// One minute of modulator and carrier WAV files rendered to a 44.1 kHz WAV file, as
// quorvel-render does it: reading, the block loop, recording, upsampling and writing.
// Reports seconds of audio per second of CPU.

#include "RenderJob.h"
#include "RenderOptions.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

void writeWav(const fs::path& path, const std::vector<std::int16_t>& samples) {
    auto u32 = [](std::ofstream& out, std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::ofstream& out, std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream out(path, std::ios::binary);
    const std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    u32(out, 36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(out, 16);
    u16(out, 1);
    u16(out, 1);
    u32(out, 11025);
    u32(out, 22050);
    u16(out, 2);
    u16(out, 16);
    out.write("data", 4);
    u32(out, bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

void RenderOneMinute(benchmark::State& state) {
    const fs::path folder = fs::temp_directory_path() / "quorvel-render-bench";
    fs::create_directories(folder);
    const int length = 60 * 11025;
    std::vector<std::int16_t> voice(length), chord(length);
    for (int i = 0; i < length; ++i) {
        const double t = i / 11025.0;
        voice[i] = std::int16_t((0.6 + 0.4 * std::sin(2 * std::numbers::pi * 3 * t)) *
                                (6000 * std::sin(2 * std::numbers::pi * 180 * t) +
                                 2500 * std::sin(2 * std::numbers::pi * 2400 * t)));
        chord[i] = std::int16_t(5000 * (std::sin(2 * std::numbers::pi * 110 * t) +
                                        std::sin(2 * std::numbers::pi * 138.6 * t)));
    }
    writeWav(folder / "voice.wav", voice);
    writeWav(folder / "chord.wav", chord);
    const auto parsed = parseRenderOptions({"--modulator", (folder / "voice.wav").string(), "--carrier",
                                            (folder / "chord.wav").string(), "--out",
                                            (folder / "out.wav").string(), "--quiet"});
    const RenderOptions& options = std::get<RenderOptions>(parsed);
    for (auto _ : state) {
        std::ostringstream err;
        RenderJob job(options, err, false);
        if (job.run() != RenderJob::kSuccess) state.SkipWithError(err.str().c_str());
    }
    state.counters["audio_s_per_cpu_s"] =
        benchmark::Counter(60.0 * double(state.iterations()), benchmark::Counter::kIsRate);
    fs::remove_all(folder);
}

} // namespace

BENCHMARK(RenderOneMinute)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
