// The real voxa as a process, started in a folder where something not a regular file
// stands in place of its settings file or its price log.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "ccsim_process.h"
#include "child_process.h"
#include "file_contents.h"
#include "line_lock.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A FIFO in place of voxa.ini and of voxa-prices.csv once blocked the start-up in open()
// for good, deaf to SIGTERM. Now the start-up goes on (telling that the settings file cannot
// be read), and a stop signal ends the program as a close would: the FIFOs stay FIFOs.
TEST(WorkstationHardening, StartsPastFifosInPlaceOfItsFilesAndEndsOnAStopSignal) {
    TemporaryFolder folder("voxa-workstation");
    const fs::path settings = folder.Path() / "voxa.ini";
    const fs::path log = folder.Path() / "voxa-prices.csv";
    ASSERT_EQ(::mkfifo(settings.c_str(), 0666), 0);
    ASSERT_EQ(::mkfifo(log.c_str(), 0666), 0);
    ChildProcess voxa("/usr/bin/env", {"QT_QPA_PLATFORM=offscreen", VOXA_PATH}, folder.Path());
    ASSERT_TRUE(voxa.Started());
    // Time to reach its first window (the message, then the port dialog of a first start).
    std::this_thread::sleep_for(3s);
    ::kill(voxa.Pid(), SIGTERM);
    const auto status = voxa.Finish(30s);
    ASSERT_TRUE(status) << "still running 30 s after SIGTERM";
    // Ended the usual way; or, on a machine so loaded that the signal came before the
    // program could take it in hand, as the signal's default does.
    EXPECT_TRUE(*status == 0 || *status == 128 + SIGTERM) << *status << voxa.ErrText();
    EXPECT_EQ(fs::symlink_status(settings).type(), fs::file_type::fifo);
    EXPECT_EQ(fs::symlink_status(log).type(), fs::file_type::fifo);
}

// The line held by another program for longer than the start-up can wait: a stop signal
// (a shutdown) ends the wait, and the program, at once, instead of after the minute the
// wait would last.
TEST(WorkstationHardening, AStopSignalEndsAWaitForTheLine) {
    if (::access(LineLock::kDefaultDirectory, W_OK) != 0) {
        GTEST_SKIP() << LineLock::kDefaultDirectory << " is not writable here";
    }
    CcsimProcess simulator(VOXA_CCSIM_PATH, {});
    ASSERT_TRUE(simulator.Started());
    const std::string device = simulator.ReadListeningPath();
    ASSERT_FALSE(device.empty());
    TemporaryFolder folder("voxa-workstation");
    WriteWholeFile(folder.Path() / "voxa.ini",
                   "[Communications]\nPort=COM1\n[Devices]\nCOM1=" + device + "\n");
    // The holder: a program that runs, and holds the line's lock the whole time.
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::pause();
        ::_exit(0);
    }
    const fs::path lock = fs::path(LineLock::kDefaultDirectory) / LineLock::FileNameFor(device);
    char owner[16];
    std::snprintf(owner, sizeof owner, "%10d\n", static_cast<int>(holder));
    WriteWholeFile(lock, owner);

    ChildProcess voxa("/usr/bin/env", {"QT_QPA_PLATFORM=offscreen", VOXA_PATH}, folder.Path());
    ASSERT_TRUE(voxa.Started());
    // Into the start-up's first question, which waits for the line.
    std::this_thread::sleep_for(3s);
    const auto stopped = std::chrono::steady_clock::now();
    ::kill(voxa.Pid(), SIGTERM);
    const auto status = voxa.Finish(40s);
    const auto took = std::chrono::steady_clock::now() - stopped;
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    fs::remove(lock);
    ASSERT_TRUE(status) << "still running 40 s after SIGTERM";
    EXPECT_TRUE(*status == 0 || *status == 128 + SIGTERM) << *status << voxa.ErrText();
    EXPECT_LT(took, 15s);
}

}  // namespace
