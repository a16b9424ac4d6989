// The POSIX half of the NVRAM transfer: reading and replacing image files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "file_io.h"
#include "nvram_transfer.h"

namespace {

std::string ErrorText(int error) {
    return std::strerror(error);
}

// An image is the controller's whole memory, its system password included: a new one is
// for its owner alone, whatever the umask would allow others (a umask can only narrow it).
constexpr mode_t kImageMode = 0600;

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

bool NvramTransfer::CanWriteBeside(const std::string &path, std::string &refused,
                                   std::string &reason) {
    if (IsFolder(path)) {
        refused = path;
        reason = ErrorText(EISDIR);
        return false;
    }
    std::filesystem::path temporary;
    const int fd = FileIo::CreateTemporaryBeside(path, kImageMode, temporary);
    if (fd < 0) {
        reason = ErrorText(errno);
        // The new file is made in the folder, so the folder is what refused it.
        std::filesystem::path folder = std::filesystem::path(path).parent_path();
        if (folder.empty()) folder = ".";
        refused = "in the folder " + folder.string();
        return false;
    }
    FileIo::Close(fd);
    FileIo::Remove(temporary);
    return true;
}

// An existing image is replaced whole by the new one, or not at all; a replaced image keeps
// the permissions its owner gave it (a folder shared with a group, say).
bool NvramTransfer::ReplaceWith(const std::string &path, const std::vector<std::uint8_t> &bytes,
                                std::string &reason) {
    if (const auto failed = FileIo::ReplaceFile(path, bytes.data(), bytes.size(), kImageMode)) {
        reason = ErrorText(failed->error);
        return false;
    }
    return true;
}
