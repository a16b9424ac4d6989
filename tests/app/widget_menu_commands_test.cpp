#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>
#include <fstream>
#include <memory>

#include "control_builder.h"
#include "device_map.h"
#include "event_log_file.h"
#include "help_window.h"
#include "main_menu.h"
#include "main_window.h"
#include "menu_commands.h"
#include "open_main_window.h"
#include "resource_ids.h"
#include "simulated_site.h"

namespace M = Ids::Menu;

namespace {

const std::vector<int> kGuardedCommands = {
    M::kLoadNvramImage, M::kSaveNvramImage, M::kIntensityMode, M::kDutyCycle,
    M::kSignOnOffTime,  M::kPerformTest,    M::kViewResetLog,  M::kViewFailLog,
    M::kTags,           M::kDateAndTime,    M::kCommunications};

}  // namespace

// The menu of the main window on the simulated site: the password guard, supervisor mode,
// the prompt field, the exit question and the manual. Dialogs run through a script that
// records them and answers for the user.
class MenuCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void GuardedCommandsAskEveryTimeUnlessSupervisor();
    void RefusedPasswordRunsNothing();
    void PasswordCommandAlwaysAsks();
    void SupervisorModeSwitchesWithTheCheckMark();
    void SupervisorModeIsOnRecord();
    void CancelledLoginLeavesSupervisorModeOff();
    void PromptFollowsTheHighlightedItem();
    void EveryPromptFitsItsField();
    void ExitAnsweredNoLeavesEverythingAsItWas();
    void F1OpensTheManualAtItsContents();
    void ManualContentsLinksReachTheirHeadings();
    void HeadingAnchors_data();
    void HeadingAnchors();

private:
    void Start();
    QAction *Item(int id) const { return m_window->Command(id); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<MainWindow> m_window;
    // Object names of the dialogs run, in order, and the handlers let through the guard.
    QStringList m_dialogs;
    std::vector<int> m_handled;
    int m_passwordAnswer = Ids::Result::kOk;
};

void MenuCommandsTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_site = std::make_unique<SimulatedSite>();
    m_devices = std::make_unique<DeviceMap>();
    m_dialogs.clear();
    m_handled.clear();
    m_passwordAnswer = Ids::Result::kOk;
    std::ofstream(m_dir->filePath("voxa.ini").toStdString()) << "[Communications]\nPort=COM1\n";
    Start();
}

void MenuCommandsTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void MenuCommandsTest::Start() {
    m_window = std::make_unique<MainWindow>(m_site->platform, m_site->console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    QVERIFY(OpenMainWindow(*m_window));
    m_window->Commands().SetModalRunner([this](QDialog &dialog) {
        m_dialogs << dialog.objectName();
        return dialog.objectName() == IdName(Ids::Dialog::kPassword) ? m_passwordAnswer
                                                                     : Ids::Result::kCancel;
    });
    m_site->controller.ClearRequests();
    m_site->console.messages.clear();
}

void MenuCommandsTest::GuardedCommandsAskEveryTimeUnlessSupervisor() {
    // Only the guard is under test here: the guarded handlers are recorded, not run.
    m_window->Commands().SetHandlerRunner([this](int id, const std::function<void()> &handler) {
        if (id == M::kSupervisorMode)
            handler();
        else
            m_handled.push_back(id);
    });
    for (int round = 0; round < 2; ++round) {
        for (int id : kGuardedCommands) m_window->RunCommand(id);
    }
    QCOMPARE(m_dialogs.size(), int(2 * kGuardedCommands.size()));
    QVERIFY(m_dialogs.count(IdName(Ids::Dialog::kPassword)) == m_dialogs.size());
    std::vector<int> twice = kGuardedCommands;
    twice.insert(twice.end(), kGuardedCommands.begin(), kGuardedCommands.end());
    QCOMPARE(m_handled, twice);

    m_window->RunCommand(M::kSupervisorMode);
    QVERIFY(m_window->Commands().SupervisorMode());
    m_dialogs.clear();
    m_handled.clear();
    for (int id : kGuardedCommands) m_window->RunCommand(id);
    QVERIFY(m_dialogs.isEmpty());
    QCOMPARE(m_handled, kGuardedCommands);
}

void MenuCommandsTest::RefusedPasswordRunsNothing() {
    m_passwordAnswer = Ids::Result::kCancel;
    m_window->Commands().SetHandlerRunner(
        [this](int id, const std::function<void()> &) { m_handled.push_back(id); });
    for (int id : kGuardedCommands) m_window->RunCommand(id);
    QCOMPARE(m_dialogs.size(), int(kGuardedCommands.size()));
    QVERIFY(m_handled.empty());
    QVERIFY(m_site->controller.Requests().empty());
    QVERIFY(m_site->console.messages.empty());
}

void MenuCommandsTest::PasswordCommandAlwaysAsks() {
    m_window->RunCommand(M::kSupervisorMode);
    m_dialogs.clear();
    m_window->RunCommand(M::kPassword);
    QCOMPARE(m_dialogs,
             QStringList({IdName(Ids::Dialog::kPassword), IdName(Ids::Dialog::kChangePassword)}));

    m_dialogs.clear();
    m_passwordAnswer = Ids::Result::kCancel;
    m_window->RunCommand(M::kPassword);
    QCOMPARE(m_dialogs, QStringList({IdName(Ids::Dialog::kPassword)}));
}

void MenuCommandsTest::SupervisorModeSwitchesWithTheCheckMark() {
    QVERIFY(!Item(M::kSupervisorMode)->isChecked());
    // Chosen from the menu, as the user does: Qt flips the mark before the handler runs.
    Item(M::kSupervisorMode)->trigger();
    QVERIFY(m_window->Commands().SupervisorMode());
    QVERIFY(Item(M::kSupervisorMode)->isChecked());
    QCOMPARE(m_site->console.messages, std::vector<std::string>{"Supervisor Logged In."});
    QCOMPARE(m_dialogs.size(), 1);

    Item(M::kSupervisorMode)->trigger();
    QVERIFY(!m_window->Commands().SupervisorMode());
    QVERIFY(!Item(M::kSupervisorMode)->isChecked());
    QCOMPARE(m_site->console.messages.back(), std::string("Supervisor Logged Out."));
    QCOMPARE(m_dialogs.size(), 1);  // no password to switch off
}

void MenuCommandsTest::CancelledLoginLeavesSupervisorModeOff() {
    m_passwordAnswer = Ids::Result::kCancel;
    Item(M::kSupervisorMode)->trigger();
    QVERIFY(!m_window->Commands().SupervisorMode());
    QVERIFY(!Item(M::kSupervisorMode)->isChecked());
    QVERIFY(m_site->console.messages.empty());
}

void MenuCommandsTest::PromptFollowsTheHighlightedItem() {
    QMenu *file = Item(M::kExit)->associatedObjects().isEmpty()
                      ? nullptr
                      : qobject_cast<QMenu *>(Item(M::kExit)->associatedObjects().first());
    QVERIFY(file != nullptr);
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(file->isVisible());
    // Load, Save, (separator skipped), Price History, (separator skipped), Exit.
    QTest::keyClick(file, Qt::Key_Up);
    QCOMPARE(m_window->MenuPrompt(), QString("Close Application."));
    QTest::keyClick(file, Qt::Key_Up);
    QCOMPARE(m_window->MenuPrompt(), QString("View the Log of Price Changes."));
    QTest::keyClick(file, Qt::Key_Up);
    QCOMPARE(m_window->MenuPrompt(), QString("Save NVRAM Image from Sign."));
    QTest::keyClick(file, Qt::Key_Up);
    QCOMPARE(m_window->MenuPrompt(), QString("Load NVRAM Image to Sign."));
    QTest::keyClick(file, Qt::Key_Escape);
    QTRY_VERIFY(!file->isVisible());
    QCOMPARE(m_window->MenuPrompt(), QString("Press F1 For Help."));

    // A submenu's title shows the resting text; its commands show their own.
    QMenu *sign = qobject_cast<QMenu *>(Item(M::kSignOnOffTime)->associatedObjects().first());
    sign->popup(QPoint(0, 0));
    QTRY_VERIFY(sign->isVisible());
    QTest::keyClick(sign, Qt::Key_Down);
    QCOMPARE(m_window->MenuPrompt(), QString("Press F1 For Help."));
    QTest::keyClick(sign, Qt::Key_Down);
    QCOMPARE(m_window->MenuPrompt(), QString("Configure Sign On/Off Options."));
    sign->hide();
    QCOMPARE(m_window->MenuPrompt(), QString("Press F1 For Help."));
}

void MenuCommandsTest::EveryPromptFitsItsField() {
    auto *field = m_window->findChild<QLabel *>(IdName(Ids::Main::kMenuPrompt));
    auto *clock = m_window->findChild<QLabel *>(IdName(Ids::Main::kClock));
    QMenu *help = qobject_cast<QMenu *>(Item(M::kAbout)->associatedObjects().first());
    for (QAction *action : m_window->findChildren<QAction *>()) {
        const QString prompt = MainMenu::PromptFor(action->data().toInt());
        if (prompt.isEmpty()) continue;
        emit help->hovered(action);
        QCOMPARE(field->text(), prompt);
        QVERIFY2(field->fontMetrics().horizontalAdvance(prompt) <= field->contentsRect().width(),
                 qPrintable(prompt));
        // The clock makes room, and nothing else lies under the prompt.
        QVERIFY(!clock->isVisible());
        QVERIFY(field->geometry().right() <
                m_window->findChild<QLabel *>(IdName(Ids::Main::kStatusIcon))->geometry().left());
    }
    emit help->aboutToHide();
    QVERIFY(clock->isVisible());
    QVERIFY(!field->geometry().intersects(clock->geometry()));
}

void MenuCommandsTest::ExitAnsweredNoLeavesEverythingAsItWas() {
    m_site->console.answerYes = false;
    m_window->RunCommand(M::kExit);
    QCOMPARE(m_site->console.questions, std::vector<std::string>{"Exit VOXA?"});
    QTest::qWait(50);
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->System() != nullptr);
    QVERIFY(m_window->PollTimer().isActive());
    QCOMPARE(m_site->console.endRequests, 0);
}

void MenuCommandsTest::F1OpensTheManualAtItsContents() {
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    HelpWindow *help = m_window->Help();
    QVERIFY(help != nullptr);
    QTRY_VERIFY(help->isVisible());
    QCOMPARE(help->Browser()->source(), HelpWindow::kManualUrl);
    QVERIFY(help->Browser()->toPlainText().contains("Contents"));
    QCOMPARE(help->Browser()->verticalScrollBar()->value(), 0);

    // Asked again from the menu, the same window comes back.
    m_window->RunCommand(M::kManual);
    QCOMPARE(m_window->Help(), help);
}

void MenuCommandsTest::ManualContentsLinksReachTheirHeadings() {
    HelpWindow help;
    QTextDocument *document = help.Browser()->document();
    QStringList anchors;
    QStringList links;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            anchors << format.anchorNames();
            if (format.anchorHref().startsWith('#')) links << format.anchorHref().mid(1);
        }
    }
    QVERIFY(links.size() >= 2);
    for (const QString &link : links) {
        QVERIFY2(anchors.contains(link), qPrintable("no heading for #" + link));
    }
}

void MenuCommandsTest::HeadingAnchors_data() {
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("anchor");
    QTest::newRow("words") << "The main window"
                           << "the-main-window";
    QTest::newRow("punctuation") << "Load NVRAM Image ..."
                                 << "load-nvram-image-";
    QTest::newRow("slash and colon") << "On/Off time: daily"
                                     << "onoff-time-daily";
    QTest::newRow("hyphen kept") << "voxa-ctl for scripts"
                                 << "voxa-ctl-for-scripts";
}

void MenuCommandsTest::HeadingAnchors() {
    QFETCH(QString, heading);
    QFETCH(QString, anchor);
    QCOMPARE(HelpWindow::AnchorFor(heading), anchor);
}

// Each switch of the supervisor mode is one row of the event log beside the settings.
void MenuCommandsTest::SupervisorModeIsOnRecord() {
    m_window->RunCommand(M::kSupervisorMode);
    m_window->RunCommand(M::kSupervisorMode);
    const EventLogFile *log = m_window->EventLogInUse();
    QVERIFY(log != nullptr);
    std::vector<EventLogFile::Entry> entries;
    std::string reason;
    QVERIFY(log->ReadEach([&](EventLogFile::Entry &&e) { entries.push_back(e); }, reason));
    QCOMPARE(entries.size(), std::size_t{2});
    QCOMPARE(entries[0].source, std::string("workstation"));
    QCOMPARE(entries[0].what, std::string("supervisor mode on"));
    QCOMPARE(entries[1].what, std::string("supervisor mode off"));
    QCOMPARE(entries[1].outcome, std::string("done"));
}

QTEST_MAIN(MenuCommandsTest)
#include "widget_menu_commands_test.moc"
