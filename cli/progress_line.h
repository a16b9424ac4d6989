#pragma once

#include <iosfwd>
#include <string>

// One line of standard error that a long run keeps rewriting ("Block 5 of 128") on a
// terminal. Whatever else is written there ends the line first, so a message never runs on
// from the progress text.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream &stream) : m_stream(stream) {}

    // Replaces the line's text.
    void Show(const std::string &text);
    // Ends the line, if one is shown; the next Show starts a new one.
    void End();

private:
    std::ostream &m_stream;
    std::size_t m_shown = 0;
    std::string m_text;
    bool m_open = false;
};
