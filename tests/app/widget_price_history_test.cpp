// The price history window: filter by line and days, sorting, and the export of the rows
// shown.
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "csv_text.h"
#include "event_log_file.h"
#include "price_history_dialog.h"
#include "price_history_filter.h"
#include "recording_console.h"
#include "resource_ids.h"

namespace {

namespace P = Ids::PriceHistory;

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

// In the order they were written; the clocks of two programs need not agree.
const std::vector<CsvText::Row> kLog = {
    {"2026-12-05T08:00:00+01:00", "workstation", "anna", "1", "Regular", "3.499", "3.459", "sent"},
    {"2026-12-05T08:00:00+01:00", "workstation", "anna", "2", "Plus", "3.599", "3.559", "sent"},
    {"2026-12-06T09:30:00+01:00", "voxa-ctl", "pos", "2", "Plus", "3.559", "13.59", "bad value"},
    {"2026-12-07T10:15:00+01:00", "voxa-ctl", "pos", "1", "Regular", "3.459", "3.449", "confirmed"},
    {"2026-12-07T10:15:01+01:00", "voxa-ctl", "pos", "5", "Super, \"98\"", "12,50", "2,50",
     "outside limits"},
};

std::string ReadFile(const QString &path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

class PriceHistoryTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ShowsEveryEntryNewestFirst();
    void Filter_data();
    void Filter();
    void SortsByTheNumbersOfLinesAndPrices();
    void TimeSortsByTheMomentNotTheFileOrder();
    void ExportWritesTheRowsShownInTheirOrder();
    void ExportNeverWritesOverTheLog();
    void AnEmptyLogSaysSoAndHasNothingToExport();
    void SupervisorChangesShowBesideThePricesByKind();

private:
    void Open();
    QStringList Column(int column) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PriceLogFile> m_log;
    RecordingConsole m_console;
    std::unique_ptr<PriceHistoryDialog> m_dialog;
    QTableView *m_table = nullptr;
};

void PriceHistoryTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    std::ofstream log(m_dir->filePath("voxa-prices.csv").toStdString(), std::ios::binary);
    log << PriceLogFile::kHeader << '\n';
    for (const CsvText::Row &row : kLog) log << CsvText::Line(row);
    m_console = RecordingConsole();
}

void PriceHistoryTest::cleanup() {
    m_dialog.reset();
    m_log.reset();
}

void PriceHistoryTest::Open() {
    m_log = std::make_unique<PriceLogFile>(m_dir->path().toStdString(), "workstation");
    m_dialog = std::make_unique<PriceHistoryDialog>(*m_log, m_console);
    m_table = m_dialog->findChild<QTableView *>(Id(P::kTable));
    QVERIFY(m_table != nullptr);
}

QStringList PriceHistoryTest::Column(int column) const {
    QStringList texts;
    for (int row = 0; row < m_table->model()->rowCount(); ++row)
        texts << m_table->model()->index(row, column).data().toString();
    return texts;
}

void PriceHistoryTest::ShowsEveryEntryNewestFirst() {
    Open();
    QCOMPARE(m_dialog->windowTitle(), QString("Price History"));
    QCOMPARE(Column(PriceHistoryFilter::kLine), (QStringList{"5", "1", "2", "2", "1"}));
    QCOMPARE(Column(PriceHistoryFilter::kTag)[0], QString("Super, \"98\""));
    QCOMPARE(m_dialog->findChild<QDateEdit *>(Id(P::kFromDate))->date(), QDate(2026, 12, 5));
    QCOMPARE(m_dialog->findChild<QDateEdit *>(Id(P::kToDate))->date(), QDate(2026, 12, 7));
    QCOMPARE(m_dialog->findChild<QLabel *>(Id(P::kSummary))->text(),
             QString("Showing 5 of 5 price changes."));
    QVERIFY(m_console.messages.empty());
}

void PriceHistoryTest::Filter_data() {
    QTest::addColumn<int>("line");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("times");
    QTest::newRow("line 2") << 2 << QDate(2026, 12, 1) << QDate(2026, 12, 31)
                            << QStringList{"2026-12-06T09:30:00+01:00",
                                           "2026-12-05T08:00:00+01:00"};
    QTest::newRow("one day") << 0 << QDate(2026, 12, 6) << QDate(2026, 12, 6)
                             << QStringList{"2026-12-06T09:30:00+01:00"};
    QTest::newRow("line and days") << 1 << QDate(2026, 12, 6) << QDate(2026, 12, 7)
                                   << QStringList{"2026-12-07T10:15:00+01:00"};
    QTest::newRow("a line never changed")
        << 8 << QDate(2026, 12, 1) << QDate(2026, 12, 31) << QStringList{};
    QTest::newRow("days the wrong way round")
        << 0 << QDate(2026, 12, 7) << QDate(2026, 12, 5) << QStringList{};
}

void PriceHistoryTest::Filter() {
    QFETCH(int, line);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, times);
    Open();
    m_dialog->findChild<QComboBox *>(Id(P::kLineFilter))->setCurrentIndex(line);
    m_dialog->findChild<QDateEdit *>(Id(P::kFromDate))->setDate(from);
    m_dialog->findChild<QDateEdit *>(Id(P::kToDate))->setDate(to);
    QCOMPARE(Column(PriceHistoryFilter::kTime), times);
    QCOMPARE(m_dialog->findChild<QPushButton *>(Id(P::kExport))->isEnabled(), !times.isEmpty());
    QCOMPARE(m_dialog->findChild<QLabel *>(Id(P::kSummary))->text(),
             QString("Showing %1 of 5 price changes.").arg(times.size()));
}

void PriceHistoryTest::SortsByTheNumbersOfLinesAndPrices() {
    Open();
    m_table->horizontalHeader()->setSortIndicator(PriceHistoryFilter::kNew, Qt::AscendingOrder);
    // 2,50 is the smallest and 13.59 the largest, though not as texts.
    QCOMPARE(Column(PriceHistoryFilter::kNew),
             (QStringList{"2,50", "3.449", "3.459", "3.559", "13.59"}));
    m_table->horizontalHeader()->setSortIndicator(PriceHistoryFilter::kTime, Qt::AscendingOrder);
    QCOMPARE(Column(PriceHistoryFilter::kLine), (QStringList{"1", "2", "2", "1", "5"}));
}

void PriceHistoryTest::TimeSortsByTheMomentNotTheFileOrder() {
    // The clock put back an hour between two entries, another program writing in UTC, two
    // entries of the same second, and a time cut short.
    const std::vector<CsvText::Row> log = {
        {"2026-12-05T10:00:00+01:00", "workstation", "anna", "1", "A", "3.499", "3.459", "sent"},
        {"2026-12-05T09:30:00+01:00", "workstation", "anna", "2", "B", "3.599", "3.559", "sent"},
        {"2026-12-05T08:45:00Z", "voxa-ctl", "pos", "3", "C", "3.559", "3.549", "sent"},
        {"2026-12-05T09:30:00+01:00", "workstation", "anna", "4", "D", "3.599", "3.559", "sent"},
        {"2026-12-05T0", "workstation", "anna", "5", "E", "3.599", "3.559", "sent"},
    };
    {
        std::ofstream out(m_dir->filePath("voxa-prices.csv").toStdString(),
                          std::ios::binary | std::ios::trunc);
        out << PriceLogFile::kHeader << '\n';
        for (const CsvText::Row &row : log) out << CsvText::Line(row);
    }
    Open();
    // Newest first; of two entries of the same moment, the one written later.
    QCOMPARE(Column(PriceHistoryFilter::kLine), (QStringList{"1", "3", "4", "2", "5"}));
    m_table->horizontalHeader()->setSortIndicator(PriceHistoryFilter::kTime, Qt::AscendingOrder);
    QCOMPARE(Column(PriceHistoryFilter::kLine), (QStringList{"5", "2", "4", "3", "1"}));
}

void PriceHistoryTest::ExportWritesTheRowsShownInTheirOrder() {
    Open();
    const QString target = m_dir->filePath("shown.csv");
    m_dialog->SetExportChooser([&target] { return target; });
    m_dialog->findChild<QDateEdit *>(Id(P::kFromDate))->setDate(QDate(2026, 12, 6));
    m_dialog->findChild<QPushButton *>(Id(P::kExport))->click();
    const std::string expected = std::string(PriceLogFile::kHeader) + "\n" +
                                 CsvText::Line(kLog[4]) + CsvText::Line(kLog[3]) +
                                 CsvText::Line(kLog[2]);
    QCOMPARE(ReadFile(target), expected);
    QCOMPARE(m_dialog->findChild<QLabel *>(Id(P::kSummary))->text(),
             "Exported 3 price changes to " + target + ".");
    QVERIFY(m_console.messages.empty());
}

void PriceHistoryTest::ExportNeverWritesOverTheLog() {
    Open();
    const QString log = m_dir->filePath("voxa-prices.csv");
    const std::string before = ReadFile(log);
    m_dialog->SetExportChooser([&log] { return log; });
    m_dialog->Export();
    QCOMPARE(ReadFile(log), before);
    QCOMPARE(
        m_console.messages,
        std::vector<std::string>{
            "Price history not exported: cannot write " + log.toStdString() +
            " (that is the price log itself, which is never rewritten). Choose another file."});
}

void PriceHistoryTest::AnEmptyLogSaysSoAndHasNothingToExport() {
    QFile::remove(m_dir->filePath("voxa-prices.csv"));
    Open();
    QCOMPARE(m_table->model()->rowCount(), 0);
    QCOMPARE(m_dialog->findChild<QLabel *>(Id(P::kSummary))->text(),
             QString("No price changes are logged yet."));
    QVERIFY(!m_dialog->findChild<QPushButton *>(Id(P::kExport))->isEnabled());
    QVERIFY(m_console.messages.empty());
}

// The event log's rows among the prices, in time order; the kind filter picks prices, every
// change, or one kind; an export with changes has the history's columns.
void PriceHistoryTest::SupervisorChangesShowBesideThePricesByKind() {
    EventLogFile events(m_dir->path().toStdString(), "voxa-ctl");
    events.SetUser("pos");
    events.SetClock([] { return std::time_t{1796630400}; });  // 2026-12-07
    events.Record({"manual level (face 0)", std::string("3"), "4", "done"});
    events.Record({"date", std::nullopt, "12/7/2026", "refused"});
    QCOMPARE(events.Problem(), std::string());
    m_log = std::make_unique<PriceLogFile>(m_dir->path().toStdString(), "workstation");
    m_dialog = std::make_unique<PriceHistoryDialog>(*m_log, m_console, nullptr, &events);
    m_table = m_dialog->findChild<QTableView *>(Id(P::kTable));
    QCOMPARE(m_table->model()->rowCount(), 7);
    QCOMPARE(m_dialog->findChild<QLabel *>(Id(P::kSummary))->text(),
             QString("Showing 7 of 7 rows: 5 price changes and 2 supervisor changes."));
    auto *kind = m_dialog->findChild<QComboBox *>(Id(P::kKindFilter));
    QVERIFY(kind != nullptr);
    kind->setCurrentText("Prices");
    QCOMPARE(m_table->model()->rowCount(), 5);
    kind->setCurrentText("Supervisor changes");
    QCOMPARE(Column(PriceHistoryFilter::kTag).size(), 2);
    QVERIFY(Column(PriceHistoryFilter::kTag).contains("manual level (face 0)"));
    kind->setCurrentText("clock");
    QCOMPARE(Column(PriceHistoryFilter::kTag), QStringList{"date"});
    QCOMPARE(Column(PriceHistoryFilter::kOld), QStringList{""});
    QCOMPARE(Column(PriceHistoryFilter::kOutcome), QStringList{"refused"});

    kind->setCurrentText("All kinds");
    const QString target = m_dir->filePath("all.csv");
    m_dialog->SetExportChooser([&target] { return target; });
    m_dialog->Export();
    const std::vector<CsvText::Row> rows = CsvText::Parse(ReadFile(target));
    QCOMPARE(rows.size(), std::size_t{8});
    QCOMPARE(rows[0], CsvText::Parse(std::string(PriceHistoryDialog::kHistoryHeader) + "\n")[0]);
    QVERIFY(m_console.messages.empty());
}

QTEST_MAIN(PriceHistoryTest)
#include "widget_price_history_test.moc"
