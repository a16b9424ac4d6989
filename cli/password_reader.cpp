#include "password_reader.h"

#include <cerrno>
#include <cstring>

#include "quiet_terminal.h"
#include "secret_text.h"

template <typename NextByte>
PasswordReader::Outcome PasswordReader::TakeLine(NextByte next, SecretText &line) {
    line.Clear();
    bool any = false;
    bool tooLong = false;
    bool nul = false;
    // A CR is part of the line end when an LF follows it, and of the password otherwise.
    bool pendingCr = false;
    const auto keep = [&](char c) {
        // What lies beyond the room is counted, never stored.
        if (line.Size() < kLongest) {
            line.Append(c);
        } else {
            tooLong = true;
        }
    };
    for (;;) {
        char c = 0;
        const int got = next(c);
        if (got < 0) {
            line.Clear();
            return got == QuietTerminal::kInterrupted ? Outcome::Interrupted : Outcome::Unreadable;
        }
        if (got == 0) break;
        any = true;
        if (c == '\n') {
            pendingCr = false;
            break;
        }
        if (pendingCr) keep('\r');
        pendingCr = c == '\r';
        if (pendingCr) continue;
        nul = nul || c == '\0';
        keep(c);
    }
    if (pendingCr) keep('\r');
    Outcome outcome = Outcome::Read;
    if (!any) {
        outcome = Outcome::NoInput;
    } else if (tooLong) {
        outcome = Outcome::TooLong;
    } else if (nul) {
        outcome = Outcome::NulByte;
    }
    if (outcome != Outcome::Read) line.Clear();
    return outcome;
}

PasswordReader::Outcome PasswordReader::Read(SecretText &password, const std::string &prompt,
                                             const std::string &confirmPrompt) {
    m_problem.clear();
    if (InputIsTerminal()) return ReadFromTerminal(password, prompt, confirmPrompt);
    // One byte at a time: nothing past the line is taken from the input, and no buffer
    // outside password ever holds it.
    return TakeLine(
        [this](char &c) {
            for (;;) {
                const ssize_t got = ::read(m_input, &c, 1);
                if (got >= 0) return static_cast<int>(got);
                if (errno == EINTR) continue;
                m_problem = std::string("read() failed: (") + std::to_string(errno) + ") " +
                            std::strerror(errno);
                return QuietTerminal::kFailed;
            }
        },
        password);
}

PasswordReader::Outcome PasswordReader::ReadFromTerminal(SecretText &password,
                                                         const std::string &prompt,
                                                         const std::string &confirmPrompt) {
    QuietTerminal terminal(m_input);
    if (!terminal.Quiet()) {
        // Typing a password with echo on would show it to whoever looks at the screen.
        m_problem = terminal.Problem();
        return Outcome::Unreadable;
    }
    const auto next = [&terminal](char &c) { return terminal.ReadByte(c); };
    const auto fail = [&](Outcome outcome) {
        if (outcome == Outcome::Unreadable) m_problem = terminal.Problem();
        // Overwritten before the terminal is given back, which may end the program.
        password.Clear();
        return outcome;
    };

    terminal.Say(prompt);
    Outcome outcome = TakeLine(next, password);
    if (outcome == Outcome::Interrupted) return fail(outcome);
    // Enter was not shown with the rest.
    terminal.Say("\n");
    if (outcome != Outcome::Read) return fail(outcome);
    if (confirmPrompt.empty()) return outcome;

    SecretText again;
    terminal.Say(confirmPrompt);
    outcome = TakeLine(next, again);
    if (outcome == Outcome::Interrupted) return fail(outcome);
    terminal.Say("\n");
    if (outcome != Outcome::Read) return fail(outcome);
    if (again.Text() != password.Text()) return fail(Outcome::Mismatch);
    return outcome;
}
