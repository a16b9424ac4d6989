#pragma once

class SignSystem;

// Sign > Test > Perform Test: the controller runs its sign test while a message box is
// open, and reports what it found when the box is closed.
class SignTest {
public:
    static constexpr const char *kRunningText = "Performing sign test.\nPress OK to abort test.";
    static constexpr const char *kNoErrorsText = "No Sign Errors Reported.";

    explicit SignTest(SignSystem &system) : m_system(system) {}

    // Starts the test, waits for the user, then ends it with EndSignTest().
    void PerformSignTest();
    // Stops the test and reports: the result codes when the failure flag is set (by this
    // test, or by an earlier failure not yet cleared through the fail log), else no errors.
    void EndSignTest();

private:
    SignSystem &m_system;
};
