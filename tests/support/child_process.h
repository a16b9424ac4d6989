#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A child process with its standard output and error on pipes, for tests that run the real
// programs. Killed when the object goes if it has not ended by then.
class ChildProcess {
public:
    // Runs path with the arguments, in directory when one is given, with the text given to
    // its standard input (which is then closed), as the user given (root can) or as this
    // process's.
    ChildProcess(const std::string &path, const std::vector<std::string> &args,
                 const std::string &directory = {},
                 const std::optional<std::string> &input = std::nullopt,
                 std::optional<uid_t> user = std::nullopt);
    ~ChildProcess();

    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // One line of standard output without its newline, or nothing within the limit.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit);

    // One line of standard error without its newline, or nothing within the limit. What it
    // reads stays part of ErrText().
    std::optional<std::string> ReadErrorLine(std::chrono::milliseconds limit);

    // Reads both pipes until the child closes them or the limit passes, then collects its
    // exit status (128 + the signal when a signal ended it); a child still running at the
    // limit is killed and has none.
    std::optional<int> Finish(std::chrono::milliseconds limit);

    // Asks the child to end with SIGTERM and waits for it (killing it if it does not end).
    std::optional<int> Terminate();

    const std::string &OutText() const { return m_outText; }
    const std::string &ErrText() const { return m_errText; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_outText;
    std::string m_errText;
};
