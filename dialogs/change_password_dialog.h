#pragma once

#include "controller_dialog.h"

class QLineEdit;

// "Change Supervisor Password": the new password, typed twice, goes to the controller
// when both entries are exactly equal. A change the controller did not confirm is told.
class ChangePasswordDialog : public ControllerDialog {
    Q_OBJECT

public:
    // Told after a change the controller refused or did not answer: the old password holds.
    static constexpr const char *kNotChangedText = "System Password NOT changed.";

    explicit ChangePasswordDialog(SignSystem &system, QWidget *parent = nullptr);

    // Both entries are emptied however the dialog ends.
    void done(int result) override;

protected:
    void Apply() override;

private:
    QLineEdit *m_newPassword;
    QLineEdit *m_verifyPassword;
};
