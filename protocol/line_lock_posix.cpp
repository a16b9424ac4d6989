// The line lock on POSIX: a UUCP lock file made with O_EXCL.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "file_io.h"
#include "line_lock.h"

namespace {

using Clock = std::chrono::steady_clock;

// A lock file younger than this with no process id in it is still being written.
constexpr std::chrono::seconds kWritingGrace{2};

std::string ErrorText(int error) {
    return std::to_string(error) + ") " + std::strerror(error);
}

// The process id a lock file holds, 0 when it holds none.
int ReadOwner(int fd) {
    char text[32] = {};
    if (FileIo::ReadAt(fd, text, sizeof text - 1, 0) <= 0) return 0;
    char *end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return (end != text && pid > 0 && pid <= INT_MAX) ? static_cast<int>(pid) : 0;
}

bool Running(int pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// The lock files this process holds, so that one of its own that another lock of it finds
// is told apart from one a process of the same id left long ago.
std::mutex g_heldMutex;
std::set<std::string> g_held;

std::string ProgramName(int pid) {
    std::string name;
    FileIo::ReadAll("/proc/" + std::to_string(pid) + "/comm", name);
    name.erase(std::min(name.find('\n'), name.size()));
    return name.empty() ? "unknown" : name;
}

}  // namespace

LineLock::LineLock(std::string portName, std::string devicePath, std::string directory)
    : m_portName(std::move(portName)),
      m_devicePath(std::move(devicePath)),
      m_path(std::move(directory) + "/" + FileNameFor(m_devicePath)) {}

LineLock::~LineLock() {
    Release();
}

std::string LineLock::FileNameFor(const std::string &devicePath) {
    std::string name = devicePath;
    if (char *resolved = ::realpath(devicePath.c_str(), nullptr)) {
        name = resolved;
        std::free(resolved);
    }
    if (name.rfind("/dev/", 0) == 0) {
        name.erase(0, 5);
    } else if (const std::size_t slash = name.find_last_of('/'); slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    for (char &c : name) {
        if (c == '/') c = '_';
    }
    return "LCK.." + name;
}

LineLock::Outcome LineLock::Take(std::chrono::milliseconds limit,
                                 const std::function<void()> &waiting,
                                 const std::function<bool()> &stop) {
    if (m_held) return Outcome::Taken;
    m_problem.clear();
    m_stuck.clear();
    const auto deadline = Clock::now() + limit;
    bool announced = false;
    for (;;) {
        int holder = kNobody;
        if (TryOnce(holder)) return Outcome::Taken;
        if (!m_problem.empty()) return Outcome::Unavailable;
        if (holder == kNobody) continue;  // a stale file went; try again at once
        if (stop && stop()) {
            m_problem = "the wait for " + m_portName + " (" + m_devicePath + ") was stopped";
            return Outcome::Stopped;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            if (holder == kStuck) {
                m_problem = m_stuck;
            } else {
                const std::string who =
                    holder == ::getpid() ? "this program (PID " : "another program (PID ";
                m_problem =
                    m_portName + " (" + m_devicePath + ") is busy: " +
                    (holder > 0 ? who + std::to_string(holder) + ", " + ProgramName(holder) + ") "
                                : std::string("another program ")) +
                    "is using it";
            }
            return Outcome::Busy;
        }
        if (!announced && waiting) waiting();
        announced = true;
        const auto pause = holder == kStuck ? kStuckPollPeriod : kPollPeriod;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(pause, deadline - now + std::chrono::milliseconds(1)));
    }
}

bool LineLock::TryOnce(int &holder) {
    holder = kNobody;
    // Claimed within the process first: another lock of this process on the same line then
    // waits for this one as for any holder, and never takes our file for a stale one.
    {
        const std::lock_guard<std::mutex> guard(g_heldMutex);
        if (!g_held.insert(m_path).second) {
            holder = ::getpid();
            return false;
        }
    }
    int fd = FileIo::Open(m_path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        const std::lock_guard<std::mutex> guard(g_heldMutex);
        g_held.erase(m_path);
        errno = error;
    }
    if (fd >= 0) {
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
        const bool written = FileIo::WriteAll(fd, text, static_cast<std::size_t>(length));
        const int error = errno;
        FileIo::Close(fd);
        if (!written) {
            FileIo::Remove(m_path);
            const std::lock_guard<std::mutex> guard(g_heldMutex);
            g_held.erase(m_path);
            m_problem = "Lock(): write() failed on " + m_path + ": (" + ErrorText(error);
            return false;
        }
        m_held = true;
        return true;
    }
    if (errno != EEXIST) {
        m_problem = "Lock(): open() failed on " + m_path + ": (" + ErrorText(errno);
        return false;
    }

    // Someone holds it, or held it and died. Never through a link, never waiting on a FIFO
    // put in its place: anything but a regular file is no lock of a program, and goes.
    std::string problem;
    fd = FileIo::OpenRegular(m_path, O_RDONLY, 0, FileIo::Links::Refuse, problem);
    if (fd < 0) {
        if (errno != ENOENT) RemoveStale("the lock file " + m_path + " " + problem, holder);
        return false;  // gone meanwhile: the next attempt may take it
    }
    // Two programs that find the same stale file must not both take over: the takeover is
    // done under flock() on the old file, and only while the name still refers to that
    // file. A program in the middle of a takeover is waited for like a holder.
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        FileIo::Close(fd);
        holder = kSomeone;
        return false;
    }
    struct stat opened {};
    struct stat named {};
    const bool same = FileIo::Status(fd, opened) == 0 && ::lstat(m_path.c_str(), &named) == 0 &&
                      opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
    if (!same) {
        FileIo::Close(fd);
        return false;
    }
    const int owner = ReadOwner(fd);
    const bool beingWritten =
        owner == 0 &&
        std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(named.st_mtime) <
            kWritingGrace;
    // Our own process id is no holder: a lock of this process that held the file would
    // have been found above, so a process of the same id left it, long gone.
    if (beingWritten) {
        holder = kSomeone;
    } else if (owner != 0 && owner != ::getpid() && Running(owner)) {
        holder = owner;
    } else {
        // Stale: its process is gone (or it holds no process id at all).
        RemoveStale("the lock file " + m_path + " was left by a program that ended" +
                        (owner != 0 ? " (PID " + std::to_string(owner) + ")" : std::string()),
                    holder);
    }
    FileIo::Close(fd);
    return false;
}

void LineLock::RemoveStale(const std::string &what, int &holder) {
    if (FileIo::Remove(m_path) == 0 || errno == ENOENT) return;
    const int error = errno;
    m_stuck = m_portName + " (" + m_devicePath + ") cannot be locked: " + what +
              ", and it cannot be removed (unlink() failed: (" + ErrorText(error) +
              "); remove it as its owner or as root (sudo rm " + m_path + ") and try again";
    holder = kStuck;
}

void LineLock::Release() {
    if (!m_held) return;
    m_held = false;
    // Only our own file goes: a file with another owner is not ours to remove.
    std::string problem;
    const int fd = FileIo::OpenRegular(m_path, O_RDONLY, 0, FileIo::Links::Refuse, problem);
    if (fd >= 0) {
        if (ReadOwner(fd) == ::getpid()) {
            FileIo::Remove(m_path);
        }
        FileIo::Close(fd);
    }
    const std::lock_guard<std::mutex> guard(g_heldMutex);
    g_held.erase(m_path);
}
