#pragma once

#include <functional>

#include "controller_dialog.h"

class QComboBox;
class QRadioButton;

// "Select Intensity Mode": the wizard that picks a face and its intensity mode. Next runs
// the chosen mode's dialog for that face; the wizard stays open for the next face until
// Cancel / Finish. Choosing a mode here sends nothing: only the mode dialog's OK or Apply
// switches the face to it.
class IntensityModeDialog : public ControllerDialog {
    Q_OBJECT

public:
    // Runs a mode dialog modally and gives its result; tests put a script in its place.
    using ModalRunner = std::function<int(QDialog &)>;

    explicit IntensityModeDialog(SignSystem &system, QWidget *parent = nullptr);

    void SetModalRunner(ModalRunner runner) { m_runModal = std::move(runner); }

    // Cancel / Finish, Escape and the close box: the wizard ends with the id of
    // Cancel / Finish, nothing sent.
    void reject() override;

protected:
    void Read() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The face the selected item names; 0 with an empty list.
    int SelectedFace() const;
    // Turns on the radio button of the selected face's mode, as the controller reports it.
    void ShowModeOfSelectedFace();
    void Next();

    QComboBox *m_faces;
    QRadioButton *m_manual;
    QRadioButton *m_lightSensor;
    QRadioButton *m_timeOfDay;
    ModalRunner m_runModal = [](QDialog &dialog) { return dialog.exec(); };
};
