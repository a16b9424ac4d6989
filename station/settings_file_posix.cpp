// The POSIX half of the settings file: replacing the file on disk.
#include "file_io.h"
#include "settings_file.h"

// A reader, or the next start after a crash or a full disk, finds either the old file whole
// or the new one whole; a replaced file keeps its permissions, a new one gets the usual
// ones (0666 less the umask).
bool SettingsFile::ReplaceFileWith(const std::string &text) {
    if (const auto failed = FileIo::ReplaceFile(m_path, text.data(), text.size())) {
        SetError("Save()", failed->call, failed->error);
        return false;
    }
    return true;
}
