// Several programs on one controller line: the real voxa-ctl processes and the workstation's
// own sign system take turns through the line's lock file instead of failing.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "ctl_process_fixture.h"
#include "device_map.h"
#include "exit_status.h"
#include "file_contents.h"
#include "line_hold.h"
#include "line_lock.h"
#include "recording_console.h"
#include "sign_system.h"
#include "system_link_platform.h"

namespace {

using namespace std::chrono_literals;

struct Job {
    std::vector<std::string> args;
    std::string expected;  // standard output of a good run
};

class CtlLineLock : public CtlProcess {
protected:
    void SetUp() override {
        CtlProcess::SetUp();
        if (access(LineLock::kDefaultDirectory, W_OK) != 0) {
            GTEST_SKIP() << LineLock::kDefaultDirectory << " is not writable here";
        }
        StartSimulator({"--lines", "2"});
    }

    std::string LockFile() const {
        return std::string(LineLock::kDefaultDirectory) + "/" + LineLock::FileNameFor(LinkPath());
    }

    std::vector<std::string> Ctl(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--device", LinkPath()});
        return args;
    }

    // Runs each loop in a thread of its own, every job of a loop the given number of
    // times, all at once; returns every run that went wrong.
    std::vector<std::string> RunLoops(const std::vector<Job> &loops, int rounds) {
        std::vector<std::vector<std::string>> failures(loops.size());
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < loops.size(); ++i) {
            threads.emplace_back([&, i] {
                for (int round = 0; round < rounds; ++round) {
                    const CtlRun run = RunCtl(Ctl(loops[i].args), m_dir, 90s);
                    if (run.status != ExitStatus::kOk || run.out != loops[i].expected)
                        failures[i].push_back(loops[i].args[0] + ": " + run.err + run.out);
                }
            });
        }
        for (std::thread &thread : threads) thread.join();
        std::vector<std::string> all;
        for (const auto &list : failures) all.insert(all.end(), list.begin(), list.end());
        return all;
    }
};

TEST_F(CtlLineLock, ProgramsInLoopsTakeTurns) {
    const std::string price = m_reference.Current().lines[1].price;
    const std::string format = m_reference.Current().lines[0].format;
    std::string newPrice = format;
    for (char &c : newPrice) c = c == '8' ? '7' : c;
    const std::vector<Job> jobs = {
        {{"get-number-of-lines"}, "2\n"},
        {{"get-line-price", "2"}, price + "\n"},
        {{"set-line-price", "1", newPrice}, ""},
        {{"get-cc-software-part-number"}, m_reference.Current().partNumber + "\n"},
    };
    EXPECT_EQ(RunLoops({jobs[0], jobs[1]}, 4), std::vector<std::string>{});
    EXPECT_EQ(RunLoops(jobs, 3), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(LockFile()));
}

// The workstation's sign system sends prices while a script sets another line's price:
// both get through, in whatever order.
TEST_F(CtlLineLock, WorkstationAndScriptBothGetThrough) {
    std::thread script([&] {
        const CtlRun run = RunCtl(Ctl({"set-line-price", "2", "9.999"}), m_dir, 90s);
        EXPECT_EQ(run.status, ExitStatus::kOk) << run.err;
    });
    DeviceMap devices;
    devices.Set(1, LinkPath());
    SystemLinkPlatform platform(devices);
    RecordingConsole console;
    SignSystem system(platform, console);
    std::ostringstream diagnostics;
    system.SetDiagnosticStream(diagnostics);
    system.SetPortName("COM1");
    for (const char *price : {"1.119", "2.229", "3.339"}) {
        EXPECT_TRUE(system.SetLinePrice(1, price));
    }
    script.join();
    EXPECT_EQ(console.messages, std::vector<std::string>{});
    EXPECT_EQ(system.GetLinePrice(1), "3.339");
    EXPECT_EQ(system.GetLinePrice(2), "9.999");
}

TEST_F(CtlLineLock, AStaleLockIsTakenOver) {
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    {
        std::ofstream lock(LockFile());
        char text[16];
        std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(gone));
        lock << text;
    }
    const CtlRun run = RunCtl(Ctl({"get-number-of-lines"}), m_dir);
    EXPECT_EQ(run.status, ExitStatus::kOk) << run.err;
    EXPECT_EQ(run.out, "2\n");
    EXPECT_LT(run.took, 5s);
    EXPECT_FALSE(std::filesystem::exists(LockFile()));
}

// A holder that never lets go: the wait ends at its limit with the holder named, or at
// once with --no-wait; nothing is sent and the holder's lock stays.
TEST_F(CtlLineLock, AHeldLineFailsAfterTheWaitNamingItsHolder) {
    {
        std::ofstream lock(LockFile());
        char text[16];
        std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
        lock << text;
    }
    const std::string holder = "(PID " + std::to_string(getpid()) + ", ctl_tests)";
    struct Case {
        std::vector<std::string> options;
        std::chrono::milliseconds atLeast;
        std::chrono::milliseconds atMost;
    };
    for (const Case &c :
         {Case{{"--wait", "2"}, 2000ms, 6000ms}, Case{{"--no-wait"}, 0ms, 1500ms}}) {
        std::vector<std::string> args = c.options;
        args.push_back("get-number-of-lines");
        const CtlRun run = RunCtl(Ctl(args), m_dir);
        EXPECT_EQ(run.status, ExitStatus::kTransactionFailed) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("is busy: another program " + holder + " is using it"),
                  std::string::npos)
            << run.err;
        EXPECT_GE(run.took, c.atLeast) << c.options[0];
        EXPECT_LT(run.took, c.atMost) << c.options[0];
    }
    EXPECT_TRUE(std::filesystem::exists(LockFile()));
    std::filesystem::remove(LockFile());
}

// A transfer keeps the line from its first command to its last; three programs that begin
// to wait one after the other get it in that order once it is done; a program that will
// not wait is told who holds the line and how far it has come.
TEST_F(CtlLineLock, WaitersBehindATransferAreServedInOrderAndNothingLandsInsideIt) {
    m_sim.reset();
    StartSimulator({"--lines", "2", "--trace"});
    const std::string image = m_dir + "/image.nvr";
    // Eight blocks: the transfer lasts seconds, time enough to see it under way.
    WriteWholeFile(image, std::string(128, '\x5A'));

    // The test holds the line while the others line up, so that their order is known.
    LineLock holder("COM1", LinkPath());
    holder.SetActivity("holding the line for a test");
    ASSERT_EQ(holder.Take(0ms), LineLock::Outcome::Taken);
    const std::string self = "ctl_tests (PID " + std::to_string(getpid()) + ")";
    const auto waiting = [&](ChildProcess &child) {
        const auto line = child.ReadErrorLine(20s);
        return line.value_or("(nothing)");
    };
    ChildProcess loader(VOXA_CTL_PATH, Ctl({"load-nvram-image", image}), m_dir);
    EXPECT_EQ(waiting(loader), "voxa-ctl: COM1 (" + LinkPath() + ") is busy: " + self +
                                   " is holding the line for a test; waiting up to 60 s for it "
                                   "(--wait SECONDS sets how long)");
    std::vector<std::unique_ptr<ChildProcess>> waiters;
    for (const char *subcommand : {"get-time", "get-date", "get-daylight-saving"}) {
        waiters.push_back(std::make_unique<ChildProcess>(VOXA_CTL_PATH, Ctl({subcommand}), m_dir));
        EXPECT_NE(waiting(*waiters.back()).find(") is busy: "), std::string::npos) << subcommand;
    }
    holder.Release();

    // Once the loader counts its blocks in the lock file, a run that will not wait says so.
    const std::string loading =
        "voxa-ctl (PID " + std::to_string(loader.Pid()) + ") is loading an NVRAM image, ";
    std::string lockText;
    for (int i = 0; i < 2000 && lockText.find("block") == std::string::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        lockText = ReadWholeFile(LockFile());
    }
    EXPECT_NE(lockText.find("loading an NVRAM image, block "), std::string::npos) << lockText;
    const CtlRun impatient = RunCtl(Ctl({"--no-wait", "get-number-of-lines"}), m_dir);
    EXPECT_EQ(impatient.status, ExitStatus::kTransactionFailed);
    EXPECT_NE(impatient.err.find(loading), std::string::npos) << impatient.err;

    EXPECT_EQ(loader.Finish(60s), ExitStatus::kOk) << loader.ErrText();
    for (auto &waiter : waiters)
        EXPECT_EQ(waiter->Finish(60s), ExitStatus::kOk) << waiter->ErrText();
    ASSERT_EQ(m_sim->Terminate(), 0);
    // Begin, prepare, eight blocks, end, load complete; then get-time, get-date and
    // get-daylight-saving in the order they began to wait; nothing from the impatient run.
    std::vector<int> expected{39, 42};
    expected.insert(expected.end(), 8, 37);
    expected.insert(expected.end(), {43, 40, 9, 10, 7});
    EXPECT_EQ(TracedRequests(m_sim->ErrText()), expected) << m_sim->ErrText();
}

// Four scripts that set a price with confirmation in loops, and the workstation sending
// prices, all on one line: every run gets through within the usual wait, and each keeps the
// line for its whole length, so that the trace is whole runs one after the other.
TEST_F(CtlLineLock, ConfirmLoopsAndTheWorkstationAllGetThroughInTurn) {
    m_sim.reset();
    StartSimulator({"--lines", "1", "--trace"});
    constexpr int kRounds = 2;
    std::vector<std::string> failures;
    std::mutex mutex;
    std::vector<std::thread> loops;
    for (const char *price : {"1.119", "2.229", "3.339", "4.449"}) {
        loops.emplace_back([&, price] {
            for (int round = 0; round < kRounds; ++round) {
                const CtlRun run =
                    RunCtl(Ctl({"set-line-price", "--confirm", "1", price}), m_dir, 90s);
                if (run.status != ExitStatus::kOk) {
                    const std::lock_guard<std::mutex> guard(mutex);
                    failures.push_back(std::string(price) + ": " + run.err);
                }
            }
        });
    }
    DeviceMap devices;
    devices.Set(1, LinkPath());
    SystemLinkPlatform platform(devices);
    RecordingConsole console;
    SignSystem system(platform, console);
    std::ostringstream diagnostics;
    system.SetDiagnosticStream(diagnostics);
    system.SetPortName("COM1");
    for (int round = 0; round < kRounds; ++round) {
        LineHold hold(system, "sending prices (Send Update)");
        system.GetCcStatus();
        EXPECT_TRUE(system.SetLinePrice(1, "9.999"));
        EXPECT_EQ(system.GetLinePrice(1), "9.999");
    }
    for (std::thread &loop : loops) loop.join();
    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_EQ(console.messages, std::vector<std::string>{});

    ASSERT_EQ(m_sim->Terminate(), 0);
    // A script's run: the status, the line count, the format, the price, the new price, its
    // read-back. The workstation's: the status, the new price, its read-back.
    const std::vector<int> script{34, 4, 1, 3, 2, 3};
    const std::vector<int> workstation{34, 2, 3};
    const std::vector<int> codes = TracedRequests(m_sim->ErrText());
    int scripts = 0;
    int workstations = 0;
    for (std::size_t at = 0; at < codes.size();) {
        const auto whole = [&](const std::vector<int> &run) {
            return codes.size() - at >= run.size() &&
                   std::equal(run.begin(), run.end(), codes.begin() + static_cast<long>(at));
        };
        if (whole(script)) {
            ++scripts;
            at += script.size();
        } else if (whole(workstation)) {
            ++workstations;
            at += workstation.size();
        } else {
            ADD_FAILURE() << "a run broken into at request " << at << ":\n" << m_sim->ErrText();
            break;
        }
    }
    EXPECT_EQ(scripts, 4 * kRounds);
    EXPECT_EQ(workstations, kRounds);
}

}  // namespace
