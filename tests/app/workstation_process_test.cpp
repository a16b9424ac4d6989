// The real voxa as a process, started in a folder where something not a regular file
// stands in place of its settings file or its price log.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "child_process.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A FIFO in place of voxa.ini and of voxa-prices.csv once blocked the start-up in open()
// for good, deaf to SIGTERM. Now the start-up goes on (telling that the settings file cannot
// be read), and a stop signal ends the program as a close would: the FIFOs stay FIFOs.
TEST(Workstation, StartsPastFifosInPlaceOfItsFilesAndEndsOnAStopSignal) {
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
    EXPECT_EQ(*status, 0) << voxa.ErrText();
    EXPECT_EQ(fs::symlink_status(settings).type(), fs::file_type::fifo);
    EXPECT_EQ(fs::symlink_status(log).type(), fs::file_type::fifo);
}

}  // namespace
