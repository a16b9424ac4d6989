#pragma once

#include "controller_dialog.h"

class QLabel;
class QLineEdit;

// "Enter System Password": the typed text goes to the controller, which decides. Ends
// with 1039 only when the controller accepted it during this run, otherwise 1040.
class PasswordDialog : public ControllerDialog {
    Q_OBJECT

public:
    explicit PasswordDialog(SignSystem &system, QWidget *parent = nullptr);

    // The entry is emptied however the dialog ends.
    void done(int result) override;

protected:
    void Ok() override;

private:
    QLineEdit *m_entry;
    QLabel *m_message;
};
