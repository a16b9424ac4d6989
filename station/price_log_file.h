#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "price_log.h"

// The price log on disk: voxa-prices.csv beside voxa.ini, one line per price change
// attempt from the workstation or voxa-ctl, under a header line. The file is only ever
// appended to: opened for append for each line, locked against the other programs that
// append, and synced before the next attempt goes on, so a line once written survives a
// crash and no program ever rewrites or shortens it.
//
// A file of that name whose first line is not our header belongs to someone else and is
// left alone: the log goes to voxa-prices-1.csv (or -2, ...) instead, and the caller is
// given a notice to show.
class PriceLogFile : public PriceLog {
public:
    static constexpr const char *kFileName = "voxa-prices.csv";
    static constexpr const char *kHeader = "time,source,user,line,tag,old,new,outcome";
    // How far the numbered names go before the log gives up.
    static constexpr int kLastAlternative = 99;

    // One line of the log, as written.
    struct Entry {
        std::string time;  // ISO 8601 local time with its offset: 2026-12-07T14:07:31+01:00
        std::string source;
        std::string user;
        std::string line;
        std::string tag;
        std::string oldPrice;
        std::string newPrice;
        std::string outcome;
    };

    using Clock = std::function<std::time_t()>;

    // source names the program: "workstation" or "voxa-ctl".
    PriceLogFile(std::filesystem::path folder, std::string source);

    void SetClock(Clock clock) { m_clock = std::move(clock); }
    void SetUser(std::string user) { m_user = std::move(user); }

    // Finds the file the log goes to. Returns the notice to show when that is not the
    // usual one (empty otherwise); each notice is given once.
    std::string Prepare();
    const std::filesystem::path &Path() const { return m_path; }

    // PriceLog: appends one line, stamped with the time and the user.
    bool Append(const PriceAttempt &attempt) override;

    // What went wrong with the first line that could not be written; empty while every
    // line went in. The session reports it once.
    const std::string &Problem() const { return m_problem; }
    // A notice that arose while appending (a file of ours replaced by another's), once.
    std::string TakeNotice();

    // Every entry of the log in use, oldest first. A log not written yet has none; a file
    // that cannot be read gives false and the reason.
    bool Read(std::vector<Entry> &entries, std::string &reason) const;
    // Writes entries under the header to a file of the user's choice, replacing it as a
    // whole. Never the log itself: that is refused with a reason.
    bool Export(const std::filesystem::path &path, const std::vector<Entry> &entries,
                std::string &reason) const;

    static std::string LineOf(const Entry &entry);
    // The local time in ISO 8601 with its offset from UTC.
    static std::string TimeText(std::time_t time);
    // The name of the user the process runs for, from the system's user database; the
    // USER variable, then the number, when it has none.
    static std::string ProcessUser();

private:
    enum class Kind { Missing, Ours, Foreign, Unreadable };

    std::filesystem::path Candidate(int number) const;
    // Moves on from a foreign file to the next name; false when none is left.
    bool SkipForeign(std::string &notice);

    // The platform's half.
    // What the file at path holds, by its first line; reason tells why it is unreadable.
    static Kind Inspect(const std::filesystem::path &path, std::string &reason);
    // Appends text under the header (written first into an empty file) while holding the
    // file's lock, and syncs it. Foreign when the file turned out not to be a log of ours;
    // Unreadable (with the reason) when anything failed.
    static Kind AppendLocked(const std::filesystem::path &path, const std::string &text,
                             std::string &reason);
    static bool ReadWhole(const std::filesystem::path &path, std::string &bytes,
                          std::string &reason);
    static bool ReplaceWith(const std::filesystem::path &path, const std::string &text,
                            std::string &reason);

    std::filesystem::path m_folder;
    std::string m_source;
    std::string m_user;
    Clock m_clock = [] { return std::time(nullptr); };
    int m_number = 0;  // 0: voxa-prices.csv, n: voxa-prices-n.csv
    std::filesystem::path m_path;
    std::string m_problem;
    std::string m_notice;
};
