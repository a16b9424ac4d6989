#pragma once

#include <QDialog>
#include <QObject>
#include <functional>
#include <map>

#include "nvram_image_commands.h"
#include "port_discovery.h"

class MenuHost;
class QAction;

// What each command of the main window's menu does, behind its guard: the system
// password before every configuration and maintenance command unless supervisor mode is
// on, always before a password change, and before supervisor mode is switched on.
class MenuCommands : public QObject {
    Q_OBJECT

public:
    // Runs a dialog modally and returns its result; tests put a script in its place.
    using ModalRunner = std::function<int(QDialog &)>;
    // Runs a command's handler once its guard has let it through; tests of the guard put
    // a recorder in its place.
    using HandlerRunner = std::function<void(int commandId, const std::function<void()> &handler)>;

    MenuCommands(MenuHost &host, const std::map<int, QAction *> &actions,
                 QObject *parent = nullptr);

    // The handler of a command id, behind its guard. Ids that are not commands do nothing.
    void Run(int commandId);

    bool SupervisorMode() const { return m_supervisor; }
    // Off at every start; only the menu command switches it on.
    void ResetSupervisorMode();

    void SetModalRunner(ModalRunner runner) { m_runModal = std::move(runner); }
    void SetHandlerRunner(HandlerRunner runner) { m_runHandler = std::move(runner); }
    int RunModal(QDialog &dialog);

    // Where the NVRAM image commands get their file; empty: the file dialog.
    void SetFileChooser(NvramImageCommands::FileChooser chooser) {
        m_chooseFile = std::move(chooser);
    }
    // Where the price history's export goes; empty: the file dialog.
    void SetExportChooser(std::function<QString()> chooser) { m_chooseExport = std::move(chooser); }
    // Where the port dialog looks for ports.
    void SetPortDiscovery(PortDiscovery discovery) { m_portDiscovery = std::move(discovery); }

    // The NVRAM load, for the menu and for the controller's demand for an update; false
    // when no file was chosen.
    bool RunNvramLoad();
    // The port dialog, for the menu and for the start-up.
    void RunPortDialog();

private:
    enum class Guard { None, PasswordUnlessSupervisor };
    using Handler = void (MenuCommands::*)();
    struct Command {
        Guard guard;
        Handler handler;
    };

    // The system password dialog; true when the controller accepted the password.
    bool PasswordGiven();
    void SetSupervisorMode(bool on);

    void LoadNvramImage();
    void SaveNvramImage();
    void PriceHistory();
    void Exit();
    void IntensityMode();
    void DutyCycle();
    void OnOffTime();
    void PerformTest();
    void ViewResetLog();
    void ViewFailLog();
    void Tags();
    void DateAndTime();
    void Password();
    void Communications();
    void SupervisorModeSwitch();
    void Manual();
    void About();

    static const std::map<int, Command> &Commands();

    MenuHost &m_host;
    std::map<int, QAction *> m_actions;
    bool m_supervisor = false;
    ModalRunner m_runModal = [](QDialog &dialog) { return dialog.exec(); };
    NvramImageCommands::FileChooser m_chooseFile;
    std::function<QString()> m_chooseExport;
    PortDiscovery m_portDiscovery;
    HandlerRunner m_runHandler = [](int, const std::function<void()> &handler) { handler(); };
};
