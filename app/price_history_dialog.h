#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "price_log_file.h"
#include "station_history.h"

class EventLogFile;
class OperatorConsole;
class PriceHistoryFilter;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

// The station's history in a table: every price change attempt of the workstation, voxa-ctl
// and head office from the price log, and every supervisor change from the event log, newest
// first, sortable by any column, filtered by kind, by line and by a range of days. Export...
// writes the rows shown, in the order shown, to a CSV file of the user's choice: as the price
// log's rows while only prices are shown, else as voxa-ctl history prints them. The logs are
// read once, when the window opens; nothing here writes to them.
class PriceHistoryDialog : public QDialog {
    Q_OBJECT

public:
    // Gives the file to export to; an empty text when the user chose none.
    using ExportChooser = std::function<QString()>;

    static constexpr const char *kTitle = "Price History";

    // The header of an export with supervisor changes.
    static constexpr const char *kHistoryHeader =
        "time,kind,source,user,what,before,after,outcome,question";

    // events may be null: only prices are shown.
    PriceHistoryDialog(const PriceLogFile &log, OperatorConsole &console, QWidget *parent = nullptr,
                       const EventLogFile *events = nullptr);

    void SetExportChooser(ExportChooser chooser) { m_chooseExport = std::move(chooser); }

    // The price entries shown, in the order shown.
    std::vector<PriceLogFile::Entry> ShownEntries() const;
    // Every row shown, prices and changes, in the order shown.
    std::vector<StationHistory::Row> ShownRows() const;
    int TotalEntries() const { return static_cast<int>(m_entries.size()); }
    int TotalChanges() const { return static_cast<int>(m_changes.size()); }

    void Export();

private:
    void Fill();
    void Refilter();
    void ShowSummary();
    QDateEdit *DateEdit(int id, int x);
    static QString ChooseWithDialog(QWidget *parent);

    void AddChange(std::size_t index);
    bool ExportRows(const QString &path, std::string &reason) const;

    const PriceLogFile &m_log;
    const EventLogFile *m_events = nullptr;
    OperatorConsole &m_console;
    std::vector<PriceLogFile::Entry> m_entries;
    std::vector<StationHistory::Row> m_changes;
    QComboBox *m_kind = nullptr;
    QStandardItemModel *m_model = nullptr;
    PriceHistoryFilter *m_filter = nullptr;
    QComboBox *m_line = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_export = nullptr;
    ExportChooser m_chooseExport;
};
