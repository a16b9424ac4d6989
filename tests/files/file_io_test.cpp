#include "file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forked_call.h"

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

// ---- Files that are not what they should be ----

namespace {

using namespace std::chrono_literals;

// What stands at a path instead of a regular file, made by a test.
struct HostileCase {
    const char *name;
    std::function<void(const fs::path &)> plant;
    std::string refusal;  // the text after the path
};

void PrintTo(const HostileCase &c, std::ostream *os) {
    *os << c.name;
}

std::vector<HostileCase> HostileCases() {
    return {
        {"Fifo", [](const fs::path &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0666), 0); },
         "is a named pipe, not a regular file"},
        {"LinkToCharacterDevice", [](const fs::path &p) { fs::create_symlink("/dev/null", p); },
         "leads to /dev/null, which is a character device, not a regular file"},
        {"LinkToNowhere",
         [](const fs::path &p) { fs::create_symlink(p.parent_path() / "nowhere", p); },
         "is a symbolic link to "},
    };
}

class ReplaceFileRefuses : public FileIoTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(ReplaceFileRefuses, WhatIsNotARegularFileAndLeavesItAsItWas) {
    const HostileCase c = GetParam();
    const fs::path path = m_dir / "target";
    c.plant(path);
    struct stat before {};
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);

    const auto failed = Replace(path, "new");
    ASSERT_TRUE(failed);
    EXPECT_NE(failed->Text().find(c.refusal), std::string::npos) << failed->Text();
    struct stat after {};
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Names(), std::vector<std::string>{"target"});
}

INSTANTIATE_TEST_SUITE_P(Planted, ReplaceFileRefuses, ::testing::ValuesIn(HostileCases()),
                         [](const auto &row) { return std::string(row.param.name); });

// As editors do: a link to a regular file is written through, and stays a link.
TEST_F(FileIoTest, ReplaceFileWritesThroughALinkToItsTarget) {
    fs::create_directory(m_dir / "kept");
    Write(m_dir / "kept" / "voxa.ini", "old");
    ASSERT_EQ(::chmod((m_dir / "kept" / "voxa.ini").c_str(), 0640), 0);
    fs::create_symlink("kept/voxa.ini", m_dir / "voxa.ini");

    ASSERT_FALSE(Replace(m_dir / "voxa.ini", "new"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "voxa.ini"));
    EXPECT_EQ(Read(m_dir / "kept" / "voxa.ini"), "new");
    EXPECT_EQ(fs::status(m_dir / "kept" / "voxa.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A file that holds secrets never takes the permissions of a file that a link leads to.
TEST_F(FileIoTest, ASecretFileThroughALinkGetsTheGivenModeNotTheTargets) {
    Write(m_dir / "shared.nvr", "old");
    ASSERT_EQ(::chmod((m_dir / "shared.nvr").c_str(), 0666), 0);
    fs::create_symlink(m_dir / "shared.nvr", m_dir / "site.nvr");
    const mode_t before = ::umask(0);
    const auto failed = Replace(m_dir / "site.nvr", "secret", 0600);
    ::umask(before);
    ASSERT_FALSE(failed) << failed->Text();
    struct stat status {};
    ASSERT_EQ(::stat((m_dir / "shared.nvr").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u) << std::oct << (status.st_mode & 07777);
    EXPECT_EQ(Read(m_dir / "site.nvr"), "secret");
}

TEST_F(FileIoTest, ASecretFileOverAnotherUsersFileGetsTheGivenMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    Write(m_dir / "site.nvr", "old");
    ASSERT_EQ(::chmod((m_dir / "site.nvr").c_str(), 0666), 0);
    ASSERT_EQ(::chown((m_dir / "site.nvr").c_str(), 65534, 65534), 0);
    const auto failed = Replace(m_dir / "site.nvr", "secret", 0600);
    ASSERT_FALSE(failed) << failed->Text();
    struct stat status {};
    ASSERT_EQ(::stat((m_dir / "site.nvr").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u) << std::oct << (status.st_mode & 07777);
}

TEST_F(FileIoTest, TemporariesOfProgramsThatEndedAreRemovedAtTheNextReplace) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = ".voxa.ini." + std::to_string(gone) + ".0.tmp";
    const std::string beyond = ".voxa.ini.99999999999.3.tmp";
    const std::string alive = ".voxa.ini." + std::to_string(::getppid()) + ".1.tmp";
    const std::vector<std::string> others = {
        ".voxa.ini.x.0.tmp", ".other.ini." + std::to_string(gone) + ".0.tmp", "voxa.ini.tmp"};
    for (const std::string &name : {dead, beyond, alive}) Write(m_dir / name, "half");
    for (const std::string &name : others) Write(m_dir / name, "not ours");
    fs::create_directory(m_dir / (".voxa.ini." + std::to_string(gone) + ".7.tmp"));

    ASSERT_FALSE(Replace(m_dir / "voxa.ini", "new"));
    EXPECT_FALSE(fs::exists(m_dir / dead));
    EXPECT_FALSE(fs::exists(m_dir / beyond));
    EXPECT_TRUE(fs::exists(m_dir / alive));
    for (const std::string &name : others) EXPECT_TRUE(fs::exists(m_dir / name)) << name;
    EXPECT_TRUE(fs::is_directory(m_dir / (".voxa.ini." + std::to_string(gone) + ".7.tmp")));
}

class OpenRegularRefuses : public FileIoTest, public ::testing::WithParamInterface<HostileCase> {};

// Neither for reading nor for writing does the open wait on what it finds.
TEST_P(OpenRegularRefuses, WhatIsNotARegularFileWithoutWaiting) {
    const HostileCase c = GetParam();
    const fs::path path = m_dir / "file";
    c.plant(path);
    for (const int flags : {O_RDONLY, O_WRONLY | O_APPEND, O_RDWR | O_APPEND | O_CREAT}) {
        const auto status = RunForked(
            [&] {
                std::string problem;
                const int fd =
                    FileIo::OpenRegular(path, flags, 0666, FileIo::Links::Follow, problem);
                return fd < 0 && problem.find("not a regular file") != std::string::npos ? 0 : 1;
            },
            5s);
        EXPECT_EQ(status, 0) << c.name << " flags " << flags;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Planted, OpenRegularRefuses,
    ::testing::Values(HostileCases()[0], HostileCases()[1],
                      HostileCase{"Folder", [](const fs::path &p) { fs::create_directory(p); },
                                  "is a folder, not a regular file"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(FileIoTest, OpenRegularFollowsALinkOnlyWhenAskedTo) {
    Write(m_dir / "real", "bytes");
    fs::create_symlink("real", m_dir / "link");
    std::string problem;
    int fd = FileIo::OpenRegular(m_dir / "link", O_RDWR | O_APPEND | O_CREAT, 0666,
                                 FileIo::Links::Refuse, problem);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(problem, "is a symbolic link, not a regular file");
    EXPECT_EQ(Read(m_dir / "real"), "bytes");

    fd = FileIo::OpenRegular(m_dir / "link", O_RDONLY, 0, FileIo::Links::Follow, problem);
    ASSERT_GE(fd, 0) << problem;
    // Back in blocking mode for the caller.
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(FileIo::Close(fd), 0);
}

struct LimitCase {
    std::size_t size;
    std::size_t limit;
    bool read;
};

void PrintTo(const LimitCase &c, std::ostream *os) {
    *os << c.size << " bytes, limit " << c.limit;
}

class ReadRegularLimits : public FileIoTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(ReadRegularLimits, ReadsAFileUpToItsLimitAndNoFurther) {
    const LimitCase c = GetParam();
    Write(m_dir / "file", std::string(c.size, 'x'));
    std::string bytes;
    std::string problem;
    EXPECT_EQ(FileIo::ReadRegular(m_dir / "file", c.limit, FileIo::Links::Follow, bytes, problem),
              c.read)
        << problem;
    EXPECT_EQ(bytes.size(), c.read ? c.size : 0u);
    if (!c.read) EXPECT_EQ(problem, "is larger than " + std::to_string(c.limit) + " bytes");
}

INSTANTIATE_TEST_SUITE_P(
    AroundTheLimit, ReadRegularLimits,
    ::testing::Values(LimitCase{0, 0, true}, LimitCase{1, 0, false}, LimitCase{4096, 4096, true},
                      LimitCase{4097, 4096, false}, LimitCase{65537, 1048576, true}),
    [](const auto &row) {
        return std::to_string(row.param.size) + "BytesLimit" + std::to_string(row.param.limit);
    });

// /dev/zero never ends: a settings file that leads there is refused, not read until the
// memory runs out.
TEST_F(FileIoTest, ReadRegularRefusesALinkToAnEndlessDevice) {
    fs::create_symlink("/dev/zero", m_dir / "voxa.ini");
    const auto status = RunForked(
        [&] {
            std::string bytes;
            std::string problem;
            const bool read = FileIo::ReadRegular(m_dir / "voxa.ini", 1 << 20,
                                                  FileIo::Links::Follow, bytes, problem);
            return !read && problem == "is a character device, not a regular file" ? 0 : 1;
        },
        5s);
    EXPECT_EQ(status, 0);
}

}  // namespace
