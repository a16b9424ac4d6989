// The line queue on POSIX: read locks on a file nobody writes to.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "file_io.h"
#include "line_queue.h"

namespace {

constexpr const char *kLockPrefix = "LCK";
constexpr const char *kQueuePrefix = "voxa-queue";
// Every user's programs must be able to read the queue to take a place in it.
constexpr mode_t kQueueMode = 0644;
constexpr int kOpenFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Nanoseconds on the clock every process of the machine shares, never the same twice in
// this process.
off_t Ticket() {
    static std::atomic<off_t> last{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    off_t ticket = static_cast<off_t>(now.tv_sec) * 1000000000 + now.tv_nsec + 1;
    off_t previous = last.load();
    do {
        ticket = std::max(ticket, previous + 1);
    } while (!last.compare_exchange_weak(previous, ticket));
    return ticket;
}

// Opens the queue file, making it when there is none. An existing file is opened without
// O_CREAT: in a sticky folder such as /run/lock, the kernel refuses O_CREAT on another
// user's file (fs.protected_regular) even when it exists.
int OpenQueue(const std::string &path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = FileIo::Open(path, kOpenFlags);
        if (fd >= 0 || errno != ENOENT) return fd;
        const int made = FileIo::Open(path, kOpenFlags | O_CREAT | O_EXCL, kQueueMode);
        if (made >= 0 || errno != EEXIST) return made;
    }
    return -1;
}

bool Lock(int fd, short type, int command, off_t start, off_t length, flock &found) {
    found = flock{};
    found.l_type = type;
    found.l_whence = SEEK_SET;
    found.l_start = start;
    found.l_len = length;
    int result = 0;
    do {
        result = ::fcntl(fd, command, &found);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

}  // namespace

LineQueue::LineQueue(const std::string &lockPath) {
    const std::size_t slash = lockPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : lockPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? lockPath : lockPath.substr(slash + 1);
    m_fd = OpenQueue(folder + FileNameFor(name));
    if (m_fd < 0) return;
    struct stat status {};
    if (FileIo::Status(m_fd, status) != 0 || !S_ISREG(status.st_mode)) {
        // Something planted under its name (a link is refused by O_NOFOLLOW already).
        FileIo::Close(m_fd);
        m_fd = -1;
        return;
    }
    if (status.st_uid == ::geteuid() && (status.st_mode & 07777) != kQueueMode) {
        ::fchmod(m_fd, kQueueMode);  // made under a strict umask: others could not queue
    }
}

LineQueue::~LineQueue() {
    if (m_fd >= 0) FileIo::Close(m_fd);
}

void LineQueue::Join() {
    if (m_fd < 0 || m_ticket > 0) return;
    const off_t ticket = Ticket();
    flock place{};
    if (Lock(m_fd, F_RDLCK, F_OFD_SETLK, ticket, 1, place)) m_ticket = ticket;
}

void LineQueue::Leave() {
    if (m_fd < 0 || m_ticket == 0) return;
    flock place{};
    Lock(m_fd, F_UNLCK, F_OFD_SETLK, m_ticket, 1, place);
    m_ticket = 0;
}

bool LineQueue::SomeoneFirst() const {
    if (m_fd < 0) return false;
    // A write lock over every place before ours (or every place at all, length 0) would
    // conflict with any read lock there; the kernel names the first one it finds.
    flock found{};
    if (!Lock(m_fd, F_WRLCK, F_OFD_GETLK, 0, m_ticket, found)) return false;
    return found.l_type != F_UNLCK;
}

std::string LineQueue::FileNameFor(const std::string &lockFileName) {
    const std::string prefix = kLockPrefix;
    return kQueuePrefix + (lockFileName.rfind(prefix, 0) == 0 ? lockFileName.substr(prefix.size())
                                                              : "." + lockFileName);
}
