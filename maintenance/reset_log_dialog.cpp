#include "reset_log_dialog.h"

#include "resource_ids.h"
#include "sign_system.h"

ResetLogDialog::ResetLogDialog(SignSystem &system, QWidget *parent)
    : LogDialog(
          system,
          {Ids::Dialog::kResetLog, "Reset Log", Ids::ResetLog::kLogText, false, "reset count"},
          parent) {}

std::string ResetLogDialog::ReadLog() {
    return System().GetResetCount();
}

void ResetLogDialog::ClearLog() {
    System().ClearResetLog();
}
