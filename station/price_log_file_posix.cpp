// The POSIX half of the price log: appending under a lock, reading, exporting, and who
// and when.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file_io.h"
#include "price_log_file.h"

namespace {

std::string Failure(const char *call, int error) {
    return std::string(call) + " failed: (" + std::to_string(error) + ") " + std::strerror(error);
}

// Reads up to size bytes from offset; the count read, or -1.
ssize_t ReadAt(int fd, char *buffer, std::size_t size, off_t offset) {
    ssize_t got;
    do {
        got = ::pread(fd, buffer, size, offset);
    } while (got < 0 && errno == EINTR);
    return got;
}

// Whether the file open on fd starts with our header line. Reads one byte past the header:
// the header must be the whole first line.
bool StartsWithHeader(int fd) {
    const std::string header = PriceLogFile::kHeader;
    std::vector<char> start(header.size() + 2);
    const ssize_t got = ReadAt(fd, start.data(), start.size(), 0);
    if (got < static_cast<ssize_t>(header.size() + 1)) return false;
    if (std::string(start.data(), header.size()) != header) return false;
    const char after = start[header.size()];
    return after == '\n' || (after == '\r' && got > static_cast<ssize_t>(header.size() + 1) &&
                             start[header.size() + 1] == '\n');
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// The open file's size, and whether it is a regular file; false, with the reason, when
// fstat() fails.
bool StatFile(int fd, off_t &size, bool &regular, std::string &reason) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        reason = Failure("fstat()", errno);
        return false;
    }
    regular = S_ISREG(status.st_mode);
    size = status.st_size;
    return true;
}

}  // namespace

PriceLogFile::Kind PriceLogFile::Inspect(const std::filesystem::path &path, std::string &reason) {
    const Descriptor fd(FileIo::Open(path, O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT) return Kind::Missing;
        reason = Failure("open()", errno);
        return Kind::Unreadable;
    }
    off_t size = 0;
    bool regular = false;
    if (!StatFile(fd.Get(), size, regular, reason)) return Kind::Unreadable;
    if (!regular) return Kind::Foreign;
    // An empty file is taken as a log not written yet: the first line gives it its header.
    if (size == 0) return Kind::Ours;
    return StartsWithHeader(fd.Get()) ? Kind::Ours : Kind::Foreign;
}

// The workstation and any number of voxa-ctl runs may append at the same moment. Each
// holds an exclusive flock() from its look at the file to its sync, so the header is
// written once and no line is written into the middle of another's; O_APPEND puts every
// write at the end whatever happened to the file in between.
PriceLogFile::Kind PriceLogFile::AppendLocked(const std::filesystem::path &path,
                                              const std::string &text, std::string &reason) {
    const Descriptor fd(FileIo::Open(path, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (fd.Get() < 0) {
        if (errno == EISDIR) return Kind::Foreign;
        reason = Failure("open()", errno);
        return Kind::Unreadable;
    }
    int locked;
    do {
        locked = ::flock(fd.Get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        reason = Failure("flock()", errno);
        return Kind::Unreadable;
    }
    off_t size = 0;
    bool regular = false;
    if (!StatFile(fd.Get(), size, regular, reason)) return Kind::Unreadable;
    if (!regular) return Kind::Foreign;

    std::string bytes;
    if (size == 0) {
        bytes = std::string(kHeader) + '\n';
    } else {
        if (!StartsWithHeader(fd.Get())) return Kind::Foreign;
        // A line cut short by a crash gets its end first, so that this one starts afresh.
        char last = '\n';
        if (ReadAt(fd.Get(), &last, 1, size - 1) == 1 && last != '\n') bytes = "\n";
    }
    bytes += text;
    if (!FileIo::WriteAll(fd.Get(), bytes.data(), bytes.size())) {
        reason = Failure("write()", errno);
        return Kind::Unreadable;
    }
    if (FileIo::Sync(fd.Get()) != 0) {
        reason = Failure("fsync()", errno);
        return Kind::Unreadable;
    }
    return Kind::Ours;
}

bool PriceLogFile::ReadWhole(const std::filesystem::path &path, std::string &bytes,
                             std::string &reason) {
    const Descriptor fd(FileIo::Open(path, O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        reason = Failure("open()", errno);
        return false;
    }
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            reason = Failure("read()", errno);
            return false;
        }
        if (got == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

bool PriceLogFile::ReplaceWith(const std::filesystem::path &path, const std::string &text,
                               std::string &reason) {
    if (const auto failed = FileIo::ReplaceFile(path, text.data(), text.size())) {
        reason = Failure(failed->call, failed->error);
        return false;
    }
    return true;
}

std::string PriceLogFile::TimeText(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0) return {};
    // strftime writes the offset as +0100; ISO 8601's extended form wants +01:00.
    std::string iso = text;
    if (iso.size() >= 5) iso.insert(iso.size() - 2, ":");
    return iso;
}

std::string PriceLogFile::ProcessUser() {
    const uid_t uid = ::getuid();
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && *found->pw_name != '\0') {
        return found->pw_name;
    }
    if (const char *user = std::getenv("USER"); user != nullptr && *user != '\0') return user;
    return std::to_string(uid);
}
