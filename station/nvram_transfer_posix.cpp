// The POSIX half of the NVRAM transfer: reading and replacing image files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "nvram_transfer.h"

#include "file_io.h"

namespace {

// Unique within the process; the process id makes it unique beside other programs that
// save into the same folder.
std::atomic<unsigned> g_temporaryCounter{0};

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::filesystem::path FolderOf(const std::filesystem::path &path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// An image is the controller's whole memory, its system password included: a new one is
// for its owner alone, whatever the umask would allow others (a umask can only narrow it).
constexpr mode_t kImageMode = 0600;

// A new file beside path, created exclusively with kImageMode. Returns its descriptor, or
// -1 with errno set.
int CreateTemporaryBeside(const std::filesystem::path &path, std::filesystem::path &temporary) {
    const std::string stem = "." + path.filename().string() + "." + std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = FolderOf(path) / (stem + "." + std::to_string(g_temporaryCounter++) + ".tmp");
        const int fd =
            FileIo::Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kImageMode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool IsFolder(const std::string &path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

bool NvramTransfer::ReadImage(const std::string &path, std::vector<std::uint8_t> &bytes,
                              bool &tooLarge, std::string &reason) {
    tooLarge = false;
    const int fd = FileIo::Open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = ErrorText(errno);
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        reason = ErrorText(errno);
        ::close(fd);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        reason = ErrorText(EISDIR);
        ::close(fd);
        return false;
    }
    if (S_ISREG(status.st_mode) && static_cast<std::uintmax_t>(status.st_size) > kLargestImage) {
        tooLarge = true;
        ::close(fd);
        return false;
    }

    // Read one byte past the limit, so that a file that grew since, or a device with no
    // size, is caught as well.
    bytes.assign(kLargestImage + 1, 0);
    std::size_t total = 0;
    while (total < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + total, bytes.size() - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            reason = ErrorText(errno);
            ::close(fd);
            bytes.clear();
            return false;
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (total > kLargestImage) {
        tooLarge = true;
        bytes.clear();
        return false;
    }
    bytes.resize(total);
    return true;
}

bool NvramTransfer::CanWriteBeside(const std::string &path, std::string &reason) {
    if (IsFolder(path)) {
        reason = ErrorText(EISDIR);
        return false;
    }
    std::filesystem::path temporary;
    const int fd = CreateTemporaryBeside(path, temporary);
    if (fd < 0) {
        reason = ErrorText(errno);
        return false;
    }
    ::close(fd);
    ::unlink(temporary.c_str());
    return true;
}

// The image goes to a new file beside the target and is synced before a rename puts it in
// the target's place: rename() replaces a directory entry in one step, so an existing image
// is replaced whole by the new one, or not at all.
bool NvramTransfer::ReplaceWith(const std::string &path, const std::vector<std::uint8_t> &bytes,
                                std::string &reason) {
    std::filesystem::path temporary;
    int fd = CreateTemporaryBeside(path, temporary);
    if (fd < 0) {
        reason = ErrorText(errno);
        return false;
    }
    const auto fail = [&](int error) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        reason = ErrorText(error);
        return false;
    };
    // An image replaced keeps the permissions its owner gave it (a folder shared with a
    // group, say). Should the file system refuse them, the new image stays private.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 0777);
    }
    if (!FileIo::WriteAll(fd, bytes.data(), bytes.size())) return fail(errno);
    if (FileIo::Sync(fd) != 0) return fail(errno);
    const int closed = ::close(fd);
    fd = -1;
    // On Linux the descriptor is released even when close() is interrupted.
    if (closed != 0 && errno != EINTR) return fail(errno);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) return fail(errno);

    // Makes the rename itself durable; some file systems cannot sync a folder, and the
    // image is complete on disk either way.
    FileIo::SyncFolder(FolderOf(path));
    return true;
}
