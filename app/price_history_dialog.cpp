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
#include <limits>

#include "control_builder.h"
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

const char *const kHeadings[F::kColumns] = {"Time", "Source", "User", "Line",
                                            "Tag",  "Old",    "New",  "Outcome"};

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

QDate DayOf(const PriceLogFile::Entry &entry) {
    return QDate::fromString(Text(entry.time).left(10), Qt::ISODate);
}

}  // namespace

PriceHistoryDialog::PriceHistoryDialog(const PriceLogFile &log, OperatorConsole &console,
                                       QWidget *parent)
    : QDialog(parent), m_log(log), m_console(console) {
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
        });
        const QDate day = DayOf(e);
        if (!day.isValid()) continue;
        if (!first.isValid() || day < first) first = day;
        if (!last.isValid() || day > last) last = day;
    }
    // Every entry is shown at first: from the first day of the log to its last.
    const QDate today = QDate::currentDate();
    m_from->setDate(first.isValid() ? first : today);
    m_to->setDate(last.isValid() ? last : today);
    m_filter->SetDates(m_from->date(), m_to->date());
    m_table->sortByColumn(F::kTime, Qt::DescendingOrder);
    m_table->resizeColumnsToContents();
    ShowSummary();
}

void PriceHistoryDialog::Refilter() {
    m_filter->SetLine(m_line->currentIndex());
    m_filter->SetDates(m_from->date(), m_to->date());
    ShowSummary();
}

void PriceHistoryDialog::ShowSummary() {
    const int shown = m_filter->rowCount();
    if (m_entries.empty()) {
        m_summary->setText("No price changes are logged yet.");
    } else {
        m_summary->setText(
            QString("Showing %1 of %2.").arg(shown).arg(PriceChanges(m_entries.size())));
    }
    m_export->setEnabled(shown > 0);
}

std::vector<PriceLogFile::Entry> PriceHistoryDialog::ShownEntries() const {
    std::vector<PriceLogFile::Entry> shown;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const QModelIndex source = m_filter->mapToSource(m_filter->index(row, F::kTime));
        shown.push_back(m_entries[static_cast<std::size_t>(source.row())]);
    }
    return shown;
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
    const std::vector<PriceLogFile::Entry> shown = ShownEntries();
    std::string reason;
    if (!m_log.Export(path.toStdString(), shown, reason)) {
        m_console.ShowMessage("Price history not exported: cannot write " + path.toStdString() +
                              " (" + reason + "). Choose another file.");
        return;
    }
    m_summary->setText(QString("Exported %1 to %2.")
                           .arg(PriceChanges(shown.size()), QDir::toNativeSeparators(path)));
}
