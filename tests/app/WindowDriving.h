#pragma once

#include "app/VocoderWindow.h"
#include "core/ControlTable.h"
#include "ui/BitmapButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <functional>

// Driving the real window as a user does, from a test on the window's thread.

// While a device runs, what a command does happens at the next pass on the sound card's
// thread: waits until a pass that began after now has ended, and takes what it sent (the
// dialogs it asked for run then). Without a device commands apply at once.
inline void settleWindow(VocoderWindow& window) {
    if (!window.engine().audioOwnsCore()) return;
    const std::uint64_t from = window.engine().passes();
    QElapsedTimer timer;
    timer.start();
    while (window.engine().passes() < from + 2 && timer.elapsed() < 10000) QTest::qSleep(1);
    window.serviceEngine();
}

// A left click in the middle of a panel button, and what it does.
inline void clickButton(VocoderWindow& window, ControlId id) {
    QTest::mouseClick(&window.button(buttonIndexOf(id)), Qt::LeftButton, {}, QPoint(12, 9));
    settleWindow(window);
}

// Lets the event loop run for `ms` milliseconds, so that the sound card's blocks, timers and
// repaints are processed.
inline void runEventLoopFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Runs the event loop until `done` holds or `ms` milliseconds pass; whether it held.
inline bool runUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done()) return true;
    }
    return done();
}
