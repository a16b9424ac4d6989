#include "sign_test.h"

#include "operator_console.h"
#include "sign_system.h"

void SignTest::PerformSignTest() {
    m_system.SetSignTestResultText("Test Incomplete");
    m_system.StartSignTest();
    if (m_system.ProgramEndRequested()) return;
    // The controller's test goes on while the box is open; OK (or Escape) ends it.
    m_system.Console().ShowMessage(kRunningText);
    EndSignTest();
}

void SignTest::EndSignTest() {
    m_system.RunTransaction(m_system.Builder().StopSignTest());
    OperatorConsole &console = m_system.Console();
    if (m_system.FailureFlag()) {
        console.ShowMessage("Sign test results: " + m_system.SignTestResultText());
    } else {
        console.ShowMessage(kNoErrorsText);
    }
}
