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
#include "line_queue.h"

namespace {

using Clock = std::chrono::steady_clock;

// A lock file younger than this with no process id in it is still being written.
constexpr std::chrono::seconds kWritingGrace{2};
// The process id as ten characters and a line end, as every UUCP program writes it.
constexpr std::size_t kOwnerLength = 11;
constexpr std::size_t kLongestFile = kOwnerLength + LineLock::kLongestActivity + 1;

std::string ErrorText(int error) {
    return std::to_string(error) + ") " + std::strerror(error);
}

// The process id of a lock file's text, 0 when it holds none.
int OwnerOf(const std::string &text) {
    char *end = nullptr;
    const long pid = std::strtol(text.c_str(), &end, 10);
    return (end != text.c_str() && pid > 0 && pid <= INT_MAX) ? static_cast<int>(pid) : 0;
}

// The lock file's text, at most kLongestFile bytes of it.
std::string ReadText(int fd) {
    char text[kLongestFile + 1] = {};
    const ssize_t length = FileIo::ReadAt(fd, text, kLongestFile, 0);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

// The second line of a lock file, when it is whole: a holder rewriting it may have left it
// half written for a moment.
std::string ActivityOf(const std::string &text) {
    const std::size_t start = text.find('\n');
    if (start == std::string::npos) return {};
    const std::size_t end = text.find('\n', start + 1);
    return end == std::string::npos ? std::string() : text.substr(start + 1, end - start - 1);
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

// One line of printable text of at most the room of the lock file's second line.
std::string OneLine(const std::string &text) {
    std::string line;
    for (const char c : text) {
        if (line.size() == LineLock::kLongestActivity) break;
        line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    return line;
}

// The lock files this process holds, so that two locks of one process (the workstation's
// and a test's, or two threads') wait for each other like two programs, while a file with
// this process's id that none of them holds is known to be stale.
std::mutex g_heldMutex;
std::set<std::string> g_heldPaths;

void HeldPaths(const std::string &path, bool held) {
    const std::lock_guard<std::mutex> guard(g_heldMutex);
    if (held) {
        g_heldPaths.insert(path);
    } else {
        g_heldPaths.erase(path);
    }
}

bool HeldHere(const std::string &path) {
    const std::lock_guard<std::mutex> guard(g_heldMutex);
    return g_heldPaths.count(path) != 0;
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

std::string LineLock::Describe(const Holder &holder) {
    if (holder.pid == 0) return "another program is using it";
    if (holder.activity.empty()) {
        return "another program (PID " + std::to_string(holder.pid) + ", " + holder.program +
               ") is using it";
    }
    return holder.program + " (PID " + std::to_string(holder.pid) + ") is " + holder.activity;
}

std::string LineLock::BusyText(const Holder &holder, bool othersFirst) const {
    const std::string line = m_portName + " (" + m_devicePath + ") is busy: ";
    // Free for a moment, while a program that began to wait earlier takes it.
    if (othersFirst && holder.pid == 0) return line + "other programs wait for it first";
    // Another lock of this very program (a second window's, a thread's) is no other program.
    if (holder.pid == ::getpid() && holder.activity.empty())
        return line + "this program (PID " + std::to_string(holder.pid) + ", " + holder.program +
               ") is using it";
    return line + Describe(holder);
}

LineLock::Outcome LineLock::Take(std::chrono::milliseconds limit,
                                 const std::function<void()> &waiting,
                                 const std::function<void()> &whileWaiting,
                                 const std::function<bool()> &stop) {
    if (m_held) return Outcome::Taken;
    m_problem.clear();
    const auto deadline = Clock::now() + limit;
    LineQueue queue(m_path);
    bool announced = false;
    bool staleBefore = false;
    std::string told;
    for (;;) {
        // A program that finds others waiting goes behind them, even when the line is free
        // at this moment: otherwise the program that has just let go would take it again
        // ahead of everybody.
        const bool othersFirst = queue.SomeoneFirst();
        Holder holder;
        bool stale = false;
        m_stuck.clear();
        if (!othersFirst) {
            if (TryOnce(holder, stale)) return Outcome::Taken;
            if (!m_problem.empty()) return Outcome::Unavailable;
            // A stale file went: the next attempt may take the line at once. A stale file
            // that could not be removed is waited out like a holder, only a person can put
            // it right.
            if (stale && m_stuck.empty() && !staleBefore) {
                staleBefore = true;
                continue;
            }
        } else {
            holder = ReadHolder();
        }
        staleBefore = false;
        queue.Join();
        const std::string busy = m_stuck.empty() ? BusyText(holder, othersFirst) : m_stuck;
        if (stop && stop()) {
            m_problem = "the wait for " + m_portName + " (" + m_devicePath + ") was stopped";
            return Outcome::Stopped;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            m_problem = busy;
            return Outcome::Busy;
        }
        if (!announced && waiting) waiting();
        announced = true;
        if (m_notice && busy != told) m_notice(busy);
        told = busy;
        const auto pause = m_stuck.empty() ? kPollPeriod : kStuckPollPeriod;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(pause, deadline - now + std::chrono::milliseconds(1)));
        if (whileWaiting) whileWaiting();
    }
}

LineLock::Holder LineLock::ReadHolder() const {
    Holder holder;
    const int fd = FileIo::Open(m_path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return holder;
    const std::string text = ReadText(fd);
    FileIo::Close(fd);
    holder.pid = OwnerOf(text);
    if (holder.pid != 0) {
        holder.program = ProgramName(holder.pid);
        holder.activity = ActivityOf(text);
    }
    return holder;
}

bool LineLock::TryOnce(Holder &holder, bool &stale) {
    holder = Holder{};
    stale = false;
    int fd = FileIo::Open(m_path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
        char owner[16];
        std::snprintf(owner, sizeof owner, "%10d\n", static_cast<int>(::getpid()));
        std::string text = owner;
        if (!m_activity.empty()) text += m_activity + '\n';
        const bool written = FileIo::WriteAll(fd, text.data(), text.size());
        const int error = errno;
        if (!written) {
            FileIo::Close(fd);
            FileIo::Remove(m_path);
            m_problem = "Lock(): write() failed on " + m_path + ": (" + ErrorText(error);
            return false;
        }
        // Kept open, so that what this program does can be rewritten while it holds the
        // line.
        m_fd = fd;
        m_held = true;
        HeldPaths(m_path, true);
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
        stale = true;  // gone meanwhile: the next attempt may take it
        if (errno != ENOENT) RemoveStale("the lock file " + m_path + " " + problem);
        return false;
    }
    // Two programs that find the same stale file must not both take over: the takeover is
    // done under flock() on the old file, and only while the name still refers to that
    // file. A program in the middle of a takeover is waited for like a holder, never
    // blocked on.
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        FileIo::Close(fd);
        return false;
    }
    struct stat opened {};
    struct stat named {};
    const bool same = FileIo::Status(fd, opened) == 0 && ::lstat(m_path.c_str(), &named) == 0 &&
                      opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
    if (!same) {
        FileIo::Close(fd);
        stale = true;
        return false;
    }
    const std::string text = ReadText(fd);
    const int owner = OwnerOf(text);
    const bool beingWritten =
        owner == 0 &&
        std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(named.st_mtime) <
            kWritingGrace;
    if (beingWritten) {
        holder.pid = 0;
    } else if (owner != 0 && (owner == ::getpid() ? HeldHere(m_path) : Running(owner))) {
        holder.pid = owner;
        holder.program = ProgramName(owner);
        holder.activity = ActivityOf(text);
    } else {
        // Stale: its process is gone (or it is our own and no lock of this process holds
        // it, left by a transaction that never ended, or it holds no process id at all).
        stale = true;
        holder.pid = owner;
        holder.program = ProgramName(owner);
        RemoveStale("the lock file " + m_path + " was left by a program that ended" +
                    (owner != 0 ? " (PID " + std::to_string(owner) + ")" : std::string()));
    }
    FileIo::Close(fd);
    return false;
}

void LineLock::RemoveStale(const std::string &what) {
    if (FileIo::Remove(m_path) == 0 || errno == ENOENT) return;
    const int error = errno;
    m_stuck = m_portName + " (" + m_devicePath + ") cannot be locked: " + what +
              ", and it cannot be removed (unlink() failed: (" + ErrorText(error) +
              "); remove it as its owner or as root (sudo rm " + m_path + ") and try again";
}

void LineLock::SetActivity(const std::string &activity) {
    const std::string line = OneLine(activity);
    if (line == m_activity) return;
    m_activity = line;
    if (m_held) WriteActivity();
}

void LineLock::WriteActivity() {
    // The process id stays where it is; only the second line is rewritten. What is shown is
    // for people, so a failure here changes nothing about the lock.
    const std::string text = m_activity.empty() ? std::string() : m_activity + '\n';
    if (!text.empty()) {
        ssize_t written = 0;
        do {
            written = ::pwrite(m_fd, text.data(), text.size(), kOwnerLength);
        } while (written < 0 && errno == EINTR);
    }
    int result = 0;
    do {
        result = ::ftruncate(m_fd, static_cast<off_t>(kOwnerLength + text.size()));
    } while (result < 0 && errno == EINTR);
}

void LineLock::Release() {
    if (!m_held) return;
    m_held = false;
    HeldPaths(m_path, false);
    if (m_fd >= 0) {
        FileIo::Close(m_fd);
        m_fd = -1;
    }
    // Only our own file goes: a file with another owner is not ours to remove.
    std::string problem;
    const int fd = FileIo::OpenRegular(m_path, O_RDONLY, 0, FileIo::Links::Refuse, problem);
    if (fd < 0) return;
    if (OwnerOf(ReadText(fd)) == ::getpid()) {
        FileIo::Remove(m_path);
    }
    FileIo::Close(fd);
}
