// The POSIX half of the settings file: replacing the file on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "settings_file.h"

#include "file_io.h"

namespace {

// Unique within the process; the process id makes it unique beside other workstations that
// share the directory.
std::atomic<unsigned> g_temporaryCounter{0};

int OpenNewFile(const std::filesystem::path &path) {
    return FileIo::Open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

}  // namespace

// The text goes to a new file beside the target and is synced before a rename puts it in
// the target's place: rename() replaces a directory entry in one step, so a reader, or the
// next start after a crash or a full disk, finds either the old file whole or the new one
// whole. Writing the target in place would truncate it first.
bool SettingsFile::ReplaceFileWith(const std::string &text) {
    const std::filesystem::path directory =
        m_path.has_parent_path() ? m_path.parent_path() : std::filesystem::path(".");
    const std::string stem = "." + m_path.filename().string() + "." + std::to_string(::getpid());

    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = directory / (stem + "." + std::to_string(g_temporaryCounter++) + ".tmp");
        fd = OpenNewFile(temporary);
        if (fd < 0 && errno != EEXIST) {
            SetError("Save()", "open()", errno);
            return false;
        }
    }
    if (fd < 0) {
        SetError("Save()", "open()", EEXIST);
        return false;
    }

    const auto fail = [&](const char *call, int error) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        SetError("Save()", call, error);
        return false;
    };

    // The replacement keeps the permissions of the file it replaces; a new file gets the
    // usual ones (0666 less the umask) from open().
    struct stat old {};
    if (::stat(m_path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }

    if (!FileIo::WriteAll(fd, text.data(), text.size())) {
        return fail("write()", errno);
    }
    if (FileIo::Sync(fd) != 0) {
        return fail("fsync()", errno);
    }
    const int closed = ::close(fd);
    fd = -1;
    // On Linux the descriptor is released even when close() is interrupted.
    if (closed != 0 && errno != EINTR) {
        return fail("close()", errno);
    }
    if (std::rename(temporary.c_str(), m_path.c_str()) != 0) {
        return fail("rename()", errno);
    }
    FileIo::SyncFolder(directory);
    return true;
}
