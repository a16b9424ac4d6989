#pragma once

#include <QDialog>
#include <QSize>

#include "control_builder.h"
#include "unread_fields.h"

class OperatorConsole;
class QLabel;
class QPushButton;
class SignSystem;

// The frame of every dialog that talks to the controller: it holds the sign system, runs
// the opening reads once under the wait cursor (after Get CC status, for the dialogs that
// refresh the controller's status when they open), makes OK run Apply() and end with 1039
// whatever Apply() decided, and makes Cancel, Escape and the close box end with 1040
// without sending anything. A subclass holds only what is its own: its controls, its
// reads, its checks and its sends.
//
// A value is shown only once it was read: after each read the frame looks at the
// transaction's outcome, and a value whose read did not end with status 0 leaves its fields
// empty. A line beneath the buttons then says what was not read and why. Apply sends such a
// value only once the user has filled it in; left empty, it is not sent, and OK with
// nothing to send just closes.
//
// The controller is asked synchronously, and a message box raised in the middle of a
// transaction runs a nested event loop: while the dialog is busy with its reads or an
// Apply, further presses of its buttons are ignored, so one press never starts a second
// exchange on top of the first.
class ControllerDialog : public QDialog {
    Q_OBJECT

public:
    enum class Opening { QueryStatus, Quiet };

    ControllerDialog(SignSystem &system, int templateId, const QString &title, QSize sizeInUnits,
                     QWidget *parent = nullptr, Opening opening = Opening::QueryStatus);

    // The opening reads; exec() runs them first, once. A caller that shows the dialog
    // without exec() calls this before showing it.
    void Initialise();
    int exec() override;
    // Cancel, Escape and the close box: 1040, nothing sent.
    void reject() override;

    bool Busy() const { return m_busy; }

    // The line that names the values not read; empty when every read succeeded.
    QString NotReadNotice() const;
    // Why a read with this outcome (SignSystem::LastOutcome) gave no value, as a sentence.
    static QString NotReadReason(int outcome);
    // Told when a value that was not read is filled in only in part; nothing of it is sent.
    static QString IncompleteText(const QString &what);

protected:
    SignSystem &System() { return m_system; }
    OperatorConsole &Console();
    ControlBuilder &Build() { return m_builder; }

    // The dialog's own opening reads, after Get CC status.
    virtual void Read() {}
    // The dialog's checks and sends; the dialog stays open. Runs under the wait cursor.
    virtual void Apply() {}
    // OK: Apply(), then the end with 1039.
    virtual void Ok();
    // Apply() under the wait cursor.
    void RunApply();

    // The standard buttons, wired to Ok(), Apply() and reject().
    QPushButton *AddOkButton(UnitRect at);
    QPushButton *AddApplyButton(UnitRect at);
    QPushButton *AddCancelButton(UnitRect at);

    // A message box with an OK button, as every check of the dialogs shows its refusal.
    void ShowMessage(const QString &text);

    using Entry = UnreadFields::Entry;
    // After one read from the controller: true when it ended with status 0. Otherwise the
    // value's fields are emptied and stay unread until the user fills them or a later read
    // into them succeeds, and the notice line names the value (what) with the reason.
    bool ReadSucceeded(const QString &what, const QList<QWidget *> &fields);
    // What the fields of the value a field belongs to hold: read or filled in (Known), left
    // empty after a failed read (Unread: not to be sent), or filled in only in part.
    Entry EntryOf(const QWidget *field) const { return m_unread.EntryOf(field); }
    // Shows IncompleteText(what); Apply goes on as after any refused entry.
    void ShowIncomplete(const QString &what);

    // Runs an action of a button unless one is running already.
    template <typename Action>
    void WhenIdle(Action action) {
        if (m_busy) return;
        m_busy = true;
        action();
        m_busy = false;
    }

private:
    // Shows the notice line beneath the template's controls, the window growing to hold
    // it, or takes it away again.
    void ShowNotice();

    SignSystem &m_system;
    ControlBuilder m_builder;
    QSize m_templateSize;
    UnreadFields m_unread;
    QLabel *m_notice = nullptr;
    Opening m_opening;
    bool m_initialised = false;
    bool m_busy = false;
};
