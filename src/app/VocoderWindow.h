#pragma once

#include "app/PanelDialogs.h"
#include "audio/AudioDeviceCatalog.h"
#include "audio/LiveEngine.h"
#include "audio/LiveLoop.h"
#include "audio/SoundCardDialog.h"
#include "audio/WaveDuplex.h"
#include "core/CommandDispatcher.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "files/WavDialogs.h"
#include "midi/MidiAlerts.h"
#include "midi/MidiLink.h"
#include "midi/MidiMapping.h"
#include "rt/WakeupSignal.h"
#include "session/Preferences.h"
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
// files. The blocks of sound are made on the sound card's thread; this window sends every
// click there as a command, shows what the passes send back (at most about ten times a
// second while nothing is touched) and runs the dialogs the commands ask for, while the
// sound goes on.
// Thread: window.
class VocoderWindow : public QWidget, private LiveEngine::Listener, private WavDialogs {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "QUORVEL V2.00";

    struct Options {
        std::filesystem::path sessionFile; // read at start, written at close
        std::filesystem::path manual;      // the manual's first page, for HELP
        std::filesystem::path preferences; // the devices chosen last and the zoom; empty: none kept
        // Under a session manager: the devices recorded open at start without a question,
        // nothing is written unless saveSession() asks, and closing only hides the window.
        bool managed = false;
    };

    // `dialogs` answers every modal question; null gives the real Qt dialogs.
    VocoderWindow(Options options, std::unique_ptr<PanelDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~VocoderWindow() override;

    // What the panel shows: the controls, banks, routing and MIDI table as of the last
    // pass (the core itself belongs to the sound card's thread while a device runs).
    const VocoderCore& core() const { return view_; }
    // The recording as of the last pass, or null.
    const Recording* take() const { return engine_.image().take; }
    LiveEngine& engine() { return engine_; }
    const LiveLoop& liveLoop() const { return live_; }
    BitmapButton& button(int index) { return *buttons_[static_cast<std::size_t>(index)]; }
    ValueSlider& slider(int index) { return *sliders_[static_cast<std::size_t>(index)]; }
    SpectrumDisplay& display() { return *display_; }
    WaveDuplex* device() { return device_.get(); }

    // What a click on a button, a double click and a slider's move do.
    void dispatch(int commandId);
    void doubleClick(int commandId);
    void moveSlider(int index, int value, SlaveMode mode);

    // Closes the sound card if one is open, asks for devices and opens them (the first mouse
    // movement, the key "S" and the "Audio" button).
    void openSoundCard();
    // Takes what the passes have sent back: shows it, and runs the dialogs they ask for.
    void serviceEngine();
    // Handles the MIDI input waiting.
    void pumpMidi();
    // Shows whatever changed in the controls since the last look.
    void refreshWidgets();
    // What the audio path is doing, in words: device, rate, latency, underruns.
    QString audioStatus() const;
    // What the display's top line says about the sound: empty while all is well.
    QString soundCaption() const;

    // MIDI learn (a slider's or button's menu): the next control change that arrives is
    // assigned to `control` as an assignment made in the MIDI dialog; the display says so
    // until it comes, or Escape cancels.
    void learnMidiController(ControlId control);
    void cancelMidiLearn();
    ControlId learningControl() const { return learning_; }
    void forgetMidiController(ControlId control);

    // The panel's size: 100, 150 or 200 percent, kept in the preferences.
    void setZoom(int percent);
    int zoomPercent() const { return preferences_.zoomPercent; }
    bool airOn() const { return preferences_.air; }
    // Whether closing now would lose a take that was never saved.
    bool takeIsUnsaved() const;

    // The session manager's save: the panel into the session file (as SSet writes it) and
    // the preferences; an empty text, or what failed.
    std::string saveSession();
    // Whether the panel or the preferences differ from what the session last saved.
    bool hasUnsavedChanges() const;
    // The end a session manager asks for: no question, nothing saved.
    void quitWithoutSaving();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // LiveEngine::Listener
    void request(LiveEngine::Request what) override;
    void sendControl(int controller, int value) override;
    void message(std::string_view text) override;

    // WavDialogs
    std::optional<std::filesystem::path> openFile(WavSlot slot, std::string_view title,
                                                  std::string_view filter) override;
    std::optional<std::filesystem::path> saveFile(std::string_view defaultExtension, std::string_view filter) override;
    std::optional<SourceChoice> selectSource(WavSlot slot, std::string_view title) override;
    std::optional<SaveRate> selectSaveRate() override;

    void buildWidgets();
    // The session at start: applied when it reads as a settings file, else kept aside.
    void loadSession();
    // Saves the take through the rate and file dialogs; true when a file was written.
    bool saveTake(const Recording* take);
    void savePreferences();
    // Puts the newest image of the core on the panel: widgets, lamps, display, MIDI echo.
    void showImage();
    void loadWavFiles();
    void saveRecording();
    void loadSettings();
    void saveSettings();
    void openHelp();
    void configureMidi();
    void controlMenu(ControlId control, const QPoint& globalPosition);
    // Makes the assignment once the learnt controller has come.
    void collectLearnt();
    void closeDevice();
    void openDevices(bool ask);
    void checkDevice();
    void updateStatus();

    Options options_;
    std::unique_ptr<PanelDialogs> dialogs_;
    // What the passes do with MIDI input and settings texts, on the core's thread.
    struct PassHooks final : LiveEngine::Hooks {
        MidiMapping* mapping = nullptr;
        MidiLink* link = nullptr;
        void midi(const std::array<std::uint8_t, 3>& bytes, std::uint8_t size) override;
        void takeMidiInput() override;
        void applySettings(VocoderCore& core, CommandDispatcher& dispatcher, std::string_view text) override;
    };

    VocoderCore core_;
    WakeupSignal audioWake_;
    PassHooks hooks_;
    LiveEngine engine_{core_, hooks_, audioWake_};
    LiveLoop live_{engine_};
    // The window's copy of what it shows, kept from the images; MIDI slider echo and the
    // settings file work from it.
    VocoderCore view_;
    NullCommandHost viewHost_;
    CommandDispatcher viewDispatcher_{view_, viewHost_};
    std::uint64_t spectrumShown_ = 0;
    std::uint64_t passesEchoed_ = 0;
    std::array<std::uint64_t, 4> overloadsShown_{};
    PanelPainter painter_;

    std::array<BitmapButton*, kButtonCount> buttons_{};
    std::array<ValueSlider*, kSliderCount> sliders_{};
    SpectrumDisplay* display_ = nullptr;

    QSocketNotifier* audioNotifier_ = nullptr;
    AudioDeviceCatalog catalog_;
    SoundCardDialog soundCardDialog_{catalog_};
    std::unique_ptr<WaveDuplex> device_;
    bool soundCardPending_ = true; // opened at the first mouse movement
    bool lostReported_ = false;
    bool rtReported_ = false;
    QTimer* deviceWatch_ = nullptr;

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
    MidiMapping midiMapping_{core_, engine_.ownedDispatcher()};
    MidiMapping viewMapping_{view_, viewDispatcher_}; // the slider echo only

    ControlId learning_ = -1; // the control waiting for its controller

    Preferences preferences_;
    // What the session last saved (managed only).
    std::string savedPanel_;
    Preferences savedPreferences_;
    qreal zoom_ = 1.0;
    // The take last saved, and how long it was then: a take that has not grown since needs
    // no question at close.
    const Recording* savedTake_ = nullptr;
    std::size_t savedBlocks_ = 0;
    bool soundLost_ = false;         // the server went away: said on the display until Audio
    std::uint64_t underrunsSeen_ = 0;
    int underrunLooks_ = 0;          // device looks left that still say "UNDERRUN"

    bool closing_ = false;
};
