#pragma once

#include <ctime>
#include <functional>

#include "controller_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// "Configure Date And Time": the controller's clock, calendar and daylight-saving switch.
// It shows and sends only what is in its boxes. "Use PC Time" fills the boxes from the PC's
// local time and daylight-saving state, for the user to send with OK or Apply. Apply's
// three parts are independent: a refused time does not keep the date or the switch from
// going out.
class DateTimeDialog : public ControllerDialog {
    Q_OBJECT

public:
    // The frame carries the year as two bytes, year / 100 and year % 100.
    static constexpr int kHighestYear = 9999;
    // The days of a month (1-12) of a year, leap years counted.
    static int DaysIn(int month, int year);

    explicit DateTimeDialog(SignSystem &system, QWidget *parent = nullptr);

    // The PC's clock "Use PC Time" reads (the system's unless a test says else).
    void SetPcClock(std::function<std::time_t()> clock) { m_pcClock = std::move(clock); }

protected:
    void Read() override;
    void Apply() override;

private:
    // Whether the part the field belongs to can go out: read, or filled in completely since
    // its read failed. One filled in only in part is told.
    bool Sendable(const QWidget *field, const QString &what);
    void ApplyTime();
    void ApplyDate();
    void UsePcTime();

    QLineEdit *m_month;
    QLineEdit *m_day;
    QLineEdit *m_year;
    QLineEdit *m_hour;
    QLineEdit *m_minute;
    QLineEdit *m_second;
    QComboBox *m_meridian;
    QCheckBox *m_daylightSaving;
    std::function<std::time_t()> m_pcClock = [] { return std::time(nullptr); };
};
