#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <array>

#include "child_guard.h"
#include "device_map.h"
#include "stoppable_link_platform.h"

namespace {

bool OpensCom1(StoppableLinkPlatform &platform, std::string &error) {
    auto line = platform.NewLine();
    const bool opened =
        line->Open("COM1", 9600, SerialLine::Parity::None, SerialLine::StopBits::One, 8);
    error = line->LastError();
    line->Close();
    return opened;
}

// Once a stop signal has come, the bench opens no line, not even the one it used: its
// number may belong to another program's terminal by then.
TEST(StoppableLinkPlatform, OpensNothingAfterAStopSignal) {
    int master = -1;
    int slave = -1;
    std::array<char, 128> name{};
    ASSERT_EQ(::openpty(&master, &slave, name.data(), nullptr, nullptr), 0);
    DeviceMap devices;
    devices.Set(1, name.data());
    StoppableLinkPlatform platform(devices);
    std::string error;
    EXPECT_TRUE(OpensCom1(platform, error)) << error;

    ASSERT_TRUE(ChildGuard::Install());
    ASSERT_EQ(::raise(SIGINT), 0);
    ASSERT_EQ(ChildGuard::StopSignal(), SIGINT);
    EXPECT_FALSE(OpensCom1(platform, error));
    EXPECT_EQ(error, "Open(): voxa-bench is stopping: (4) Interrupted system call\n");
    ::close(slave);
    ::close(master);
}

}  // namespace
