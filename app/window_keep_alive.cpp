#include "window_keep_alive.h"

#include <QCoreApplication>
#include <QEventLoop>

void WindowKeepAlive::Serve() {
    // An event delivered here cannot start a transaction, so Serve() is never entered
    // twice; should it be, the inner call has nothing to add.
    if (m_serving) return;
    m_serving = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_serving = false;
}
