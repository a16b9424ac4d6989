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

// An image is the controller's whole memory, its system password included: a new one is
// for its owner alone, whatever the umask would allow others (a umask can only narrow it).
constexpr mode_t kImageMode = 0600;

// The reason in a message, after the path: the system's text for a failed call, or what
// the path holds when it is no file to read or write.
std::string Reason(int error, const std::string &problem) {
    return error == EINVAL ? "it " + problem : std::strerror(error);
}

}  // namespace

bool NvramTransfer::ReadImage(const std::string &path, std::vector<std::uint8_t> &bytes,
                              bool &tooLarge, std::string &reason) {
    tooLarge = false;
    // The user chose the file: a link to an image is read through. Anything else than a
    // regular file (a FIFO would block the read) is refused.
    std::string problem;
    const int fd = FileIo::OpenRegular(path, O_RDONLY, 0, FileIo::Links::Follow, problem);
    if (fd < 0) {
        reason = Reason(errno, problem);
        return false;
    }
    struct stat status {};
    if (FileIo::Status(fd, status) == 0 &&
        static_cast<std::uintmax_t>(status.st_size) > kLargestImage) {
        tooLarge = true;
        FileIo::Close(fd);
        return false;
    }

    // Read one byte past the limit, so that a file that grew since is caught as well.
    bytes.assign(kLargestImage + 1, 0);
    std::size_t total = 0;
    while (total < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + total, bytes.size() - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            reason = std::strerror(errno);
            FileIo::Close(fd);
            bytes.clear();
            return false;
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    FileIo::Close(fd);
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
    // Where the image goes: the file itself, or the one a link leads to. A device node, a
    // FIFO or a link that leads nowhere is refused, as the replacement itself would.
    std::filesystem::path target;
    bool throughLink = false;
    if (const auto refusal = FileIo::ReplacementTarget(path, target, throughLink)) {
        refused = path;
        reason = refusal->refusal.empty() ? std::strerror(refusal->error) : "it " + refusal->refusal;
        return false;
    }
    struct stat status {};
    if (FileIo::StatusOf(target, status) == 0 && S_ISDIR(status.st_mode)) {
        refused = path;
        reason = std::strerror(EISDIR);
        return false;
    }
    std::filesystem::path temporary;
    const int fd = FileIo::CreateTemporaryBeside(target, kImageMode, temporary);
    if (fd < 0) {
        reason = std::strerror(errno);
        // The new file is made in the folder, so the folder is what refused it.
        std::filesystem::path folder = target.parent_path();
        if (folder.empty()) folder = ".";
        refused = "in the folder " + folder.string();
        return false;
    }
    FileIo::Close(fd);
    FileIo::Remove(temporary);
    return true;
}

bool NvramTransfer::Exists(const std::string &path) {
    struct stat status {};
    return FileIo::StatusOf(path, status) == 0;
}

// An existing image is replaced whole by the new one, or not at all. A replaced image keeps
// the permissions its owner gave it (a folder shared with a group, say); one reached
// through a link, or another user's, gets those of a new image.
bool NvramTransfer::ReplaceWith(const std::string &path, const std::vector<std::uint8_t> &bytes,
                                std::string &reason) {
    if (const auto failed = FileIo::ReplaceFile(path, bytes.data(), bytes.size(), kImageMode)) {
        reason = failed->refusal.empty() ? std::strerror(failed->error) : "it " + failed->refusal;
        return false;
    }
    return true;
}
