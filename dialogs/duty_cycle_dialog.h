#pragma once

#include "controller_dialog.h"

class QComboBox;
class QLineEdit;
class UpDownControl;

// "Duty Cycle Setup": the percentage of time the display is on at each of the five
// intensity levels, one level at a time. The edit is the only state: the arrows step the
// number typed in it, and Apply sends it for the level on screen.
class DutyCycleDialog : public ControllerDialog {
    Q_OBJECT

public:
    static constexpr int kLowest = 0;
    static constexpr int kHighest = 100;

    explicit DutyCycleDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    void Read() override;
    void Apply() override;

private:
    // Shows the duty cycle the controller holds for the selected level.
    void ShowSelectedLevel();
    // The edit's number plus the step, bounded by the arrows' range, written back.
    void Step(int step);

    QComboBox *m_level;
    QLineEdit *m_dutyCycle;
    UpDownControl *m_spin;
};
