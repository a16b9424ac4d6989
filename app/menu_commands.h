#pragma once

#include <QDialog>
#include <QObject>
#include <functional>
#include <map>

class MainWindow;
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

    static constexpr const char *kNotAvailable = "This command is not available yet.";

    MenuCommands(MainWindow &window, const std::map<int, QAction *> &actions,
                 QObject *parent = nullptr);

    // The handler of a command id, behind its guard. Ids that are not commands do nothing.
    void Run(int commandId);

    bool SupervisorMode() const { return m_supervisor; }
    // Off at every start; only the menu command switches it on.
    void ResetSupervisorMode();

    void SetModalRunner(ModalRunner runner) { m_runModal = std::move(runner); }
    void SetHandlerRunner(HandlerRunner runner) { m_runHandler = std::move(runner); }
    int RunModal(QDialog &dialog);

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
    void NotAvailableYet();

    void LoadNvramImage();
    void SaveNvramImage();
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

    MainWindow &m_window;
    std::map<int, QAction *> m_actions;
    bool m_supervisor = false;
    ModalRunner m_runModal = [](QDialog &dialog) { return dialog.exec(); };
    HandlerRunner m_runHandler = [](int, const std::function<void()> &handler) { handler(); };
};
