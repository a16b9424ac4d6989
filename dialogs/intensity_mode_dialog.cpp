#include "intensity_mode_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "face_list.h"
#include "light_sensor_dialog.h"
#include "manual_intensity_dialog.h"
#include "resource_ids.h"
#include "sign_system.h"
#include "time_of_day_dialog.h"

IntensityModeDialog::IntensityModeDialog(SignSystem &system, QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kIntensityMode, "Select Intensity Mode", {192, 85},
                       parent) {
    namespace I = Ids::IntensityMode;
    ControlBuilder &b = Build();
    b.GroupBox("Intensity Modes", {7, 4, 178, 54});
    b.Static("Face:", {14, 17, 80, 8});
    m_faces = b.DropDownList(I::kFaceList, {}, {14, 29, 80, 70});
    b.Static("-->", {98, 31, 14, 8}, Qt::AlignCenter);
    m_manual = b.Radio(I::kManual, "&Manual", {116, 16, 64, 10});
    m_lightSensor = b.Radio(I::kLightSensor, "&Light Sensor", {116, 29, 64, 10});
    m_timeOfDay = b.Radio(I::kTimeOfDay, "&Time of Day", {116, 42, 64, 10});
    QPushButton *finish = b.Button(I::kCancelFinish, "&Cancel / Finish", {67, 64, 64, 14});
    finish->setAutoDefault(false);
    QPushButton *next = b.Button(I::kNext, "&Next >", {135, 64, 50, 14}, true);
    connect(finish, &QPushButton::clicked, this, &IntensityModeDialog::reject);
    connect(next, &QPushButton::clicked, this, [this] { WhenIdle([this] { Next(); }); });
    connect(m_faces, &QComboBox::currentIndexChanged, this,
            [this] { WhenIdle([this] { ShowModeOfSelectedFace(); }); });
    for (QRadioButton *mode : {m_manual, m_lightSensor, m_timeOfDay})
        mode->installEventFilter(this);
    m_faces->setFocus();
}

void IntensityModeDialog::reject() {
    if (Busy()) return;
    done(Ids::IntensityMode::kCancelFinish);
}

void IntensityModeDialog::Read() {
    {
        const QSignalBlocker quiet(m_faces);
        for (int face : FaceList::FacesIn(FaceList::FacesInUse(System()))) {
            m_faces->addItem(FaceList::TaggedItem(System(), face));
        }
        m_faces->setCurrentIndex(m_faces->count() > 0 ? 0 : -1);
    }
    ShowModeOfSelectedFace();
}

bool IntensityModeDialog::eventFilter(QObject *watched, QEvent *event) {
    // Qt turns a radio button on for its access key only when a short press animation
    // ends, so Alt+T and Return typed quickly would run Next for the mode shown before.
    // The mode changes at once instead.
    if (event->type() == QEvent::Shortcut) {
        if (auto *mode = qobject_cast<QRadioButton *>(watched); mode && mode->isEnabled()) {
            mode->setFocus(Qt::ShortcutFocusReason);
            mode->setChecked(true);
            return true;
        }
    }
    return ControllerDialog::eventFilter(watched, event);
}

int IntensityModeDialog::SelectedFace() const {
    return FaceList::FaceOfItem(m_faces->currentText());
}

void IntensityModeDialog::ShowModeOfSelectedFace() {
    const int face = SelectedFace();
    const IntensityMode mode = System().GetIntensityMode(face);
    // A mode not read turns no button on: Next then opens nothing until one is chosen.
    if (!ReadSucceeded(QString("mode of face %1").arg(face),
                       {m_manual, m_lightSensor, m_timeOfDay})) {
        return;
    }
    switch (mode) {
        case IntensityMode::TimeOfDay:
            m_timeOfDay->setChecked(true);
            break;
        case IntensityMode::LightSensor:
            m_lightSensor->setChecked(true);
            break;
        case IntensityMode::Manual:
            m_manual->setChecked(true);
            break;
    }
}

void IntensityModeDialog::Next() {
    System().SetCurrentFace(SelectedFace());
    if (m_manual->isChecked()) {
        ManualIntensityDialog dialog(System(), this);
        m_runModal(dialog);
    } else if (m_lightSensor->isChecked()) {
        LightSensorDialog dialog(System(), this);
        m_runModal(dialog);
    } else if (m_timeOfDay->isChecked()) {
        TimeOfDayDialog dialog(System(), this);
        m_runModal(dialog);
    }
}
