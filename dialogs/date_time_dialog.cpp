#include "date_time_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "entry_text.h"
#include "resource_ids.h"
#include "sign_system.h"

DateTimeDialog::DateTimeDialog(SignSystem &system, QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kDateTime, "Configure Date And Time", {186, 122},
                       parent) {
    namespace D = Ids::DateTime;
    ControlBuilder &b = Build();
    b.GroupBox("System Date and Time", {7, 4, 172, 88});
    b.Static("MM   /  DD  /   YYYY", {40, 16, 100, 8});
    b.Static("Date:", {14, 29, 24, 8});
    m_month = b.Edit(D::kMonth, {40, 27, 16, 12});
    b.Static("/", {56, 29, 6, 8}, Qt::AlignCenter);
    m_day = b.Edit(D::kDay, {62, 27, 16, 12});
    b.Static("/", {78, 29, 6, 8}, Qt::AlignCenter);
    m_year = b.Edit(D::kYear, {84, 27, 24, 12});
    QPushButton *usePcTime = b.Button(D::kUsePcTime, "Use &PC Time", {118, 26, 54, 14});
    connect(usePcTime, &QPushButton::clicked, this, &DateTimeDialog::UsePcTime);
    b.Static("HR   :  MIN  :  SEC -  Meridian", {40, 45, 132, 8});
    b.Static("Time:", {14, 58, 24, 8});
    m_hour = b.Edit(D::kHour, {40, 56, 16, 12});
    b.Static(":", {56, 58, 6, 8}, Qt::AlignCenter);
    m_minute = b.Edit(D::kMinute, {62, 56, 16, 12});
    b.Static(":", {78, 58, 6, 8}, Qt::AlignCenter);
    m_second = b.Edit(D::kSecond, {84, 56, 16, 12});
    m_meridian = b.DropDownList(D::kMeridian, EntryText::MeridianItems(), {106, 56, 32, 70});
    m_daylightSaving =
        b.CheckBox(D::kDaylightSaving, "Use Daylight Savings Time", {14, 75, 150, 10});
    AddOkButton({21, 101, 50, 14});
    AddApplyButton({75, 101, 50, 14});
    AddCancelButton({129, 101, 50, 14});
    m_month->setFocus();
}

void DateTimeDialog::Read() {
    // Until the controller gives its own, the sign system's clock is the PC's: never shown.
    const TimeRecord time = System().GetTime();
    if (ReadSucceeded("time", {m_hour, m_minute, m_second, m_meridian})) {
        m_hour->setText(QString::number(time.hour));
        m_minute->setText(EntryText::TwoDigits(time.minute));
        m_second->setText(EntryText::TwoDigits(time.second));
        EntryText::SelectMeridian(m_meridian, QString::fromStdString(time.ampm));
    }
    const DateRecord date = System().GetDate();
    if (ReadSucceeded("date", {m_month, m_day, m_year})) {
        m_day->setText(EntryText::TwoDigits(date.day));
        m_month->setText(EntryText::TwoDigits(date.month));
        m_year->setText(EntryText::FourDigits(date.year));
    }
    const bool daylightSaving = System().GetDaylightSaving();
    if (ReadSucceeded("daylight saving", {m_daylightSaving})) {
        m_daylightSaving->setChecked(daylightSaving);
    }
}

void DateTimeDialog::UsePcTime() {
    const std::time_t now = m_pcClock();
    std::tm local{};
    localtime_r(&now, &local);
    const TimeRecord time =
        TimeRecord::FromTwentyFourHour(local.tm_hour, local.tm_min, local.tm_sec);
    m_hour->setText(QString::number(time.hour));
    m_minute->setText(EntryText::TwoDigits(time.minute));
    m_second->setText(EntryText::TwoDigits(time.second));
    EntryText::SelectMeridian(m_meridian, QString::fromStdString(time.ampm));
    m_day->setText(EntryText::TwoDigits(local.tm_mday));
    m_month->setText(EntryText::TwoDigits(local.tm_mon + 1));
    m_year->setText(EntryText::FourDigits(local.tm_year + 1900));
    m_daylightSaving->setChecked(local.tm_isdst > 0);
}

void DateTimeDialog::Apply() {
    // Each part goes out when it was read or filled in, whatever the others' checks said; a
    // part left empty after its read failed stays as the controller has it.
    if (Sendable(m_hour, "time")) ApplyTime();
    if (Sendable(m_month, "date")) ApplyDate();
    // Sent on every Apply that knows it, whatever the time and date checks said.
    if (EntryOf(m_daylightSaving) != Entry::Unread) {
        System().SetDaylightSaving(m_daylightSaving->checkState() == Qt::Checked);
    }
}

bool DateTimeDialog::Sendable(const QWidget *field, const QString &what) {
    switch (EntryOf(field)) {
        case Entry::Known:
            return true;
        case Entry::Incomplete:
            ShowIncomplete(what);
            return false;
        case Entry::Unread:
            break;
    }
    return false;
}

void DateTimeDialog::ApplyTime() {
    const int hour = EntryText::ToInt(m_hour->text());
    const int minute = EntryText::ToInt(m_minute->text());
    const int second = EntryText::ToInt(m_second->text());
    if (hour > 12 || hour < 1) {
        ShowMessage("Hours Out of Range.\nPlease Check Your Entries.");
    } else if (minute > 59 || minute < 0) {
        ShowMessage("Minutes Out of Range.\nPlease Check Your Entries.");
    } else if (second > 59 || second < 0) {
        ShowMessage("Seconds Out of Range.\nPlease Check Your Entries.");
    } else {
        System().SetTime({hour, minute, second, m_meridian->currentText().toStdString()});
    }
}

int DateTimeDialog::DaysIn(int month, int year) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

void DateTimeDialog::ApplyDate() {
    const int day = EntryText::ToInt(m_day->text());
    const int month = EntryText::ToInt(m_month->text());
    const int year = EntryText::ToInt(m_year->text());
    // Only a day on the calendar goes out: the controller takes day 0 or February 31 and
    // rolls it into another day (3/3 for 2/31), which the sign would then show as the date.
    if (day > 31 || day < 1) {
        ShowMessage("Date:Day Out of Range");
    } else if (month > 12 || month < 1) {
        ShowMessage("Date:Month Out of Range");
    } else if (year > kHighestYear || year < 0) {
        ShowMessage("Date:Year Out of Range");
    } else if (day > DaysIn(month, year)) {
        ShowMessage("Date:Day Out of Range");
    } else {
        System().SetDate({month, day, year});
    }
}
