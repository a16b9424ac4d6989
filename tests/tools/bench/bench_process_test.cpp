// The real voxa-bench: a short run against the real simulator, a simulator that cannot
// start or cannot make its line, and stop signals, after which no program it started is
// left running.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "temporary_folder.h"

namespace {

using namespace std::chrono_literals;

class BenchProcess : public ::testing::Test {
protected:
    // A shell script that stands in for a program: it notes its process id, then runs the
    // body (which may exec the real program, keeping that id).
    std::string Wrapper(const std::string &name, const std::string &body) {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path) << "#!/bin/sh\necho $$ > " << PidFile(name) << "\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }
    std::string PidFile(const std::string &name) const { return m_dir + "/" + name + ".pid"; }
    // The id a wrapper noted, once it has.
    pid_t WaitForPid(const std::string &name, std::chrono::milliseconds limit) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            std::ifstream file(PidFile(name));
            pid_t pid = 0;
            if (file >> pid && pid > 0) return pid;
            std::this_thread::sleep_for(20ms);
        }
        return 0;
    }

    TemporaryFolder m_folder{"voxa-bench-test"};
    const std::string m_dir = m_folder.Path().string();
};

bool Alive(pid_t pid) {
    return kill(pid, 0) == 0 || errno != ESRCH;
}

TEST_F(BenchProcess, OneTransactionIsSetBesideItsFloor) {
    ChildProcess bench(VOXA_BENCH_PATH, {"--runs", "1", "--measure", "transaction"});
    ASSERT_EQ(bench.Finish(60s), 0) << bench.ErrText();
    const std::string &out = bench.OutText();
    EXPECT_NE(out.find("reply delay 0 ms, no time on the wire"), std::string::npos) << out;
    EXPECT_NE(out.find("floor of one transaction: 0.500 s"), std::string::npos) << out;
    std::smatch row;
    ASSERT_TRUE(std::regex_search(
        out, row, std::regex(R"(one transaction \(1\) +([0-9.]+) +0\.500 +([0-9.]+) +[0-9.]+)")))
        << out;
    // Nothing beats the floor; a loaded machine may take its time, but not seconds.
    const double ratio = std::stod(row[2]);
    EXPECT_GE(ratio, 1.0);
    EXPECT_LT(ratio, 4.0);
}

TEST_F(BenchProcess, SimulatorThatDoesNotStartIsReported) {
    const std::string missing = m_dir + "/no-such-ccsim";
    // A simulator whose descriptors run out after its pseudo-terminal's master, so that it
    // cannot open the terminal's other side. Descriptor numbers must stay below the limit,
    // so one inherited from the test's runner is closed first.
    const std::string noTerminal = Wrapper(
        "ccsim-no-pty", std::string("exec 3>&-\nulimit -n 4\nexec ") + VOXA_CCSIM_PATH + " \"$@\"");
    const std::string mute = Wrapper("ccsim-mute", "exec sleep 60");
    const struct {
        const char *name;
        std::string ccsim;
        std::string says;
    } kCases[] = {
        {"missing program", missing,
         "voxa-bench: the simulator " + missing +
             " did not start: cannot run the program: No such file or directory\n"},
        {"no pseudo-terminal", noTerminal,
         "voxa-bench: the simulator " + noTerminal +
             " did not start: voxa-ccsim: OpenPseudoTerminal(): open() failed: (24) Too many "
             "open files\n"},
        {"no announcement", mute,
         "voxa-bench: the simulator " + mute +
             " did not start: it did not announce its line within 5 s\n"},
    };
    for (const auto &c : kCases) {
        ChildProcess bench(VOXA_BENCH_PATH, {"--ccsim", c.ccsim, "--measure", "transaction"});
        EXPECT_EQ(bench.Finish(30s), 1) << c.name;
        EXPECT_EQ(bench.ErrText(), c.says) << c.name;
        EXPECT_EQ(bench.OutText(), "") << c.name;
    }
    // The simulator that never announced itself was ended, not left behind.
    const pid_t mutePid = WaitForPid("ccsim-mute", 1s);
    ASSERT_GT(mutePid, 0);
    EXPECT_FALSE(Alive(mutePid));
}

// Ctrl+C (or a stop from the session or the system) ends the bench and every program it
// started, whatever it is waiting for.
TEST_F(BenchProcess, StopSignalLeavesNoProgramBehind) {
    const std::string ccsim = Wrapper("ccsim", std::string("exec ") + VOXA_CCSIM_PATH + " \"$@\"");
    const std::string voxa = Wrapper("voxa", std::string("exec ") + VOXA_PATH + " \"$@\"");
    const struct {
        int signal;
        const char *measure;
        std::vector<const char *> programs;  // the wrappers that must have started
    } kCases[] = {
        {SIGINT, "startup", {"ccsim"}},
        {SIGTERM, "nvram", {"ccsim"}},
        {SIGHUP, "transaction", {"ccsim"}},
        {SIGINT, "workstation", {"ccsim", "voxa"}},
    };
    for (const auto &c : kCases) {
        for (const char *name : {"ccsim", "voxa"}) std::filesystem::remove(PidFile(name));
        ChildProcess bench(VOXA_BENCH_PATH, {"--ccsim", ccsim, "--voxa", voxa, "--measure",
                                             c.measure, "--runs", "20"});
        std::vector<pid_t> pids;
        for (const char *name : c.programs) pids.push_back(WaitForPid(name, 10s));
        for (const pid_t pid : pids) ASSERT_GT(pid, 0) << c.measure;
        // Into the middle of the work.
        std::this_thread::sleep_for(300ms);
        kill(bench.Pid(), c.signal);
        EXPECT_EQ(bench.Finish(20s), 128 + c.signal) << c.measure << ": " << bench.ErrText();
        EXPECT_NE(bench.ErrText().find("voxa-bench: stopped; the programs it started have ended"),
                  std::string::npos)
            << c.measure << ": " << bench.ErrText();
        for (const pid_t pid : pids) EXPECT_FALSE(Alive(pid)) << c.measure;
    }
}

}  // namespace
