#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <fstream>
#include <iterator>
#include <memory>

#include "cm_edit.h"
#include "device_map.h"
#include "main_window.h"
#include "command_code.h"
#include "open_main_window.h"
#include "price_panel.h"
#include "resource_ids.h"
#include "settings_file.h"
#include "simulated_site.h"
#include "status_line.h"

namespace {

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

const QString kNotInstalled = "not installed ................";

// The recording console, also telling the test when the program's end is requested.
class EndingConsole : public RecordingConsole {
public:
    void RequestEnd() override {
        RecordingConsole::RequestEnd();
        if (onEnd) onEnd();
    }
    std::function<void()> onEnd;
};

}  // namespace

// The main window on the simulated site: start-up, the price panel, the tick and the end.
class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void StartupAsksForTheInstallationInOrder();
    void StartupStopsWhenTheControllerWantsItsMemoryUpdated();
    void LinesAboveTheLineCountStayNotInstalled();
    void ALineWhoseFormatWasNotReadTakesNoPrice();
    void PortDialogRunsBeforeTheFirstTransactionWhenAskedFor();
    void PortDialogRunsFirstWhenNoPortIsSet_data();
    void PortDialogRunsFirstWhenNoPortIsSet();
    void AboutAsksTheControllerForItsPartNumber();
    void FirstTickShowsClockTagsAndStatus();
    void StatusFollowsTheFailureFlagAndRedrawsOnlyOnChange();
    void StatusSaysWhenTheControllerDoesNotAnswer();
    void StartupAgainstASilentControllerAsksOnceAndOpensTheWindow();
    void EditsBeforeTheFirstTickAreNotTakenAsEdits();
    void SendStopsAtTheBadLineWithTheFocusThere();
    void CompleteSendDisarmsUntilTheNextTick();
    void SendStopsAtThePriceTheControllerDidNotTake_data();
    void SendStopsAtThePriceTheControllerDidNotTake();
    void LeadingPointGetsAZeroOnAnEightPointEightEightNineLine();
    void PointTypedFirstKeepsTheFieldInItsMask_data();
    void PointTypedFirstKeepsTheFieldInItsMask();
    void PriceLongerThanItsFormatIsShownCutAndUnchanged();
    void EscapeEndsWithoutAQuestionAndSavesTheSettings();
    void TagsOfLinesNotLoadedSurviveTheExit_data();
    void TagsOfLinesNotLoadedSurviveTheExit();
    void WindowsSettingsFileComesBackUnchanged();
    void LongAndOddTagsSurviveTenRunsByteForByte();
    void ExitAsksFirst();
    void EndRequestedInsideAHandlerWaitsForItToReturn();

    void ClockTextHourRule_data();
    void ClockTextHourRule();
    void LeaderDots_data();
    void LeaderDots();

private:
    void WriteSettings(const std::string &text);
    // The main window on the site, not yet started.
    void MakeWindow();
    // Counts the port dialog's runs and the port opens before the first, and chooses COM1
    // there.
    void HookPortDialog(int &runs, std::size_t &openedBefore);
    void Start();
    CmEdit *Price(int line) const;
    QLabel *Tag(int line) const;
    QLabel *Label(int id) const;
    QPushButton *SendButton() const;
    void TypeInto(int line, const QString &keys);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    EndingConsole m_console;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<MainWindow> m_window;
    QDateTime m_now;
};

void MainWindowTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_site = std::make_unique<SimulatedSite>();
    m_console = EndingConsole();
    m_devices = std::make_unique<DeviceMap>();
    m_now = QDateTime(QDate(2026, 12, 7), QTime(14, 7));
    WriteSettings(
        "[Tags]\ntag0=Regular\ntag1=Plus\ntag2=Premium\ntag3=Diesel\n"
        "[UpdateStatus]\nlastmsg=12/6/2026 4:29 PM\n"
        "[Communications]\nPort=COM1\nShowStartup=No\n");
}

void MainWindowTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void MainWindowTest::WriteSettings(const std::string &text) {
    std::ofstream(m_dir->filePath("voxa.ini").toStdString(), std::ios::binary) << text;
}

void MainWindowTest::MakeWindow() {
    m_window = std::make_unique<MainWindow>(m_site->platform, m_console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
}

void MainWindowTest::HookPortDialog(int &runs, std::size_t &openedBefore) {
    m_window->SetPortDialogHook([this, &runs, &openedBefore] {
        ++runs;
        openedBefore = m_site->platform.OpenCount();
        // A port chosen there is the one the first transaction uses.
        m_window->System()->SetPortName("COM1");
    });
}

void MainWindowTest::Start() {
    MakeWindow();
    m_window->SetClock([this] { return m_now; });
    QVERIFY(OpenMainWindow(*m_window));
}

CmEdit *MainWindowTest::Price(int line) const {
    return m_window->findChild<CmEdit *>(Id(Ids::Main::kPriceFieldIds[line - 1]));
}

QLabel *MainWindowTest::Tag(int line) const {
    return m_window->findChild<QLabel *>(Id(Ids::Main::kTagFieldIds[line - 1]));
}

QLabel *MainWindowTest::Label(int id) const {
    return m_window->findChild<QLabel *>(Id(id));
}

QPushButton *MainWindowTest::SendButton() const {
    return m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate));
}

void MainWindowTest::TypeInto(int line, const QString &keys) {
    CmEdit *field = Price(line);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, keys);
}

void MainWindowTest::StartupAsksForTheInstallationInOrder() {
    m_site->model.Current().lineCount = 3;
    m_site->model.Current().lines[1].price = "2.099";
    Start();

    const std::vector<int> expected{34, 4, 1, 1, 1, 32, 32, 32, 3, 3, 3};
    QCOMPARE(m_site->SentCodes(), expected);
    // One request per line, lines in order (the frame carries the 0-based index).
    const auto frames = m_site->SentFrames();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(int(frames[2 + i].bytes[3]), i);
        QCOMPARE(int(frames[5 + i].bytes[3]), i);
        QCOMPARE(int(frames[8 + i].bytes[3]), i);
    }
    QVERIFY(m_console.messages.empty());
    QVERIFY(m_window->PollTimer().isActive());
    QCOMPARE(m_window->PollTimer().interval(), 1000);
    QVERIFY(!m_window->SplashOpen());
    QCOMPARE(Price(2)->text(), QString("2.099"));
    QVERIFY(Price(1)->isEnabled());
    QCOMPARE(Price(1)->PositionCount(), 5);
    QCOMPARE(Label(Ids::Main::kLastUpdate)->text(), QString("Last Update:\n12/6/2026 4:29 PM"));
    // The status text keeps its first words until the first tick.
    QCOMPARE(Label(Ids::Main::kStatusText)->text(), QString("Status: All Signs Ready. "));
    QVERIFY(Label(Ids::Main::kClock)->text().isEmpty());
}

void MainWindowTest::StartupStopsWhenTheControllerWantsItsMemoryUpdated() {
    m_site->controller.Faults().ccStatusCode = 5;
    m_console.answerYes = false;
    Start();

    QCOMPARE(m_site->SentCodes(), std::vector<int>{34});
    QVERIFY(!m_console.waits.empty());
    QCOMPARE(m_console.waits.back(), std::chrono::milliseconds(5000));
    for (int line = 1; line <= 8; ++line) {
        QVERIFY(!Price(line)->isEnabled());
        QVERIFY(Price(line)->text().isEmpty());
        QCOMPARE(Price(line)->PositionCount(), 0);
        QCOMPARE(Tag(line)->text(), kNotInstalled);
    }
    QVERIFY(m_window->System()->NvramUpdateFlag());
    // The window says what to do once it shows, and its status line says why nothing works.
    QVERIFY(!m_window->SplashOpen());
    QVERIFY(m_window->PollTimer().isActive());
    QTRY_COMPARE(m_console.messages, std::vector<std::string>{MainWindow::kMemoryMustBeLoadedText});
    QVERIFY(QString(MainWindow::kMemoryMustBeLoadedText).contains("File > Load NVRAM Image"));
    m_window->Tick();
    QLabel *text = Label(Ids::Main::kStatusText);
    QCOMPARE(text->text(), QString("Error Status: CC memory must be loaded."));
    // The longest of the status texts fits beside the icon.
    QVERIFY(text->fontMetrics().horizontalAdvance(text->text()) <= text->contentsRect().width());
    QVERIFY(Label(Ids::Main::kStatusIcon)->geometry().right() < text->geometry().left());
    QVERIFY(!Label(Ids::Main::kClock)->text().isEmpty());
    QCOMPARE(m_site->SentCodes(), std::vector<int>{34});
}

void MainWindowTest::LinesAboveTheLineCountStayNotInstalled() {
    Start();  // the simulated site has six lines
    m_window->Tick();
    for (int line = 1; line <= 6; ++line) {
        QVERIFY(Price(line)->isEnabled());
        QVERIFY(Tag(line)->isEnabled());
        QVERIFY(Tag(line)->text() != kNotInstalled);
    }
    for (int line = 7; line <= 8; ++line) {
        QVERIFY(!Price(line)->isEnabled());
        QVERIFY(!Tag(line)->isEnabled());
        QVERIFY(Price(line)->text().isEmpty());
        QCOMPARE(Tag(line)->text(), kNotInstalled);
    }
    // Send Update never looks at them, even with their flags set.
    m_window->System()->SetLineChanged(7, true);
    TypeInto(1, "1899");
    m_site->platform.ClearEvents();
    SendButton()->click();
    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2}));
    QCOMPARE(m_site->model.Current().lines[0].price, std::string("1.899"));
}

// The first line's format read is refused: that line is shut and says why, and neither it
// nor the next line is set up from the other's format.
void MainWindowTest::ALineWhoseFormatWasNotReadTakesNoPrice() {
    m_site->model.Current().lines[0].format = "8.889";
    m_site->model.Current().lines[1].format = "88.88";
    auto &faults = m_site->controller.Faults();
    faults.forcedStatus = ControllerStatus::kInvalidLine;
    faults.forcedStatusCount = 1;
    faults.forcedStatusCommand = ToByte(CommandCode::GetLineFormat);
    Start();
    m_window->Tick();
    QVERIFY(!Price(1)->isEnabled());
    QCOMPARE(Price(1)->toolTip().toStdString(), PricePanel::UnreadFormatText(1));
    QVERIFY(Tag(1)->isEnabled());
    QVERIFY(Price(2)->isEnabled());
    QVERIFY(Price(2)->toolTip().isEmpty());
    QCOMPARE(m_window->System()->GetLineFormat(2), std::string("88.88"));
    QVERIFY(!m_window->System()->PriceCheck("1.234", 1));
}

void MainWindowTest::PortDialogRunsBeforeTheFirstTransactionWhenAskedFor() {
    WriteSettings("[Communications]\nPort=COM7\nShowStartup=Yes\n");
    MakeWindow();
    int runs = 0;
    std::size_t openedBefore = 1;
    HookPortDialog(runs, openedBefore);
    QVERIFY(m_window->Initialise());
    QCOMPARE(runs, 1);
    QCOMPARE(openedBefore, std::size_t{0});
    QCOMPARE(m_window->System()->GetPortName(), std::string("COM1"));
    QVERIFY(m_window->PollTimer().isActive());

    // Without the switch the hook stays out of the way.
    cleanup();
    init();
    WriteSettings("[Communications]\nPort=COM1\nShowStartup=yes\n");
    MakeWindow();
    runs = 0;
    m_window->SetPortDialogHook([&] { ++runs; });
    QVERIFY(m_window->Initialise());
    QCOMPARE(runs, 0);
}

void MainWindowTest::PortDialogRunsFirstWhenNoPortIsSet_data() {
    QTest::addColumn<QString>("settings");  // "-" for no settings file at all
    QTest::addColumn<bool>("shown");
    QTest::newRow("first start, no file") << "-" << true;
    QTest::newRow("no port in the file") << "[Tags]\ntag0=Regular\n" << true;
    QTest::newRow("a port that names no device") << "[Communications]\nPort=XXX\n" << true;
    QTest::newRow("a port") << "[Communications]\nPort=COM2\n" << false;
}

void MainWindowTest::PortDialogRunsFirstWhenNoPortIsSet() {
    QFETCH(QString, settings);
    QFETCH(bool, shown);
    if (settings == "-") {
        QVERIFY(QFile::remove(m_dir->filePath("voxa.ini")));
    } else {
        WriteSettings(settings.toStdString());
    }
    MakeWindow();
    int runs = 0;
    std::size_t openedBefore = 1;
    HookPortDialog(runs, openedBefore);
    QVERIFY(m_window->Initialise());
    QCOMPARE(runs, shown ? 1 : 0);
    if (shown) {
        QCOMPARE(openedBefore, std::size_t{0});
        // The first start leaves the switch as it was: the dialog does not come back once a
        // port is chosen.
        QVERIFY(!m_window->System()->ShowPortDialog());
    }
}

void MainWindowTest::AboutAsksTheControllerForItsPartNumber() {
    m_site->model.Current().partNumber = "LV-CC 5.1";
    Start();
    m_site->platform.ClearEvents();
    QString shown;
    QTimer::singleShot(0, m_window.get(), [this, &shown] {
        auto *about = m_window->findChild<QDialog *>(Id(Ids::Dialog::kAbout));
        if (!about) return;
        shown = about->findChild<QLabel *>(Id(Ids::About::kPartNumber))->text();
        about->accept();
    });
    m_window->Command(Ids::Menu::kAbout)->trigger();
    QCOMPARE(shown, QString("LV-CC 5.1"));
    QCOMPARE(m_site->SentCodes(), std::vector<int>{44});
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Refused the next time: the part number read before is not shown for this reading.
    m_site->controller.Faults().forcedStatus = ControllerStatus::kGlitch;
    m_site->controller.Faults().forcedStatusCount = 1;
    shown.clear();
    QTimer::singleShot(0, m_window.get(), [this, &shown] {
        auto *about = m_window->findChild<QDialog *>(Id(Ids::Dialog::kAbout));
        if (!about) return;
        shown = about->findChild<QLabel *>(Id(Ids::About::kPartNumber))->text();
        about->accept();
    });
    m_window->Command(Ids::Menu::kAbout)->trigger();
    QCOMPARE(shown, QString("No P/N"));
}

void MainWindowTest::FirstTickShowsClockTagsAndStatus() {
    Start();
    m_site->platform.ClearEvents();
    m_window->Tick();
    QCOMPARE(Label(Ids::Main::kClock)->text(), QString("12/7/2026 2:07 PM"));
    QCOMPARE(Tag(1)->text(), StatusLine::TagFieldText("Regular"));
    QCOMPARE(Tag(5)->text(), StatusLine::TagFieldText("XXX"));
    QCOMPARE(Label(Ids::Main::kStatusText)->text(), QString("Status: All signs ready. "));
    QVERIFY(!m_window->System()->LineTagsDisplayPending());
    // The tick only reflects the model: nothing goes to the controller.
    QVERIFY(m_site->platform.Events().empty());

    m_now = m_now.addSecs(60);
    m_window->Tick();
    QCOMPARE(Label(Ids::Main::kClock)->text(), QString("12/7/2026 2:08 PM"));
}

void MainWindowTest::StatusFollowsTheFailureFlagAndRedrawsOnlyOnChange() {
    Start();
    QLabel *text = Label(Ids::Main::kStatusText);
    QLabel *icon = Label(Ids::Main::kStatusIcon);
    m_window->Tick();
    const qint64 readyPicture = icon->pixmap().cacheKey();

    m_window->System()->SetFailureFlag(true);
    m_window->Tick();
    QCOMPARE(text->text(), QString("Error Status: Check logs. "));
    QCOMPARE(m_window->Status().CurrentlyShown(), StatusLine::Shown::Error);
    const qint64 errorPicture = icon->pixmap().cacheKey();
    QVERIFY(errorPicture != readyPicture);

    // A tick without change leaves the status alone, even if something wrote over it.
    text->setText("untouched");
    m_window->Tick();
    QCOMPARE(text->text(), QString("untouched"));

    m_window->System()->SetFailureFlag(false);
    m_window->Tick();
    QCOMPARE(text->text(), QString("Status: All signs ready. "));
    QCOMPARE(m_window->Status().CurrentlyShown(), StatusLine::Shown::Ready);
}

void MainWindowTest::StatusSaysWhenTheControllerDoesNotAnswer() {
    Start();
    QLabel *text = Label(Ids::Main::kStatusText);
    QLabel *icon = Label(Ids::Main::kStatusIcon);
    m_window->Tick();
    const qint64 readyPicture = icon->pixmap().cacheKey();

    m_site->controller.Faults().silent = true;
    m_window->System()->GetCcStatus();
    m_window->Tick();
    QCOMPARE(text->text(), QString("Error Status: CC not answering."));
    // It fits beside the icon.
    QVERIFY(text->fontMetrics().horizontalAdvance(text->text()) <= text->contentsRect().width());
    QVERIFY(icon->geometry().right() < text->geometry().left() + text->contentsMargins().left());
    QCOMPARE(m_window->Status().CurrentlyShown(), StatusLine::Shown::NotAnswering);
    QVERIFY(icon->pixmap().cacheKey() != readyPicture);
    // Redrawn only on change; and silence outranks a failure reported before it.
    text->setText("untouched");
    m_window->System()->SetFailureFlag(true);
    m_window->Tick();
    QCOMPARE(text->text(), QString("untouched"));

    // The next reply brings the line back, and the failure flag shows again.
    m_site->controller.Faults().silent = false;
    m_window->System()->GetNumberOfLines();
    m_window->Tick();
    QCOMPARE(text->text(), QString("Error Status: Check logs. "));
    m_window->System()->SetFailureFlag(false);
    m_window->Tick();
    QCOMPARE(text->text(), QString("Status: All signs ready. "));
}

void MainWindowTest::StartupAgainstASilentControllerAsksOnceAndOpensTheWindow() {
    m_site->controller.Faults().silent = true;
    Start();
    // One transaction (one open to send, one to receive) and its one message.
    QCOMPARE(m_site->platform.OpenCount(), 2);
    QCOMPARE(
        m_console.messages,
        std::vector<std::string>{"CC sent VOXA an unknown status.\nCmd Code: 22 Status:ffffffff"});
    QCOMPARE(QString::fromStdString(m_console.details.front()),
             QString("no answer from the Central Controller on COM1; check that it is switched "
                     "on and connected to this port"));
    QVERIFY(m_window->PollTimer().isActive());
    QVERIFY(!m_window->SplashOpen());

    m_window->Tick();
    m_window->Tick();
    QCOMPARE(Label(Ids::Main::kStatusText)->text(), QString("Error Status: CC not answering."));
    QCOMPARE(Label(Ids::Main::kClock)->text(), QString("12/7/2026 2:07 PM"));
    for (int line = 1; line <= 8; ++line) {
        QVERIFY(!Price(line)->isEnabled());
        QCOMPARE(Price(line)->PositionCount(), 0);
        QCOMPARE(Tag(line)->text(), kNotInstalled);
    }
    QVERIFY(!SendButton()->isEnabled());
    QCOMPARE(m_site->platform.OpenCount(), 2);  // the ticks ask nothing
}

void MainWindowTest::EditsBeforeTheFirstTickAreNotTakenAsEdits() {
    Start();
    const QFont normal = Price(1)->font();
    TypeInto(1, "2");
    QCOMPARE(Price(1)->text(), QString("2.__9"));
    QVERIFY(!m_window->System()->LineChanged(1));
    QVERIFY(!SendButton()->isEnabled());
    QCOMPARE(Price(1)->font().weight(), normal.weight());

    m_window->Tick();
    TypeInto(2, "3");
    QVERIFY(m_window->System()->LineChanged(2));
    QVERIFY(!m_window->System()->LineChanged(1));
    QVERIFY(SendButton()->isEnabled());
    QVERIFY(Price(2)->font().weight() > normal.weight());
    QVERIFY(Tag(2)->font().weight() > normal.weight());
    QCOMPARE(Price(1)->font().weight(), normal.weight());
}

void MainWindowTest::SendStopsAtTheBadLineWithTheFocusThere() {
    m_site->model.Current().lines[0].format = "8.889";
    m_site->model.Current().lines[1].format = "88.88";
    m_site->model.Current().lines[1].price = "12.50";
    Start();
    m_window->Tick();

    TypeInto(1, "189");
    QCOMPARE(Price(1)->text(), QString("1.899"));
    TypeInto(2, "123");  // the last digit cell keeps its fill character
    QCOMPARE(Price(2)->text(), QString("12.3_"));
    TypeInto(3, "2");
    m_site->platform.ClearEvents();
    Price(6)->setFocus();
    SendButton()->click();

    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2}));
    QCOMPARE(m_site->model.Current().lines[0].price, std::string("1.899"));
    QCOMPARE(m_site->model.Current().lines[1].price, std::string("12.50"));
    QCOMPARE(Label(Ids::Main::kLastUpdate)->text(), QString("Error:\nBad Value, Price #2"));
    QTRY_VERIFY(Price(2)->hasFocus());
    QVERIFY(!m_window->System()->LineChanged(1));
    QVERIFY(m_window->System()->LineChanged(2));
    QVERIFY(m_window->System()->LineChanged(3));
    QVERIFY(SendButton()->isEnabled());
    QVERIFY(Price(2)->font().weight() > QFont::Normal);
}

void MainWindowTest::SendStopsAtThePriceTheControllerDidNotTake_data() {
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("failedLine");
    QTest::addColumn<std::vector<int>>("sentCodes");
    QTest::addColumn<std::vector<std::string>>("messages");
    // Line 2's format has changed in the controller since start-up: it refuses the price.
    QTest::newRow("refused") << false << 2 << std::vector<int>{34, 2, 2}
                             << std::vector<std::string>{"Central Controller: Format Mismatch"};
    // Nothing answers Get CC status first, then the price of line 1.
    QTest::newRow("no answer")
        << true << 1 << std::vector<int>{}
        << std::vector<std::string>{
               "CC sent VOXA an unknown status.\nCmd Code: 22 Status:ffffffff",
               "CC sent VOXA an unknown status.\nCmd Code: 02 Status:ffffffff"};
}

void MainWindowTest::SendStopsAtThePriceTheControllerDidNotTake() {
    QFETCH(bool, silent);
    QFETCH(int, failedLine);
    QFETCH(std::vector<int>, sentCodes);
    QFETCH(std::vector<std::string>, messages);
    Start();
    m_window->Tick();
    const std::string oldPrice2 = m_site->model.Current().lines[1].price;
    TypeInto(1, "1899");
    TypeInto(2, "2459");
    TypeInto(3, "3129");
    m_site->model.Current().lines[1].format = "88.88";
    m_site->controller.Faults().silent = silent;
    m_site->platform.ClearEvents();
    SendButton()->click();

    QCOMPARE(m_site->SentCodes(), sentCodes);
    QCOMPARE(m_site->model.Current().lines[0].price == "1.899", failedLine > 1);
    QCOMPARE(m_site->model.Current().lines[1].price, oldPrice2);
    QCOMPARE(Label(Ids::Main::kLastUpdate)->text(),
             QString("Error:\nUpdate Failed, Price #%1").arg(failedLine));
    QTRY_VERIFY(Price(failedLine)->hasFocus());
    for (int line = 1; line <= 3; ++line) {
        QCOMPARE(m_window->System()->LineChanged(line), line >= failedLine);
    }
    QVERIFY(Price(failedLine)->font().weight() > QFont::Normal);
    QVERIFY(SendButton()->isEnabled());
    // The status handler's own messages, and nothing more.
    QCOMPARE(m_console.messages, messages);

    // The last update saved is still the one before.
    m_window->reject();
    SettingsFile file(m_dir->filePath("voxa.ini").toStdString());
    QVERIFY(file.Load());
    QCOMPARE(file.ReadString("UpdateStatus", "lastmsg", "-"), std::string("12/6/2026 4:29 PM"));
}

void MainWindowTest::CompleteSendDisarmsUntilTheNextTick() {
    Start();
    m_window->Tick();
    TypeInto(4, "319");   // format 8.88
    TypeInto(5, "1099");  // format 88.88
    m_site->platform.ClearEvents();
    SendButton()->click();

    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2, 2}));
    QCOMPARE(m_site->model.Current().lines[3].price, std::string("3.19"));
    QCOMPARE(m_site->model.Current().lines[4].price, std::string("10.99"));
    QCOMPARE(Label(Ids::Main::kLastUpdate)->text(),
             "Last Update:\n" + Label(Ids::Main::kClock)->text());
    QVERIFY(!SendButton()->isEnabled());
    QCOMPARE(Price(4)->font().weight(), int(QFont::Normal));

    // Disarmed: an edit now is not an edit ...
    TypeInto(1, "2");
    QVERIFY(!m_window->System()->LineChanged(1));
    QVERIFY(!SendButton()->isEnabled());
    // ... until the next tick.
    m_window->Tick();
    TypeInto(1, "2");
    QVERIFY(m_window->System()->LineChanged(1));
    QVERIFY(SendButton()->isEnabled());
}

void MainWindowTest::LeadingPointGetsAZeroOnAnEightPointEightEightNineLine() {
    m_site->model.Current().lines[3].format = "8.88";
    Start();
    m_window->Tick();
    Price(1)->setText(".899");  // format 8.889
    QCOMPARE(Price(1)->text(), QString("0.899"));
    QVERIFY(m_window->System()->LineChanged(1));
    Price(4)->setText(".99");  // format 8.88: left as it is
    QCOMPARE(Price(4)->text(), QString(".99"));
    QVERIFY(m_window->System()->LineChanged(4));
}

void MainWindowTest::PointTypedFirstKeepsTheFieldInItsMask_data() {
    QTest::addColumn<bool>("fromHome");  // else everything is selected, as focus leaves it
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::newRow("point over 3.499") << true << "."
                                      << "0.499" << 2;
    QTest::newRow("point over a selection") << false << "."
                                            << "0.__9" << 2;
    QTest::newRow(".459 over 3.499") << true << ".459"
                                     << "0.459" << 5;
    QTest::newRow(".459 over a selection") << false << ".459"
                                           << "0.459" << 5;
    QTest::newRow(".4 over 3.499") << true << ".4"
                                   << "0.499" << 3;
}

void MainWindowTest::PointTypedFirstKeepsTheFieldInItsMask() {
    QFETCH(bool, fromHome);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(int, caret);
    m_site->model.Current().lines[0].price = "3.499";  // format 8.889
    Start();
    m_window->Tick();
    CmEdit *field = Price(1);
    QCOMPARE(field->text(), QString("3.499"));
    TypeInto(1, QString());
    if (fromHome) QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClicks(field, keys);
    QCOMPARE(field->text(), text);
    QCOMPARE(field->cursorPosition(), caret);
    QCOMPARE(field->CurrentPosition(), caret);
    QVERIFY(m_window->System()->LineChanged(1));
}

// A price the controller holds in a longer form than its line's format is shown as far as
// the field's cells go; loading it is not an edit.
void MainWindowTest::PriceLongerThanItsFormatIsShownCutAndUnchanged() {
    m_site->model.Current().lines[0].price = "12.3456";  // format 8.889
    Start();
    m_window->Tick();
    QCOMPARE(Price(1)->text(), QString("12.34"));
    QVERIFY(!m_window->System()->LineChanged(1));
    QVERIFY(!SendButton()->isEnabled());
    QCOMPARE(Price(1)->font().weight(), int(QFont::Normal));
}

void MainWindowTest::EscapeEndsWithoutAQuestionAndSavesTheSettings() {
    WriteSettings(
        "; kept\n[Devices]\nCOM1=/dev/ttyUSB0\n"
        "[Tags]\ntag0=Super .Unleaded\n[Communications]\nPort=COM1\n");
    Start();
    m_window->Tick();
    QSignalSpy finished(m_window.get(), &QDialog::finished);
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QCOMPARE(finished.count(), 1);
    QVERIFY(m_console.questions.empty());
    QVERIFY(!m_window->PollTimer().isActive());
    QCOMPARE(m_console.waits.back(), std::chrono::milliseconds(1000));
    QVERIFY(m_window->System() == nullptr);

    SettingsFile file(m_dir->filePath("voxa.ini").toStdString());
    QVERIFY(file.Load());
    // Saved as stored, never cut at what the tag column would take for its leader dots.
    QCOMPARE(file.ReadString("Tags", "tag0", "-"), std::string("Super .Unleaded"));
    // Line 7 is not installed: it keeps what the file held for it (nothing, read as XXX).
    QCOMPARE(file.ReadString("Tags", "tag6", "-"), std::string("XXX"));
    QCOMPARE(file.ReadString("Devices", "COM1", "-"), std::string("/dev/ttyUSB0"));
    QCOMPARE(file.ReadString("UpdateStatus", "lastmsg", "-"), std::string("XXX"));
    QCOMPARE(file.ReadString("Communications", "ShowStartup", "-"), std::string("No"));
    QVERIFY(file.Text().rfind("; kept\n", 0) == 0);
}

void MainWindowTest::TagsOfLinesNotLoadedSurviveTheExit_data() {
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<int>("ccStatus");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("linesShown");
    QTest::newRow("NVRAM must be updated") << 6 << 5 << false << 0;
    QTest::newRow("fewer lines than tags") << 3 << 0 << false << 3;
    QTest::newRow("controller not answering") << 6 << 0 << true << 0;
}

void MainWindowTest::TagsOfLinesNotLoadedSurviveTheExit() {
    QFETCH(int, lineCount);
    QFETCH(int, ccStatus);
    QFETCH(bool, silent);
    QFETCH(int, linesShown);
    std::string tags = "[Tags]\n";
    for (int i = 0; i < 8; ++i)
        tags += "tag" + std::to_string(i) + "=Tag " + std::to_string(i) + "\n";
    WriteSettings(tags + "[Communications]\nPort=COM1\n");
    m_site->model.Current().lineCount = lineCount;
    if (ccStatus != 0) m_site->controller.Faults().ccStatusCode = ccStatus;
    m_site->controller.Faults().silent = silent;
    Start();
    if (m_window->PollTimer().isActive()) m_window->Tick();
    for (int line = 1; line <= 8; ++line) {
        QCOMPARE(Tag(line)->text() == kNotInstalled, line > linesShown);
    }
    m_window->reject();
    QVERIFY(m_window->System() == nullptr);

    SettingsFile file(m_dir->filePath("voxa.ini").toStdString());
    QVERIFY(file.Load());
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(file.ReadString("Tags", "tag" + std::to_string(i), "-"),
                 "Tag " + std::to_string(i));
    }
}

// Ten starts and ends of the workstation, each tick showing the tags in the tag column (a
// tag of 69 characters or more gets no leader dots there): the file stays as it was.
void MainWindowTest::LongAndOddTagsSurviveTenRunsByteForByte() {
    const std::string text =
        "[Tags]\n"
        "tag0=" +
        std::string(69, 'L') +
        "\n"
        "tag1=" +
        std::string(200, 'M') +
        "\n"
        "tag2=\"  Premium  \"\n"
        "tag3=Super .Unleaded\n"
        "tag4=Gazole \xC3\xA9t\xC3\xA9\n"
        "tag5=a=b; #c [d]\n"
        "tag6=Seven\n"
        "tag7=Eight\n"
        "[UpdateStatus]\nlastmsg=12/6/2026 4:29 PM\n"
        "[FaceTags]\nface0=North\nface1=South\nface2=XXX\nface3=XXX\nface4=XXX\n"
        "face5=XXX\nface6=XXX\nface7=XXX\n"
        "[Communications]\nPort=COM1\nShowStartup=No\n";
    WriteSettings(text);
    const QString path = m_dir->filePath("voxa.ini");
    for (int run = 0; run < 10; ++run) {
        Start();
        m_window->Tick();
        QCOMPARE(Tag(1)->text(), QString(69, 'L') + " ");
        m_window->reject();
        QVERIFY(m_window->System() == nullptr);
        m_window.reset();
        std::ifstream in(path.toStdString(), std::ios::binary);
        const std::string saved{std::istreambuf_iterator<char>(in), {}};
        QCOMPARE(saved, text);
    }
}

// Written by the Windows workstation: code page 1252 and CRLF line ends.
void MainWindowTest::WindowsSettingsFileComesBackUnchanged() {
    std::string text = "[Tags]\r\ntag0=Cr\xE8me\r\n";
    for (int i = 1; i < 8; ++i)
        text += "tag" + std::to_string(i) + "=Line " + std::to_string(i) + "\r\n";
    text +=
        "[UpdateStatus]\r\nlastmsg=12/6/2026 4:29 PM\r\n[FaceTags]\r\nface0=Fa\xE7"
        "ade\r\n";
    for (int i = 1; i < 8; ++i)
        text += "face" + std::to_string(i) + "=Face " + std::to_string(i) + "\r\n";
    text += "[Communications]\r\nPort=COM1\r\nShowStartup=No\r\n";
    WriteSettings(text);
    Start();
    m_window->Tick();
    QCOMPARE(Tag(1)->text(), StatusLine::TagFieldText(QString::fromUtf8("Cr\xC3\xA8me")));
    QCOMPARE(QString::fromStdString(m_window->System()->GetFaceTag(0)),
             QString::fromUtf8("Fa\xC3\xA7"
                               "ade"));
    m_window->reject();

    std::ifstream in(m_dir->filePath("voxa.ini").toStdString(), std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QCOMPARE(after, text);
}

void MainWindowTest::ExitAsksFirst() {
    Start();
    QSignalSpy finished(m_window.get(), &QDialog::finished);
    m_console.answerYes = false;
    m_window->Command(Ids::Menu::kExit)->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(m_console.questions, std::vector<std::string>{"Exit VOXA?"});
    QCOMPARE(finished.count(), 0);

    m_console.answerYes = true;
    m_window->Command(Ids::Menu::kExit)->trigger();
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(QFile::exists(m_dir->filePath("voxa.ini")));
    QVERIFY(m_window->System() == nullptr);
}

void MainWindowTest::EndRequestedInsideAHandlerWaitsForItToReturn() {
    Start();
    m_window->Tick();
    QSignalSpy finished(m_window.get(), &QDialog::finished);
    // The controller demands its memory be updated during a send and the operator
    // declines: the status handler asks for the program's end from inside the send.
    m_site->controller.Faults().forcedStatus = 5;
    m_site->controller.Faults().forcedStatusCount = 1;
    m_console.answerYes = false;
    bool systemAliveAtRequest = false;
    m_console.onEnd = [this, &systemAliveAtRequest] {
        m_window->RequestEnd();
        // Still inside the handler: nothing may end yet.
        systemAliveAtRequest = m_window->System() != nullptr;
    };
    TypeInto(1, "1899");
    SendButton()->click();
    QCOMPARE(m_console.questions, std::vector<std::string>{"Update NVRAM?"});
    QCOMPARE(m_console.endRequests, 1);
    QVERIFY(systemAliveAtRequest);
    QCOMPARE(finished.count(), 0);
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(m_window->System() == nullptr);
}

void MainWindowTest::ClockTextHourRule_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("midnight") << QTime(0, 0) << "3/3/2003 12:00 AM";
    QTest::newRow("after midnight") << QTime(0, 5) << "3/3/2003 12:05 AM";
    QTest::newRow("before noon") << QTime(11, 59) << "3/3/2003 11:59 AM";
    QTest::newRow("noon") << QTime(12, 0) << "3/3/2003 12:00 PM";
    QTest::newRow("half past noon") << QTime(12, 30) << "3/3/2003 12:30 PM";
    QTest::newRow("one") << QTime(13, 0) << "3/3/2003 1:00 PM";
    QTest::newRow("afternoon") << QTime(14, 7) << "3/3/2003 2:07 PM";
    QTest::newRow("last minute") << QTime(23, 59) << "3/3/2003 11:59 PM";
}

void MainWindowTest::ClockTextHourRule() {
    QFETCH(QTime, time);
    QFETCH(QString, text);
    QCOMPARE(StatusLine::ClockText(QDateTime(QDate(2003, 3, 3), time)), text);
}

void MainWindowTest::LeaderDots_data() {
    QTest::addColumn<int>("tagLength");
    QTest::addColumn<int>("dots");
    QTest::newRow("7") << 7 << 31;
    QTest::newRow("0") << 0 << 35;
    QTest::newRow("8") << 8 << 31;
    QTest::newRow("68") << 68 << 1;
    QTest::newRow("69") << 69 << 0;
    QTest::newRow("80") << 80 << 0;
}

void MainWindowTest::LeaderDots() {
    QFETCH(int, tagLength);
    QFETCH(int, dots);
    const QString tag(tagLength, 'T');
    QCOMPARE(StatusLine::TagFieldText(tag), tag + " " + QString(dots, '.'));
}

QTEST_MAIN(MainWindowTest)
#include "widget_main_window_test.moc"
