#pragma once

#include <cstddef>
#include <string>

// The few POSIX file calls that the settings file, the price log and the NVRAM image
// files all need, each retried when a signal interrupts it. They set errno as the calls
// they wrap do.
class FileIo {
public:
    // open(); -1 on failure.
    static int Open(const std::string &path, int flags, unsigned mode = 0);
    // Writes every byte, however many write() calls it takes; false on failure.
    static bool WriteAll(int fd, const void *bytes, std::size_t size);
    // fsync(); 0, or -1 on failure.
    static int Sync(int fd);
    // Makes a rename in the folder durable. Some file systems cannot sync a folder; the
    // file itself is complete on disk either way, so a failure is not reported.
    static void SyncFolder(const std::string &folder);
};
