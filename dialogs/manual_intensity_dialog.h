#pragma once

#include "face_mode_dialog.h"

class QComboBox;
class QLabel;

// "Manual Intensity Mode Configuration": one fixed level for the current face. Apply
// sets the level and puts the face in manual mode.
class ManualIntensityDialog : public FaceModeDialog {
    Q_OBJECT

public:
    explicit ManualIntensityDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    void Read() override;
    void Apply() override;

private:
    QLabel *m_heading;
    QComboBox *m_level;
};
