#pragma once

#include "app/VocoderWindow.h"
#include "core/ControlTable.h"
#include "ui/BitmapButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

// Driving the real window as a user does, from a test on the window's thread.

// A left click in the middle of a panel button.
inline void clickButton(VocoderWindow& window, ControlId id) {
    QTest::mouseClick(&window.button(buttonIndexOf(id)), Qt::LeftButton, {}, QPoint(12, 9));
}

// Lets the event loop run for `ms` milliseconds, so that the sound card's blocks, timers and
// repaints are processed.
inline void runEventLoopFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}
