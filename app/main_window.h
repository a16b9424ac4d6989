#pragma once

#include <QDateTime>
#include <QDialog>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "menu_host.h"
#include "price_panel.h"
#include "status_line.h"
#include "window_keep_alive.h"

class CmEdit;
class DeviceMap;
class HelpWindow;
class MenuCommands;
class LinkPlatform;
class OperatorConsole;
class EventLogFile;
class PriceLogFile;
class PriceLogFollower;
class QAction;
class QLabel;
class QPushButton;
class SignSystem;

// The workstation's main window, run modally for the whole life of the program: the
// eight price lines, Send Update, the status line and the menu. Its initialisation
// creates the one sign system and asks the controller for the installation; its end
// saves the settings and deletes the sign system. It is also what its menu's commands
// run against.
class MainWindow : public QDialog, public MenuHost {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kNvramStopPause{5000};
    static constexpr std::chrono::milliseconds kShutdownPause{1000};
    static constexpr std::chrono::milliseconds kPollPeriod{1000};
    static constexpr std::chrono::milliseconds kDialogCloseRetry{100};
    // Told once the window shows, when the controller reported at start-up that its memory
    // must be loaded and nothing of the installation was read.
    static constexpr const char *kMemoryMustBeLoadedText =
        "The Central Controller's memory (NVRAM) must be loaded before the signs can be "
        "used.\nChoose File > Load NVRAM Image ... and the image last saved from this "
        "controller. VOXA ends after the load; start it again then.";
    // At start-up, when the port dialog was left without choosing a port.
    static constexpr const char *kNoPortText =
        "No serial port is chosen, so VOXA cannot reach the Central Controller.\n"
        "Choose the port with System > Communications ..., then start VOXA again.";

    // At start-up, after the lines of the logs that do not fit their chains.
    static constexpr const char *kLogEditedText =
        "The log was changed after it was written. Keep a copy of it as it is now for whoever "
        "keeps the station's records, and find out who changed it: see \"Checking the logs\" "
        "in the manual (F1). VOXA goes on logging after its last row.";

    MainWindow(LinkPlatform &platform, OperatorConsole &console, DeviceMap &devices,
               QString settingsPath = "./voxa.ini", QWidget *parent = nullptr);
    ~MainWindow() override;

    // Everything from creating the sign system to closing the splash, in order.
    bool Initialise();
    // Ends the program once no handler of this window is running any more, so nothing on
    // the stack outlives the sign system or the window.
    void RequestEnd() override;
    // The system asks the program to stop (a shutdown, a log-out, a kill): every dialog on
    // screen closes as if cancelled, sending nothing, and the program ends as when the
    // user closes it, settings saved.
    void EndForSystem();
    // The window's end, whatever its cause: timer stopped, a pause, settings saved, sign
    // system deleted.
    void done(int result) override;

    // The one-second tick. One that comes in the middle of a transaction (while the window
    // is kept alive) runs as soon as the transaction is over.
    void Tick();
    // Escape and the close box: the program ends at once, or after "Exit VOXA?" when
    // prices were edited and not sent. Asked while a handler runs (a transaction, say), the
    // question waits until it has returned.
    void AskToEnd();
    // The installed lines edited and not sent, in order.
    std::vector<int> UnsentLines() const override;
    // From now on the window is redrawn and answers the desktop while a transaction waits
    // on the line (the link's keep-alive hook), without taking user input.
    void StayAliveDuringTransactions();
    WindowKeepAlive &KeepAlive() { return m_keepAlive; }
    // A tick came in the middle of a transaction and waits for its end.
    bool TickWaiting() const { return m_tickRetry.isActive(); }
    // How often the tick comes (tests shorten it).
    void SetPollPeriod(std::chrono::milliseconds period) { m_pollTimer.setInterval(period); }
    // A menu command, behind its guard.
    void RunCommand(int commandId);
    void ShowAbout() override;
    // The manual at its contents, in its own window; asked again, the window is raised.
    void ShowManual() override;

    SignSystem *System() const override { return m_system.get(); }
    // Which device each port name means; the port dialog adds to it, the settings keep it.
    DeviceMap &Devices() override { return m_devices; }
    PricePanel *Panel() const { return m_panel.get(); }
    // The price log beside the settings file; there from the start of Initialise().
    PriceLogFile *PriceLogInUse() const override { return m_priceLog.get(); }
    // What learns the prices other programs set from the price log; none until the start-up
    // reads are over.
    PriceLogFollower *Follower() const { return m_follower.get(); }
    // The event log beside the settings file, the sign system's journal; there from the
    // start of Initialise().
    EventLogFile *EventLogInUse() const override { return m_eventLog.get(); }
    QWidget *DialogParent() override { return this; }
    StatusLine &Status() { return *m_statusLine; }
    const QTimer &PollTimer() const { return m_pollTimer; }
    QAction *Command(int commandId) const;
    MenuCommands &Commands() { return *m_menuCommands; }
    HelpWindow *Help() const { return m_help; }
    QString MenuPrompt() const;
    bool SplashOpen() const { return m_splash != nullptr; }

    // Runs the port dialog at start-up when the settings ask for it or name no port.
    void SetPortDialogHook(std::function<void()> hook) { m_portDialogHook = std::move(hook); }
    void SetClock(std::function<QDateTime()> now) { m_now = std::move(now); }

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    class HandlerScope;

    void BuildControls();
    void LoadSettings();
    void SaveSettings();
    // Says once, at start-up, which price settings are not used and where the price log
    // goes when its usual file belongs to someone else.
    void ReportPriceSetup(const std::vector<std::string> &problems);
    // After a send: a price log moved elsewhere is told at once, a price log that failed
    // is shown in the status line and told once on standard error.
    void FollowPriceLog();
    // Shows the prices other programs put on the sign since the last tick, as the price log
    // tells them.
    void FollowChangesElsewhere();
    // The same for the event log, at every tick: a supervisor change that could not be
    // logged is shown in the status line and told once on standard error.
    void FollowEventLog();
    // Says once, at start-up, when a log does not fit its chain.
    void CheckLogs();
    void CloseSplash();
    void EndProgram();

    LinkPlatform &m_platform;
    OperatorConsole &m_console;
    DeviceMap &m_devices;
    QString m_settingsPath;

    std::array<CmEdit *, 8> m_priceFields{};
    std::array<QLabel *, 8> m_tagFields{};
    std::array<QLabel *, 8> m_changedMarks{};
    QLabel *m_lastUpdate = nullptr;
    QPushButton *m_sendUpdate = nullptr;
    QLabel *m_clock = nullptr;
    QLabel *m_menuPrompt = nullptr;
    QLabel *m_statusText = nullptr;
    QLabel *m_statusIcon = nullptr;
    std::map<int, QAction *> m_commands;

    std::unique_ptr<PriceLogFile> m_priceLog;
    bool m_priceLogProblemTold = false;
    // From the end of the start-up reads on; none when they did not run.
    std::unique_ptr<PriceLogFollower> m_follower;
    bool m_followProblemTold = false;
    std::unique_ptr<EventLogFile> m_eventLog;
    bool m_eventLogProblemTold = false;
    std::unique_ptr<SignSystem> m_system;
    std::unique_ptr<PricePanel> m_panel;
    std::unique_ptr<StatusLine> m_statusLine;
    QWidget *m_splash = nullptr;
    QTimer m_pollTimer;
    // Brings back a tick that came in the middle of a transaction.
    QTimer m_tickRetry;
    WindowKeepAlive m_keepAlive;
    std::unique_ptr<MenuCommands> m_menuCommands;
    HelpWindow *m_help = nullptr;

    std::function<void()> m_portDialogHook;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };

    int m_handlerDepth = 0;
    bool m_endPending = false;
    // Escape or the close box came while a handler ran.
    bool m_endAskPending = false;
    bool m_ended = false;
};
