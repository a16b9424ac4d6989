#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// One voxa-ccsim child process with its standard output and error on pipes, killed when
// the object goes if it has not ended by then.
class CcsimProcess {
public:
    CcsimProcess(const std::string &program, const std::vector<std::string> &args);
    ~CcsimProcess();
    CcsimProcess(const CcsimProcess &) = delete;
    CcsimProcess &operator=(const CcsimProcess &) = delete;

    bool Started() const { return m_pid > 0; }

    // The next line of standard output without its newline; nothing if none came within
    // three seconds.
    std::optional<std::string> ReadLine();
    // The pseudo-terminal named by the announcement line, or empty if the first line of
    // output is not one.
    std::string ReadListeningPath();
    // Everything written to standard error, once the process has ended.
    std::string ErrorText();

    // The exit status (128 + signal when killed), or nothing if the process did not end
    // within five seconds.
    std::optional<int> Wait();
    std::optional<int> Terminate();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};
