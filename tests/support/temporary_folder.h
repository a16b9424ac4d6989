#pragma once

#include <filesystem>
#include <string>

// A folder of the test's own below the system's temporary directory ($TMPDIR, else /tmp),
// named <prefix>-XXXXXX by mkdtemp() so that tests running side by side never share one,
// and removed with everything in it when the object goes.
//
// A test cannot go on without its folder, and must not fall back on the working directory
// (it would write into the build tree): a folder that cannot be made ends the test program
// at once, with the call that failed and its errno text on standard error.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string &prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::filesystem::path &Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};
