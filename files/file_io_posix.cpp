#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "file_io.h"

namespace {

namespace fs = std::filesystem;

// The hops a chain of symbolic links may take, as the kernel allows them (ELOOP beyond).
constexpr int kMostLinks = 40;

std::string CallText(const char *call, int error) {
    return std::string(call) + " failed: (" + std::to_string(error) + ") " + std::strerror(error);
}

bool AllDigits(const std::string &text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Whether a process of that id runs (one of another user's counts too).
bool Running(long long pid) {
    if (pid <= 0 || pid > INT_MAX) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// What stands at path, links followed or not; "" when nothing does.
std::string KindAt(const std::string &path, FileIo::Links links) {
    struct stat status {};
    const int result = links == FileIo::Links::Follow ? ::stat(path.c_str(), &status)
                                                      : ::lstat(path.c_str(), &status);
    return result == 0 ? FileIo::KindOf(status.st_mode) : std::string();
}

}  // namespace

std::optional<FileIo::CallError> FileIo::ReplacementTarget(const fs::path &path, fs::path &target,
                                                           bool &throughLink) {
    target = path;
    throughLink = false;
    for (int hop = 0;; ++hop) {
        struct stat status {};
        if (::lstat(target.c_str(), &status) != 0) {
            // A new file, or a path the calls that follow fail on with their own errno.
            if (errno != ENOENT || !throughLink) return std::nullopt;
            return FileIo::CallError{
                "stat()", ENOENT,
                "is a symbolic link to " + target.string() + ", which does not exist"};
        }
        if (!S_ISLNK(status.st_mode)) {
            if (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)) return std::nullopt;
            return FileIo::CallError{
                "open()", EINVAL,
                (throughLink ? "leads to " + target.string() + ", which is " : std::string("is ")) +
                    FileIo::KindOf(status.st_mode) + ", not a regular file"};
        }
        if (hop == kMostLinks) return FileIo::CallError{"stat()", ELOOP, {}};
        std::error_code error;
        const fs::path next = fs::read_symlink(target, error);
        if (error) return FileIo::CallError{"readlink()", error.value(), {}};
        target = next.is_absolute() ? next : target.parent_path() / next;
        throughLink = true;
    }
}

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

int FileIo::WriteAt(int fd, const void *bytes, std::size_t size, off_t offset) {
    const char *next = static_cast<const char *>(bytes);
    while (size > 0) {
        const ssize_t taken = ::pwrite(fd, next, size, offset);
        if (taken < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        next += taken;
        offset += taken;
        size -= static_cast<std::size_t>(taken);
    }
    return 0;
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

std::string FileIo::KindOf(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFREG:
            return "a regular file";
        case S_IFLNK:
            return "a symbolic link";
        case S_IFIFO:
            return "a named pipe";
        case S_IFCHR:
            return "a character device";
        case S_IFBLK:
            return "a block device";
        case S_IFSOCK:
            return "a socket";
        case S_IFDIR:
            return "a folder";
        default:
            return "not a file";
    }
}

int FileIo::OpenRegular(const std::string &path, int flags, unsigned mode, Links links,
                        std::string &problem) {
    const int all = flags | O_NONBLOCK | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = Open(path, all, mode);
    if (fd < 0) {
        const int error = errno;
        // A FIFO without a reader refuses a non-blocking writer (ENXIO), a folder a writer
        // (EISDIR), a link O_NOFOLLOW (ELOOP): what stands there says more than the errno.
        const std::string kind = error == ENOENT ? std::string() : KindAt(path, links);
        problem = !kind.empty() && kind != "a regular file"
                      ? "is " + kind + ", not a regular file"
                      : "could not be opened (" + CallText("open()", error) + ")";
        errno = error;
        return -1;
    }
    struct stat status {};
    if (Status(fd, status) != 0) {
        const int error = errno;
        Close(fd);
        problem = "could not be examined (" + CallText("fstat()", error) + ")";
        errno = error;
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        Close(fd);
        problem = "is " + KindOf(status.st_mode) + ", not a regular file";
        errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    if ((flags & O_NONBLOCK) == 0) {
        const int state = ::fcntl(fd, F_GETFL);
        if (state >= 0) ::fcntl(fd, F_SETFL, state & ~O_NONBLOCK);
    }
    return fd;
}

bool FileIo::ReadRegular(const std::string &path, std::size_t limit, Links links,
                         std::string &bytes, std::string &problem) {
    bytes.clear();
    const int fd = OpenRegular(path, O_RDONLY, 0, links, problem);
    if (fd < 0) return false;
    const std::string tooLarge = "is larger than " + std::to_string(limit) + " bytes";
    struct stat status {};
    if (Status(fd, status) == 0 && static_cast<std::uintmax_t>(status.st_size) > limit) {
        Close(fd);
        problem = tooLarge;
        errno = EFBIG;
        return false;
    }
    // One byte past the limit catches a file that grew since.
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            Close(fd);
            problem = "could not be read (" + CallText("read()", error) + ")";
            errno = error;
            return false;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > limit) {
            Close(fd);
            bytes.clear();
            problem = tooLarge;
            errno = EFBIG;
            return false;
        }
    }
    Close(fd);
    return true;
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

void FileIo::RemoveLeftoverTemporaries(const std::filesystem::path &target) {
    const std::string prefix = "." + target.filename().string() + ".";
    const std::string suffix = ".tmp";
    std::error_code error;
    for (fs::directory_iterator entry(FolderOf(target), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
            !name.ends_with(suffix)) {
            continue;
        }
        // PID.N between the two
        const std::string middle =
            name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        const std::size_t dot = middle.find('.');
        if (dot == std::string::npos || !AllDigits(middle.substr(0, dot)) ||
            !AllDigits(middle.substr(dot + 1)) || dot > 12) {
            continue;
        }
        if (Running(std::stoll(middle.substr(0, dot)))) continue;
        struct stat status {};
        if (::lstat(entry->path().c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            Remove(entry->path());
        }
    }
}

std::string FileIo::CallError::Text() const {
    return refusal.empty() ? CallText(call, error) : refusal;
}

std::optional<FileIo::CallError> FileIo::ReplaceFile(const std::filesystem::path &path,
                                                     const void *bytes, std::size_t size,
                                                     std::optional<mode_t> newMode) {
    fs::path target;
    bool throughLink = false;
    if (auto refused = ReplacementTarget(path, target, throughLink)) return refused;
    RemoveLeftoverTemporaries(target);

    fs::path temporary;
    int fd = CreateTemporaryBeside(target, newMode.value_or(0666), temporary);
    if (fd < 0) return CallError{"open()", errno, {}};

    const auto fail = [&](const char *call, int error) {
        if (fd >= 0) Close(fd);
        Remove(temporary);
        return CallError{call, error, {}};
    };
    // Permissions someone gave the file (a folder shared with a group, say) stay as they
    // were, unless the file holds secrets and may not be its owner's choice. Should the file
    // system refuse them, the replacement keeps those it was made with.
    struct stat old {};
    if (StatusOf(target, old) == 0 && S_ISREG(old.st_mode) &&
        (!newMode || (!throughLink && old.st_uid == ::geteuid()))) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    if (!WriteAll(fd, bytes, size)) return fail("write()", errno);
    if (Sync(fd) != 0) return fail("fsync()", errno);
    const int closed = Close(fd);
    fd = -1;
    if (closed != 0) return fail("close()", errno);
    if (std::rename(temporary.c_str(), target.c_str()) != 0) return fail("rename()", errno);
    SyncFolder(FolderOf(target));
    return std::nullopt;
}
