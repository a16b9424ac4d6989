#pragma once

#include <iosfwd>

#include "operator_console.h"

class ProgressLine;
class SignSystem;

// The operator console of the command-line client: messages go to a stream (standard
// error), every Yes/No question is answered No, and the first message stops the run,
// since every message the status handler shows reports a failure.
class StreamConsole : public OperatorConsole {
public:
    explicit StreamConsole(std::ostream &stream) : m_stream(stream) {}

    // The sign system whose further transactions the first message stops.
    void Attach(SignSystem *system) { m_system = system; }
    // A progress line on the same stream, ended before each message.
    void SetProgressLine(ProgressLine *line) { m_progress = line; }

    void ShowMessage(const std::string &text) override;
    // The details follow the text, each line prefixed like it.
    void ShowDetailedMessage(const std::string &text, const std::string &details) override;
    bool AskYesNo(const std::string &text) override;
    void Wait(std::chrono::milliseconds duration) override;
    bool RunNvramLoad() override { return false; }
    void RequestEnd() override {}

private:
    std::ostream &m_stream;
    SignSystem *m_system = nullptr;
    ProgressLine *m_progress = nullptr;
};
