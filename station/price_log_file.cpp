#include "price_log_file.h"

#include <algorithm>

#include "csv_text.h"

namespace {

std::string Name(const std::filesystem::path &path) {
    return path.filename().string();
}

// A field fit for one line of the log: no line break (every attempt is one line), at most
// the room of a field, not cut inside a UTF-8 character.
std::string FieldText(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (text.size() > PriceLogFile::kFieldRoom - 1) {
        std::size_t cut = PriceLogFile::kFieldRoom - 1;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    return text;
}

// The line up to its outcome: seven fields and their commas.
std::string HeadOf(const PriceLogFile::Entry &e) {
    std::string line =
        CsvText::Line({e.time, e.source, e.user, e.line, e.tag, e.oldPrice, e.newPrice});
    line.back() = ',';
    return line;
}

bool Blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

PriceLogFile::PriceLogFile(std::filesystem::path folder, std::string source)
    : m_folder(std::move(folder)), m_source(std::move(source)), m_user(ProcessUser()) {
    // Messages name the file in full: the folder is the program's current one, which the
    // person reading them may not know.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(m_folder, error);
    if (!error) m_folder = absolute.lexically_normal();
    m_path = Candidate(0);
}

std::filesystem::path PriceLogFile::Candidate(int number) const {
    if (number == 0) return m_folder / kFileName;
    return m_folder / ("voxa-prices-" + std::to_string(number) + ".csv");
}

bool PriceLogFile::SkipForeign(const std::string &why, std::string &notice) {
    const std::filesystem::path foreign = m_path;
    while (m_number < kLastAlternative) {
        m_path = Candidate(++m_number);
        std::string reason;
        if (Inspect(m_path, reason) != Kind::Foreign) {
            notice = Name(foreign) + " is not a VOXA price log (" + why +
                     "), so it is left as it is: price changes are logged in " + Name(m_path) +
                     " instead.";
            return true;
        }
    }
    return false;
}

std::string PriceLogFile::Prepare() {
    std::string reason;
    if (Inspect(m_path, reason) != Kind::Foreign) return TakeNotice();
    std::string notice;
    if (!SkipForeign(reason, notice)) {
        notice = "No price log can be kept: " + Name(Candidate(0)) + " and every " +
                 "voxa-prices-n.csv up to " + Name(m_path) + " belong to other programs.";
    }
    return notice;
}

std::string PriceLogFile::TakeNotice() {
    std::string notice;
    notice.swap(m_notice);
    return notice;
}

PriceLogFile::Entry PriceLogFile::EntryFor(const PriceAttempt &attempt,
                                           PriceOutcome outcome) const {
    Entry entry;
    entry.time = TimeText(m_clock());
    entry.source = FieldText(m_source);
    entry.user = FieldText(m_user);
    entry.line = std::to_string(attempt.line);
    entry.tag = FieldText(attempt.tag);
    entry.oldPrice = FieldText(attempt.oldPrice);
    entry.newPrice = FieldText(attempt.newPrice);
    entry.outcome = PriceOutcomeName(outcome);
    return entry;
}

bool PriceLogFile::AppendLine(const std::string &line, Place *place) {
    std::string reason;
    Place where;
    for (;;) {
        const Kind kind = AppendLocked(m_path, line, reason, &where);
        if (kind == Kind::Ours) {
            if (place != nullptr) *place = where;
            m_written.push_back(where);
            if (m_written.size() > kLinesRemembered) m_written.pop_front();
            return true;
        }
        if (kind != Kind::Foreign) break;
        // Someone put another file in the log's place since it was last written.
        if (!SkipForeign(reason, m_notice)) {
            reason = "every name up to " + Name(m_path) + " belongs to another program";
            break;
        }
    }
    if (m_problem.empty()) m_problem = m_path.string() + ": " + reason;
    return false;
}

bool PriceLogFile::Append(const PriceAttempt &attempt) {
    return AppendLine(LineOf(EntryFor(attempt, attempt.outcome)), nullptr);
}

bool PriceLogFile::Begin(const PriceAttempt &attempt) {
    m_pending.reset();
    Pending pending;
    pending.entry = EntryFor(attempt, PriceOutcome::Sending);
    if (!AppendLine(PaddedLineOf(pending.entry), &pending.place)) return false;
    pending.path = m_path;
    m_pending = std::move(pending);
    return true;
}

bool PriceLogFile::Complete(PriceOutcome outcome) {
    if (!m_pending) return false;
    const Pending pending = std::move(*m_pending);
    m_pending.reset();
    Entry finished = pending.entry;
    finished.outcome = PriceOutcomeName(outcome);
    std::string reason;
    if (RewriteLocked(pending.path, pending.place, PaddedLineOf(pending.entry),
                      PaddedLineOf(finished), LineOf(finished).size(), reason)) {
        return true;
    }
    if (!reason.empty()) {
        if (m_problem.empty()) m_problem = pending.path.string() + ": " + reason;
        return false;
    }
    // The line is gone from where it was (the log was moved away or replaced meanwhile):
    // the attempt is logged whole where the log is now.
    return AppendLine(LineOf(finished), nullptr);
}

bool PriceLogFile::ReadEach(const std::function<void(Entry &&)> &visit, std::string &reason) const {
    bool header = true;
    return ReadLines(
        m_path,
        [&](std::string_view line) {
            if (header) {
                header = false;
                return;
            }
            if (!Blank(line)) visit(EntryOf(line));
        },
        reason);
}

bool PriceLogFile::Wrote(const ReadMark &mark, std::int64_t offset) const {
    return std::any_of(m_written.begin(), m_written.end(), [&](const Place &place) {
        return place.device == mark.device && place.inode == mark.inode && place.offset == offset;
    });
}

bool PriceLogFile::Read(std::vector<Entry> &entries, std::string &reason) const {
    entries.clear();
    return ReadEach([&entries](Entry &&entry) { entries.push_back(std::move(entry)); }, reason);
}

PriceLogFile::Entry PriceLogFile::EntryOf(std::string_view line) {
    const std::optional<CsvText::Row> parsed = CsvText::ParseRow(line);
    // A line cut short keeps what it has, read the lenient way.
    std::vector<CsvText::Row> rows = parsed ? std::vector<CsvText::Row>{} : CsvText::Parse(line);
    CsvText::Row row = parsed ? *parsed : (rows.empty() ? CsvText::Row{} : rows.front());
    const bool whole = parsed && row.size() == 8;
    row.resize(8);
    // The padding of a line whose outcome came in while others wrote after it.
    std::string &outcome = row[7];
    outcome.erase(outcome.find_last_not_of(' ') + 1);
    if (!whole || !PriceOutcomeNamed(outcome)) outcome = kDamaged;
    return Entry{row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7]};
}

bool PriceLogFile::Export(const std::filesystem::path &path, const std::vector<Entry> &entries,
                          std::string &reason) const {
    std::error_code error;
    for (int number = 0; number <= m_number; ++number) {
        if (std::filesystem::equivalent(path, Candidate(number), error)) {
            reason = "that is the price log itself, which is never rewritten";
            return false;
        }
    }
    std::string text = std::string(kHeader) + '\n';
    for (const Entry &entry : entries) text += LineOf(entry);
    return ReplaceWith(path, text, reason);
}

std::string PriceLogFile::LineOf(const Entry &e) {
    return CsvText::Line(
        {e.time, e.source, e.user, e.line, e.tag, e.oldPrice, e.newPrice, e.outcome});
}

std::string PriceLogFile::PaddedLineOf(const Entry &entry) {
    std::string outcome = entry.outcome;
    outcome.resize(std::max(LongestPriceOutcomeName(), outcome.size()), ' ');
    return HeadOf(entry) + outcome + '\n';
}
