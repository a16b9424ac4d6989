#pragma once

#include <sys/resource.h>

// Lowers the file size limit of the process (RLIMIT_FSIZE) for one scope, with SIGXFSZ
// ignored, which makes a write() past the limit fail with EFBIG exactly as a full disk
// makes it fail with ENOSPC, also for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool Active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
    bool m_active = false;
};
