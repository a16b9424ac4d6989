#include "settings_file.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "text_encoding.h"

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
    // Carriage returns left at the end (the file's last line without its line feed, or
    // CR CR LF) end the line as a whole CR LF would: they are not part of the value.
    while (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
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

// Cuts UTF-8 text to a number of bytes; a cut that would split a character drops the whole
// character instead of leaving half of it.
std::string CutUtf8(std::string_view text, std::size_t bytes) {
    std::size_t end = bytes;
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

// Cuts UTF-8 text to a number of characters.
std::string CutToCharacters(std::string_view text, std::size_t characters) {
    std::size_t end = 0;
    for (std::size_t counted = 0; end < text.size() && counted < characters; ++counted) {
        end += std::min(Utf8SequenceLength(text[end]), text.size() - end);
    }
    return std::string(text.substr(0, end));
}

// The profile functions take a value out of one pair of matching quotes.
std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool IsQuoted(std::string_view value) {
    return Unquoted(value).size() != value.size();
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

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
// one line whatever it holds. A value that reading would change (one in quotes of its own,
// or with blanks at either end) goes into quotes, which reading takes off again.
std::string OneLineValue(std::string_view value) {
    std::string line(value.substr(0, value.find('\0')));
    for (char &c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return IsQuoted(line) || Trim(line).size() != line.size() ? "\"" + line + "\"" : line;
}

}  // namespace

std::size_t SettingsFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const ParsedLine parsed = Parse(m_lines[i].text);
        if (parsed.kind == LineKind::kSection && EqualNames(parsed.name, section)) {
            return i;
        }
    }
    return m_lines.size();
}

// A value fills at most 255 bytes of the file: in a Windows-1252 file a character is one
// byte, in UTF-8 it may be more.
std::string SettingsFile::CutToValueLength(std::string_view text) const {
    return m_encoding == Encoding::kWindows1252 ? CutToCharacters(text, kMaxValueLength)
                                                : CutUtf8(text, kMaxValueLength);
}

SettingsFile::SettingsFile(std::filesystem::path path) : m_path(std::move(path)) {}

bool SettingsFile::Load() {
    m_lines.clear();
    m_unreadable = false;
    m_lastError.clear();
    m_encoding = Encoding::kUtf8;
    m_byteOrderMark = false;
    m_newLineEnd = "\n";

    std::string content;
    if (!ReadFile(content)) {
        return false;
    }
    LoadBytes(content);
    return true;
}

void SettingsFile::LoadBytes(std::string_view bytes) {
    m_lines.clear();
    m_encoding = Encoding::kUtf8;
    m_byteOrderMark = false;
    m_newLineEnd = "\n";
    if (bytes.starts_with(kUtf8Bom)) {
        m_byteOrderMark = true;
        bytes.remove_prefix(kUtf8Bom.size());
    }
    std::string text;
    if (TextEncoding::IsUtf8(bytes)) {
        text = bytes;
    } else {
        m_encoding = Encoding::kWindows1252;
        text = TextEncoding::Windows1252ToUtf8(bytes);
    }
    // Carriage return and line feed are the same bytes in both encodings.
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t newline = rest.find('\n');
        Line line;
        if (newline == std::string_view::npos) {
            line.text = rest;
            rest = {};
        } else {
            const bool crlf = newline > 0 && rest[newline - 1] == '\r';
            line.text = rest.substr(0, crlf ? newline - 1 : newline);
            line.end = crlf ? "\r\n" : "\n";
            rest.remove_prefix(newline + 1);
        }
        m_lines.push_back(std::move(line));
    }
    if (!m_lines.empty() && !m_lines.front().end.empty()) {
        m_newLineEnd = m_lines.front().end;
    }
}

std::string SettingsFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) {
        return CutToValueLength(defaultValue);
    }
    for (std::size_t i = FindSection(section) + 1; i < m_lines.size(); ++i) {
        const ParsedLine parsed = Parse(m_lines[i].text);
        if (parsed.kind == LineKind::kSection) {
            break;
        }
        if (parsed.kind == LineKind::kKey && EqualNames(parsed.name, key)) {
            return CutToValueLength(Unquoted(parsed.value));
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

    const std::size_t header = FindSection(section);
    if (header == m_lines.size()) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty()) {
            m_lines.push_back(NewLine(""));
        }
        m_lines.push_back(NewLine("[" + std::string(section) + "]"));
        m_lines.push_back(NewLine(line));
        return true;
    }

    // A new key goes after the section's last key rather than after its trailing blank
    // lines and comments, which usually introduce the next section.
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < m_lines.size(); ++i) {
        const ParsedLine parsed = Parse(m_lines[i].text);
        if (parsed.kind == LineKind::kSection) {
            break;
        }
        if (parsed.kind != LineKind::kKey) {
            continue;
        }
        if (EqualNames(parsed.name, key)) {
            // The file's own spelling of the key stays, and so does its line end.
            m_lines[i].text = std::string(parsed.name) + "=" + OneLineValue(value);
            return true;
        }
        insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), NewLine(line));
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
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        text += m_lines[i].text;
        // A last line without a line end gets one when lines were added after it.
        text += m_lines[i].end.empty() && i + 1 < m_lines.size() ? m_newLineEnd : m_lines[i].end;
    }
    // A Windows-1252 file stays one, unless a character has no byte there, or its bytes
    // would read as UTF-8 next time (once a write took out the only bytes that UTF-8 does
    // not allow) and so read back as other characters: the file then becomes UTF-8.
    if (m_encoding == Encoding::kWindows1252) {
        if (std::optional<std::string> bytes = TextEncoding::Utf8ToWindows1252(text);
            bytes && (*bytes == text || !TextEncoding::IsUtf8(*bytes))) {
            text = std::move(*bytes);
        }
    }
    return m_byteOrderMark ? std::string(kUtf8Bom) + text : text;
}
