#include "line_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_contents.h"
#include "line_queue.h"
#include "forked_call.h"
#include "recording_console.h"
#include "sign_system.h"
#include "system_link_platform.h"
#include "temporary_folder.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void WriteOwner(const fs::path &path, int pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    std::ofstream(path) << text;
}

// A process that runs until it is killed, as another program holding the line would.
class Sleeper {
public:
    Sleeper() {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execlp("sleep", "sleep", "30", static_cast<char *>(nullptr));
            ::_exit(127);
        }
    }
    ~Sleeper() {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    pid_t Pid() const { return m_pid; }
    // Waits until the child runs the program of that name (it runs the test's until its
    // exec), however long a loaded machine takes to get there.
    bool Named(const std::string &name) const {
        for (int tries = 0; tries < 1000; ++tries) {
            std::string comm = ReadWholeFile("/proc/" + std::to_string(m_pid) + "/comm");
            if (comm == name + "\n") return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

private:
    pid_t m_pid;
};

// The first line of a /proc file.
void ReadAllOf(const std::string &path, std::string &line) {
    line = ReadWholeFile(path);
    line.erase(std::min(line.find('\n'), line.size()));
}

// The id of a process that has ended.
int DeadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

class LineLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(m_dir / "ttyUSB0");  // stands for the device
    }

    std::string Device() const { return (m_dir / "ttyUSB0").string(); }
    fs::path LockFile() const { return m_dir / "LCK..ttyUSB0"; }
    LineLock Lock() const { return LineLock("COM1", Device(), m_dir.string()); }

    TemporaryFolder m_folder{"voxa-lock"};
    const fs::path m_dir = m_folder.Path();
};

TEST_F(LineLockTest, HoldsTheUucpFileWithOurPidUntilReleased) {
    LineLock lock("COM1", Device(), m_dir.string());
    ASSERT_EQ(lock.Take(0ms), LineLock::Outcome::Taken);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(::getpid()));
    EXPECT_EQ(ReadWholeFile(LockFile()), expected);
    lock.Release();
    EXPECT_FALSE(fs::exists(LockFile()));
}

TEST_F(LineLockTest, ARunningHolderMakesItBusyAndIsNamed) {
    Sleeper holder;
    ASSERT_TRUE(holder.Named("sleep"));
    WriteOwner(LockFile(), holder.Pid());
    LineLock lock("COM1", Device(), m_dir.string());
    int waits = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lock.Take(200ms, [&waits] { ++waits; }), LineLock::Outcome::Busy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(lock.Problem(), "COM1 (" + Device() + ") is busy: another program (PID " +
                                  std::to_string(holder.Pid()) + ", sleep) is using it");
    // Nothing of the holder's is touched.
    EXPECT_TRUE(fs::exists(LockFile()));
    lock.Release();
    EXPECT_TRUE(fs::exists(LockFile()));
}

// The wait for a line another program holds keeps the workstation's window alive.
TEST_F(LineLockTest, WaitingCallsItsHookEveryRound) {
    Sleeper holder;
    std::this_thread::sleep_for(50ms);
    WriteOwner(LockFile(), holder.Pid());
    LineLock lock("COM1", Device(), m_dir.string());
    int waits = 0;
    int rounds = 0;
    EXPECT_EQ(lock.Take(
                  150ms, [&waits] { ++waits; }, [&rounds] { ++rounds; }),
              LineLock::Outcome::Busy);
    EXPECT_EQ(waits, 1);
    EXPECT_GE(rounds, 2);
    EXPECT_LE(rounds, 150 / LineLock::kPollPeriod.count() + 1);
}

TEST_F(LineLockTest, TakenOnceTheHolderLetsGo) {
    WriteOwner(LockFile(), static_cast<int>(::getppid()));
    std::thread letGo([this] {
        std::this_thread::sleep_for(100ms);
        fs::remove(LockFile());
    });
    LineLock lock("COM1", Device(), m_dir.string());
    EXPECT_EQ(lock.Take(5s), LineLock::Outcome::Taken);
    letGo.join();
}

TEST_F(LineLockTest, StaleFilesAreTakenOver) {
    for (const std::string &content :
         {std::string("         1\n").replace(0, 10, std::to_string(DeadPid())), std::string()}) {
        std::ofstream(LockFile()) << content;
        // A file without a process id is stale only once it is too old to be one being
        // written right now.
        if (content.empty()) {
            const auto old = fs::file_time_type::clock::now() - 1h;
            fs::last_write_time(LockFile(), old);
        }
        LineLock lock("COM1", Device(), m_dir.string());
        EXPECT_EQ(lock.Take(0ms), LineLock::Outcome::Taken) << "content: " << content;
    }
}

// A stale lock file that this user cannot remove: another user's in the sticky lock folder
// (a root cron job killed in the middle of a transaction), or one in a folder turned
// read-only. It is waited on at a sleeping pace, like a holder, up to the limit, and then
// named with what puts it right; never retried at full speed for ever.
TEST_F(LineLockTest, AStaleFileThatCannotBeRemovedIsWaitedOnAndNamed) {
    const fs::path folder = m_dir / "lock";
    fs::create_directory(folder);
    WriteOwner(folder / "LCK..ttyUSB0", DeadPid());
    const bool root = ::geteuid() == 0;
    if (root) {
        // Root may remove anything: the lock is tried by an ordinary user, in a sticky folder
        // as /run/lock is.
        ASSERT_EQ(::chmod(m_dir.c_str(), 0755), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 01777), 0);
    } else {
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    }
    constexpr auto kLimit = 1500ms;
    const std::string expected = "COM1 (" + Device() + ") cannot be locked: the lock file " +
                                 (folder / "LCK..ttyUSB0").string() +
                                 " was left by a program that ended (PID ";
    const auto outcome = RunForked(
        [&] {
            if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 2;
            LineLock lock("COM1", Device(), folder.string());
            rusage before{};
            ::getrusage(RUSAGE_SELF, &before);
            const auto start = std::chrono::steady_clock::now();
            const LineLock::Outcome taken = lock.Take(kLimit);
            const auto waited = std::chrono::steady_clock::now() - start;
            rusage after{};
            ::getrusage(RUSAGE_SELF, &after);
            const auto cpu =
                std::chrono::seconds(after.ru_utime.tv_sec + after.ru_stime.tv_sec -
                                     before.ru_utime.tv_sec - before.ru_stime.tv_sec) +
                std::chrono::microseconds(after.ru_utime.tv_usec + after.ru_stime.tv_usec -
                                          before.ru_utime.tv_usec - before.ru_stime.tv_usec);
            if (taken != LineLock::Outcome::Busy) return 3;
            if (lock.Problem().rfind(expected, 0) != 0 ||
                lock.Problem().find("it cannot be removed (unlink() failed: (") ==
                    std::string::npos ||
                lock.Problem().find("sudo rm " + (folder / "LCK..ttyUSB0").string()) ==
                    std::string::npos) {
                std::fprintf(stderr, "%s\n", lock.Problem().c_str());
                return 4;
            }
            if (waited < kLimit) return 5;
            // Asleep, not spinning.
            return cpu < kLimit / 4 ? 0 : 6;
        },
        10s);
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(fs::exists(folder / "LCK..ttyUSB0"));
    ::chmod(folder.c_str(), 0755);
}

// A stop request (a signal) ends the wait for the line at once.
TEST_F(LineLockTest, AStopRequestEndsTheWait) {
    Sleeper holder;
    WriteOwner(LockFile(), holder.Pid());
    LineLock lock("COM1", Device(), m_dir.string());
    const auto start = std::chrono::steady_clock::now();
    const auto stopAt = start + 200ms;
    EXPECT_EQ(lock.Take(30s, {}, {}, [&] { return std::chrono::steady_clock::now() >= stopAt; }),
              LineLock::Outcome::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(lock.Problem(), "the wait for COM1 (" + Device() + ") was stopped");
    EXPECT_TRUE(fs::exists(LockFile()));
}

// A second lock of the same process waits for the first: a file with our own process id is
// ours only while a lock of ours holds it, and is then never taken over.
TEST_F(LineLockTest, AFileOfALockOfThisProcessIsNotTakenOver) {
    LineLock first("COM1", Device(), m_dir.string());
    ASSERT_EQ(first.Take(0ms), LineLock::Outcome::Taken);
    LineLock second("COM1", Device(), m_dir.string());
    EXPECT_EQ(second.Take(100ms), LineLock::Outcome::Busy);
    EXPECT_NE(second.Problem().find("is busy: this program (PID " + std::to_string(::getpid())),
              std::string::npos)
        << second.Problem();
    EXPECT_TRUE(first.Held());
    first.Release();
    EXPECT_EQ(second.Take(0ms), LineLock::Outcome::Taken);
    second.Release();

    // Left by a process that had our id once (or a lock never released): stale.
    WriteOwner(LockFile(), static_cast<int>(::getpid()));
    LineLock third("COM1", Device(), m_dir.string());
    EXPECT_EQ(third.Take(0ms), LineLock::Outcome::Taken);
}

// A lock whose file another process took meanwhile (a takeover of one it thought stale)
// leaves that file where it is when it lets go.
TEST_F(LineLockTest, ReleaseLeavesAFileAnotherProcessOwns) {
    Sleeper other;
    LineLock lock("COM1", Device(), m_dir.string());
    ASSERT_EQ(lock.Take(0ms), LineLock::Outcome::Taken);
    WriteOwner(LockFile(), other.Pid());
    lock.Release();
    ASSERT_TRUE(fs::exists(LockFile()));
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(other.Pid()));
    EXPECT_EQ(ReadWholeFile(LockFile()), expected);
}

// Something planted in the lock file's place is no lock: it is neither followed nor waited
// on, and goes.
TEST_F(LineLockTest, ALinkOrAFifoInTheLocksPlaceGoesWithoutBeingFollowed) {
    WriteWholeFile(m_dir / "precious", "kept\n");
    for (const auto &plant : std::vector<std::function<void()>>{
             [&] { fs::create_symlink(m_dir / "precious", LockFile()); },
             [&] { ASSERT_EQ(::mkfifo(LockFile().c_str(), 0666), 0); }}) {
        plant();
        const auto outcome = RunForked(
            [&] {
                LineLock lock("COM1", Device(), m_dir.string());
                return lock.Take(1s) == LineLock::Outcome::Taken ? 0 : 1;
            },
            5s);
        EXPECT_EQ(outcome, 0);
        EXPECT_EQ(ReadWholeFile(m_dir / "precious"), "kept\n");
        fs::remove(LockFile());
    }
}

TEST_F(LineLockTest, AFileBeingWrittenIsWaitedFor) {
    std::ofstream{LockFile()};  // made a moment ago, its process id not written yet
    LineLock lock("COM1", Device(), m_dir.string());
    EXPECT_EQ(lock.Take(0ms), LineLock::Outcome::Busy);
    EXPECT_EQ(lock.Problem(), "COM1 (" + Device() + ") is busy: another program is using it");
}

TEST_F(LineLockTest, NoLockFolderMeansNoLock) {
    LineLock lock("COM1", Device(), (m_dir / "missing").string());
    EXPECT_EQ(lock.Take(1s), LineLock::Outcome::Unavailable);
    EXPECT_NE(lock.Problem().find("missing/LCK..ttyUSB0"), std::string::npos) << lock.Problem();
}

TEST_F(LineLockTest, NamedAfterTheDeviceBehindItsLinks) {
    fs::create_directory_symlink(m_dir, m_dir / "by-id");
    EXPECT_EQ(LineLock::FileNameFor((m_dir / "by-id" / "ttyUSB0").string()), "LCK..ttyUSB0");
    EXPECT_EQ(LineLock::FileNameFor("/dev/ttyS0"), "LCK..ttyS0");
    EXPECT_EQ(LineLock::FileNameFor("/dev/pts/0"), "LCK..pts_0");
}

TEST_F(LineLockTest, WhatTheHolderDoesIsTheLockFilesSecondLine) {
    LineLock lock("COM1", Device(), m_dir.string());
    lock.SetActivity("loading an NVRAM image");
    ASSERT_EQ(lock.Take(0ms), LineLock::Outcome::Taken);
    char owner[16];
    std::snprintf(owner, sizeof owner, "%10d\n", static_cast<int>(::getpid()));
    EXPECT_EQ(ReadWholeFile(LockFile()), std::string(owner) + "loading an NVRAM image\n");
    // Rewritten in place while held, shorter or longer, one line whatever it is given.
    lock.SetActivity("loading an NVRAM image, block 12 of 128");
    EXPECT_EQ(ReadWholeFile(LockFile()),
              std::string(owner) + "loading an NVRAM image, block 12 of 128\n");
    lock.SetActivity("x\ny");
    EXPECT_EQ(ReadWholeFile(LockFile()), std::string(owner) + "x y\n");
    lock.SetActivity(std::string(500, 'a'));
    EXPECT_EQ(ReadWholeFile(LockFile()),
              std::string(owner) + std::string(LineLock::kLongestActivity, 'a') + "\n");
    lock.SetActivity("");
    EXPECT_EQ(ReadWholeFile(LockFile()), owner);
}

// A waiter hears who holds the line and what it does, again each time that changes; a
// program that gives up says the last of it.
TEST_F(LineLockTest, AWaiterIsToldWhatTheHolderDoes) {
    LineLock holder("COM1", Device(), m_dir.string());
    holder.SetActivity("loading an NVRAM image, block 1 of 4");
    ASSERT_EQ(holder.Take(0ms), LineLock::Outcome::Taken);
    std::string self;
    ReadAllOf("/proc/self/comm", self);
    const std::string busy = "COM1 (" + Device() + ") is busy: " + self + " (PID " +
                             std::to_string(::getpid()) + ") is loading an NVRAM image, block ";
    std::vector<std::string> notices;
    std::mutex mutex;
    std::thread waiter([&] {
        LineLock lock("COM1", Device(), m_dir.string());
        lock.SetNotice([&](const std::string &text) {
            const std::lock_guard<std::mutex> guard(mutex);
            notices.push_back(text);
        });
        EXPECT_EQ(lock.Take(60s), LineLock::Outcome::Taken);
    });
    const auto told = [&](std::size_t count) {
        for (int i = 0; i < 1000; ++i) {
            {
                const std::lock_guard<std::mutex> guard(mutex);
                if (notices.size() >= count) return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    EXPECT_TRUE(told(1));
    holder.SetActivity("loading an NVRAM image, block 2 of 4");
    EXPECT_TRUE(told(2));
    LineLock givesUp("COM1", Device(), m_dir.string());
    EXPECT_EQ(givesUp.Take(0ms), LineLock::Outcome::Busy);
    EXPECT_EQ(givesUp.Problem(), busy + "2 of 4");
    holder.Release();
    waiter.join();
    EXPECT_EQ(notices, (std::vector<std::string>{busy + "1 of 4", busy + "2 of 4"}));
}

// Three programs that begin to wait one after the other get the line in that order, and the
// program that has just let go of it does not take it again ahead of them.
TEST_F(LineLockTest, WaitersAreServedInTheOrderTheyBeganToWait) {
    LineLock holder("COM1", Device(), m_dir.string());
    ASSERT_EQ(holder.Take(0ms), LineLock::Outcome::Taken);
    std::mutex mutex;
    std::vector<int> served;
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        std::atomic<bool> waiting{false};
        waiters.emplace_back([&, i] {
            LineLock lock("COM1", Device(), m_dir.string());
            ASSERT_EQ(lock.Take(20s, [&waiting] { waiting = true; }), LineLock::Outcome::Taken);
            {
                const std::lock_guard<std::mutex> guard(mutex);
                served.push_back(i);
            }
            std::this_thread::sleep_for(30ms);  // a transaction's worth, while others poll
        });
        while (!waiting) std::this_thread::sleep_for(5ms);
    }
    holder.Release();
    LineLock again("COM1", Device(), m_dir.string());
    EXPECT_EQ(again.Take(10s), LineLock::Outcome::Taken);
    for (std::thread &waiter : waiters) waiter.join();
    EXPECT_EQ(served, (std::vector<int>{0, 1, 2}));
}

TEST_F(LineLockTest, AFreeLineWithOthersWaitingIsNotTakenAtOnce) {
    LineQueue waiting(LockFile().string());
    waiting.Join();
    LineLock lock("COM1", Device(), m_dir.string());
    EXPECT_EQ(lock.Take(0ms), LineLock::Outcome::Busy);
    EXPECT_EQ(lock.Problem(), "COM1 (" + Device() + ") is busy: other programs wait for it first");
    EXPECT_FALSE(fs::exists(LockFile()));
    waiting.Leave();
    EXPECT_EQ(lock.Take(0ms), LineLock::Outcome::Taken);
}

TEST_F(LineLockTest, DescribesItsHolderInWords) {
    EXPECT_EQ(LineLock::Describe({4242, "voxa-ctl", "loading an NVRAM image, block 12 of 128"}),
              "voxa-ctl (PID 4242) is loading an NVRAM image, block 12 of 128");
    EXPECT_EQ(LineLock::Describe({77, "minicom", ""}),
              "another program (PID 77, minicom) is using it");
    EXPECT_EQ(LineLock::Describe({}), "another program is using it");
}

// A sign system whose line another program holds reports the holder with the no-answer
// message and asks the controller nothing.
TEST_F(LineLockTest, ABusyLineFailsTheTransactionNamingTheHolder) {
    Sleeper holder;
    WriteOwner(LockFile(), holder.Pid());
    DeviceMap devices;
    devices.Set(1, Device());
    SystemLinkPlatform platform(devices);
    platform.SetLockDirectory(m_dir.string());
    platform.SetLineWait(100ms);
    int waiting = 0;
    platform.SetWaitingHook([&waiting](bool on) { waiting += on ? 1 : 10; });
    RecordingConsole console;
    SignSystem system(platform, console);
    std::ostringstream diagnostics;
    system.SetDiagnosticStream(diagnostics);
    system.SetPortName("COM1");

    system.GetNumberOfLines();
    EXPECT_EQ(system.LastOutcome(), LinkOwner::kNoSync);
    EXPECT_FALSE(system.LinkDown());
    EXPECT_EQ(waiting, 11);
    ASSERT_EQ(console.messages.size(), 1u);
    // The request that could not go out is the one the message names.
    EXPECT_NE(console.messages[0].find("Cmd Code: 04"), std::string::npos) << console.messages[0];
    ASSERT_EQ(console.details.size(), 1u);
    EXPECT_NE(console.details[0].find("PID " + std::to_string(holder.Pid())), std::string::npos)
        << console.details[0];
    EXPECT_FALSE(system.TestOpen("COM1"));
}

}  // namespace
