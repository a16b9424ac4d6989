#include "change_password_dialog.h"

#include <QLineEdit>
#include <iostream>
#include <string>

#include "command_code.h"
#include "core_dumps.h"
#include "entry_text.h"
#include "frame_builder.h"
#include "resource_ids.h"
#include "secret_text.h"
#include "sign_system.h"
#include "text_room_validator.h"

ChangePasswordDialog::ChangePasswordDialog(SignSystem &system, QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kChangePassword, "Change Supervisor Password",
                       {212, 90}, parent, Opening::Quiet) {
    namespace C = Ids::ChangePassword;
    constexpr int kRoom = FrameBuilder::kTextRoomFromByte3 - 1;
    ControlBuilder &b = Build();
    b.GroupBox("Password", {7, 7, 198, 54});
    b.Static("New Password:", {15, 22, 80, 8});
    m_newPassword = b.PasswordEdit(C::kNewPassword, {98, 20, 98, 12});
    m_newPassword->setValidator(new TextRoomValidator(kRoom, m_newPassword));
    b.Static("Verify New Password:", {15, 40, 80, 8});
    m_verifyPassword = b.PasswordEdit(C::kVerifyPassword, {98, 38, 98, 12});
    m_verifyPassword->setValidator(new TextRoomValidator(kRoom, m_verifyPassword));
    AddOkButton({44, 69, 50, 14});
    AddApplyButton({99, 69, 50, 14});
    AddCancelButton({154, 69, 50, 14});
    m_newPassword->setFocus();
    // What is typed here stays in the program's memory after the dialog (Qt frees its
    // copies without overwriting them): from now on no core dump may write it out.
    if (std::string problem; !CoreDumps::Forbid(problem)) std::cerr << "voxa: " << problem << '\n';
}

void ChangePasswordDialog::Apply() {
    // Exact: case and length count, and two empty entries are equal.
    if (m_newPassword->text() != m_verifyPassword->text()) {
        ShowMessage(SignSystem::kPasswordsDoNotMatchText);
        return;
    }
    // The copy sent is overwritten when the transaction is over; the entries keep the
    // text (Apply leaves the dialog open) until the dialog ends.
    SecretText password;
    EntryText::ReadSecret(*m_newPassword, password);
    System().ChangePassword(password.Text());
    // The controller's refusal, or the missing answer, has been told by now; what it means
    // for the password has not.
    if (System().LastOutcome() != ControllerStatus::kOk || System().ProgramEndRequested()) {
        ShowMessage(kNotChangedText);
    }
}

void ChangePasswordDialog::done(int result) {
    EntryText::ForgetSecret(m_newPassword);
    EntryText::ForgetSecret(m_verifyPassword);
    ControllerDialog::done(result);
}
