#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>

#include "control_builder.h"
#include "controller_dialog.h"
#include "device_map.h"
#include "fake_device_tree.h"
#include "main_window.h"
#include "menu_commands.h"
#include "resource_ids.h"
#include "settings_file.h"
#include "simulated_site.h"

namespace M = Ids::Menu;

namespace {

using Choice = NvramImageCommands::Choice;

// The console as the workstation wires it: the program's end goes to the main window and
// the NVRAM update offer runs the menu's load.
class WiredConsole : public RecordingConsole {
public:
    void RequestEnd() override {
        RecordingConsole::RequestEnd();
        if (onEnd) onEnd();
    }
    bool RunNvramLoad() override {
        ++nvramLoads;
        return onLoad ? onLoad() : false;
    }
    std::function<void()> onEnd;
    std::function<bool()> onLoad;
};

}  // namespace

// The maintenance commands of the main window's menu on the simulated site, wired as the
// program wires them. Dialogs run through a script that answers for the user.
class MaintenanceMenuTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void SaveThenLoadEndsTheProgramAfterTheHandlerReturned();
    void CancelledChoicesSendNothing();
    void UpdateOfferAnsweredYesRunsTheLoad();
    void UpdateOfferWithNoFileChosenEndsTheProgram();
    void SignTestTurnsTheStatusToErrorAndTheFailLogBack();
    void RefusedFailLogClearKeepsTheErrorStatus();
    void SignTestOnADeadLineIsIncomplete();
    void LogsOpenFromTheMenu();
    void PortChosenAtStartupIsUsedAndItsMappingKept();

private:
    void Start(const std::string &settings);
    SettingsFile SavedSettings() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    WiredConsole m_console;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<FakeDeviceTree> m_tree;
    // What the user does in each dialog the menu runs, by the dialog's object name.
    std::map<QString, std::function<int(QDialog &)>> m_user;
    QStringList m_dialogs;
    QString m_file;
};

void MaintenanceMenuTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_site = std::make_unique<SimulatedSite>();
    m_console = WiredConsole();
    m_devices = std::make_unique<DeviceMap>();
    m_tree = std::make_unique<FakeDeviceTree>();
    m_user.clear();
    m_dialogs.clear();
    m_file.clear();
    m_user[IdName(Ids::Dialog::kPassword)] = [](QDialog &) { return Ids::Result::kOk; };
}

void MaintenanceMenuTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void MaintenanceMenuTest::Start(const std::string &settings) {
    std::ofstream(m_dir->filePath("voxa.ini").toStdString()) << settings;
    m_window = std::make_unique<MainWindow>(m_site->platform, m_console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    MenuCommands &commands = m_window->Commands();
    commands.SetModalRunner([this](QDialog &dialog) {
        m_dialogs << dialog.objectName();
        // What exec() does first.
        if (auto *controllerDialog = qobject_cast<ControllerDialog *>(&dialog))
            controllerDialog->Initialise();
        const auto user = m_user.find(dialog.objectName());
        return user == m_user.end() ? Ids::Result::kCancel : user->second(dialog);
    });
    commands.SetFileChooser([this](Choice) { return m_file; });
    commands.SetPortDiscovery(PortDiscovery(m_tree->Root()));
    // As the program wires them.
    m_console.onEnd = [this] { m_window->RequestEnd(); };
    m_console.onLoad = [this] { return m_window->Commands().RunNvramLoad(); };
    m_window->SetPortDialogHook([this] { m_window->Commands().RunPortDialog(); });
    QVERIFY(m_window->Initialise());
    m_window->show();
}

SettingsFile MaintenanceMenuTest::SavedSettings() const {
    SettingsFile file(m_dir->filePath("voxa.ini").toStdString());
    file.Load();
    return file;
}

void MaintenanceMenuTest::SaveThenLoadEndsTheProgramAfterTheHandlerReturned() {
    Start("[Communications]\nPort=COM1\n");
    m_site->model.ResetNvram(48);
    m_file = m_dir->filePath("site.nvr");
    m_window->RunCommand(M::kSaveNvramImage);
    QCOMPARE(
        m_console.messages,
        std::vector<std::string>{"NVRAM image saved: " + m_file.toStdString() + " (48 bytes)."});
    QVERIFY(QFile::exists(m_file));

    m_site->model.Current().nvram.assign(48, 0);
    m_site->controller.ClearRequests();
    m_window->RunCommand(M::kLoadNvramImage);
    QCOMPARE(
        m_console.messages.back(),
        std::string("VOXA must be restarted to comply with NVRAM changes.\nPress OK to exit."));
    QCOMPARE(m_site->model.Current().nvram, ControllerModel::InitialNvram(48));
    // The end comes once the handler has returned, with the settings saved.
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(m_window->System() == nullptr);
    QCOMPARE(SavedSettings().ReadString("Communications", "Port", "-"), std::string("COM1"));
    QCOMPARE(m_dialogs,
             QStringList({IdName(Ids::Dialog::kPassword), IdName(Ids::Dialog::kPassword)}));
}

void MaintenanceMenuTest::CancelledChoicesSendNothing() {
    Start("[Communications]\nPort=COM1\n");
    m_site->controller.ClearRequests();
    m_window->RunCommand(M::kSaveNvramImage);
    m_window->RunCommand(M::kLoadNvramImage);
    // The password went to the controller; nothing else did.
    for (const CommandFrame &frame : m_site->controller.Requests()) QCOMPARE(int(frame.Code()), 33);
    QVERIFY(m_console.messages.empty());
    QTest::qWait(20);
    QVERIFY(m_window->isVisible());
}

void MaintenanceMenuTest::UpdateOfferAnsweredYesRunsTheLoad() {
    Start("[Communications]\nPort=COM1\n");
    m_site->model.ResetNvram(32);
    m_file = m_dir->filePath("in.nvr");
    std::ofstream(m_file.toStdString(), std::ios::binary) << std::string(32, 'N');
    m_console.answerYes = true;
    // The next reply, to the start of the sign test, demands the update.
    m_site->controller.Faults().forcedStatus = ControllerStatus::kNvramMustBeUpdated;
    m_site->controller.Faults().forcedStatusCount = 1;
    m_site->controller.ClearRequests();
    m_window->RunCommand(M::kPerformTest);

    QCOMPARE(m_console.questions, std::vector<std::string>{"Update NVRAM?"});
    QCOMPARE(m_console.nvramLoads, 1);
    QCOMPARE(m_site->model.Current().nvram, std::vector<std::uint8_t>(32, 'N'));
    QCOMPARE(m_console.messages,
             (std::vector<std::string>{
                 "Central Controller Has Reported That NVRAM Must Be Updated.\n"
                 "If Needed, Contact Supervisor or Lumivane for Assistance.",
                 "VOXA must be restarted to comply with NVRAM changes.\nPress OK to exit."}));
    QTRY_VERIFY(!m_window->isVisible());
    QCOMPARE(m_console.endRequests, 1);
}

void MaintenanceMenuTest::UpdateOfferWithNoFileChosenEndsTheProgram() {
    Start("[Communications]\nPort=COM1\n");
    m_console.answerYes = true;
    m_site->controller.Faults().forcedStatus = ControllerStatus::kNvramMustBeUpdated;
    m_site->controller.Faults().forcedStatusCount = 1;
    m_site->controller.ClearRequests();
    m_window->RunCommand(M::kPerformTest);
    QCOMPARE(m_console.nvramLoads, 1);
    QCOMPARE(m_site->controller.Requests().size(), std::size_t{1});
    QTRY_VERIFY(!m_window->isVisible());
}

void MaintenanceMenuTest::SignTestTurnsTheStatusToErrorAndTheFailLogBack() {
    Start("[Communications]\nPort=COM1\n");
    m_window->Tick();
    auto *status = m_window->findChild<QLabel *>(IdName(Ids::Main::kStatusText));
    QCOMPARE(status->text(), QString("Status: All signs ready. "));

    m_site->controller.Faults().signTestFails = true;
    m_window->RunCommand(M::kPerformTest);
    QCOMPARE(m_console.messages,
             (std::vector<std::string>{"Performing sign test.\nPress OK to abort test.",
                                       "Sign test results: LDFS:0524 3 "}));
    m_window->Tick();
    QCOMPARE(status->text(), QString("Error Status: Check logs. "));

    m_user[IdName(Ids::Dialog::kFailLog)] = [](QDialog &dialog) {
        dialog.findChild<QPushButton *>(IdName(Ids::FailLog::kClear))->click();
        return Ids::Result::kOk;
    };
    m_window->RunCommand(M::kViewFailLog);
    m_window->Tick();
    QCOMPARE(status->text(), QString("Status: All signs ready. "));
}

void MaintenanceMenuTest::RefusedFailLogClearKeepsTheErrorStatus() {
    Start("[Communications]\nPort=COM1\n");
    m_site->controller.Faults().signTestFails = true;
    m_window->RunCommand(M::kPerformTest);
    m_window->Tick();
    auto *status = m_window->findChild<QLabel *>(IdName(Ids::Main::kStatusText));
    QCOMPARE(status->text(), QString("Error Status: Check logs. "));

    FaultPlan &faults = m_site->controller.Faults();
    faults.forcedStatus = ControllerStatus::kInvalidFace;
    faults.forcedStatusCount = -1;
    faults.forcedStatusCommand = 14;
    QString logAfterClear;
    m_user[IdName(Ids::Dialog::kFailLog)] = [&](QDialog &dialog) {
        dialog.findChild<QPushButton *>(IdName(Ids::FailLog::kClear))->click();
        logAfterClear =
            dialog.findChild<QPlainTextEdit *>(IdName(Ids::FailLog::kLogText))->toPlainText();
        return Ids::Result::kOk;
    };
    m_console.messages.clear();
    m_window->RunCommand(M::kViewFailLog);
    m_window->Tick();
    QCOMPARE(m_console.messages,
             std::vector<std::string>{"Central Controller: Invalid Face Number"});
    QCOMPARE(logAfterClear, QString("LDFS:0524 3 SIGN TEST"));
    QVERIFY(m_window->System()->FailureFlag());
    QCOMPARE(status->text(), QString("Error Status: Check logs. "));
}

void MaintenanceMenuTest::SignTestOnADeadLineIsIncomplete() {
    Start("[Communications]\nPort=COM1\n");
    m_window->Tick();
    m_site->controller.Faults().silent = true;
    m_window->RunCommand(M::kPerformTest);
    QCOMPARE(m_console.messages.back(), std::string("Sign test results: Test Incomplete"));
    QVERIFY(std::find(m_console.messages.begin(), m_console.messages.end(),
                      "No Sign Errors Reported.") == m_console.messages.end());
    m_window->Tick();
    QCOMPARE(m_window->findChild<QLabel *>(IdName(Ids::Main::kStatusText))->text(),
             QString("Error Status: CC not answering."));
}

void MaintenanceMenuTest::LogsOpenFromTheMenu() {
    Start("[Communications]\nPort=COM1\n");
    QString shown;
    m_user[IdName(Ids::Dialog::kResetLog)] = [&](QDialog &dialog) {
        shown = dialog.findChild<QPlainTextEdit *>(IdName(Ids::ResetLog::kLogText))->toPlainText();
        return Ids::Result::kOk;
    };
    m_window->RunCommand(M::kViewResetLog);
    m_window->RunCommand(M::kViewFailLog);
    QCOMPARE(shown, QString("Number of Resets: 3"));
    QCOMPARE(m_dialogs,
             QStringList({IdName(Ids::Dialog::kPassword), IdName(Ids::Dialog::kResetLog),
                          IdName(Ids::Dialog::kPassword), IdName(Ids::Dialog::kFailLog)}));
}

void MaintenanceMenuTest::PortChosenAtStartupIsUsedAndItsMappingKept() {
    const std::string adapter = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    m_tree->AddUsbAdapter("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "ttyUSB0", "FTDI",
                          "FT232R USB UART");
    m_tree->AddDevice("/tmp/cc-line");
    std::size_t opensBefore = 1;
    m_user[IdName(Ids::Dialog::kPort)] = [&](QDialog &dialog) {
        opensBefore = m_site->platform.OpenTries().size();
        auto *list = dialog.findChild<QComboBox *>(IdName(Ids::Port::kPortList));
        list->setCurrentIndex(list->findText("2"));
        dialog.findChild<QPushButton *>(IdName(Ids::Port::kOk))->click();
        return dialog.result();
    };
    Start(
        "[Communications]\nPort=XXX\nShowStartup=Yes\n"
        "[Devices]\nCOM1=/tmp/cc-line\n");

    QCOMPARE(m_dialogs, QStringList{IdName(Ids::Dialog::kPort)});
    QCOMPARE(opensBefore, std::size_t{0});
    QCOMPARE(m_window->System()->GetPortName(), std::string("COM2"));
    // The first transaction went through the chosen port.
    QCOMPARE(m_site->platform.OpenTries().at(1), std::string("COM2"));

    m_console.answerYes = true;
    m_window->RunCommand(M::kExit);
    QTRY_VERIFY(!m_window->isVisible());
    const SettingsFile saved = SavedSettings();
    QCOMPARE(saved.ReadString("Communications", "Port", "-"), std::string("COM2"));
    QCOMPARE(saved.ReadString("Devices", "COM2", "-"), adapter);
    QCOMPARE(saved.ReadString("Devices", "COM1", "-"), std::string("/tmp/cc-line"));
}

QTEST_MAIN(MaintenanceMenuTest)
#include "widget_maintenance_menu_test.moc"
