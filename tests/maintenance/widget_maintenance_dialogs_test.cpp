#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "control_builder.h"
#include "device_map.h"
#include "dialog_test_kit.h"
#include "fail_log_dialog.h"
#include "fake_device_tree.h"
#include "nvram_image_commands.h"
#include "port_dialog.h"
#include "reset_log_dialog.h"
#include "resource_ids.h"
#include "sign_test.h"
#include "wait_dialog.h"

namespace {

using Choice = NvramImageCommands::Choice;

// Runs a hook from inside a message, as a user looking at the screen while a message box
// is open would.
class HookedConsole : public RecordingConsole {
public:
    void ShowDetailedMessage(const std::string &text, const std::string &detail) override {
        RecordingConsole::ShowDetailedMessage(text, detail);
        if (onMessage) onMessage(text);
    }
    std::function<void(const std::string &)> onMessage;
};

// A site whose sign system reports to the hooked console.
struct Site : BasicDialogSite<HookedConsole> {
    ControllerModel::State &model = State();
};

WaitDialog *OpenWaitNotice() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *notice = qobject_cast<WaitDialog *>(widget); notice && notice->isVisible())
            return notice;
    }
    return nullptr;
}

}  // namespace

class MaintenanceDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void WaitNoticeNamesTheBlockOnItsWay_data();
    void WaitNoticeNamesTheBlockOnItsWay();
    void FileDialogsAreOursWithThePresetAndTheFilter();
    void FileDialogLeavesTheCurrentDirectoryAlone();
    void CancelledFileChoiceSendsNothing();
    void SaveShowsItsProgressWhileTheBlocksTravel();
    void FailedSaveIsToldOnceTheNoticeIsGone();
    void LoadEndsWithTheRestartMessageAndTheProgramsEnd();
    void RefusedFileSendsNothingAndKeepsTheProgram();

    void SignTestReport_data();
    void SignTestReport();
    void SignTestWithoutAGoodAnswerIsIncomplete_data();
    void SignTestWithoutAGoodAnswerIsIncomplete();

    void FailLogOpensWithStatusThenLog();
    void FailLogClearButtonClearsLogAndFlag();
    void EscapeClosesTheLogsWithoutClearing_data();
    void EscapeClosesTheLogsWithoutClearing();
    void ResetLogShowsAndClearsTheCount();
    void UnreadLogShowsNothingAndSaysWhy_data();
    void UnreadLogShowsNothingAndSaysWhy();
    void ClearNotConfirmedKeepsTheFailureFlag_data();
    void ClearNotConfirmedKeepsTheFailureFlag();

    void PortPreselection_data();
    void PortPreselection();
    void ChosenPortThatOpensIsTaken();
    void PortHeldByAnotherProgramKeepsTheOldName();
    void StartupSwitchIsStoredAtOnce();
    void OfferedAdapterGetsItsMappingOnlyWhenItOpens();
    void UserOutsideTheDevicesGroupIsToldHowToJoin_data();
    void UserOutsideTheDevicesGroupIsToldHowToJoin();

private:
    PortDialog &OpenPortDialog();

    std::unique_ptr<Site> m_site;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeDeviceTree> m_tree;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<PortDiscovery> m_discovery;
    std::unique_ptr<PortDialog> m_portDialog;
};

void MaintenanceDialogsTest::init() {
    m_site = std::make_unique<Site>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_tree = std::make_unique<FakeDeviceTree>();
    m_devices = std::make_unique<DeviceMap>();
    m_discovery = std::make_unique<PortDiscovery>(m_tree->Root());
}

void MaintenanceDialogsTest::cleanup() {
    m_portDialog.reset();
    m_site.reset();
}

// ---- NVRAM image ----

void MaintenanceDialogsTest::WaitNoticeNamesTheBlockOnItsWay_data() {
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("size not known yet") << 0 << 0 << QString() << 0;
    QTest::newRow("first block on its way") << 0 << 128 << "Block 1 of 128" << 0;
    QTest::newRow("half way") << 64 << 128 << "Block 65 of 128" << 64;
    QTest::newRow("all through") << 128 << 128 << "Block 128 of 128" << 128;
}

void MaintenanceDialogsTest::WaitNoticeNamesTheBlockOnItsWay() {
    QFETCH(int, done);
    QFETCH(int, blocks);
    QFETCH(QString, text);
    QFETCH(int, value);
    WaitDialog notice;
    notice.ShowNow();
    notice.SetText(NvramImageCommands::kDownloadingText);
    notice.SetProgress(done, blocks);
    QCOMPARE(Child<QLabel>(&notice, Ids::Wait::kText)->text(),
             QString("Please Wait...NVRAM Image Downloading"));
    QCOMPARE(notice.BlockText(), text);
    QCOMPARE(notice.ProgressValue(), value);
    QVERIFY(notice.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!notice.isModal());
}

void MaintenanceDialogsTest::FileDialogsAreOursWithThePresetAndTheFilter() {
    for (Choice choice : {Choice::Save, Choice::Load}) {
        const auto dialog = NvramImageCommands::MakeFileDialog(choice);
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(dialog->parentWidget() == nullptr);
        QCOMPARE(dialog->nameFilters(),
                 QStringList{"Lumivane Workstation NVRAM Image Files (*.nvr)"});
        QCOMPARE(dialog->defaultSuffix(), QString("nvr"));
        QCOMPARE(dialog->directory().absolutePath(), QDir::currentPath());
        dialog->show();
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(name != nullptr);
        QCOMPARE(name->text(), QString("*.nvr"));
        const bool save = choice == Choice::Save;
        QCOMPARE(dialog->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        QCOMPARE(dialog->fileMode(), save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        // Saving over an existing image asks nothing.
        QCOMPARE(dialog->testOption(QFileDialog::DontConfirmOverwrite), save);
    }
}

void MaintenanceDialogsTest::FileDialogLeavesTheCurrentDirectoryAlone() {
    const QString before = QDir::currentPath();
    const auto dialog = NvramImageCommands::MakeFileDialog(Choice::Save);
    dialog->show();
    dialog->setDirectory(m_dir->path());
    dialog->selectFile("site.nvr");
    QMetaObject::invokeMethod(dialog.get(), "accept");
    QCOMPARE(dialog->selectedFiles(), QStringList{QDir(m_dir->path()).filePath("site.nvr")});
    QCOMPARE(QDir::currentPath(), before);
}

void MaintenanceDialogsTest::CancelledFileChoiceSendsNothing() {
    QWidget window;
    std::vector<Choice> asked;
    NvramImageCommands commands(m_site->system, &window, [&](Choice choice) {
        asked.push_back(choice);
        return QString();
    });
    commands.SaveNvramImage();
    QVERIFY(!commands.LoadNvramImage());
    QCOMPARE(asked, (std::vector<Choice>{Choice::Save, Choice::Load}));
    QVERIFY(m_site->controller.Requests().empty());
    QVERIFY(m_site->console.messages.empty());
    QCOMPARE(m_site->console.endRequests, 0);
}

void MaintenanceDialogsTest::SaveShowsItsProgressWhileTheBlocksTravel() {
    m_site->controller.Model().ResetNvram(100);
    const QString path = m_dir->filePath("site.nvr");
    QWidget window;
    // A message in the middle of the transfer shows what the user sees at that moment:
    // a line failure reported on the fourth block read.
    FaultPlan &faults = m_site->controller.Faults();
    QString seen;
    int blocksBefore = 0;
    m_site->console.onMessage = [&](const std::string &) {
        if (WaitDialog *notice = OpenWaitNotice())
            seen = notice->Text() + "|" + notice->BlockText() + "|" +
                   QString::number(notice->ProgressValue());
    };
    NvramImageCommands commands(m_site->system, &window, [&](Choice) {
        blocksBefore = int(m_site->controller.Requests().size());
        return path;
    });
    faults.forcedStatus = ControllerStatus::kInvalidLine;
    faults.forcedStatusCommand = 36;
    faults.forcedStatusCount = 0;
    // The first three reads go through; the fourth is refused with a message.
    int reads = 0;
    m_site->controller.SetTraceHook([&](const std::string &line) {
        if (line.rfind("WS->CC Read NVRAM block", 0) == 0 && ++reads == 4)
            faults.forcedStatusCount = 1;
    });
    commands.SaveNvramImage();

    QCOMPARE(blocksBefore, 0);
    QCOMPARE(seen, QString("Please Wait...NVRAM Image Downloading|Block 4 of 7|3"));
    QVERIFY(OpenWaitNotice() == nullptr);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void MaintenanceDialogsTest::FailedSaveIsToldOnceTheNoticeIsGone() {
    const QString path = m_dir->filePath("good.nvr");
    std::ofstream(path.toStdString()) << "a good image";
    m_site->controller.Faults().silent = true;
    std::vector<bool> noticeOpen;
    m_site->console.onMessage = [&](const std::string &) {
        noticeOpen.push_back(OpenWaitNotice() != nullptr);
    };
    QWidget window;
    NvramImageCommands(m_site->system, &window, [&](Choice) { return path; }).SaveNvramImage();

    QCOMPARE(
        m_site->console.messages.back(),
        std::string("NVRAM image not saved: the Central Controller did not deliver every block."));
    // The link's reports come during the transfer, the verdict after it.
    QCOMPARE(noticeOpen, (std::vector<bool>{true, true, true, true, true, false}));
    std::ifstream in(path.toStdString());
    std::string kept;
    std::getline(in, kept);
    QCOMPARE(kept, std::string("a good image"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"good.nvr"});
}

void MaintenanceDialogsTest::LoadEndsWithTheRestartMessageAndTheProgramsEnd() {
    const QString path = m_dir->filePath("in.nvr");
    std::ofstream(path.toStdString(), std::ios::binary) << std::string(20, 'A');
    QWidget window;
    bool noticeAtRestart = true;
    m_site->console.onMessage = [&](const std::string &) {
        noticeAtRestart = OpenWaitNotice() != nullptr;
    };
    NvramImageCommands commands(m_site->system, &window, [&](Choice) { return path; });
    QVERIFY(commands.LoadNvramImage());

    QCOMPARE(m_site->Codes(), (std::vector<int>{39, 42, 37, 37, 43, 40}));
    QCOMPARE(m_site->console.messages,
             std::vector<std::string>{
                 "VOXA must be restarted to comply with NVRAM changes.\nPress OK to exit."});
    QVERIFY(!noticeAtRestart);
    QCOMPARE(m_site->console.endRequests, 1);
    QVERIFY(m_site->system.ProgramEndRequested());
    QCOMPARE(m_site->model.nvram[19], std::uint8_t('A'));
    QCOMPARE(m_site->model.nvram[20], std::uint8_t(0xFF));
}

void MaintenanceDialogsTest::RefusedFileSendsNothingAndKeepsTheProgram() {
    const QString path = m_dir->filePath("big.nvr");
    std::ofstream(path.toStdString(), std::ios::binary) << std::string(65537, 'B');
    QWidget window;
    NvramImageCommands commands(m_site->system, &window, [&](Choice) { return path; });
    QVERIFY(commands.LoadNvramImage());
    QCOMPARE(m_site->console.messages,
             std::vector<std::string>{"NVRAM image file is larger than 65536 bytes."});
    QVERIFY(m_site->controller.Requests().empty());
    QCOMPARE(m_site->console.endRequests, 0);
}

// ---- Sign test ----

void MaintenanceDialogsTest::SignTestReport_data() {
    QTest::addColumn<int>("code4");
    QTest::addColumn<int>("code5");
    QTest::addColumn<int>("code6");
    QTest::addColumn<bool>("earlierFailure");
    QTest::addColumn<QString>("report");
    QTest::newRow("failures found") << 1 << 2 << 3 << false << "Sign test results: LDFS:0102 3 ";
    QTest::newRow("clean") << 0 << 0 << 0 << false << "No Sign Errors Reported.";
    QTest::newRow("clean after an uncleared failure")
        << 0 << 0 << 0 << true << "Sign test results: LDFS:0000 0 ";
}

void MaintenanceDialogsTest::SignTestReport() {
    QFETCH(int, code4);
    QFETCH(int, code5);
    QFETCH(int, code6);
    QFETCH(bool, earlierFailure);
    QFETCH(QString, report);
    m_site->model.signTestFailure = {
        {std::uint8_t(code4), std::uint8_t(code5), std::uint8_t(code6)}, ""};
    m_site->model.signTestFault = code6 != 0;
    m_site->system.SetFailureFlag(earlierFailure);
    std::vector<int> codesAtPrompt;
    m_site->console.onMessage = [&](const std::string &) {
        if (codesAtPrompt.empty()) codesAtPrompt = m_site->Codes();
    };
    SignTest(m_site->system).PerformSignTest();

    // The controller tests while the first box is open; closing it stops the test.
    QCOMPARE(codesAtPrompt, std::vector<int>{17});
    QCOMPARE(m_site->Codes(), (std::vector<int>{17, 16}));
    QCOMPARE(m_site->console.messages,
             (std::vector<std::string>{"Performing sign test.\nPress OK to abort test.",
                                       report.toStdString()}));
}

// A test whose start or stop got no good answer never reports that no errors were found,
// not even with the failure flag clear.
void MaintenanceDialogsTest::SignTestWithoutAGoodAnswerIsIncomplete_data() {
    QTest::addColumn<int>("command");   // the command that fails
    QTest::addColumn<bool>("silent");   // no answer from then on, else a refusal
    QTest::addColumn<bool>("running");  // whether "Performing sign test" was shown
    QTest::addColumn<bool>("earlierFailure");
    QTest::newRow("start refused") << 17 << false << false << false;
    QTest::newRow("start not answered") << 17 << true << true << false;
    QTest::newRow("stop refused") << 16 << false << true << false;
    QTest::newRow("stop not answered") << 16 << true << true << false;
    QTest::newRow("stop refused after an uncleared failure") << 16 << false << true << true;
}

void MaintenanceDialogsTest::SignTestWithoutAGoodAnswerIsIncomplete() {
    QFETCH(int, command);
    QFETCH(bool, silent);
    QFETCH(bool, running);
    QFETCH(bool, earlierFailure);
    m_site->system.SetFailureFlag(earlierFailure);
    FaultPlan &faults = m_site->controller.Faults();
    const auto fail = [&] {
        if (silent) {
            faults.silent = true;
        } else {
            faults.forcedStatus = ControllerStatus::kGlitch;
            faults.forcedStatusCount = -1;
            faults.forcedStatusCommand = std::uint8_t(command);
        }
    };
    if (command == 17) fail();
    // The stop fails once the test is running: the line goes dead, or the controller refuses.
    m_site->console.onMessage = [&](const std::string &text) {
        if (text == SignTest::kRunningText && command == 16) fail();
    };
    SignTest(m_site->system).PerformSignTest();

    const std::vector<std::string> &messages = m_site->console.messages;
    QCOMPARE(messages.back(), std::string("Sign test results: Test Incomplete"));
    QCOMPARE(std::count(messages.begin(), messages.end(), SignTest::kRunningText), running ? 1 : 0);
    QCOMPARE(std::count(messages.begin(), messages.end(), SignTest::kNoErrorsText), 0);
    QCOMPARE(m_site->system.SignTestResultText(), std::string("Test Incomplete"));
    // A refused start leaves nothing to stop.
    if (command == 17 && !silent) QCOMPARE(m_site->Codes(), std::vector<int>{17});
}

// ---- Logs ----

void MaintenanceDialogsTest::FailLogOpensWithStatusThenLog() {
    FailLogDialog dialog(m_site->system);
    dialog.Initialise();
    QCOMPARE(m_site->Codes(), (std::vector<int>{34, 15}));
    QCOMPARE(Child<QPlainTextEdit>(&dialog, Ids::FailLog::kLogText)->toPlainText(),
             QString("LDFS:0010 2 LAMP FACE 2"));
    QVERIFY(Child<QPlainTextEdit>(&dialog, Ids::FailLog::kLogText)->isReadOnly());
    QCOMPARE(dialog.windowTitle(), QString("Fail Log"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
}

void MaintenanceDialogsTest::FailLogClearButtonClearsLogAndFlag() {
    m_site->system.SetFailureFlag(true);
    FailLogDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->controller.ClearRequests();
    auto *clear = Child<QPushButton>(&dialog, Ids::FailLog::kClear);
    QCOMPARE(clear->text(), QString("&Clear"));
    QTest::mouseClick(clear, Qt::LeftButton);

    QCOMPARE(m_site->Codes(), (std::vector<int>{14, 15}));
    QCOMPARE(dialog.LogText(), QString("LDFS:0000 0 "));
    QVERIFY(!m_site->system.FailureFlag());
    QVERIFY(dialog.isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QCOMPARE(m_site->Codes(), (std::vector<int>{14, 15}));
}

void MaintenanceDialogsTest::EscapeClosesTheLogsWithoutClearing_data() {
    QTest::addColumn<bool>("failLog");
    QTest::newRow("fail log") << true;
    QTest::newRow("reset log") << false;
}

void MaintenanceDialogsTest::EscapeClosesTheLogsWithoutClearing() {
    QFETCH(bool, failLog);
    m_site->system.SetFailureFlag(true);
    std::unique_ptr<LogDialog> dialog;
    if (failLog)
        dialog = std::make_unique<FailLogDialog>(m_site->system);
    else
        dialog = std::make_unique<ResetLogDialog>(m_site->system);
    dialog->Initialise();
    dialog->show();
    m_site->controller.ClearRequests();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), Ids::Result::kOk);
    QVERIFY(m_site->controller.Requests().empty());
    QVERIFY(m_site->system.FailureFlag());
    QCOMPARE(m_site->model.resetCount, 3);
}

void MaintenanceDialogsTest::ResetLogShowsAndClearsTheCount() {
    m_site->system.SetFailureFlag(true);
    ResetLogDialog dialog(m_site->system);
    dialog.Initialise();
    QCOMPARE(m_site->Codes(), (std::vector<int>{34, 13}));
    QCOMPARE(dialog.LogText(), QString("Number of Resets: 3"));
    QCOMPARE(dialog.windowTitle(), QString("Reset Log"));
    auto *log = Child<QPlainTextEdit>(&dialog, Ids::ResetLog::kLogText);
    QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    Child<QPushButton>(&dialog, Ids::ResetLog::kClear)->click();
    QCOMPARE(m_site->Codes(), (std::vector<int>{34, 13, 12, 13}));
    QCOMPARE(dialog.LogText(), QString("Number of Resets: 0"));
    QVERIFY(m_site->system.FailureFlag());
}

// A log the controller did not give shows nothing, rather than the text the workstation
// started with or the one read before, and says why; opened again on a controller that
// answers, it shows the log.
void MaintenanceDialogsTest::UnreadLogShowsNothingAndSaysWhy_data() {
    QTest::addColumn<bool>("failLog");
    QTest::addColumn<int>("refusedWith");  // 0: the controller does not answer
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("log");
    QTest::newRow("fail log, silent")
        << true << 0 << "Not read: fail log. The Central Controller did not answer."
        << "LDFS:0010 2 LAMP FACE 2";
    QTest::newRow("fail log, refused")
        << true << 11
        << "Not read: fail log. The Central Controller refused it (Central Controller Glitch!)."
        << "LDFS:0010 2 LAMP FACE 2";
    QTest::newRow("reset log, silent")
        << false << 0 << "Not read: reset count. The Central Controller did not answer."
        << "Number of Resets: 3";
    QTest::newRow("reset log, refused")
        << false << 24
        << "Not read: reset count. The Central Controller refused it (VOXA sent cc an unknown "
           "command)."
        << "Number of Resets: 3";
}

void MaintenanceDialogsTest::UnreadLogShowsNothingAndSaysWhy() {
    QFETCH(bool, failLog);
    QFETCH(int, refusedWith);
    QFETCH(QString, notice);
    QFETCH(QString, log);
    const auto open = [&] {
        std::unique_ptr<LogDialog> dialog;
        if (failLog)
            dialog = std::make_unique<FailLogDialog>(m_site->system);
        else
            dialog = std::make_unique<ResetLogDialog>(m_site->system);
        dialog->Initialise();
        return dialog;
    };
    FaultPlan &faults = m_site->controller.Faults();
    if (refusedWith == 0) {
        faults.silent = true;
    } else {
        faults.forcedStatus = std::uint8_t(refusedWith);
        faults.forcedStatusCount = -1;
        faults.forcedStatusCommand = failLog ? 15 : 13;
    }
    const std::unique_ptr<LogDialog> unread = open();
    QCOMPARE(unread->LogText(), QString());
    QCOMPARE(unread->NotReadNotice(), notice);

    faults = FaultPlan{};
    const std::unique_ptr<LogDialog> read = open();
    QCOMPARE(read->LogText(), log);
    QCOMPARE(read->NotReadNotice(), QString());
}

// Only a clear the controller confirmed clears the workstation's failure flag, and with it
// the error status.
void MaintenanceDialogsTest::ClearNotConfirmedKeepsTheFailureFlag_data() {
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("notice");
    QTest::newRow("refused") << false << "LDFS:0010 2 LAMP FACE 2" << QString();
    QTest::newRow("not answered") << true << QString()
                                  << "Not read: fail log. The Central Controller did not answer.";
}

void MaintenanceDialogsTest::ClearNotConfirmedKeepsTheFailureFlag() {
    QFETCH(bool, silent);
    QFETCH(QString, log);
    QFETCH(QString, notice);
    m_site->system.SetFailureFlag(true);
    FailLogDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    FaultPlan &faults = m_site->controller.Faults();
    faults.silent = silent;
    faults.forcedStatus = ControllerStatus::kInvalidFace;
    faults.forcedStatusCount = -1;
    faults.forcedStatusCommand = 14;
    Click(&dialog, Ids::FailLog::kClear);

    if (!silent) QCOMPARE(m_site->Codes(), (std::vector<int>{14, 15}));
    QVERIFY(m_site->system.FailureFlag());
    QCOMPARE(dialog.LogText(), log);
    QCOMPARE(dialog.NotReadNotice(), notice);
    QVERIFY(!m_site->console.messages.empty());
    QVERIFY(dialog.isVisible());
}

// ---- Port dialog ----

PortDialog &MaintenanceDialogsTest::OpenPortDialog() {
    m_portDialog = std::make_unique<PortDialog>(m_site->system, *m_devices, *m_discovery);
    m_portDialog->Initialise();
    m_portDialog->show();
    return *m_portDialog;
}

void MaintenanceDialogsTest::PortPreselection_data() {
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("selected");
    QTest::newRow("COM2") << "COM2"
                          << "2";
    QTest::newRow("settings default") << "XXX"
                                      << "";
    QTest::newRow("not listed") << "COM7"
                                << "";
    QTest::newRow("two digits") << "COM12"
                                << "";
}

void MaintenanceDialogsTest::PortPreselection() {
    QFETCH(QString, portName);
    QFETCH(QString, selected);
    for (int i = 0; i < 4; ++i) m_tree->AddUart(i, 4);
    m_site->system.SetPortName(portName.toStdString());
    PortDialog &dialog = OpenPortDialog();
    auto *list = Child<QComboBox>(&dialog, Ids::Port::kPortList);
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->currentText(), selected);
    QCOMPARE(Child<QLabel>(&dialog, Ids::Port::kDevice)->text(),
             selected.isEmpty() ? PortDialog::kChoosePort
                                : "/dev/ttyS" + QString::number(selected.toInt() - 1));
    // Listing opens nothing.
    QCOMPARE(m_site->platform.OpenCount(), 0);
    QVERIFY(m_site->controller.Requests().empty());
}

void MaintenanceDialogsTest::ChosenPortThatOpensIsTaken() {
    for (int i = 0; i < 4; ++i) m_tree->AddUart(i, 4);
    PortDialog &dialog = OpenPortDialog();
    Child<QComboBox>(&dialog, Ids::Port::kPortList)->setCurrentIndex(2);
    QTest::keyClick(&dialog, Qt::Key_Return);

    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(m_site->system.GetPortName(), std::string("COM3"));
    QCOMPARE(m_site->platform.OpenTries(), std::vector<std::string>{"COM3"});
    QVERIFY(m_site->controller.Requests().empty());
}

void MaintenanceDialogsTest::PortHeldByAnotherProgramKeepsTheOldName() {
    for (int i = 0; i < 4; ++i) m_tree->AddUart(i, 4);
    m_site->platform.SetHeldPorts({"COM3"});
    PortDialog &dialog = OpenPortDialog();
    auto *list = Child<QComboBox>(&dialog, Ids::Port::kPortList);
    list->setCurrentIndex(2);
    Child<QPushButton>(&dialog, Ids::Port::kOk)->click();

    QCOMPARE(m_site->system.GetPortName(), std::string("COM1"));
    QVERIFY(dialog.isVisible());
    QVERIFY(m_site->console.messages.empty());
    const QString said = Child<QLabel>(&dialog, Ids::Port::kMessage)->text();
    QVERIFY2(said.startsWith("COM3 could not be opened, so the port stays COM1.\n"),
             qPrintable(said));
    QVERIFY2(said.contains("in use by another program"), qPrintable(said));

    // Another choice clears the reason, and Escape keeps the old port.
    list->setCurrentIndex(1);
    QVERIFY(Child<QLabel>(&dialog, Ids::Port::kMessage)->text().isEmpty());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), Ids::Result::kCancel);
    QCOMPARE(m_site->system.GetPortName(), std::string("COM1"));
}

void MaintenanceDialogsTest::StartupSwitchIsStoredAtOnce() {
    m_tree->AddUart(0, 4);
    m_site->system.SetShowPortDialog(true);
    PortDialog &dialog = OpenPortDialog();
    auto *startup = Child<QCheckBox>(&dialog, Ids::Port::kShowAtStartup);
    QVERIFY(startup->isChecked());
    QCOMPARE(startup->text(), QString("Show this screen at startup"));
    startup->click();
    QVERIFY(!m_site->system.ShowPortDialog());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!m_site->system.ShowPortDialog());
    QCOMPARE(m_site->platform.OpenCount(), 0);
}

void MaintenanceDialogsTest::OfferedAdapterGetsItsMappingOnlyWhenItOpens() {
    m_tree->AddUart(0, 4);
    const std::string adapter = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    m_tree->AddUsbAdapter("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "ttyUSB0", "FTDI",
                          "FT232R USB UART");
    m_site->platform.SetHeldPorts({"COM2"});
    PortDialog &dialog = OpenPortDialog();
    auto *list = Child<QComboBox>(&dialog, Ids::Port::kPortList);
    list->setCurrentIndex(list->findText("2"));
    QCOMPARE(
        Child<QLabel>(&dialog, Ids::Port::kDevice)->text(),
        QString::fromStdString(adapter) + "\nFTDI FT232R USB UART\nNew adapter: OK names it COM2.");

    Child<QPushButton>(&dialog, Ids::Port::kOk)->click();
    QVERIFY(dialog.isVisible());
    QVERIFY(m_devices->Entries().empty());

    m_site->platform.SetHeldPorts({});
    Child<QPushButton>(&dialog, Ids::Port::kOk)->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(m_site->system.GetPortName(), std::string("COM2"));
    QCOMPARE(m_devices->DevicePath("COM2"), adapter);
}

void MaintenanceDialogsTest::UserOutsideTheDevicesGroupIsToldHowToJoin_data() {
    QTest::addColumn<QString>("members");  // of the device's group in the group file
    QTest::addColumn<QString>("note");
    QTest::newRow("not in the group")
        << "sam"
        << "You are not in the group dialout, which may use this port. To join it, run in a "
           "terminal:\n    sudo usermod -aG dialout $USER\nthen log out and log in again.";
    QTest::newRow("added, not logged in again")
        << "sam,pat"
        << "You were added to the group dialout, which may use this port, but that counts "
           "only from your next log-in: log out and log in again.";
}

void MaintenanceDialogsTest::UserOutsideTheDevicesGroupIsToldHowToJoin() {
    QFETCH(QString, members);
    QFETCH(QString, note);
    // COM1 open to everyone, COM2 to its group only.
    m_tree->AddUart(0, 4);
    m_tree->AddUart(1, 4);
    QCOMPARE(::chmod(m_tree->Below("/dev/ttyS0").c_str(), 0666), 0);
    QCOMPARE(::chmod(m_tree->Below("/dev/ttyS1").c_str(), 0660), 0);
    struct stat device {};
    QCOMPARE(::stat(m_tree->Below("/dev/ttyS1").c_str(), &device), 0);
    std::filesystem::create_directories(m_tree->Below("/etc"));
    std::ofstream(m_tree->Below("/etc/group"))
        << "dialout:x:" << device.st_gid << ":" << members.toStdString() << "\n";
    m_discovery->SetUser({device.st_uid + 1000, "pat", {device.st_gid + 1000}});
    m_site->system.SetPortName("XXX");
    m_site->platform.SetHeldPorts({"COM2"});

    // Nothing selected yet (a first start): the note concerns the ports listed.
    PortDialog &dialog = OpenPortDialog();
    auto *list = Child<QComboBox>(&dialog, Ids::Port::kPortList);
    auto *message = Child<QLabel>(&dialog, Ids::Port::kMessage);
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(message->text(), QString(note).replace("this port", "the ports listed"));

    list->setCurrentIndex(list->findText("1"));
    QCOMPARE(message->text(), QString());
    list->setCurrentIndex(list->findText("2"));
    QCOMPARE(message->text(), note);

    // A port that did not open says what to do rather than the system's reason.
    Child<QPushButton>(&dialog, Ids::Port::kOk)->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(message->text(), "COM2 could not be opened, so no port is set yet.\n" + note);
    QCOMPARE(m_site->system.GetPortName(), std::string("XXX"));
}

QTEST_MAIN(MaintenanceDialogsTest)
#include "widget_maintenance_dialogs_test.moc"
