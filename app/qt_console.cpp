#include "qt_console.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <algorithm>
#include <thread>

namespace {

// A message box raised in the middle of a controller exchange or a dialog's Apply would
// otherwise show the wait cursor while it waits for the user: it shows the arrow, and the
// cursor that was on comes back when the box closes.
class ArrowWhileAsking {
public:
    ArrowWhileAsking() : m_overridden(QApplication::overrideCursor() != nullptr) {
        if (m_overridden) QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~ArrowWhileAsking() {
        if (m_overridden) QApplication::restoreOverrideCursor();
    }
    ArrowWhileAsking(const ArrowWhileAsking &) = delete;
    ArrowWhileAsking &operator=(const ArrowWhileAsking &) = delete;

private:
    bool m_overridden;
};

}  // namespace

QWidget *QtConsole::BoxParent() const {
    if (m_owner == nullptr || m_owner->isVisible()) {
        return m_owner;
    }
    for (QWidget *child : m_owner->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() && child->isVisible()) {
            return child;
        }
    }
    return m_owner;
}

void QtConsole::ShowMessage(const std::string &text) {
    ShowDetailedMessage(text, {});
}

void QtConsole::ShowDetailedMessage(const std::string &text, const std::string &details) {
    const ArrowWhileAsking arrow;
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok, BoxParent());
    if (!details.empty()) {
        box.setDetailedText(QString::fromStdString(details));
    }
    box.exec();
}

bool QtConsole::AskYesNo(const std::string &text) {
    const ArrowWhileAsking arrow;
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, BoxParent());
    return box.exec() == QMessageBox::Yes;
}

void QtConsole::Wait(std::chrono::milliseconds duration) {
    // Takes no input meanwhile, like every controller transaction.
    using Clock = std::chrono::steady_clock;
    constexpr std::chrono::milliseconds kSlice{40};
    const Clock::time_point end = Clock::now() + duration;
    for (Clock::duration left = duration; left > Clock::duration::zero();
         left = end - Clock::now()) {
        if (!m_keepAlive) {
            std::this_thread::sleep_for(left);
            return;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kSlice));
        m_keepAlive();
    }
}

bool QtConsole::RunNvramLoad() {
    return m_nvramLoadHandler ? m_nvramLoadHandler() : false;
}

void QtConsole::RequestEnd() {
    if (m_endHandler) m_endHandler();
}
