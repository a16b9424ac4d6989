// The POSIX half of the logs: appending under a lock, completing in place, reading.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "chained_log.h"
#include "file_io.h"

namespace {

std::string Failure(const char *call, int error) {
    return std::string(call) + " failed: (" + std::to_string(error) + ") " + std::strerror(error);
}

// Whether the file open on fd starts with header as its whole first line. Reads one byte
// past the header.
bool StartsWith(int fd, const std::string &header) {
    if (header.empty()) return false;
    std::vector<char> start(header.size() + 2);
    const ssize_t got = FileIo::ReadAt(fd, start.data(), start.size(), 0);
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

// The lines of a piece of a file, without their ends; the piece ends with a whole line or
// with the file's last, unended one.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool Blank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The furthest back the search for the last chained row reads before it reads the whole file
// instead: many rows of the longest kind.
constexpr std::int64_t kTailRoom = 256 * 1024;

}  // namespace

bool ChainedLog::HasHeader(int fd) const {
    return StartsWith(fd, m_layout.header) || StartsWith(fd, m_layout.legacyHeader);
}

ChainedLog::Kind ChainedLog::Inspect(const std::filesystem::path &path, std::string &reason) const {
    Found found = Found::Log;
    const Descriptor fd(OpenLog(path, O_RDONLY, found, reason));
    if (found == Found::Nothing) return Kind::Missing;
    if (found == Found::NotOurs) return Kind::Foreign;
    if (found == Found::Failure) return Kind::Unreadable;
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        reason = Failure("fstat()", errno);
        return Kind::Unreadable;
    }
    // An empty file is taken as a log not written yet: the first row gives it its header.
    if (status.st_size == 0) return Kind::Ours;
    if (HasHeader(fd.Get())) return Kind::Ours;
    reason = "its first line is not the log's header";
    return Kind::Foreign;
}

bool ChainedLog::CarryAtEnd(int fd, std::int64_t size, std::string &carry,
                            std::string &reason) const {
    // The last chained row is nearly always in the last few lines; a log of an earlier version
    // with no chained row yet is read whole, once.
    const std::int64_t from = std::max<std::int64_t>(0, size - kTailRoom);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    if (FileIo::ReadAt(fd, tail.data(), tail.size(), from) != static_cast<ssize_t>(tail.size())) {
        reason = Failure("pread()", errno);
        return false;
    }
    std::vector<std::string_view> lines = SplitLines(tail);
    // The first line of a piece that starts inside the file may be part of one; the header
    // of one that starts at the beginning is no row.
    if (!lines.empty()) lines.erase(lines.begin());
    std::size_t start = lines.size();
    while (start > 0 && !ChainedRow(lines[start - 1])) --start;
    if (start == 0 && from > 0) {
        std::string whole(static_cast<std::size_t>(size), '\0');
        if (FileIo::ReadAt(fd, whole.data(), whole.size(), 0) !=
            static_cast<ssize_t>(whole.size())) {
            reason = Failure("pread()", errno);
            return false;
        }
        tail.swap(whole);
        lines = SplitLines(tail);
        if (!lines.empty()) lines.erase(lines.begin());
        start = 0;
    }
    if (start == 0) {
        carry = kFirstCarry;
    } else {
        const std::string_view row = lines[start - 1];
        const std::string_view text = row.substr(0, row.find_last_not_of(' ') + 1);
        carry = text.substr(text.rfind(',') + 1);
    }
    for (std::size_t i = start; i < lines.size(); ++i) {
        if (!Blank(lines[i])) carry = ChainValue(carry, lines[i]);
    }
    return true;
}

// The workstation, voxa-ctl and the station agent may append at the same moment. Each holds
// an exclusive flock() from its look at the file to its sync, so the header is written once,
// no row is written into the middle of another's, and each row is chained onto the one
// before it; O_APPEND puts every write at the end whatever happened to the file in between.
ChainedLog::Kind ChainedLog::AppendLocked(const std::filesystem::path &path,
                                          const CsvText::Row &fields, std::size_t room,
                                          std::string &reason, Pending *pending,
                                          Place &where) const {
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
    std::string carry(kFirstCarry);
    if (size == 0) {
        bytes = m_layout.header + '\n';
    } else {
        if (!HasHeader(fd.Get())) {
            reason = "its first line is not the log's header";
            return Kind::Foreign;
        }
        if (!CarryAtEnd(fd.Get(), size, carry, reason)) return Kind::Unreadable;
        // A line cut short by a crash gets its end first, so that this row starts afresh.
        char last = '\n';
        if (FileIo::ReadAt(fd.Get(), &last, 1, size - 1) == 1 && last != '\n') bytes = "\n";
    }
    std::string line = ChainedLine(fields, carry);
    line.insert(line.size() - 1, room, ' ');
    bytes += line;
    if (!FileIo::WriteAll(fd.Get(), bytes.data(), bytes.size())) {
        reason = Failure("write()", errno);
        // A row that went in part of the way (a full disk, a file size limit) would leave the
        // next one inside its open quote: the file goes back to where it was.
        while (::ftruncate(fd.Get(), size) != 0 && errno == EINTR) {
        }
        return Kind::Unreadable;
    }
    if (FileIo::Sync(fd.Get()) != 0) {
        reason = Failure("fsync()", errno);
        return Kind::Unreadable;
    }
    where.device = status.st_dev;
    where.inode = status.st_ino;
    where.offset = static_cast<std::int64_t>(size + bytes.size() - line.size());
    if (pending != nullptr) {
        pending->place = where;
        pending->carry = carry;
        pending->line = line;
    }
    return Kind::Ours;
}

ChainedLog::Rewrite ChainedLog::RewriteLocked(const Pending &pending, const CsvText::Row &fields,
                                              std::string &reason) const {
    Found found = Found::Log;
    // Not O_APPEND: on Linux that puts even a pwrite() at the end.
    const Descriptor fd(OpenLog(pending.path, O_RDWR, found, reason));
    if (found != Found::Log) {
        reason.clear();
        return Rewrite::Gone;
    }
    if (!Locked(fd.Get(), reason)) return Rewrite::Failed;
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        reason = Failure("fstat()", errno);
        return Rewrite::Failed;
    }
    const off_t offset = static_cast<off_t>(pending.place.offset);
    const off_t end = offset + static_cast<off_t>(pending.line.size());
    std::string there(pending.line.size(), '\0');
    if (status.st_dev != pending.place.device || status.st_ino != pending.place.inode ||
        status.st_size < end ||
        FileIo::ReadAt(fd.Get(), there.data(), there.size(), offset) !=
            static_cast<ssize_t>(there.size()) ||
        there != pending.line) {
        return Rewrite::Gone;
    }
    if (status.st_size != end) return Rewrite::NotLast;
    const std::string unpadded = ChainedLine(fields, pending.carry);
    if (unpadded.size() > pending.line.size()) return Rewrite::NotLast;
    std::string finished = unpadded;
    finished.insert(finished.size() - 1, pending.line.size() - unpadded.size(), ' ');
    // One write of the same length: the row is whole before, after, and should the program
    // stop in the middle of what follows.
    if (FileIo::WriteAt(fd.Get(), finished.data(), finished.size(), offset) != 0) {
        reason = Failure("pwrite()", errno);
        return Rewrite::Failed;
    }
    // The padding goes: the line end moves up, leaving blanks after it that a reader passes
    // over, and the file is cut after it.
    if (unpadded.size() < finished.size()) {
        const off_t newEnd = offset + static_cast<off_t>(unpadded.size());
        if (FileIo::WriteAt(fd.Get(), "\n", 1, newEnd - 1) == 0) {
            while (::ftruncate(fd.Get(), newEnd) != 0 && errno == EINTR) {
            }
        }
    }
    if (FileIo::Sync(fd.Get()) != 0) {
        reason = Failure("fsync()", errno);
        return Rewrite::Failed;
    }
    return Rewrite::Done;
}

bool ChainedLog::ReadLines(const std::filesystem::path &path,
                           const std::function<void(std::string_view)> &each, bool &endsWhole,
                           std::string &reason) {
    endsWhole = true;
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
    if (!line.empty()) {
        endsWhole = false;
        each(line);
    }
    return true;
}

ChainedLog::NewLines ChainedLog::ReadNew(
    ReadMark &mark, const std::function<void(std::int64_t, std::int64_t, std::string_view)> &visit,
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
    if (!HasHeader(fd.Get())) return NewLines::NotOurs;

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
            if (!header && !Blank(line)) visit(lineStart, lineEnd, line);
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

ChainedLog::NewLines ChainedLog::MarkLastLine(ReadMark &mark, std::string &reason) const {
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
    if (!HasHeader(fd.Get())) return NewLines::NotOurs;
    const std::int64_t size = status.st_size;
    const std::int64_t from = std::max<std::int64_t>(0, size - kMarkTailRoom);
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

bool ChainedLog::WriteFile(const std::filesystem::path &path, const std::string &text,
                           std::string &reason) {
    if (const auto failed = FileIo::ReplaceFile(path, text.data(), text.size())) {
        reason = Failure(failed->call, failed->error);
        return false;
    }
    return true;
}
