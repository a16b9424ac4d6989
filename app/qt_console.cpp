#include "qt_console.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <thread>

void QtConsole::ShowMessage(const std::string &text) {
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok, m_owner);
    box.exec();
}

bool QtConsole::AskYesNo(const std::string &text) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, m_owner);
    return box.exec() == QMessageBox::Yes;
}

void QtConsole::Wait(std::chrono::milliseconds duration) {
    // The window does not respond meanwhile, like every controller transaction.
    std::this_thread::sleep_for(duration);
}

bool QtConsole::RunNvramLoad() {
    return m_nvramLoadHandler ? m_nvramLoadHandler() : false;
}

void QtConsole::RequestEnd() {
    if (m_endHandler) m_endHandler();
}
