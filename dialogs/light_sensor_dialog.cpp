#include "light_sensor_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <utility>

#include "entry_text.h"
#include "resource_ids.h"
#include "sign_system.h"

namespace {
// The two levels a face keeps; the time of day mode shares them.
constexpr int kDaySlot = 1;
constexpr int kNightSlot = 0;
}  // namespace

LightSensorDialog::LightSensorDialog(SignSystem &system, QWidget *parent)
    // The title ends with a blank, as the installed base has always shown it.
    : FaceModeDialog(system, Ids::Dialog::kLightSensor, "Configure Light Sensor Intensity Mode ",
                     {186, 98}, parent) {
    namespace L = Ids::LightSensor;
    ControlBuilder &b = Build();
    b.GroupBox("Light Sensor Levels", {7, 4, 172, 68});
    m_heading = b.Static(L::kHeading, "Face N Light Sensor Settings:", {14, 16, 158, 8});
    b.Static("Day Level:", {14, 30, 44, 8});
    m_day = b.DropDownList(L::kDayLevelList, EntryText::LevelItems(), {60, 28, 28, 70});
    b.Static("Night Level:", {14, 45, 44, 8});
    m_night = b.DropDownList(L::kNightLevelList, EntryText::LevelItems(), {60, 43, 28, 70});
    b.Static("Levels: 5 - Highest, 1 - Lowest", {14, 60, 158, 8});
    AddOkButton({21, 77, 50, 14});
    AddApplyButton({75, 77, 50, 14});
    AddCancelButton({129, 77, 50, 14});
    m_day->setFocus();
}

void LightSensorDialog::Read() {
    m_heading->setText(QString::asprintf("Face %d Light Sensor Settings:", Face()));
    const int day = System().GetFaceLevel(Face(), kDaySlot);
    if (ReadSucceeded("day level", {m_day})) EntryText::SelectLevel(m_day, day);
    const int night = System().GetFaceLevel(Face(), kNightSlot);
    if (ReadSucceeded("night level", {m_night})) EntryText::SelectLevel(m_night, night);
}

void LightSensorDialog::Apply() {
    bool sent = false;
    int level = 0;
    for (auto [list, slot] : {std::pair{m_day, kDaySlot}, std::pair{m_night, kNightSlot}}) {
        // A level that was not read and not chosen stays as the controller has it.
        if (EntryOf(list) == Entry::Unread) continue;
        if (!ChosenLevel(list, level)) return;
        System().SetFaceLevel(Face(), slot, level);
        sent = true;
    }
    // The mode goes with the levels: with neither known there is nothing to send.
    if (sent) System().SetIntensityMode(Face(), kLightSensorMode);
}
