// The POSIX half of the settings file: reading it, and replacing the file on disk.
#include <cerrno>

#include "file_io.h"
#include "settings_file.h"

bool SettingsFile::ReadFile(std::string &bytes) {
    std::string problem;
    if (FileIo::ReadRegular(m_path, kLargestFile, FileIo::Links::Follow, bytes, problem)) {
        return true;
    }
    if (errno == ENOENT || errno == ENOTDIR) {
        return false;  // no such file
    }
    m_unreadable = true;
    m_lastError = "Load(): " + m_path.string() + " " + problem + "\n";
    return false;
}

// A reader, or the next start after a crash or a full disk, finds either the old file whole
// or the new one whole; a replaced file keeps its permissions, a new one gets the usual
// ones (0666 less the umask). A file that is a symbolic link is written through it.
bool SettingsFile::ReplaceFileWith(const std::string &text) {
    if (const auto failed = FileIo::ReplaceFile(m_path, text.data(), text.size())) {
        m_lastError = "Save(): " + failed->Text() + "\n";
        return false;
    }
    return true;
}
