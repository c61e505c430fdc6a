// The live loop on a real JACK server at several buffer counts, with the window's thread
// loaded the way a user loads it: every image taken and painted, a long repaint now and
// then, sliders dragged, banks and carriers switched, dialogs held open. For each count: the
// clicks played into the input that came back through the dry mix (lost and repeated
// ones), the delay from input to output, the passes that found no input or passed some
// over, the server's missed cycles and the CPU of the audio threads.
//
//   live-latency [SECONDS_PER_COUNT] [COUNT ...]      (JACK_DEFAULT_SERVER names the server)

#include "JackTestClient.h"
#include "audio/LiveEngine.h"
#include "audio/LiveLoop.h"
#include "core/ControlTable.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
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
};

void spin(std::chrono::microseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < until) {
    }
}

// CPU seconds of every thread of this process but the main one (the stand-in window):
// the program's audio thread and the probe's, whose own work is a copy per period.
double audioThreadsCpu() {
    const long ticks = sysconf(_SC_CLK_TCK);
    double total = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0;
    while (dirent* entry = readdir(tasks)) {
        const std::string tid = entry->d_name;
        if (tid == "." || tid == ".." || std::stol(tid) == getpid()) continue;
        std::ifstream stat("/proc/self/task/" + tid + "/stat");
        std::string line;
        std::getline(stat, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        unsigned long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::stoul(field);
            if (i == 15) stime = std::stoul(field);
        }
        total += double(utime + stime) / double(ticks);
    }
    closedir(tasks);
    return total;
}

struct Result {
    int buffers = 0;
    int clicks = 0, heard = 0, repeated = 0;
    double medianMs = -1, worstMs = -1, labelMs = 0;
    unsigned long long missing = 0, skipped = 0, underruns = 0;
    int xruns = 0;
    double cpuPercent = 0;
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
    // A click every 250 ms, as a probe plays them: a 1.5 ms raised-cosine pulse, within
    // what the engine's rate carries, so that it keeps its shape through the converters.
    const std::size_t spacing = std::size_t(rate / 4);
    const std::size_t width = std::size_t(0.0015 * rate);
    std::vector<float> clicks(std::size_t(rate * (seconds + 2)), 0.0f);
    for (std::size_t i = spacing; i + width < clicks.size(); i += spacing)
        for (std::size_t k = 0; k <= width; ++k)
            clicks[i + k] = float(0.9 * (0.5 - 0.5 * std::cos(2 * 3.141592653589793 * double(k) / double(width))));
    tester.setPlayback(clicks, clicks, true);
    tester.activate();

    VocoderCore core;
    core.controls.setParameterSlider(control::MixLevel, 63); // the dry input carries the clicks
    NoHooks hooks;
    WakeupSignal wake;
    LiveEngine engine(core, hooks, wake);
    LiveLoop live(engine);
    Listener listener;
    SoundCardChoice choice{input + 1, device + 1, buffers, true};
    WaveDuplex duplex(choice, catalog, [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); });
    live.attach(&duplex);
    engine.setAudioOwnsCore(true);
    duplex.start();
    tester.connect("quorvel:out_left", tester.name() + ":in_1");
    tester.connect(tester.name() + ":out_1", "quorvel:in_left");
    tester.connect(tester.name() + ":out_2", "quorvel:in_right");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::uint64_t missing = live.passesWithoutInput(), skipped = live.skippedInput();
    const int xruns = tester.xruns();
    const double cpuBefore = audioThreadsCpu();
    tester.startPlayback();

    // The window's thread as a user keeps it busy.
    std::mt19937 random(19);
    const auto start = std::chrono::steady_clock::now();
    auto last = start;
    int tick = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
        if (wake.wait(10)) {
            wake.drain();
            if (engine.service(listener)) spin(std::chrono::microseconds(800)); // painting what changed
        }
        if (std::chrono::steady_clock::now() - last < std::chrono::milliseconds(50)) continue;
        last = std::chrono::steady_clock::now();
        ++tick;
        // A slider dragged; now and then a bank or a carrier; a long repaint; a dialog.
        engine.moveSlider(int(random() % kChannelSliderCount), int(random() % 128), SlaveMode::Parallel);
        if (tick % 10 == 0) engine.press(commandIdOf(control::LevelBank + int(random() % 9)));
        if (tick % 15 == 0) engine.press(commandIdOf(control::ExternalCarrier + int(random() % 6)));
        if (tick % 2 == 0) spin(std::chrono::milliseconds(12));
        if (tick % 40 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }
    Result r;
    r.cpuPercent = (audioThreadsCpu() - cpuBefore) / seconds * 100;
    r.buffers = buffers;
    r.labelMs = duplex.latencySeconds() * 1000;
    r.missing = live.passesWithoutInput() - missing;
    r.skipped = live.skippedInput() - skipped;
    r.underruns = duplex.underruns();
    r.xruns = tester.xruns() - xruns;
    duplex.close();
    engine.setAudioOwnsCore(false);
    tester.deactivate();

    // Each click's peak, played at frame p + width / 2, comes back at that frame plus the
    // delay: the strongest sample after it. A second strong one more than two blocks
    // later (before the next click) is a repeat; no strong one, a loss.
    const std::vector<float>& heard = tester.left();
    const std::size_t n = tester.framesRecorded();
    const std::size_t origin = tester.playbackStartFrame();
    std::vector<double> delays;
    const std::size_t block = std::size_t(64 * rate / 11025);
    for (std::size_t p = origin + spacing; origin < n && p + spacing < n; p += spacing) {
        ++r.clicks;
        const std::size_t peakAt = p + width / 2;
        std::size_t strongest = peakAt;
        for (std::size_t i = peakAt; i < p + spacing; ++i)
            if (std::fabs(heard[i]) > std::fabs(heard[strongest])) strongest = i;
        if (std::fabs(heard[strongest]) < 0.3f) continue;
        ++r.heard;
        delays.push_back(double(strongest - peakAt) / rate * 1000.0);
        for (std::size_t i = strongest + 2 * block; i < p + spacing; ++i)
            if (std::fabs(heard[i]) > 0.5f * std::fabs(heard[strongest])) {
                ++r.repeated;
                break;
            }
    }
    std::sort(delays.begin(), delays.end());
    if (!delays.empty()) {
        r.medianMs = delays[delays.size() / 2];
        r.worstMs = delays.back();
    }
    return r;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {1, 2, 4};
    std::printf("%7s %7s %6s %5s %5s %9s %8s %8s %7s %7s %6s %7s\n", "buffers", "clicks", "lost", "rep.",
                "xrun", "delay ms", "worst", "label", "no in", "skipped", "under", "CPU %");
    for (int buffers : counts) {
        const Result r = measure(buffers, seconds);
        std::printf("%7d %7d %6d %5d %5d %9.1f %8.1f %8.1f %7llu %7llu %6llu %7.2f\n", r.buffers, r.clicks,
                    r.clicks - r.heard, r.repeated, r.xruns, r.medianMs, r.worstMs, r.labelMs, r.missing, r.skipped,
                    r.underruns, r.cpuPercent);
        std::fflush(stdout);
    }
    return 0;
}
