#include "main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>

#include "about_dialog.h"
#include "cm_edit.h"
#include "device_map.h"
#include "dialog_units.h"
#include "event_log_file.h"
#include "exit_question.h"
#include "help_window.h"
#include "line_hold.h"
#include "main_menu.h"
#include "menu_commands.h"
#include "operator_console.h"
#include "price_log_file.h"
#include "price_log_follower.h"
#include "resource_ids.h"
#include "scoped_wait_cursor.h"
#include "settings_binding.h"
#include "settings_file.h"
#include "sign_system.h"
#include "splash_window.h"

namespace {

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

}  // namespace

// Marks a handler of this window as running; an end requested meanwhile waits for the
// outermost one to return.
class MainWindow::HandlerScope {
public:
    explicit HandlerScope(MainWindow &window) : m_window(window) { ++m_window.m_handlerDepth; }
    ~HandlerScope() {
        if (--m_window.m_handlerDepth > 0) return;
        if (m_window.m_endPending) {
            QMetaObject::invokeMethod(&m_window, &MainWindow::EndProgram, Qt::QueuedConnection);
        } else if (m_window.m_endAskPending) {
            m_window.m_endAskPending = false;
            QMetaObject::invokeMethod(&m_window, &MainWindow::AskToEnd, Qt::QueuedConnection);
        }
    }
    HandlerScope(const HandlerScope &) = delete;
    HandlerScope &operator=(const HandlerScope &) = delete;

private:
    MainWindow &m_window;
};

MainWindow::MainWindow(LinkPlatform &platform, OperatorConsole &console, DeviceMap &devices,
                       QString settingsPath, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_platform(platform),
      m_console(console),
      m_devices(devices),
      m_settingsPath(std::move(settingsPath)) {
    setObjectName(Id(Ids::Dialog::kMainWindow));
    setWindowTitle("Lumivane Electronic Sign Workstation");
    QIcon icon;
    for (int size : Ids::Icon::kSizes) {
        icon.addFile(
            QString::fromStdString(Ids::Icon::ResourcePath(Ids::Icon::kApplication, size)));
    }
    setWindowIcon(icon);
    m_pollTimer.setObjectName(Id(Ids::Timer::kPoll));
    m_pollTimer.setInterval(kPollPeriod);
    connect(&m_pollTimer, &QTimer::timeout, this, &MainWindow::Tick);
    m_tickRetry.setSingleShot(true);
    m_tickRetry.setInterval(0);
    connect(&m_tickRetry, &QTimer::timeout, this, &MainWindow::Tick);
    BuildControls();
}

MainWindow::~MainWindow() {
    if (g_signSystem == m_system.get()) g_signSystem = nullptr;
}

void MainWindow::BuildControls() {
    setFont(DialogUnits::DialogFont());
    const DialogUnits du(font());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    QMenuBar *menuBar = MainMenu::Build(this, m_commands);
    layout->setMenuBar(menuBar);
    m_menuCommands = std::make_unique<MenuCommands>(*this, m_commands);
    for (const auto &[id, action] : m_commands) {
        connect(action, &QAction::triggered, this, [this, id = id] { RunCommand(id); });
    }
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &MainWindow::ShowManual);

    auto *client = new QWidget(this);
    client->setFixedSize(du.ToPixelsX(289), du.ToPixelsY(196));
    layout->addWidget(client);

    // Frames first, so that the controls inside them stay on top.
    auto *linesFrame = new QGroupBox("Lumivane Electronic Signs", client);
    linesFrame->setObjectName(Id(Ids::Main::kLinesFrame));
    linesFrame->setGeometry(du.ToPixels(6, 3, 278, 177));
    auto *sendFrame = new QGroupBox(client);
    sendFrame->setGeometry(du.ToPixels(191, 125, 85, 45));

    for (int line = 1; line <= SignSystem::kMaxLines; ++line) {
        const int row = 20 * (line - 1);
        auto *tag = new QLabel(SettingsBinding::kNotInstalledField, client);
        tag->setObjectName(Id(Ids::Main::kTagFieldIds[line - 1]));
        tag->setGeometry(du.ToPixels(15, 17 + row, 104, 14));
        tag->setWordWrap(false);
        tag->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        tag->setEnabled(false);
        m_tagFields[line - 1] = tag;

        // Between the tag and the price: the line, edited here, was changed elsewhere. The
        // tooltip says by whom, when and to what.
        auto *mark = new QLabel("!", client);
        mark->setObjectName(Id(Ids::Main::kChangedElsewhereMarkIds[line - 1]));
        mark->setGeometry(du.ToPixels(116, 15 + row, 9, 14));
        mark->setAlignment(Qt::AlignCenter);
        mark->setAutoFillBackground(true);
        mark->setFont(DialogUnits::CellHeightFont(PricePanel::kBoldCellHeight, QFont::Black));
        QPalette markColours = mark->palette();
        markColours.setColor(QPalette::WindowText, QColor(0xc0, 0x30, 0x00));
        mark->setPalette(markColours);
        mark->setVisible(false);
        m_changedMarks[line - 1] = mark;

        auto *price = new CmEdit(client);
        price->setObjectName(Id(Ids::Main::kPriceFieldIds[line - 1]));
        price->setGeometry(du.ToPixels(125, 15 + row, 58, 14));
        price->setEnabled(false);
        m_priceFields[line - 1] = price;
    }

    m_lastUpdate = new QLabel("Last Update:\nXX:XX xm 12/12/2001", client);
    m_lastUpdate->setObjectName(Id(Ids::Main::kLastUpdate));
    m_lastUpdate->setGeometry(du.ToPixels(194, 132, 78, 19));
    m_lastUpdate->setAlignment(Qt::AlignCenter);
    m_lastUpdate->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    m_sendUpdate = new QPushButton("Send &Update >>", client);
    m_sendUpdate->setObjectName(Id(Ids::Main::kSendUpdate));
    m_sendUpdate->setGeometry(du.ToPixels(194, 152, 79, 15));
    m_sendUpdate->setDefault(true);
    m_sendUpdate->setEnabled(false);
    connect(m_sendUpdate, &QPushButton::clicked, this, [this] {
        HandlerScope scope(*this);
        if (!m_panel) return;
        // The window is drawn while the prices go out, but takes no input meanwhile.
        ScopedWaitCursor wait;
        m_panel->SendUpdate();
        FollowPriceLog();
    });

    // The bottom line, in dialog units: the resting prompt ("Press F1 For Help.", about 56)
    // from 0, the clock (about 68 for "12/12/2026 12:59 PM") from 60, the status icon from
    // 131 and the status text beside it from 146, room for the longest, "Error Status: CC
    // memory must be loaded." (about 132). A command's prompt (up to about 113 units) takes
    // the clock's room while a menu is open: the clock comes back with the resting text.
    m_clock = new QLabel(client);
    m_clock->setObjectName(Id(Ids::Main::kClock));
    m_clock->setGeometry(du.ToPixels(60, 184, 70, 12));
    m_menuPrompt = new QLabel(MainMenu::kRestingPrompt, client);
    m_menuPrompt->setObjectName(Id(Ids::Main::kMenuPrompt));
    const QRect restingPrompt = du.ToPixels(0, 184, 60, 12);
    const QRect commandPrompt = du.ToPixels(0, 184, 130, 12);
    m_menuPrompt->setGeometry(restingPrompt);
    MainMenu::FollowPrompts(menuBar, [this, restingPrompt, commandPrompt](const QString &prompt) {
        const bool resting = prompt == MainMenu::kRestingPrompt;
        m_menuPrompt->setText(prompt);
        m_menuPrompt->setGeometry(resting ? restingPrompt : commandPrompt);
        m_clock->setVisible(resting);
    });
    m_clock->setAlignment(Qt::AlignCenter);

    m_statusText = new QLabel("Status: All Signs Ready. ", client);
    m_statusText->setObjectName(Id(Ids::Main::kStatusText));
    m_statusText->setGeometry(du.ToPixels(146, 184, 289 - 146, 12));
    m_statusText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_statusIcon = new QLabel(client);
    m_statusIcon->setObjectName(Id(Ids::Main::kStatusIcon));
    m_statusIcon->setGeometry(du.ToPixels(131, 185, 13, 9));
    m_statusIcon->setPixmap(StatusLine::StatusPixmap(Ids::Bitmap::kReadyStatus, palette()));

    m_statusLine = std::make_unique<StatusLine>(m_clock, m_statusText, m_statusIcon, m_tagFields);
}

bool MainWindow::Initialise() {
    HandlerScope scope(*this);
    m_system = std::make_unique<SignSystem>(m_platform, m_console);
    g_signSystem = m_system.get();
    // The price log lives beside the settings file.
    m_priceLog = std::make_unique<PriceLogFile>(
        std::filesystem::path(m_settingsPath.toStdString()).parent_path(), "workstation");
    m_panel =
        std::make_unique<PricePanel>(*m_system, m_console,
                                     PricePanel::Controls{m_priceFields, m_tagFields, m_sendUpdate,
                                                          m_lastUpdate, m_clock, m_changedMarks},
                                     m_priceLog.get());
    // Every supervisor change goes on record beside the settings file too.
    m_eventLog = std::make_unique<EventLogFile>(
        std::filesystem::path(m_settingsPath.toStdString()).parent_path(), "workstation");
    m_system->SetJournal(m_eventLog.get());
    m_panel->SetEditsArmed(false);
    m_menuCommands->ResetSupervisorMode();

    auto *splash = new SplashWindow(this);
    m_splash = splash;
    splash->ShowNow();

    LoadSettings();
    m_panel->ApplyNormalFont();
    // On a first start (no settings file yet), or with a file that names no port, the port
    // is chosen before the controller is asked anything, rather than every exchange
    // failing on a port that does not exist.
    const bool noPort = m_devices.DevicePath(m_system->GetPortName()).empty();
    if ((m_system->ShowPortDialog() || noPort) && m_portDialogHook) {
        m_portDialogHook();
        splash->repaint();
    }
    if (!DeviceMap::IsPortName(m_system->GetPortName())) {
        // The port dialog was left without a port. Every question would fail on a name
        // that opens nothing, so none is asked, as when nothing answers.
        m_console.ShowMessage(kNoPortText);
        m_pollTimer.start();
        CloseSplash();
        m_statusLine->SetShown(StatusLine::Shown::Nothing);
        return true;
    }

    // The start-up reads keep the line from the first to the last, so that a script's
    // command does not land between them.
    std::optional<LineHold> hold;
    hold.emplace(*m_system, "reading the installation at start-up");
    if (m_panel->Reads().ReadStatus()) {
        // The controller wants its memory updated: stop here, with the price fields
        // unmasked and disabled. The window says what to do once it is on the screen; its
        // clock and status line ("CC memory must be loaded") run, and File > Load NVRAM
        // Image works from here.
        hold.reset();
        m_console.Wait(kNvramStopPause);
        m_pollTimer.start();
        CloseSplash();
        m_statusLine->SetShown(StatusLine::Shown::Nothing);
        QMetaObject::invokeMethod(
            this,
            [this] {
                HandlerScope scope(*this);
                m_console.ShowMessage(kMemoryMustBeLoadedText);
            },
            Qt::QueuedConnection);
        return true;
    }
    if (m_system->LinkDown()) {
        hold.reset();
        // Nothing answered. Every further question would cost half a minute and a message
        // box of its own, so none is asked: the window opens with its lines not installed,
        // and the clock and the status line ("CC not answering") run, so the supervisor can
        // reach the port settings from the menu.
        m_pollTimer.start();
        CloseSplash();
        m_statusLine->SetShown(StatusLine::Shown::Nothing);
        return true;
    }
    m_panel->SetUpPriceFields();
    m_pollTimer.start();
    m_panel->EnableInstalledLines();
    m_panel->LoadPrices();
    // From the prices just read on, what other programs send is followed. The line is still
    // held: nothing can have gone out in between.
    m_follower = std::make_unique<PriceLogFollower>(*m_priceLog);
    // The log's times are the PC's, whatever clock this window shows.
    m_follower->Start(std::time(nullptr));
    hold.reset();
    CloseSplash();
    m_statusLine->SetShown(StatusLine::Shown::Nothing);
    return true;
}

void MainWindow::CloseSplash() {
    delete m_splash;
    m_splash = nullptr;
}

void MainWindow::StayAliveDuringTransactions() {
    m_platform.SetKeepAlive([this] { m_keepAlive.Serve(); });
}

void MainWindow::Tick() {
    if (m_keepAlive.Serving()) {
        // The tick reads and arms what the transaction under way may still change.
        m_tickRetry.start();
        return;
    }
    HandlerScope scope(*this);
    if (!m_system) return;
    FollowEventLog();
    m_statusLine->Tick(*m_system, m_now(), m_panel->InstalledLines());
    m_panel->SetEditsArmed(true);
    FollowChangesElsewhere();
}

void MainWindow::FollowChangesElsewhere() {
    // Not while Send Update runs (its questions let ticks through): it reads the fields and
    // the prices known as it goes.
    if (!m_follower || !m_panel || m_panel->Sending()) return;
    std::string notice;
    for (const PriceLogFollower::Change &change : m_follower->Poll(notice)) {
        m_panel->TakeChangeFromElsewhere(change);
    }
    const std::string &problem = m_follower->Problem();
    if (!problem.empty() && !m_followProblemTold) {
        m_followProblemTold = true;
        std::cerr << "voxa: price changes made elsewhere not followed: " << problem << std::endl;
    }
    if (!notice.empty()) m_console.ShowMessage(notice);
}

void MainWindow::LoadSettings() {
    SettingsFile file(m_settingsPath.toStdString());
    file.Load();
    if (file.Unreadable()) {
        // A FIFO, a device or a file far too large in its place: the defaults stand in, and
        // the file is left as it is (nothing is saved over it).
        std::string problem = file.LastError();
        while (!problem.empty() && problem.back() == '\n') problem.pop_back();
        m_console.ShowMessage("The settings file cannot be read:\n" + problem +
                              "\n\nVOXA starts with the default settings and will not save "
                              "them there. Put a regular settings file in its place and start "
                              "VOXA again.");
    }
    const std::string lastUpdate = SettingsBinding::Load(file, *m_system, m_devices);
    m_lastUpdate->setText(QString::fromStdString(lastUpdate));
    const SettingsBinding::PriceRules rules = SettingsBinding::LoadPriceRules(file);
    m_panel->Update().SetConfirm(rules.confirm);
    m_panel->Update().SetLimits(rules.limits);
    ReportPriceSetup(rules.problems);
}

void MainWindow::ReportPriceSetup(const std::vector<std::string> &problems) {
    if (!problems.empty()) {
        const std::string file =
            std::filesystem::path(m_settingsPath.toStdString()).filename().string();
        std::string text = "These price settings in " + file + " are not used:\n";
        for (const std::string &problem : problems) text += "\n" + problem;
        text += "\n\nCorrect them in " + file + " and start VOXA again.";
        m_console.ShowMessage(text);
    }
    const std::string notice = m_priceLog->Prepare();
    if (!notice.empty()) m_console.ShowMessage(notice);
    const std::string eventNotice = m_eventLog->Prepare();
    if (!eventNotice.empty()) m_console.ShowMessage(eventNotice);
    CheckLogs();
}

void MainWindow::CheckLogs() {
    // One pass through each log that keeps little in memory: a log of years is checked in a
    // moment.
    std::string text;
    const auto check = [&text](const auto &log) {
        ChainedLog::Verdict verdict;
        std::string reason;
        if (log.Verify(verdict, reason) && !verdict.fits)
            text += (text.empty() ? "" : "\n") + verdict.Text(log.Path().string());
    };
    check(*m_priceLog);
    check(*m_eventLog);
    if (text.empty()) return;
    m_console.ShowMessage(text + "\n\n" + kLogEditedText);
}

void MainWindow::FollowEventLog() {
    if (!m_eventLog) return;
    const std::string notice = m_eventLog->TakeNotice();
    if (!notice.empty()) m_console.ShowMessage(notice);
    const std::string &problem = m_eventLog->Problem();
    if (problem.empty()) return;
    m_statusLine->SetEventLogProblem(QString::fromStdString(problem));
    if (!m_eventLogProblemTold) {
        m_eventLogProblemTold = true;
        std::cerr << "voxa: supervisor change not logged: " << problem << std::endl;
    }
}

void MainWindow::FollowPriceLog() {
    if (!m_priceLog) return;
    const std::string notice = m_priceLog->TakeNotice();
    if (!notice.empty()) m_console.ShowMessage(notice);
    const std::string &problem = m_priceLog->Problem();
    if (problem.empty()) return;
    m_statusLine->SetPriceLogProblem(QString::fromStdString(problem));
    if (!m_priceLogProblemTold) {
        m_priceLogProblemTold = true;
        std::cerr << "voxa: price change not logged: " << problem << std::endl;
    }
}

void MainWindow::SaveSettings() {
    SettingsFile file(m_settingsPath.toStdString());
    file.Load();
    // A send that stopped at a line leaves its error in the field; the last complete one
    // is what is kept.
    const QString lastUpdate = m_panel ? m_panel->LastUpdateToKeep() : m_lastUpdate->text();
    SettingsBinding::Save(file, *m_system, lastUpdate.toStdString());
    SettingsBinding::SaveDevices(file, m_devices);
    if (!file.Save()) {
        // Nothing on screen reports it; the old file stays as it was.
        std::cerr << "voxa: settings not saved: " << file.LastError() << std::endl;
    }
}

void MainWindow::RequestEnd() {
    m_endPending = true;
    if (m_handlerDepth == 0) {
        QMetaObject::invokeMethod(this, &MainWindow::EndProgram, Qt::QueuedConnection);
    }
}

void MainWindow::EndForSystem() {
    if (m_ended) return;
    bool dialogsLeft = false;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog == nullptr || dialog == this || !dialog->isVisible()) continue;
        if (dialog->isModal() || dialog->testAttribute(Qt::WA_ShowModal)) {
            dialog->reject();
            dialogsLeft = true;
        }
    }
    RequestEnd();
    // A dialog in the middle of its own work ignores Cancel until the work is done: ask
    // again until every one has gone.
    if (dialogsLeft) {
        QTimer::singleShot(kDialogCloseRetry, this, &MainWindow::EndForSystem);
    }
}

void MainWindow::EndProgram() {
    if (m_handlerDepth > 0 || !m_endPending) {
        return;
    }
    m_endPending = false;
    reject();
}

void MainWindow::done(int result) {
    if (m_handlerDepth > 0) {
        // A handler is still on the stack (a message box of the status handler, say):
        // end once it has returned.
        m_endPending = true;
        return;
    }
    if (!m_ended) {
        m_ended = true;
        m_pollTimer.stop();
        m_tickRetry.stop();
        m_console.Wait(kShutdownPause);
        if (m_system) {
            SaveSettings();
        }
        CloseSplash();
        m_panel.reset();
        g_signSystem = nullptr;
        m_system.reset();
    }
    QDialog::done(result);
}

QAction *MainWindow::Command(int commandId) const {
    const auto found = m_commands.find(commandId);
    return found == m_commands.end() ? nullptr : found->second;
}

QString MainWindow::MenuPrompt() const {
    return m_menuPrompt->text();
}

void MainWindow::RunCommand(int commandId) {
    HandlerScope scope(*this);
    m_menuCommands->Run(commandId);
}

void MainWindow::ShowManual() {
    if (m_help == nullptr) {
        // A window of its own, but owned by this one: the modal main window lets its own
        // windows take input.
        m_help = new HelpWindow(this);
    }
    m_help->ShowContents();
}

void MainWindow::ShowAbout() {
    if (!m_system) return;
    HandlerScope scope(*this);
    AboutDialog about(*m_system, this);
    about.exec();
}

std::vector<int> MainWindow::UnsentLines() const {
    std::vector<int> lines;
    if (!m_system || !m_panel) return lines;
    for (int line = 1; line <= m_panel->InstalledLines(); ++line) {
        if (m_system->LineChanged(line)) lines.push_back(line);
    }
    return lines;
}

void MainWindow::AskToEnd() {
    if (m_ended) return;
    if (m_handlerDepth > 0) {
        m_endAskPending = true;
        return;
    }
    const std::vector<int> unsent = UnsentLines();
    if (!unsent.empty()) {
        bool yes = false;
        {
            HandlerScope scope(*this);
            yes = m_console.AskYesNo(ExitQuestion::Text(unsent));
        }
        if (!yes || m_endPending) return;
    }
    reject();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    // The window ends only through done(), which saves the settings.
    event->ignore();
    AskToEnd();
}

void MainWindow::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        AskToEnd();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent *event) {
    // Where the window system offers no window menu, the window's own context menu
    // carries its About item.
    QMenu menu(this);
    QAction *about = menu.addAction(Ids::String::kAboutMenuItemText);
    about->setObjectName(Id(Ids::Menu::kSystemAbout));
    if (menu.exec(event->globalPos()) == about) {
        ShowAbout();
    }
}
