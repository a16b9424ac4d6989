#include "chained_log.h"

#include <algorithm>

#include "sha256.h"

namespace {

std::string Name(const std::filesystem::path &path) {
    return path.filename().string();
}

std::size_t FieldCount(const std::string &header) {
    if (header.empty()) return 0;
    return static_cast<std::size_t>(std::count(header.begin(), header.end(), ',')) + 1;
}

std::string Lines(const std::vector<long> &lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < 5; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(lines[i]);
    }
    if (lines.size() > 5) text += " and " + std::to_string(lines.size() - 5) + " more";
    return text;
}

}  // namespace

ChainedLog::ChainedLog(std::filesystem::path folder, Layout layout)
    : m_folder(std::move(folder)), m_layout(std::move(layout)) {
    // Messages name the file in full: the folder is the program's current one, which the
    // person reading them may not know.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(m_folder, error);
    if (!error) m_folder = absolute.lexically_normal();
    m_fields = FieldCount(m_layout.header);
    m_legacyFields = FieldCount(m_layout.legacyHeader);
    m_path = Candidate(0);
}

std::filesystem::path ChainedLog::Candidate(int number) const {
    if (number == 0) return m_folder / (m_layout.baseName + ".csv");
    return m_folder / (m_layout.baseName + "-" + std::to_string(number) + ".csv");
}

bool ChainedLog::IsLog(const std::filesystem::path &path) const {
    std::error_code error;
    for (int number = 0; number <= m_number; ++number) {
        if (std::filesystem::equivalent(path, Candidate(number), error)) return true;
    }
    return false;
}

bool ChainedLog::SkipForeign(const std::string &why, std::string &notice) {
    const std::filesystem::path foreign = m_path;
    while (m_number < kLastAlternative) {
        m_path = Candidate(++m_number);
        std::string reason;
        if (Inspect(m_path, reason) != Kind::Foreign) {
            notice = Name(foreign) + " is not a VOXA " + m_layout.title + " (" + why +
                     "), so it is left as it is: " + m_layout.content + " are logged in " +
                     Name(m_path) + " instead.";
            return true;
        }
    }
    return false;
}

std::string ChainedLog::Prepare() {
    std::string reason;
    if (Inspect(m_path, reason) != Kind::Foreign) return TakeNotice();
    std::string notice;
    if (!SkipForeign(reason, notice)) {
        notice = "No " + m_layout.title + " can be kept: " + Name(Candidate(0)) + " and every " +
                 m_layout.baseName + "-n.csv up to " + Name(m_path) + " belong to other programs.";
    }
    return notice;
}

std::string ChainedLog::TakeNotice() {
    std::string notice;
    notice.swap(m_notice);
    return notice;
}

std::string ChainedLog::FieldText(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (text.size() > kFieldRoom - 1) {
        std::size_t cut = kFieldRoom - 1;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    return text;
}

std::string ChainedLog::ChainValue(std::string_view carry, std::string_view text) {
    std::string input;
    input.reserve(carry.size() + text.size() + 2);
    input.append(carry);
    input += '\n';
    input.append(text);
    input += '\n';
    return Sha256::Hex(input);
}

std::string ChainedLog::ChainedLine(const CsvText::Row &fields, std::string_view carry) {
    std::string text = CsvText::Line(fields);
    text.pop_back();
    const std::string chain = ChainValue(carry, text);
    return text + ',' + chain + '\n';
}

bool ChainedLog::AppendRow(const CsvText::Row &fields, std::size_t room, Pending *pending) {
    for (;;) {
        std::string reason;
        Place where;
        const Kind kind = AppendLocked(m_path, fields, room, reason, pending, where);
        if (kind == Kind::Ours) {
            Written(where);
            if (pending != nullptr) pending->path = m_path;
            return true;
        }
        if (kind == Kind::Foreign) {
            // Replaced during the session by a file that is not ours: left alone.
            std::string notice;
            if (SkipForeign(reason, notice)) {
                m_notice = notice;
                continue;
            }
            reason = "every name up to " + Name(m_path) + " belongs to another program";
        }
        if (m_problem.empty()) m_problem = m_path.string() + ": " + reason;
        return false;
    }
}

void ChainedLog::Written(const Place &place) {
    m_written.push_back(place);
    if (m_written.size() > kLinesRemembered) m_written.pop_front();
}

bool ChainedLog::Wrote(const ReadMark &mark, std::int64_t offset) const {
    return std::any_of(m_written.begin(), m_written.end(), [&](const Place &place) {
        return place.device == mark.device && place.inode == mark.inode && place.offset == offset;
    });
}

bool ChainedLog::Append(const CsvText::Row &fields) {
    return AppendRow(fields, 0, nullptr);
}

bool ChainedLog::Begin(const CsvText::Row &fields, std::size_t room) {
    m_pending.reset();
    Pending pending;
    if (!AppendRow(fields, room, &pending)) return false;
    m_pending = std::move(pending);
    return true;
}

bool ChainedLog::Complete(const CsvText::Row &fields) {
    if (!m_pending) return false;
    const Pending pending = std::move(*m_pending);
    m_pending.reset();
    std::string reason;
    switch (RewriteLocked(pending, fields, reason)) {
        case Rewrite::Done:
            return true;
        case Rewrite::Failed:
            if (m_problem.empty()) m_problem = pending.path.string() + ": " + reason;
            return false;
        case Rewrite::NotLast:
        case Rewrite::Gone:
            break;
    }
    // Rows follow it (whose chain values rest on it as it is), or it is gone from where it
    // was: the completed row goes at the end.
    return Append(fields);
}

bool ChainedLog::ReadEach(const std::function<void(std::string_view)> &visit,
                          std::string &reason) const {
    bool header = true;
    bool endsWhole = true;
    return ReadLines(
        m_path,
        [&](std::string_view line) {
            if (header) {
                header = false;
                return;
            }
            if (line.find_first_not_of(" \t") != std::string_view::npos) visit(line);
        },
        endsWhole, reason);
}

std::optional<CsvText::Row> ChainedLog::ChainedRow(std::string_view line) const {
    const std::size_t end = line.find_last_not_of(' ');
    if (end == std::string_view::npos) return std::nullopt;
    line = line.substr(0, end + 1);
    const std::size_t comma = line.rfind(',');
    if (comma == std::string_view::npos || !Sha256::IsHex(line.substr(comma + 1)))
        return std::nullopt;
    std::optional<CsvText::Row> row = CsvText::ParseRow(line.substr(0, comma));
    if (!row || row->size() + 1 != m_fields) return std::nullopt;
    return row;
}

bool ChainedLog::Verify(Verdict &verdict, std::string &reason) const {
    verdict = Verdict{};
    std::string carry(kFirstCarry);
    // The chain value without the lines since the last chained row, to tell a line put in
    // afterwards from one the next row's writer found there.
    std::string carryWithout(kFirstCarry);
    long number = 0;
    bool legacy = false;
    std::vector<long> loose;  // since the last chained row
    bool endsWhole = true;
    const bool read = ReadLines(
        m_path,
        [&](std::string_view line) {
            ++number;
            if (number == 1) {
                legacy = !m_layout.legacyHeader.empty() && line == m_layout.legacyHeader;
                return;
            }
            if (line.find_first_not_of(" \t") == std::string_view::npos) return;
            ++verdict.rows;
            if (!verdict.fits) return;
            std::string_view text = line.substr(0, line.find_last_not_of(' ') + 1);
            if (ChainedRow(text)) {
                const std::size_t comma = text.rfind(',');
                const std::string_view chain = text.substr(comma + 1);
                if (chain != ChainValue(carry, text.substr(0, comma))) {
                    verdict.fits = false;
                    // A line put in before this row: the row chains onto the one before it.
                    const bool inserted =
                        !loose.empty() && chain == ChainValue(carryWithout, text.substr(0, comma));
                    verdict.badLine = inserted ? loose.front() : number;
                    return;
                }
                if (verdict.firstChainedLine == 0) verdict.firstChainedLine = number;
                verdict.looseLines.insert(verdict.looseLines.end(), loose.begin(), loose.end());
                loose.clear();
                carry = std::string(chain);
                carryWithout = carry;
                return;
            }
            if (verdict.firstChainedLine == 0 && legacy && loose.empty()) {
                const std::optional<CsvText::Row> row = CsvText::ParseRow(line);
                if (row && row->size() == m_legacyFields) {
                    ++verdict.unchainedRows;
                    carry = ChainValue(carry, line);
                    carryWithout = carry;
                    return;
                }
            }
            loose.push_back(number);
            carry = ChainValue(carry, line);
        },
        endsWhole, reason);
    if (!read) return false;
    if (verdict.fits && !loose.empty()) {
        // One last line without its end is a row cut short as it was written; anything else
        // without a chain value at the end was put there afterwards.
        if (loose.size() == 1 && loose.front() == number && !endsWhole) {
            verdict.cutLine = number;
        } else {
            verdict.fits = false;
            verdict.badLine = loose.front();
        }
    }
    return true;
}

std::string ChainedLog::Verdict::Text(const std::string &name) const {
    if (!fits) {
        return name + ": line " + std::to_string(badLine) +
               " does not fit the chain: it was changed or put in afterwards, or a row before "
               "it was deleted.";
    }
    std::string text = name + ": ";
    if (rows == 0) return text + "no rows yet.";
    text += std::to_string(rows) + (rows == 1 ? " row" : " rows");
    if (firstChainedLine == 0) {
        text +=
            ", none of them chained yet (written by an earlier version); the chain starts "
            "with the next row.";
    } else if (unchainedRows > 0) {
        text += "; the chain starts at line " + std::to_string(firstChainedLine) + " (" +
                std::to_string(unchainedRows) +
                " rows before it were written by an earlier version and are covered as they "
                "stood then) and holds to the end.";
    } else {
        text += "; the chain holds from the first row to the end.";
    }
    if (!looseLines.empty()) {
        text += " Lines " + Lines(looseLines) +
                " carry no chain value of their own (cut short as they were written) and are "
                "covered by the rows after them.";
    }
    if (cutLine != 0) {
        text += " The last line, " + std::to_string(cutLine) +
                ", was cut short as it was written (the program writing it stopped) and is "
                "not checked.";
    }
    return text;
}
