#include "password_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <iostream>
#include <string>

#include "core_dumps.h"
#include "entry_text.h"
#include "frame_builder.h"
#include "resource_ids.h"
#include "scoped_wait_cursor.h"
#include "secret_text.h"
#include "sign_system.h"
#include "text_room_validator.h"

PasswordDialog::PasswordDialog(SignSystem &system, QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kPassword, "Enter System Password", {186, 50}, parent,
                       Opening::Quiet) {
    namespace P = Ids::Password;
    ControlBuilder &b = Build();
    b.Static("Password:", {7, 9, 40, 8});
    m_entry = b.PasswordEdit(P::kEntry, {50, 7, 129, 12});
    m_entry->setValidator(new TextRoomValidator(FrameBuilder::kTextRoomFromByte3 - 1, m_entry));
    m_message = b.Static(P::kMessage, QString(), {50, 21, 129, 8});
    AddOkButton({74, 31, 50, 14});
    AddCancelButton({129, 31, 50, 14});
    m_entry->setFocus();
    // What is typed here stays in the program's memory after the dialog (Qt frees its
    // copies without overwriting them): from now on no core dump may write it out.
    if (std::string problem; !CoreDumps::Forbid(problem)) std::cerr << "voxa: " << problem << '\n';
}

void PasswordDialog::Ok() {
    bool accepted = false;
    {
        // Nothing is trimmed or folded: the controller compares the text as typed. The
        // copy sent is overwritten when the transaction is over; the entry keeps the
        // text for another try until the dialog ends.
        ScopedWaitCursor wait;
        SecretText password;
        EntryText::ReadSecret(*m_entry, password);
        accepted = System().VerifyPassword(password.Text());
    }
    if (accepted) {
        done(Ids::Result::kOk);
        return;
    }
    m_message->setText("Invalid Password.");
}

void PasswordDialog::done(int result) {
    EntryText::ForgetSecret(m_entry);
    ControllerDialog::done(result);
}
