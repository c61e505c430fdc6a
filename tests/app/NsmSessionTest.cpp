// The program under a session manager: a stand-in manager made with liblo announces, opens,
// saves, hides and shows, and ends the program with SIGTERM, on a JACK dummy server.

#include "app/NsmSession.h"
#include "JackTestClient.h"
#include "ScriptedPanelDialogs.h"
#include "WindowDriving.h"
#include "session/SettingsFile.h"

#include <lo/lo.h>

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

// What a session manager does, on its own OSC thread: welcomes an announcement and opens the
// session it was given at once, and records everything the client says.
class StandInManager {
public:
    struct Said {
        std::string path;
        std::vector<std::string> words; // the string arguments
    };

    StandInManager(std::string folder, std::string clientId) : folder_(std::move(folder)), id_(std::move(clientId)) {
        thread_ = lo_server_thread_new_with_proto(nullptr, LO_UDP, nullptr);
        lo_server_thread_add_method(thread_, nullptr, nullptr, &StandInManager::heard, this);
        lo_server_thread_start(thread_);
    }
    ~StandInManager() {
        lo_server_thread_free(thread_);
        if (client_) lo_address_free(client_);
    }
    std::string url() const {
        char* url = lo_server_thread_get_url(thread_);
        std::string text(url);
        std::free(url);
        return text;
    }
    void send(const char* path) {
        std::lock_guard lock(mutex_);
        lo_send_from(client_, lo_server_thread_get_server(thread_), LO_TT_IMMEDIATE, path, "");
    }
    int count(const std::string& path, const std::string& first = {}) {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const Said& s : said_)
            if (s.path == path && (first.empty() || (!s.words.empty() && s.words[0] == first))) ++n;
        return n;
    }
    std::vector<Said> said() {
        std::lock_guard lock(mutex_);
        return said_;
    }

private:
    static int heard(const char* path, const char* types, lo_arg** argv, int argc, lo_message message, void* self) {
        auto& m = *static_cast<StandInManager*>(self);
        std::lock_guard lock(m.mutex_);
        Said said{path, {}};
        for (int i = 0; i < argc; ++i)
            if (types[i] == 's') said.words.emplace_back(&argv[i]->s);
        m.said_.push_back(said);
        if (said.path == "/nsm/server/announce") {
            lo_address from = lo_message_get_source(message);
            m.client_ = lo_address_new_with_proto(lo_address_get_protocol(from), lo_address_get_hostname(from),
                                                  lo_address_get_port(from));
            lo_server server = lo_server_thread_get_server(m.thread_);
            lo_send_from(m.client_, server, LO_TT_IMMEDIATE, "/reply", "ssss", "/nsm/server/announce", "Welcome",
                         "stand-in", ":server-control:optional-gui:");
            lo_send_from(m.client_, server, LO_TT_IMMEDIATE, "/nsm/client/open", "sss", m.folder_.c_str(), "QUORVEL",
                         m.id_.c_str());
        }
        return 0;
    }

    std::string folder_, id_;
    lo_server_thread thread_ = nullptr;
    lo_address client_ = nullptr;
    std::mutex mutex_;
    std::vector<Said> said_;
};

TEST(NsmSession, TheManagerOpensSavesHidesShowsAndEndsTheProgram) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("quorvel-nsm-" + std::to_string(getpid())) / "QUORVEL.nTEST";
    std::filesystem::remove_all(folder.parent_path());
    const std::string id = "quorvel-nsm-" + std::to_string(getpid());
    StandInManager manager(folder.string(), id);
    ScriptedPanelDialogs::Script script;
    bool quit = false;
    NsmSession session(
        {},
        [&](const VocoderWindow::Options& options) {
            return std::make_unique<VocoderWindow>(options, std::make_unique<ScriptedPanelDialogs>(script));
        },
        [&] { quit = true; });
    std::string error;
    ASSERT_TRUE(session.start(manager.url(), "quorvel", &error)) << error;
    const auto said = manager.said();
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said[0].path, "/nsm/server/announce");
    EXPECT_EQ(said[0].words, (std::vector<std::string>{"QUORVEL", ":dirty:optional-gui:", "quorvel"}));
    ASSERT_TRUE(runUntil([&] { return manager.count("/reply", "/nsm/client/open") == 1; }, 5000));
    EXPECT_TRUE(runUntil([&] { return manager.count("/nsm/client/gui_is_shown") == 1; }, 5000));

    // The devices open without a question, as a JACK client named after the client id; a
    // mouse move asks nothing either.
    VocoderWindow& window = *session.window();
    ASSERT_TRUE(runUntil([&] { return window.device() && window.device()->running(); }, 10000))
        << window.audioStatus().toStdString();
    QTest::mouseMove(&window, QPoint(300, 300));
    runEventLoopFor(100);
    EXPECT_TRUE(script.soundCardsShown.empty());
    JackTestClient probe("quorvel-nsm-probe", 1024);
    ASSERT_TRUE(probe.ok() && probe.activate());
    EXPECT_TRUE(probe.connect(id + ":out_left", probe.name() + ":in_1")) << window.audioStatus().toStdString();

    // Clean from the start; a change makes the session dirty, and the manager's save writes
    // it there and cleans it.
    ASSERT_TRUE(runUntil([&] { return manager.count("/nsm/client/is_clean") == 1; }, 5000));
    EXPECT_EQ(manager.count("/nsm/client/is_dirty"), 0);
    clickButton(window, control::Enhance);
    ASSERT_TRUE(runUntil([&] { return manager.count("/nsm/client/is_dirty") == 1; }, 5000));
    manager.send("/nsm/client/save");
    ASSERT_TRUE(runUntil([&] { return manager.count("/reply", "/nsm/client/save") == 1; }, 5000));
    EXPECT_TRUE(runUntil([&] { return manager.count("/nsm/client/is_clean") == 2; }, 5000));
    std::string saved;
    ASSERT_TRUE(readSettingsText(folder / "session.set", saved));
    EXPECT_EQ(saved, settingsText(window.core()));
    EXPECT_TRUE(std::filesystem::exists(folder / "preferences"));

    // The optional window: hidden and shown on request, and closing it only hides it.
    manager.send("/nsm/client/hide_optional_gui");
    ASSERT_TRUE(runUntil([&] { return manager.count("/nsm/client/gui_is_hidden") == 1; }, 5000));
    EXPECT_FALSE(window.isVisible());
    manager.send("/nsm/client/show_optional_gui");
    ASSERT_TRUE(runUntil([&] { return manager.count("/nsm/client/gui_is_shown") == 2; }, 5000));
    EXPECT_TRUE(window.isVisible());
    window.close();
    EXPECT_TRUE(runUntil([&] { return manager.count("/nsm/client/gui_is_hidden") == 2; }, 5000));
    EXPECT_FALSE(window.isVisible());
    manager.send("/nsm/client/show_optional_gui");
    ASSERT_TRUE(runUntil([&] { return manager.count("/nsm/client/gui_is_shown") == 3; }, 5000));

    // SIGTERM ends it at once: no question, and nothing saved that the manager did not ask for.
    clickButton(window, control::Enhance);
    ASSERT_TRUE(runUntil([&] { return manager.count("/nsm/client/is_dirty") == 2; }, 5000));
    std::raise(SIGTERM);
    ASSERT_TRUE(runUntil([&] { return quit; }, 5000));
    EXPECT_EQ(window.device(), nullptr);
    EXPECT_TRUE(script.questionsAsked.empty());
    std::string after;
    ASSERT_TRUE(readSettingsText(folder / "session.set", after));
    EXPECT_EQ(after, saved);
    std::filesystem::remove_all(folder.parent_path());
}

} // namespace
