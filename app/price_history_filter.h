#pragma once

#include <QDate>
#include <QSortFilterProxyModel>

// Which entries of the price log the price history shows: one line or all, and the days
// from one date to another, both included. Sorting goes by each column's sort key.
class PriceHistoryFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    // The columns of the log, in its order.
    enum Column { kTime, kSource, kUser, kLine, kTag, kOld, kNew, kOutcome, kColumns };
    // Where each item keeps the value it sorts by: the moment for the time (entries of the
    // same moment keep the log's order), numbers for the line and the prices, the text for
    // the rest.
    static constexpr int kSortRole = Qt::UserRole + 1;

    explicit PriceHistoryFilter(QObject *parent = nullptr);

    // 0 for every line.
    void SetLine(int line);
    void SetDates(const QDate &from, const QDate &to);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    int m_line = 0;
    QDate m_from;
    QDate m_to;
};
