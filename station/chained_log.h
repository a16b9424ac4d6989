#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv_text.h"

// A log of ours beside voxa.ini that rows are only ever added to (the price log, the event
// log): comma-separated, one row a line under a header line, each row appended under a lock
// against the other programs that append, and synced before the program goes on, so that a
// row once written survives a crash. Line breaks in a field become blanks, and each field is
// cut to kFieldRoom.
//
// Every row ends with its chain value: the SHA-256 (hexadecimal) of the chain value of the
// row before, a line feed, the row's text up to the comma before its chain value, and a line
// feed. The row before the first has the chain value of 64 zeros. A line without a chain
// value of its own (a row cut short by a crash and ended by the next append, or a row of a
// log written before rows were chained) enters the next row's chain whole: its text stands
// in for a row's. A row changed, deleted or put in afterwards therefore breaks the chain at
// or after its place, which Verify() finds.
//
// A row may be begun and completed later (a price on its way): it is written with blanks
// after its chain value, room enough for the longest completion, and completed in place
// while it is still the last row; once other rows follow it, its completion is a row of its
// own, so that no chain value after it changes.
//
// The file is opened without following symbolic links and without waiting on what it finds:
// a link, a FIFO or a device in its place is not a log of ours. A file of that name that is
// not ours (by its kind, or a first line that is not the header) is left alone: the log goes
// to the next numbered name instead (voxa-prices-1.csv, -2, ...), and the caller is given a
// notice to show. A file of ours cut short in its last line by a crash gets that line ended
// by the next append, which carries on after it.
class ChainedLog {
public:
    // Room of a field, as a tag's in the workstation: 255 bytes and the end of the text.
    static constexpr std::size_t kFieldRoom = 256;
    // How far the numbered names go before the log gives up.
    static constexpr int kLastAlternative = 99;
    // The chain value before the first row.
    static constexpr std::string_view kFirstCarry =
        "0000000000000000000000000000000000000000000000000000000000000000";

    struct Layout {
        std::string baseName;  // "voxa-prices": voxa-prices.csv, voxa-prices-1.csv, ...
        std::string header;    // its last column the chain value
        // The header of the log as an earlier version wrote it, without chain values, which
        // is continued; empty when there was none.
        std::string legacyHeader;
        std::string title;    // "price log", in notices
        std::string content;  // "price changes", in notices
    };

    // What Verify() found.
    struct Verdict {
        bool fits = true;
        long rows = 0;
        long firstChainedLine = 0;     // 0 when no row carries a chain value
        long unchainedRows = 0;        // rows of an earlier version before it
        long badLine = 0;              // the first line that does not fit
        long cutLine = 0;              // a last line cut short, which is not checked
        std::vector<long> looseLines;  // lines in the chain without a value of their own
        // In words, naming the file.
        std::string Text(const std::string &name) const;
    };

    ChainedLog(std::filesystem::path folder, Layout layout);

    // Finds the file the log goes to. Returns the notice to show when that is not the usual
    // one (empty otherwise); each notice is given once.
    std::string Prepare();
    const std::filesystem::path &Path() const { return m_path; }
    const Layout &Shape() const { return m_layout; }
    // Whether path is the log or one of the files it used before.
    bool IsLog(const std::filesystem::path &path) const;

    // A field fit for one line: no line break, at most the room of a field, not cut inside
    // a UTF-8 character.
    static std::string FieldText(std::string text);
    // The line of a row with its chain value (no padding), chained onto carry.
    static std::string ChainedLine(const CsvText::Row &fields, std::string_view carry);
    // The chain value of a line's text (without its line end) chained onto carry.
    static std::string ChainValue(std::string_view carry, std::string_view text);

    // Appends a row (its fields without the chain value, each fit for a line). False when it
    // could not be written: the reason is in Problem().
    bool Append(const CsvText::Row &fields);
    // Appends a row to be completed, with room for a completion up to room bytes longer.
    // One at a time: the next Begin() or Append() comes after its Complete().
    bool Begin(const CsvText::Row &fields, std::size_t room);
    // Puts the completed row of the one begun last in its place, or after the rows that
    // followed it, or (when the log was moved away or replaced) at the end of the log.
    bool Complete(const CsvText::Row &fields);

    const std::string &Problem() const { return m_problem; }
    std::string TakeNotice();

    // Every line after the header, without its line end, blank ones left out, in little
    // memory. A log not written yet has none; a file that cannot be read gives false.
    bool ReadEach(const std::function<void(std::string_view)> &visit, std::string &reason) const;
    // Follows the chain through the whole log. False only when it cannot be read.
    bool Verify(Verdict &verdict, std::string &reason) const;
    // The fields of a line, the chain value and the blanks after it left out; nothing for a
    // line that is not a whole row of the log's current kind.
    std::optional<CsvText::Row> ChainedRow(std::string_view line) const;

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
    // whole line up to until is handed to visit (without its line end) with the offsets of
    // its first byte and of the byte after its line end, and mark moves past the last of
    // them. A last line without its line end is still being written and is left for the
    // next read; the header and blank lines are passed over. read gets the bytes read.
    NewLines ReadNew(
        ReadMark &mark,
        const std::function<void(std::int64_t begin, std::int64_t end, std::string_view line)>
            &visit,
        std::string &reason, std::int64_t &read,
        std::int64_t until = std::numeric_limits<std::int64_t>::max()) const;
    // A mark at the start of the last whole line of the log in use, looked for in its last
    // kMarkTailRoom bytes (at the first line there past the header, or where the next line
    // will go, when there is none).
    static constexpr std::int64_t kMarkTailRoom = 65536;
    NewLines MarkLastLine(ReadMark &mark, std::string &reason) const;
    // Whether this log wrote the line that starts at offset of the file mark names (of its
    // last kLinesRemembered lines).
    static constexpr std::size_t kLinesRemembered = 64;
    bool Wrote(const ReadMark &mark, std::int64_t offset) const;

    // Replaces a file of the user's choice (an export) as a whole.
    static bool WriteFile(const std::filesystem::path &path, const std::string &text,
                          std::string &reason);

private:
    enum class Kind { Missing, Ours, Foreign, Unreadable };

    // Where a line went: the file, by its identity, and the line's first byte.
    struct Place {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t offset = 0;
    };

    struct Pending {
        std::filesystem::path path;
        Place place;
        std::string carry;  // the chain value of the row before
        std::string line;   // as written, padding and line end included
    };

    enum class Rewrite { Done, NotLast, Gone, Failed };

    std::filesystem::path Candidate(int number) const;
    bool SkipForeign(const std::string &why, std::string &notice);
    bool AppendRow(const CsvText::Row &fields, std::size_t room, Pending *pending);

    // The platform's half.
    // Whether the file open on fd starts with the log's header, or an earlier version's.
    bool HasHeader(int fd) const;
    Kind Inspect(const std::filesystem::path &path, std::string &reason) const;
    // Appends the row, chained onto the last line of the file, under the header (written
    // first into an empty file) while holding the file's lock, and syncs it; a write that
    // fails is cut back.
    Kind AppendLocked(const std::filesystem::path &path, const CsvText::Row &fields,
                      std::size_t room, std::string &reason, Pending *pending,
                      Place &where) const;
    // Remembers where a line of this log went.
    void Written(const Place &place);
    Rewrite RewriteLocked(const Pending &pending, const CsvText::Row &fields,
                          std::string &reason) const;
    // The chain value after the last line of the file open on fd, of size bytes.
    bool CarryAtEnd(int fd, std::int64_t size, std::string &carry, std::string &reason) const;
    static bool ReadLines(const std::filesystem::path &path,
                          const std::function<void(std::string_view)> &each, bool &endsWhole,
                          std::string &reason);

    std::filesystem::path m_folder;
    Layout m_layout;
    std::size_t m_fields = 0;        // of a chained row, the chain value included
    std::size_t m_legacyFields = 0;  // of an earlier version's row
    int m_number = 0;                // 0: the usual name, n: the n-th numbered one
    std::filesystem::path m_path;
    std::string m_problem;
    std::string m_notice;
    std::optional<Pending> m_pending;
    // Where the last lines of this log went, newest last.
    std::deque<Place> m_written;
};
