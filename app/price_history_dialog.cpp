#include "price_history_dialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <algorithm>
#include <filesystem>
#include <limits>

#include "control_builder.h"
#include "csv_text.h"
#include "event_log_file.h"
#include "operator_console.h"
#include "price_history_filter.h"
#include "price_limits.h"
#include "resource_ids.h"

namespace {

namespace P = Ids::PriceHistory;
using F = PriceHistoryFilter;

constexpr int kHistoryWidth = 400;
constexpr int kHistoryHeight = 222;
constexpr const char *kDateFormat = "yyyy-MM-dd";

const char *const kHeadings[F::kColumns] = {"Time", "Source", "User",    "Line", "Tag / Change",
                                            "Old",  "New",    "Outcome", "Kind", "Question"};

// Where the time's item keeps the row's place: n for the n-th price entry, -1 - n for the
// n-th change.
constexpr int kPlaceRole = Qt::UserRole + 2;

QString Text(const std::string &text) {
    return QString::fromStdString(text);
}

QStandardItem *Item(const std::string &text, const QVariant &sortKey) {
    auto *item = new QStandardItem(Text(text));
    item->setEditable(false);
    item->setData(sortKey, F::kSortRole);
    return item;
}

// Prices sort by their value, and a price that is not one (empty, cut short) before all.
QVariant PriceKey(const std::string &price) {
    return PriceLimits::ParsePrice(price).value_or(-1.0);
}

// Times sort by the moment they name, whatever their offsets (a change of the clock or of
// daylight saving, another program's entries); a time that cannot be read sorts first.
QVariant TimeKey(const std::string &time) {
    const QDateTime moment = QDateTime::fromString(Text(time), Qt::ISODate);
    return moment.isValid() ? moment.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

QString PriceChanges(std::size_t count) {
    return QString::number(count) + (count == 1 ? " price change" : " price changes");
}

QString Counted(std::size_t prices, std::size_t changes) {
    QString text = PriceChanges(prices);
    if (changes > 0)
        text += QString(" and %1 supervisor change%2").arg(changes).arg(changes == 1 ? "" : "s");
    return text;
}

QDate DayOf(const PriceLogFile::Entry &entry) {
    return QDate::fromString(Text(entry.time).left(10), Qt::ISODate);
}

}  // namespace

PriceHistoryDialog::PriceHistoryDialog(const PriceLogFile &log, OperatorConsole &console,
                                       QWidget *parent, const EventLogFile *events)
    : QDialog(parent), m_log(log), m_events(events), m_console(console) {
    setObjectName(IdName(Ids::Dialog::kPriceHistory));
    setWindowTitle(kTitle);
    setFont(DialogUnits::DialogFont());
    ControlBuilder b(this);
    setFixedSize(b.Units().ToPixelsX(kHistoryWidth), b.Units().ToPixelsY(kHistoryHeight));

    QStringList lines{"All lines"};
    for (int line = 1; line <= PriceLimits::kLines; ++line) lines << QString::number(line);
    b.Static("&Line:", {7, 7, 22, 12})
        ->setBuddy(m_line = b.DropDownList(P::kLineFilter, lines, {30, 7, 50, 80}));
    b.Static("&From:", {92, 7, 22, 12})->setBuddy(m_from = DateEdit(P::kFromDate, 115));
    b.Static("&To:", {185, 7, 14, 12})->setBuddy(m_to = DateEdit(P::kToDate, 200));
    QStringList kinds{"All kinds", "Prices", "Supervisor changes"};
    for (const std::string &kind : StationHistory::Kinds()) {
        if (kind != "price") kinds << QString::fromStdString(kind);
    }
    b.Static("&Kind:", {268, 7, 20, 12})
        ->setBuddy(m_kind = b.DropDownList(P::kKindFilter, kinds, {290, 7, 103, 120}));

    m_model = new QStandardItemModel(0, F::kColumns, this);
    for (int column = 0; column < F::kColumns; ++column) {
        m_model->setHeaderData(column, Qt::Horizontal, kHeadings[column]);
    }
    m_filter = new PriceHistoryFilter(this);
    m_filter->setSourceModel(m_model);
    m_table = new QTableView(this);
    m_table->setObjectName(IdName(P::kTable));
    m_table->setGeometry(b.Units().ToPixels(7, 24, kHistoryWidth - 14, 170));
    m_table->setModel(m_filter);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    // One line of text per row, as in a list.
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSortingEnabled(true);

    m_summary = b.Static(P::kSummary, QString(), {7, 201, 270, 12});
    m_export = b.Button(P::kExport, "&Export...", {283, 200, 50, 14});
    m_export->setAutoDefault(false);
    QPushButton *close = b.Button(P::kClose, "Close", {343, 200, 50, 14}, true);

    connect(m_export, &QPushButton::clicked, this, &PriceHistoryDialog::Export);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    Fill();
    connect(m_line, &QComboBox::currentIndexChanged, this, &PriceHistoryDialog::Refilter);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &PriceHistoryDialog::Refilter);
    connect(m_from, &QDateEdit::dateChanged, this, &PriceHistoryDialog::Refilter);
    connect(m_to, &QDateEdit::dateChanged, this, &PriceHistoryDialog::Refilter);
    m_table->setFocus();
}

QDateEdit *PriceHistoryDialog::DateEdit(int id, int x) {
    auto *edit = new QDateEdit(this);
    edit->setObjectName(IdName(id));
    edit->setGeometry(DialogUnits(font()).ToPixels(x, 7, 60, 12));
    edit->setDisplayFormat(kDateFormat);
    edit->setCalendarPopup(true);
    return edit;
}

void PriceHistoryDialog::Fill() {
    std::string reason;
    if (!m_log.Read(m_entries, reason)) {
        m_console.ShowMessage("The price history cannot be read: " + m_log.Path().string() + " (" +
                              reason + ").");
    }
    QDate first;
    QDate last;
    for (std::size_t row = 0; row < m_entries.size(); ++row) {
        const PriceLogFile::Entry &e = m_entries[row];
        m_model->appendRow({
            Item(e.time, TimeKey(e.time)),
            Item(e.source, Text(e.source)),
            Item(e.user, Text(e.user)),
            Item(e.line, Text(e.line).toInt()),
            Item(e.tag, Text(e.tag)),
            Item(e.oldPrice, PriceKey(e.oldPrice)),
            Item(e.newPrice, PriceKey(e.newPrice)),
            Item(e.outcome, Text(e.outcome)),
            Item("price", QString("price")),
            Item(e.question, Text(e.question)),
        });
        m_model->item(m_model->rowCount() - 1, F::kTime)
            ->setData(static_cast<int>(row), kPlaceRole);
        const QDate day = DayOf(e);
        if (!day.isValid()) continue;
        if (!first.isValid() || day < first) first = day;
        if (!last.isValid() || day > last) last = day;
    }
    if (m_events != nullptr) {
        const bool read = m_events->ReadEach(
            [this](EventLogFile::Entry &&e) {
                m_changes.push_back(StationHistory::RowOf(std::move(e)));
            },
            reason);
        if (!read) {
            m_console.ShowMessage("The history of supervisor changes cannot be read: " +
                                  m_events->Path().string() + " (" + reason + ").");
        }
        for (std::size_t index = 0; index < m_changes.size(); ++index) {
            AddChange(index);
            const QDate day = QDate::fromString(Text(m_changes[index].time).left(10), Qt::ISODate);
            if (!day.isValid()) continue;
            if (!first.isValid() || day < first) first = day;
            if (!last.isValid() || day > last) last = day;
        }
    }
    // Every entry is shown at first: from the first day of the logs to the last.
    const QDate today = QDate::currentDate();
    m_from->setDate(first.isValid() ? first : today);
    m_to->setDate(last.isValid() ? last : today);
    m_filter->SetDates(m_from->date(), m_to->date());
    m_table->sortByColumn(F::kTime, Qt::DescendingOrder);
    m_table->resizeColumnsToContents();
    ShowSummary();
}

void PriceHistoryDialog::AddChange(std::size_t index) {
    const StationHistory::Row &c = m_changes[index];
    m_model->appendRow({
        Item(c.time, TimeKey(c.time)),
        Item(c.source, Text(c.source)),
        Item(c.user, Text(c.user)),
        Item("", 0),
        Item(c.what, Text(c.what)),
        Item(c.before, Text(c.before)),
        Item(c.after, Text(c.after)),
        Item(c.outcome, Text(c.outcome)),
        Item(c.kind, Text(c.kind)),
        Item("", QString()),
    });
    m_model->item(m_model->rowCount() - 1, F::kTime)
        ->setData(-1 - static_cast<int>(index), kPlaceRole);
}

void PriceHistoryDialog::Refilter() {
    const int kind = m_kind->currentIndex();
    m_filter->SetKind(kind == 0   ? QString()
                      : kind == 1 ? QString("price")
                      : kind == 2 ? QString(F::kChanges)
                                  : m_kind->currentText());
    m_filter->SetLine(m_line->currentIndex());
    m_filter->SetDates(m_from->date(), m_to->date());
    ShowSummary();
}

void PriceHistoryDialog::ShowSummary() {
    const int shown = m_filter->rowCount();
    if (m_entries.empty() && m_changes.empty()) {
        m_summary->setText("No price changes are logged yet.");
    } else {
        // With both kinds, "Showing 7 of 5 price changes and 2 supervisor changes" would read
        // as 7 of 5: the whole is counted first, then its parts.
        const std::size_t all = m_entries.size() + m_changes.size();
        m_summary->setText(
            m_changes.empty()
                ? QString("Showing %1 of %2.").arg(shown).arg(Counted(m_entries.size(), 0))
                : QString("Showing %1 of %2 rows: %3.")
                      .arg(shown)
                      .arg(all)
                      .arg(Counted(m_entries.size(), m_changes.size())));
    }
    m_export->setEnabled(shown > 0);
}

std::vector<PriceLogFile::Entry> PriceHistoryDialog::ShownEntries() const {
    std::vector<PriceLogFile::Entry> shown;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const int place = m_filter->index(row, F::kTime).data(kPlaceRole).toInt();
        if (place >= 0) shown.push_back(m_entries[static_cast<std::size_t>(place)]);
    }
    return shown;
}

std::vector<StationHistory::Row> PriceHistoryDialog::ShownRows() const {
    std::vector<StationHistory::Row> shown;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const int place = m_filter->index(row, F::kTime).data(kPlaceRole).toInt();
        if (place < 0) {
            shown.push_back(m_changes[static_cast<std::size_t>(-1 - place)]);
            continue;
        }
        const PriceLogFile::Entry &e = m_entries[static_cast<std::size_t>(place)];
        StationHistory::Row price;
        price.time = e.time;
        price.kind = "price";
        price.source = e.source;
        price.user = e.user;
        price.line = Text(e.line).toInt();
        price.what = "line " + e.line + " price" + (e.tag.empty() ? "" : " (" + e.tag + ")");
        price.before = e.oldPrice;
        price.after = e.newPrice;
        price.outcome = e.outcome;
        price.question = e.question;
        shown.push_back(std::move(price));
    }
    return shown;
}

bool PriceHistoryDialog::ExportRows(const QString &path, std::string &reason) const {
    const std::vector<StationHistory::Row> rows = ShownRows();
    const std::string target = path.toStdString();
    const bool changes = std::any_of(
        rows.begin(), rows.end(), [](const StationHistory::Row &r) { return r.kind != "price"; });
    if (!changes) return m_log.Export(target, ShownEntries(), reason);
    std::error_code error;
    if (m_log.Path() == target ||
        (m_events != nullptr && std::filesystem::equivalent(target, m_events->Path(), error)) ||
        std::filesystem::equivalent(target, m_log.Path(), error)) {
        reason = "that is a log itself, which is never rewritten";
        return false;
    }
    std::string text = std::string(kHistoryHeader) + '\n';
    for (const StationHistory::Row &r : rows) {
        text += CsvText::Line(
            {r.time, r.kind, r.source, r.user, r.what, r.before, r.after, r.outcome, r.question});
    }
    return ChainedLog::WriteFile(target, text, reason);
}

QString PriceHistoryDialog::ChooseWithDialog(QWidget *parent) {
    QFileDialog dialog(parent, "Export Price History", QDir::currentPath(),
                       "CSV files (*.csv);;All files (*)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("csv");
    dialog.selectFile("price-history.csv");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void PriceHistoryDialog::Export() {
    const QString path = m_chooseExport ? m_chooseExport() : ChooseWithDialog(this);
    if (path.isEmpty()) return;
    const std::vector<StationHistory::Row> shown = ShownRows();
    const std::size_t prices = ShownEntries().size();
    std::string reason;
    if (!ExportRows(path, reason)) {
        m_console.ShowMessage("Price history not exported: cannot write " + path.toStdString() +
                              " (" + reason + "). Choose another file.");
        return;
    }
    m_summary->setText(
        QString("Exported %1 to %2.")
            .arg(Counted(prices, shown.size() - prices), QDir::toNativeSeparators(path)));
}
