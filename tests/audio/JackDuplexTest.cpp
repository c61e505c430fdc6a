// Runs against a real JACK server with the dummy driver, started by the test fixture and
// named by JACK_DEFAULT_SERVER: at 11025 Hz nothing is converted, at 48000 Hz the streams
// convert in the callback.

#include "JackTestClient.h"
#include "audio/JackStream.h"
#include "audio/WaveDuplex.h"

#include <jack/jack.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

namespace {

// Frequency from rising zero crossings.
double frequencyOf(const std::vector<float>& s, std::size_t from, std::size_t to, double rate) {
    std::size_t first = 0, last = 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * rate / double(last - first) : 0.0;
}

class JackDuplex : public ::testing::Test {
protected:
    void SetUp() override {
        catalog = AudioDeviceCatalog::scan();
        output = catalog.outputIndex("JACK: system");
        input = catalog.inputIndex("JACK: system");
        ASSERT_GE(output, 0) << "no JACK server: the test fixture starts one";
        ASSERT_GE(input, 0);
    }

    // Makes each block the output asks for with `fill`, after handing every filled input
    // block to `take`, as the live loop does in the callback; returns once `blocks` were made.
    template <typename Fill, typename Take>
    struct Source final : BlockSource {
        Source(WaveDuplex& d, Fill f, Take t) : device(d), fill(f), take(t) {}
        void makeBlock(OutputBuffer& out) noexcept override {
            int index;
            while (device.takeInputFilled(index)) {
                take(device.inputBuffer(index));
                device.returnInput(index);
            }
            fill(out);
            made.fetch_add(1);
        }
        WaveDuplex& device;
        Fill fill;
        Take take;
        std::atomic<int> made{0};
    };
    template <typename Fill, typename Take>
    void run(WaveDuplex& device, int blocks, Fill fill, Take take) {
        Source<Fill, Take> source(device, fill, take);
        device.setSource(&source);
        device.start();
        ASSERT_TRUE(messages.empty()) << messages.front();
        connect(device);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (source.made.load() < blocks && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        device.close();
        ASSERT_GE(source.made.load(), blocks) << "the output stopped asking for blocks";
    }
    std::function<void(WaveDuplex&)> connect = [](WaveDuplex&) {};

    AudioDeviceCatalog catalog;
    int output = -1, input = -1;
    std::vector<std::string> messages;
};

TEST_F(JackDuplex, ListsTheServersDevicesByBackEndAndTheInternalClock) {
    EXPECT_EQ(catalog.outputs().back().name, AudioDeviceCatalog::kInternalClockName);
    for (const AudioDeviceEntry& e : catalog.inputs()) EXPECT_NE(e.backend, AudioBackend::InternalClock);
}

// The ports of the program's JACK client, as another client sees them: name and how many
// connections each has.
std::vector<std::pair<std::string, int>> portsOf(const std::string& client) {
    std::vector<std::pair<std::string, int>> ports;
    jack_client_t* looker = jack_client_open("quorvel-looker", JackNoStartServer, nullptr);
    if (!looker) return ports;
    if (const char** names = jack_get_ports(looker, ("^" + client + ":").c_str(), nullptr, 0)) {
        for (int i = 0; names[i]; ++i) {
            const char** links = jack_port_get_all_connections(looker, jack_port_by_name(looker, names[i]));
            int count = 0;
            while (links && links[count]) ++count;
            if (links) jack_free(links);
            ports.emplace_back(names[i], count);
        }
        jack_free(names);
    }
    jack_client_close(looker);
    std::sort(ports.begin(), ports.end());
    return ports;
}

TEST_F(JackDuplex, ThePortsSayWhatTheyCarryUnderTheChosenNameAndConnectOnlyWhenAsked) {
    SoundCardChoice choice;
    choice.outputChoice = output + 1;
    choice.inputChoice = input + 1;
    choice.bufferSlider = 1;
    for (const bool linked : {true, false}) {
        JackStream::setClientName(linked ? "quorvel" : "vocoder-two");
        JackStream::setAutoConnect(linked);
        WaveDuplex device(choice, catalog, [this](const std::string& m) { messages.push_back(m); });
        device.start();
        ASSERT_TRUE(messages.empty()) << messages.front();
        const std::string client = linked ? "quorvel" : "vocoder-two";
        const int expected = linked ? 1 : 0;
        EXPECT_EQ(portsOf(client), (std::vector<std::pair<std::string, int>>{{client + ":in_left", expected},
                                                                            {client + ":in_right", expected},
                                                                            {client + ":out_left", expected},
                                                                            {client + ":out_right", expected}}));
        device.close();
    }
    JackStream::setClientName("quorvel");
    JackStream::setAutoConnect(true);
}

TEST_F(JackDuplex, PlaysEveryBlockOnceInOrderAndCapturesTheInputInOrder) {
    JackTestClient tester("quorvel-tester", 48000 * 20);
    ASSERT_TRUE(tester.ok());
    const double rate = tester.rate();
    // The tester plays a slow ramp (11025 Hz case) or a 440 Hz sine into the program.
    const std::size_t playFrames = std::size_t(rate * 20);
    std::vector<float> rampL(playFrames), rampR(playFrames);
    for (std::size_t k = 0; k < playFrames; ++k) {
        if (rate == 11025) {
            rampL[k] = float((k % 20000) + 1) / 32768.0f;
            rampR[k] = -rampL[k];
        } else {
            rampL[k] = rampR[k] = float(0.5 * std::sin(2 * std::numbers::pi * 440.0 * double(k) / rate));
        }
    }
    tester.setPlayback(rampL, rampR);
    ASSERT_TRUE(tester.activate());

    SoundCardChoice choice;
    choice.outputChoice = output + 1;
    choice.inputChoice = input + 1;
    choice.bufferSlider = 24;
    choice.sixteenBit = true;
    WaveDuplex device(choice, catalog, [this](const std::string& m) { messages.push_back(m); });
    ASSERT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(device.outputRate(), rate);
    EXPECT_EQ(device.inputRate(), rate);
    connect = [&](WaveDuplex&) {
        ASSERT_TRUE(tester.connect("quorvel:out_left", tester.name() + ":in_1"));
        ASSERT_TRUE(tester.connect("quorvel:out_right", tester.name() + ":in_2"));
        ASSERT_TRUE(tester.connect(tester.name() + ":out_1", "quorvel:in_left"));
        ASSERT_TRUE(tester.connect(tester.name() + ":out_2", "quorvel:in_right"));
    };

    // The program's blocks: a counter (11025 Hz) or a 1000 Hz sine (converted).
    long frame = 0;
    auto fill = [&](OutputBuffer& buffer) {
        for (int i = 0; i < kWaveBufferFrames; ++i, ++frame) {
            std::int16_t value;
            if (rate == 11025)
                value = std::int16_t(frame % 20000 + 1);
            else
                value = std::int16_t(std::lround(16000 * std::sin(2 * std::numbers::pi * 1000.0 * frame / 11025.0)));
            buffer.samples[2 * i] = value;
            buffer.samples[2 * i + 1] = std::int16_t(-value);
        }
    };
    std::vector<float> captured;
    captured.reserve(std::size_t(2000) * kWaveBufferFrames); // the callback appends: no reallocation there
    auto take = [&](const InputBuffer& buffer) {
        for (int i = 0; i < kWaveBufferFrames; ++i)
            captured.push_back(float(std::int16_t(buffer.bytes[4 * i] | buffer.bytes[4 * i + 1] << 8)));
    };
    // Connecting clients can make the server report a missed cycle; only later ones count.
    const int xrunsAtStart = tester.xruns();
    const int blocks = 800; // 4.6 s
    run(device, blocks, fill, take);
    tester.deactivate();
    ASSERT_EQ(device.underruns(), 0u);
    ASSERT_EQ(device.droppedInputFrames(), 0u);

    if (tester.xruns() > xrunsAtStart)
        GTEST_SKIP() << "the JACK server missed " << tester.xruns() - xrunsAtStart
                     << " cycles while the blocks played (the machine was overloaded): frame continuity"
                        " cannot be judged";
    const std::vector<float>& heard = tester.left();
    const std::size_t n = tester.framesRecorded();
    if (rate == 11025) {
        // From the first block the program wrote, the counter goes up by one each frame:
        // nothing missing, nothing repeated, exactly as written.
        std::size_t start = 0;
        while (start < n && heard[start] == 0.0f) ++start;
        ASSERT_LT(start, n);
        const std::size_t checked = std::size_t(blocks - 40) * kWaveBufferFrames;
        ASSERT_GT(n, start + checked);
        for (std::size_t i = 0; i < checked; ++i) {
            ASSERT_EQ(heard[start + i] * 32768.0f, float(i % 20000 + 1)) << "frame " << i;
            ASSERT_EQ(tester.right()[start + i], -heard[start + i]);
        }
        std::size_t first = 0;
        while (first < captured.size() && captured[first] == 0.0f) ++first;
        ASSERT_LT(first + 20000, captured.size());
        for (std::size_t i = first + 1; i < first + 20000; ++i) {
            const float expected = captured[i - 1] == 20000.0f ? 1.0f : captured[i - 1] + 1.0f;
            ASSERT_EQ(captured[i], expected) << "captured frame " << i;
        }
    } else {
        // Converted output keeps its pitch and level and has no gaps.
        // Up to where the program's sound stopped: it closes before the tester stops
        // recording, and on a busy machine that gap can be long.
        std::size_t end = n;
        while (end > 0 && std::fabs(heard[end - 1]) < 0.01f) --end;
        ASSERT_GT(end, n / 2);
        const std::size_t from = n / 4, to = end - 4096;
        EXPECT_NEAR(frequencyOf(heard, from, to, rate), 1000.0, 2.0);
        const std::size_t window = std::size_t(rate / 100);
        for (std::size_t w = from; w + window < to; w += window) {
            double energy = 0;
            for (std::size_t i = w; i < w + window; ++i) energy += double(heard[i]) * heard[i];
            ASSERT_NEAR(std::sqrt(energy / window), 16000.0 / 32768 / std::sqrt(2.0), 0.02) << "window at " << w;
        }
        // Converted input: the tester's 440 Hz arrives at the engine rate as 440 Hz.
        ASSERT_GT(captured.size(), 20000u);
        EXPECT_NEAR(frequencyOf(captured, 10000, captured.size(), 11025.0), 440.0, 1.0);
    }
}

} // namespace
