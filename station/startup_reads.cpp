#include "startup_reads.h"

#include "command_code.h"
#include "sign_system.h"

namespace {

const std::optional<std::string> kNotRead;

}  // namespace

bool StartupReads::ReadStatus() {
    return m_system.GetCcStatus();
}

int StartupReads::ReadLinesAndFormats() {
    m_system.GetNumberOfLines();
    m_system.ReadLineFormats();
    return m_system.InstalledLineCount();
}

void StartupReads::ReadFaceMasks() {
    m_system.ReadFaceMasks();
}

void StartupReads::ReadPrices() {
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        ReadPrice(line);
    }
}

std::optional<std::string> StartupReads::ReadPrice(int line) {
    if (line < 1 || line > kLines) return std::nullopt;
    const std::string price = m_system.GetLinePrice(line);
    // A failed read returns the last price read for any line: it is not this line's.
    const bool answered =
        m_system.LastOutcome() == ControllerStatus::kOk && !m_system.ProgramEndRequested();
    m_prices[line - 1] = answered ? std::optional<std::string>(price) : std::nullopt;
    return m_prices[line - 1];
}

const std::optional<std::string> &StartupReads::Price(int line) const {
    return line >= 1 && line <= kLines ? m_prices[line - 1] : kNotRead;
}
