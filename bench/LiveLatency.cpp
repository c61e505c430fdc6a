// The live loop on a real JACK server at several buffer counts, with the window's thread
// kept busy the way a repainting panel keeps it busy. For each count: underruns per minute
// and the latency from the sound card's input to its output, measured with clicks played
// into the input and found again in the output (the dry mix carries them through).
//
//   live-latency [SECONDS_PER_COUNT] [COUNT ...]      (JACK_DEFAULT_SERVER names the server)

#include "core/ControlTable.h"
#include "JackTestClient.h"
#include "audio/LiveLoop.h"

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct NoHooks final : LiveEngine::Hooks {
    void midi(const std::array<std::uint8_t, 3>&, std::uint8_t) override {}
    void applySettings(VocoderCore&, CommandDispatcher&, std::string_view) override {}
};
struct Listener final : LiveEngine::Listener {
    void request(LiveEngine::Request) override {}
    void sendControl(int, int) override {}
    void message(std::string_view text) override { std::fprintf(stderr, "%.*s\n", int(text.size()), text.data()); }
} listener;

void spin(std::chrono::microseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < until) {
    }
}

struct Result {
    int buffers;
    double seconds;
    unsigned long long underruns;
    double latencyMs;
};

Result measure(int buffers, int seconds) {
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::scan();
    const int device = catalog.outputIndex("JACK: system");
    const int input = catalog.inputIndex("JACK: system");
    if (device < 0 || input < 0) {
        std::fprintf(stderr, "no JACK server\n");
        std::exit(1);
    }

    JackTestClient tester("quorvel-latency", std::size_t(48000) * (seconds + 5));
    const double rate = tester.rate();
    // A click every half second.
    std::vector<float> clicks(std::size_t(rate * (seconds + 2)), 0.0f);
    for (std::size_t i = std::size_t(rate / 4); i < clicks.size(); i += std::size_t(rate / 2)) clicks[i] = 0.9f;
    tester.setPlayback(clicks, clicks, true);
    tester.activate();

    VocoderCore core;
    core.controls.setParameterSlider(control::MixLevel, 63); // the dry input carries the clicks
    NoHooks hooks;
    WakeupSignal wake;
    LiveEngine engine(core, hooks, wake);
    LiveLoop live(engine);
    SoundCardChoice choice{input + 1, device + 1, buffers, true};
    WaveDuplex duplex(choice, catalog, [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); });
    live.attach(&duplex);
    engine.setAudioOwnsCore(true);
    duplex.start();
    tester.connect("quorvel:out_left", tester.name() + ":in_1");
    tester.connect(tester.name() + ":out_1", "quorvel:in_left");
    tester.connect(tester.name() + ":out_2", "quorvel:in_right");
    tester.startPlayback();

    // The window's thread: every block handled, then some painting; now and then a long one.
    const auto start = std::chrono::steady_clock::now();
    auto lastHeavy = start;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
        if (!wake.wait(20)) continue;
        wake.drain();
        if (engine.service(listener)) spin(std::chrono::microseconds(800));
        if (std::chrono::steady_clock::now() - lastHeavy > std::chrono::milliseconds(100)) {
            spin(std::chrono::milliseconds(12));
            lastHeavy = std::chrono::steady_clock::now();
        }
    }
    duplex.close();
    engine.setAudioOwnsCore(false);
    tester.deactivate();

    // Each click played at frame p comes back at p + latency: find the first strong peak
    // after each click.
    const std::vector<float>& heard = tester.left();
    const std::size_t n = tester.framesRecorded();
    const std::size_t origin = tester.playbackStartFrame();
    std::vector<double> delays;
    for (std::size_t p = origin + std::size_t(rate / 4); origin < n && p < n; p += std::size_t(rate / 2)) {
        for (std::size_t i = p; i < std::min(n, p + std::size_t(rate / 2)); ++i) {
            if (std::fabs(heard[i]) > 0.2f) {
                delays.push_back(double(i - p) / rate * 1000.0);
                break;
            }
        }
    }
    std::sort(delays.begin(), delays.end());
    const double latency = delays.empty() ? -1.0 : delays[delays.size() / 2];
    return {buffers, double(seconds), duplex.underruns(), latency};
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {1, 2, 4, 8, 36};
    std::printf("%8s %10s %14s %14s %12s\n", "buffers", "seconds", "underruns", "per minute", "latency ms");
    int smallestClean = -1;
    for (int buffers : counts) {
        const Result r = measure(buffers, seconds);
        std::printf("%8d %10.0f %14llu %14.1f %12.1f\n", r.buffers, r.seconds, r.underruns,
                    r.underruns * 60.0 / r.seconds, r.latencyMs);
        std::fflush(stdout);
        if (r.underruns == 0 && smallestClean < 0) smallestClean = buffers;
    }
    if (smallestClean > 0)
        std::printf("smallest buffer count with no underrun in %d s: %d (%.1f ms of ring)\n", seconds, smallestClean,
                    smallestClean * 64 / 11.025);
    return 0;
}
