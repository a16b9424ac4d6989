#include "serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device_map.h"
#include "forked_call.h"
#include "recording_console.h"
#include "sign_system.h"
#include "system_link_platform.h"
#include "temporary_folder.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Parity = SerialLine::Parity;
using StopBits = SerialLine::StopBits;

constexpr uid_t kNobody = 65534;
constexpr int kShortLimitMs = 50;
constexpr auto kPromptly = 1500ms;
constexpr const char *kTimeOutText = "Error ReadData(): no byte arrived within the time limit\n";

bool OpenAtLineSettings(SerialPort &port, const std::string &name) {
    return port.Open(name, kBaudRate, Parity::None, StopBits::One, kByteSize);
}

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

int ExclusiveMode(int fd) {
    int exclusive = -1;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 ? exclusive : -1;
}

// Another program on the device: a child process that opens it and sets exclusive mode, then
// either keeps it open until this object goes, or ends at once without clearing the mode, as
// a program killed in the middle of a transaction does.
class ExclusiveHolder {
public:
    ExclusiveHolder(const std::string &path, bool keep) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            // Nothing of the test's: not the controller's side of the line, above all.
            for (int fd = 3; fd < 1024; ++fd) {
                if (fd != ready[1]) ::close(fd);
            }
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
            const char ok = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 1 : 0;
            [[maybe_unused]] const ssize_t told = ::write(ready[1], &ok, 1);
            if (keep) ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char ok = 0;
        m_holding = ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
        if (!keep) Reap();
    }
    ~ExclusiveHolder() {
        if (m_pid > 0) ::kill(m_pid, SIGKILL);
        Reap();
    }
    ExclusiveHolder(const ExclusiveHolder &) = delete;
    ExclusiveHolder &operator=(const ExclusiveHolder &) = delete;
    bool Holding() const { return m_holding; }

private:
    void Reap() {
        if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    pid_t m_pid = -1;
    bool m_holding = false;
};

// A pseudo-terminal stands in for the adapter: the port opens the slave as COM1, the
// test plays the controller on the master.
class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::array<char, 128> name{};
        ASSERT_EQ(::openpty(&m_master, &m_slave, name.data(), nullptr, nullptr), 0);
        m_slavePath = name.data();
        m_devices.Set(1, m_slavePath);
    }

    void TearDown() override {
        CloseMaster();
        if (m_slave >= 0) {
            ::close(m_slave);
        }
    }

    void CloseMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

    void SendFromController(const std::vector<std::uint8_t> &bytes) const {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + sent, bytes.size() - sent);
            ASSERT_GT(n, 0);
            sent += static_cast<std::size_t>(n);
        }
    }

    // Waits until the terminal holds count bytes for the port to read: bytes written on
    // the controller's side cross over a moment later.
    void WaitUntilQueued(std::size_t count) const {
        const auto deadline = Clock::now() + 2000ms;
        int queued = 0;
        while (Clock::now() < deadline && !(::ioctl(m_slave, FIONREAD, &queued) == 0 &&
                                            static_cast<std::size_t>(queued) >= count)) {
            std::this_thread::sleep_for(1ms);
        }
    }

    // What reaches the controller within the limit, at most count bytes.
    std::vector<std::uint8_t> ReceiveAtController(std::size_t count,
                                                  std::chrono::milliseconds limit = 2000ms) const {
        std::vector<std::uint8_t> bytes;
        const auto deadline = Clock::now() + limit;
        while (bytes.size() < count && Clock::now() < deadline) {
            pollfd watch{m_master, POLLIN, 0};
            if (::poll(&watch, 1, 10) <= 0 || (watch.revents & POLLIN) == 0) {
                continue;
            }
            std::array<std::uint8_t, 4096> chunk{};
            const ssize_t n =
                ::read(m_master, chunk.data(), std::min(chunk.size(), count - bytes.size()));
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
        }
        return bytes;
    }

    // Opens COM1 in a child process that has given up root, as an ordinary user would run
    // the workstation; returns what the child's port reported.
    std::string OpenAsOrdinaryUser() const {
        int channel[2];
        if (::pipe(channel) != 0) {
            return "pipe failed";
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(channel[0]);
            std::string result = "could not drop root";
            if (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0) {
                SerialPort port(m_devices);
                result = OpenAtLineSettings(port, "COM1") ? "opened" : port.LastError();
            }
            [[maybe_unused]] const ssize_t n = ::write(channel[1], result.data(), result.size());
            ::_exit(0);
        }
        ::close(channel[1]);
        std::string result;
        std::array<char, 512> chunk{};
        ssize_t n = 0;
        while ((n = ::read(channel[0], chunk.data(), chunk.size())) > 0) {
            result.append(chunk.data(), static_cast<std::size_t>(n));
        }
        ::close(channel[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return result;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    DeviceMap m_devices;
};

TEST_F(SerialPortTest, OpenSetsRawLineAtTheGivenSettings) {
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.LastError(), "");

    termios line{};
    ASSERT_EQ(::tcgetattr(m_slave, &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cc[VMIN], 1);
    EXPECT_EQ(line.c_cc[VTIME], 0);
}

struct FramingRow {
    int baudRate;
    Parity parity;
    StopBits stopBits;
    int byteSize;
    speed_t speed;
    tcflag_t framing;
};

class SerialPortFraming : public SerialPortTest,
                          public ::testing::WithParamInterface<FramingRow> {};

TEST_P(SerialPortFraming, TakesEachSetting) {
    const FramingRow row = GetParam();
    SerialPort port(m_devices);
    ASSERT_TRUE(port.Open("COM1", row.baudRate, row.parity, row.stopBits, row.byteSize))
        << port.LastError();
    termios line{};
    ASSERT_EQ(::tcgetattr(m_slave, &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), row.speed);
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), row.framing);
}

// A pseudo-terminal keeps the speed and the stop bits it is given but always reports 8 data
// bits without parity, so only those framings can be seen to take here.
INSTANTIATE_TEST_SUITE_P(
    SerialPort, SerialPortFraming,
    ::testing::Values(FramingRow{9600, Parity::None, StopBits::One, 8, B9600, CS8},
                      FramingRow{4800, Parity::None, StopBits::Two, 8, B4800, CS8 | CSTOPB},
                      FramingRow{115200, Parity::None, StopBits::One, 8, B115200, CS8}));

// A driver that quietly keeps its own framing would garble every frame; the pseudo-terminal
// is such a driver for parity and byte size.
TEST_F(SerialPortTest, FramingTheDriverDidNotTakeFailsTheOpen) {
    for (const auto parity : {Parity::Even, Parity::Odd}) {
        SerialPort port(m_devices);
        EXPECT_FALSE(port.Open("COM1", kBaudRate, parity, StopBits::One, kByteSize));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.LastError(),
                  "Open(): tcsetattr() failed, the line settings did not take: (22) Invalid "
                  "argument\n");
    }
    SerialPort port(m_devices);
    EXPECT_FALSE(port.Open("COM1", kBaudRate, Parity::None, StopBits::One, 7));
    EXPECT_EQ(ExclusiveMode(m_slave), 0);
    EXPECT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
}

TEST_F(SerialPortTest, RefusesSettingsItCannotApply) {
    struct Row {
        int baudRate;
        int byteSize;
    };
    for (const Row row : {Row{12345, 8}, Row{0, 8}, Row{9600, 9}, Row{9600, 4}}) {
        SerialPort port(m_devices);
        EXPECT_FALSE(port.Open("COM1", row.baudRate, Parity::None, StopBits::One, row.byteSize))
            << row.baudRate << " " << row.byteSize;
        EXPECT_FALSE(port.IsOpen());
        EXPECT_NE(port.LastError().find(": (22) "), std::string::npos) << port.LastError();
    }
    EXPECT_EQ(ExclusiveMode(m_slave), 0);
}

TEST_F(SerialPortTest, EveryByteValueCrossesUnchangedBothWays) {
    std::vector<std::uint8_t> all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();

    ASSERT_EQ(port.WriteData(all.data(), static_cast<int>(all.size())), 256);
    EXPECT_EQ(ReceiveAtController(all.size()), all);

    SendFromController(all);
    std::vector<std::uint8_t> received;
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::uint8_t byte = 0;
        ASSERT_EQ(port.ReadData(&byte, 1, 500), 1) << "byte " << i << ": " << port.LastError();
        received.push_back(byte);
    }
    EXPECT_EQ(received, all);
}

TEST_F(SerialPortTest, WriteHandsOverABlockLargerThanTheDriverTakesAtOnce) {
    std::vector<std::uint8_t> block(256 * 1024);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();

    std::vector<std::uint8_t> received;
    std::thread controller([&] { received = ReceiveAtController(block.size(), 10s); });
    const int written = port.WriteData(block.data(), static_cast<int>(block.size()));
    controller.join();
    EXPECT_EQ(written, static_cast<int>(block.size())) << port.LastError();
    EXPECT_TRUE(received == block) << "received " << received.size() << " bytes";
}

TEST_F(SerialPortTest, SilentLineTimesOutAndLeavesTheBufferAlone) {
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();

    std::uint8_t byte = 0xA5;
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadData(&byte, 1, kShortLimitMs), -1);
    const auto elapsed = Since(start);
    EXPECT_GE(elapsed, 40ms);
    EXPECT_LT(elapsed, 2s);
    EXPECT_EQ(byte, 0xA5);
    EXPECT_EQ(port.LastError(), kTimeOutText);
}

// A long wait for a byte keeps the program's window alive: the hook comes every period,
// the byte that arrives in between is taken, and a silent line still waits out its limit.
TEST_F(SerialPortTest, LongWaitCallsTheKeepAliveHookAndKeepsItsLimit) {
    SerialPort port(m_devices);
    int calls = 0;
    port.SetKeepAlive([&calls] { ++calls; }, 20ms);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();

    std::uint8_t byte = 0xA5;
    auto start = Clock::now();
    EXPECT_EQ(port.ReadData(&byte, 1, 300), -1);
    EXPECT_GE(Since(start), 300ms);
    EXPECT_GE(calls, 1);
    EXPECT_LE(calls, 300 / 20);
    EXPECT_EQ(byte, 0xA5);
    EXPECT_EQ(port.LastError(), kTimeOutText);

    // The controller answers while the hook runs: the wait goes on and takes the byte.
    calls = 0;
    port.SetKeepAlive(
        [this, &calls] {
            if (++calls == 2) SendFromController({0x06});
        },
        20ms);
    start = Clock::now();
    ASSERT_EQ(port.ReadData(&byte, 1, 2000), 1) << port.LastError();
    EXPECT_EQ(byte, 0x06);
    EXPECT_EQ(calls, 2);
    EXPECT_LT(Since(start), 1500ms);

    // A byte that is there already needs no wait and no hook.
    calls = 0;
    SendFromController({0x15});
    WaitUntilQueued(1);
    ASSERT_EQ(port.ReadData(&byte, 1, 500), 1);
    EXPECT_EQ(byte, 0x15);
    EXPECT_EQ(calls, 0);
}

// The platform hands its hook to every line it makes, and pauses in its periods too.
TEST_F(SerialPortTest, PlatformKeepsTheWindowAliveInReadsAndPauses) {
    SystemLinkPlatform platform(m_devices);
    int calls = 0;
    platform.SetKeepAlive([&calls] { ++calls; });

    std::unique_ptr<SerialLine> line = platform.NewLine();
    ASSERT_TRUE(line->Open("COM1", kBaudRate, Parity::None, StopBits::One, kByteSize))
        << line->LastError();
    std::uint8_t byte = 0;
    EXPECT_EQ(line->ReadData(&byte, 1, 200), -1);
    EXPECT_GE(calls, 1);

    calls = 0;
    const auto start = Clock::now();
    platform.Pause(200ms);
    EXPECT_GE(Since(start), 200ms);
    EXPECT_GE(calls, 1);
    EXPECT_LE(calls, 200 / LinkPlatform::kKeepAlivePeriod.count());
}

// A caller's time limit below the link's 500 ms is kept, not stretched to it. The shortest
// of a few reads stands for the read itself: a loaded machine may delay one of them, but a
// read that waits 500 ms whatever it is told waits that long every time.
class SerialPortShortLimits : public SerialPortTest, public ::testing::WithParamInterface<int> {};

TEST_P(SerialPortShortLimits, AreKeptAndNotStretched) {
    const int limit = GetParam();
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
    auto shortest = std::chrono::milliseconds::max();
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint8_t byte = 0;
        const auto start = Clock::now();
        EXPECT_EQ(port.ReadData(&byte, 1, limit), -1);
        shortest = std::min(shortest, Since(start));
    }
    EXPECT_GE(shortest, std::chrono::milliseconds(limit));
    EXPECT_LT(shortest, std::chrono::milliseconds(limit) + 250ms);
}

INSTANTIATE_TEST_SUITE_P(BelowTheLinksLimit, SerialPortShortLimits,
                         ::testing::Values(1, 20, 100, 240));

TEST_F(SerialPortTest, ReadReturnsWhatArrivedWithinTheLimit) {
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();

    SendFromController({0xD6, 0x19, 0x02});
    std::array<std::uint8_t, 5> buffer{};
    ASSERT_EQ(port.ReadData(buffer.data(), 3, 500), 3) << port.LastError();
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 5>{0xD6, 0x19, 0x02, 0, 0}));

    buffer.fill(0xEE);
    SendFromController({0x06, 0x15});
    EXPECT_EQ(port.ReadData(buffer.data(), 5, kShortLimitMs), 2);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 5>{0x06, 0x15, 0xEE, 0xEE, 0xEE}));
}

TEST_F(SerialPortTest, CountOfZeroDoesNoIo) {
    SerialPort port(m_devices);
    std::uint8_t byte = 0x5A;
    // Not even open: a count of 0 never reaches the device.
    EXPECT_EQ(port.WriteData(&byte, 0), 0);
    EXPECT_EQ(port.ReadData(&byte, 0, 2000), 0);
    EXPECT_EQ(port.LastError(), "");

    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
    SendFromController({0x06});
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadData(&byte, 0, 2000), 0);
    EXPECT_LT(Since(start), kPromptly);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(port.WriteData(&byte, 0), 0);
    EXPECT_TRUE(ReceiveAtController(1, 50ms).empty());
    // The byte the zero-count read left alone is still there.
    EXPECT_EQ(port.ReadData(&byte, 1, 500), 1);
    EXPECT_EQ(byte, 0x06);
    EXPECT_EQ(port.LastError(), "");
}

// Bytes that came while the port was closed are still there when it opens (a reply may
// begin before the port opened for it); DiscardInput() drops them, and only them.
TEST_F(SerialPortTest, OpenKeepsWaitingBytesUntilDiscarded) {
    SendFromController({0xD6, 0x19});
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadData(&byte, 1, kShortLimitMs), 1);
    EXPECT_EQ(byte, 0xD6);

    SendFromController({'s', 't', 'a', 'l', 'e', '\n', 0xD6});
    WaitUntilQueued(8);
    port.DiscardInput();
    EXPECT_EQ(port.ReadData(&byte, 1, kShortLimitMs), -1);
    EXPECT_EQ(port.LastError(), kTimeOutText);
    SendFromController({0x06});
    EXPECT_EQ(port.ReadData(&byte, 1, kShortLimitMs), 1);
    EXPECT_EQ(byte, 0x06);
}

// A controller that starts its reply the moment the request is in: the sync byte arrives
// while the workstation closes the port it sent on and opens the one it receives on, and
// is taken all the same. It is sent once, as a controller that does not repeat it would.
TEST_F(SerialPortTest, InstantReplyIsTakenWhenItBeginsBetweenSendAndReceive) {
    SystemLinkPlatform platform(m_devices);
    platform.SetLockDirectory(std::filesystem::temp_directory_path().string());
    RecordingConsole console;
    SignSystem system(platform, console);
    system.SetPortName("COM1");
    std::ostringstream diagnostics;
    system.SetDiagnosticStream(diagnostics);

    CommandFrame reply;
    reply[0] = kSyncByte1;
    reply[1] = kSyncByte2;
    reply[2] = 4;
    reply[4] = 3;
    reply.StoreChecksum();
    std::thread controller([&] {
        for (std::size_t i = 0; i < kFrameSize; ++i) {
            if (ReceiveAtController(1).size() != 1) return;
            // The last ACK and the sync byte go out together.
            SendFromController(i + 1 < kFrameSize ? std::vector<std::uint8_t>{kAck}
                                                  : std::vector<std::uint8_t>{kAck, kSyncByte1});
        }
        for (std::size_t i = 1; i < kFrameSize; ++i) {
            if (ReceiveAtController(1) != std::vector<std::uint8_t>{kAck}) return;
            SendFromController({reply[i]});
        }
        ReceiveAtController(1);
    });
    EXPECT_EQ(system.GetNumberOfLines(), 3);
    controller.join();
    EXPECT_EQ(console.messages, std::vector<std::string>{});
}

// Answers from before the request (late ACKs of an earlier exchange) do not pass for the
// answers to its bytes: with nobody answering now, the send fails.
TEST_F(SerialPortTest, StaleAnswersBeforeARequestAreNotTakenForItsAcks) {
    // Raw already, as the port left it last time: a fresh terminal would echo the bytes.
    termios raw{};
    ASSERT_EQ(::tcgetattr(m_slave, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(m_slave, TCSANOW, &raw), 0);
    SendFromController(std::vector<std::uint8_t>(kFrameSize, kAck));
    WaitUntilQueued(kFrameSize);
    SystemLinkPlatform platform(m_devices);
    platform.SetLockDirectory(std::filesystem::temp_directory_path().string());
    RecordingConsole console;
    SignSystem system(platform, console);
    system.SetPortName("COM1");
    ControllerLink &link = system.Link();
    CommandFrame request;
    request[0] = kSyncByte1;
    request[1] = kSyncByte2;
    request[2] = 4;
    request.StoreChecksum();
    EXPECT_EQ(link.Send(request), -1);
    // Written once, then repeated for each missing answer until the fourth.
    EXPECT_EQ(ReceiveAtController(kFrameSize, 200ms), std::vector<std::uint8_t>(4, kSyncByte1));
}

TEST_F(SerialPortTest, MissingDeviceFailsWithTheSystemText) {
    m_devices.Set(2, "/nonexistent/ttyVOXA0");
    SerialPort port(m_devices);
    EXPECT_FALSE(OpenAtLineSettings(port, "COM2"));
    EXPECT_FALSE(port.IsOpen());
    const std::string error = port.LastError();
    EXPECT_EQ(error.rfind("Open(): /nonexistent/ttyVOXA0: not found; check that the cable", 0), 0u)
        << error;
    EXPECT_TRUE(error.ends_with(" (open() failed: (2) No such file or directory)\n")) << error;
}

TEST_F(SerialPortTest, DiagnosticIsCutTo255Characters) {
    m_devices.Set(2, "/nonexistent/" + std::string(400, 'x'));
    SerialPort port(m_devices);
    EXPECT_FALSE(OpenAtLineSettings(port, "COM2"));
    EXPECT_EQ(port.LastError().size(), 255u);
}

// Changes into a scratch directory holding files named like the bad port names, so that
// opening a name relative to the working directory would succeed and show.
class ScratchDirectory {
public:
    ScratchDirectory() : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(m_folder.Path());
    }
    ~ScratchDirectory() { std::filesystem::current_path(m_previous); }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    void AddFile(const std::string &name) const {
        const int fd = ::open((m_folder.Path() / name).c_str(), O_CREAT | O_WRONLY, 0666);
        if (fd >= 0) {
            ::close(fd);
        }
    }

private:
    std::filesystem::path m_previous;
    // Removed once the destructor has changed back out of it.
    TemporaryFolder m_folder{"voxa_serial"};
};

TEST_F(SerialPortTest, NameThatIsNoPortFailsWithoutTouchingFiles) {
    ScratchDirectory scratch;
    for (const std::string name : {"XXX", "COM0", "COM", "COM1x", ""}) {
        if (!name.empty()) {
            scratch.AddFile(name);
        }
        SerialPort port(m_devices);
        EXPECT_FALSE(OpenAtLineSettings(port, name)) << name;
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.LastError(), "Open(): \"" + name +
                                        "\" is not a port name of the form COMn: (2) No such "
                                        "file or directory\n");
    }
}

TEST_F(SerialPortTest, RelativeDevicePathIsRefused) {
    ScratchDirectory scratch;
    scratch.AddFile("ttyVOXA");
    m_devices.Set(3, "ttyVOXA");
    SerialPort port(m_devices);
    EXPECT_FALSE(OpenAtLineSettings(port, "COM3"));
    EXPECT_NE(port.LastError().find("is not an absolute path: (2) "), std::string::npos)
        << port.LastError();
}

TEST_F(SerialPortTest, SecondOpenWhileHeldIsRefusedAndFreedByClose) {
    SerialPort first(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(first, "COM1")) << first.LastError();
    EXPECT_EQ(ExclusiveMode(m_slave), 1);
    const std::uint8_t ack = 0x06;
    ASSERT_EQ(first.WriteData(&ack, 1), 1);

    SerialPort second(m_devices);
    EXPECT_FALSE(OpenAtLineSettings(second, "COM1"));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(
        second.LastError().find(m_slavePath + ": in use by another program; end that program"),
        std::string::npos)
        << second.LastError();

    // The refused open must neither undo the holder's claim nor drop its output.
    EXPECT_EQ(ExclusiveMode(m_slave), 1);
    EXPECT_EQ(ReceiveAtController(1), std::vector<std::uint8_t>{0x06});

    first.Close();
    EXPECT_EQ(ExclusiveMode(m_slave), 0);
    EXPECT_TRUE(OpenAtLineSettings(second, "COM1")) << second.LastError();
}

// Serial programs that run as root see no TIOCEXCL; the advisory lock is what they share.
TEST_F(SerialPortTest, DeviceLockedByAnotherProgramCountsAsInUse) {
    const int other = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

    SerialPort port(m_devices);
    EXPECT_FALSE(OpenAtLineSettings(port, "COM1"));
    EXPECT_EQ(port.LastError(), "Open(): " + m_slavePath +
                                    ": in use by another program; end that program and try again "
                                    "(flock() failed: (11) Resource temporarily unavailable)\n");
    ::close(other);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();

    // Held the same way while open, so that such programs keep out in turn.
    const int probe = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    port.Close();
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);
}

// Another program that holds the device open in exclusive mode: root gets past the mode,
// but the port is the other program's all the same.
TEST_F(SerialPortTest, DeviceHeldExclusivelyByAnotherProgramCountsAsInUse) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root gets past exclusive mode";
    const ExclusiveHolder other(m_slavePath, true);
    ASSERT_TRUE(other.Holding());
    SerialPort port(m_devices);
    EXPECT_FALSE(OpenAtLineSettings(port, "COM1"));
    EXPECT_EQ(port.LastError(), "Open(): " + m_slavePath +
                                    ": in use by another program; end that program and try again "
                                    "(ioctl(TIOCGEXCL) found it held: (16) Device or resource "
                                    "busy)\n");
    EXPECT_EQ(ExclusiveMode(m_slave), 1);
}

// A program killed in the middle of a transaction leaves exclusive mode set on the device,
// and nobody to clear it. Root takes it over and clears it at the close; anyone else is told
// what happened and what puts it right, not that some program uses the port.
TEST_F(SerialPortTest, ExclusiveModeLeftByAProgramThatEndedIsTakenOverOrNamed) {
    { const ExclusiveHolder ended(m_slavePath, false); }
    ASSERT_EQ(ExclusiveMode(m_slave), 1);
    if (::geteuid() == 0) {
        ASSERT_EQ(::fchown(m_slave, kNobody, static_cast<gid_t>(-1)), 0);
        EXPECT_EQ(OpenAsOrdinaryUser(),
                  "Open(): " + m_slavePath +
                      ": the device is still marked exclusive by a program that ended; unplug "
                      "and replug the adapter, or restart what provides the device, and try "
                      "again (open() failed: (16) Device or resource busy)\n");
    }
    SerialPort port(m_devices);
    if (::geteuid() != 0) {
        EXPECT_FALSE(OpenAtLineSettings(port, "COM1"));
        EXPECT_NE(port.LastError().find("still marked exclusive by a program that ended"),
                  std::string::npos)
            << port.LastError();
        return;
    }
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
    port.Close();
    EXPECT_EQ(ExclusiveMode(m_slave), 0);
    EXPECT_EQ(OpenAsOrdinaryUser(), "opened");
}

// voxa-ctl --device /dev/tty: the terminal a person types in is no line to the controller,
// and is left as it was, not raw.
TEST_F(SerialPortTest, AControllingTerminalIsRefusedAndLeftAsItWas) {
    const auto outcome = RunForked(
        [&] {
            // A session of its own, with the slave as its controlling terminal.
            if (::setsid() < 0 || ::ioctl(m_slave, TIOCSCTTY, 0) != 0) return 2;
            termios before{};
            ::tcgetattr(m_slave, &before);
            DeviceMap devices;
            devices.Set(1, "/dev/tty");
            SerialPort port(devices);
            const bool opened = OpenAtLineSettings(port, "COM1");
            termios after{};
            ::tcgetattr(m_slave, &after);
            const bool kept = before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag;
            return !opened && kept &&
                           port.LastError() ==
                               "Open(): /dev/tty: this is the terminal this program runs in, not "
                               "a line to the Central Controller; check that the port setting "
                               "names the controller's serial device\n"
                       ? 0
                       : 1;
        },
        5s);
    EXPECT_EQ(outcome, 0);
}

TEST_F(SerialPortTest, OpenAndCloseLeavesThePortFreeEveryTime) {
    for (int round = 0; round < 3; ++round) {
        SerialPort port(m_devices);
        ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << round << ": " << port.LastError();
        port.Close();
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(ExclusiveMode(m_slave), 0) << round;
    }
    {
        SerialPort dropped(m_devices);
        ASSERT_TRUE(OpenAtLineSettings(dropped, "COM1"));
    }
    EXPECT_EQ(ExclusiveMode(m_slave), 0);

    // Opening an open port starts over instead of colliding with its own claim.
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1"));
    EXPECT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
    SerialPort other(m_devices);
    EXPECT_FALSE(OpenAtLineSettings(other, "COM1"));
}

TEST_F(SerialPortTest, CloseOfAClosedPortDoesNothing) {
    SerialPort port(m_devices);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1"));
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), "");
    EXPECT_EQ(ExclusiveMode(m_slave), 0);
}

TEST_F(SerialPortTest, TransfersOnAClosedPortFailAtOnce) {
    SerialPort port(m_devices);
    std::uint8_t byte = 0x11;
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadData(&byte, 1, 2000), -1);
    EXPECT_LT(Since(start), kPromptly);
    EXPECT_EQ(byte, 0x11);
    EXPECT_NE(port.LastError().find("ReadData(): port not open: (9) "), std::string::npos);
    EXPECT_EQ(port.WriteData(&byte, 1), -1);
    EXPECT_NE(port.LastError().find("WriteData(): port not open: (9) "), std::string::npos);
}

TEST_F(SerialPortTest, HangUpBeforeAReadEndsItAtOnce) {
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1"));
    CloseMaster();

    std::uint8_t byte = 0x42;
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadData(&byte, 1, 2000), -1);
    EXPECT_LT(Since(start), kPromptly);
    EXPECT_EQ(byte, 0x42);
    EXPECT_NE(port.LastError().find("(5) Input/output error"), std::string::npos)
        << port.LastError();

    EXPECT_EQ(port.WriteData(&byte, 1), -1);
    EXPECT_NE(port.LastError().find("WriteData(): "), std::string::npos) << port.LastError();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, HangUpDuringAReadEndsItAtOnce) {
    SerialPort port(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1"));

    std::uint8_t byte = 0x42;
    std::thread unplug([this] {
        std::this_thread::sleep_for(100ms);
        CloseMaster();
    });
    const auto start = Clock::now();
    const int result = port.ReadData(&byte, 1, 2000);
    const auto elapsed = Since(start);
    unplug.join();
    EXPECT_EQ(result, -1);
    EXPECT_LT(elapsed, kPromptly);
    EXPECT_EQ(byte, 0x42);
    EXPECT_NE(port.LastError().find("hung up"), std::string::npos) << port.LastError();
    EXPECT_TRUE(port.HungUp());
}

// A line whose far end went is told from one that is only quiet, by a read or by a write;
// the next open starts afresh.
TEST_F(SerialPortTest, HungUpTellsAGoneLineFromAQuietOne) {
    for (const bool byWrite : {false, true}) {
        int master = -1;
        int slave = -1;
        std::array<char, 128> name{};
        ASSERT_EQ(::openpty(&master, &slave, name.data(), nullptr, nullptr), 0);
        m_devices.Set(1, name.data());
        SerialPort port(m_devices);
        ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
        std::uint8_t byte = 0;
        EXPECT_EQ(port.ReadData(&byte, 1, kShortLimitMs), -1);
        EXPECT_FALSE(port.HungUp()) << byWrite;
        ::close(master);
        if (byWrite) {
            EXPECT_EQ(port.WriteData(&byte, 1), -1);
        } else {
            EXPECT_EQ(port.ReadData(&byte, 1, kShortLimitMs), -1);
        }
        EXPECT_TRUE(port.HungUp()) << byWrite;
        ::close(slave);

        m_devices.Set(1, m_slavePath);
        ASSERT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
        EXPECT_FALSE(port.HungUp()) << byWrite;
    }
}

TEST_F(SerialPortTest, WriteToALineThatTakesNothingFailsInBoundedTime) {
    SerialPort port(m_devices, 100ms);
    ASSERT_TRUE(OpenAtLineSettings(port, "COM1"));

    // Nobody reads the master: the driver's buffers fill and then take nothing more.
    const std::vector<std::uint8_t> flood(4 * 1024 * 1024, 0x55);
    const auto start = Clock::now();
    EXPECT_EQ(port.WriteData(flood.data(), static_cast<int>(flood.size())), -1);
    EXPECT_LT(Since(start), 5s);
    EXPECT_NE(port.LastError().find("WriteData(): poll() failed"), std::string::npos)
        << port.LastError();
    EXPECT_NE(port.LastError().find("(110) "), std::string::npos) << port.LastError();

    const auto closing = Clock::now();
    port.Close();
    EXPECT_LT(Since(closing), kPromptly);
    EXPECT_TRUE(OpenAtLineSettings(port, "COM1")) << port.LastError();
}

TEST_F(SerialPortTest, OrdinaryUserIsToldWhichGroupToJoin) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to open the device as another user";
    }
    const group *dialout = ::getgrnam("dialout");
    if (dialout == nullptr) {
        GTEST_SKIP() << "no group dialout on this machine";
    }
    ASSERT_EQ(::fchown(m_slave, 0, dialout->gr_gid), 0);
    ASSERT_EQ(::fchmod(m_slave, 0660), 0);

    const std::string error = OpenAsOrdinaryUser();
    EXPECT_EQ(error, "Open(): " + m_slavePath +
                         ": permission denied; the device belongs to group dialout: add the user "
                         "to that group and log in again (open() failed: (13) Permission "
                         "denied)\n");
}

TEST_F(SerialPortTest, OrdinaryUserFindsAHeldPortInUse) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to open the device as another user";
    }
    ASSERT_EQ(::fchown(m_slave, kNobody, static_cast<gid_t>(-1)), 0);
    SerialPort holder(m_devices);
    ASSERT_TRUE(OpenAtLineSettings(holder, "COM1"));

    const std::string error = OpenAsOrdinaryUser();
    EXPECT_EQ(error, "Open(): " + m_slavePath +
                         ": in use by another program; end that program and try again (open() "
                         "failed: (16) Device or resource busy)\n");

    holder.Close();
    EXPECT_EQ(OpenAsOrdinaryUser(), "opened");
}

TEST_F(SerialPortTest, PlatformLinesFollowTheMapAsItIsAtOpen) {
    DeviceMap devices;
    SystemLinkPlatform platform(devices);
    devices.Set(4, m_slavePath);

    std::unique_ptr<SerialLine> line = platform.NewLine();
    ASSERT_TRUE(line->Open("COM4", kBaudRate, Parity::None, StopBits::One, kByteSize))
        << line->LastError();
    const std::uint8_t sync = 0xD6;
    EXPECT_EQ(line->WriteData(&sync, 1), 1);
    EXPECT_EQ(ReceiveAtController(1), std::vector<std::uint8_t>{0xD6});
    line.reset();
    EXPECT_EQ(ExclusiveMode(m_slave), 0);

    const auto start = Clock::now();
    platform.Pause(20ms);
    EXPECT_GE(Since(start), 20ms);
}

// A transaction on a port that will not open ends in the fixed unknown-status message; the
// port's own words go with it as its details, naming the device.
TEST_F(SerialPortTest, FailedTransactionCarriesThePortsDiagnostic) {
    const struct {
        const char *name;
        bool held;
        std::string device;
        std::string details;
    } kCases[] = {
        {"missing device", false, "/nonexistent/ttyVOXA0",
         "Open(): /nonexistent/ttyVOXA0: not found; check that the cable or adapter is plugged "
         "in and that the port setting names this device (open() failed: (2) No such file or "
         "directory)"},
        {"held port", true, m_slavePath,
         "Open(): " + m_slavePath +
             ": in use by another program; end that program and try again (flock() failed: (11) "
             "Resource temporarily unavailable)"},
    };
    for (const auto &c : kCases) {
        m_devices.Set(1, c.device);
        SerialPort holder(m_devices);
        if (c.held) {
            ASSERT_TRUE(OpenAtLineSettings(holder, "COM1")) << holder.LastError();
        }
        SystemLinkPlatform platform(m_devices);
        RecordingConsole console;
        SignSystem system(platform, console);
        system.SetPortName("COM1");
        std::ostringstream diagnostics;
        system.SetDiagnosticStream(diagnostics);

        system.GetCcStatus();
        EXPECT_TRUE(system.LinkDown()) << c.name;
        EXPECT_EQ(console.messages, std::vector<std::string>{"CC sent VOXA an unknown status.\n"
                                                             "Cmd Code: 22 Status:ffffffff"})
            << c.name;
        EXPECT_EQ(console.details, std::vector<std::string>{c.details}) << c.name;
    }
}

}  // namespace
