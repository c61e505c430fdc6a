#include "app/NsmSession.h"

#include "audio/JackStream.h"

#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <system_error>

namespace {

// The session whose SIGTERM ends the program: a write to an eventfd is all a signal handler
// may do here.
WakeupSignal* terminateSignal = nullptr;

extern "C" void onSigterm(int) {
    if (terminateSignal) terminateSignal->signal();
}

// A JACK client's name: at most 63 characters, no port separator.
std::string jackName(std::string id) {
    for (char& c : id)
        if (c == ':') c = '_';
    if (id.size() > 63) id.resize(63);
    return id.empty() ? std::string("quorvel") : id;
}

} // namespace

NsmSession::NsmSession(VocoderWindow::Options base, WindowMaker makeWindow, std::function<void()> quit)
    : base_(std::move(base)), makeWindow_(std::move(makeWindow)), quit_(std::move(quit)) {}

NsmSession::~NsmSession() {
    if (terminateSignal == &terminated_) {
        std::signal(SIGTERM, SIG_DFL);
        terminateSignal = nullptr;
    }
    if (window_) window_->removeEventFilter(this);
    delete dirtyWatch_;
    delete oscNotifier_;
    delete termNotifier_;
    window_.reset();
}

bool NsmSession::start(const std::string& url, const std::string& executable, std::string* error) {
    // The manager stops its clients with SIGTERM, also before the session is open.
    terminateSignal = &terminated_;
    struct sigaction action {};
    action.sa_handler = onSigterm;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    termNotifier_ = new QSocketNotifier(terminated_.fd(), QSocketNotifier::Read);
    connect(termNotifier_, &QSocketNotifier::activated, this, &NsmSession::terminate);

    client_ = NsmClient::announce(url, executable, *this, error);
    if (!client_) return false;
    if (!client_->waitForOpen(kOpenTimeoutMs)) {
        if (error)
            *error = client_->refusal().empty() ? "the session manager did not open a session"
                                                : "the session manager refused QUORVEL: " + client_->refusal();
        return false;
    }
    oscNotifier_ = new QSocketNotifier(client_->fd(), QSocketNotifier::Read);
    connect(oscNotifier_, &QSocketNotifier::activated, this, [this] { client_->receive(); });
    // What the manager shows as "modified": looked at a few times a second rather than at
    // every change, which would make a settings text per slider step.
    dirtyWatch_ = new QTimer;
    dirtyWatch_->setInterval(300);
    connect(dirtyWatch_, &QTimer::timeout, this, [this] { client_->setDirty(window_->hasUnsavedChanges()); });
    dirtyWatch_->start();
    return true;
}

std::string NsmSession::open(const std::string& path, const std::string&, const std::string& clientId) {
    // Switching to another session needs a program started afresh (no "switch" capability).
    if (window_) return "QUORVEL is already open in a session";
    const std::filesystem::path folder(path);
    std::error_code failed;
    std::filesystem::create_directories(folder, failed);
    if (failed) return "the folder " + path + " could not be made: " + failed.message();
    JackStream::setClientName(jackName(clientId));
    VocoderWindow::Options options = base_;
    options.sessionFile = folder / "session.set";
    options.preferences = folder / "preferences";
    options.managed = true;
    window_ = makeWindow_(options);
    window_->installEventFilter(this);
    window_->show();
    return {};
}

std::string NsmSession::save() { return window_ ? window_->saveSession() : "no session is open"; }

void NsmSession::showGui(bool shown) {
    if (!window_) return;
    // A change is told by the window's show or hide; none is answered all the same.
    const bool change = window_->isVisible() != shown;
    window_->setVisible(shown);
    if (!change) client_->setGuiShown(shown, true);
}

bool NsmSession::eventFilter(QObject* watched, QEvent* event) {
    // The window's own closing hides it too; a desktop's minimising (spontaneous) does not count.
    if (watched == window_.get() && client_ && !event->spontaneous() &&
        (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        client_->setGuiShown(event->type() == QEvent::Show);
    return QObject::eventFilter(watched, event);
}

void NsmSession::terminate() {
    terminated_.drain();
    if (window_) window_->quitWithoutSaving();
    quit_();
}
