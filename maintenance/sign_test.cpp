#include "sign_test.h"

#include <string>

#include "command_code.h"
#include "operator_console.h"
#include "sign_system.h"

bool SignTest::Confirmed() const {
    // Once the program's end is asked for, no transaction runs any more, and the outcome
    // is still that of the one before.
    return m_system.LastOutcome() == ControllerStatus::kOk && !m_system.ProgramEndRequested();
}

void SignTest::PerformSignTest() {
    m_system.SetSignTestResultText(kIncompleteText);
    m_system.StartSignTest();
    if (m_system.ProgramEndRequested()) return;
    const int started = m_system.LastOutcome();
    if (started > 0) {
        // The controller answered and refused: no test runs, and there is none to stop.
        ReportIncomplete();
        return;
    }
    // The controller's test goes on while the box is open; OK (or Escape) ends it. A start
    // that got no good answer may still have reached the controller, so the test is
    // stopped all the same.
    m_system.Console().ShowMessage(kRunningText);
    EndSignTest(started == ControllerStatus::kOk);
}

void SignTest::EndSignTest(bool started) {
    m_system.RunTransaction(m_system.Builder().StopSignTest());
    if (m_system.ProgramEndRequested()) return;
    if (!started || !Confirmed()) {
        ReportIncomplete();
        return;
    }
    OperatorConsole &console = m_system.Console();
    if (m_system.FailureFlag()) {
        console.ShowMessage("Sign test results: " + m_system.SignTestResultText());
    } else {
        console.ShowMessage(kNoErrorsText);
    }
}

void SignTest::ReportIncomplete() {
    // Whatever a reply to the stop may have put there belongs to no test that ran whole.
    m_system.SetSignTestResultText(kIncompleteText);
    m_system.Console().ShowMessage(std::string("Sign test results: ") + kIncompleteText);
}
