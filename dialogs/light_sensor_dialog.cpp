#include "light_sensor_dialog.h"

#include <QComboBox>
#include <QLabel>

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
    EntryText::SelectLevel(m_day, System().GetFaceLevel(Face(), kDaySlot));
    EntryText::SelectLevel(m_night, System().GetFaceLevel(Face(), kNightSlot));
}

void LightSensorDialog::Apply() {
    int level = 0;
    if (!ChosenLevel(m_day, level)) return;
    System().SetFaceLevel(Face(), kDaySlot, level);
    if (!ChosenLevel(m_night, level)) return;
    System().SetFaceLevel(Face(), kNightSlot, level);
    System().SetIntensityMode(Face(), kLightSensorMode);
}
