#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "price_log.h"

// The price log on disk: voxa-prices.csv beside voxa.ini, one line per price change
// attempt from the workstation or voxa-ctl, under a header line. Lines are only ever added
// at the end: each one under a lock against the other programs that append, and synced
// before the update goes on, so that a line once written survives a crash. Every attempt is
// one line: line breaks in a field become blanks, and each field is cut to kFieldRoom.
//
// A price that goes out is logged before it goes, with the outcome "sending" padded with
// blanks to the room of the longest outcome, and its outcome is written into that room
// afterwards, in place. While the line is still the last one, the padding is taken off as
// well; a line that others wrote after keeps it, and readers take it off. A line that a
// crash or a full disk cut short never hides the lines after it: a failed append is cut back
// to where it began, and the reader starts afresh at every line, showing a line it cannot
// read as "damaged".
//
// The file is opened without following symbolic links and without waiting on what it finds:
// a link, a FIFO or a device in its place is not a log of ours. A file of that name that is
// not ours (by its kind, or a first line that is not our header) is left alone: the log
// goes to voxa-prices-1.csv (or -2, ...) instead, and the caller is given a notice to show.
class PriceLogFile : public PriceLog {
public:
    static constexpr const char *kFileName = "voxa-prices.csv";
    static constexpr const char *kHeader = "time,source,user,line,tag,old,new,outcome";
    // How far the numbered names go before the log gives up.
    static constexpr int kLastAlternative = 99;
    // Room of a field, as a tag's in the workstation: 255 bytes and the end of the text.
    static constexpr std::size_t kFieldRoom = 256;
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
    bool Begin(const PriceAttempt &attempt) override;
    bool Complete(PriceOutcome outcome) override;

    // What went wrong with the first line that could not be written; empty while every
    // line went in. The session reports it once.
    const std::string &Problem() const { return m_problem; }
    // A notice that arose while appending (a file of ours replaced by another's), once.
    std::string TakeNotice();

    // Every entry of the log in use, oldest first, each handed to visit as it is read, so
    // that a log of any length is read in little memory. A log not written yet has none; a
    // file that cannot be read gives false and the reason. A line that is not one whole
    // entry (cut short, or not ours) is handed on with the fields it has and the outcome
    // kDamaged.
    bool ReadEach(const std::function<void(Entry &&)> &visit, std::string &reason) const;
    // The same, all at once.
    bool Read(std::vector<Entry> &entries, std::string &reason) const;
    // The entry one line of the log holds (without its line end).
    static Entry EntryOf(std::string_view line);

    // Where a reader of the log in use has got to: the file, by its name and identity, and
    // the first byte it has not read.
    struct ReadMark {
        std::filesystem::path path;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t offset = 0;
    };
    enum class NewLines {
        Read,      // the whole lines from mark on were read (none when the file is missing)
        Replaced,  // the log in use is not the file mark names, or was cut below mark: mark
                   // now names its start, and nothing was read
        NotOurs,   // the file there is not a log of ours; nothing was read
        Failed,    // reason says why
    };
    // Reads the log in use from mark on, without going back over what lies before it: each
    // whole line up to until is handed to visit with the offsets of its first byte and of
    // the byte after its line end, and mark moves past the last of them. A last line
    // without its line end is still being written and is left for the next read; the
    // header is passed over. read gets the number of bytes read.
    NewLines ReadNew(
        ReadMark &mark,
        const std::function<void(std::int64_t begin, std::int64_t end, Entry &&)> &visit,
        std::string &reason, std::int64_t &read,
        std::int64_t until = std::numeric_limits<std::int64_t>::max()) const;
    // A mark at the start of the last whole line of the log in use, looked for in its last
    // kTailRoom bytes (at the first line there past the header, or where the next line will
    // go, when there is none).
    static constexpr std::int64_t kTailRoom = 65536;
    NewLines MarkLastLine(ReadMark &mark, std::string &reason) const;
    // Whether this log wrote the line that starts at offset of the file mark names (of its
    // last kLinesRemembered lines).
    static constexpr std::size_t kLinesRemembered = 64;
    bool Wrote(const ReadMark &mark, std::int64_t offset) const;
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

    // Where a line went: the file, by its identity, and the line's first byte.
    struct Place {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t offset = 0;
    };

    // The line begun last, until its outcome is in.
    struct Pending {
        std::filesystem::path path;
        Place place;
        Entry entry;
    };

    std::filesystem::path Candidate(int number) const;
    // Moves on from a foreign file (why says why it is not ours) to the next name; false
    // when none is left.
    bool SkipForeign(const std::string &why, std::string &notice);
    // The entry of an attempt, its fields fit for one line.
    Entry EntryFor(const PriceAttempt &attempt, PriceOutcome outcome) const;
    // Appends line to the log in use, moving on from files that are not ours; where it went
    // when place is given.
    bool AppendLine(const std::string &line, Place *place);
    // The line of an entry with its outcome padded to the room of the longest.
    static std::string PaddedLineOf(const Entry &entry);

    // The platform's half.
    // What the file at path holds, by its kind and first line; reason tells why it is not
    // ours (Foreign) or cannot be read (Unreadable).
    static Kind Inspect(const std::filesystem::path &path, std::string &reason);
    // Appends text under the header (written first into an empty file) while holding the
    // file's lock, and syncs it; a write that fails is cut back. Foreign when the file turned
    // out not to be a log of ours; Unreadable (with the reason) when anything failed.
    static Kind AppendLocked(const std::filesystem::path &path, const std::string &text,
                             std::string &reason, Place *place);
    // Puts finished in place of pending, a line of the same length at place, while holding
    // the lock, and takes the padding off when the line is the last. False when the file
    // there no longer holds pending (it was replaced, or cut), or on a failure (reason).
    static bool RewriteLocked(const std::filesystem::path &path, const Place &place,
                              const std::string &pending, const std::string &finished,
                              std::size_t unpaddedLength, std::string &reason);
    // Hands every line of the file to each, without its line end; a missing file has none.
    static bool ReadLines(const std::filesystem::path &path,
                          const std::function<void(std::string_view)> &each, std::string &reason);
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
    std::optional<Pending> m_pending;
    // Where the last lines of this log went, newest last.
    std::deque<Place> m_written;
};
