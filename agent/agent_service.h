#pragma once

#include <atomic>
#include <filesystem>
#include <iosfwd>

// voxa-agent's run: reads the [Fleet] settings of the station's voxa.ini, connects to head
// office's broker and serves the site's changes until a stop signal. Returns the exit
// status: 0 after a stop signal, 2 for settings it cannot use, 1 for any other failure.
class AgentService {
public:
    static constexpr int kStopped = 0;
    static constexpr int kFailed = 1;
    static constexpr int kBadSettings = 2;

    AgentService(std::filesystem::path folder, std::ostream &log)
        : m_folder(std::move(folder)), m_log(log) {}

    int Run(const std::atomic<bool> &stop);

private:
    std::filesystem::path m_folder;
    std::ostream &m_log;
};
