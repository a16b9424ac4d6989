#pragma once

#include "face_mode_dialog.h"

class QComboBox;
class QLabel;

// "Configure Light Sensor Intensity Mode ": the day and night levels of the current face.
// Apply sets both and puts the face in light sensor mode.
class LightSensorDialog : public FaceModeDialog {
    Q_OBJECT

public:
    explicit LightSensorDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    void Read() override;
    void Apply() override;

private:
    QLabel *m_heading;
    QComboBox *m_day;
    QComboBox *m_night;
};
