#include "log_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "command_code.h"
#include "resource_ids.h"
#include "scoped_wait_cursor.h"
#include "sign_system.h"

namespace {

// Both logs share one frame, in dialog units.
constexpr int kLogWidth = 186;
constexpr int kLogHeight = 95;

}  // namespace

LogDialog::LogDialog(SignSystem &system, const Template &layout, QWidget *parent)
    : ControllerDialog(system, layout.templateId, layout.title, {kLogWidth, kLogHeight}, parent),
      m_layout(layout) {
    // A caption without a close box.
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                   ~(Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint));
    ControlBuilder &b = Build();
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(IdName(layout.logTextId));
    m_log->setGeometry(b.Units().ToPixels(7, 7, kLogWidth - 14, 60));
    m_log->setReadOnly(true);
    m_log->setVerticalScrollBarPolicy(layout.scrollBar ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
    m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QPushButton *clear = b.Button(Ids::Result::kStandardCancel, "&Clear", {7, 74, 50, 14});
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, [this] { WhenIdle([this] { Clear(); }); });
    AddOkButton({kLogWidth - 57, 74, 50, 14});
}

void LogDialog::Read() {
    ShowLog();
}

void LogDialog::ShowLog() {
    // A log that was not read shows nothing: the text kept from before is no reading.
    const std::string text = ReadLog();
    if (ReadSucceeded(m_layout.name, {m_log})) m_log->setPlainText(QString::fromStdString(text));
}

void LogDialog::Clear() {
    ScopedWaitCursor wait;
    ClearLog();
    // Only a clear the controller confirmed counts as one.
    const bool cleared =
        System().LastOutcome() == ControllerStatus::kOk && !System().ProgramEndRequested();
    ShowLog();
    if (cleared) Cleared();
}

void LogDialog::reject() {
    if (Busy()) return;
    done(Ids::Result::kOk);
}

QString LogDialog::LogText() const {
    return m_log->toPlainText();
}
