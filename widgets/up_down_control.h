#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// Two arrow buttons at the right edge of an edit that step the edit's number. The control
// keeps no position of its own: each press only tells its owner the step (+1 for the up
// arrow, -1 for the down arrow), and the owner reads the edit, adds the step, bounds the
// sum by the range and writes it back. The Up and Down keys in the edit step it as the
// arrows do, and a held arrow repeats.
class UpDownControl : public QWidget {
    Q_OBJECT

public:
    explicit UpDownControl(QWidget *parent = nullptr);

    // The edit the arrows belong to; its Up and Down keys become steps.
    void SetBuddy(QLineEdit *buddy);
    QLineEdit *Buddy() const { return m_buddy; }

    // Kept as given: a lower bound above the upper one is the owner's to sort out.
    void SetRange(int lower, int upper);
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }

    QToolButton *UpButton() const { return m_up; }
    QToolButton *DownButton() const { return m_down; }

signals:
    void Stepped(int step);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *m_buddy = nullptr;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_lower = 0;
    int m_upper = 0;
};
