#pragma once

#include "controller_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// "Configure Sign On/Off Timer": the daily times at which the controller switches the
// signs on and off, and whether it does. Apply sends the on time, the off time and the
// switch in that order and stops at the first entry it refuses.
class OnOffTimerDialog : public ControllerDialog {
    Q_OBJECT

public:
    explicit OnOffTimerDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    void Read() override;
    void Apply() override;

private:
    // One time of the timer, with the index the controller knows it by and its refusals.
    struct Row {
        int timerIndex = 0;
        // How the time is named when it was not read.
        QString name;
        const char *hoursMessage = "";
        const char *minutesMessage = "";
        QLineEdit *hour = nullptr;
        QLineEdit *minute = nullptr;
        QComboBox *meridian = nullptr;
    };

    Row BuildRow(int timerIndex, const QString &label, int y, int hourId, int minuteId,
                 int meridianId);
    void ReadRow(const Row &row);
    // Sends the row's time if its hour and minute are in range; false after a refusal. A
    // time left empty after its read failed is passed over.
    bool ApplyRow(const Row &row);

    Row m_on;
    Row m_off;
    QCheckBox *m_enable;
};
