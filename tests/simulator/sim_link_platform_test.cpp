#include "sim_link_platform.h"

#include <gtest/gtest.h>

#include <vector>

#include "command_code.h"
#include "controller_endpoint.h"

namespace {

using namespace std::chrono_literals;
using Kind = SimLinkPlatform::LineEvent::Kind;
using Bytes = std::vector<std::uint8_t>;

CommandFrame Request(CommandCode code) {
    CommandFrame frame;
    frame[0] = kSyncByte1;
    frame[1] = kSyncByte2;
    frame[2] = ToByte(code);
    frame.StoreChecksum();
    return frame;
}

class SimLinkPlatformTest : public ::testing::Test {
protected:
    std::unique_ptr<SerialLine> OpenLine() {
        auto line = platform.NewLine();
        EXPECT_TRUE(line->Open("COM1", kBaudRate, SerialLine::Parity::None,
                               SerialLine::StopBits::One, kByteSize));
        return line;
    }

    // The workstation's send: each byte written, its answer read.
    void SendFrame(SerialLine &line, const CommandFrame &frame) {
        for (std::size_t i = 0; i < kFrameSize; ++i) {
            ASSERT_EQ(line.WriteData(frame.bytes.data() + i, 1), 1);
            std::uint8_t answer = 0;
            ASSERT_EQ(line.ReadData(&answer, 1, 500), 1);
            ASSERT_EQ(answer, kAck) << i;
        }
    }

    // The workstation's receive: sync, then an ACK before each further byte.
    CommandFrame ReceiveFrame(SerialLine &line) {
        CommandFrame frame;
        EXPECT_EQ(line.ReadData(&frame[0], 1, 500), 1);
        for (std::size_t i = 1; i < kFrameSize; ++i) {
            EXPECT_EQ(line.WriteData(&kAck, 1), 1);
            EXPECT_EQ(line.ReadData(&frame[i], 1, 500), 1) << i;
        }
        EXPECT_EQ(line.WriteData(&kAck, 1), 1);
        return frame;
    }

    ControllerEndpoint controller;
    SimLinkPlatform platform{controller};
};

TEST_F(SimLinkPlatformTest, WholeTransactionOnVirtualTime) {
    const CommandFrame request = Request(CommandCode::GetNumberOfLines);
    {
        auto line = OpenLine();
        SendFrame(*line, request);
        line->Close();
    }
    auto line = OpenLine();
    const CommandFrame reply = ReceiveFrame(*line);
    EXPECT_EQ(reply, controller.Model().Handle(request));
    // The extra read of the last exchange finds nothing and lasts its full limit.
    const auto before = platform.Now();
    std::uint8_t spare = 0x06;
    EXPECT_EQ(line->ReadData(&spare, 1, 500), -1);
    EXPECT_EQ(spare, 0x06);
    EXPECT_EQ(platform.Now(), before + 500ms);
    line->Close();

    EXPECT_EQ(platform.OpenCount(), 2);
    EXPECT_EQ(controller.RepliesCompleted(), 1);
    const Bytes written = platform.WrittenBytes();
    ASSERT_EQ(written.size(), 22u + 22u);
    EXPECT_TRUE(std::equal(request.bytes.begin(), request.bytes.end(), written.begin()));
    EXPECT_TRUE(std::all_of(written.begin() + 22, written.end(), [](auto b) { return b == kAck; }));
    EXPECT_EQ(platform.Events().front().kind, Kind::Open);
    EXPECT_EQ(platform.Events().back().kind, Kind::Close);
    EXPECT_EQ(platform.CountEvents(Kind::ReadTimeout), 1);
}

TEST_F(SimLinkPlatformTest, WritesTakeOneMillisecondPerByte) {
    auto line = OpenLine();
    const Bytes bytes{0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(line->WriteData(bytes.data(), 4), 4);
    EXPECT_EQ(platform.Now(), 4ms);
    ASSERT_EQ(platform.Events().size(), 5u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(platform.Events()[i + 1].kind, Kind::Write);
        EXPECT_EQ(platform.Events()[i + 1].byte, bytes[i]);
        EXPECT_EQ(platform.Events()[i + 1].at, std::chrono::milliseconds(i));
    }
    EXPECT_EQ(line->WriteData(bytes.data(), 0), 0);
    EXPECT_EQ(platform.Now(), 4ms);
}

TEST_F(SimLinkPlatformTest, ReadTimeOutAdvancesExactlyTheLimit) {
    auto line = OpenLine();
    std::uint8_t byte = 0x42;
    EXPECT_EQ(line->ReadData(&byte, 1, 500), -1);
    EXPECT_EQ(byte, 0x42);
    EXPECT_EQ(platform.Now(), 500ms);
    EXPECT_EQ(platform.Events().back().kind, Kind::ReadTimeout);
    EXPECT_EQ(platform.Events().back().at, 500ms);
    EXPECT_FALSE(line->LastError().empty());
    EXPECT_EQ(line->ReadData(&byte, 0, 500), 0);
    EXPECT_EQ(platform.Now(), 500ms);
}

// With a keep-alive hook, a wait calls it every period of virtual time, and nothing else
// about the wait changes: the same limit, the same events, the reply at the same moment.
TEST_F(SimLinkPlatformTest, KeepAliveComesEveryPeriodOfAWait) {
    std::vector<std::chrono::milliseconds> calls;
    platform.SetKeepAlive([this, &calls] { calls.push_back(platform.Now()); });
    auto line = OpenLine();
    std::uint8_t byte = 0x42;
    EXPECT_EQ(line->ReadData(&byte, 1, 500), -1);
    EXPECT_EQ(platform.Now(), 500ms);
    EXPECT_EQ(platform.CountEvents(Kind::ReadTimeout), 1);
    ASSERT_EQ(calls.size(), 12u);  // at 40, 80, ... 480 ms; none at the limit itself
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i], LinkPlatform::kKeepAlivePeriod * static_cast<int>(i + 1));
    }

    calls.clear();
    platform.Pause(100ms);
    EXPECT_EQ(platform.Now(), 600ms);
    EXPECT_EQ(calls, (std::vector<std::chrono::milliseconds>{540ms, 580ms}));

    // A slow controller's reply is read at the moment it comes, between two calls of the
    // hook, as without the hook.
    controller.SetReplyDelay(130ms);
    line.reset();
    {
        auto request = OpenLine();
        SendFrame(*request, Request(CommandCode::GetTime));
    }
    const auto lastByte = platform.Now() - 1ms;
    auto reply = OpenLine();
    ASSERT_EQ(reply->ReadData(&byte, 1, 500), 1);
    EXPECT_EQ(byte, kSyncByte1);
    EXPECT_EQ(platform.Now(), lastByte + 130ms);
}

TEST_F(SimLinkPlatformTest, ReadReturnsWhenTheControllerSpeaks) {
    {
        auto line = OpenLine();
        SendFrame(*line, Request(CommandCode::GetTime));
    }
    const auto lastByte = platform.Now() - 1ms;
    auto line = OpenLine();
    std::uint8_t byte = 0;
    ASSERT_EQ(line->ReadData(&byte, 1, 500), 1);
    EXPECT_EQ(byte, kSyncByte1);
    EXPECT_EQ(platform.Now(), lastByte + ControllerEndpoint::kReplyDelay);
    EXPECT_EQ(platform.Events().back().kind, Kind::Read);
}

TEST_F(SimLinkPlatformTest, BytesSentWhileNoLineIsOpenAreLost) {
    {
        auto line = OpenLine();
        SendFrame(*line, Request(CommandCode::GetTime));
        line->Close();
    }
    const auto lastByte = platform.Now() - 1ms;
    platform.Pause(100ms);  // the first sync byte goes out now, to nobody
    EXPECT_EQ(platform.Events().back().kind, Kind::Pause);
    auto line = OpenLine();
    std::uint8_t byte = 0;
    ASSERT_EQ(line->ReadData(&byte, 1, 500), 1);
    EXPECT_EQ(byte, kSyncByte1);
    // Only the repeat reaches the new line.
    EXPECT_EQ(platform.Now(),
              lastByte + ControllerEndpoint::kReplyDelay + ControllerEndpoint::kSyncRepeat);
    EXPECT_EQ(line->ReadData(&byte, 1, 100), -1);
}

TEST_F(SimLinkPlatformTest, SilentControllerCostsNoRealTime) {
    controller.Faults().silent = true;
    auto line = OpenLine();
    ASSERT_EQ(line->WriteData(&kSyncByte1, 1), 1);
    std::uint8_t answer = 0;
    EXPECT_EQ(line->ReadData(&answer, 1, 500), -1);
    platform.ClearEvents();
    const auto start = platform.Now();
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::uint8_t byte = 0;
        EXPECT_EQ(line->ReadData(&byte, 1, 500), -1);
        platform.Pause(10ms);
    }
    EXPECT_EQ(platform.CountEvents(Kind::ReadTimeout), 50);
    EXPECT_EQ(platform.CountEvents(Kind::Pause), 50);
    EXPECT_EQ(platform.Now(), start + 50 * 510ms);
}

TEST_F(SimLinkPlatformTest, MissingPortFailsAtOnce) {
    platform.SetPortMissing(true);
    auto line = platform.NewLine();
    EXPECT_FALSE(line->Open("COM1", kBaudRate, SerialLine::Parity::None, SerialLine::StopBits::One,
                            kByteSize));
    EXPECT_EQ(platform.OpenCount(), 0);
    EXPECT_NE(line->LastError().find("Open()"), std::string::npos);
    std::uint8_t byte = 0;
    EXPECT_EQ(line->ReadData(&byte, 1, 500), -1);
    EXPECT_EQ(line->WriteData(&kSyncByte1, 1), -1);
    EXPECT_EQ(platform.Now(), 0ms);
    EXPECT_TRUE(platform.Events().empty());

    platform.SetPortMissing(false);
    auto open = OpenLine();
    platform.SetPortMissing(true);  // unplugged while open
    EXPECT_EQ(open->ReadData(&byte, 1, 500), -1);
    EXPECT_EQ(open->WriteData(&kSyncByte1, 1), -1);
    EXPECT_EQ(platform.Now(), 0ms);
    EXPECT_TRUE(controller.TakeOutput().empty());
}

TEST_F(SimLinkPlatformTest, ClosedLineFailsWithoutTime) {
    auto line = platform.NewLine();
    std::uint8_t byte = 0;
    EXPECT_EQ(line->ReadData(&byte, 1, 500), -1);
    EXPECT_EQ(line->WriteData(&kSyncByte1, 1), -1);
    line->Close();  // a close of a closed line does nothing
    EXPECT_TRUE(platform.Events().empty());
    EXPECT_EQ(platform.Now(), 0ms);
    EXPECT_EQ(controller.CurrentPhase(), ControllerEndpoint::Phase::Idle);
}

TEST_F(SimLinkPlatformTest, NewLineStartsWithAnEmptyInput) {
    auto line = OpenLine();
    ASSERT_EQ(line->WriteData(&kSyncByte1, 1), 1);  // the ACK waits unread
    line->Close();
    ASSERT_TRUE(line->Open("COM1", kBaudRate, SerialLine::Parity::None, SerialLine::StopBits::One,
                           kByteSize));
    std::uint8_t byte = 0;
    EXPECT_EQ(line->ReadData(&byte, 1, 10), -1);
}

TEST_F(SimLinkPlatformTest, PauseLetsControllerTimersFire) {
    auto line = OpenLine();
    SendFrame(*line, Request(CommandCode::GetTime));
    platform.Pause(1min);
    EXPECT_EQ(platform.Now() - platform.Events().back().at, 1min);
    EXPECT_EQ(controller.CurrentPhase(), ControllerEndpoint::Phase::Idle);
    platform.Pause(-5ms);
    EXPECT_EQ(platform.Events().back().kind, Kind::Pause);
}

TEST_F(SimLinkPlatformTest, LineOutlivingItsPlatformFails) {
    auto controllerAlone = std::make_unique<ControllerEndpoint>();
    auto platformAlone = std::make_unique<SimLinkPlatform>(*controllerAlone);
    auto line = platformAlone->NewLine();
    ASSERT_TRUE(line->Open("COM1", kBaudRate, SerialLine::Parity::None, SerialLine::StopBits::One,
                           kByteSize));
    platformAlone.reset();
    std::uint8_t byte = 0;
    EXPECT_EQ(line->ReadData(&byte, 1, 500), -1);
    EXPECT_EQ(line->WriteData(&kSyncByte1, 1), -1);
    EXPECT_FALSE(line->Open("COM1", kBaudRate, SerialLine::Parity::None, SerialLine::StopBits::One,
                            kByteSize));
}

}  // namespace
