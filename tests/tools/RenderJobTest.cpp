#include "RenderJob.h"

#include "RenderOptions.h"
#include "ToneMeasure.h"
#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Rendered {
    int exit = -1;
    std::string err;
};

Rendered render(const std::vector<std::string>& args) {
    Rendered r;
    const auto parsed = parseRenderOptions(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        r.exit = RenderJob::kUsageError;
        r.err = *error;
        return r;
    }
    std::ostringstream err;
    RenderJob job(std::get<RenderOptions>(parsed), err, false);
    r.exit = job.run();
    r.err = err.str();
    return r;
}

struct Ran {
    int status = -1;
    Bytes out;
    std::string err;
};

// Runs the built quorvel-render with `args`, its standard output into a pipe read up to
// `keep` bytes and then closed (a reader that has seen enough), its messages into a file.
Ran runRenderer(const std::vector<std::string>& args, const std::filesystem::path& messages,
                std::size_t keep = std::numeric_limits<std::size_t>::max()) {
    Ran r;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return r;
    const int err = ::open(messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::vector<std::string> line{QUORVEL_RENDER};
    line.insert(line.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : line) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err);
    std::uint8_t buffer[65536];
    while (r.out.size() < keep) {
        const ssize_t got = ::read(out[0], buffer, std::min(sizeof buffer, keep - r.out.size()));
        if (got <= 0) break;
        r.out.insert(r.out.end(), buffer, buffer + got);
    }
    ::close(out[0]);
    ::waitpid(child, &r.status, 0);
    const Bytes text = readAll(messages);
    r.err.assign(text.begin(), text.end());
    return r;
}

struct Stereo {
    std::uint32_t rate = 0;
    std::vector<std::int16_t> left, right;
};

// Reads back a 16-bit stereo file as written: header fields and the raw frames.
Stereo readStereo(const std::filesystem::path& path) {
    const Bytes bytes = readAll(path);
    Stereo s;
    if (bytes.size() < 44) return s;
    s.rate = bytes[24] | bytes[25] << 8 | bytes[26] << 16 | std::uint32_t(bytes[27]) << 24;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id(bytes.begin() + long(at), bytes.begin() + long(at) + 4);
        const std::uint32_t size =
            bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | std::uint32_t(bytes[at + 7]) << 24;
        if (id == "data") {
            for (std::size_t i = at + 8; i + 3 < at + 8 + size && i + 3 < bytes.size(); i += 4) {
                s.left.push_back(std::int16_t(bytes[i] | bytes[i + 1] << 8));
                s.right.push_back(std::int16_t(bytes[i + 2] | bytes[i + 3] << 8));
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return s;
}

// Power of a frequency in a signal (Goertzel), per sample.
double powerAt(const std::vector<std::int16_t>& s, double frequency, double rate) {
    const double w = 2 * std::numbers::pi * frequency / rate;
    double s1 = 0, s2 = 0;
    for (std::int16_t x : s) {
        const double s0 = x + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / double(s.size() * s.size());
}

std::vector<std::int16_t> chirp(int length, double rate) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(length));
    double phase = 0;
    for (int i = 0; i < length; ++i) {
        const double f = 150 * std::pow(4000.0 / 150, double(i) / length); // 150 Hz to 4 kHz
        phase += 2 * std::numbers::pi * f / rate;
        s[std::size_t(i)] = std::int16_t(9000 * std::sin(phase));
    }
    return s;
}

class QuorvelRender : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path(const std::string& name) const { return (folder.path() / name).string(); }
    std::string modulator() {
        return folder.write("chirp.wav", wavFile(PcmFormat{}, pcm16(chirp(11025 * 2, 11025)))).string();
    }
};

TEST_F(QuorvelRender, RefusesWhatMakesNoSenseWithAUsageError) {
    EXPECT_EQ(render({"--blocks", "10"}).exit, 2); // no --out
    EXPECT_EQ(render({"--out", "x.wav"}).exit, 2); // no length
    EXPECT_EQ(render({"--out", "x.wav", "--blocks", "0"}).exit, 2);
    EXPECT_EQ(render({"--out", "x.wav", "--blocks", "1000000001"}).exit, 2); // sizes would overflow
    EXPECT_EQ(render({"--out", "x.wav", "--blocks", "5", "--rate", "48"}).exit, 2);
    EXPECT_EQ(render({"--out", "x.wav", "--blocks", "5", "--carrier-source", "middle"}).exit, 2);
    EXPECT_EQ(render({"--out", "x.wav", "--blocks", "5", "--bogus"}).exit, 2);
    EXPECT_EQ(render({"--out", "x.wav", "--blocks", "5", "--set", "Mix Level"}).exit, 2);
    const Rendered unknown = render({"--out", path("x.wav"), "--blocks", "5", "--set", "Volume=3"});
    EXPECT_EQ(unknown.exit, 2);
    EXPECT_NE(unknown.err.find("no control is named \"Volume\""), std::string::npos);
    const Rendered rec = render({"--out", path("x.wav"), "--blocks", "5", "--press", "rec button"});
    EXPECT_EQ(rec.exit, 2);
    EXPECT_NE(rec.err.find("cannot be pressed in a render"), std::string::npos);
    EXPECT_EQ(render({"--out", path("x.wav"), "--blocks", "5", "--set", "Pan Button=3"}).exit, 2);
    EXPECT_FALSE(std::filesystem::exists(path("x.wav")));
    const auto help = parseRenderOptions({"--help"});
    EXPECT_TRUE(std::get<RenderOptions>(help).help);
}

TEST_F(QuorvelRender, FileErrorsGiveTheProgramsOwnMessagesAndExitStatusOne) {
    const Rendered noModulator = render({"--out", path("o.wav"), "--modulator", path("missing.wav")});
    EXPECT_EQ(noModulator.exit, 1);
    EXPECT_NE(noModulator.err.find("Cannot open file!"), std::string::npos);
    const Rendered noCarrier = render({"--out", path("o.wav"), "--carrier", path("missing.wav")});
    EXPECT_EQ(noCarrier.exit, 1);
    EXPECT_NE(noCarrier.err.find("Cannot read file!"), std::string::npos);
    folder.write("float.wav", wavFile(PcmFormat{3, 1, 11025, 32}, Bytes(400, 0)));
    const Rendered floating = render({"--out", path("o.wav"), "--modulator", path("float.wav")});
    EXPECT_EQ(floating.exit, 1);
    EXPECT_NE(floating.err.find("UnSupported Wave Format!"), std::string::npos);
    const Rendered noFolder = render({"--out", path("no/such/folder/o.wav"), "--blocks", "3"});
    EXPECT_EQ(noFolder.exit, 1);
    // Said once, by the save at the end, though the file is first tried while rendering.
    const auto first = noFolder.err.find("Cannot create file!");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(noFolder.err.find("Cannot create file!", first + 1), std::string::npos);
}

TEST_F(QuorvelRender, RendersAsManyPassesAsTheModulatorHasBlocksAtTheChosenRate) {
    const std::string mod = modulator(); // 22050 samples: 345 blocks, the last one part full
    ASSERT_EQ(render({"--out", path("11.wav"), "--modulator", mod, "--rate", "11"}).exit, 0);
    const Stereo at11 = readStereo(path("11.wav"));
    EXPECT_EQ(at11.rate, 11025u);
    EXPECT_EQ(at11.left.size(), 345u * 64);
    ASSERT_EQ(render({"--out", path("44.wav"), "--modulator", mod}).exit, 0);
    const Stereo at44 = readStereo(path("44.wav"));
    EXPECT_EQ(at44.rate, 44100u);
    EXPECT_EQ(at44.left.size(), 345u * 256);
    ASSERT_EQ(render({"--out", path("n.wav"), "--blocks", "20", "--rate", "22"}).exit, 0);
    EXPECT_EQ(readStereo(path("n.wav")).left.size(), 20u * 128);
}

TEST_F(QuorvelRender, AVocodedChirpIsAudibleAndBandLimited) {
    const std::string mod = modulator();
    ASSERT_EQ(render({"--out", path("v.wav"), "--modulator", mod, "--set", "Carrier Gain=63"}).exit, 0);
    const Stereo v = readStereo(path("v.wav"));
    double energy = 0;
    for (std::int16_t s : v.left) energy += double(s) * s;
    EXPECT_GT(std::sqrt(energy / double(v.left.size())), 30.0);
    // The pulse carrier's harmonics in band are far above anything past the top band's
    // edge (4961 Hz), and the upsampling leaves no image above 5.5 kHz.
    const double inBand = powerAt(v.left, 1000, 44100) + powerAt(v.left, 2000, 44100);
    EXPECT_LT(powerAt(v.left, 8000, 44100), inBand * 1e-3);
    EXPECT_LT(powerAt(v.left, 15000, 44100), inBand * 1e-3);
    EXPECT_EQ(v.left, v.right); // pan 0: both sides the same
}

TEST_F(QuorvelRender, MixAt63GivesTheDryShareOfTheModulator) {
    const std::vector<std::int16_t> signal = chirp(11025, 11025);
    const std::string mod = folder.write("m.wav", wavFile(PcmFormat{}, pcm16(signal))).string();
    // Level preset "Zero" leaves only the dry share (and the sibilance band, here 0).
    ASSERT_EQ(render({"--out", path("dry.wav"), "--modulator", mod, "--rate", "11", "--no-dither", "--set",
                      "Mix Level=63", "--press", "Preset 2 Button"})
                  .exit,
              0);
    const Stereo dry = readStereo(path("dry.wav"));
    ASSERT_EQ(dry.left.size(), 173u * 64);
    const double level = 0.001 + 32 / 32.0, mix = 63 / 64.0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double expected = signal[i] * level * (mix * 0.5);
        ASSERT_NEAR(dry.left[i], expected, 1.5) << i; // truncation (up to 1) and the silenced bands
    }
}

// Air: the modulator's top band, taken from the file at its own rate, comes out with the
// sibilance band's gain and in step with it; off, or from a file at the engine's rate, the
// file is what it always was.
TEST_F(QuorvelRender, AirAddsTheFilesTopBandInStepWithTheSibilanceBandAndNothingElse) {
    const double rate = 44100;
    std::vector<std::int16_t> tones(static_cast<std::size_t>(rate));
    for (std::size_t n = 0; n < tones.size(); ++n) {
        double v = 0;
        for (double hz : {4950.0, 5050.0, 7950.0, 8050.0}) v += 2000 * std::sin(2 * std::numbers::pi * hz * double(n) / rate);
        tones[n] = std::int16_t(v);
    }
    const std::string mod = folder.write("tones.wav", wavFile(PcmFormat{1, 1, 44100, 16}, pcm16(tones))).string();
    // With the carrier down the tones come through the sibilance band (and the air band) only.
    const std::vector<std::string> common{"--modulator", mod, "--set", "Sibilance=63", "--set", "Carrier Gain=0"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.end(), common.begin(), common.end());
        return more;
    };
    ASSERT_EQ(render(with({"--out", path("plain.wav")})).exit, 0);
    ASSERT_EQ(render(with({"--out", path("air.wav"), "--air"})).exit, 0);
    const Stereo plain = readStereo(path("plain.wav")), air = readStereo(path("air.wav"));
    ASSERT_EQ(plain.left.size(), air.left.size());
    EXPECT_EQ(air.left, air.right);
    std::vector<float> in(tones.begin(), tones.end()), out(air.left.begin(), air.left.end()),
        before(plain.left.begin(), plain.left.end());
    const auto from = std::size_t(rate / 4), length = std::size_t(rate / 10);
    const double gain = (0.001 + 32 / 32.0) * 63 / 64.0; // modulator level, sibilance gain
    EXPECT_NEAR(std::abs(toneIn(out, rate, 8050, from, length)), 2000 * gain, 2000 * gain * 0.02);
    EXPECT_LT(std::abs(toneIn(before, rate, 8050, from, length)), 2000 * gain * 1e-3);
    const double sibilance = groupDelayFrames(in, from, out, from, rate, 4950, length);
    EXPECT_NEAR(groupDelayFrames(in, from, out, from, rate, 7950, length), sibilance, 2.0)
        << "frames between the sibilance band's top and the air band";

    // Nothing above the engine's band in a file at its rate, nor in a file saved at it.
    const std::string engineRate = modulator();
    ASSERT_EQ(render({"--out", path("a.wav"), "--modulator", engineRate, "--set", "Sibilance=63"}).exit, 0);
    const Rendered noted = render({"--out", path("b.wav"), "--modulator", engineRate, "--set", "Sibilance=63", "--air"});
    ASSERT_EQ(noted.exit, 0);
    EXPECT_NE(noted.err.find("--air adds nothing here"), std::string::npos) << noted.err;
    EXPECT_EQ(readStereo(path("a.wav")).left, readStereo(path("b.wav")).left);
}

TEST_F(QuorvelRender, TheSameSeedRendersTheSameFileAndAnotherSeedAnotherNoise) {
    const std::vector<std::string> noise = {"--blocks",    "100",      "--press", "Noise Carrier Button",
                                            "--rate",      "11",       "--set",   "Mix Level=20",
                                            "--modulator", modulator()};
    auto args = [&](const std::string& out, const std::string& seed) {
        std::vector<std::string> a = noise;
        a.insert(a.end(), {"--out", path(out), "--seed", seed});
        return a;
    };
    ASSERT_EQ(render(args("a.wav", "7")).exit, 0);
    ASSERT_EQ(render(args("b.wav", "7")).exit, 0);
    ASSERT_EQ(render(args("c.wav", "8")).exit, 0);
    EXPECT_EQ(readAll(path("a.wav")), readAll(path("b.wav")));
    EXPECT_NE(readAll(path("a.wav")), readAll(path("c.wav")));
}

TEST_F(QuorvelRender, SettingsGoInFirstAndTheFinalStateComesOut) {
    ASSERT_EQ(render({"--out", path("a.wav"), "--blocks", "4", "--press", "Wide Filter Button", "--press",
                      "Pan Button", "--press", "Preset 1 Button", "--set", "Channel Slider 5=100",
                      "--save-settings", path("first.set")})
                  .exit,
              0);
    ASSERT_EQ(render({"--out", path("b.wav"), "--blocks", "4", "--settings", path("first.set"),
                      "--save-settings", path("second.set")})
                  .exit,
              0);
    EXPECT_EQ(readAll(path("first.set")), readAll(path("second.set")));
    const Bytes text = readAll(path("first.set"));
    const std::string settings(text.begin(), text.end());
    EXPECT_NE(settings.find("\n4 100\n"), std::string::npos); // channel slider 5 as set
    EXPECT_EQ(render({"--out", path("c.wav"), "--blocks", "4", "--settings", path("none.set")}).exit, 1);

    // Saved while recording: the button section (after the 25 sliders) starts with REC, lit.
    std::string recording = settings;
    std::size_t at = 0;
    for (int line = 0; line < 25; ++line) at = recording.find('\n', at) + 1;
    ASSERT_EQ(recording.compare(at, 4, "0 0\n"), 0);
    recording[at + 2] = '1';
    {
        std::ofstream out(path("recording.set"), std::ios::binary);
        out << recording;
    }
    const Rendered lit = render({"--out", path("d.wav"), "--blocks", "4", "--settings", path("recording.set")});
    EXPECT_EQ(lit.exit, 0) << lit.err;
    EXPECT_EQ(readAll(path("d.wav")), readAll(path("b.wav")));
}

TEST_F(QuorvelRender, ACarrierFileAloneSetsTheLengthAndStereoSourcesAreChosenByName) {
    const std::vector<std::int16_t> left = testSignal(64 * 30, 440, 11025);
    const std::vector<std::int16_t> silent(left.size(), 0);
    const std::string carrier =
        folder.write("c.wav", wavFile(PcmFormat{1, 2, 11025, 16}, pcm16(interleave(left, silent)))).string();
    ASSERT_EQ(render({"--out", path("l.wav"), "--carrier", carrier, "--carrier-source", "left", "--rate",
                      "11", "--set", "Mix Level=63"})
                  .exit,
              0);
    EXPECT_EQ(readStereo(path("l.wav")).left.size(), 30u * 64);
}

TEST_F(QuorvelRender, StandardOutputAndAFifoGetTheVeryFileARenderToAFileWrites) {
    const std::string mod = modulator();
    const std::vector<std::int16_t> left = testSignal(64 * 30 + 17, 440, 11025);
    const std::string carrier =
        folder.write("c.wav", wavFile(PcmFormat{1, 2, 11025, 16}, pcm16(interleave(left, left)))).string();
    // Every way the length is decided: by the passes asked for, by the modulator's last
    // block (repeating or not, or at once when it does not play) and by the carrier's.
    const std::vector<std::vector<std::string>> renders{
        {"--blocks", "40", "--rate", "22"},
        {"--modulator", mod},
        {"--modulator", mod, "--repeat-modulator", "--rate", "11"},
        {"--modulator", mod, "--press", "PMod Button"},
        {"--carrier", carrier, "--carrier-source", "left", "--rate", "11"},
    };
    const std::filesystem::path fifo = path("live.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::vector<std::string>& options : renders) {
        std::string shown;
        for (const std::string& option : options) shown += option + " ";
        SCOPED_TRACE(shown);
        auto with = [&](const std::string& out) {
            std::vector<std::string> args = options;
            args.insert(args.end(), {"--quiet", "--out", out});
            return args;
        };
        ASSERT_EQ(render(with(path("file.wav"))).exit, 0);
        const Bytes file = readAll(path("file.wav"));

        const Ran piped = runRenderer(with("-"), path("messages.txt"));
        ASSERT_TRUE(WIFEXITED(piped.status));
        EXPECT_EQ(WEXITSTATUS(piped.status), 0);
        EXPECT_EQ(piped.err, "");
        EXPECT_EQ(piped.out, file);
        ScriptedDialogs dialogs;
        FileBlockList fromPipe, fromFile;
        EXPECT_TRUE(readWavMemory(piped.out, SourceChoice::Right, fromPipe, dialogs));
        EXPECT_TRUE(readWavFile(path("file.wav"), SourceChoice::Right, fromFile, dialogs));
        EXPECT_EQ(samplesOf(fromPipe), samplesOf(fromFile));

        Bytes received;
        std::thread reader([&] { received = readAll(fifo); });
        EXPECT_EQ(render(with(fifo)).exit, 0);
        reader.join();
        EXPECT_EQ(received, file);
        EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    }
}

TEST_F(QuorvelRender, AReaderThatGoesAwayEndsTheRenderWithTheWriteMessageAndStatusOne) {
    const Ran ran = runRenderer({"--blocks", "200000", "--quiet", "--out", "-"}, path("messages.txt"), 1000);
    ASSERT_TRUE(WIFEXITED(ran.status)) << "ended by signal " << WTERMSIG(ran.status);
    EXPECT_EQ(WEXITSTATUS(ran.status), 1);
    EXPECT_EQ(ran.err, "quorvel-render: standard output: Cannot write wave data!\n");
}

} // namespace
