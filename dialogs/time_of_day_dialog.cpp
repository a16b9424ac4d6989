#include "time_of_day_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "entry_text.h"
#include "resource_ids.h"
#include "sign_system.h"

TimeOfDayDialog::TimeOfDayDialog(SignSystem &system, QWidget *parent)
    : FaceModeDialog(system, Ids::Dialog::kTimeOfDay, "Configure Time of Day Mode", {186, 101},
                     parent) {
    namespace T = Ids::TimeOfDay;
    ControlBuilder &b = Build();
    b.GroupBox("Times and Levels", {7, 4, 172, 70});
    m_heading = b.Static(T::kHeading, "Time of Day Intensity Mode: Face N", {14, 16, 158, 8});
    // The first switch sets the day slot, the second the night slot.
    m_first =
        BuildRow(1, 1, 32, T::kFirstLevelList, T::kFirstHour, T::kFirstMinute, T::kFirstMeridian);
    m_first.name = "first";
    m_second = BuildRow(0, 2, 52, T::kSecondLevelList, T::kSecondHour, T::kSecondMinute,
                        T::kSecondMeridian);
    m_second.name = "second";
    AddOkButton({21, 80, 50, 14});
    AddApplyButton({75, 80, 50, 14});
    AddCancelButton({129, 80, 50, 14});
    m_first.level->setFocus();
}

TimeOfDayDialog::Row TimeOfDayDialog::BuildRow(int slot, int switchIndex, int y, int levelId,
                                               int hourId, int minuteId, int meridianId) {
    ControlBuilder &b = Build();
    Row row;
    row.slot = slot;
    row.switchIndex = switchIndex;
    b.Static("Level:", {14, y + 2, 24, 8});
    row.level = b.DropDownList(levelId, EntryText::LevelItems(), {40, y, 28, 70});
    b.Static("@ Time:", {74, y + 2, 28, 8});
    row.hour = b.Edit(hourId, {104, y, 16, 12});
    b.Static(":", {121, y + 2, 4, 8}, Qt::AlignCenter);
    row.minute = b.Edit(minuteId, {126, y, 16, 12});
    row.meridian = b.DropDownList(meridianId, EntryText::MeridianItems(), {146, y, 28, 70});
    return row;
}

void TimeOfDayDialog::Read() {
    m_heading->setText(QString::asprintf("Time of Day Intensity Mode: Face %d", Face()));
    ReadRow(m_first);
    ReadRow(m_second);
}

void TimeOfDayDialog::ReadRow(const Row &row) {
    const int level = System().GetFaceLevel(Face(), row.slot);
    if (ReadSucceeded(row.name + " level", {row.level})) EntryText::SelectLevel(row.level, level);
    const ShortTimeRecord time = System().GetSwitchTime(Face(), row.switchIndex);
    if (ReadSucceeded(row.name + " time", {row.hour, row.minute, row.meridian})) {
        row.hour->setText(QString::number(time.hour));
        row.minute->setText(EntryText::TwoDigits(time.minute));
        EntryText::SelectMeridian(row.meridian, QString::fromStdString(time.ampm));
    }
}

void TimeOfDayDialog::Apply() {
    bool sent = false;
    if (!ApplyRow(m_first, sent) || !ApplyRow(m_second, sent)) return;
    // The mode goes with the values: with none of them known there is nothing to send.
    if (sent) System().SetIntensityMode(Face(), kTimeOfDayMode);
}

bool TimeOfDayDialog::ApplyRow(const Row &row, bool &sent) {
    // What was not read and not filled in since stays as the controller has it.
    if (EntryOf(row.level) != Entry::Unread) {
        int level = 0;
        if (!ChosenLevel(row.level, level)) return false;
        // The level goes out before the time is checked.
        System().SetFaceLevel(Face(), row.slot, level);
        sent = true;
    }
    switch (EntryOf(row.hour)) {
        case Entry::Unread:
            return true;
        case Entry::Incomplete:
            ShowIncomplete(row.name + " time");
            return false;
        case Entry::Known:
            break;
    }
    const int hour = EntryText::ToInt(row.hour->text());
    if (hour < 1 || hour > 12) {
        ShowMessage("Hours out of range! \nPlease check your time entry.");
        return false;
    }
    const int minute = EntryText::ToInt(row.minute->text());
    if (minute < 0 || minute > 59) {
        ShowMessage("Minutes out of range! \nPlease check your time entry.");
        return false;
    }
    System().SetSwitchTime(Face(), row.switchIndex,
                           {hour, minute, row.meridian->currentText().toStdString()});
    sent = true;
    return true;
}
