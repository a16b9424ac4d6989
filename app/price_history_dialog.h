#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "price_log_file.h"

class OperatorConsole;
class PriceHistoryFilter;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

// The price log in a table: every price change attempt of the workstation and voxa-ctl,
// newest first, sortable by any column, filtered by line and by a range of days. Export...
// writes the rows shown, in the order shown, to a CSV file of the user's choice. The log
// is read once, when the window opens; nothing here writes to it.
class PriceHistoryDialog : public QDialog {
    Q_OBJECT

public:
    // Gives the file to export to; an empty text when the user chose none.
    using ExportChooser = std::function<QString()>;

    static constexpr const char *kTitle = "Price History";

    PriceHistoryDialog(const PriceLogFile &log, OperatorConsole &console,
                       QWidget *parent = nullptr);

    void SetExportChooser(ExportChooser chooser) { m_chooseExport = std::move(chooser); }

    // The entries shown, in the order shown.
    std::vector<PriceLogFile::Entry> ShownEntries() const;
    int TotalEntries() const { return static_cast<int>(m_entries.size()); }

    void Export();

private:
    void Fill();
    void Refilter();
    void ShowSummary();
    QDateEdit *DateEdit(int id, int x);
    static QString ChooseWithDialog(QWidget *parent);

    const PriceLogFile &m_log;
    OperatorConsole &m_console;
    std::vector<PriceLogFile::Entry> m_entries;
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
