#include "scoped_wait_cursor.h"

#include <QApplication>
#include <QCursor>

ScopedWaitCursor::ScopedWaitCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

ScopedWaitCursor::~ScopedWaitCursor() {
    QApplication::restoreOverrideCursor();
}
