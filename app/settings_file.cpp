#include "settings_file.h"

#include <cerrno>
#include <fstream>
#include <system_error>
#include <utility>

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNames(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
    LineKind kind = LineKind::kOther;
    std::string_view name;
    std::string_view value;
};

// A line is a section header, a key line or anything else (blank lines, comments, text
// this program does not understand), which is kept and skipped.
ParsedLine Parse(std::string_view line) {
    const std::string_view body = Trim(line);
    if (body.empty() || body.front() == ';' || body.front() == '#') {
        return {};
    }
    if (body.front() == '[') {
        const std::size_t close = body.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {LineKind::kSection, Trim(body.substr(1, close - 1)), {}};
    }
    const std::size_t equals = body.find('=');
    if (equals == std::string_view::npos) {
        return {};
    }
    const std::string_view name = Trim(body.substr(0, equals));
    if (name.empty()) {
        return {};
    }
    return {LineKind::kKey, name, Trim(body.substr(equals + 1))};
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t Utf8SequenceLength(char lead) {
    const auto byte = static_cast<unsigned char>(lead);
    if (byte >= 0xC0 && byte <= 0xDF) {
        return 2;
    }
    if (byte >= 0xE0 && byte <= 0xEF) {
        return 3;
    }
    if (byte >= 0xF0 && byte <= 0xF7) {
        return 4;
    }
    return 1;
}

// Cuts to the size of the value buffer. Tags typed on this workstation are UTF-8, so a cut
// that would split a character drops the whole character instead of leaving half of it.
std::string CutToValueLength(std::string_view text) {
    std::size_t end = SettingsFile::kMaxValueLength;
    if (text.size() <= end) {
        return std::string(text);
    }
    if (IsContinuationByte(text[end])) {
        std::size_t lead = end - 1;
        while (lead > end - 4 && IsContinuationByte(text[lead])) {
            --lead;
        }
        if (lead + Utf8SequenceLength(text[lead]) > end) {
            end = lead;
        }
    }
    return std::string(text.substr(0, end));
}

// Names are written as given, so a name that the reader would see differently (split over
// lines, taken for a header or a comment, cut at an equals sign or a bracket) is refused.
bool HasLineBreakOrNul(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsWritableSectionName(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && name.find(']') == std::string_view::npos;
}

bool IsWritableKeyName(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && name.find('=') == std::string_view::npos &&
           name.front() != '[' && name.front() != ';' && name.front() != '#';
}

// A value ends at a NUL as it would in the platform's character buffers, and stays on its
// one line whatever it holds.
std::string OneLineValue(std::string_view value) {
    std::string line(value.substr(0, value.find('\0')));
    for (char &c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return line;
}

std::size_t FindSection(const std::vector<std::string> &lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = Parse(lines[i]);
        if (parsed.kind == LineKind::kSection && EqualNames(parsed.name, section)) {
            return i;
        }
    }
    return lines.size();
}

}  // namespace

SettingsFile::SettingsFile(std::filesystem::path path) : m_path(std::move(path)) {}

bool SettingsFile::Load() {
    m_lines.clear();
    m_unreadable = false;
    m_lastError.clear();

    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(m_path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return false;
    }
    if (status.type() == std::filesystem::file_type::directory) {
        m_unreadable = true;
        SetError("Load()", "open()", static_cast<int>(std::errc::is_a_directory));
        return false;
    }
    errno = 0;
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        m_unreadable = true;
        SetError("Load()", "open()", errno != 0 ? errno : static_cast<int>(std::errc::io_error));
        return false;
    }
    std::string content;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        content.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        m_unreadable = true;
        SetError("Load()", "read()", static_cast<int>(std::errc::io_error));
        return false;
    }

    std::string_view rest(content);
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (rest.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        rest.remove_prefix(kUtf8Bom.size());
    }
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        m_lines.emplace_back(line);
    }
    return true;
}

std::string SettingsFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) {
        return CutToValueLength(defaultValue);
    }
    for (std::size_t i = FindSection(m_lines, section) + 1; i < m_lines.size(); ++i) {
        const ParsedLine parsed = Parse(m_lines[i]);
        if (parsed.kind == LineKind::kSection) {
            break;
        }
        if (parsed.kind == LineKind::kKey && EqualNames(parsed.name, key)) {
            return CutToValueLength(parsed.value);
        }
    }
    return CutToValueLength(defaultValue);
}

bool SettingsFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (!IsWritableSectionName(section) || !IsWritableKeyName(key)) {
        return false;
    }
    const std::string line = std::string(key) + "=" + OneLineValue(value);

    const std::size_t header = FindSection(m_lines, section);
    if (header == m_lines.size()) {
        if (!m_lines.empty() && !Trim(m_lines.back()).empty()) {
            m_lines.emplace_back();
        }
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(line);
        return true;
    }

    // A new key goes after the section's last key rather than after its trailing blank
    // lines and comments, which usually introduce the next section.
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < m_lines.size(); ++i) {
        const ParsedLine parsed = Parse(m_lines[i]);
        if (parsed.kind == LineKind::kSection) {
            break;
        }
        if (parsed.kind != LineKind::kKey) {
            continue;
        }
        if (EqualNames(parsed.name, key)) {
            // The file's own spelling of the key stays.
            m_lines[i] = std::string(parsed.name) + "=" + OneLineValue(value);
            return true;
        }
        insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
    return true;
}

bool SettingsFile::Save() {
    m_lastError.clear();
    if (m_unreadable) {
        m_lastError = "Save(): not written: the existing file could not be read\n";
        return false;
    }
    return ReplaceFileWith(Text());
}

std::string SettingsFile::Text() const {
    std::string text;
    for (const std::string &line : m_lines) {
        text += line;
        text += '\n';
    }
    return text;
}

void SettingsFile::SetError(std::string_view where, std::string_view call, int error) {
    m_lastError = std::string(where) + ": " + std::string(call) + " failed: (" +
                  std::to_string(error) + ") " + std::generic_category().message(error) + "\n";
}
