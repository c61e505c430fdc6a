#include "app/VocoderWindow.h"

#include "app/QtPanelDialogs.h"
#include "core/ControlTable.h"
#include "core/EngineParamsUpdate.h"
#include "midi/MidiLearn.h"
#include "midi/MidiDeviceSettings.h"
#include "midi/MidiMessage.h"
#include "dsp/Nsp.h"
#include "files/TemporaryFile.h"
#include "files/WavFiles.h"
#include "midi/MidiSettingsCommand.h"
#include "session/SettingsFile.h"
#include "ui/BitmapButton.h"
#include "ui/PanelLayout.h"
#include "ui/Skin.h"
#include "ui/SpectrumDisplay.h"
#include "ui/ValueSlider.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <system_error>

namespace {

constexpr const char* kSettingsFilter = "Vocoder Settings Files (*.set)|*.set|All Files (*.*)|*.*||";
// How many looks at the device (four a second) an underrun stays on the display.
constexpr int kUnderrunLooks = 8;

// The window whose dialogs show the signal-processing library's errors.
PanelDialogs* libraryDialogs = nullptr;

int showLibraryError(int status, const char* funcName, const char* context, const char* file, int line) {
    const int mode = nspGetErrMode();
    if (mode == NSP_ErrorModeSilent || !libraryDialogs) return 0;
    const NspErrorMessage message = nspFormatError(status, funcName, context, file, line, mode);
    if (libraryDialogs->libraryError(message.title, message.text, mode == NSP_ErrorModeParent))
        nspTerminateApplication();
    return 0;
}

} // namespace

VocoderWindow::VocoderWindow(Options options, std::unique_ptr<PanelDialogs> dialogs, QWidget* parent)
    : QWidget(parent), options_(std::move(options)),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtPanelDialogs>(this)) {
    setWindowTitle(kCaption);
    setWindowIcon(Skin::programIcon());
    // A fixed panel: no maximise button, which could only do nothing (the zoom is on the
    // panel's own menu).
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(PanelLayout::kPanelSize);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    libraryDialogs = dialogs_.get();
    nspRedirectError(showLibraryError);
    // A save into a FIFO nobody reads would hang the whole panel: it fails at once instead.
    TemporaryFile::setWaitForFifoReaders(false);
    hooks_.mapping = &midiMapping_;
    hooks_.link = &midiLink_;

    buildWidgets();
    if (!options_.preferences.empty()) preferences_.load(options_.preferences);
    if (preferences_.hasSoundCard())
        soundCardDialog_.remember({preferences_.inputDevice, preferences_.outputDevice,
                                   preferences_.bufferSlider.value_or(SoundCardDialog::kDefaultBuffers),
                                   preferences_.sixteenBit});
    setZoom(preferences_.zoomPercent);

    audioNotifier_ = new QSocketNotifier(audioWake_.fd(), QSocketNotifier::Read, this);
    connect(audioNotifier_, &QSocketNotifier::activated, this, &VocoderWindow::serviceEngine);
    midiNotifier_ = new QSocketNotifier(midiWake_.fd(), QSocketNotifier::Read, this);
    connect(midiNotifier_, &QSocketNotifier::activated, this, &VocoderWindow::pumpMidi);
    midiLink_.SetNotifyWindow(&midiWake_);

    // A sound server that goes away closes the stream without telling anyone: look.
    deviceWatch_ = new QTimer(this);
    deviceWatch_->setInterval(250);
    connect(deviceWatch_, &QTimer::timeout, this, &VocoderWindow::checkDevice);
    deviceWatch_->start();

    loadSession();
    serviceEngine();
    display_->setMap(view_.channelMap);
    updateStatus();

    qApp->installEventFilter(this);
    if (options_.managed) {
        // The first pass brings the banks to the sliders' values; the text to compare with
        // is the panel's as it will then stand, or the session would look changed at once.
        updateEngineParams(view_);
        savedPanel_ = settingsText(view_);
        savedPreferences_ = preferences_;
        soundCardPending_ = false;
        QTimer::singleShot(0, this, [this] { openDevices(false); });
    }
}

VocoderWindow::~VocoderWindow() {
    qApp->removeEventFilter(this);
    // Nothing may outlive what it watches, and no box may open while the window goes. The
    // device stops first; its notifier and the device watch go before the descriptors they
    // watch (members, which ~QWidget's deletion of the children would outlive); MIDI closes
    // now, with nobody left to tell of a port that fails to close.
    closing_ = true;
    closeDevice();
    delete deviceWatch_;
    deviceWatch_ = nullptr;
    delete audioNotifier_;
    audioNotifier_ = nullptr;
    midiAlerts_.silent = true;
    midiLink_.Close();
    delete midiNotifier_;
    midiNotifier_ = nullptr;
    if (libraryDialogs == dialogs_.get()) {
        nspRedirectError(nullptr);
        libraryDialogs = nullptr;
    }
}

void VocoderWindow::buildWidgets() {
    for (int b = 0; b < kButtonCount; ++b) {
        auto* button = new BitmapButton(view_.controls, b, this);
        button->setMouseTracking(true);
        connect(button, &BitmapButton::clicked, this, &VocoderWindow::dispatch);
        connect(button, &BitmapButton::doubleClicked, this, &VocoderWindow::doubleClick);
        connect(button, &BitmapButton::captionChanged, this,
                [this](int index) { update(PanelWidget::scaled(PanelLayout::buttonCaptionArea(index), zoom_)); });
        buttons_[static_cast<std::size_t>(b)] = button;
    }
    for (int s = 0; s < kSliderCount; ++s) {
        auto* slider = new ValueSlider(view_.controls, s, this);
        slider->setMouseTracking(true);
        // The right button drags (tilting the bank): it opens no menu there.
        slider->setContextMenuPolicy(Qt::PreventContextMenu);
        slider->setMoveCallback([this](int index, int value, SlaveMode mode) { moveSlider(index, value, mode); });
        sliders_[static_cast<std::size_t>(s)] = slider;
    }
    display_ = new SpectrumDisplay(this);
    display_->setMouseTracking(true);
    // An edited routing reaches the engine at the next block, with or without a sound card.
    connect(display_, &SpectrumDisplay::mapEdited, this, [this] {
        view_.channelMap = display_->map();
        engine_.setChannelMap(display_->map());
        serviceEngine();
    });
}

void VocoderWindow::dispatch(int commandId) {
    engine_.press(commandId);
    serviceEngine();
}

void VocoderWindow::doubleClick(int commandId) {
    engine_.doubleClick(commandId);
    serviceEngine();
}

void VocoderWindow::moveSlider(int index, int value, SlaveMode mode) {
    // Shown at once, so that a drag never waits for a pass; the next image says the same.
    if (index < kChannelSliderCount)
        viewDispatcher_.moveChannelSlider(index, value, mode);
    else
        view_.controls.setSlider(index, value);
    engine_.moveSlider(index, value, mode);
    refreshWidgets();
    serviceEngine();
}

void VocoderWindow::refreshWidgets() {
    for (BitmapButton* button : buttons_) button->refresh();
    for (ValueSlider* slider : sliders_) slider->refresh();
    view_.state.slidersDirty = false;
}

void VocoderWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.scale(zoom_, zoom_);
    const qreal ratio = devicePixelRatioF() * zoom_;
    if (ratio != std::floor(ratio)) painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter_.paint(painter, view_.controls, display_->mapMode(), ratio);
}

void VocoderWindow::setZoom(int percent) {
    preferences_.zoomPercent = Preferences::zoomStep(percent);
    zoom_ = preferences_.zoomPercent / 100.0;
    setFixedSize(PanelWidget::placed(QRect(QPoint(0, 0), PanelLayout::kPanelSize), zoom_).size());
    for (BitmapButton* button : buttons_) button->setZoom(zoom_);
    for (ValueSlider* slider : sliders_) slider->setZoom(zoom_);
    display_->setZoom(zoom_);
    update();
}

void VocoderWindow::contextMenuEvent(QContextMenuEvent* event) {
    // A button's menu (it has none of its own); the panel's elsewhere.
    if (auto* button = qobject_cast<BitmapButton*>(childAt(event->pos()))) {
        controlMenu(controlIdOfButton(button->index()), event->globalPos());
        return;
    }
    const auto chosen = dialogs_->choosePanelMenu(event->globalPos(), preferences_.zoomPercent, preferences_.air);
    if (!chosen) return;
    if (chosen->flipAir) {
        preferences_.air = !preferences_.air;
        if (device_) device_->setAir(preferences_.air);
    } else if (chosen->zoomPercent && *chosen->zoomPercent != preferences_.zoomPercent) {
        setZoom(*chosen->zoomPercent);
    } else {
        return;
    }
    savePreferences();
}

void VocoderWindow::savePreferences() {
    if (options_.preferences.empty() || options_.managed) return;
    std::string error;
    // Only a convenience is lost: said where the user who started the program looks.
    if (!preferences_.save(options_.preferences, &error))
        std::fprintf(stderr, "quorvel: the preferences could not be saved: %s\n", error.c_str());
}

// ---- What the passes send back -----------------------------------------------------------

void VocoderWindow::serviceEngine() {
    audioWake_.drain();
    engine_.setEchoReady(midiLink_.echoReady());
    if (engine_.service(*this)) showImage();
    if (learning_ >= 0) collectLearnt();
}

void VocoderWindow::showImage() {
    const PanelImage& image = engine_.image();
    // An image from before the window's latest moves would pull a dragged slider back for a
    // moment: the panel keeps what it shows until the passes have caught up.
    if (engine_.imageIsCurrent()) image.copyTo(view_);
    // A lamp lights for any overload since the last look, and goes out after a clean one.
    const std::array<int, 4> lamps = {kFirstParameterSlider, kFirstParameterSlider + 1, 0, kChannels - 1};
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        sliders_[static_cast<std::size_t>(lamps[i])]->setLamp(image.overloadCounts[i] != overloadsShown_[i]);
        overloadsShown_[i] = image.overloadCounts[i];
    }
    if (display_->map() != view_.channelMap) display_->setMap(view_.channelMap);
    if (image.spectrumCount != spectrumShown_) {
        spectrumShown_ = image.spectrumCount;
        display_->updateSpectrum(image.spectrum, view_.channelMap);
    }
    refreshWidgets();
    // The sliders are echoed after blocks: with no sound card running there are none.
    if (image.passes != passesEchoed_) {
        passesEchoed_ = image.passes;
        viewMapping_.echoSliders(midiLink_);
    }
}

void VocoderWindow::request(LiveEngine::Request what) {
    if (closing_) return;
    // What the command changed shows before its dialog does: Save's rate dialog must not
    // show REC still lit, nor Load's file dialogs PMod and RptM.
    showImage();
    switch (what) {
    case LiveEngine::Request::LoadWav: loadWavFiles(); break;
    case LiveEngine::Request::SaveRecording: saveRecording(); break;
    case LiveEngine::Request::LoadSettings: loadSettings(); break;
    case LiveEngine::Request::SaveSettings: saveSettings(); break;
    case LiveEngine::Request::Help: openHelp(); break;
    case LiveEngine::Request::DisplayMode:
        display_->setMapMode(!display_->mapMode());
        update(PanelWidget::scaled(PanelLayout::kDisplayHeadingArea, zoom_)); // the heading says which
        break;
    case LiveEngine::Request::MidiSettings: configureMidi(); break;
    case LiveEngine::Request::AudioSettings: openSoundCard(); break;
    case LiveEngine::Request::RoutingChanged: display_->setMap(view_.channelMap); break;
    }
}

void VocoderWindow::sendControl(int controller, int value) { midiLink_.SendControl(controller, value); }

void VocoderWindow::message(std::string_view text) {
    if (!closing_) dialogs_->message(std::string(text));
}

// ---- The sound card -------------------------------------------------------------------

void VocoderWindow::openSoundCard() { openDevices(true); }

void VocoderWindow::openDevices(bool ask) {
    soundCardPending_ = false;
    closeDevice();
    catalog_ = AudioDeviceCatalog::scan();
    soundCardDialog_.setCatalog(catalog_);
    // Whatever way the dialog ends, the results of its last OK are used (or, before any, the
    // devices it offered). Unasked, they are what it would offer.
    if (!ask) {
        soundCardDialog_.open();
    } else if (dialogs_->soundCard(soundCardDialog_)) {
        const SoundCardDialog::Memory& chosen = soundCardDialog_.memory();
        preferences_.inputDevice = chosen.input;
        preferences_.outputDevice = chosen.output;
        preferences_.bufferSlider = chosen.slider;
        preferences_.sixteenBit = chosen.sixteenBit;
        savePreferences();
    }
    device_ = std::make_unique<WaveDuplex>(soundCardDialog_.results(), catalog_,
                                           [this](const std::string& text) { message(text); });
    device_->setAir(preferences_.air);
    lostReported_ = false;
    soundLost_ = false;
    underrunsSeen_ = 0;
    underrunLooks_ = 0;
    if (!device_->noOutput() && !device_->hasError()) {
        live_.attach(device_.get());
        // From the first callback on the passes own the core.
        engine_.setAudioOwnsCore(true);
        device_->start();
        if (!device_->running()) engine_.setAudioOwnsCore(false);
    }
    updateStatus();
}

void VocoderWindow::closeDevice() {
    if (!device_) return;
    device_->close();
    // The callback has returned for good: the core is the window's again, and so is the
    // MIDI input that came after the last pass.
    engine_.setAudioOwnsCore(false);
    live_.attach(nullptr);
    device_.reset();
    updateStatus();
    pumpMidi();
}

void VocoderWindow::checkDevice() {
    if (device_ && device_->underruns() != underrunsSeen_) {
        underrunsSeen_ = device_->underruns();
        underrunLooks_ = kUnderrunLooks;
    } else if (underrunLooks_ > 0) {
        --underrunLooks_;
    }
    updateStatus();
    // Said once a run, where the user who started the program looks: the sound goes on
    // without real-time priority, but anything else the machine does can interrupt it.
    if (device_ && !rtReported_ && device_->running() && device_->blocksPlayed() > 0 && !device_->realTime()) {
        rtReported_ = true;
        std::fprintf(stderr, "quorvel: the sound runs without real-time priority (the system does not grant it; "
                             "see \"Sound card\" in the manual)\n");
    }
    if (!device_ || lostReported_ || !device_->lost()) return;
    lostReported_ = true;
    soundLost_ = true;
    closeDevice();
    dialogs_->message("The sound server has gone away, so QUORVEL has no sound card now.\n"
                      "Your recording is kept. Press \"Audio\" to choose a sound card again.");
}

QString VocoderWindow::audioStatus() const {
    if (!device_) return "No sound card is open: move the mouse over the panel, press S or \"Audio\".";
    if (device_->noOutput()) return "Sound card: none chosen (press \"Audio\" to choose one).";
    if (device_->hasError()) return "Sound card: could not be opened (press \"Audio\" to try again).";
    QString text = QString("Output: %1 at %2 Hz").arg(QString::fromStdString(device_->outputName())).arg(device_->outputRate());
    if (device_->inputOpen())
        text += QString("\nInput: %1 at %2 Hz").arg(QString::fromStdString(device_->inputName())).arg(device_->inputRate());
    else
        text += "\nInput: none";
    text += QString("\nLatency: %1 buffers, %2 ms").arg(device_->bufferCount()).arg(device_->latencySeconds() * 1000, 0, 'f', 0);
    text += QString("\nReal-time priority: %1").arg(device_->realTime() ? "yes" : "no");
    text += QString("\nUnderruns: %1").arg(device_->underruns());
    return text;
}

QString VocoderWindow::soundCaption() const {
    if (learning_ >= 0) return QStringLiteral("MOVE A MIDI CONTROLLER");
    if (soundLost_) return QStringLiteral("SOUND CARD LOST");
    if (!device_ || device_->noOutput()) return QStringLiteral("NO SOUND CARD");
    if (device_->hasError()) return QStringLiteral("SOUND CARD FAILED");
    if (!device_->running()) return QStringLiteral("SOUND STOPPED");
    if (underrunLooks_ > 0) return QStringLiteral("UNDERRUN");
    return {};
}

void VocoderWindow::updateStatus() {
    QString tip = audioStatus();
    if (learning_ >= 0)
        tip.prepend(QString("Learning a MIDI controller for \"%1\": move it, or press Escape.\n\n")
                        .arg(QString::fromUtf8(controlInfo(learning_).name.data(), qsizetype(controlInfo(learning_).name.size()))));
    display_->setToolTip(tip);
    display_->setStatus(soundCaption());
}

// ---- MIDI -------------------------------------------------------------------------------

void VocoderWindow::pumpMidi() {
    midiWake_.drain();
    // While a device plays, the passes take the MIDI input themselves.
    if (engine_.audioOwnsCore()) return;
    MidiMessage message;
    bool any = false;
    while (midiLink_.takeMessage(message)) {
        engine_.midi(message.bytes, message.size);
        any = true;
    }
    if (any) serviceEngine();
}

void VocoderWindow::PassHooks::midi(const std::array<std::uint8_t, 3>& bytes, std::uint8_t size) {
    MidiMessage message;
    message.bytes = bytes;
    message.size = size;
    mapping->handleMessage(message);
}

void VocoderWindow::PassHooks::takeMidiInput() {
    MidiMessage message;
    while (link->takeMessage(message)) mapping->handleMessage(message);
}

void VocoderWindow::PassHooks::applySettings(VocoderCore& core, CommandDispatcher& dispatcher,
                                             std::string_view text) {
    loadSettingsText(core, dispatcher, text);
}

// ---- Window events -----------------------------------------------------------------------

bool VocoderWindow::eventFilter(QObject* watched, QEvent* event) {
    // The right button drags a slider, so its menu is on Ctrl and the right button.
    if (event->type() == QEvent::MouseButtonPress) {
        auto* slider = qobject_cast<ValueSlider*>(watched);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (slider && slider->parent() == this && mouse->button() == Qt::RightButton &&
            (mouse->modifiers() & Qt::ControlModifier)) {
            controlMenu(controlIdOfSlider(slider->index()), mouse->globalPosition().toPoint());
            return true;
        }
    }
    if (soundCardPending_ && event->type() == QEvent::MouseMove) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            // Cleared before the attempt, so a failed first opening is not repeated.
            soundCardPending_ = false;
            QTimer::singleShot(0, this, &VocoderWindow::openSoundCard);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void VocoderWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && learning_ >= 0) {
        cancelMidiLearn();
        return;
    }
    if (event->key() == Qt::Key_S) {
        QTimer::singleShot(0, this, &VocoderWindow::openSoundCard);
        return;
    }
    QWidget::keyPressEvent(event);
}

void VocoderWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    // The session manager ends the program; the window only goes out of sight.
    if (options_.managed) {
        hide();
        event->ignore();
        return;
    }
    if (!dialogs_->question("Do you really want to stop having fun?")) {
        event->ignore();
        return;
    }
    if (takeIsUnsaved()) {
        const PanelDialogs::SaveAnswer answer =
            dialogs_->askToSave("The recording has not been saved. Save it before QUORVEL closes?");
        // A save that was cancelled or failed leaves the program running, take and all.
        if (answer == PanelDialogs::SaveAnswer::Cancel ||
            (answer == PanelDialogs::SaveAnswer::Save && !saveTake(engine_.image().take))) {
            event->ignore();
            return;
        }
    }
    closing_ = true;
    closeDevice();
    midiLink_.Close();
    // The banks follow the sliders once per block: the file keeps the sliders as they are.
    updateEngineParams(core_);
    if (!options_.sessionFile.empty()) {
        std::string error;
        if (!SaveSettings(core_, options_.sessionFile, &error))
            dialogs_->message("The session could not be saved: " + error);
    }
    event->accept();
}

std::string VocoderWindow::saveSession() {
    std::string error;
    if (!SaveSettings(view_, options_.sessionFile, &error)) return "the session could not be saved: " + error;
    if (!options_.preferences.empty() && !preferences_.save(options_.preferences, &error))
        return "the preferences could not be saved: " + error;
    savedPanel_ = settingsText(view_);
    savedPreferences_ = preferences_;
    return {};
}

bool VocoderWindow::hasUnsavedChanges() const {
    return !(preferences_ == savedPreferences_) || settingsText(view_) != savedPanel_;
}

void VocoderWindow::quitWithoutSaving() {
    closing_ = true;
    closeDevice();
    midiLink_.Close();
    close();
}

// ---- What the commands ask for ---------------------------------------------------------------

void VocoderWindow::loadWavFiles() {
    LoadedWavFiles loaded = askForWavFiles(*this);
    if (loaded.modulator || loaded.carrier) {
        engine_.replaceFiles(std::move(loaded.modulator), std::move(loaded.carrier));
        serviceEngine();
    }
}

void VocoderWindow::saveRecording() { saveTake(engine_.image().take); }

bool VocoderWindow::saveTake(const Recording* take) {
    if (!take) return false;
    // The take stays alive however the passes go on meanwhile; Save has stopped the
    // recording, and at close whatever it holds by now is what is saved.
    engine_.keepTake(take);
    const std::size_t blocks = take->left.size();
    const bool saved = ::saveRecording(take->left, take->right, *this);
    engine_.keepTake(nullptr);
    if (saved) {
        savedTake_ = take;
        savedBlocks_ = blocks;
    }
    return saved;
}

bool VocoderWindow::takeIsUnsaved() const {
    const Recording* take = engine_.image().take;
    if (!take || take->left.size() == 0 || take->right.size() == 0) return false;
    return take != savedTake_ || take->left.size() != savedBlocks_;
}

void VocoderWindow::loadSettings() {
    const auto path = dialogs_->openFile("Load Settings", kSettingsFilter);
    if (!path) return;
    std::string text;
    if (!readSettingsText(*path, text)) return;
    // Something else chosen through "All Files" would move sliders and light buttons at
    // random: it changes nothing.
    if (!readsAsSettings(text)) {
        std::string refusal = path->filename().string();
        refusal.insert(0, 1, '"');
        refusal.append("\" is not a settings file, so nothing was changed.");
        dialogs_->message(refusal);
        return;
    }
    engine_.applySettings(std::move(text));
    serviceEngine();
}

void VocoderWindow::loadSession() {
    // No device runs yet, so the core is this window's to change directly. A missing file
    // leaves the start values.
    const std::filesystem::path& path = options_.sessionFile;
    std::string text;
    if (path.empty() || !readSettingsText(path, text)) return;
    if (readsAsSettings(text)) {
        loadSettingsText(core_, engine_.ownedDispatcher(), text, SettingsSource::Session);
        return;
    }
    // Kept beside, not overwritten at close: it may still hold what the user wants back.
    std::filesystem::path kept = path;
    kept += ".damaged";
    std::error_code error;
    std::filesystem::rename(path, kept, error);
    dialogs_->message("The session file " + path.string() + " is damaged, so QUORVEL starts from the start values." +
                      (error ? std::string() : "\nThe damaged file is kept as " + kept.string() + "."));
}

void VocoderWindow::saveSettings() {
    // A save dialog, so that a new file can be named.
    const auto path = dialogs_->saveFile("set", kSettingsFilter);
    if (!path) return;
    std::string error;
    if (!SaveSettings(view_, *path, &error)) dialogs_->message("The settings could not be saved: " + error);
}

void VocoderWindow::openHelp() {
    if (options_.manual.empty() || !dialogs_->openManual(options_.manual))
        dialogs_->message("The manual could not be shown: " +
                          (options_.manual.empty() ? std::string("it is not installed") : options_.manual.string()));
}

void VocoderWindow::configureMidi() {
    runMidiSettings(view_, midiLink_, dialogs_->midiDevices());
    engine_.setMidiTable(view_.midiSlots, view_.midiInChannel, view_.midiOutChannel);
    serviceEngine();
}

void VocoderWindow::controlMenu(ControlId control, const QPoint& globalPosition) {
    const std::string_view name = controlInfo(control).name;
    const auto action = dialogs_->chooseControlAction(globalPosition, std::string(name),
                                                      MidiLearn::isAssigned(view_.midiSlots, control));
    if (action == PanelDialogs::ControlAction::Learn) learnMidiController(control);
    if (action == PanelDialogs::ControlAction::Forget) forgetMidiController(control);
}

void VocoderWindow::learnMidiController(ControlId control) {
    if (midiLink_.inClosed() || view_.midiInChannel > midi_channel::kLastIn) {
        dialogs_->message("QUORVEL hears no MIDI input: choose an input device and channel with the \"MIDI\" "
                          "button first.");
        return;
    }
    learning_ = control;
    midiMapping_.learn().arm();
    updateStatus();
}

void VocoderWindow::cancelMidiLearn() {
    if (learning_ < 0) return;
    midiMapping_.learn().cancel();
    learning_ = -1;
    updateStatus();
}

void VocoderWindow::collectLearnt() {
    const int controller = midiMapping_.learn().collect();
    if (controller < 0) return;
    const ControlId control = learning_;
    learning_ = -1;
    updateStatus();
    if (!MidiLearn::assign(view_.midiSlots, control, controller)) {
        dialogs_->message("All 20 MIDI assignments hold other controls: free one in the \"MIDI\" dialog first.");
        return;
    }
    engine_.setMidiTable(view_.midiSlots, view_.midiInChannel, view_.midiOutChannel);
    if (engine_.service(*this)) showImage();
}

void VocoderWindow::forgetMidiController(ControlId control) {
    if (!MidiLearn::forget(view_.midiSlots, control)) return;
    engine_.setMidiTable(view_.midiSlots, view_.midiInChannel, view_.midiOutChannel);
    serviceEngine();
}

// ---- WavDialogs ---------------------------------------------------------------------------

std::optional<std::filesystem::path> VocoderWindow::openFile(WavSlot, std::string_view title,
                                                             std::string_view filter) {
    return dialogs_->openFile(std::string(title), std::string(filter));
}

std::optional<std::filesystem::path> VocoderWindow::saveFile(std::string_view defaultExtension,
                                                             std::string_view filter) {
    return dialogs_->saveFile(std::string(defaultExtension), std::string(filter));
}

std::optional<SourceChoice> VocoderWindow::selectSource(WavSlot, std::string_view title) {
    return dialogs_->selectSource(std::string(title));
}

std::optional<SaveRate> VocoderWindow::selectSaveRate() { return dialogs_->selectSaveRate(); }
