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
// matching key in it win, values lose surrounding blanks and tabs and come back cut to
// kMaxValueLength bytes. A missing key, section or file gives the caller's default.
class SettingsFile {
public:
    // A value is read into a 256-byte buffer with its terminator.
    static constexpr std::size_t kMaxValueLength = 255;

    explicit SettingsFile(std::filesystem::path path);

    // Replaces the content in memory with the file's. A missing file leaves it empty and
    // returns false; so does a file that exists but cannot be read, which Save() then
    // refuses to replace so that its content is not lost.
    bool Load();

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // Sets a value in memory. A missing section is appended at the end of the file and a
    // missing key at the end of its section; an existing key keeps its line. Line breaks in
    // the value become blanks so that a value never spills into a line of its own. Returns
    // false, changing nothing, for a name that could not be read back as written.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Writes the content to the file in one atomic replacement: a crash or a full disk
    // leaves either the old file or the new one, never a part of either. Returns false,
    // leaving the old file as it was, when anything fails; LastError() then says what.
    bool Save();

    const std::filesystem::path &Path() const { return m_path; }
    const std::string &LastError() const { return m_lastError; }

    // The file's content as Save() writes it.
    std::string Text() const;

private:
    // Writes text to the file through a temporary beside it; the platform's half of Save().
    bool ReplaceFileWith(const std::string &text);
    void SetError(std::string_view where, std::string_view call, int error);

    std::filesystem::path m_path;
    std::vector<std::string> m_lines;
    // Set when Load() found a file it could not read: saving over it would throw its
    // content away.
    bool m_unreadable = false;
    std::string m_lastError;
};
