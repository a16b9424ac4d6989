#include "file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

int FileIo::Open(const std::string &path, int flags, unsigned mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    return fd;
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
        // On Linux the descriptor is released even when close() is interrupted.
        ::close(fd);
    }
}
