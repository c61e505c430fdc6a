// The sound card's callback must never allocate or take a lock, and it runs every pass of
// the vocoder. This program counts every allocation and every mutex lock made inside a
// callback (AudioThread marks that stretch) while a scripted session presses every button,
// switches every bank and carrier, loads files, records, applies a settings text and saves
// the recording, on a real JACK server and on the internal clock.

#include "core/ControlTable.h"
#include "midi/MidiMapping.h"
#include "session/SettingsFile.h"
#include "rt/AudioThread.h"
#include "LivePump.h"
#include "audio/LiveLoop.h"
#include "files/WavFiles.h"
#include "WavTestSupport.h"
#include "CallbackAllocations.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <numbers>

namespace {

// What the window does with the requests: Load and Save answered from a script after
// their dialogs, LSet with a text of the current settings.
struct ScriptedWindow {
    explicit ScriptedWindow(const TempFolder& f) : folder(f) {}
    void request(LiveEngine& engine, LiveEngine::Request what) {
        if (what == LiveEngine::Request::LoadWav) {
            ScriptedDialogs dialogs;
            dialogs.openAnswers = {folder.path() / "carrier.wav", folder.path() / "modulator.wav"};
            LoadedWavFiles loaded = askForWavFiles(dialogs);
            for (const std::string& m : dialogs.messages) ADD_FAILURE() << m;
            engine.replaceFiles(std::move(loaded.modulator), std::move(loaded.carrier));
        } else if (what == LiveEngine::Request::SaveRecording) {
            const Recording* take = engine.image().take;
            if (!take) return;
            ScriptedDialogs dialogs;
            dialogs.rateAnswers = {SaveRate::Rate44100};
            dialogs.saveAnswers = {folder.path() / "take.wav"};
            engine.keepTake(take);
            saved |= ::saveRecording(take->left, take->right, dialogs);
            engine.keepTake(nullptr);
            for (const std::string& m : dialogs.messages) ADD_FAILURE() << m;
        } else if (what == LiveEngine::Request::LoadSettings) {
            engine.applySettings(settings);
        }
    }
    const TempFolder& folder;
    std::string settings;
    bool saved = false;
};

struct SettingsHooks final : LiveEngine::Hooks {
    void midi(const std::array<std::uint8_t, 3>&, std::uint8_t) override {}
    // MIDI input as the window's hooks take it in the pass: a note and a controller.
    void takeMidiInput() override {
        if (pendingMidi.load() <= 0 || !mapping) return;
        pendingMidi.fetch_sub(1);
        mapping->handleMessage(MidiMessage::of(0x90, std::uint8_t(40 + pendingMidi.load()), 100));
        mapping->handleMessage(MidiMessage::of(0xB0, 7, std::uint8_t(pendingMidi.load())));
        ++midiHandled;
    }
    MidiMapping* mapping = nullptr;
    std::atomic<int> pendingMidi{0};
    std::atomic<int> midiHandled{0};
    void applySettings(VocoderCore& core, CommandDispatcher& dispatcher, std::string_view text) override {
        loadSettingsText(core, dispatcher, text);
        ++applied;
    }
    std::atomic<int> applied{0};
};

void runSession(const std::string& device) {
    TempFolder folder;
    folder.write("carrier.wav", wavFile(PcmFormat{1, 1, 22050, 16}, pcm16(testSignal(22050, 220, 22050))));
    folder.write("modulator.wav", wavFile(PcmFormat{}, pcm16(testSignal(11025 * 2, 300, 11025))));

    VocoderCore core;
    SettingsHooks hooks;
    WakeupSignal wake;
    LiveEngine engine(core, hooks, wake);
    LiveLoop live(engine);
    MidiMapping mapping(core, engine.ownedDispatcher());
    hooks.mapping = &mapping;
    core.midiSlots[0] = MidiAssignment{control::MixLevel, 7};
    ScriptedWindow window(folder);
    window.settings = settingsText(core);
    TestListener listener;
    listener.onRequest = [&](LiveEngine::Request what) { window.request(engine, what); };
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::scan();
    SoundCardChoice choice;
    choice.outputChoice = catalog.outputIndex(device) + 1;
    choice.inputChoice = catalog.inputIndex(device) + 1; // 0: none, for the internal clock
    choice.bufferSlider = 1;
    choice.sixteenBit = true;
    ASSERT_GT(choice.outputChoice, 0) << device << " is not offered";
    WaveDuplex duplex(choice, catalog, [](const std::string& m) { ADD_FAILURE() << m; });
    // The air band too, where the device carries one (JACK at 48 kHz: both directions in
    // one stream, converted).
    duplex.setAir(true);
    if (device.rfind("JACK", 0) == 0 &&
        AudioStream::rateFor(catalog.outputs()[std::size_t(choice.outputChoice - 1)]) != kEngineRate) {
        EXPECT_NE(duplex.air(), nullptr);
    }
    live.attach(&duplex);
    engine.setAudioOwnsCore(true);
    duplex.start();

    auto play = [&](int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until)
            if (wake.wait(5)) {
                wake.drain();
                engine.service(listener);
            }
    };
    auto press = [&](ControlId id) {
        engine.press(commandIdOf(id));
        play(15);
    };
    const long allocationsBefore = allocationsInCallback.load();
    const long locksBefore = locksInCallback.load();
    play(100);
    press(control::Load);
    press(control::PlayCarrier);
    press(control::PlayModulator);
    press(control::Rec);
    for (ControlId id = kFirstButtonControl; id <= 83; ++id) {
        if (id == control::Load || id == control::Save || id == control::Rec) continue;
        press(id);
    }
    for (ControlId bank = control::LevelBank; bank <= control::WarpBank; ++bank) {
        engine.press(commandIdOf(bank));
        press(control::Randomize);
        for (int k = 0; k < kChannelSliderCount; k += 5) engine.moveSlider(k, 20 * k % 128, SlaveMode::Tilt);
    }
    press(control::Rec); // a new take, recorded while the session goes on
    hooks.pendingMidi = 20;
    play(100);
    press(control::Save);
    play(100);
    duplex.close();
    engine.setAudioOwnsCore(false);

    EXPECT_TRUE(window.saved);
    EXPECT_EQ(hooks.applied.load(), 1);
    EXPECT_EQ(hooks.midiHandled.load(), 20);
    EXPECT_GT(live.passes(), 200u);
    EXPECT_EQ(engine.overflows(), 0u);
    EXPECT_EQ(allocationsInCallback.load() - allocationsBefore, 0) << "allocations in the sound card's callback";
    EXPECT_EQ(locksInCallback.load() - locksBefore, 0) << "locks taken in the sound card's callback";
}

TEST(RealTimeSafety, TheCallbackNeitherAllocatesNorLocksOnJack) { runSession("JACK: system"); }

TEST(RealTimeSafety, TheInternalClockNeitherAllocatesNorLocks) {
    runSession(AudioDeviceCatalog::kInternalClockName);
}

TEST(RealTimeSafety, TheCountersSeeWhatHappensInsideACallback) {
    const long before = allocationsInCallback.load();
    {
        const AudioThread::Scope pretend;
        // Through a pointer the compiler cannot see through: a malloc freed at once may
        // otherwise be left out altogether.
        void* (*volatile allocate)(std::size_t) = std::malloc;
        std::free(allocate(16));
    }
    EXPECT_EQ(allocationsInCallback.load() - before, 1);
}

} // namespace
