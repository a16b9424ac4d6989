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
// pread(); the count read, or -1 on failure.
ssize_t ReadAt(int fd, void *buffer, std::size_t size, off_t offset);
// Every byte of the file at path, read to its end (files under /proc report no size);
// false on failure.
bool ReadAll(const std::string &path, std::string &bytes);
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

// The call that failed ("open()", "write()", "fsync()", "close()", "rename()") and its errno.
struct CallError {
    const char *call;
    int error;
};

// Replaces the file at path with bytes as a whole. The bytes go to a temporary beside it
// that is synced, closed and then renamed over path: rename() replaces a directory entry in
// one step, so a reader, or the next start after a crash or a full disk, finds either the
// old file whole or the new one whole. Writing the target in place would truncate it first.
//
// The replacement keeps the permission bits of the regular file it replaces; a new file
// gets newMode less the umask (0666 when not given). On any failure the temporary is
// removed and the target is left as it was.
std::optional<CallError> ReplaceFile(const std::filesystem::path &path, const void *bytes,
                                     std::size_t size,
                                     std::optional<mode_t> newMode = std::nullopt);

}  // namespace FileIo
