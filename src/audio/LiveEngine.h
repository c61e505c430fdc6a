#pragma once

#include "core/BlockEvents.h"
#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/CommandHost.h"
#include "core/MidiAssignment.h"
#include "core/SlaveMode.h"
#include "core/VocoderCore.h"
#include "engine/FileBlock.h"
#include "rt/SpscQueue.h"
#include "rt/TripleBuffer.h"
#include "rt/WakeupSignal.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the panel shows of a core: every control value, the banks, routing and MIDI table,
// and what the last pass measured. A plain copy, so that the window can paint, save
// settings and echo MIDI from it while the core itself plays on another thread.
struct PanelImage {
    ControlModel controls;
    ControlState state;
    std::array<SliderBank, kBankCount> banks;
    std::array<int, kChannels> delayPositions{};
    std::array<int, kChannels> etimePositions{};
    ChannelMap channelMap{};
    std::array<MidiAssignment, kMidiSlotCount> midiSlots{};
    int midiInChannel = 0;
    int midiOutChannel = -1;
    // How many passes overloaded each lamp's signal so far (carrier, modulator, left, right):
    // a lamp lights for any overload since the window last looked.
    std::array<std::uint64_t, 4> overloadCounts{};
    std::array<double, kChannels> spectrum{};
    std::uint64_t spectrumCount = 0; // moves every time the display is due
    std::uint64_t passes = 0;
    std::uint64_t commandsApplied = 0; // of those the window posted, in order
    Recording* take = nullptr; // the core's recording when this was made

    void capture(const VocoderCore& core);
    // The control parts back into a core (the window's copy of what it shows).
    void copyTo(VocoderCore& core) const;
};

// The one place the window and the block loop meet. The core belongs to the audio thread
// while a device runs passes and to the window otherwise; either way every change the
// window makes goes through here as a command, applied at the start of the next pass in
// the order it was made (at once while the window owns the core). What the passes have to
// say goes the other way: a PanelImage after every pass, and events (dialogs the commands
// ask for, MIDI echo, messages, what the window must free). Nothing the audio side does
// here allocates, locks or blocks: files, settings texts and new takes arrive made, and
// whatever they replace goes back to the window to be freed.
class LiveEngine final : private CommandHost, private BlockEvents, private RecordingSupply {
public:
    // What the layers above do for a pass: the MIDI mapping and applying a settings text.
    // Thread: owner (whichever holds the core: the audio thread while a device runs).
    class Hooks {
    public:
        virtual ~Hooks() = default;
        virtual void midi(const std::array<std::uint8_t, 3>& bytes, std::uint8_t size) = 0;
        // At the start of every pass on the audio thread: the MIDI input waiting in its
        // lock-free queue, taken there so that no stall of the window delays a note.
        virtual void takeMidiInput() {}
        virtual void applySettings(VocoderCore& core, CommandDispatcher& dispatcher, std::string_view text) = 0;
    };

    // The dialogs and actions of the window the commands ask for.
    enum class Request : std::uint8_t {
        LoadWav,
        SaveRecording,
        LoadSettings,
        SaveSettings,
        Help,
        DisplayMode,
        MidiSettings,
        AudioSettings,
        RoutingChanged,
    };

    // Thread: window. What service() hands on, in the order the passes raised it.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void request(Request what) = 0;
        virtual void sendControl(int controller, int value) = 0;
        virtual void message(std::string_view text) = 0;
    };

    // Thread: window.
    LiveEngine(VocoderCore& core, Hooks& hooks, WakeupSignal& wake);
    ~LiveEngine() override;
    LiveEngine(const LiveEngine&) = delete;
    LiveEngine& operator=(const LiveEngine&) = delete;

    // Thread: window. Commands, applied in order.
    void press(int commandId);
    void doubleClick(int commandId);
    void moveSlider(int index, int position, SlaveMode mode);
    void setChannelMap(const ChannelMap& map);
    void midi(const std::array<std::uint8_t, 3>& bytes, std::uint8_t size);
    // Replaces the files that hold a value (LoadedWavFiles' meaning).
    void replaceFiles(std::optional<FileBlockList> modulator, std::optional<FileBlockList> carrier);
    void applySettings(std::string text);
    void setMidiTable(const std::array<MidiAssignment, kMidiSlotCount>& slots, int inChannel, int outChannel);
    // Whether the MIDI echo has somewhere to go.
    void setEchoReady(bool ready) { echoReady_.store(ready, std::memory_order_relaxed); }

    // Thread: window (while no device runs passes: before start, after stop). Who applies
    // the commands. While the window owns the core, every command is applied at once.
    void setAudioOwnsCore(bool audio);
    bool audioOwnsCore() const { return audioOwns_; }
    // Thread: window (while it owns the core). The core and dispatcher, for start-up and the
    // session file. Changes made here are shown at the next service().
    VocoderCore& ownedCore();
    CommandDispatcher& ownedDispatcher();
    const BlockLoop& blockLoop() const { return loop_; }

    // Thread: window. Takes the newest image (true when there was one) and hands the
    // waiting events to `listener`; frees what the passes gave back and makes the takes
    // the next passes will need. A listener that runs a dialog may call service() again
    // from inside it: events then wait for the outer call.
    bool service(Listener& listener);
    const PanelImage& image() const { return images_.front(); }
    // Thread: window. Whether the newest image already shows every command posted so far
    // (a panel that predicts its own slider moves keeps them until it does).
    bool imageIsCurrent() const { return images_.front().commandsApplied == posted_; }
    // Thread: window. A take the window reads (a save) is not freed while it does, even if
    // a new take replaces it meanwhile; null lets go.
    void keepTake(const Recording* take) { keptTake_ = take; }

    // Thread: audio (the owner of the core). One pass: the commands waiting, the engine
    // parameters, then `run` the block, then the image and events out.
    void beginPass() noexcept;
    BlockLoop& loop() noexcept { return loop_; }
    void endPass() noexcept;

    // Thread: audio (after endPass). The air band's gain for the pass just made (0 while a
    // file is the modulator: the input is not the voice then) and the input channel that
    // is the modulator (0 left, 1 right).
    float airGain() const noexcept { return airGain_; }
    int airChannel() const noexcept { return airChannel_; }

    // Thread: any.
    std::uint64_t passes() const { return passes_.load(std::memory_order_relaxed); }
    // Commands or events that found their queue full and were lost.
    std::uint64_t overflows() const { return overflows_.load(std::memory_order_relaxed); }

private:
    struct Parcel;
    struct Command {
        enum class Kind : std::uint8_t { Press, DoubleClick, Slider, Map, Midi, Files, Settings, MidiTable };
        Kind kind = Kind::Press;
        int a = 0, b = 0, c = 0;
        std::array<std::uint8_t, 3> bytes{};
        Parcel* parcel = nullptr;
        ChannelMap map{};
        std::array<MidiAssignment, kMidiSlotCount> slots{};
    };
    struct Event {
        enum class Kind : std::uint8_t { Request, SendControl, Message, Retire, RetireTake };
        Kind kind = Kind::Request;
        Request request = Request::LoadWav;
        int a = 0, b = 0;
        Parcel* parcel = nullptr;
        Recording* take = nullptr;
        std::array<char, 120> text{};
    };

    void post(const Command& command);
    // Thread: owner (of the core).
    void applyCommands() noexcept;
    void apply(Command& command) noexcept;
    void raise(const Event& event) noexcept;
    // The image and the pass's events out; `always` makes an image even when nothing the
    // window shows has changed.
    void publish(bool always) noexcept;
    // Thread: window.
    void applyHere();
    void topUpTakes();
    void freeRetired();

    // CommandHost, BlockEvents, RecordingSupply: called inside a pass.
    void pauseOutput() override {}
    void resumeOutput() override {}
    void loadWavFiles() override { request(Request::LoadWav); }
    void saveRecording() override { request(Request::SaveRecording); }
    void loadSettings() override { request(Request::LoadSettings); }
    void saveSettings() override { request(Request::SaveSettings); }
    void openHelp() override { request(Request::Help); }
    void toggleDisplayMode() override { request(Request::DisplayMode); }
    void configureMidi() override { request(Request::MidiSettings); }
    void reopenAudio() override { request(Request::AudioSettings); }
    void channelMapChanged() override { request(Request::RoutingChanged); }
    bool midiEchoReady() override { return echoReady_.load(std::memory_order_relaxed); }
    void sendControl(int controller, int value) override;
    void showMessage(std::string_view text) override;
    void spectrumDue(const std::array<double, kChannels>& values) override;
    std::unique_ptr<Recording> freshTake() noexcept override;
    void retireTake(std::unique_ptr<Recording> take) noexcept override;
    void request(Request what) noexcept;

    VocoderCore& core_;
    Hooks& hooks_;
    WakeupSignal& wake_;
    CommandDispatcher dispatcher_{core_, *this};
    BlockLoop loop_{core_, *this};
    bool audioOwns_ = false;
    std::atomic<bool> echoReady_{false};

    SpscQueue<Command, 256> commands_;
    SpscQueue<Event, 1024> events_;
    SpscQueue<Recording*, 4> spareTakes_;
    TripleBuffer<PanelImage> images_;

    // Owner of the core: what this pass raised, sent after its image.
    std::array<Event, 256> raised_{};
    std::array<std::uint64_t, 4> overloadCounts_{};
    bool lastOverloaded_ = false;
    std::size_t raisedCount_ = 0;
    bool wakeWindow_ = false;
    std::uint64_t shownRevision_ = ~std::uint64_t{0};
    std::array<double, kChannels> spectrum_{};
    std::uint64_t spectrumCount_ = 0;
    std::atomic<std::uint64_t> passes_{0};
    std::atomic<std::uint64_t> overflows_{0};

    std::uint64_t commandsApplied_ = 0; // owner of the core
    float airGain_ = 0;                 // owner of the core
    int airChannel_ = 0;

    // Window.
    std::uint64_t posted_ = 0;
    int servicing_ = 0;
    std::vector<Event> waiting_;
    std::vector<Recording*> retiredTakes_;
    const Recording* keptTake_ = nullptr;
};
