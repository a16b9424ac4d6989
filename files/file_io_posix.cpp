#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "file_io.h"

namespace {

// Unique within the process; the process id in the name makes it unique beside other
// programs that use the same folder.
std::atomic<unsigned> g_temporaryCounter{0};

std::filesystem::path FolderOf(const std::filesystem::path &path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

int FileIo::Open(const std::string &path, int flags, unsigned mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int FileIo::Close(int fd) {
    return (::close(fd) == 0 || errno == EINTR) ? 0 : -1;
}

bool FileIo::WriteAll(int fd, const void *bytes, std::size_t size) {
    const char *next = static_cast<const char *>(bytes);
    while (size > 0) {
        const ssize_t taken = ::write(fd, next, size);
        if (taken < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        next += taken;
        size -= static_cast<std::size_t>(taken);
    }
    return true;
}

ssize_t FileIo::ReadAt(int fd, void *buffer, std::size_t size, off_t offset) {
    ssize_t got;
    do {
        got = ::pread(fd, buffer, size, offset);
    } while (got < 0 && errno == EINTR);
    return got;
}

bool FileIo::ReadAll(const std::string &path, std::string &bytes) {
    bytes.clear();
    const int fd = Open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            const int error = errno;
            Close(fd);
            errno = error;
            return got == 0;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

int FileIo::Sync(int fd) {
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    return result;
}

void FileIo::SyncFolder(const std::string &folder) {
    const int fd = Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        Sync(fd);
        Close(fd);
    }
}

int FileIo::LockExclusive(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    return result;
}

int FileIo::Status(int fd, struct stat &status) {
    return ::fstat(fd, &status);
}

int FileIo::StatusOf(const std::string &path, struct stat &status) {
    return ::stat(path.c_str(), &status);
}

int FileIo::Remove(const std::string &path) {
    int result;
    do {
        result = ::unlink(path.c_str());
    } while (result != 0 && errno == EINTR);
    return result;
}

int FileIo::CreateTemporaryBeside(const std::filesystem::path &target, mode_t mode,
                                  std::filesystem::path &temporary) {
    const std::string stem = "." + target.filename().string() + "." + std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = FolderOf(target) / (stem + "." + std::to_string(g_temporaryCounter++) + ".tmp");
        const int fd = Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

std::optional<FileIo::CallError> FileIo::ReplaceFile(const std::filesystem::path &path,
                                                     const void *bytes, std::size_t size,
                                                     std::optional<mode_t> newMode) {
    std::filesystem::path temporary;
    int fd = CreateTemporaryBeside(path, newMode.value_or(0666), temporary);
    if (fd < 0) return CallError{"open()", errno};

    const auto fail = [&](const char *call, int error) {
        if (fd >= 0) Close(fd);
        Remove(temporary);
        return CallError{call, error};
    };
    // Permissions someone gave the file (a folder shared with a group, say) stay as they
    // were. Should the file system refuse them, the replacement keeps those it was made with.
    struct stat old {};
    if (StatusOf(path, old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    if (!WriteAll(fd, bytes, size)) return fail("write()", errno);
    if (Sync(fd) != 0) return fail("fsync()", errno);
    const int closed = Close(fd);
    fd = -1;
    if (closed != 0) return fail("close()", errno);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) return fail("rename()", errno);
    SyncFolder(FolderOf(path));
    return std::nullopt;
}
