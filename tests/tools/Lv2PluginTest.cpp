// The LV2 plugin hosted as a DAW hosts it: found by lilv from the bundle in the build tree,
// instantiated at the host's rate, its ports connected and run() called with the block
// lengths hosts use. Compared with the command-line renderer, with itself at other block
// lengths and rates, and through a state saved to text and restored into a fresh instance.

#include "ToneMeasure.h"
#include "WavTestSupport.h"
#if QUORVEL_COUNTS_ALLOCATIONS
#include "CallbackAllocations.h"
#include "rt/AudioThread.h"
#endif

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Signal = std::vector<float>;

// The host's URIDs, shared by every instance as in a real host.
struct Uris {
    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> names;
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto* self = static_cast<Uris*>(handle);
        auto [it, added] = self->ids.try_emplace(uri, LV2_URID(self->names.size() + 1));
        if (added) self->names.push_back(uri);
        return it->second;
    }
    static const char* unmap(LV2_URID_Unmap_Handle handle, LV2_URID id) {
        auto* self = static_cast<Uris*>(handle);
        return id >= 1 && id <= self->names.size() ? self->names[id - 1].c_str() : nullptr;
    }
    LV2_URID_Map mapFeature{this, map};
    LV2_URID_Unmap unmapFeature{this, unmap};
    LV2_Feature mapper{LV2_URID__map, &mapFeature};
    LV2_Feature unmapper{LV2_URID__unmap, &unmapFeature};
    const LV2_Feature* features[3]{&mapper, &unmapper, nullptr};
};

Uris& uris() {
    static Uris u;
    return u;
}

LilvWorld* world() {
    static LilvWorld* w = [] {
        LilvWorld* made = lilv_world_new();
        lilv_world_load_all(made); // LV2_PATH names the build tree's bundle
        return made;
    }();
    return w;
}

const LilvPlugin* quorvelPlugin() {
    LilvNode* uri = lilv_new_uri(world(), "urn:quorvel:vocoder");
    const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world()), uri);
    lilv_node_free(uri);
    return p;
}

class Instance {
public:
    explicit Instance(double rate) : rate_(rate) {
        const LilvPlugin* p = quorvelPlugin();
        if (!p) throw std::runtime_error("urn:quorvel:vocoder is not found on LV2_PATH");
        instance_ = lilv_plugin_instantiate(p, rate, uris().features);
        if (!instance_) throw std::runtime_error("the plugin refused to instantiate");
        const std::uint32_t ports = lilv_plugin_get_num_ports(p);
        values_.assign(ports, 0.0f);
        std::vector<float> defaults(ports);
        lilv_plugin_get_port_ranges_float(p, nullptr, nullptr, defaults.data());
        for (std::uint32_t i = 0; i < ports; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(p, i);
            symbols_[lilv_node_as_string(lilv_port_get_symbol(p, port))] = i;
            if (!std::isnan(defaults[i])) values_[i] = defaults[i];
            if (i >= 6 || i == 5) lilv_instance_connect_port(instance_, i, &values_[i]);
        }
        sequenceType_ = Uris::map(&uris(), LV2_ATOM__Sequence);
        midiType_ = Uris::map(&uris(), LV2_MIDI__MidiEvent);
        midi_.resize(4096);
        clearMidi();
        lilv_instance_connect_port(instance_, 4, midi_.data());
        lilv_instance_activate(instance_);
    }
    ~Instance() {
        lilv_instance_deactivate(instance_);
        lilv_instance_free(instance_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    double rate() const { return rate_; }
    void set(const std::string& symbol, float value) { values_.at(symbols_.at(symbol)) = value; }
    float latency() const { return values_[5]; }

    // A MIDI message at `frame` of the next run.
    void midi(std::int64_t frame, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
        struct {
            LV2_Atom_Event event;
            std::uint8_t bytes[3];
        } e{};
        e.event.time.frames = frame;
        e.event.body.size = 3;
        e.event.body.type = midiType_;
        e.bytes[0] = a, e.bytes[1] = b, e.bytes[2] = c;
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(midi_.data());
        ASSERT_NE(lv2_atom_sequence_append_event(sequence, std::uint32_t(midi_.size() * 8 - sizeof(LV2_Atom)),
                                                 &e.event),
                  nullptr);
    }

    // Runs the plugin over the whole of both inputs in calls of `block` frames.
    std::pair<Signal, Signal> process(const Signal& left, const Signal& right, std::size_t block) {
        Signal outLeft(left.size()), outRight(left.size());
        for (std::size_t at = 0; at < left.size(); at += block) runOnce(left, right, outLeft, outRight, at,
                                                                         std::min(block, left.size() - at));
        return {outLeft, outRight};
    }

    void runOnce(const Signal& l, const Signal& r, Signal& ol, Signal& orr, std::size_t at, std::size_t n) {
        lilv_instance_connect_port(instance_, 0, const_cast<float*>(l.data() + at));
        lilv_instance_connect_port(instance_, 1, const_cast<float*>(r.data() + at));
        lilv_instance_connect_port(instance_, 2, ol.data() + at);
        lilv_instance_connect_port(instance_, 3, orr.data() + at);
        lilv_instance_run(instance_, std::uint32_t(n));
        clearMidi();
    }

    // The state as a host writes it into its project: saved, then Turtle text.
    std::string saveState() {
        LilvState* state = lilv_state_new_from_instance(quorvelPlugin(), instance_, &uris().mapFeature, nullptr, nullptr,
                                                        nullptr, nullptr, portValue, this, 0, nullptr);
        char* text = lilv_state_to_string(world(), &uris().mapFeature, &uris().unmapFeature, state,
                                          "urn:quorvel:test-state", nullptr);
        std::string saved = text;
        lilv_free(text);
        lilv_state_free(state);
        return saved;
    }
    void restoreState(const std::string& text) {
        LilvState* state = lilv_state_new_from_string(world(), &uris().mapFeature, text.c_str());
        ASSERT_NE(state, nullptr);
        lilv_state_restore(state, instance_, setPortValue, this, 0, uris().features);
        lilv_state_free(state);
    }

private:
    void clearMidi() {
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(midi_.data());
        sequence->atom.type = sequenceType_;
        lv2_atom_sequence_clear(sequence);
    }
    static const void* portValue(const char* symbol, void* self, std::uint32_t* size, std::uint32_t* type) {
        auto* me = static_cast<Instance*>(self);
        *size = sizeof(float);
        *type = Uris::map(&uris(), LV2_ATOM__Float);
        return &me->values_.at(me->symbols_.at(symbol));
    }
    static void setPortValue(const char* symbol, void* self, const void* value, std::uint32_t, std::uint32_t) {
        auto* me = static_cast<Instance*>(self);
        me->values_.at(me->symbols_.at(symbol)) = *static_cast<const float*>(value);
    }

    double rate_;
    LilvInstance* instance_ = nullptr;
    std::vector<float> values_;
    std::map<std::string, std::uint32_t> symbols_;
    std::vector<std::uint64_t> midi_; // 8-byte aligned, as atoms want
    LV2_URID sequenceType_ = 0, midiType_ = 0;
};

// A buzzing vowel-like sound: harmonics of 140 Hz (or `pitch`) up to the engine's band, swelling three
// times a second, at any rate, so that every channel has something to follow.
Signal voice(double rate, double seconds, double level = 0.25, double pitch = 140) {
    Signal s(static_cast<std::size_t>(rate * seconds));
    for (std::size_t n = 0; n < s.size(); ++n) {
        const double t = double(n) / rate;
        double v = 0;
        for (int k = 1; k * pitch < 5000; ++k) v += std::sin(2 * std::numbers::pi * pitch * k * t) / k;
        s[n] = float(level * (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 3 * t)) * v / 2);
    }
    return s;
}

// A steady hiss with no pitch of its own, so that the output's pitch is the carrier's:
// many sines at scattered frequencies in the engine's band, the same at any rate.
Signal hiss(double rate, double seconds, double level = 0.02) {
    Signal s(static_cast<std::size_t>(rate * seconds));
    std::uint32_t state = 12345;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 24);
    };
    for (int k = 0; k < 120; ++k) {
        const double w = 2 * std::numbers::pi * (100 + 4900 * next()) / rate, phase = 2 * std::numbers::pi * next();
        for (std::size_t n = 0; n < s.size(); ++n) s[n] += float(level * std::sin(w * double(n) + phase));
    }
    return s;
}

double rms(const Signal& s, std::size_t from = 0) {
    double sum = 0;
    for (std::size_t i = from; i < s.size(); ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(std::max<std::size_t>(1, s.size() - from)));
}

// The repetition frequency of a stretch of output: the first lag whose normalised
// autocorrelation comes within 10% of the best between 60 and 1000 Hz.
double pitchOf(const Signal& s, double rate, std::size_t from, std::size_t length) {
    const auto lo = std::size_t(rate / 1000), hi = std::size_t(rate / 60);
    std::vector<double> r(hi + 1, 0.0);
    double best = 0;
    for (std::size_t lag = lo; lag <= hi; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = from; i < from + length; ++i) {
            xy += double(s[i]) * s[i + lag];
            xx += double(s[i]) * s[i];
            yy += double(s[i + lag]) * s[i + lag];
        }
        r[lag] = xy / std::sqrt(xx * yy + 1e-30);
        best = std::max(best, r[lag]);
    }
    for (std::size_t lag = lo + 1; lag < hi; ++lag)
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) return rate / double(lag);
    return 0;
}

// A WAV file of 32-bit float or 16-bit samples, interleaved, as lv2apply reads and writes it.
std::vector<float> readWav(const std::filesystem::path& path, int& channels) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u16 = [&](std::size_t at) { return std::uint16_t(std::uint8_t(bytes[at]) | std::uint8_t(bytes[at + 1]) << 8); };
    auto u32 = [&](std::size_t at) { return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16; };
    int bits = 0, tag = 0;
    std::vector<float> samples;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.data() + at, 4);
        const std::uint32_t size = u32(at + 4);
        if (id == "fmt ") {
            tag = u16(at + 8);
            channels = u16(at + 10);
            bits = u16(at + 22);
            if (tag == 0xFFFE) tag = u16(at + 32);
        } else if (id == "data") {
            const std::size_t width = std::size_t(bits / 8);
            for (std::size_t i = at + 8; i + width <= at + 8 + size && i + width <= bytes.size(); i += width) {
                if (tag == 3) {
                    float f;
                    std::memcpy(&f, bytes.data() + i, 4);
                    samples.push_back(f);
                } else {
                    samples.push_back(float(std::int16_t(u16(i))));
                }
            }
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

void writeFloatWav(const std::filesystem::path& path, const Signal& left, const Signal& right, std::uint32_t rate) {
    Bytes data;
    for (std::size_t i = 0; i < left.size(); ++i)
        for (float f : {left[i], right[i]}) {
            std::uint8_t b[4];
            std::memcpy(b, &f, 4);
            data.insert(data.end(), b, b + 4);
        }
    const Bytes file = wavFile(PcmFormat{3, 2, rate, 32}, data);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

Signal fromSamples(const std::vector<std::int16_t>& s) {
    Signal f(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) f[i] = float(s[i]) / 32768.0f;
    return f;
}

std::vector<std::int16_t> toSamples(const Signal& s) {
    std::vector<std::int16_t> out(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) out[i] = std::int16_t(std::lround(s[i] * 32768.0f));
    return out;
}

// The voice and carrier signals of the comparisons with the renderer, as 16-bit values.
std::vector<std::int16_t> modulatorSamples() { return toSamples(voice(11025, 3.0, 0.3)); }
std::vector<std::int16_t> carrierSamples() {
    std::vector<std::int16_t> c = testSignal(11025 * 3, 220, 11025, 7000);
    const std::vector<std::int16_t> more = testSignal(11025 * 3, 555, 11025, 4000);
    for (std::size_t i = 0; i < c.size(); ++i) c[i] = std::int16_t(c[i] + more[i]);
    return c;
}

// What quorvel-render makes of the same two signals, in 16-bit units, left and right.
std::vector<float> renderedByTheRenderer(const TempFolder& folder) {
    folder.write("modulator.wav", wavFile(PcmFormat{}, pcm16(modulatorSamples())));
    folder.write("carrier.wav", wavFile(PcmFormat{}, pcm16(carrierSamples())));
    const std::filesystem::path out = folder.path() / "rendered.wav";
    const std::string command = std::string("'") + QUORVEL_RENDER + "' --quiet --rate 11 --modulator '" +
                                (folder.path() / "modulator.wav").string() + "' --carrier '" +
                                (folder.path() / "carrier.wav").string() +
                                "' --press 'L/R Input Mode Button' --press 'External Carrier Button' --out '" +
                                out.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    int channels = 0;
    std::vector<float> rendered = readWav(out, channels);
    EXPECT_EQ(channels, 2);
    return rendered;
}

void pressLeftRightExternal(Instance& plugin) {
    plugin.set("l_r_input_mode_button", 1);
    plugin.set("external_carrier_button", 1);
}

// Left and right of the plugin's output, `latency` frames on, against the renderer's
// interleaved 16-bit samples: every sample the same.
void expectSameAsRendered(const Signal& left, const Signal& right, std::size_t latency,
                          const std::vector<float>& rendered, double scale) {
    const std::size_t frames = std::min(rendered.size() / 2, left.size() - latency);
    ASSERT_GT(frames, 11025u);
    std::size_t differing = 0, first = frames;
    for (std::size_t i = 0; i < frames; ++i) {
        const bool same = float(left[i + latency] * scale) == rendered[2 * i] &&
                          float(right[i + latency] * scale) == rendered[2 * i + 1];
        if (!same && differing++ == 0) first = i;
    }
    EXPECT_EQ(differing, 0u) << "first at frame " << first << " of " << frames;
}

TEST(Lv2Plugin, AtTheEngineRateGivesTheRenderersOutputSampleForSampleAfterItsLatency) {
    TempFolder folder;
    const std::vector<float> rendered = renderedByTheRenderer(folder);
    Instance plugin(11025);
    pressLeftRightExternal(plugin);
    const auto [left, right] = plugin.process(fromSamples(modulatorSamples()), fromSamples(carrierSamples()), 17);
    EXPECT_EQ(plugin.latency(), 64.0f);
    expectSameAsRendered(left, right, 64, rendered, 32768.0);
}

TEST(Lv2Plugin, ThroughLv2applyOneFrameARunGivesTheRenderersOutputToo) {
#if QUORVEL_SANITIZED
    GTEST_SKIP() << "lv2apply cannot load a module built with the sanitizers' runtime";
#endif
    TempFolder folder;
    const std::vector<float> rendered = renderedByTheRenderer(folder);
    writeFloatWav(folder.path() / "in.wav", fromSamples(modulatorSamples()), fromSamples(carrierSamples()), 11025);
    const std::string command = "lv2apply -i '" + (folder.path() / "in.wav").string() + "' -o '" +
                                (folder.path() / "out.wav").string() +
                                "' -c l_r_input_mode_button 1 -c external_carrier_button 1 urn:quorvel:vocoder";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    int channels = 0;
    const std::vector<float> out = readWav(folder.path() / "out.wav", channels);
    ASSERT_EQ(channels, 2);
    Signal left(out.size() / 2), right(out.size() / 2);
    for (std::size_t i = 0; i < left.size(); ++i) left[i] = out[2 * i], right[i] = out[2 * i + 1];
    expectSameAsRendered(left, right, 64, rendered, 32768.0);
}

// Every length a host may call with, including one frame and lengths that change from call
// to call, makes the same output at each rate.
TEST(Lv2Plugin, GivesTheSameOutputWhateverTheBlockLengthAtEveryRate) {
    for (double rate : {11025.0, 44100.0, 48000.0, 88200.0, 96000.0}) {
        SCOPED_TRACE(rate);
        const Signal in = voice(rate, 0.6);
        std::pair<Signal, Signal> first;
        for (std::size_t block : {4096u, 1u, 17u, 64u}) {
            Instance plugin(rate);
            plugin.set("l_r_input_mode_button", 1);
            plugin.set("wide_filter_button", 1);
            const auto out = plugin.process(in, in, block);
            if (block == 4096) {
                first = out;
                EXPECT_GT(rms(out.first, out.first.size() / 2), 0.01);
                continue;
            }
            EXPECT_TRUE(out == first) << "calls of " << block << " frames";
        }
    }
}

TEST(Lv2Plugin, AtTheDeviceRatesSoundsAsLoudAtTheSamePitchAndReportsItsDelayTruly) {
    Instance engineRate(11025);
    engineRate.set("l_r_input_mode_button", 1);
    const auto [slow, slowRight] = engineRate.process(hiss(11025, 1.5), hiss(11025, 1.5), 256);
    const double slowPitch = pitchOf(slow, 11025, 8000, 2048);
    ASSERT_GT(slowPitch, 0);
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(rate);
        Instance plugin(rate);
        plugin.set("l_r_input_mode_button", 1);
        const Signal in = hiss(rate, 1.5);
        const auto [out, outRight] = plugin.process(in, in, 512);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v); }));
        const std::size_t half = out.size() / 2;
        const double level = 20 * std::log10(rms(out, half) / rms(slow, slow.size() / 2));
        EXPECT_NEAR(level, 0.0, 1.0) << "dB against 11025 Hz";
        EXPECT_NEAR(pitchOf(out, rate, std::size_t(rate * 0.75), std::size_t(rate * 0.19)), slowPitch,
                    slowPitch * 0.02);
    }
    // The delay: with the carrier at the right input, everything the output holds has come
    // through the converters. Each output taken back by its own reported latency lines up
    // with the other: the best match between them lies within two frames of there.
    Instance reference(11025);
    pressLeftRightExternal(reference);
    const Signal slowExternal =
        reference.process(voice(11025, 1.5), voice(11025, 1.5, 0.25, 97), 256).first;
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(rate);
        Instance plugin(rate);
        pressLeftRightExternal(plugin);
        const Signal out = plugin.process(voice(rate, 1.5), voice(rate, 1.5, 0.25, 97), 512).first;
        const std::size_t half = out.size() / 2;
        const double ratio = rate / 11025, latency = plugin.latency();
        auto slowAt = [&](double frame) { // the 11025 Hz output between its samples
            const double x = frame / ratio + reference.latency();
            const auto i = std::size_t(x);
            return slowExternal[i] + (x - double(i)) * (slowExternal[i + 1] - slowExternal[i]);
        };
        int bestShift = 0;
        double best = -1;
        for (int shift = -100; shift <= 100; ++shift) {
            double xy = 0, xx = 0, yy = 0;
            for (std::size_t n = half; n < half + std::size_t(rate * 0.2); ++n) {
                const double a = out[std::size_t(std::ptrdiff_t(n + std::size_t(latency)) + shift)];
                const double b = slowAt(double(n));
                xy += a * b, xx += a * a, yy += b * b;
            }
            const double c = xy / std::sqrt(xx * yy);
            if (c > best) best = c, bestShift = shift;
        }
        EXPECT_GT(best, 0.8);
        EXPECT_LE(std::abs(bestShift), 2) << "frames off the reported latency of " << latency;
    }
}

TEST(Lv2Plugin, AMidiNoteMovesThePitchAndTheSideChainCarriesTheExternalCarrier) {
    const Signal in = hiss(48000, 1.0);
    Instance plugin(48000);
    plugin.set("l_r_input_mode_button", 1);
    plugin.midi(0, 0x90, 60, 100);
    auto low = plugin.process(in, in, 1024).first;
    plugin.midi(0, 0x90, 72, 100);
    auto high = plugin.process(in, in, 1024).first;
    const double lowPitch = pitchOf(low, 48000, 24000, 8000), highPitch = pitchOf(high, 48000, 24000, 8000);
    ASSERT_GT(highPitch, 0);
    EXPECT_NEAR(highPitch / lowPitch, 2.0, 0.05) << lowPitch << " Hz then " << highPitch << " Hz";

    const Signal voiced = voice(48000, 1.0), carrier = voice(48000, 1.0, 0.2, 97), silence(in.size(), 0.0f);
    Instance withCarrier(48000), withoutCarrier(48000);
    for (Instance* p : {&withCarrier, &withoutCarrier}) pressLeftRightExternal(*p);
    const double carried = rms(withCarrier.process(voiced, carrier, 256).first, 24000);
    const double none = rms(withoutCarrier.process(voiced, silence, 256).first, 24000);
    EXPECT_GT(carried, 0.001);
    EXPECT_LT(none, carried / 100) << "the right input is the carrier";
}

TEST(Lv2Plugin, AStateSavedAsTextRestoresTheSameSoundInAFreshInstance) {
    const Signal in = voice(44100, 0.8);
    auto configure = [](Instance& p) {
        p.set("l_r_input_mode_button", 1);
        p.set("wide_filter_button", 1);
        p.set("sibilance", 30);
        p.set("eq_button", 1);
        p.set("pan_button", 1);
        p.set("channel_slider_3", 20);
        p.set("invert_spectrum_button", 1);
        p.set("swap_spectrum_button", 1); // the routing, which only the state keeps
    };
    Instance original(44100);
    configure(original);
    original.process(in, in, 512);
    const std::string state = original.saveState();
    EXPECT_NE(state.find("urn:quorvel:vocoder#settings"), std::string::npos);

    Instance restored(44100), fresh(44100), played(44100);
    restored.restoreState(state);
    configure(played);
    const Signal fromState = restored.process(in, in, 512).first;
    const Signal fromPorts = played.process(in, in, 512).first;
    const Signal untouched = fresh.process(in, in, 512).first;
    double difference = 0, apart = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        difference = std::max(difference, double(std::fabs(fromState[i] - fromPorts[i])));
        apart = std::max(apart, double(std::fabs(untouched[i] - fromPorts[i])));
    }
    // The two may differ only by the random numbers the presses drew (the dither).
    EXPECT_LE(difference, 2.0 / 32768) << "the restored instance sounds as the one set by hand";
    EXPECT_GT(apart, 0.01) << "and both sound unlike a fresh one";
}

TEST(Lv2Plugin, AirAddsTheVoicesTopBandInStepWithTheSibilanceBandAndNothingAtTheEngineRate) {
    // Tone pairs where the sibilance band ends and in the air above it; with the carrier
    // turned down they reach the output only through those two bands.
    auto tones = [](double rate) {
        Signal s(static_cast<std::size_t>(rate));
        for (std::size_t n = 0; n < s.size(); ++n)
            for (double hz : {4950.0, 5050.0, 7950.0, 8050.0})
                s[n] += float(0.05 * std::sin(2 * std::numbers::pi * hz * double(n) / rate));
        return s;
    };
    for (double rate : {11025.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(rate);
        const Signal in = tones(rate);
        Instance plain(rate), aired(rate);
        for (Instance* p : {&plain, &aired}) {
            p->set("l_r_input_mode_button", 1);
            p->set("sibilance", 63);
            p->set("carrier_gain", 0);
        }
        aired.set("air", 1);
        const Signal without = plain.process(in, in, 300).first, with = aired.process(in, in, 300).first;
        if (rate == 11025) {
            EXPECT_TRUE(with == without) << "no room above the engine's band at its own rate";
            continue;
        }
        const auto from = std::size_t(rate / 2), length = std::size_t(rate / 10);
        const double gain = (0.001 + 32 / 32.0) * 63 / 64.0; // modulator level, sibilance gain
        EXPECT_NEAR(std::abs(toneIn(with, rate, 8050, from, length)), 0.05 * gain, 0.05 * gain * 0.02)
            << "the top band with the sibilance band's gain";
        EXPECT_LT(std::abs(toneIn(without, rate, 8050, from, length)), 0.05 * gain * 1e-3) << "nothing there without";
        const double sibilance = groupDelayFrames(in, from, with, from, rate, 4950, length);
        const double air = groupDelayFrames(in, from, with, from, rate, 7950, length);
        EXPECT_NEAR(air, sibilance, 2.0) << "frames between the sibilance band's top and the air band";
    }
}

#if QUORVEL_COUNTS_ALLOCATIONS
TEST(Lv2Plugin, RunAllocatesNothingAndTakesNoLockWhileEveryPortAndMidiMessageActs) {
    for (double rate : {11025.0, 48000.0}) {
        Instance plugin(rate);
        const Signal in = voice(rate, 0.1);
        Signal outLeft(in.size()), outRight(in.size());
        const LilvPlugin* p = quorvelPlugin();
        const long allocationsBefore = allocationsInCallback.load(), locksBefore = locksInCallback.load();
        for (std::uint32_t port = 6; port < lilv_plugin_get_num_ports(p); ++port) {
            const std::string symbol =
                lilv_node_as_string(lilv_port_get_symbol(p, lilv_plugin_get_port_by_index(p, port)));
            for (float value : {1.0f, 0.0f, 77.0f, 3.0f}) {
                plugin.set(symbol, value);
                plugin.midi(3, 0x90, std::uint8_t(40 + port % 40), 90);
                plugin.midi(5, 0xB0, std::uint8_t(port % 120), std::uint8_t(value));
                AudioThread::Scope callback;
                plugin.runOnce(in, in, outLeft, outRight, 0, std::min<std::size_t>(in.size(), 300));
            }
        }
        EXPECT_EQ(allocationsInCallback.load() - allocationsBefore, 0) << "allocations in run() at " << rate;
        EXPECT_EQ(locksInCallback.load() - locksBefore, 0) << "locks in run() at " << rate;
    }
}
#endif

} // namespace
