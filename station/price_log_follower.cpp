#include "price_log_follower.h"

#include <algorithm>
#include <cstdio>

namespace {

std::optional<int> LineNumber(const std::string &text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '8') return std::nullopt;
    return text[0] - '0';
}

bool Sending(const std::string &outcome) {
    return PriceOutcomeNamed(outcome) == PriceOutcome::Sending;
}

}  // namespace

std::optional<std::time_t> PriceLogFollower::TimeOf(const std::string &text) {
    std::tm tm{};
    char sign = 0;
    int offsetHours = 0;
    int offsetMinutes = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d%n", &tm.tm_year, &tm.tm_mon,
                    &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &sign, &offsetHours,
                    &offsetMinutes, &used) != 9 ||
        static_cast<std::size_t>(used) != text.size() || (sign != '+' && sign != '-')) {
        return std::nullopt;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t utc = timegm(&tm);
    if (utc == static_cast<std::time_t>(-1)) return std::nullopt;
    const std::time_t offset = offsetHours * 3600 + offsetMinutes * 60;
    return sign == '+' ? utc - offset : utc + offset;
}

bool PriceLogFollower::TakenOutcome(const std::string &outcome) {
    // Words may follow in brackets ("sent (forced)"): the controller took the price all the
    // same.
    for (const char *taken : {"sent", "confirmed"}) {
        const std::string word = taken;
        if (outcome == word || outcome.rfind(word + " (", 0) == 0) return true;
    }
    return false;
}

void PriceLogFollower::Start(std::time_t now) {
    m_start = now;
    m_started = true;
    m_watched.clear();
    m_lastChange.fill(-1);
    std::string reason;
    const PriceLogFile::NewLines found = m_log.MarkLastLine(m_mark, reason);
    if (found == PriceLogFile::NewLines::Failed) m_problem = reason;
    if (found != PriceLogFile::NewLines::Read) return;
    // The last line is history, unless its outcome is still to come.
    m_history = true;
    std::vector<Change> ignored;
    ReadOn(ignored);
    m_history = false;
    m_bytesRead = 0;
}

std::vector<PriceLogFollower::Change> PriceLogFollower::Poll(std::string &notice) {
    notice.clear();
    std::vector<Change> changes;
    if (!m_started) return changes;
    CheckWatched(changes);
    // A file that changed under the mark is started over, and read at once: another file in
    // the log's place, the log moving on, the file it moves to, and reading that.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string reason;
        std::int64_t read = 0;
        const PriceLogFile::ReadMark marked = m_mark;
        const PriceLogFile::NewLines result = ReadWith(m_mark, changes, reason, read);
        if (result == PriceLogFile::NewLines::Read) {
            m_problem.clear();
            break;
        }
        if (result == PriceLogFile::NewLines::Failed) {
            m_problem = m_log.Path().string() + ": " + reason;
            break;
        }
        if (result == PriceLogFile::NewLines::NotOurs) {
            // Another file in the log's place: the log moves on, as it would at its next line.
            const std::filesystem::path before = m_log.Path();
            if (m_gaveUpOn == before) break;
            notice = m_log.Prepare();
            if (m_log.Path() == before) {
                m_gaveUpOn = before;
                m_problem = before.string() + " is not a VOXA price log, and no other name is free";
                break;
            }
        }
        // A log that was not there when following began holds nothing older.
        StartOver(result == PriceLogFile::NewLines::NotOurs || marked.device != 0 ||
                  marked.path != m_mark.path);
    }
    return changes;
}

void PriceLogFollower::StartOver(bool sinceStart) {
    // The mark was put at the start of the new file by the read that found it.
    m_watched.clear();
    m_lastChange.fill(-1);
    if (sinceStart) m_since = m_start;
}

void PriceLogFollower::ReadOn(std::vector<Change> &changes) {
    std::string reason;
    std::int64_t read = 0;
    const PriceLogFile::NewLines result = ReadWith(m_mark, changes, reason, read);
    if (result == PriceLogFile::NewLines::Failed) m_problem = m_log.Path().string() + ": " + reason;
}

PriceLogFile::NewLines PriceLogFollower::ReadWith(PriceLogFile::ReadMark &mark,
                                                  std::vector<Change> &changes, std::string &reason,
                                                  std::int64_t &read, std::int64_t until) {
    // Each line is taken once the next one is seen, so the last is known as last.
    std::optional<Held> held;
    const PriceLogFile::NewLines result = m_log.ReadNew(
        mark,
        [&](std::int64_t begin, std::int64_t end, PriceLogFile::Entry &&entry) {
            if (held) Take(held->begin, held->end, std::move(held->entry), false, changes);
            held = Held{begin, end, std::move(entry)};
        },
        reason, read, until);
    m_bytesRead += read;
    if (held) {
        const bool hold = Take(held->begin, held->end, std::move(held->entry), true, changes);
        // A last line whose outcome is still to come is read again from its start: when it
        // was the last line of the file, its outcome may come in with the line shortened.
        if (hold && &mark == &m_mark) m_mark.offset = held->begin;
    }
    return result;
}

bool PriceLogFollower::Take(std::int64_t begin, std::int64_t end, PriceLogFile::Entry &&entry,
                            bool last, std::vector<Change> &changes) {
    const std::optional<int> line = LineNumber(entry.line);
    if (!line) return false;
    std::int64_t &lastChange = m_lastChange[*line - 1];
    if (m_log.Wrote(m_mark, begin)) {
        // This program's own line: never a change to follow, but later than any before it.
        // Held while last and "sending", as another's would be, since its outcome may come in
        // with the line shortened.
        lastChange = std::max(lastChange, begin);
        return last && Sending(entry.outcome);
    }
    if (Sending(entry.outcome)) {
        if (last) return true;
        const bool known = std::any_of(m_watched.begin(), m_watched.end(),
                                       [begin](const Watched &w) { return w.begin == begin; });
        if (!known) {
            m_watched.push_back(Watched{begin, end, KeyOf(entry)});
            if (m_watched.size() > kWatchedLines) m_watched.erase(m_watched.begin());
        }
        return false;
    }
    // The outcome of a watched line, come as a line of its own: it stands where that line
    // stands, and the watch is over.
    const std::string key = KeyOf(entry);
    if (const auto completed =
            std::find_if(m_watched.begin(), m_watched.end(),
                         [&key, begin](const Watched &w) { return w.key == key && w.begin < begin; });
        completed != m_watched.end()) {
        begin = completed->begin;
        m_watched.erase(completed);
    }
    if (m_history || !TakenOutcome(entry.outcome) || entry.newPrice.empty()) return false;
    if (m_since) {
        const std::optional<std::time_t> time = TimeOf(entry.time);
        if (!time || *time < *m_since) return false;
    }
    // A line whose outcome came in late does not undo a later change of its line.
    if (begin < lastChange) return false;
    lastChange = begin;
    changes.push_back(Change{*line, entry.newPrice, entry.source, entry.user, entry.time});
    return false;
}

std::string PriceLogFollower::KeyOf(const PriceLogFile::Entry &entry) {
    return entry.time + '\n' + entry.source + '\n' + entry.user + '\n' + entry.line + '\n' +
           entry.newPrice;
}

void PriceLogFollower::CheckWatched(std::vector<Change> &changes) {
    std::vector<Watched> watched;
    watched.swap(m_watched);
    for (const Watched &w : watched) {
        PriceLogFile::ReadMark at = m_mark;
        at.offset = w.begin;
        std::string reason;
        std::int64_t read = 0;
        std::optional<PriceLogFile::Entry> found;
        const PriceLogFile::NewLines result = m_log.ReadNew(
            at,
            [&](std::int64_t begin, std::int64_t, PriceLogFile::Entry &&entry) {
                if (begin == w.begin) found = std::move(entry);
            },
            reason, read, w.end);
        m_bytesRead += read;
        // Gone (the file was replaced): the main read starts over.
        if (result != PriceLogFile::NewLines::Read || !found) continue;
        if (Sending(found->outcome)) {
            m_watched.push_back(w);
            continue;
        }
        Take(w.begin, w.end, std::move(*found), false, changes);
    }
}
