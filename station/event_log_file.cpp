#include "event_log_file.h"

#include "csv_text.h"
#include "price_log_file.h"

EventLogFile::EventLogFile(std::filesystem::path folder, std::string source)
    : m_log(std::move(folder), {"voxa-events", kHeader, "", "event log", "supervisor changes"}),
      m_source(std::move(source)),
      m_user(PriceLogFile::ProcessUser()) {}

void EventLogFile::Record(const SupervisorChange &change) {
    m_log.Append({ChainedLog::FieldText(PriceLogFile::TimeText(m_clock())),
                  ChainedLog::FieldText(m_source), ChainedLog::FieldText(m_user),
                  ChainedLog::FieldText(change.what),
                  ChainedLog::FieldText(change.before.value_or("")),
                  ChainedLog::FieldText(change.after), ChainedLog::FieldText(change.outcome)});
}

bool EventLogFile::ReadEach(const std::function<void(Entry &&)> &visit, std::string &reason) const {
    return m_log.ReadEach([&](std::string_view line) { visit(EntryOf(line)); }, reason);
}

EventLogFile::Entry EventLogFile::EntryOf(std::string_view line) {
    line = line.substr(0, line.find_last_not_of(' ') + 1);
    const std::optional<CsvText::Row> parsed = CsvText::ParseRow(line);
    std::vector<CsvText::Row> rows = parsed ? std::vector<CsvText::Row>{} : CsvText::Parse(line);
    CsvText::Row row = parsed ? *parsed : (rows.empty() ? CsvText::Row{} : rows.front());
    const bool whole = parsed && row.size() == 8;
    row.resize(7);
    if (!whole || row[6].empty()) row[6] = PriceLogFile::kDamaged;
    return Entry{row[0], row[1], row[2], row[3], row[4], row[5], row[6]};
}

std::string EventLogFile::LineOf(const Entry &e) {
    return CsvText::Line({e.time, e.source, e.user, e.what, e.before, e.after, e.outcome});
}
