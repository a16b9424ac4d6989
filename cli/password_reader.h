#pragma once

#include <unistd.h>

#include <cstddef>
#include <string>

#include "frame_builder.h"

class SecretText;

// Reads the system password for voxa-ctl from standard input, so that it never has to be
// a program argument (which every user of the machine can read in ps and /proc, and
// which stays in shell history and crontabs). On a terminal the person is asked, with
// echo off; otherwise one line is read, as a script or cron job gives it.
class PasswordReader {
public:
    // What the frame carries from byte 3: 17 bytes, counted as the frame counts them.
    static constexpr std::size_t kLongest = FrameBuilder::kTextRoomFromByte3 - 1;

    enum class Outcome {
        Read,
        NoInput,      // the input ended before any line
        TooLong,      // more than kLongest bytes
        NulByte,      // the frame would cut the password at it
        Unreadable,   // the input failed; Problem() tells
        Mismatch,     // the password typed again differed
        Interrupted,  // a signal arrived at the prompt; it ends the program on the way out
    };

    explicit PasswordReader(int input = STDIN_FILENO) : m_input(input) {}

    void SetInput(int fd) { m_input = fd; }
    bool InputIsTerminal() const { return ::isatty(m_input) == 1; }

    // One password into password. On a terminal: asked with prompt, echo off, and asked
    // again with confirmPrompt (when given), the two to be equal. Otherwise: one line of
    // input, without its line end (LF or CR LF); a last line without one counts, and an
    // empty line is an empty password. Anything but Read leaves password empty.
    Outcome Read(SecretText &password, const std::string &prompt,
                 const std::string &confirmPrompt = {});

    // The failed system call and its errno text, after Unreadable.
    const std::string &Problem() const { return m_problem; }

private:
    // One line from next(byte), which gives 1 for a byte, 0 at the end of input, and less
    // for a failure (QuietTerminal's codes).
    template <typename NextByte>
    Outcome TakeLine(NextByte next, SecretText &line);
    Outcome ReadFromTerminal(SecretText &password, const std::string &prompt,
                             const std::string &confirmPrompt);

    int m_input;
    std::string m_problem;
};
