#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "chained_log.h"
#include "change_journal.h"

// The event log on disk: voxa-events.csv beside voxa.ini, one row per supervisor change from
// the workstation, voxa-ctl or the station agent (a setting sent to the controller, a
// password verified, refused or changed, the supervisor mode, a tag, the port, an NVRAM
// image), kept by ChainedLog like the price log: append only under a lock shared by every
// writer, synced, chained, a file that is not ours left alone. A password is never in it.
class EventLogFile : public ChangeJournal {
public:
    static constexpr const char *kFileName = "voxa-events.csv";
    static constexpr const char *kHeader = "time,source,user,what,before,after,outcome,chain";
    // The header of an export: the columns of a row without its chain value.
    static constexpr const char *kExportHeader = "time,source,user,what,before,after,outcome";

    struct Entry {
        std::string time;  // ISO 8601 local time with its offset
        std::string source;
        std::string user;
        std::string what;
        std::string before;  // empty when it was not read
        std::string after;
        std::string outcome;  // "damaged" for a line that is not a whole row
    };

    using Clock = std::function<std::time_t()>;

    // source names the program: "workstation", "voxa-ctl" or "head-office".
    EventLogFile(std::filesystem::path folder, std::string source);

    void SetClock(Clock clock) { m_clock = std::move(clock); }
    void SetUser(std::string user) { m_user = std::move(user); }

    std::string Prepare() { return m_log.Prepare(); }
    const std::filesystem::path &Path() const { return m_log.Path(); }

    // ChangeJournal: appends one row, stamped with the time and the user.
    void Record(const SupervisorChange &change) override;
    const std::string &Problem() const { return m_log.Problem(); }
    std::string TakeNotice() { return m_log.TakeNotice(); }

    bool ReadEach(const std::function<void(Entry &&)> &visit, std::string &reason) const;
    bool Verify(ChainedLog::Verdict &verdict, std::string &reason) const {
        return m_log.Verify(verdict, reason);
    }
    static Entry EntryOf(std::string_view line);
    static std::string LineOf(const Entry &entry);

private:
    ChainedLog m_log;
    std::string m_source;
    std::string m_user;
    Clock m_clock = [] { return std::time(nullptr); };
};
