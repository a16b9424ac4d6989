#include "price_log_file.h"

#include "csv_text.h"

namespace {

std::string Name(const std::filesystem::path &path) {
    return path.filename().string();
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

bool PriceLogFile::SkipForeign(std::string &notice) {
    const std::filesystem::path foreign = m_path;
    while (m_number < kLastAlternative) {
        m_path = Candidate(++m_number);
        std::string reason;
        if (Inspect(m_path, reason) != Kind::Foreign) {
            notice = Name(foreign) +
                     " is not a VOXA price log (its first line is not the "
                     "log's header), so it is left as it is: price changes are logged in " +
                     Name(m_path) + " instead.";
            return true;
        }
    }
    return false;
}

std::string PriceLogFile::Prepare() {
    std::string reason;
    if (Inspect(m_path, reason) != Kind::Foreign) return TakeNotice();
    std::string notice;
    if (!SkipForeign(notice)) {
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

bool PriceLogFile::Append(const PriceAttempt &attempt) {
    Entry entry;
    entry.time = TimeText(m_clock());
    entry.source = m_source;
    entry.user = m_user;
    entry.line = std::to_string(attempt.line);
    entry.tag = attempt.tag;
    entry.oldPrice = attempt.oldPrice;
    entry.newPrice = attempt.newPrice;
    entry.outcome = PriceOutcomeName(attempt.outcome);
    const std::string line = LineOf(entry);

    std::string reason;
    for (;;) {
        const Kind kind = AppendLocked(m_path, line, reason);
        if (kind == Kind::Ours) return true;
        if (kind != Kind::Foreign) break;
        // Someone put another file in the log's place since it was last written.
        if (!SkipForeign(m_notice)) {
            reason = "every name up to " + Name(m_path) + " belongs to another program";
            break;
        }
    }
    if (m_problem.empty()) m_problem = m_path.string() + ": " + reason;
    return false;
}

bool PriceLogFile::Read(std::vector<Entry> &entries, std::string &reason) const {
    entries.clear();
    std::string bytes;
    if (Inspect(m_path, reason) == Kind::Missing) return true;
    if (!ReadWhole(m_path, bytes, reason)) return false;
    bool first = true;
    for (CsvText::Row &row : CsvText::Parse(bytes)) {
        const bool header = first;
        first = false;
        if (header || (row.size() == 1 && row[0].empty())) continue;
        // A line cut short (by a crash in the middle of a write) shows what it has.
        row.resize(8);
        entries.push_back(Entry{row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7]});
    }
    return true;
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
