#pragma once

#include "app/NsmClient.h"
#include "app/VocoderWindow.h"
#include "rt/WakeupSignal.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;
class QTimer;

// The program under a session manager (NSM_URL set): announces itself, waits for the
// session's folder, and makes the window there with the session file and preferences in
// that folder and the JACK client named after the client id. Afterwards it saves when the
// manager asks, tells it whether the panel has changed since, shows and hides the window,
// and on SIGTERM ends the program at once, saving nothing.
// Thread: window.
class NsmSession final : public QObject, private NsmClient::Handler {
    Q_OBJECT

public:
    using WindowMaker = std::function<std::unique_ptr<VocoderWindow>(const VocoderWindow::Options&)>;
    static constexpr int kOpenTimeoutMs = 60000;

    // `base` gives what the session does not decide (the manual); `quit` ends the program.
    NsmSession(VocoderWindow::Options base, WindowMaker makeWindow, std::function<void()> quit);
    ~NsmSession() override;

    // Announces to the manager at `url` and waits for it to open the session; false with
    // `error` set when it cannot.
    bool start(const std::string& url, const std::string& executable, std::string* error);
    VocoderWindow* window() { return window_.get(); }

private:
    std::string open(const std::string& path, const std::string& displayName, const std::string& clientId) override;
    std::string save() override;
    void showGui(bool shown) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void terminate();

    VocoderWindow::Options base_;
    WindowMaker makeWindow_;
    std::function<void()> quit_;
    std::unique_ptr<NsmClient> client_;
    std::unique_ptr<VocoderWindow> window_;
    WakeupSignal terminated_;
    QSocketNotifier* oscNotifier_ = nullptr;
    QSocketNotifier* termNotifier_ = nullptr;
    QTimer* dirtyWatch_ = nullptr;
};
