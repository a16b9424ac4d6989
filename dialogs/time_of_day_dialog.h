#pragma once

#include "face_mode_dialog.h"

class QComboBox;
class QLabel;
class QLineEdit;

// "Configure Time of Day Mode": two levels of the current face and the two times of day
// at which the controller switches between them. Apply sends row by row and stops at the
// first entry it refuses; what went out before stays sent.
class TimeOfDayDialog : public FaceModeDialog {
    Q_OBJECT

public:
    explicit TimeOfDayDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    void Read() override;
    void Apply() override;

private:
    // One switch: the level slot it sets and the switch time it starts at.
    struct Row {
        int slot = 0;
        int switchIndex = 0;
        // "first" or "second", as the row's values are named when they were not read.
        QString name;
        QComboBox *level = nullptr;
        QLineEdit *hour = nullptr;
        QLineEdit *minute = nullptr;
        QComboBox *meridian = nullptr;
    };

    Row BuildRow(int slot, int switchIndex, int y, int levelId, int hourId, int minuteId,
                 int meridianId);
    void ReadRow(const Row &row);
    // Sends the row's level, then its switch time if hour and minute are in range; false
    // after a refusal. A value left empty after its read failed is passed over; sent tells
    // whether anything went out.
    bool ApplyRow(const Row &row, bool &sent);

    QLabel *m_heading;
    Row m_first;
    Row m_second;
};
