#include "face_mode_dialog.h"

#include <QComboBox>

#include "entry_text.h"
#include "sign_system.h"

int FaceModeDialog::Face() {
    return System().CurrentFace();
}

bool FaceModeDialog::ChosenLevel(const QComboBox *list, int &level) {
    level = EntryText::SelectedLevel(list);
    if (list->currentIndex() < 0) {
        ShowMessage("Level out of range!\nPlease select a level.");
        return false;
    }
    return true;
}
