#pragma once

#include "controller_dialog.h"

class QComboBox;
class QLineEdit;

// "Change Sign Tags": the names of the price lines and of the faces. Tags live on the
// workstation only: Apply stores the shown line's and face's tags in the sign system,
// the main window shows new line tags on its next tick, and the settings file keeps them
// when the program ends. Nothing goes to the controller. A line tag the settings file could
// not keep is refused with a message, never cut.
class TagsDialog : public ControllerDialog {
    Q_OBJECT

public:
    // The settings file cannot hold a line tag with a blank followed by a full stop: that
    // is where a line tag ends in it.
    static constexpr const char *kForbiddenInLineTag = " .";
    static constexpr const char *kLineTagRefusedText =
        "Line tag not stored: it holds a blank followed by a full stop (\" .\"), which the "
        "settings file cannot keep in a line tag.\nChange the tag and press Apply.";

    explicit TagsDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    void Read() override;
    void Apply() override;

private:
    // The line and the face the selections name; -1 when a list is empty.
    int SelectedLine() const;
    int SelectedFace() const;
    // The selected line's tag, and its faces with the first one's tag.
    void ShowSelectedLine();
    void ShowSelectedFace();

    QComboBox *m_lines;
    QComboBox *m_faces;
    QLineEdit *m_lineTag;
    QLineEdit *m_faceTag;
};
