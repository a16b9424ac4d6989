#pragma once

#include "log_dialog.h"

// Sign > Test > View Fail Log: the controller's last recorded failure. Clear clears it in
// the controller and, with it, the workstation's error status.
class FailLogDialog : public LogDialog {
    Q_OBJECT

public:
    explicit FailLogDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    std::string ReadLog() override;
    void ClearLog() override;
    // Clears the workstation's failure flag once the controller confirmed the clear: the
    // status line goes back to ready at its next tick. A clear that was refused or not
    // answered leaves the flag, and the status line, as they were.
    void Cleared() override;
};
