#pragma once

#include <QDate>
#include <QSortFilterProxyModel>

// Which rows the station's history shows: of one kind (prices, supervisor changes, or one
// kind of change) or all, of one line or all, and the days from one date to another, both
// included. Sorting goes by each column's sort key.
class PriceHistoryFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    // The columns of the price log, in its order, then the row's kind and the question about
    // the limits. A supervisor change shows what it changed under kTag, the value before and
    // after under kOld and kNew.
    enum Column {
        kTime,
        kSource,
        kUser,
        kLine,
        kTag,
        kOld,
        kNew,
        kOutcome,
        kKind,
        kQuestion,
        kColumns
    };
    // The kind filter's word for every supervisor change.
    static constexpr const char *kChanges = "changes";
    // Where each item keeps the value it sorts by: the moment for the time (entries of the
    // same moment keep the log's order), numbers for the line and the prices, the text for
    // the rest.
    static constexpr int kSortRole = Qt::UserRole + 1;

    explicit PriceHistoryFilter(QObject *parent = nullptr);

    // 0 for every line.
    void SetLine(int line);
    // Empty for every kind; "price", kChanges, or a kind of change ("clock", ...).
    void SetKind(const QString &kind);
    void SetDates(const QDate &from, const QDate &to);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    int m_line = 0;
    QString m_kind;
    QDate m_from;
    QDate m_to;
};
