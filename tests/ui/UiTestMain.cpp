// The GUI tests run on real widgets. Without a display (CI, and test discovery during the
// build) Qt's offscreen platform stands in for one.

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform says, for every fixed-size dialog, that it cannot pass size hints on
// to a window manager it does not have; nothing else it says is dropped.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
    qtHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Qt wants a private runtime folder; one per run, left for the system to clear.
        QByteArray folder = QDir::tempPath().toLocal8Bit() + "/quorvel-ui-tests-XXXXXX";
        if (mkdtemp(folder.data()) != nullptr) qputenv("XDG_RUNTIME_DIR", folder);
    }
    qtHandler = qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
