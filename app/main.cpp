#include <QApplication>
#include <QCursor>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "device_map.h"
#include "display_check.h"
#include "main_window.h"
#include "menu_commands.h"
#include "qt_console.h"
#include "stop_signals.h"
#include "system_link_platform.h"
#include "workstation_options.h"

int main(int argc, char *argv[]) {
    if (const auto status = WorkstationOptions::Answer({argv + 1, argv + argc}, std::cout)) {
        return *status;
    }
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const DisplayCheck::Environment environment = [](const char *name) -> const char * {
        return std::getenv(name);
    };
    if (const auto missing = DisplayCheck::Missing(arguments, environment)) {
        std::cerr << *missing;
        return DisplayCheck::kNoDisplay;
    }
    // A display that is named but cannot be opened ends here as well, in words.
    std::optional<DisplayCheck::Guard> guard(std::in_place,
                                             DisplayCheck::Named(arguments, environment));
    // The caption of every message box is the program's name, as the executable has it.
    QApplication application(argc, argv);
    guard.reset();
    // Qt has taken its own options out of argv.
    if (const auto status =
            WorkstationOptions::RefuseLeftovers({argv + 1, argv + argc}, std::cerr)) {
        return *status;
    }
    QApplication::setQuitOnLastWindowClosed(false);

    DeviceMap devices;
    SystemLinkPlatform platform(devices);
    // A transaction that waits for a line another program holds shows the wait cursor.
    platform.SetWaitingHook([](bool waiting) {
        if (waiting) {
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        } else {
            QApplication::restoreOverrideCursor();
        }
    });
    // A stop signal ends a wait for the line or for a reply that the event loop, blocked by
    // the transaction, could not hear.
    platform.SetStopCheck([] { return StopSignals::Arrived(); });
    QtConsole console;
    MainWindow window(platform, console, devices);
    console.SetOwner(&window);
    console.SetEndHandler([&window] { window.RequestEnd(); });
    // The load the controller's "NVRAM must be updated" status offers.
    console.SetNvramLoadHandler([&window] { return window.Commands().RunNvramLoad(); });
    window.SetPortDialogHook([&window] { window.Commands().RunPortDialog(); });
    // The window is redrawn and answers the desktop while the link waits on the line, and
    // through the pauses of the start and the end.
    window.StayAliveDuringTransactions();
    console.SetKeepAlive([&window] { window.KeepAlive().Serve(); });

    // A shutdown or log-out ends the program as the user would, settings saved.
    StopSignals stopSignals([&window] { window.EndForSystem(); });

    window.Initialise();
    window.exec();
    return 0;
}
