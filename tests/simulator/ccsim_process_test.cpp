// voxa-ccsim run as its own process, talked to through its pseudo-terminal the way the
// workstation's serial port does.
#include "ccsim_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "command_code.h"
#include "command_frame.h"
#include "paced_wire.h"
#include "raw_request.h"
#include "temporary_folder.h"

namespace {

using namespace std::chrono_literals;

constexpr int kIoLimitMs = 3000;
const std::string kAnnouncement = "voxa-ccsim: listening on ";

// One voxa-ccsim child.
class Ccsim : public CcsimProcess {
public:
    explicit Ccsim(const std::vector<std::string> &args) : CcsimProcess(VOXA_CCSIM_PATH, args) {}
};

// The workstation's end of the line: opened raw, like its serial port.
class Port {
public:
    explicit Port(const std::string &path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios settings{};
        if (m_fd >= 0 && tcgetattr(m_fd, &settings) == 0) {
            cfmakeraw(&settings);
            cfsetspeed(&settings, B9600);
            tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~Port() {
        if (m_fd >= 0) close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }

    bool Write(std::uint8_t byte) { return write(m_fd, &byte, 1) == 1; }
    std::optional<std::uint8_t> Read() {
        pollfd p{m_fd, POLLIN, 0};
        std::uint8_t byte = 0;
        if (poll(&p, 1, kIoLimitMs) != 1 || read(m_fd, &byte, 1) != 1) return std::nullopt;
        return byte;
    }

private:
    int m_fd;
};

CommandFrame GetNumberOfLines() {
    return RawRequest(CommandCode::GetNumberOfLines);
}

void SendRequest(const std::string &line) {
    Port port(line);
    ASSERT_TRUE(port.IsOpen());
    const CommandFrame request = GetNumberOfLines();
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        ASSERT_TRUE(port.Write(request[i]));
        ASSERT_EQ(port.Read(), std::optional<std::uint8_t>(kAck)) << "request byte " << i;
    }
}

std::optional<CommandFrame> ReceiveReply(const std::string &line) {
    Port port(line);
    if (!port.IsOpen() || port.Read() != kSyncByte1) return std::nullopt;
    CommandFrame reply;
    reply[0] = kSyncByte1;
    for (std::size_t i = 1; i < kFrameSize; ++i) {
        port.Write(kAck);
        const auto byte = port.Read();
        if (!byte) return std::nullopt;
        reply[i] = *byte;
    }
    port.Write(kAck);
    return reply;
}

std::string ListeningPath(const std::string &announcement) {
    if (announcement.rfind(kAnnouncement, 0) != 0) return {};
    std::string path = announcement.substr(kAnnouncement.size());
    return path.substr(0, path.find(' '));
}

class CcsimProcessTest : public ::testing::Test {
protected:
    std::string LinkPath() const { return (m_folder.Path() / "ttyVOXA").string(); }

    TemporaryFolder m_folder{"ccsim-test"};
};

TEST_F(CcsimProcessTest, AnswersATransactionAndEndsCleanlyOnSigterm) {
    Ccsim sim({"--lines", "3", "--trace"});
    ASSERT_TRUE(sim.Started());
    const auto announcement = sim.ReadLine();
    ASSERT_TRUE(announcement);
    const std::string line = ListeningPath(*announcement);
    ASSERT_EQ(line.rfind("/dev/pts/", 0), 0u) << *announcement;

    // The workstation closes its port between the request and the reply.
    SendRequest(line);
    const auto reply = ReceiveReply(line);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[0], kSyncByte1);
    EXPECT_EQ((*reply)[1], kSyncByte2);
    EXPECT_EQ(reply->Code(), 4);
    EXPECT_EQ(reply->Status(), 0);
    EXPECT_EQ((*reply)[4], 3);
    EXPECT_TRUE(reply->ChecksumValid());

    EXPECT_EQ(sim.Terminate(), 0);
    const std::string trace = sim.ErrorText();
    EXPECT_NE(trace.find("WS->CC Get number of lines (4): D6 19 04"), std::string::npos) << trace;
    EXPECT_NE(trace.find("CC->WS Get number of lines (4) status 0: D6 19 04 00 03"),
              std::string::npos)
        << trace;
}

TEST_F(CcsimProcessTest, SyncBytesSentWhileThePortIsClosedDoNotPileUp) {
    Ccsim sim({});
    const auto announcement = sim.ReadLine();
    ASSERT_TRUE(announcement);
    const std::string line = ListeningPath(*announcement);
    SendRequest(line);
    // Long enough for the sync byte and at least two repeats to go out to nobody.
    std::this_thread::sleep_for(700ms);
    const auto reply = ReceiveReply(line);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[1], kSyncByte2);
    EXPECT_TRUE(reply->ChecksumValid());
    EXPECT_EQ(sim.Terminate(), 0);
}

// At 9600 baud every byte of the handshake takes its time on the line, the workstation's
// as well as the controller's: 22 request bytes and their ACKs, then 22 reply bytes and
// the ACKs of the first 21 before the last reply byte is in.
TEST_F(CcsimProcessTest, PacedLineTakesAByteTimeForEveryByteBothWays) {
    Ccsim sim({"--paced", "--reply-delay", "0"});
    const auto announcement = sim.ReadLine();
    ASSERT_TRUE(announcement);
    const std::string line = ListeningPath(*announcement);
    const auto start = std::chrono::steady_clock::now();
    SendRequest(line);
    const auto requestDone = std::chrono::steady_clock::now();
    const auto reply = ReceiveReply(line);
    const auto replyDone = std::chrono::steady_clock::now();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->ChecksumValid());
    EXPECT_GE(requestDone - start, 44 * PacedWire::kByteTimeAt9600);
    EXPECT_GE(replyDone - start, 87 * PacedWire::kByteTimeAt9600);
    EXPECT_EQ(sim.Terminate(), 0);
}

// The cable pulled: the byte that reaches the count gets no answer, the port hangs up, and
// the device is gone, so it cannot be opened again.
TEST_F(CcsimProcessTest, UnplugClosesTheLineAndItsDeviceGoes) {
    Ccsim sim({"--unplug-after", "3", "--trace"});
    const auto announcement = sim.ReadLine();
    ASSERT_TRUE(announcement);
    const std::string line = ListeningPath(*announcement);
    {
        Port port(line);
        ASSERT_TRUE(port.IsOpen());
        const CommandFrame request = GetNumberOfLines();
        for (std::size_t i = 0; i < 2; ++i) {
            ASSERT_TRUE(port.Write(request[i]));
            ASSERT_EQ(port.Read(), std::optional<std::uint8_t>(kAck)) << "request byte " << i;
        }
        ASSERT_TRUE(port.Write(request[2]));
        EXPECT_EQ(port.Read(), std::nullopt);
        EXPECT_FALSE(port.Write(request[3]));
    }
    struct stat info {};
    EXPECT_NE(stat(line.c_str(), &info), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(Port(line).IsOpen());
    // Still there until stopped, and stopped the orderly way.
    EXPECT_EQ(sim.Terminate(), 0);
    EXPECT_NE(sim.ErrorText().find("line unplugged after 3 bytes from the workstation"),
              std::string::npos)
        << sim.ErrorText();
}

TEST_F(CcsimProcessTest, LinkAppearsAndIsRemovedOnExit) {
    // A stale link from an earlier run is replaced.
    ASSERT_EQ(symlink("/dev/pts/does-not-exist", LinkPath().c_str()), 0);
    Ccsim sim({"--link", LinkPath()});
    const auto announcement = sim.ReadLine();
    ASSERT_TRUE(announcement);
    const std::string line = ListeningPath(*announcement);
    EXPECT_EQ(*announcement, kAnnouncement + line + " (link " + LinkPath() + ")");
    std::array<char, 256> target{};
    const ssize_t length = readlink(LinkPath().c_str(), target.data(), target.size() - 1);
    ASSERT_GT(length, 0);
    EXPECT_EQ(std::string(target.data(), static_cast<std::size_t>(length)), line);

    // The link works as the port name.
    SendRequest(LinkPath());
    EXPECT_TRUE(ReceiveReply(LinkPath()));

    EXPECT_EQ(sim.Terminate(), 0);
    struct stat info {};
    EXPECT_NE(lstat(LinkPath().c_str(), &info), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(CcsimProcessTest, RegularFileIsNeverReplacedByTheLink) {
    {
        std::ofstream file(LinkPath());
        file << "keep me";
    }
    Ccsim sim({"--link", LinkPath()});
    EXPECT_EQ(sim.Wait(), 1);
    EXPECT_NE(sim.ErrorText().find("not a symlink"), std::string::npos);
    std::ifstream file(LinkPath());
    std::string content;
    std::getline(file, content);
    EXPECT_EQ(content, "keep me");
}

TEST_F(CcsimProcessTest, BadOptionsExitWithStatusTwo) {
    Ccsim sim({"--lines", "many"});
    EXPECT_EQ(sim.Wait(), 2);
    EXPECT_NE(sim.ErrorText().find("invalid value 'many' for option '--lines'"), std::string::npos);
    Ccsim help({"--help"});
    const auto first = help.ReadLine();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->rfind("Usage: voxa-ccsim", 0), 0u);
    EXPECT_EQ(help.Wait(), 0);
}

}  // namespace
