#include "up_down_control.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace {

QToolButton *ArrowButton(Qt::ArrowType arrow, const char *name, QWidget *parent) {
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    // The edit keeps the focus: the keyboard steps through its Up and Down keys.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

UpDownControl::UpDownControl(QWidget *parent)
    : QWidget(parent),
      m_up(ArrowButton(Qt::UpArrow, "up", this)),
      m_down(ArrowButton(Qt::DownArrow, "down", this)) {
    setFocusPolicy(Qt::NoFocus);
    connect(m_up, &QToolButton::clicked, this, [this] { emit Stepped(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
}

void UpDownControl::SetBuddy(QLineEdit *buddy) {
    if (m_buddy != nullptr) m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy != nullptr) m_buddy->installEventFilter(this);
}

void UpDownControl::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

bool UpDownControl::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                emit Stepped(+1);
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                emit Stepped(-1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownControl::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const int upper = height() / 2;
    m_up->setGeometry(0, 0, width(), upper);
    m_down->setGeometry(0, upper, width(), height() - upper);
}
