#include "controller_dialog.h"

#include <QPushButton>

#include "operator_console.h"
#include "resource_ids.h"
#include "scoped_wait_cursor.h"
#include "sign_system.h"

namespace {

// The window font must be set before the builder measures it.
QWidget *WithDialogFont(QWidget *dialog) {
    dialog->setFont(DialogUnits::DialogFont());
    return dialog;
}

}  // namespace

ControllerDialog::ControllerDialog(SignSystem &system, int templateId, const QString &title,
                                   QSize sizeInUnits, QWidget *parent, Opening opening)
    : QDialog(parent),
      m_system(system),
      m_builder(WithDialogFont(this)),
      m_opening(opening) {
    setObjectName(IdName(templateId));
    setWindowTitle(title);
    setFixedSize(m_builder.Units().ToPixelsX(sizeInUnits.width()),
                 m_builder.Units().ToPixelsY(sizeInUnits.height()));
}

OperatorConsole &ControllerDialog::Console() {
    return m_system.Console();
}

void ControllerDialog::Initialise() {
    if (m_initialised) return;
    m_initialised = true;
    WhenIdle([this] {
        ScopedWaitCursor wait;
        if (m_opening == Opening::QueryStatus) {
            // Refreshes the controller's status text and flags; the dialog does not use it.
            m_system.GetCcStatus();
        }
        Read();
    });
}

int ControllerDialog::exec() {
    Initialise();
    return QDialog::exec();
}

void ControllerDialog::reject() {
    if (m_busy) return;
    done(Ids::Result::kCancel);
}

void ControllerDialog::RunApply() {
    ScopedWaitCursor wait;
    Apply();
}

void ControllerDialog::Ok() {
    RunApply();
    done(Ids::Result::kOk);
}

QPushButton *ControllerDialog::AddOkButton(UnitRect at) {
    QPushButton *button = m_builder.Button(Ids::Result::kOk, "&OK", at, true);
    connect(button, &QPushButton::clicked, this, [this] { WhenIdle([this] { Ok(); }); });
    return button;
}

QPushButton *ControllerDialog::AddApplyButton(UnitRect at) {
    QPushButton *button = m_builder.Button(Ids::Result::kApply, "&Apply", at);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this] { WhenIdle([this] { RunApply(); }); });
    return button;
}

QPushButton *ControllerDialog::AddCancelButton(UnitRect at) {
    QPushButton *button = m_builder.Button(Ids::Result::kCancel, "&Cancel", at);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, &ControllerDialog::reject);
    return button;
}

void ControllerDialog::ShowMessage(const QString &text) {
    Console().ShowMessage(text.toStdString());
}
