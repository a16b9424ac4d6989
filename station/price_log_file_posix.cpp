// The POSIX half of the price log: appending under a lock, reading, exporting, and who
// and when.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "file_io.h"
#include "price_log_file.h"

namespace {

std::string Failure(const char *call, int error) {
    return std::string(call) + " failed: (" + std::to_string(error) + ") " + std::strerror(error);
}

// Whether the file open on fd starts with our header line. Reads one byte past the header:
// the header must be the whole first line.
bool StartsWithHeader(int fd) {
    const std::string header = PriceLogFile::kHeader;
    std::vector<char> start(header.size() + 2);
    const ssize_t got = FileIo::ReadAt(fd, start.data(), start.size(), 0);
    if (got < static_cast<ssize_t>(header.size() + 1)) return false;
    if (std::string(start.data(), header.size()) != header) return false;
    const char after = start[header.size()];
    return after == '\n' || (after == '\r' && got > static_cast<ssize_t>(header.size() + 1) &&
                             start[header.size() + 1] == '\n');
}

bool Blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
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

// What opening the log found besides a file of ours.
enum class Found { Log, Nothing, NotOurs, Failure };

// Opens the log: never through a link, never waiting on a FIFO or a device in its place.
// found tells what stood there when the open fails, and reason why.
int OpenLog(const std::filesystem::path &path, int flags, Found &found, std::string &reason) {
    std::string problem;
    const int fd = FileIo::OpenRegular(path, flags, 0666, FileIo::Links::Refuse, problem);
    if (fd >= 0) {
        found = Found::Log;
        return fd;
    }
    const int error = errno;
    if (error == ENOENT) {
        found = Found::Nothing;
        reason = Failure("open()", error);
    } else if (error == EINVAL || error == EISDIR || error == ELOOP) {
        found = Found::NotOurs;
        reason = "it " + problem;
    } else {
        found = Found::Failure;
        reason = Failure("open()", error);
    }
    return -1;
}

bool Locked(int fd, std::string &reason) {
    if (FileIo::LockExclusive(fd) != 0) {
        reason = Failure("flock()", errno);
        return false;
    }
    return true;
}

}  // namespace

PriceLogFile::Kind PriceLogFile::Inspect(const std::filesystem::path &path, std::string &reason) {
    Found found = Found::Log;
    const Descriptor fd(OpenLog(path, O_RDONLY, found, reason));
    if (found == Found::Nothing) return Kind::Missing;
    if (found == Found::NotOurs) return Kind::Foreign;
    if (found == Found::Failure) return Kind::Unreadable;
    off_t size = 0;
    bool regular = false;
    if (!StatFile(fd.Get(), size, regular, reason)) return Kind::Unreadable;
    // An empty file is taken as a log not written yet: the first line gives it its header.
    if (size == 0) return Kind::Ours;
    if (StartsWithHeader(fd.Get())) return Kind::Ours;
    reason = "its first line is not the log's header";
    return Kind::Foreign;
}

// The workstation and any number of voxa-ctl runs may append at the same moment. Each
// holds an exclusive flock() from its look at the file to its sync, so the header is
// written once and no line is written into the middle of another's; O_APPEND puts every
// write at the end whatever happened to the file in between.
PriceLogFile::Kind PriceLogFile::AppendLocked(const std::filesystem::path &path,
                                              const std::string &text, std::string &reason,
                                              Place *place) {
    Found found = Found::Log;
    const Descriptor fd(OpenLog(path, O_RDWR | O_APPEND | O_CREAT, found, reason));
    if (found == Found::NotOurs) return Kind::Foreign;
    if (found != Found::Log) return Kind::Unreadable;
    if (!Locked(fd.Get(), reason)) return Kind::Unreadable;
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        reason = Failure("fstat()", errno);
        return Kind::Unreadable;
    }
    const off_t size = status.st_size;

    std::string bytes;
    if (size == 0) {
        bytes = std::string(kHeader) + '\n';
    } else {
        if (!StartsWithHeader(fd.Get())) {
            reason = "its first line is not the log's header";
            return Kind::Foreign;
        }
        // A line cut short by a crash gets its end first, so that this one starts afresh.
        char last = '\n';
        if (FileIo::ReadAt(fd.Get(), &last, 1, size - 1) == 1 && last != '\n') bytes = "\n";
    }
    bytes += text;
    if (!FileIo::WriteAll(fd.Get(), bytes.data(), bytes.size())) {
        reason = Failure("write()", errno);
        // A line that went in part of the way (a full disk, a file size limit) would leave
        // the next line inside its open quote: the file goes back to where it was.
        while (::ftruncate(fd.Get(), size) != 0 && errno == EINTR) {
        }
        return Kind::Unreadable;
    }
    if (FileIo::Sync(fd.Get()) != 0) {
        reason = Failure("fsync()", errno);
        return Kind::Unreadable;
    }
    if (place != nullptr) {
        place->device = status.st_dev;
        place->inode = status.st_ino;
        place->offset = static_cast<std::int64_t>(size + bytes.size() - text.size());
    }
    return Kind::Ours;
}

bool PriceLogFile::RewriteLocked(const std::filesystem::path &path, const Place &place,
                                 const std::string &pending, const std::string &finished,
                                 std::size_t unpaddedLength, std::string &reason) {
    Found found = Found::Log;
    // Not O_APPEND: on Linux that puts even a pwrite() at the end.
    const Descriptor fd(OpenLog(path, O_RDWR, found, reason));
    if (found != Found::Log) {
        reason.clear();
        return false;
    }
    if (!Locked(fd.Get(), reason)) return false;
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        reason = Failure("fstat()", errno);
        return false;
    }
    const off_t offset = static_cast<off_t>(place.offset);
    const off_t end = offset + static_cast<off_t>(pending.size());
    std::string there(pending.size(), '\0');
    if (status.st_dev != place.device || status.st_ino != place.inode || status.st_size < end ||
        FileIo::ReadAt(fd.Get(), there.data(), there.size(), offset) !=
            static_cast<ssize_t>(there.size()) ||
        there != pending) {
        return false;
    }
    // One write of the same length: the line is whole before, after, and should the program
    // stop in the middle of what follows.
    if (FileIo::WriteAt(fd.Get(), finished.data(), finished.size(), offset) != 0) {
        reason = Failure("pwrite()", errno);
        return false;
    }
    // The last line loses its padding: the line end moves up, leaving blanks after it that a
    // reader passes over, and the file is cut after it.
    if (status.st_size == end && unpaddedLength < finished.size()) {
        const off_t newEnd = offset + static_cast<off_t>(unpaddedLength);
        if (FileIo::WriteAt(fd.Get(), "\n", 1, newEnd - 1) == 0) {
            while (::ftruncate(fd.Get(), newEnd) != 0 && errno == EINTR) {
            }
        }
    }
    if (FileIo::Sync(fd.Get()) != 0) {
        reason = Failure("fsync()", errno);
        return false;
    }
    return true;
}

bool PriceLogFile::ReadLines(const std::filesystem::path &path,
                             const std::function<void(std::string_view)> &each,
                             std::string &reason) {
    Found found = Found::Log;
    const Descriptor fd(OpenLog(path, O_RDONLY, found, reason));
    if (found != Found::Log) {
        if (found == Found::Nothing) {
            reason.clear();
            return true;
        }
        return false;
    }
    // A piece at a time, so that a log of any length is read in the same little memory.
    std::vector<char> buffer(65536);
    std::string line;
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            reason = Failure("read()", errno);
            return false;
        }
        if (got == 0) break;
        std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
        for (std::size_t newline; (newline = piece.find('\n')) != std::string_view::npos;) {
            line.append(piece.substr(0, newline));
            if (!line.empty() && line.back() == '\r') line.pop_back();
            each(line);
            line.clear();
            piece.remove_prefix(newline + 1);
        }
        line.append(piece);
    }
    if (!line.empty()) each(line);
    return true;
}

PriceLogFile::NewLines PriceLogFile::ReadNew(
    ReadMark &mark, const std::function<void(std::int64_t, std::int64_t, Entry &&)> &visit,
    std::string &reason, std::int64_t &read, std::int64_t until) const {
    read = 0;
    Found found = Found::Log;
    const Descriptor fd(OpenLog(m_path, O_RDONLY, found, reason));
    if (found == Found::Nothing) {
        reason.clear();
        if (mark.path != m_path || mark.device != 0) {
            mark = ReadMark{m_path};
            return NewLines::Replaced;
        }
        return NewLines::Read;
    }
    if (found == Found::NotOurs) return NewLines::NotOurs;
    if (found != Found::Log) return NewLines::Failed;
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        reason = Failure("fstat()", errno);
        return NewLines::Failed;
    }
    if (mark.path != m_path || mark.device != status.st_dev || mark.inode != status.st_ino ||
        mark.offset > status.st_size) {
        mark = ReadMark{m_path, status.st_dev, status.st_ino, 0};
        return NewLines::Replaced;
    }
    if (status.st_size == 0) return NewLines::Read;
    if (!StartsWithHeader(fd.Get())) return NewLines::NotOurs;

    const std::int64_t end = std::min<std::int64_t>(status.st_size, until);
    std::int64_t at = mark.offset;
    std::int64_t lineStart = at;
    // The header, when reading from the start, is the first whole line: passed over.
    bool header = mark.offset == 0;
    std::vector<char> buffer(65536);
    std::string line;
    while (at < end) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(end - at, buffer.size()));
        const ssize_t got = FileIo::ReadAt(fd.Get(), buffer.data(), want, at);
        if (got < 0) {
            reason = Failure("pread()", errno);
            return NewLines::Failed;
        }
        if (got == 0) break;
        read += got;
        std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
        std::int64_t pieceStart = at;
        for (std::size_t newline; (newline = piece.find('\n')) != std::string_view::npos;) {
            line.append(piece.substr(0, newline));
            const std::int64_t lineEnd = pieceStart + static_cast<std::int64_t>(newline) + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!header && !Blank(line)) visit(lineStart, lineEnd, EntryOf(line));
            header = false;
            line.clear();
            mark.offset = lineEnd;
            lineStart = lineEnd;
            piece.remove_prefix(newline + 1);
            pieceStart = lineEnd;
        }
        line.append(piece);
        at += got;
    }
    return NewLines::Read;
}

PriceLogFile::NewLines PriceLogFile::MarkLastLine(ReadMark &mark, std::string &reason) const {
    Found found = Found::Log;
    const Descriptor fd(OpenLog(m_path, O_RDONLY, found, reason));
    if (found == Found::Nothing) {
        reason.clear();
        mark = ReadMark{m_path};
        return NewLines::Read;
    }
    if (found == Found::NotOurs) return NewLines::NotOurs;
    if (found != Found::Log) return NewLines::Failed;
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        reason = Failure("fstat()", errno);
        return NewLines::Failed;
    }
    mark = ReadMark{m_path, status.st_dev, status.st_ino, 0};
    if (status.st_size == 0) return NewLines::Read;
    if (!StartsWithHeader(fd.Get())) return NewLines::NotOurs;
    const std::int64_t size = status.st_size;
    const std::int64_t from = std::max<std::int64_t>(0, size - kTailRoom);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    const ssize_t got = FileIo::ReadAt(fd.Get(), tail.data(), tail.size(), from);
    if (got < 0) {
        reason = Failure("pread()", errno);
        return NewLines::Failed;
    }
    tail.resize(static_cast<std::size_t>(got));
    // The last line end, and the one before it: the last whole line lies between.
    const std::size_t last = tail.rfind('\n');
    if (last == std::string::npos) {
        // No line end in the tail: a line longer than the tail, or a header being written.
        mark.offset = from;
        return NewLines::Read;
    }
    const std::size_t before = last == 0 ? std::string::npos : tail.rfind('\n', last - 1);
    if (before == std::string::npos) {
        // The header is the only line, or the tail starts inside the last line.
        mark.offset = from == 0 ? static_cast<std::int64_t>(last) + 1 : from;
        return NewLines::Read;
    }
    mark.offset = from + static_cast<std::int64_t>(before) + 1;
    return NewLines::Read;
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
