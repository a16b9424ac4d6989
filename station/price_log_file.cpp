#include "price_log_file.h"

#include <cstring>
#include <map>
#include <tuple>

#include "csv_text.h"

namespace {

ChainedLog::Layout PriceLayout() {
    return {"voxa-prices", PriceLogFile::kChainedHeader, PriceLogFile::kHeader, "price log",
            "price changes"};
}

constexpr std::size_t kColumns = 9;  // without the chain value

}  // namespace

PriceLogFile::PriceLogFile(std::filesystem::path folder, std::string source)
    : m_log(std::move(folder), PriceLayout()), m_source(std::move(source)), m_user(ProcessUser()) {}

CsvText::Row PriceLogFile::FieldsFor(const PriceAttempt &attempt, PriceOutcome outcome) const {
    return {ChainedLog::FieldText(m_pendingTime),    ChainedLog::FieldText(m_source),
            ChainedLog::FieldText(m_user),           std::to_string(attempt.line),
            ChainedLog::FieldText(attempt.tag),      ChainedLog::FieldText(attempt.oldPrice),
            ChainedLog::FieldText(attempt.newPrice), PriceOutcomeText(outcome, attempt.forced),
            ChainedLog::FieldText(attempt.question)};
}

bool PriceLogFile::Append(const PriceAttempt &attempt) {
    m_pendingTime = TimeText(m_clock());
    return m_log.Append(FieldsFor(attempt, attempt.outcome));
}

bool PriceLogFile::Begin(const PriceAttempt &attempt) {
    m_pending = attempt;
    m_pendingTime = TimeText(m_clock());
    // Room for the longest outcome, forced.
    const std::size_t room = LongestPriceOutcomeName() + std::strlen(kForcedMark) -
                             std::strlen(PriceOutcomeName(PriceOutcome::Sending));
    return m_log.Begin(FieldsFor(attempt, PriceOutcome::Sending), room);
}

bool PriceLogFile::Complete(PriceOutcome outcome) {
    if (!m_pending) return false;
    const PriceAttempt attempt = std::move(*m_pending);
    m_pending.reset();
    return m_log.Complete(FieldsFor(attempt, outcome));
}

bool PriceLogFile::ReadEach(const std::function<void(Entry &&)> &visit, std::string &reason) const {
    return m_log.ReadEach([&](std::string_view line) { visit(EntryOf(line)); }, reason);
}

bool PriceLogFile::Read(std::vector<Entry> &entries, std::string &reason) const {
    entries.clear();
    // The rows still on their way, by what makes an attempt: its time, program, user, line
    // and price.
    using Key = std::tuple<std::string, std::string, std::string, std::string, std::string>;
    std::map<Key, std::size_t> sending;
    const std::string onItsWay = PriceOutcomeName(PriceOutcome::Sending);
    return ReadEach(
        [&](Entry &&entry) {
            Key key{entry.time, entry.source, entry.user, entry.line, entry.newPrice};
            const std::optional<PriceOutcome> outcome = PriceOutcomeOfText(entry.outcome);
            if (outcome == PriceOutcome::Sending) {
                sending[key] = entries.size();
            } else if (outcome) {
                if (const auto found = sending.find(key); found != sending.end()) {
                    entries[found->second].outcome = entry.outcome;
                    sending.erase(found);
                    return;
                }
            }
            entries.push_back(std::move(entry));
        },
        reason);
}

PriceLogFile::Entry PriceLogFile::EntryOf(std::string_view line) {
    // Blanks after the chain value (a row completed in place), or after the outcome (the
    // earlier version's rows).
    line = line.substr(0, line.find_last_not_of(' ') + 1);
    const std::optional<CsvText::Row> parsed = CsvText::ParseRow(line);
    // A line cut short keeps what it has, read the lenient way.
    std::vector<CsvText::Row> rows = parsed ? std::vector<CsvText::Row>{} : CsvText::Parse(line);
    CsvText::Row row = parsed ? *parsed : (rows.empty() ? CsvText::Row{} : rows.front());
    // The earlier version's rows have eight fields, ours ten.
    const bool whole = parsed && (row.size() == 8 || row.size() == kColumns + 1);
    row.resize(kColumns);
    std::string &outcome = row[7];
    outcome.erase(outcome.find_last_not_of(' ') + 1);
    if (!whole || !PriceOutcomeOfText(outcome)) outcome = kDamaged;
    return Entry{row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7], row[8]};
}

bool PriceLogFile::Export(const std::filesystem::path &path, const std::vector<Entry> &entries,
                          std::string &reason) const {
    if (m_log.IsLog(path)) {
        reason = "that is the price log itself, which is never rewritten";
        return false;
    }
    std::string text = std::string(kHeader) + '\n';
    for (const Entry &entry : entries) text += LineOf(entry);
    return ChainedLog::WriteFile(path, text, reason);
}

std::string PriceLogFile::LineOf(const Entry &e) {
    return CsvText::Line(
        {e.time, e.source, e.user, e.line, e.tag, e.oldPrice, e.newPrice, e.outcome});
}
