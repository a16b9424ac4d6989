#pragma once

#include <functional>
#include <string>

#include "controller_dialog.h"

class QPlainTextEdit;
class QPushButton;

// What the two log dialogs share: the controller's log text in a read-only box, Clear and
// OK. Opening asks Get CC status, then the log. Escape and OK close the dialog (both end
// with 1039, sending nothing); only the Clear button, or Alt+C, clears the log.
class LogDialog : public ControllerDialog {
    Q_OBJECT

public:
    // Escape closes like OK: the key a user presses to leave a dialog must not wipe the
    // controller's record.
    void reject() override;

    QString LogText() const;

protected:
    struct Template {
        int templateId;
        const char *title;
        int logTextId;
        bool scrollBar;
        // How the log is named when it could not be read.
        const char *name;
    };

    LogDialog(SignSystem &system, const Template &layout, QWidget *parent);

    // The controller's log text (asks the controller).
    virtual std::string ReadLog() = 0;
    // Clears the log in the controller.
    virtual void ClearLog() = 0;
    // What else Clear does once the cleared log is shown, when the controller confirmed
    // the clear.
    virtual void Cleared() {}

    void Read() override;

private:
    // Asks for the log and shows it, or nothing when it could not be read.
    void ShowLog();
    void Clear();

    Template m_layout;
    QPlainTextEdit *m_log;
};
