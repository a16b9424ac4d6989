// The line's lock as the running programs use it: held for one transaction, or for an
// operation of several (a hold), with what the holder does written for the waiters.
#include "system_link_platform.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "device_map.h"
#include "file_contents.h"
#include "line_lock.h"
#include "temporary_folder.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class SystemLinkPlatformTest : public ::testing::Test {
protected:
    SystemLinkPlatformTest() {
        WriteWholeFile(m_dir / "ttyUSB0", "");  // stands for the device
        m_devices.Set(1, Device());
        m_platform.SetLockDirectory(m_dir.string());
        m_platform.SetLineWait(300ms);
    }

    std::string Device() const { return (m_dir / "ttyUSB0").string(); }
    fs::path LockFile() const { return m_dir / "LCK..ttyUSB0"; }
    // The lock file's second line, what the holder does; empty without a lock file.
    std::string Activity() const {
        const std::string text = ReadWholeFile(LockFile());
        if (text.size() <= 11) return text.empty() ? "" : "(none)";
        return text.substr(11, text.size() - 12);
    }
    bool Transaction() {
        std::string problem;
        const bool began = m_platform.BeginTransaction("COM1", problem);
        m_problem = problem;
        if (began) m_platform.EndTransaction();
        return began;
    }

    TemporaryFolder m_folder{"voxa-platform"};
    const fs::path m_dir = m_folder.Path();
    DeviceMap m_devices;
    SystemLinkPlatform m_platform{m_devices};
    std::string m_problem;
};

TEST_F(SystemLinkPlatformTest, ATransactionAloneHoldsTheLineOnlyWhileItRuns) {
    std::string problem;
    ASSERT_TRUE(m_platform.BeginTransaction("COM1", problem));
    EXPECT_EQ(Activity(), "(none)");
    m_platform.EndTransaction();
    EXPECT_FALSE(fs::exists(LockFile()));
}

TEST_F(SystemLinkPlatformTest, AHoldKeepsTheLineFromItsFirstTransactionToItsEnd) {
    m_platform.BeginHold("loading an NVRAM image");
    // Taken with the first transaction, not before: an operation that ends before it sends
    // anything never keeps anybody waiting.
    EXPECT_FALSE(fs::exists(LockFile()));
    ASSERT_TRUE(Transaction());
    EXPECT_EQ(Activity(), "loading an NVRAM image");
    m_platform.SetHoldProgress("block 2 of 4");
    EXPECT_EQ(Activity(), "loading an NVRAM image, block 2 of 4");
    ASSERT_TRUE(Transaction());
    EXPECT_TRUE(fs::exists(LockFile()));
    m_platform.EndHold();
    EXPECT_FALSE(fs::exists(LockFile()));
}

TEST_F(SystemLinkPlatformTest, NestedHoldsShowTheInnermostAndEndWithTheOutermost) {
    m_platform.BeginHold("running load-nvram-image");
    ASSERT_TRUE(Transaction());
    m_platform.BeginHold("loading an NVRAM image");
    m_platform.SetHoldProgress("block 1 of 4");
    EXPECT_EQ(Activity(), "loading an NVRAM image, block 1 of 4");
    m_platform.EndHold();
    EXPECT_EQ(Activity(), "running load-nvram-image");
    ASSERT_TRUE(Transaction());
    m_platform.EndHold();
    EXPECT_FALSE(fs::exists(LockFile()));
}

TEST_F(SystemLinkPlatformTest, LettingGoFreesTheLineUntilTheNextTransaction) {
    m_platform.BeginHold("sending prices (Send Update)");
    ASSERT_TRUE(Transaction());
    m_platform.LetGoOfHold();
    EXPECT_FALSE(fs::exists(LockFile()));
    ASSERT_TRUE(Transaction());
    EXPECT_EQ(Activity(), "sending prices (Send Update)");
    m_platform.EndHold();
    EXPECT_FALSE(fs::exists(LockFile()));
}

// A hold whose line another program kept for the whole wait fails its later transactions
// at once, with the same reason, instead of waiting again for each; the next operation
// tries afresh.
TEST_F(SystemLinkPlatformTest, AHoldThatCouldNotHaveTheLineFailsTheRestAtOnce) {
    LineLock other("COM1", Device(), m_dir.string());
    other.SetActivity("running set-prices");
    ASSERT_EQ(other.Take(0ms), LineLock::Outcome::Taken);
    std::vector<std::string> notices;
    m_platform.SetWaitNotice([&notices](const std::string &text) { notices.push_back(text); });

    m_platform.BeginHold("saving an NVRAM image");
    auto start = Clock::now();
    EXPECT_FALSE(Transaction());
    EXPECT_GE(Clock::now() - start, 300ms);
    const std::string first = m_problem;
    EXPECT_NE(first.find(") is busy: "), std::string::npos) << first;
    EXPECT_NE(first.find(") is running set-prices"), std::string::npos) << first;
    EXPECT_EQ(notices, std::vector<std::string>{first});
    start = Clock::now();
    EXPECT_FALSE(Transaction());
    EXPECT_LT(Clock::now() - start, 250ms);
    EXPECT_EQ(m_problem, first);
    m_platform.EndHold();

    other.Release();
    m_platform.BeginHold("saving an NVRAM image");
    EXPECT_TRUE(Transaction());
    m_platform.EndHold();
}

}  // namespace
