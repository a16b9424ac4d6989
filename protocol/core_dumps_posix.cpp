// Core dumps on Linux: the process's "dumpable" attribute.
#include <sys/prctl.h>

#include <cerrno>
#include <cstring>

#include "core_dumps.h"

bool CoreDumps::Forbid(std::string &problem) {
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        const int error = errno;
        problem = "Forbid(): prctl(PR_SET_DUMPABLE) failed: (" + std::to_string(error) + ") " +
                  std::strerror(error);
        return false;
    }
    return true;
}

bool CoreDumps::Forbidden() {
    return ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
}
