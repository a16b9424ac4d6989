#include "wait_dialog.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "control_builder.h"
#include "resource_ids.h"

namespace {

// The notice in dialog units.
constexpr int kWaitWidth = 200;
constexpr int kWaitHeight = 52;

}  // namespace

WaitDialog::WaitDialog(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(IdName(Ids::Dialog::kWait));
    setModal(false);
    setFont(DialogUnits::DialogFont());
    ControlBuilder b(this);
    setFixedSize(b.Units().ToPixelsX(kWaitWidth), b.Units().ToPixelsY(kWaitHeight));

    auto *edge = new QFrame(this);
    edge->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    edge->setLineWidth(1);
    edge->setGeometry(rect());

    m_text = b.Static(Ids::Wait::kText, QString(), {5, 8, kWaitWidth - 10, 10}, Qt::AlignCenter);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(IdName(Ids::Wait::kProgress));
    m_progress->setGeometry(b.Units().ToPixels(12, 22, kWaitWidth - 24, 10));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_block = b.Static(Ids::Wait::kBlock, QString(), {5, 36, kWaitWidth - 10, 10}, Qt::AlignCenter);
}

void WaitDialog::ShowNow() {
    // Over its window; while that is not on the screen yet (a load at start-up), in the
    // middle of the screen.
    if (parentWidget() != nullptr && parentWidget()->window()->isVisible()) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - rect().center());
    } else if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    PaintNow();
}

void WaitDialog::SetText(const QString &text) {
    m_text->setText(text);
    PaintNow();
}

void WaitDialog::SetProgress(int done, int blocks) {
    if (blocks <= 0) {
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        m_block->clear();
    } else {
        m_progress->setRange(0, blocks);
        m_progress->setValue(std::min(done, blocks));
        // The block on its way: the next one, or the last once all are through.
        m_block->setText(QString("Block %1 of %2").arg(std::min(done + 1, blocks)).arg(blocks));
    }
    PaintNow();
}

void WaitDialog::PaintNow() {
    if (!isVisible()) return;
    repaint();
    // Lets the window system map the window and take the new picture; input waits until
    // the transfer is over.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString WaitDialog::Text() const {
    return m_text->text();
}

QString WaitDialog::BlockText() const {
    return m_block->text();
}

int WaitDialog::ProgressValue() const {
    return m_progress->value();
}

int WaitDialog::ProgressMaximum() const {
    return m_progress->maximum();
}
