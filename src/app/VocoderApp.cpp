#include "app/VocoderApp.h"

#include "app/NsmSession.h"
#include "app/VocoderWindow.h"
#include "audio/JackStream.h"
#include "session/Preferences.h"
#include "session/SettingsFile.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>

#include <csignal>
#include <cstdlib>
#include <iostream>

VocoderApp::CommandLine VocoderApp::parse(const std::vector<std::string>& args) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--session") {
            if (i + 1 >= args.size()) {
                line.error = "--session needs a file";
                return line;
            }
            line.session = args[++i];
        } else if (arg.rfind("--session=", 0) == 0) {
            line.session = arg.substr(10);
        } else if (arg == "--jack-name" || arg.rfind("--jack-name=", 0) == 0) {
            std::string name;
            if (arg == "--jack-name") {
                if (i + 1 >= args.size()) {
                    line.error = "--jack-name needs a name";
                    return line;
                }
                name = args[++i];
            } else {
                name = arg.substr(12);
            }
            // JACK's own limits: a client name that is empty, too long or holds the port
            // separator would be refused at the first Audio press, far from its cause.
            if (name.empty() || name.size() > 63 || name.find(':') != std::string::npos) {
                line.error = "--jack-name needs a name of 1 to 63 characters without ':'";
                return line;
            }
            line.jackName = name;
        } else if (arg == "--no-connect") {
            line.jackConnect = false;
        } else {
            line.error = "unknown option \"" + arg + "\"";
            return line;
        }
    }
    return line;
}

std::string VocoderApp::usage() {
    return "Usage: quorvel [--session FILE] [--jack-name NAME] [--no-connect]\n"
           "\n"
           "QUORVEL, an 18-channel real-time vocoder. The panel's state is kept in a session\n"
           "file, read at start and written when the program closes.\n"
           "\n"
           "  --session FILE   use FILE as the session file (default: " +
           sessionFilePath().string() +
           ")\n"
           "  --jack-name NAME the program's client name on a JACK server (default: quorvel)\n"
           "  --no-connect     leave the JACK ports unconnected, for the patchbay to connect\n"
           "  --version        print the version and exit\n"
           "  --help           this text\n"
           "\n"
           "quorvel-render vocodes WAV files from the command line with the same engine.\n";
}

std::filesystem::path VocoderApp::manualPage(const std::filesystem::path& programFolder) {
    std::error_code error;
    const std::filesystem::path installed = programFolder / ".." / "share" / "doc" / "quorvel" / "manual" / "index.html";
    if (std::filesystem::exists(installed, error)) return std::filesystem::weakly_canonical(installed, error);
    const std::filesystem::path source = std::filesystem::path(QUORVEL_SOURCE_DIR) / "docs" / "manual" / "index.html";
    if (std::filesystem::exists(source, error)) return source;
    return {};
}

int VocoderApp::run(int argc, char** argv) {
    const CommandLine line = parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::cerr << "quorvel: " << line.error << "\nTry 'quorvel --help'.\n";
        return 2;
    }
    if (line.help) {
        std::cout << usage();
        return 0;
    }
    if (line.version) {
        std::cout << "QUORVEL " << kVersion << '\n';
        return 0;
    }

    // A save into a FIFO whose reader has gone then fails with a message instead of ending
    // the program, with whatever it had not saved yet.
    std::signal(SIGPIPE, SIG_IGN);
    // A desktop scale of 1.5 is kept as 1.5, not rounded to 1 or 2: the panel is drawn
    // from the 2x skin at any scale above 1.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    QApplication::setApplicationName("QUORVEL");
    QApplication::setApplicationVersion(kVersion);
    QApplication::setDesktopFileName("quorvel");

    JackStream::setClientName(line.jackName);
    JackStream::setAutoConnect(line.jackConnect);
    const char* nsmUrl = std::getenv("NSM_URL");
    if (nsmUrl && *nsmUrl) {
        // The session decides where the files are and what the JACK client is called.
        VocoderWindow::Options base;
        base.manual = manualPage(QApplication::applicationDirPath().toStdString());
        NsmSession session(
            base, [](const VocoderWindow::Options& options) { return std::make_unique<VocoderWindow>(options); },
            [] { QCoreApplication::quit(); });
        std::string error;
        if (!session.start(nsmUrl, std::filesystem::path(argv[0]).filename().string(), &error)) {
            std::cerr << "quorvel: " << error << '\n';
            return 1;
        }
        return app.exec();
    }
    VocoderWindow::Options options;
    options.sessionFile = line.session.empty() ? sessionFilePath() : line.session;
    options.manual = manualPage(QApplication::applicationDirPath().toStdString());
    options.preferences = Preferences::defaultPath();
    VocoderWindow window(options);
    // At system shutdown the close question is asked too.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager&) { window.close(); });
    window.show();
    return app.exec();
}
