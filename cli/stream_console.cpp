#include "stream_console.h"

#include <ostream>
#include <string>
#include <thread>

#include "progress_line.h"
#include "sign_system.h"

namespace {

// A message box's text may span lines; on a terminal each line is prefixed so that
// a log shows where it came from.
void WriteLines(std::ostream &stream, const std::string &text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        stream << "voxa-ctl: " << text.substr(start, end - start) << '\n';
        if (end == std::string::npos) break;
        start = end + 1;
    }
    stream.flush();
}

}  // namespace

void StreamConsole::ShowMessage(const std::string &text) {
    ShowDetailedMessage(text, {});
}

void StreamConsole::ShowDetailedMessage(const std::string &text, const std::string &details) {
    if (m_progress != nullptr) m_progress->End();
    WriteLines(m_stream, text);
    if (!details.empty()) {
        WriteLines(m_stream, details);
    }
    if (m_system != nullptr) {
        m_system->RequestProgramEnd();
    }
}

bool StreamConsole::AskYesNo(const std::string &text) {
    if (m_progress != nullptr) m_progress->End();
    WriteLines(m_stream, text + " No");
    return false;
}

void StreamConsole::Wait(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}
