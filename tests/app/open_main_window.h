#pragma once

#include <QApplication>
#include <QTest>

#include "main_window.h"

// Starts the main window as the program does, with its opening reads, then shows it and
// waits until it is the active window, so that keys and focus reach it as they would reach
// the user's. False when the start failed or the window did not become active.
[[nodiscard]] inline bool OpenMainWindow(MainWindow &window) {
    if (!window.Initialise()) return false;
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}
