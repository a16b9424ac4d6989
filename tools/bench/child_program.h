#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A program the bench runs beside itself: its standard output and error on pipes (or in a
// file), registered with ChildGuard while it runs, and told to go with SIGTERM.
class ChildProgram {
public:
    struct Launch {
        std::string path;
        std::vector<std::string> args;
        std::string directory;                 // empty: the bench's own
        std::vector<std::string> environment;  // NAME=VALUE added to the bench's own
        std::string outputFile;                // empty: standard output and error on pipes
    };

    ChildProgram() = default;
    ~ChildProgram();
    ChildProgram(const ChildProgram &) = delete;
    ChildProgram &operator=(const ChildProgram &) = delete;

    // False, with the reason in error, when the program could not be started at all (a
    // program that starts and fails at once is seen in its output and exit status).
    bool Start(const Launch &launch, std::string &error);
    pid_t Pid() const { return m_pid; }
    // The read ends of the pipes; -1 when the output goes to a file.
    int OutFd() const { return m_out; }
    int ErrFd() const { return m_err; }

    // Whether it still runs; collects the exit status once it has ended.
    bool Running();
    // The exit status (128 + the signal when one ended it), once it has ended.
    std::optional<int> ExitStatus() const { return m_status; }
    // SIGTERM, then SIGKILL when it has not ended within grace; returns its exit status.
    std::optional<int> Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

private:
    void Collect(int status);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::optional<int> m_status;
};
