#include "line_bench.h"

#include "nvram_transfer.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string OneLine(std::string text) {
    for (char &c : text) {
        if (c == '\n') c = ' ';
    }
    return text;
}

}  // namespace

void LineBench::Console::ShowDetailedMessage(const std::string &text, const std::string &details) {
    if (!problem.empty()) return;
    problem = OneLine(text);
    if (!details.empty()) problem += " (" + OneLine(details) + ")";
}

bool LineBench::Console::AskYesNo(const std::string &text) {
    ShowMessage(text);
    return false;
}

LineBench::LineBench(const std::string &devicePath)
    : m_platform(m_devices), m_system(m_platform, m_console) {
    m_devices.Set(1, devicePath);
    m_system.SetPortName("COM1");
    // The first failed transaction ends the work, as in voxa-ctl: nothing after it could
    // be timed fairly.
    m_system.SetStrictTransactions(true);
}

std::optional<LineBench::Nanos> LineBench::Finish(Clock::time_point start) {
    const Nanos took = Clock::now() - start;
    if (m_system.FailedTransactionCount() > 0 || !m_console.problem.empty()) {
        if (m_console.problem.empty()) m_console.problem = "a transaction failed";
        return std::nullopt;
    }
    return took;
}

std::optional<LineBench::Nanos> LineBench::OneTransaction() {
    const auto start = Clock::now();
    m_system.GetNumberOfLines();
    return Finish(start);
}

std::optional<LineBench::Nanos> LineBench::StartUpSequence() {
    const auto start = Clock::now();
    m_system.GetCcStatus();
    m_system.GetNumberOfLines();
    m_system.ReadLineFormats();
    m_system.ReadFaceMasks();
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        m_system.GetLinePrice(line);
    }
    const auto took = Finish(start);
    if (took && m_system.NumberOfLines() != kStartUpLines) {
        m_console.problem = "the controller has " + std::to_string(m_system.NumberOfLines()) +
                            " price lines, not " + std::to_string(kStartUpLines);
        return std::nullopt;
    }
    return took;
}

std::optional<LineBench::Nanos> LineBench::NvramSave(const std::string &path) {
    NvramTransfer transfer(m_system);
    const auto start = Clock::now();
    const NvramTransfer::Result result = transfer.Save(path);
    const auto took = Finish(start);
    if (!took) return took;
    if (result.outcome != NvramTransfer::Outcome::Complete ||
        result.blocksDone * NvramTransfer::kBlockSize != kNvramImageBytes) {
        m_console.problem =
            result.message.empty() ? "the NVRAM image did not come whole" : result.message;
        return std::nullopt;
    }
    return took;
}
