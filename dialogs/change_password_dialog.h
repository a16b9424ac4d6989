#pragma once

#include "controller_dialog.h"

class QLineEdit;

// "Change Supervisor Password": the new password, typed twice, goes to the controller
// when both entries are exactly equal.
class ChangePasswordDialog : public ControllerDialog {
    Q_OBJECT

public:
    explicit ChangePasswordDialog(SignSystem &system, QWidget *parent = nullptr);

    // Both entries are emptied however the dialog ends.
    void done(int result) override;

protected:
    void Apply() override;

private:
    QLineEdit *m_newPassword;
    QLineEdit *m_verifyPassword;
};
