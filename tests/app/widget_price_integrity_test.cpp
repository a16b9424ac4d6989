// Send Update with read-back confirmation, limits and the price log, and the price history
// behind the File menu, on the simulated site.
#include <QAbstractItemView>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "cm_edit.h"
#include "command_code.h"
#include "csv_text.h"
#include "device_map.h"
#include "event_log_file.h"
#include "file_size_limit.h"
#include "main_window.h"
#include "menu_commands.h"
#include "open_main_window.h"
#include "price_log_file.h"
#include "resource_ids.h"
#include "simulated_site.h"
#include "status_line.h"

namespace {

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

const std::vector<int> kStatusThenSet{34, 2};

}  // namespace

class PriceIntegrityTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void WithoutConfirmOrLimitsTheLineTrafficIsUnchanged();
    void ConfirmationReadsBackEveryLineSent();
    void ConfirmationCatchesAControllerThatStoresAnotherText();
    void LimitQuestion_data();
    void LimitQuestion();
    void OrderQuestion_data();
    void OrderQuestion();
    void BadLimitsAreToldOnceAtStartUpAndNotUsed();
    void ABadValueIsLoggedToo();
    void ALogThatIsNotOursIsLeftAloneWithANotice();
    void ALogThatCannotBeWrittenShowsInTheStatusLineAndTheSendGoesOn();
    void PriceHistoryOpensWithoutThePassword();
    void StartUpAndSendUpdateHoldTheLineThroughout();
    void APriceOfUnknownOutcomeAsksForALookAtTheSign();
    void StartUpCheck_data();
    void StartUpCheck();

private:
    void WriteSettings(const std::string &extra);
    void Start();
    CmEdit *Price(int line) const;
    QString LastUpdate() const;
    void Edit(int line, const QString &keys);
    void Send();
    // The rows of the price log below its header.
    std::vector<CsvText::Row> LogRows(const char *name = "voxa-prices.csv") const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<MainWindow> m_window;
};

void PriceIntegrityTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_site = std::make_unique<SimulatedSite>();
    m_devices = std::make_unique<DeviceMap>();
    WriteSettings("");
}

void PriceIntegrityTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void PriceIntegrityTest::WriteSettings(const std::string &extra) {
    std::ofstream(m_dir->filePath("voxa.ini").toStdString(), std::ios::binary)
        << "[Tags]\ntag0=Regular\ntag1=Plus, \"Super\"\n[Communications]\nPort=COM1\n"
        << extra;
}

void PriceIntegrityTest::Start() {
    m_window = std::make_unique<MainWindow>(m_site->platform, m_site->console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    m_window->SetClock([] { return QDateTime(QDate(2026, 12, 7), QTime(14, 7)); });
    QVERIFY(OpenMainWindow(*m_window));
    m_window->Tick();
    m_site->platform.ClearEvents();
}

CmEdit *PriceIntegrityTest::Price(int line) const {
    return m_window->findChild<CmEdit *>(Id(Ids::Main::kPriceFieldIds[line - 1]));
}

QString PriceIntegrityTest::LastUpdate() const {
    return m_window->findChild<QLabel *>(Id(Ids::Main::kLastUpdate))->text();
}

void PriceIntegrityTest::Edit(int line, const QString &keys) {
    CmEdit *field = Price(line);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, keys);
}

void PriceIntegrityTest::Send() {
    m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->click();
}

std::vector<CsvText::Row> PriceIntegrityTest::LogRows(const char *name) const {
    std::ifstream in(std::filesystem::path(m_dir->path().toStdString()) / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<CsvText::Row> rows = CsvText::Parse(text.str());
    if (!rows.empty()) {
        if (rows.front() !=
            CsvText::Parse(std::string(PriceLogFile::kChainedHeader) + "\n").front())
            return {};
        rows.erase(rows.begin());
    }
    return rows;
}

void PriceIntegrityTest::WithoutConfirmOrLimitsTheLineTrafficIsUnchanged() {
    Start();
    Edit(2, "3559");
    Send();
    QCOMPARE(m_site->SentCodes(), kStatusThenSet);
    QCOMPARE(m_site->model.Current().lines[1].price, std::string("3.559"));
    const auto rows = LogRows();
    QCOMPARE(rows.size(), std::size_t{1});
    // time, source, user, line, tag, old (as read at start-up), new, outcome, question, chain
    QCOMPARE(rows[0].size(), std::size_t{10});
    QCOMPARE(rows[0][1], std::string("workstation"));
    QCOMPARE(rows[0][2], PriceLogFile::ProcessUser());
    QCOMPARE(rows[0][3], std::string("2"));
    QCOMPARE(rows[0][4], std::string("Plus, \"Super\""));
    QCOMPARE(rows[0][5], std::string("3.599"));
    QCOMPARE(rows[0][6], std::string("3.559"));
    QCOMPARE(rows[0][7], std::string("sent"));
    QVERIFY(m_site->console.messages.empty());
}

void PriceIntegrityTest::ConfirmationReadsBackEveryLineSent() {
    WriteSettings("[Update]\nConfirm=Yes\n");
    Start();
    Edit(1, "3459");
    Edit(2, "3559");
    Send();
    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2, 3, 2, 3}));
    QCOMPARE(LastUpdate(), QString("Last Update:\n12/7/2026 2:07 PM"));
    const auto rows = LogRows();
    QCOMPARE(rows.size(), std::size_t{2});
    QCOMPARE(rows[0][7], std::string("confirmed"));
    QCOMPARE(rows[1][7], std::string("confirmed"));
    // The next change starts from the price confirmed.
    m_window->Tick();
    Edit(1, "3449");
    Send();
    QCOMPARE(LogRows()[2][5], std::string("3.459"));
}

void PriceIntegrityTest::ConfirmationCatchesAControllerThatStoresAnotherText() {
    WriteSettings("[Update]\nConfirm=Yes\n");
    Start();
    m_site->controller.Faults().manglePrice = true;
    Edit(1, "3459");
    Edit(2, "3559");
    Send();
    // Stopped at line 1, as when the controller refuses a price.
    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2, 3}));
    QCOMPARE(LastUpdate(), QString("Error:\nSign Shows 4.459, Price #1"));
    // The whole message shows in the narrow box.
    QLabel *box = m_window->findChild<QLabel *>(Id(Ids::Main::kLastUpdate));
    QVERIFY(QFontMetrics(box->font()).horizontalAdvance("Sign Shows 4.459, Price #1") <=
            box->contentsRect().width());
    QVERIFY(m_window->System()->LineChanged(1));
    QVERIFY(m_window->System()->LineChanged(2));
    QVERIFY(m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->isEnabled());
    QVERIFY(Price(1)->hasFocus());
    const auto rows = LogRows();
    QCOMPARE(rows.size(), std::size_t{1});
    QCOMPARE(rows[0][6], std::string("3.459"));
    QCOMPARE(rows[0][7], std::string("mismatch"));

    // A read-back that gets no good reply does not confirm either.
    m_site->controller.Faults().manglePrice = false;
    m_site->controller.Faults().forcedStatus = ControllerStatus::kInvalidLine;
    m_site->controller.Faults().forcedStatusCount = 1;
    m_site->controller.Faults().forcedStatusCommand = ToByte(CommandCode::GetLinePrice);
    Send();
    QCOMPARE(LastUpdate(), QString("Error:\nNot Confirmed, Price #1"));
    QCOMPARE(LogRows().back()[5], std::string("4.459"));
    QCOMPARE(LogRows().back()[7], std::string("not confirmed"));
}

void PriceIntegrityTest::LimitQuestion_data() {
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("lastUpdate");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("yes sends") << true << "Last Update:\n12/7/2026 2:07 PM"
                               << "sent (forced)";
    QTest::newRow("no stops") << false << "Error:\nNot Sent, Price #1"
                              << "outside limits";
}

void PriceIntegrityTest::LimitQuestion() {
    QFETCH(bool, answerYes);
    QFETCH(QString, lastUpdate);
    QFETCH(QString, outcome);
    WriteSettings("[Limits]\nMaxChangePercent=20\nmax2=9.999\n");
    Start();
    m_site->console.answerYes = answerYes;
    Edit(1, "8599");
    Send();
    QCOMPARE(
        m_site->console.questions,
        std::vector<std::string>{"Price #1 changes from 3.499 to 8.599 (+146%).\nSend anyway?"});
    QCOMPARE(m_site->SentCodes(), answerYes ? kStatusThenSet : std::vector<int>{34});
    QCOMPARE(LastUpdate(), lastUpdate);
    QCOMPARE(m_window->System()->LineChanged(1), !answerYes);
    QCOMPARE(QString::fromStdString(LogRows().at(0)[7]), outcome);
    // The question answered is kept with the price, whichever the answer.
    QCOMPARE(LogRows().at(0)[8],
             std::string("Price #1 changes from 3.499 to 8.599 (+146%). Send anyway?"));
}

void PriceIntegrityTest::OrderQuestion_data() {
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("lastUpdate");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("yes sends, marked as forced") << true << "Last Update:\n12/7/2026 2:07 PM"
                                                 << "sent (forced)";
    QTest::newRow("no holds every line back") << false << "Error:\nNot Sent, Price #2"
                                              << "outside limits";
}

// Line 2 typed below line 1, and line 3 within the order: the question names the line and
// price that break the order and the one it is measured against; No sends nothing at all.
void PriceIntegrityTest::OrderQuestion() {
    QFETCH(bool, answerYes);
    QFETCH(QString, lastUpdate);
    QFETCH(QString, outcome);
    WriteSettings("[Limits]\nOrder=1<2<3\n");
    Start();
    m_site->console.answerYes = answerYes;
    Edit(2, "3399");
    Edit(3, "3899");
    Send();
    QCOMPARE(m_site->console.questions,
             std::vector<std::string>{"The grade order 1<2<3 is broken: Price #2 3.399 is not "
                                      "above Price #1 3.499.\nSend anyway?"});
    QCOMPARE(m_site->SentCodes(), answerYes ? (std::vector<int>{34, 2, 2}) : std::vector<int>{34});
    QCOMPARE(LastUpdate(), lastUpdate);
    QCOMPARE(m_window->System()->LineChanged(2), !answerYes);
    QCOMPARE(m_window->System()->LineChanged(3), !answerYes);
    // Only the line that breaks the order is logged as held back; line 3 simply did not go.
    const auto rows = LogRows();
    QCOMPARE(rows.size(), std::size_t{answerYes ? 2u : 1u});
    QCOMPARE(rows.at(0)[3], std::string("2"));
    QCOMPARE(QString::fromStdString(rows.at(0)[7]), outcome);
    // Either way the row keeps the question; line 3, within the order, is no forced send.
    // (its line break a blank, as in every field of the log).
    QCOMPARE(rows.at(0)[8], std::string("The grade order 1<2<3 is broken: Price #2 3.399 is not "
                                        "above Price #1 3.499. Send anyway?"));
    if (answerYes) QCOMPARE(QString::fromStdString(rows.at(1)[7]), QString("sent"));
}

// The start-up reads and Send Update keep the line from their first transaction to their
// last, so that no script's command lands between them; the line is let go while the person
// answers a question.
void PriceIntegrityTest::StartUpAndSendUpdateHoldTheLineThroughout() {
    WriteSettings("[Limits]\nMaxChangePercent=20\n");
    m_window = std::make_unique<MainWindow>(m_site->platform, m_site->console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    QVERIFY(OpenMainWindow(*m_window));
    const std::vector<std::string> &events = m_site->platform.HoldEvents();
    QVERIFY(events.size() > 2);
    QCOMPARE(events.front(), std::string("hold: reading the installation at start-up"));
    QCOMPARE(events.back(), std::string("end"));
    QCOMPARE(std::count(events.begin(), events.end(), "transaction"),
             static_cast<long>(events.size() - 2));

    m_window->Tick();
    m_site->platform.ClearHoldEvents();
    m_site->platform.ClearEvents();
    m_site->console.answerYes = true;
    Edit(1, "8599");
    Edit(2, "3559");
    Send();
    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2, 2}));
    QCOMPARE(m_site->platform.HoldEvents(),
             (std::vector<std::string>{"hold: sending prices (Send Update)", "transaction",
                                       "let go", "transaction", "transaction", "end"}));
}

void PriceIntegrityTest::BadLimitsAreToldOnceAtStartUpAndNotUsed() {
    WriteSettings("[Limits]\nmax1=abc\nmin2=5.00\nmax2=4.00\n[Update]\nConfirm=maybe\n");
    Start();
    QCOMPARE(m_site->console.messages,
             std::vector<std::string>{
                 "These price settings in voxa.ini are not used:\n\n"
                 "[Update] Confirm=maybe is neither Yes nor No: prices are not read back.\n"
                 "[Limits] max1=abc is not a price: line 1 has no limits.\n"
                 "[Limits] min2=5.00 is above max2=4.00: line 2 has no limits.\n\n"
                 "Correct them in voxa.ini and start VOXA again."});
    Edit(1, "8599");
    Send();
    QVERIFY(m_site->console.questions.empty());
    QCOMPARE(m_site->SentCodes(), kStatusThenSet);
    QCOMPARE(m_site->console.messages.size(), std::size_t{1});
}

void PriceIntegrityTest::ABadValueIsLoggedToo() {
    Start();
    Price(2)->setText("3.5");
    Send();
    QCOMPARE(LastUpdate(), QString("Error:\nBad Value, Price #2"));
    QCOMPARE(m_site->SentCodes(), std::vector<int>{34});
    QCOMPARE(LogRows().at(0)[6], std::string("3.5"));
    QCOMPARE(LogRows().at(0)[7], std::string("bad value"));
}

void PriceIntegrityTest::ALogThatIsNotOursIsLeftAloneWithANotice() {
    const std::string foreign = "Datum;Preis\n";
    std::ofstream(m_dir->filePath("voxa-prices.csv").toStdString(), std::ios::binary) << foreign;
    Start();
    QCOMPARE(m_site->console.messages.size(), std::size_t{1});
    QVERIFY(m_site->console.messages[0].find("logged in voxa-prices-1.csv instead") !=
            std::string::npos);
    Edit(1, "3459");
    Send();
    QCOMPARE(LogRows("voxa-prices-1.csv").size(), std::size_t{1});
    std::ifstream in(m_dir->filePath("voxa-prices.csv").toStdString(), std::ios::binary);
    std::ostringstream kept;
    kept << in.rdbuf();
    QCOMPARE(kept.str(), foreign);
}

void PriceIntegrityTest::ALogThatCannotBeWrittenShowsInTheStatusLineAndTheSendGoesOn() {
    // A full disk: not a byte more can be written.
    Start();
    QVERIFY(m_site->console.messages.empty());
    Edit(1, "3459");
    Edit(2, "3559");
    {
        FileSizeLimit full(0);
        QVERIFY(full.Active());
        Send();
    }
    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2, 2}));
    QCOMPARE(LastUpdate(), QString("Last Update:\n12/7/2026 2:07 PM"));
    QVERIFY(m_site->console.messages.empty());
    m_window->Tick();
    QLabel *status = m_window->findChild<QLabel *>(Id(Ids::Main::kStatusText));
    QCOMPARE(status->text(), QString("Error Status: Price log failed."));
    QVERIFY(status->toolTip().contains("write() failed: (27) File too large"));
    QCOMPARE(m_window->Status().CurrentlyShown(), StatusLine::Shown::PriceLogFailed);
    QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <=
            status->contentsRect().width());
    // The controller's own trouble comes first.
    m_window->System()->SetFailureFlag(true);
    m_window->Tick();
    QCOMPARE(status->text(), QString("Error Status: Check logs. "));
}

void PriceIntegrityTest::PriceHistoryOpensWithoutThePassword() {
    Start();
    Edit(1, "3459");
    Send();
    m_site->platform.ClearEvents();
    QStringList dialogs;
    int rows = -1;
    m_window->Commands().SetModalRunner([&](QDialog &dialog) {
        dialogs << dialog.objectName();
        rows = dialog.findChild<QAbstractItemView *>(Id(Ids::PriceHistory::kTable))
                   ->model()
                   ->rowCount();
        return int(Ids::Result::kCancel);
    });
    m_window->RunCommand(Ids::Menu::kPriceHistory);
    QCOMPARE(dialogs, QStringList{Id(Ids::Dialog::kPriceHistory)});
    QCOMPARE(rows, 1);
    // Reading the log asks the controller nothing.
    QVERIFY(m_site->SentCodes().empty());
}

// The controller reports a checksum failure for the price, and the workstation resends it
// quietly, as ever; the controller takes the resend, but no reply to it is read. Whether the
// sign shows the price is not known, and that is what the box and the log say: never that
// the controller refused it.
void PriceIntegrityTest::APriceOfUnknownOutcomeAsksForALookAtTheSign() {
    Start();
    FaultPlan &faults = m_site->controller.Faults();
    faults.forcedStatus = ControllerStatus::kChecksumFailure;
    faults.forcedStatusCount = 1;
    faults.forcedStatusCommand = ToByte(CommandCode::SetLinePrice);
    Edit(1, "3459");
    Send();
    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 2, 2}));
    QCOMPARE(LastUpdate(), QString("Error:\nCheck Sign, Price #1"));
    QVERIFY(Price(1)->hasFocus());
    QCOMPARE(m_site->model.Current().lines[0].price, std::string("3.459"));
    const auto rows = LogRows();
    QCOMPARE(rows.size(), std::size_t{1});
    QCOMPARE(rows[0][7], std::string("unknown"));
}

void PriceIntegrityTest::StartUpCheck_data() {
    QTest::addColumn<QString>("edit");  // what becomes of the event log's text
    QTest::addColumn<QString>("told");  // a part of the one message, or empty for none
    QTest::newRow("as written") << ""
                                << "";
    QTest::newRow("a level changed") << "level"
                                     << "voxa-events.csv: line 2 does not fit the chain";
    QTest::newRow("cut by a crash") << "cut"
                                    << "";
}

// The workstation checks both logs once at start-up, and tells an edit (only an edit) once.
void PriceIntegrityTest::StartUpCheck() {
    QFETCH(QString, edit);
    QFETCH(QString, told);
    const std::string path = m_dir->filePath("voxa-events.csv").toStdString();
    {
        EventLogFile events(m_dir->path().toStdString(), "voxa-ctl");
        events.Record({"manual level (face 0)", std::string("3"), "4", "done"});
        events.Record({"date", std::nullopt, "12/7/2026", "done"});
    }
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    if (edit == "level") text.replace(text.find(",3,4,"), 5, ",3,5,");
    if (edit == "cut") text.resize(text.size() - 20);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    Start();
    std::vector<std::string> found;
    for (const std::string &message : m_site->console.messages) {
        if (message.find("does not fit the chain") != std::string::npos) found.push_back(message);
    }
    if (told.isEmpty()) {
        QVERIFY(found.empty());
        return;
    }
    QCOMPARE(found.size(), std::size_t{1});
    QVERIFY2(found[0].find(told.toStdString()) != std::string::npos, found[0].c_str());
    QVERIFY(found[0].find(MainWindow::kLogEditedText) != std::string::npos);
}

QTEST_MAIN(PriceIntegrityTest)
#include "widget_price_integrity_test.moc"
