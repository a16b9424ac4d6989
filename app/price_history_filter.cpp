#include "price_history_filter.h"

PriceHistoryFilter::PriceHistoryFilter(QObject *parent) : QSortFilterProxyModel(parent) {
    setSortRole(kSortRole);
}

void PriceHistoryFilter::SetLine(int line) {
    m_line = line;
    invalidateFilter();
}

void PriceHistoryFilter::SetKind(const QString &kind) {
    m_kind = kind;
    invalidateFilter();
}

void PriceHistoryFilter::SetDates(const QDate &from, const QDate &to) {
    m_from = from;
    m_to = to;
    invalidateFilter();
}

bool PriceHistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const {
    const QAbstractItemModel *model = sourceModel();
    if (!m_kind.isEmpty()) {
        const QString kind = model->index(sourceRow, kKind, sourceParent).data().toString();
        if (m_kind == kChanges ? kind == "price" : kind != m_kind) return false;
    }
    if (m_line != 0 &&
        model->index(sourceRow, kLine, sourceParent).data().toString() != QString::number(m_line)) {
        return false;
    }
    // The day as the entry was written: its own local date, whatever the offset.
    const QString time = model->index(sourceRow, kTime, sourceParent).data().toString();
    const QDate day = QDate::fromString(time.left(10), Qt::ISODate);
    // An entry whose time cannot be read (a line cut short) is never hidden by the dates.
    if (!day.isValid()) return true;
    return (!m_from.isValid() || day >= m_from) && (!m_to.isValid() || day <= m_to);
}

bool PriceHistoryFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const {
    if (left.column() == kTime) {
        const qint64 a = left.data(kSortRole).toLongLong();
        const qint64 b = right.data(kSortRole).toLongLong();
        // The same moment twice: the one written first came first.
        return a != b ? a < b : left.row() < right.row();
    }
    return QSortFilterProxyModel::lessThan(left, right);
}
