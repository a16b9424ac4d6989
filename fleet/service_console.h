#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "operator_console.h"

// The operator console of a service without a person at it: every message goes to the
// service's log (standard error, which systemd keeps in the journal) and is kept for the
// result of the operation in hand, every question is answered No (the NVRAM load is never
// started from here), and nothing waits.
class ServiceConsole : public OperatorConsole {
public:
    explicit ServiceConsole(std::ostream &log) : m_log(log) {}

    void ShowMessage(const std::string &text) override;
    bool AskYesNo(const std::string &text) override;
    void Wait(std::chrono::milliseconds /*duration*/) override {}
    bool RunNvramLoad() override { return false; }
    void RequestEnd() override {}

    // The messages shown since the last call, one line each.
    std::vector<std::string> TakeMessages();

private:
    std::ostream &m_log;
    std::vector<std::string> m_messages;
};
