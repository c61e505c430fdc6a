#pragma once

#include "app/PanelDialogs.h"
#include "audio/AudioDeviceCatalog.h"
#include "audio/LiveLoop.h"
#include "audio/SoundCardDialog.h"
#include "audio/WaveDuplex.h"
#include "core/BlockEvents.h"
#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/CommandHost.h"
#include "core/VocoderCore.h"
#include "files/WavDialogs.h"
#include "midi/MidiAlerts.h"
#include "midi/MidiLink.h"
#include "midi/MidiMapping.h"
#include "rt/WakeupSignal.h"
#include "ui/PanelPainter.h"

#include <QWidget>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class BitmapButton;
class QSocketNotifier;
class QTimer;
class SpectrumDisplay;
class ValueSlider;

// The one window of the program: the 640 x 480 panel of 58 buttons, 25 sliders and the
// spectrum display, and everything behind it: the vocoder core, the sound card, MIDI, the
// files. All processing runs on its thread: the sound card and the MIDI input only wake it,
// and every block of sound is made here between the user's clicks.
// Thread: window.
class VocoderWindow : public QWidget, private CommandHost, private BlockEvents, private WavDialogs {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "QUORVEL V2.00";

    struct Options {
        std::filesystem::path sessionFile; // read at start, written at close
        std::filesystem::path manual;      // the manual's first page, for HELP
    };

    // `dialogs` answers every modal question; null gives the real Qt dialogs.
    VocoderWindow(Options options, std::unique_ptr<PanelDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~VocoderWindow() override;

    VocoderCore& core() { return core_; }
    CommandDispatcher& dispatcher() { return dispatcher_; }
    BitmapButton& button(int index) { return *buttons_[static_cast<std::size_t>(index)]; }
    ValueSlider& slider(int index) { return *sliders_[static_cast<std::size_t>(index)]; }
    SpectrumDisplay& display() { return *display_; }
    WaveDuplex* device() { return device_.get(); }
    const BlockLoop& blockLoop() const { return loop_; }

    // Closes the sound card if one is open, asks for devices and opens them (the first mouse
    // movement, the key "S" and the "Audio" button).
    void openSoundCard();
    // Handles whatever the sound card has handed back: one block per played buffer.
    void pumpAudio();
    // Handles the MIDI input waiting.
    void pumpMidi();
    // Shows whatever changed in the controls since the last look.
    void refreshWidgets();
    // What the audio path is doing, in words: device, rate, latency, underruns.
    QString audioStatus() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // CommandHost
    void pauseOutput() override;
    void resumeOutput() override;
    void loadWavFiles() override;
    void saveRecording() override;
    void loadSettings() override;
    void saveSettings() override;
    void openHelp() override;
    void toggleDisplayMode() override;
    void configureMidi() override;
    void reopenAudio() override;
    void channelMapChanged() override;
    bool midiEchoReady() override;
    void sendControl(int controller, int value) override;

    // BlockEvents
    void parametersUpdated() override;
    void showMessage(const std::string& text) override;
    void spectrumDue(const std::array<double, kChannels>& values) override;

    // WavDialogs
    std::optional<std::filesystem::path> openFile(WavSlot slot, std::string_view title,
                                                  std::string_view filter) override;
    std::optional<std::filesystem::path> saveFile(std::string_view defaultExtension, std::string_view filter) override;
    std::optional<SourceChoice> selectSource(WavSlot slot, std::string_view title) override;
    std::optional<SaveRate> selectSaveRate() override;
    void message(std::string_view text) override;

    void buildWidgets();
    void press(int commandId);
    void doubleClick(int commandId);
    void moveSlider(int index, int value, SlaveMode mode);
    // The banks follow the sliders once per block; a command or a save between blocks (or
    // with no sound card) must see the sliders as they are now.
    void syncParameters();
    void closeDevice();
    void checkDevice();
    // Shows a message of the block loop or the device. Inside a pass it waits for the pass
    // to end: a modal box runs an event loop of its own, in which a timer could close the
    // very device the pass is using.
    void report(const std::string& text);
    void showDeferredMessages();
    void updateStatus();

    Options options_;
    std::unique_ptr<PanelDialogs> dialogs_;
    VocoderCore core_;
    CommandDispatcher dispatcher_{core_, *this};
    BlockLoop loop_{core_, *this};
    LiveLoop live_{loop_};
    PanelPainter painter_;

    std::array<BitmapButton*, kButtonCount> buttons_{};
    std::array<ValueSlider*, kSliderCount> sliders_{};
    SpectrumDisplay* display_ = nullptr;

    WakeupSignal audioWake_;
    QSocketNotifier* audioNotifier_ = nullptr;
    AudioDeviceCatalog catalog_;
    SoundCardDialog soundCardDialog_{catalog_};
    std::unique_ptr<WaveDuplex> device_;
    bool soundCardPending_ = true; // opened at the first mouse movement
    bool lostReported_ = false;
    QTimer* deviceWatch_ = nullptr;
    int pauses_ = 0;
    bool inPass_ = false;
    std::vector<std::string> deferredMessages_;

    WakeupSignal midiWake_;
    QSocketNotifier* midiNotifier_ = nullptr;
    // The MIDI ports' failures, in the window's message boxes.
    struct MidiBoxes final : MidiAlerts {
        explicit MidiBoxes(PanelDialogs& target) : dialogs(target) {}
        void error(const std::string& text) override {
            if (!silent) dialogs.message(text);
        }
        void warning(const std::string& text) override {
            if (!silent) dialogs.message(text);
        }
        PanelDialogs& dialogs;
        bool silent = false; // while the window is being destroyed
    };
    MidiBoxes midiAlerts_{*dialogs_};
    MidiLink midiLink_{midiAlerts_};
    MidiMapping midiMapping_{core_, dispatcher_};

    bool closing_ = false;
};
