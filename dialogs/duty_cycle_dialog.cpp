#include "duty_cycle_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>
#include <utility>

#include "entry_text.h"
#include "resource_ids.h"
#include "sign_system.h"
#include "up_down_control.h"

namespace {
// The most of the edit's text that is read, as the arrows have always read it.
constexpr int kEditReadRoom = 259;
}  // namespace

DutyCycleDialog::DutyCycleDialog(SignSystem &system, QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kDutyCycle, "Duty Cycle Setup", {186, 95}, parent) {
    namespace D = Ids::DutyCycle;
    ControlBuilder &b = Build();
    b.GroupBox("Level To Duty Cycle Map", {7, 4, 172, 64});
    b.Static("Intensity Level", {14, 17, 64, 8});
    b.Static("% Duty Cycle (On)", {98, 17, 76, 8});
    m_level = b.DropDownList(D::kLevelList, EntryText::LevelItems(), {14, 28, 50, 70});
    b.Static("=", {76, 30, 10, 8}, Qt::AlignCenter);
    m_dutyCycle = b.Edit(D::kDutyCycle, {98, 28, 50, 12});
    m_spin = b.UpDown(D::kSpin, m_dutyCycle);
    b.Static("Default Levels: 5 - Highest, 1 - Lowest", {14, 50, 158, 8});
    AddOkButton({21, 74, 50, 14});
    AddApplyButton({75, 74, 50, 14});
    AddCancelButton({129, 74, 50, 14});
    connect(m_level, &QComboBox::currentIndexChanged, this,
            [this] { WhenIdle([this] { ShowSelectedLevel(); }); });
    connect(m_spin, &UpDownControl::Stepped, this, &DutyCycleDialog::Step);
    m_level->setFocus();
}

void DutyCycleDialog::Read() {
    {
        const QSignalBlocker quiet(m_level);
        EntryText::SelectLevel(m_level, 1);
    }
    m_spin->SetRange(kLowest, kHighest);
    ShowSelectedLevel();
}

void DutyCycleDialog::ShowSelectedLevel() {
    // Whatever was typed and not applied gives way to the controller's value, or to an
    // empty box when the controller did not give it.
    const int level = EntryText::SelectedLevel(m_level);
    const int percent = System().GetDutyCycle(level);
    if (ReadSucceeded(QString("duty cycle of level %1").arg(level), {m_dutyCycle})) {
        m_dutyCycle->setText(QString::number(percent));
    }
}

void DutyCycleDialog::Step(int step) {
    int lower = m_spin->Lower();
    int upper = m_spin->Upper();
    if (lower > upper) std::swap(lower, upper);
    // Wide enough for the largest number the edit can hold plus a step.
    const long long sum =
        static_cast<long long>(EntryText::ToInt(m_dutyCycle->text().left(kEditReadRoom))) + step;
    m_dutyCycle->setText(QString::number(std::clamp<long long>(sum, lower, upper)));
}

void DutyCycleDialog::Apply() {
    // A duty cycle that was not read and not typed stays as the controller has it.
    if (EntryOf(m_dutyCycle) == Entry::Unread) return;
    const int level = EntryText::SelectedLevel(m_level);
    const int dutyCycle = EntryText::ToInt(m_dutyCycle->text());
    if (dutyCycle > kHighest || dutyCycle < kLowest) {
        ShowMessage("Duty Cycle Out of Range!\nCheck your entries.");
        return;
    }
    System().SetDutyCycle(level, dutyCycle);
}
