#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "sign_station.h"

class LinkPlatform;

// The station's sign on its real line, through the code the workstation and voxa-ctl use:
// voxa.ini (read afresh for every job, so the limits, the read-back rule and the tags
// the manager keeps there hold for head office's changes too), the line lock, the price
// update with its format check, limits and read-back, and the price log, whose rows name
// the source "head-office" and the change's author.
//
// Every job has a sign system of its own: a controller that asks for its memory to be
// loaded ends the job (the question is answered No), never the agent.
class ControllerStation : public SignStation {
public:
    using Clock = std::function<std::time_t()>;
    // Sets how long the next job waits for the line when another program holds it.
    using LineWaitHook = std::function<void(std::chrono::milliseconds)>;

    // How long a change waits for the line (a workstation's Send Update, a voxa-ctl run)
    // and how long a poll does: a poll gives way and comes again.
    static constexpr std::chrono::milliseconds kChangeLineWait{60000};
    static constexpr std::chrono::milliseconds kPollLineWait{2000};
    static constexpr const char *kLogSource = "head-office";

    ControllerStation(LinkPlatform &platform, std::filesystem::path folder, std::ostream &log);

    void SetClock(Clock clock) { m_clock = std::move(clock); }
    void SetLineWaitHook(LineWaitHook hook) { m_lineWait = std::move(hook); }

    Applied Apply(const PriceChange &change) override;
    std::optional<Reading> Read() override;

    // The port named in voxa.ini's [Communications] Port= (COM1 when not set).
    std::string PortName() const;

private:
    LinkPlatform &m_platform;
    std::filesystem::path m_folder;
    std::ostream &m_log;
    Clock m_clock = [] { return std::time(nullptr); };
    LineWaitHook m_lineWait;
};
