#include "service_console.h"

#include <ostream>

namespace {

// A message box's text on one line.
std::string OneLine(const std::string &text) {
    std::string line;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

}  // namespace

void ServiceConsole::ShowMessage(const std::string &text) {
    const std::string line = OneLine(text);
    m_log << "voxa-agent: controller: " << line << std::endl;
    m_messages.push_back(line);
}

bool ServiceConsole::AskYesNo(const std::string &text) {
    m_log << "voxa-agent: answered No: " << OneLine(text) << std::endl;
    return false;
}

std::vector<std::string> ServiceConsole::TakeMessages() {
    std::vector<std::string> messages;
    messages.swap(m_messages);
    return messages;
}
