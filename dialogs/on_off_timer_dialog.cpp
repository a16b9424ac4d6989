#include "on_off_timer_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "entry_text.h"
#include "resource_ids.h"
#include "sign_system.h"

namespace {
constexpr int kOnTimer = 1;
constexpr int kOffTimer = 0;
}  // namespace

OnOffTimerDialog::OnOffTimerDialog(SignSystem &system, QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kOnOffTimer, "Configure Sign On/Off Timer", {193, 111},
                       parent) {
    namespace O = Ids::OnOffTimer;
    ControlBuilder &b = Build();
    b.GroupBox("Sign On/Off Timer", {7, 4, 179, 78});
    m_on = BuildRow(kOnTimer, "Sign On Time:", 20, O::kOnHour, O::kOnMinute, O::kOnMeridian);
    m_on.name = "sign on time";
    m_on.hoursMessage = "On Time Hours out of range!\nPlease check your entries.";
    m_on.minutesMessage = "On Time Minutes out of range!\nPlease check your entries.";
    m_off = BuildRow(kOffTimer, "Sign Off Time:", 40, O::kOffHour, O::kOffMinute, O::kOffMeridian);
    m_off.name = "sign off time";
    m_off.hoursMessage = "Off Time Hours out of range!\nPlease check your entries.";
    m_off.minutesMessage = "Off Time Minutes out of range!\nPlease check your entries.";
    m_enable = b.CheckBox(O::kEnable, "Enable On/Off Timer", {14, 62, 120, 10});
    AddOkButton({28, 90, 50, 14});
    AddApplyButton({82, 90, 50, 14});
    AddCancelButton({136, 90, 50, 14});
    m_on.hour->setFocus();
}

OnOffTimerDialog::Row OnOffTimerDialog::BuildRow(int timerIndex, const QString &label, int y,
                                                 int hourId, int minuteId, int meridianId) {
    ControlBuilder &b = Build();
    Row row;
    row.timerIndex = timerIndex;
    b.Static(label, {14, y + 2, 60, 8});
    row.hour = b.Edit(hourId, {76, y, 18, 12});
    b.Static(":", {95, y + 2, 4, 8}, Qt::AlignCenter);
    row.minute = b.Edit(minuteId, {100, y, 18, 12});
    row.meridian = b.DropDownList(meridianId, EntryText::MeridianItems(), {124, y, 32, 70});
    return row;
}

void OnOffTimerDialog::Read() {
    ReadRow(m_on);
    ReadRow(m_off);
    const bool enabled = System().GetOnOffTimerSwitch();
    if (ReadSucceeded("timer switch", {m_enable})) m_enable->setChecked(enabled);
}

void OnOffTimerDialog::ReadRow(const Row &row) {
    const ShortTimeRecord time = System().GetOnOffTime(row.timerIndex);
    if (ReadSucceeded(row.name, {row.hour, row.minute, row.meridian})) {
        row.hour->setText(QString::number(time.hour));
        row.minute->setText(EntryText::TwoDigits(time.minute));
        EntryText::SelectMeridian(row.meridian, QString::fromStdString(time.ampm));
    }
}

void OnOffTimerDialog::Apply() {
    if (!ApplyRow(m_on) || !ApplyRow(m_off)) return;
    // A switch that was not read and not clicked since is neither on nor off: not sent.
    if (EntryOf(m_enable) == Entry::Unread) return;
    System().SetOnOffTimerSwitch(m_enable->checkState() == Qt::Checked);
}

bool OnOffTimerDialog::ApplyRow(const Row &row) {
    // A time that was not read and not filled in since stays as the controller has it.
    switch (EntryOf(row.hour)) {
        case Entry::Unread:
            return true;
        case Entry::Incomplete:
            ShowIncomplete(row.name);
            return false;
        case Entry::Known:
            break;
    }
    const int hour = EntryText::ToInt(row.hour->text());
    // Hour 0 passes, as it always has; a negative hour does not fit the frame's hour field.
    if (hour > 12 || hour < 0) {
        ShowMessage(row.hoursMessage);
        return false;
    }
    const int minute = EntryText::ToInt(row.minute->text());
    if (minute < 0 || minute > 59) {
        ShowMessage(row.minutesMessage);
        return false;
    }
    System().SetOnOffTime(row.timerIndex,
                          {hour, minute, row.meridian->currentText().toStdString()});
    return true;
}
