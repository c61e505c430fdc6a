#include "app/NsmClient.h"

#include <lo/lo.h>

#include <chrono>
#include <unistd.h>

namespace {

constexpr int kApiMajor = 1;
constexpr int kApiMinor = 1;

std::string text(lo_arg** argv, int index) { return &argv[index]->s; }

} // namespace

struct NsmClient::Osc {
    lo_server server = nullptr;
    lo_address manager = nullptr;
    ~Osc() {
        if (manager) lo_address_free(manager);
        if (server) lo_server_free(server);
    }
    // Every message goes from our own server's port, which is where the manager answers.
    template <typename... Args>
    void send(const char* path, const char* types, Args... args) {
        lo_send_from(manager, server, LO_TT_IMMEDIATE, path, types, args...);
    }
};

std::unique_ptr<NsmClient> NsmClient::announce(const std::string& url, const std::string& executable,
                                               Handler& handler, std::string* error) {
    auto osc = std::make_unique<Osc>();
    const int protocol = lo_url_get_protocol_id(url.c_str());
    osc->manager = lo_address_new_from_url(url.c_str());
    if (!osc->manager || protocol < 0) {
        if (error) *error = "NSM_URL \"" + url + "\" is not an OSC address";
        return nullptr;
    }
    osc->server = lo_server_new_with_proto(nullptr, protocol, nullptr);
    if (!osc->server) {
        if (error) *error = "no OSC port could be opened to answer the session manager";
        return nullptr;
    }
    std::unique_ptr<NsmClient> client(new NsmClient(std::move(osc), handler));
    client->osc_->send("/nsm/server/announce", "sssiii", "QUORVEL", kCapabilities, executable.c_str(), kApiMajor,
                       kApiMinor, int(getpid()));
    return client;
}

NsmClient::NsmClient(std::unique_ptr<Osc> osc, Handler& handler) : osc_(std::move(osc)), handler_(handler) {
    lo_server s = osc_->server;
    lo_server_add_method(s, "/nsm/client/open", "sss", [](const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
        auto& client = *static_cast<NsmClient*>(self);
        const std::string failure = client.handler_.open(text(argv, 0), text(argv, 1), text(argv, 2));
        if (failure.empty()) {
            client.opened_ = true;
            client.osc_->send("/reply", "ss", "/nsm/client/open", "OK");
        } else {
            client.osc_->send("/error", "sis", "/nsm/client/open", -1, failure.c_str());
        }
        return 0;
    }, this);
    lo_server_add_method(s, "/nsm/client/save", "", [](const char*, const char*, lo_arg**, int, lo_message, void* self) {
        auto& client = *static_cast<NsmClient*>(self);
        const std::string failure = client.handler_.save();
        if (failure.empty()) {
            client.osc_->send("/reply", "ss", "/nsm/client/save", "OK");
            client.setDirty(false);
        } else {
            client.osc_->send("/error", "sis", "/nsm/client/save", -1, failure.c_str());
        }
        return 0;
    }, this);
    lo_server_add_method(s, "/nsm/client/show_optional_gui", "", [](const char*, const char*, lo_arg**, int, lo_message, void* self) {
        static_cast<NsmClient*>(self)->handler_.showGui(true);
        return 0;
    }, this);
    lo_server_add_method(s, "/nsm/client/hide_optional_gui", "", [](const char*, const char*, lo_arg**, int, lo_message, void* self) {
        static_cast<NsmClient*>(self)->handler_.showGui(false);
        return 0;
    }, this);
    lo_server_add_method(s, "/reply", nullptr, [](const char*, const char* types, lo_arg** argv, int argc, lo_message, void* self) {
        auto& client = *static_cast<NsmClient*>(self);
        if (argc >= 3 && types[0] == 's' && types[2] == 's' && text(argv, 0) == "/nsm/server/announce")
            client.managerName_ = text(argv, 2);
        return 0;
    }, this);
    lo_server_add_method(s, "/error", nullptr, [](const char*, const char* types, lo_arg** argv, int argc, lo_message, void* self) {
        auto& client = *static_cast<NsmClient*>(self);
        if (argc >= 3 && types[0] == 's' && types[2] == 's' && text(argv, 0) == "/nsm/server/announce")
            client.refusal_ = text(argv, 2);
        return 0;
    }, this);
}

NsmClient::~NsmClient() = default;

int NsmClient::fd() const { return lo_server_get_socket_fd(osc_->server); }

void NsmClient::receive() {
    while (lo_server_recv_noblock(osc_->server, 0) > 0) {
    }
}

bool NsmClient::waitForOpen(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!opened_ && refusal_.empty() && std::chrono::steady_clock::now() < end)
        lo_server_recv_noblock(osc_->server, 100);
    return opened_;
}

void NsmClient::setDirty(bool dirty) {
    if (dirtyTold_ == int(dirty)) return;
    dirtyTold_ = int(dirty);
    osc_->send(dirty ? "/nsm/client/is_dirty" : "/nsm/client/is_clean", "");
}

void NsmClient::setGuiShown(bool shown, bool always) {
    if (shownTold_ == int(shown) && !always) return;
    shownTold_ = int(shown);
    osc_->send(shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", "");
}
