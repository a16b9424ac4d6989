#include "fail_log_dialog.h"

#include "resource_ids.h"
#include "sign_system.h"

FailLogDialog::FailLogDialog(SignSystem &system, QWidget *parent)
    : LogDialog(system,
                {Ids::Dialog::kFailLog, "Fail Log", Ids::FailLog::kLogText, true, "fail log"},
                parent) {}

std::string FailLogDialog::ReadLog() {
    return System().GetFailLog();
}

void FailLogDialog::ClearLog() {
    System().ClearFailLog();
}

void FailLogDialog::Cleared() {
    System().SetFailureFlag(false);
}
