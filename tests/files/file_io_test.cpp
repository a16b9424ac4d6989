#include "file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "voxa-file-io-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    static void Write(const fs::path &path, const std::string &bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path &path) {
        std::string bytes;
        EXPECT_TRUE(FileIo::ReadAll(path, bytes)) << path;
        return bytes;
    }
    static std::optional<FileIo::CallError> Replace(const fs::path &path, const std::string &bytes,
                                                    std::optional<mode_t> mode = std::nullopt) {
        return FileIo::ReplaceFile(path, bytes.data(), bytes.size(), mode);
    }

    fs::path m_dir;
};

// Old and new sizes around the read buffer and the write sizes, shorter and longer.
class ReplaceFileSizes : public FileIoTest,
                         public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(ReplaceFileSizes, ContentIsReplacedWholeAndNoTemporaryStays) {
    const auto [oldSize, newSize] = GetParam();
    const fs::path path = m_dir / "target";
    if (oldSize >= 0) Write(path, std::string(static_cast<std::size_t>(oldSize), 'o'));
    std::string bytes(static_cast<std::size_t>(newSize), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);

    ASSERT_FALSE(Replace(path, bytes));
    EXPECT_EQ(Read(path), bytes);
    EXPECT_EQ(Names(), std::vector<std::string>{"target"});
}

INSTANTIATE_TEST_SUITE_P(OldAndNew, ReplaceFileSizes,
                         ::testing::Values(std::pair{-1, 0}, std::pair{-1, 17}, std::pair{65537, 0},
                                           std::pair{65537, 16}, std::pair{15, 4097},
                                           std::pair{4096, 65537}));

struct ModeCase {
    const char *name;
    std::optional<mode_t> existing;  // the mode of the file replaced, when there is one
    std::optional<mode_t> given;     // the caller's mode for a new file
    mode_t umask;
    mode_t expected;
};

void PrintTo(const ModeCase &c, std::ostream *os) {
    *os << c.name;
}

class ReplaceFileModes : public FileIoTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ReplaceFileModes, ReplacedFileKeepsItsModeAndNewOneGetsTheGivenOne) {
    const ModeCase c = GetParam();
    const fs::path path = m_dir / "target";
    if (c.existing) {
        Write(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), *c.existing), 0);
    }
    const mode_t before = ::umask(c.umask);
    const auto failed = Replace(path, "new", c.given);
    ::umask(before);

    ASSERT_FALSE(failed) << failed->call;
    struct stat status {};
    ASSERT_EQ(FileIo::StatusOf(path, status), 0);
    EXPECT_EQ(status.st_mode & 07777, c.expected) << std::oct << (status.st_mode & 07777);
}

INSTANTIATE_TEST_SUITE_P(
    ExistingGivenAndUmask, ReplaceFileModes,
    ::testing::Values(ModeCase{"Kept0640", 0640, std::nullopt, 022, 0640},
                      ModeCase{"Kept0600OverGiven0644", 0600, 0644, 0, 0600},
                      ModeCase{"Kept0664UnderUmask077", 0664, 0600, 077, 0664},
                      ModeCase{"KeptSetGid02750", 02750, std::nullopt, 022, 02750},
                      ModeCase{"NewGiven0600", std::nullopt, 0600, 0, 0600},
                      ModeCase{"NewGiven0640UnderUmask027", std::nullopt, 0640, 027, 0640},
                      ModeCase{"NewDefaultUnderUmask022", std::nullopt, std::nullopt, 022, 0644}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(FileIoTest, ReplaceFileInAMissingFolderFailsAtOpen) {
    const auto failed = Replace(m_dir / "missing" / "target", "new");
    ASSERT_TRUE(failed);
    EXPECT_STREQ(failed->call, "open()");
    EXPECT_EQ(failed->error, ENOENT);
    EXPECT_TRUE(Names().empty());
}

TEST_F(FileIoTest, ReplaceFileOverAFolderFailsAtRenameAndRemovesTheTemporary) {
    fs::create_directory(m_dir / "target");
    const auto failed = Replace(m_dir / "target", "new");
    ASSERT_TRUE(failed);
    EXPECT_STREQ(failed->call, "rename()");
    EXPECT_EQ(failed->error, EISDIR);
    EXPECT_EQ(Names(), std::vector<std::string>{"target"});
}

TEST_F(FileIoTest, ReplaceFileOfABareNameWorksInTheCurrentFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(m_dir);
    const auto failed = Replace("target", "new");
    fs::current_path(before);
    ASSERT_FALSE(failed);
    EXPECT_EQ(Read(m_dir / "target"), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"target"});
}

TEST_F(FileIoTest, TemporariesAreNamedAfterTheTargetAndNeverShared) {
    fs::path first;
    fs::path second;
    const int a = FileIo::CreateTemporaryBeside(m_dir / "target", 0600, first);
    const int b = FileIo::CreateTemporaryBeside(m_dir / "target", 0600, second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(FileIo::Close(a), 0);
    EXPECT_EQ(FileIo::Close(b), 0);
    const std::string stem = ".target." + std::to_string(::getpid()) + ".";
    for (const fs::path &name : {first, second}) {
        EXPECT_EQ(name.parent_path(), m_dir);
        EXPECT_EQ(name.filename().string().rfind(stem, 0), 0u) << name;
        EXPECT_EQ(name.extension(), ".tmp");
    }
    EXPECT_NE(first, second);
    EXPECT_EQ(FileIo::Remove(first), 0);
    EXPECT_EQ(FileIo::Remove(first), -1);
}

}  // namespace
