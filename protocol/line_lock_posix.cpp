// The line lock on POSIX: a UUCP lock file made with O_EXCL.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
                                 const std::function<void()> &whileWaiting) {
    if (m_held) return Outcome::Taken;
    m_problem.clear();
    const auto deadline = Clock::now() + limit;
    bool announced = false;
    for (;;) {
        int holder = 0;
        if (TryOnce(holder)) return Outcome::Taken;
        if (!m_problem.empty()) return Outcome::Unavailable;
        if (holder == 0) continue;  // a stale file went; try again at once
        if (Clock::now() >= deadline) {
            m_problem =
                m_portName + " (" + m_devicePath + ") is busy: another program " +
                (holder > 0 ? "(PID " + std::to_string(holder) + ", " + ProgramName(holder) + ") "
                            : std::string()) +
                "is using it";
            return Outcome::Busy;
        }
        if (!announced && waiting) waiting();
        announced = true;
        std::this_thread::sleep_for(kPollPeriod);
        if (whileWaiting) whileWaiting();
    }
}

bool LineLock::TryOnce(int &holder) {
    holder = 0;
    int fd = FileIo::Open(m_path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
        const bool written = FileIo::WriteAll(fd, text, static_cast<std::size_t>(length));
        const int error = errno;
        FileIo::Close(fd);
        if (!written) {
            FileIo::Remove(m_path);
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

    // Someone holds it, or held it and died. Two programs that find the same stale file
    // must not both take over: the takeover is done under flock() on the old file, and only
    // while the name still refers to that file.
    fd = FileIo::Open(m_path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;  // gone meanwhile: the next attempt may take it
    FileIo::LockExclusive(fd);
    struct stat opened {};
    struct stat named {};
    const bool same = FileIo::Status(fd, opened) == 0 && FileIo::StatusOf(m_path, named) == 0 &&
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
    if (beingWritten) {
        holder = -1;
    } else if (owner != 0 && owner != ::getpid() && Running(owner)) {
        holder = owner;
    } else {
        // Stale: its process is gone (or it is our own, left by a transaction that never
        // ended, or it holds no process id at all).
        FileIo::Remove(m_path);
    }
    FileIo::Close(fd);
    return false;
}

void LineLock::Release() {
    if (!m_held) return;
    m_held = false;
    // Only our own file goes: a file with another owner is not ours to remove.
    const int fd = FileIo::Open(m_path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (ReadOwner(fd) == ::getpid()) {
        FileIo::Remove(m_path);
    }
    FileIo::Close(fd);
}
