#include "manual_intensity_dialog.h"

#include <QComboBox>
#include <QLabel>

#include "entry_text.h"
#include "resource_ids.h"
#include "sign_system.h"

ManualIntensityDialog::ManualIntensityDialog(SignSystem &system, QWidget *parent)
    : FaceModeDialog(system, Ids::Dialog::kManualIntensity, "Manual Intensity Mode Configuration",
                     {176, 79}, parent) {
    namespace M = Ids::ManualIntensity;
    ControlBuilder &b = Build();
    b.GroupBox("Intensity Level", {7, 4, 162, 50});
    m_heading = b.Static(M::kHeading, "Face N Intensity Mode Setting:", {14, 15, 148, 8});
    m_level = b.DropDownList(M::kLevelList, EntryText::LevelItems(), {14, 26, 28, 70});
    b.Static("Levels: 5 - Highest, 1 - Lowest", {14, 42, 148, 8});
    AddOkButton({11, 58, 50, 14});
    AddApplyButton({65, 58, 50, 14});
    AddCancelButton({119, 58, 50, 14});
    m_level->setFocus();
}

void ManualIntensityDialog::Read() {
    m_heading->setText(QString::asprintf("Face %d Intensity Mode Setting:", Face()));
    const int level = System().GetManualLevel(Face());
    if (ReadSucceeded(QString("level of face %1").arg(Face()), {m_level})) {
        EntryText::SelectLevel(m_level, level);
    }
}

void ManualIntensityDialog::Apply() {
    // Without a level there is nothing to send, the mode included.
    if (EntryOf(m_level) == Entry::Unread) return;
    int level = 0;
    if (!ChosenLevel(m_level, level)) return;
    System().SetManualLevel(Face(), level);
    System().SetIntensityMode(Face(), kManualMode);
}
