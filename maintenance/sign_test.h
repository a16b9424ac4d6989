#pragma once

class SignSystem;

// Sign > Test > Perform Test: the controller runs its sign test while a message box is
// open, and reports what it found when the box is closed. A test whose start or stop got
// no good answer reports "Test Incomplete", never that no errors were found.
class SignTest {
public:
    static constexpr const char *kRunningText = "Performing sign test.\nPress OK to abort test.";
    static constexpr const char *kNoErrorsText = "No Sign Errors Reported.";
    static constexpr const char *kIncompleteText = "Test Incomplete";

    explicit SignTest(SignSystem &system) : m_system(system) {}

    // Starts the test, waits for the user, then ends it with EndSignTest(). A start the
    // controller refused ends at once with the incomplete report: no test runs then.
    void PerformSignTest();
    // Stops the test and reports: "Test Incomplete" unless both the start and the stop
    // ended with status 0; else the result codes when the failure flag is set (by this
    // test, or by an earlier failure not yet cleared through the fail log), else no errors.
    void EndSignTest(bool started = true);

private:
    // Whether the last transaction ended with status 0.
    bool Confirmed() const;
    void ReportIncomplete();

    SignSystem &m_system;
};
