#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The workstation's settings file: a profile (INI) file of [section] headers and key=value
// lines. The whole file is held in memory as its lines, so that comments, blank lines,
// unknown lines and sections this program does not use survive a rewrite unchanged.
//
// Reading follows the profile rules the file has always been written with: section and key
// names match without regard to ASCII case, the first matching section and the first
// matching key in it win, values lose surrounding blanks and tabs, then a pair of matching
// double or single quotes around them, and come back cut to kMaxValueLength bytes of the
// file. A missing key, section or file gives the caller's default.
//
// The file is read as bytes: one that is well-formed UTF-8 is UTF-8, any other is in the
// Windows code page 1252, as the installation's Windows programs wrote it. Callers see
// UTF-8 either way; the file is written back in the encoding it was read in, with its byte
// order mark if it had one and every line with the line end it had. New lines take the
// file's first line end; a new file is UTF-8 with LF line ends.
class SettingsFile {
public:
    // A value is read into a 256-byte buffer with its terminator.
    static constexpr std::size_t kMaxValueLength = 255;

    enum class Encoding { kUtf8, kWindows1252 };

    explicit SettingsFile(std::filesystem::path path);

    // The largest file read: a settings file is a few hundred bytes.
    static constexpr std::size_t kLargestFile = 1 << 20;

    // Replaces the content in memory with the file's. A missing file leaves it empty and
    // returns false; so does a file that exists but cannot be read, which Save() then
    // refuses to replace so that its content is not lost. The file may be a symbolic link
    // (it is read and written through it), but only to a regular file of at most
    // kLargestFile bytes: a FIFO would block the read, a device never end it.
    bool Load();
    // Whether the last Load() found a file it could not read; LastError() says why.
    bool Unreadable() const { return m_unreadable; }
    // Replaces the content in memory with a file's bytes, as Load() does with the file's.
    void LoadBytes(std::string_view bytes);

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // Sets a value in memory. A missing section is appended at the end of the file and a
    // missing key at the end of its section; an existing key keeps its line. Line breaks in
    // the value become blanks so that a value never spills into a line of its own, and a
    // value that is itself quoted gets a further pair of quotes, which reading takes off.
    // Returns false, changing nothing, for a name that could not be read back as written.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Writes the content to the file in one atomic replacement: a crash or a full disk
    // leaves either the old file or the new one, never a part of either. Returns false,
    // leaving the old file as it was, when anything fails; LastError() then says what.
    bool Save();

    const std::filesystem::path &Path() const { return m_path; }
    const std::string &LastError() const { return m_lastError; }
    Encoding FileEncoding() const { return m_encoding; }

    // The file's bytes as Save() writes them. A text written into a Windows-1252 file that
    // holds a character the code page lacks turns the file into UTF-8 rather than losing it.
    std::string Text() const;

private:
    struct Line {
        std::string text;  // UTF-8, without its line end
        std::string end;   // "\r\n", "\n", or empty for a last line that had none
    };

    Line NewLine(std::string text) const { return Line{std::move(text), m_newLineEnd}; }

    // The index of the first header of the section, or the line count when there is none.
    std::size_t FindSection(std::string_view section) const;
    std::string CutToValueLength(std::string_view text) const;
    // The platform's half. Reads the whole file, setting m_unreadable and the error when
    // it exists but cannot be read; false as well when it does not exist.
    bool ReadFile(std::string &bytes);
    // Writes text to the file through a temporary beside it.
    bool ReplaceFileWith(const std::string &text);

    std::filesystem::path m_path;
    std::vector<Line> m_lines;
    Encoding m_encoding = Encoding::kUtf8;
    bool m_byteOrderMark = false;
    std::string m_newLineEnd = "\n";
    // Set when Load() found a file it could not read: saving over it would throw its
    // content away.
    bool m_unreadable = false;
    std::string m_lastError;
};
