#include "app/VocoderWindow.h"

#include "app/QtPanelDialogs.h"
#include "core/ControlTable.h"
#include "core/EngineParamsUpdate.h"
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
#include <QKeyEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <QTimer>

namespace {

constexpr const char* kSettingsFilter = "Vocoder Settings Files (*.set)|*.set|All Files (*.*)|*.*||";

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
    setFixedSize(PanelLayout::kPanelSize);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    libraryDialogs = dialogs_.get();
    nspRedirectError(showLibraryError);
    // A save into a FIFO nobody reads would hang the whole panel: it fails at once instead.
    TemporaryFile::setWaitForFifoReaders(false);

    buildWidgets();

    audioNotifier_ = new QSocketNotifier(audioWake_.fd(), QSocketNotifier::Read, this);
    connect(audioNotifier_, &QSocketNotifier::activated, this, &VocoderWindow::pumpAudio);
    midiNotifier_ = new QSocketNotifier(midiWake_.fd(), QSocketNotifier::Read, this);
    connect(midiNotifier_, &QSocketNotifier::activated, this, &VocoderWindow::pumpMidi);
    midiLink_.SetNotifyWindow(&midiWake_);

    // A sound server that goes away closes the stream without telling anyone: look.
    deviceWatch_ = new QTimer(this);
    deviceWatch_->setInterval(250);
    connect(deviceWatch_, &QTimer::timeout, this, &VocoderWindow::checkDevice);
    deviceWatch_->start();

    // The session replaces the start values; a missing file leaves them.
    if (!options_.sessionFile.empty()) LoadSettings(core_, dispatcher_, options_.sessionFile);
    display_->setMap(core_.channelMap);
    refreshWidgets();
    updateStatus();

    qApp->installEventFilter(this);
}

VocoderWindow::~VocoderWindow() {
    qApp->removeEventFilter(this);
    // Nothing may outlive what it watches, and no box may open while the window goes. The
    // device stops first; its notifier and the device watch go before the descriptors they
    // watch (members, which ~QWidget's deletion of the children would outlive); MIDI closes
    // now, with nobody left to tell of a port that fails to close.
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
        auto* button = new BitmapButton(core_.controls, b, this);
        button->setGeometry(PanelLayout::buttonRect(b));
        button->setMouseTracking(true);
        connect(button, &BitmapButton::clicked, this, &VocoderWindow::press);
        connect(button, &BitmapButton::doubleClicked, this, &VocoderWindow::doubleClick);
        connect(button, &BitmapButton::captionChanged, this,
                [this](int index) { update(PanelLayout::buttonCaptionArea(index)); });
        buttons_[static_cast<std::size_t>(b)] = button;
    }
    for (int s = 0; s < kSliderCount; ++s) {
        auto* slider = new ValueSlider(core_.controls, s, this);
        slider->setGeometry(PanelLayout::sliderRect(s));
        slider->setMouseTracking(true);
        slider->setMoveCallback([this](int index, int value, SlaveMode mode) { moveSlider(index, value, mode); });
        sliders_[static_cast<std::size_t>(s)] = slider;
    }
    display_ = new SpectrumDisplay(this);
    display_->setGeometry(PanelLayout::kDisplayRect);
    display_->setMouseTracking(true);
    // An edited routing reaches the engine at once, with or without a sound card running.
    connect(display_, &SpectrumDisplay::mapEdited, this, [this] { core_.channelMap = display_->map(); });
}

void VocoderWindow::press(int commandId) {
    syncParameters();
    dispatcher_.dispatch(commandId);
    refreshWidgets();
}

void VocoderWindow::doubleClick(int commandId) {
    dispatcher_.doubleClick(commandId);
    refreshWidgets();
}

void VocoderWindow::moveSlider(int index, int value, SlaveMode mode) {
    if (index < kChannelSliderCount) {
        dispatcher_.moveChannelSlider(index, value, mode);
        refreshWidgets();
    } else {
        core_.controls.setSlider(index, value);
        sliders_[static_cast<std::size_t>(index)]->refresh();
    }
}

void VocoderWindow::syncParameters() { updateEngineParams(core_); }

void VocoderWindow::refreshWidgets() {
    for (BitmapButton* button : buttons_) button->refresh();
    for (ValueSlider* slider : sliders_) slider->refresh();
    core_.state.slidersDirty = false;
}

void VocoderWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter_.paint(painter, core_.controls);
}

// ---- The sound card -------------------------------------------------------------------

void VocoderWindow::openSoundCard() {
    soundCardPending_ = false;
    closeDevice();
    catalog_ = AudioDeviceCatalog::scan();
    soundCardDialog_.setCatalog(catalog_);
    // Whatever way the dialog ends, the results of its last OK are used.
    dialogs_->soundCard(soundCardDialog_);
    device_ = std::make_unique<WaveDuplex>(soundCardDialog_.results(), catalog_, audioWake_,
                                           [this](const std::string& text) { report(text); });
    lostReported_ = false;
    if (!device_->noOutput() && !device_->hasError()) {
        live_.attach(device_.get());
        device_->start();
        // Opened from inside a box that holds the output: the new device waits for the same
        // resume as the old one, which also gives the notifiers back.
        if (pauses_ > 0) device_->pauseOutput();
    }
    updateStatus();
}

void VocoderWindow::closeDevice() {
    if (!device_) return;
    live_.attach(nullptr);
    device_->close();
    device_.reset();
    updateStatus();
}

void VocoderWindow::pumpAudio() {
    audioWake_.drain();
    inPass_ = true;
    const int passes = live_.pump();
    inPass_ = false;
    if (passes == 0) return;
    const Overloads& overloads = loop_.overloads();
    sliders_[kFirstParameterSlider]->setLamp(overloads.carrier);
    sliders_[kFirstParameterSlider + 1]->setLamp(overloads.modulator);
    sliders_[0]->setLamp(overloads.left);
    sliders_[kChannels - 1]->setLamp(overloads.right);
    refreshWidgets();
}

void VocoderWindow::checkDevice() {
    if (!device_ || lostReported_ || !device_->lost()) return;
    lostReported_ = true;
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
    text += QString("\nUnderruns: %1").arg(device_->underruns());
    return text;
}

void VocoderWindow::updateStatus() { display_->setToolTip(audioStatus()); }

// ---- MIDI -------------------------------------------------------------------------------

void VocoderWindow::pumpMidi() {
    midiWake_.drain();
    if (midiMapping_.handlePending(midiLink_) > 0) refreshWidgets();
}

// ---- Window events -----------------------------------------------------------------------

bool VocoderWindow::eventFilter(QObject* watched, QEvent* event) {
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
    pauseOutput();
    if (!dialogs_->question("Do you really want to stop having fun?")) {
        resumeOutput();
        event->ignore();
        return;
    }
    closing_ = true;
    closeDevice();
    midiLink_.Close();
    syncParameters();
    if (!options_.sessionFile.empty()) {
        std::string error;
        if (!SaveSettings(core_, options_.sessionFile, &error))
            dialogs_->message("The session could not be saved: " + error);
    }
    event->accept();
}

// ---- CommandHost --------------------------------------------------------------------------

void VocoderWindow::pauseOutput() {
    // While a dialog is up nothing else may change the core: no blocks, no MIDI.
    if (pauses_++ == 0) {
        audioNotifier_->setEnabled(false);
        midiNotifier_->setEnabled(false);
        if (device_ && !device_->hasError() && !device_->noOutput()) device_->pauseOutput();
    }
}

void VocoderWindow::resumeOutput() {
    if (pauses_ == 0 || --pauses_ > 0) return;
    if (device_ && !device_->hasError() && !device_->noOutput()) device_->resumeOutput();
    audioNotifier_->setEnabled(true);
    midiNotifier_->setEnabled(true);
}

void VocoderWindow::loadWavFiles() { ::loadWavFiles(core_.modulatorFile, core_.carrierFile, *this); }

void VocoderWindow::saveRecording() {
    if (core_.recording) ::saveRecording(core_.recording->left, core_.recording->right, *this);
}

void VocoderWindow::loadSettings() {
    const auto path = dialogs_->openFile("Load Settings", kSettingsFilter);
    if (!path) return;
    LoadSettings(core_, dispatcher_, *path);
    display_->setMap(core_.channelMap);
    refreshWidgets();
}

void VocoderWindow::saveSettings() {
    // A save dialog, so that a new file can be named.
    const auto path = dialogs_->saveFile("set", kSettingsFilter);
    if (!path) return;
    std::string error;
    if (!SaveSettings(core_, *path, &error)) dialogs_->message("The settings could not be saved: " + error);
}

void VocoderWindow::openHelp() {
    if (options_.manual.empty() || !dialogs_->openManual(options_.manual))
        dialogs_->message("The manual could not be shown: " +
                          (options_.manual.empty() ? std::string("it is not installed") : options_.manual.string()));
}

void VocoderWindow::toggleDisplayMode() { display_->setMapMode(!display_->mapMode()); }

void VocoderWindow::configureMidi() { runMidiSettings(core_, midiLink_, dialogs_->midiDevices()); }

void VocoderWindow::reopenAudio() { openSoundCard(); }

void VocoderWindow::channelMapChanged() { display_->setMap(core_.channelMap); }

bool VocoderWindow::midiEchoReady() { return midiLink_.echoReady(); }

void VocoderWindow::sendControl(int controller, int value) { midiLink_.SendControl(controller, value); }

// ---- BlockEvents ----------------------------------------------------------------------------

void VocoderWindow::parametersUpdated() { midiMapping_.echoSliders(midiLink_); }

void VocoderWindow::showMessage(const std::string& text) { report(text); }

void VocoderWindow::report(const std::string& text) {
    if (!inPass_) {
        pauseOutput();
        dialogs_->message(text);
        resumeOutput();
        return;
    }
    deferredMessages_.push_back(text);
    // Queued to this window: if it is destroyed first, the call is dropped with it.
    if (deferredMessages_.size() == 1)
        QMetaObject::invokeMethod(this, &VocoderWindow::showDeferredMessages, Qt::QueuedConnection);
}

void VocoderWindow::showDeferredMessages() {
    std::vector<std::string> texts;
    texts.swap(deferredMessages_);
    if (closing_) return;
    pauseOutput();
    for (const std::string& text : texts) dialogs_->message(text);
    resumeOutput();
}

void VocoderWindow::spectrumDue(const std::array<double, kChannels>& values) {
    display_->updateSpectrum(values, core_.channelMap);
    updateStatus();
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

void VocoderWindow::message(std::string_view text) { dialogs_->message(std::string(text)); }
