#include "price_history_filter.h"

PriceHistoryFilter::PriceHistoryFilter(QObject *parent) : QSortFilterProxyModel(parent) {
    setSortRole(kSortRole);
}

void PriceHistoryFilter::SetLine(int line) {
    m_line = line;
    invalidateFilter();
}

void PriceHistoryFilter::SetDates(const QDate &from, const QDate &to) {
    m_from = from;
    m_to = to;
    invalidateFilter();
}

bool PriceHistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const {
    const QAbstractItemModel *model = sourceModel();
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
