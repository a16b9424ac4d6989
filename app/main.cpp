#include <QApplication>

#include "device_map.h"
#include "main_window.h"
#include "menu_commands.h"
#include "qt_console.h"
#include "system_link_platform.h"

int main(int argc, char *argv[]) {
    // The caption of every message box is the program's name, as the executable has it.
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    DeviceMap devices;
    SystemLinkPlatform platform(devices);
    QtConsole console;
    MainWindow window(platform, console, devices);
    console.SetOwner(&window);
    console.SetEndHandler([&window] { window.RequestEnd(); });
    // The load the controller's "NVRAM must be updated" status offers.
    console.SetNvramLoadHandler([&window] { return window.Commands().RunNvramLoad(); });
    window.SetPortDialogHook([&window] { window.Commands().RunPortDialog(); });

    window.Initialise();
    window.exec();
    return 0;
}
