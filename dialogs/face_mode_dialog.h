#pragma once

#include "controller_dialog.h"

class QComboBox;

// What the three intensity mode dialogs share: the face they set is the one chosen in the
// intensity wizard, kept by the sign system as its current face, and a level list left
// without a selection is refused rather than sent as level 0.
class FaceModeDialog : public ControllerDialog {
    Q_OBJECT

protected:
    // The intensity modes as Set intensity mode carries them.
    static constexpr int kManualMode = 1;
    static constexpr int kTimeOfDayMode = 2;
    static constexpr int kLightSensorMode = 3;

    using ControllerDialog::ControllerDialog;

    // The face chosen in the wizard.
    int Face();

    // The level selected in a level list. With none selected (the controller reported a
    // level outside 1 to 5 and the user picked none), shows the level message and gives
    // false: the caller stops there, before sending that level.
    bool ChosenLevel(const QComboBox *list, int &level);
};
