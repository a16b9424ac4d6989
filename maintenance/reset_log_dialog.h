#pragma once

#include "log_dialog.h"

// Sign > Test > View Reset Log: how often the controller has restarted. Clear sets the
// count back to zero; the workstation's error status is left alone.
class ResetLogDialog : public LogDialog {
    Q_OBJECT

public:
    explicit ResetLogDialog(SignSystem &system, QWidget *parent = nullptr);

protected:
    std::string ReadLog() override;
    void ClearLog() override;
};
