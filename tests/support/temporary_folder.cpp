#include "temporary_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void GiveUp(const std::string &call, int error) {
    std::fprintf(stderr, "TemporaryFolder(): %s failed: (%d) %s\n", call.c_str(), error,
                 std::strerror(error));
    std::abort();
}

}  // namespace

TemporaryFolder::TemporaryFolder(const std::string &prefix) {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error) GiveUp("temp_directory_path()", error.value());
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        const int failure = errno;
        GiveUp("mkdtemp(" + pattern + ")", failure);
    }
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    // What a test left behind goes too; a file that cannot be removed only stays in the
    // temporary directory.
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}
