#pragma once

#include <memory>
#include <string>

// The program's side of the New Session Manager's protocol, over OSC (liblo): it announces
// itself to the manager named by NSM_URL and hands the manager's requests (open, save, show
// and hide the window) to a handler, answering each as the protocol asks. Nothing here
// waits except waitForOpen(); the window's event loop watches fd() and calls receive().
// Thread: window.
class NsmClient {
public:
    static constexpr const char* kCapabilities = ":dirty:optional-gui:";

    class Handler {
    public:
        virtual ~Handler() = default;
        // "/nsm/client/open": where this session keeps the client's files, and the id to take
        // as the JACK client's name. An empty text answers OK; otherwise it is the error.
        virtual std::string open(const std::string& path, const std::string& displayName,
                                 const std::string& clientId) = 0;
        virtual std::string save() = 0;
        virtual void showGui(bool shown) = 0;
    };

    // Announces the program to the manager at `url` (osc.udp://host:port/); null, with `error`
    // set, when no OSC server can be made or the address makes no sense.
    static std::unique_ptr<NsmClient> announce(const std::string& url, const std::string& executable,
                                               Handler& handler, std::string* error);
    ~NsmClient();
    NsmClient(const NsmClient&) = delete;
    NsmClient& operator=(const NsmClient&) = delete;

    // Readable when the manager has sent something.
    int fd() const;
    // Handles whatever has arrived.
    void receive();
    // Waits for "/nsm/client/open" and handles it; false when the manager refused the
    // announcement or sent nothing in `timeoutMs`.
    bool waitForOpen(int timeoutMs);
    bool opened() const { return opened_; }
    // What the manager answered the announcement with: its name, or the refusal.
    const std::string& managerName() const { return managerName_; }
    const std::string& refusal() const { return refusal_; }

    // Tells the manager, when it changed since it was last told (or `always`).
    void setDirty(bool dirty);
    void setGuiShown(bool shown, bool always = false);

private:
    struct Osc;
    NsmClient(std::unique_ptr<Osc> osc, Handler& handler);

    std::unique_ptr<Osc> osc_;
    Handler& handler_;
    bool opened_ = false;
    std::string managerName_;
    std::string refusal_;
    int dirtyTold_ = -1; // -1: nothing said yet
    int shownTold_ = -1;
};
