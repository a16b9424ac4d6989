#pragma once

#include <signal.h>
#include <termios.h>

#include <array>
#include <string>

// The terminal a password is typed on, with echo off for as long as this object lives and
// given back as it was on every way out: the end of the object, and the signals that end
// or stop the program while it waits for a key (Ctrl+C, Ctrl+\, a hang-up, kill, Ctrl+Z).
// Canonical input stays on, so the line can still be edited with Backspace.
class QuietTerminal {
public:
    // fd must be a terminal; Quiet() tells whether echo went off.
    explicit QuietTerminal(int fd);
    // Restores the terminal, then lets a signal that arrived during a read end the
    // program the way it would have without this object (status 128 + signal for a shell).
    ~QuietTerminal();

    QuietTerminal(const QuietTerminal &) = delete;
    QuietTerminal &operator=(const QuietTerminal &) = delete;

    bool Quiet() const { return m_quiet; }
    // Why echo could not be turned off, with the system call and its errno text.
    const std::string &Problem() const { return m_problem; }

    // The outcome of ReadByte besides 1 (a byte) and 0 (end of input).
    static constexpr int kFailed = -1;       // errno set, Problem() tells
    static constexpr int kInterrupted = -2;  // a signal that ends the program arrived

    // Waits for one byte typed. Ctrl+Z stops the program with the terminal restored;
    // when it goes on, echo is off again and the last prompt is shown again.
    int ReadByte(char &byte);
    // Shows text on the terminal (a prompt, or the line end the silent Enter did not
    // show); on standard error when the terminal was opened for reading only.
    void Say(const std::string &text);

private:
    static constexpr std::array<int, 5> kSignals{SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP};

    bool SilenceEcho();
    void RestoreEcho();
    void InstallHandlers();
    void RestoreHandlers();
    // Stops the program as Ctrl+Z would, the terminal as it was meanwhile.
    void Suspend();

    int m_fd;
    bool m_armed = false;  // the signals are blocked and handled here
    bool m_quiet = false;
    termios m_saved{};
    sigset_t m_savedMask{};
    std::array<struct sigaction, kSignals.size()> m_savedActions{};
    std::array<bool, kSignals.size()> m_handled{};
    int m_endingSignal = 0;
    std::string m_lastPrompt;
    std::string m_problem;
};
