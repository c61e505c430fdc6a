// What the window costs while it streams: the panel on a real X server with the internal
// clock running blocks and the spectrum display updating, nothing touched. Reports the
// process's CPU time per second and how many paint events the widgets received, so that a
// lamp or a thumb repainted for nothing shows up.
//
//   window-cost [SECONDS] [--voice] [--jack] [--air]   (on an X server: bench/window-cost starts Xvfb;
//   --jack streams through the JACK server JACK_DEFAULT_SERVER names, both directions)

#include "app/PanelDialogs.h"
#include "app/VocoderWindow.h"
#include "audio/AudioDeviceCatalog.h"
#include "audio/SoundCardDialog.h"
#include "core/ControlTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <map>

namespace {

// Answers the sound-card dialog with the internal clock, or with the JACK server's system
// ports in both directions, and nothing else.
class ClockOnly final : public PanelDialogs {
public:
    bool question(const std::string&) override { return true; }
    SaveAnswer askToSave(const std::string&) override { return SaveAnswer::Discard; }
    std::optional<PanelMenuChoice> choosePanelMenu(const QPoint&, int, bool) override { return {}; }
    std::optional<ControlAction> chooseControlAction(const QPoint&, const std::string&, bool) override { return {}; }
    void message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    std::optional<std::filesystem::path> openFile(const std::string&, const std::string&) override { return {}; }
    std::optional<std::filesystem::path> saveFile(const std::string&, const std::string&) override { return {}; }
    std::optional<SourceChoice> selectSource(const std::string&) override { return {}; }
    std::optional<SaveRate> selectSaveRate() override { return {}; }
    bool soundCard(SoundCardDialog& model) override {
        model.open();
        model.outputSelection = int(model.outputList().size()) - 1;
        if (jack) {
            for (std::size_t i = 0; i < model.outputList().size(); ++i)
                if (model.outputList()[i] == "JACK: system") model.outputSelection = int(i);
            for (std::size_t i = 0; i < model.inputList().size(); ++i)
                if (model.inputList()[i] == "JACK: system") model.inputSelection = int(i);
            model.slider = 1;
            model.sixteenBit = true;
        }
        model.ok();
        return true;
    }
    MidiDeviceChooser& midiDevices() override { std::abort(); }
    bool openManual(const std::filesystem::path&) override { return false; }
    bool libraryError(const std::string&, const std::string&, bool) override { return false; }
    bool jack = false;
};

class PaintCounter final : public QObject {
public:
    std::map<QString, long> paints;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints[watched->metaObject()->className()];
        return false;
    }
};

// User and system time apart: the system's share is the price of being woken (a JACK
// client is woken every period), the user's is the program's own work.
double userSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    QApplication app(argc, argv);
    bool voiceWanted = false, jack = false, air = false;
    for (int i = 2; i < argc; ++i) {
        voiceWanted |= std::string(argv[i]) == "--voice";
        jack |= std::string(argv[i]) == "--jack";
        air |= std::string(argv[i]) == "--air";
    }
    auto dialogs = std::make_unique<ClockOnly>();
    dialogs->jack = jack;
    VocoderWindow window(VocoderWindow::Options{}, std::move(dialogs));
    window.show();
    window.openSoundCard();
    // The air band where the device carries one (both directions at a converted rate).
    if (air && window.device()) {
        window.device()->setAir(true);
        std::printf("air band: %s\n", window.device()->air() ? "on" : "none on this device");
    }
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000) QApplication::processEvents(QEventLoop::AllEvents, 20);

    // A voice on repeat, so that the spectrum display has something to show.
    if (voiceWanted) {
        FileBlockList voice(172 * 4, FileBlock{});
        for (std::size_t i = 0; i < voice.size() * BLOCK_SIZE; ++i) {
            const double t = double(i) / kEngineRate;
            voice[i / BLOCK_SIZE].samples[i % BLOCK_SIZE] = std::int16_t(
                (0.5 + 0.5 * std::sin(2 * M_PI * 1.3 * t)) * (8000 * std::sin(2 * M_PI * 200 * t) +
                                                                3000 * std::sin(2 * M_PI * 1700 * t)));
        }
        window.engine().replaceFiles(std::move(voice), std::nullopt);
        window.dispatch(commandIdOf(control::PlayModulator));
        window.dispatch(commandIdOf(control::RepeatModulator));
    }
    PaintCounter counter;
    for (QWidget* child : window.findChildren<QWidget*>()) child->installEventFilter(&counter);
    window.installEventFilter(&counter);
    const double cpuBefore = cpuSeconds(), userBefore = userSeconds();
    const std::uint64_t blocksBefore = window.engine().passes();
    QElapsedTimer timer;
    timer.start();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = timer.elapsed() / 1000.0;
    const double blocks = double(window.engine().passes() - blocksBefore);

    std::printf("platform %s, %.0f s streaming, %.0f blocks (%.0f per second)\n",
                qPrintable(QGuiApplication::platformName()), wall, blocks, blocks / wall);
    const double user = userSeconds() - userBefore;
    std::printf("CPU: %.2f s, %.1f %% of one core (%.1f %% the program's own work, %.1f %% the system's for it)\n",
                cpu, 100.0 * cpu / wall, 100.0 * user / wall, 100.0 * (cpu - user) / wall);
    std::printf("paint events per second:");
    for (const auto& [name, count] : counter.paints) std::printf("  %s %.1f", qPrintable(name), count / wall);
    std::printf("\n");
    return 0;
}
