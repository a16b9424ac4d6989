#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

struct stat;

// The POSIX file calls that the settings file, the price log, the price-history export, the
// NVRAM image files and the line lock need, each retried when a signal interrupts it. They
// set errno as the calls they wrap do.
namespace FileIo {

// open(); -1 on failure.
int Open(const std::string &path, int flags, unsigned mode = 0);
// close(); 0, or -1 on failure. On Linux the descriptor is released even when close() is
// interrupted, so an interruption counts as closed and is never retried.
int Close(int fd);
// Writes every byte, however many write() calls it takes; false on failure.
bool WriteAll(int fd, const void *bytes, std::size_t size);
// pwrite() of every byte at offset, however many calls it takes; 0, or -1 on failure.
int WriteAt(int fd, const void *bytes, std::size_t size, off_t offset);
// pread(); the count read, or -1 on failure.
ssize_t ReadAt(int fd, void *buffer, std::size_t size, off_t offset);
// Every byte of the file at path, read to its end (files under /proc report no size);
// false on failure.
bool ReadAll(const std::string &path, std::string &bytes);
// How a file of ours is opened: whether a symbolic link at its path is followed.
enum class Links { Refuse, Follow };

// What a file is, in words for a message: "a symbolic link", "a named pipe", "a
// character device", "a block device", "a socket", "a folder", "a regular file".
std::string KindOf(mode_t mode);

// Opens a file of ours, and only a regular file. The open never waits: O_NONBLOCK keeps a
// FIFO or a device put in the file's place from stopping the program at open() (a FIFO
// with no writer) or at the first read; with Links::Refuse, O_NOFOLLOW keeps a link
// planted in its place from sending the program's reads and writes to another file. Any
// other kind of file is closed again at once. Returns the descriptor, in blocking mode, or
// -1 with errno set and problem finishing a sentence that starts with the path: "is a named
// pipe, not a regular file", "could not be opened (open() failed: (13) Permission denied)".
// errno is EISDIR for a folder and EINVAL for any other kind of file.
int OpenRegular(const std::string &path, int flags, unsigned mode, Links links,
                std::string &problem);
// Every byte of the regular file at path, opened as OpenRegular() does, when it holds at most
// limit bytes; false, with problem as OpenRegular() gives it ("is larger than 1048576
// bytes"), otherwise.
bool ReadRegular(const std::string &path, std::size_t limit, Links links, std::string &bytes,
                 std::string &problem);
// fsync(); 0, or -1 on failure.
int Sync(int fd);
// Makes a rename in the folder durable. Some file systems cannot sync a folder; the
// file itself is complete on disk either way, so a failure is not reported.
void SyncFolder(const std::string &folder);
// flock(fd, LOCK_EX), waiting for it; 0, or -1 on failure.
int LockExclusive(int fd);
// fstat() and stat(); 0, or -1 on failure.
int Status(int fd, struct stat &status);
int StatusOf(const std::string &path, struct stat &status);
// unlink(); 0, or -1 on failure.
int Remove(const std::string &path);

// A new file beside target, created exclusively (O_EXCL) with mode (less the umask) under
// the name "." + target's name + "." + process id + "." + counter + ".tmp": the counter
// keeps names apart within the process, the process id beside other programs that use the
// folder. Returns the descriptor open for writing and sets temporary, or -1 with errno set.
int CreateTemporaryBeside(const std::filesystem::path &target, mode_t mode,
                          std::filesystem::path &temporary);

// Removes what programs that ended in the middle of a ReplaceFile() (a crash, a kill, the
// machine stopped) left beside target: regular files named as CreateTemporaryBeside() names
// them whose process id belongs to no running process. Anything else is left alone.
void RemoveLeftoverTemporaries(const std::filesystem::path &target);

// The call that failed ("open()", "write()", "fsync()", "close()", "rename()") and its errno,
// or the reason the file was refused before any call could fail.
struct CallError {
    const char *call;
    int error;
    // Set when the path holds something that is not replaced: "is a named pipe, not a
    // regular file".
    std::string refusal;

    // "rename() failed: (21) Is a directory", or the refusal.
    std::string Text() const;
};

// Where ReplaceFile(path) writes: path itself, or the file its symbolic links lead to
// (throughLink then says so); or why it refuses to, as ReplaceFile() would.
std::optional<CallError> ReplacementTarget(const std::filesystem::path &path,
                                           std::filesystem::path &target, bool &throughLink);

// Replaces the file at path with bytes as a whole. The bytes go to a temporary beside it
// that is synced, closed and then renamed over path: rename() replaces a directory entry in
// one step, so a reader, or the next start after a crash or a full disk, finds either the
// old file whole or the new one whole. Writing the target in place would truncate it first.
//
// A symbolic link at path is written through, as editors do: its target is replaced and the
// link stays. A path that leads to a FIFO, a device, a socket or nowhere (a dangling link)
// is refused before anything is written: replacing a device node with a regular file, or
// creating files through a link that leads nowhere, is never what was meant. Temporaries
// that ended programs left beside the file are removed first.
//
// Without newMode the replacement keeps the permission bits of the regular file it
// replaces, and a new file gets 0666 less the umask. newMode is for files that hold
// secrets: a new file gets it (less the umask), and so does every replacement but that of a
// regular file of the same user named directly, whose owner chose its permissions on
// purpose; a file reached through a link, or another user's, may have been put there for
// its permissions. On any failure the temporary is removed and the target is left as it
// was.
std::optional<CallError> ReplaceFile(const std::filesystem::path &path, const void *bytes,
                                     std::size_t size,
                                     std::optional<mode_t> newMode = std::nullopt);

}  // namespace FileIo
