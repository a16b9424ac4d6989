#include "controller_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "command_code.h"
#include "operator_console.h"
#include "resource_ids.h"
#include "scoped_wait_cursor.h"
#include "sign_system.h"
#include "status_handler.h"

namespace {

// The window font must be set before the builder measures it.
QWidget *WithDialogFont(QWidget *dialog) {
    dialog->setFont(DialogUnits::DialogFont());
    return dialog;
}

}  // namespace

ControllerDialog::ControllerDialog(SignSystem &system, int templateId, const QString &title,
                                   QSize sizeInUnits, QWidget *parent, Opening opening)
    : QDialog(parent), m_system(system), m_builder(WithDialogFont(this)), m_opening(opening) {
    setObjectName(IdName(templateId));
    setWindowTitle(title);
    m_templateSize = QSize(m_builder.Units().ToPixelsX(sizeInUnits.width()),
                           m_builder.Units().ToPixelsY(sizeInUnits.height()));
    setFixedSize(m_templateSize);
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

QString ControllerDialog::NotReadReason(int outcome) {
    switch (outcome) {
        case LinkOwner::kNoSync:
            return "The Central Controller did not answer.";
        case LinkOwner::kChecksumFailure:
            return "Its reply was damaged on the line.";
        case ControllerStatus::kNvramMustBeUpdated:
            return "The Central Controller's memory must be loaded.";
        case ControllerStatus::kChecksumFailure:
        case ControllerStatus::kExcessiveReceiveFailure:
        case ControllerStatus::kExcessiveTransmitFailure:
        case ControllerStatus::kReceiveTimeoutFailure:
        case ControllerStatus::kTransmitTimeoutFailure:
            return "The line to the Central Controller failed (" +
                   QString::fromStdString(StatusHandler::MessageFor(outcome, 0)) + ").";
        default:
            break;
    }
    if (outcome <= 0) {
        // The link's and the decoder's own findings: a reply for another command, one
        // without the value asked for, one that could not be decoded.
        return "Its reply could not be used.";
    }
    QString refusal =
        QString::fromStdString(StatusHandler::MessageFor(outcome, 0)).section('\n', 0, 0);
    const QString prefix = "Central Controller: ";
    if (refusal.startsWith(prefix)) {
        refusal.remove(0, prefix.size());
    } else if (refusal.startsWith("CC sent VOXA an unknown status")) {
        refusal = "status " + QString::number(outcome);
    }
    if (refusal.endsWith('.')) refusal.chop(1);
    return "The Central Controller refused it (" + refusal + ").";
}

QString ControllerDialog::IncompleteText(const QString &what) {
    QString value = what;
    if (!value.isEmpty()) value[0] = value[0].toUpper();
    return value +
           " not sent: it was not read, and some of its boxes are still empty.\n"
           "Fill in all of them, then press Apply.";
}

bool ControllerDialog::ReadSucceeded(const QString &what, const QList<QWidget *> &fields) {
    // Once the program's end is asked for, no transaction runs any more, and the outcome
    // is still that of the one before.
    const bool ending = m_system.ProgramEndRequested();
    const int outcome = m_system.LastOutcome();
    if (outcome == ControllerStatus::kOk && !ending) {
        m_unread.Succeeded(fields);
    } else {
        m_unread.Failed(what, ending ? QString("VOXA is ending.") : NotReadReason(outcome), fields);
    }
    ShowNotice();
    return outcome == ControllerStatus::kOk && !ending;
}

void ControllerDialog::ShowIncomplete(const QString &what) {
    ShowMessage(IncompleteText(what));
}

QString ControllerDialog::NotReadNotice() const {
    return m_notice != nullptr && !m_notice->isHidden() ? m_notice->text() : QString();
}

void ControllerDialog::ShowNotice() {
    const QString text = m_unread.Notice();
    if (text.isEmpty()) {
        if (m_notice != nullptr) m_notice->hide();
        setFixedSize(m_templateSize);
        return;
    }
    const DialogUnits &units = m_builder.Units();
    if (m_notice == nullptr) {
        m_notice = m_builder.Static(Ids::Frame::kNotReadNotice, QString(), {});
        m_notice->setWordWrap(true);
        m_notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    // Beneath the buttons, across the window, as many lines as the text needs.
    const int margin = units.ToPixelsX(7);
    const int width = m_templateSize.width() - 2 * margin;
    m_notice->setText(text);
    const int height = m_notice->heightForWidth(width);
    const int top = m_templateSize.height() - units.ToPixelsY(2);
    m_notice->setGeometry(margin, top, width, height);
    m_notice->show();
    setFixedSize(m_templateSize.width(), top + height + units.ToPixelsY(5));
}
