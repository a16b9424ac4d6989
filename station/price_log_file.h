#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chained_log.h"
#include "price_log.h"

// The price log on disk: voxa-prices.csv beside voxa.ini, one row per price change attempt
// from the workstation, voxa-ctl or the station agent, kept by ChainedLog (append only under
// a lock shared by every writer, synced, chained, a file that is not ours left alone).
//
// A price that goes out is logged before it goes, with the outcome "sending", and its outcome
// is put into that row afterwards while the row is still the last; once others wrote after
// it, the outcome comes as a row of its own with the same time, line and price, which Read()
// folds into the first. A row that a crash or a full disk cut short never hides the rows
// after it: the reader starts afresh at every line, showing a line it cannot read as
// "damaged".
//
// A log written by the earlier version (kHeader, without the question and chain columns) is
// continued as it is: its rows keep their eight columns, the new ones have ten.
class PriceLogFile : public PriceLog {
public:
    static constexpr const char *kFileName = "voxa-prices.csv";
    // The columns every reader knows: the header of a log the earlier version began (which
    // is continued), of an export and of voxa-ctl price-history.
    static constexpr const char *kHeader = "time,source,user,line,tag,old,new,outcome";
    // The header of a log begun now: each row also keeps the question about the limits and
    // its chain value.
    static constexpr const char *kChainedHeader =
        "time,source,user,line,tag,old,new,outcome,question,chain";
    // How far the numbered names go before the log gives up.
    static constexpr int kLastAlternative = ChainedLog::kLastAlternative;
    // Room of a field, as a tag's in the workstation: 255 bytes and the end of the text.
    static constexpr std::size_t kFieldRoom = ChainedLog::kFieldRoom;
    // The outcome of a damaged line, which the reader cannot read whole.
    static constexpr const char *kDamaged = "damaged";

    // One line of the log, as written.
    struct Entry {
        std::string time;  // ISO 8601 local time with its offset: 2026-12-07T14:07:31+01:00
        std::string source;
        std::string user;
        std::string line;
        std::string tag;
        std::string oldPrice;
        std::string newPrice;
        std::string outcome;  // "sent", "sent (forced)", ...
        // The question about the site's limits that was answered, for a forced or held-back
        // price.
        std::string question;
    };

    using Clock = std::function<std::time_t()>;

    // source names the program: "workstation", "voxa-ctl" or "head-office".
    PriceLogFile(std::filesystem::path folder, std::string source);

    void SetClock(Clock clock) { m_clock = std::move(clock); }
    void SetUser(std::string user) { m_user = std::move(user); }

    // Finds the file the log goes to. Returns the notice to show when that is not the
    // usual one (empty otherwise); each notice is given once.
    std::string Prepare() { return m_log.Prepare(); }
    const std::filesystem::path &Path() const { return m_log.Path(); }

    // PriceLog: appends one row, stamped with the time and the user.
    bool Append(const PriceAttempt &attempt) override;
    bool Begin(const PriceAttempt &attempt) override;
    bool Complete(PriceOutcome outcome) override;

    // What went wrong with the first row that could not be written; empty while every
    // row went in. The session reports it once.
    const std::string &Problem() const { return m_log.Problem(); }
    // A notice that arose while appending (a file of ours replaced by another's), once.
    std::string TakeNotice() { return m_log.TakeNotice(); }

    // Every row of the log in use, oldest first, each handed to visit as it is read, so
    // that a log of any length is read in little memory. A log not written yet has none; a
    // file that cannot be read gives false and the reason. A line that is not one whole
    // entry (cut short, or not ours) is handed on with the fields it has and the outcome
    // kDamaged. A price's outcome that came as a row of its own is handed on as such.
    bool ReadEach(const std::function<void(Entry &&)> &visit, std::string &reason) const;
    // All at once, each outcome that came as a row of its own folded into its price's row.
    bool Read(std::vector<Entry> &entries, std::string &reason) const;
    // Follows the chain of the log in use (see ChainedLog::Verify).
    bool Verify(ChainedLog::Verdict &verdict, std::string &reason) const {
        return m_log.Verify(verdict, reason);
    }
    // The entry one line of the log holds (without its line end).
    static Entry EntryOf(std::string_view line);

    // Reading only what was added since a mark, for a follower of the log (see ChainedLog):
    // each new whole line is handed on as its entry, with its offsets.
    using ReadMark = ChainedLog::ReadMark;
    using NewLines = ChainedLog::NewLines;
    static constexpr std::int64_t kTailRoom = ChainedLog::kMarkTailRoom;
    static constexpr std::size_t kLinesRemembered = ChainedLog::kLinesRemembered;
    NewLines ReadNew(
        ReadMark &mark,
        const std::function<void(std::int64_t begin, std::int64_t end, Entry &&)> &visit,
        std::string &reason, std::int64_t &read,
        std::int64_t until = std::numeric_limits<std::int64_t>::max()) const {
        return m_log.ReadNew(
            mark,
            [&visit](std::int64_t begin, std::int64_t end, std::string_view line) {
                visit(begin, end, EntryOf(line));
            },
            reason, read, until);
    }
    NewLines MarkLastLine(ReadMark &mark, std::string &reason) const {
        return m_log.MarkLastLine(mark, reason);
    }
    // Whether this log wrote the line that starts at offset of the file mark names.
    bool Wrote(const ReadMark &mark, std::int64_t offset) const { return m_log.Wrote(mark, offset); }
    // Writes entries under the header to a file of the user's choice, replacing it as a
    // whole. Never the log itself: that is refused with a reason.
    bool Export(const std::filesystem::path &path, const std::vector<Entry> &entries,
                std::string &reason) const;

    // The line of an entry as an export writes it: the columns of kHeader.
    static std::string LineOf(const Entry &entry);
    // The local time in ISO 8601 with its offset from UTC.
    static std::string TimeText(std::time_t time);
    // The name of the user the process runs for, from the system's user database; the
    // USER variable, then the number, when it has none.
    static std::string ProcessUser();

private:
    // The fields of an attempt's row, fit for one line, without the chain value.
    CsvText::Row FieldsFor(const PriceAttempt &attempt, PriceOutcome outcome) const;

    ChainedLog m_log;
    std::string m_source;
    std::string m_user;
    Clock m_clock = [] { return std::time(nullptr); };
    // The row begun last, until its outcome is in.
    std::optional<PriceAttempt> m_pending;
    std::string m_pendingTime;
};
