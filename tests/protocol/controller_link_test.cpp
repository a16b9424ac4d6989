#include "controller_link.h"

#include <gtest/gtest.h>

#include <vector>

#include "controller_endpoint.h"
#include "controller_model.h"
#include "frame_builder.h"
#include "sim_link_platform.h"

namespace {

using namespace std::chrono_literals;
using Kind = SimLinkPlatform::LineEvent::Kind;

class RecordingOwner : public LinkOwner {
public:
    std::string PortName() const override { return "COM1"; }
    int Decode(const CommandFrame &reply) override {
        decoded.push_back(reply);
        return reply.Status();
    }
    void Report(int code) override { reported.push_back(code); }

    std::vector<CommandFrame> decoded;
    std::vector<int> reported;
};

class ControllerLinkTest : public ::testing::Test {
protected:
    ControllerEndpoint controller;
    ControllerModel &model = controller.Model();
    SimLinkPlatform platform{controller};
    RecordingOwner owner;
    ControllerLink link{owner, platform};
    FrameBuilder builder;

    int CountEvents(Kind kind) const {
        int count = 0;
        for (const auto &event : platform.Events()) count += event.kind == kind ? 1 : 0;
        return count;
    }

    int Transaction(const CommandFrame &request, CommandFrame &reply) {
        link.Send(request);
        link.Receive(reply);
        return link.Check(reply);
    }
};

TEST_F(ControllerLinkTest, HealthyTransactionHasTheExactByteOrder) {
    const CommandFrame request = builder.GetNumberOfLines();
    CommandFrame reply{};
    EXPECT_EQ(link.Send(request), 0);
    EXPECT_EQ(link.Receive(reply), 0);
    EXPECT_EQ(link.Check(reply), 0);

    std::vector<SimLinkPlatform::LineEvent> events;
    for (const auto &event : platform.Events()) {
        if (event.kind != Kind::Pause) events.push_back(event);
    }
    ASSERT_EQ(events.size(), 1 + 44 + 1 + 1 + 1 + 2 * 22 + 1);
    std::size_t i = 0;
    EXPECT_EQ(events[i++].kind, Kind::Open);
    for (std::size_t n = 0; n < kFrameSize; ++n) {
        EXPECT_EQ(events[i].kind, Kind::Write);
        EXPECT_EQ(events[i++].byte, request[n]) << "request byte " << n;
        EXPECT_EQ(events[i].kind, Kind::Read);
        EXPECT_EQ(events[i++].byte, kAck) << "answer to byte " << n;
    }
    EXPECT_EQ(events[i++].kind, Kind::Close);
    EXPECT_EQ(events[i++].kind, Kind::Open);
    EXPECT_EQ(events[i].kind, Kind::Read);
    EXPECT_EQ(events[i++].byte, 0xD6);
    for (std::size_t n = 1; n < kFrameSize; ++n) {
        EXPECT_EQ(events[i].kind, Kind::Write);
        EXPECT_EQ(events[i++].byte, kAck);
        EXPECT_EQ(events[i].kind, Kind::Read);
        EXPECT_EQ(events[i++].byte, reply[n]) << "reply byte " << n;
    }
    // The ACK of the checksum byte, then a read that waits out its full limit.
    EXPECT_EQ(events[i].kind, Kind::Write);
    EXPECT_EQ(events[i++].byte, kAck);
    EXPECT_EQ(events[i].kind, Kind::ReadTimeout);
    const auto waitedFrom = events[i - 1].at;
    const auto waitedUntil = events[i++].at;
    EXPECT_GE(waitedUntil - waitedFrom, 500ms);
    EXPECT_EQ(events[i++].kind, Kind::Close);

    ASSERT_EQ(owner.decoded.size(), 1u);
    EXPECT_EQ(owner.decoded[0][2], 4);
    EXPECT_EQ(owner.decoded[0][4], model.Current().lineCount);
    EXPECT_TRUE(owner.reported.empty());
}

TEST_F(ControllerLinkTest, ThreeNaksOnDifferentBytesThenSuccessAfter25Writes) {
    controller.Faults().nakAt = {2, 9, 21};
    EXPECT_EQ(link.Send(builder.GetCcStatus()), 0);
    EXPECT_EQ(CountEvents(Kind::Write), 25);
}

TEST_F(ControllerLinkTest, FourthNakAnywhereEndsSendWithoutWritingAgain) {
    controller.Faults().nakAt = {1, 5, 12, 20};
    EXPECT_EQ(link.Send(builder.GetCcStatus()), -1);
    // Bytes 0-19 once each, the three refused bytes once more, then byte 20 once.
    EXPECT_EQ(CountEvents(Kind::Write), 21 + 3);
    const auto &events = platform.Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.back().kind, Kind::Close);
    EXPECT_EQ(events[events.size() - 2].kind, Kind::Read);
    EXPECT_EQ(events[events.size() - 2].byte, kNak);
}

TEST_F(ControllerLinkTest, AnswerThatIsNeitherAckNorNakRepeatsTheByteUncounted) {
    controller.Faults().junkAnswerAt = {0, 7, 8, 13};
    controller.Faults().nakAt = {3, 4, 5};
    EXPECT_EQ(link.Send(builder.GetCcStatus()), 0);
    EXPECT_EQ(CountEvents(Kind::Write), 22 + 4 + 3);
    const std::vector<std::uint8_t> written = platform.WrittenBytes();
    EXPECT_EQ(written[0], 0xD6);
    EXPECT_EQ(written[1], 0xD6);  // the same byte again after the stray answer
}

TEST_F(ControllerLinkTest, SilentControllerEndsSendAndReceiveInBoundedTime) {
    controller.Faults().silent = true;
    const auto start = platform.Now();
    EXPECT_EQ(link.Send(builder.GetCcStatus()), -1);
    EXPECT_EQ(CountEvents(Kind::Write), 4);
    EXPECT_LE(platform.Now() - start, 2100ms);

    CommandFrame reply{};
    const CommandFrame untouched = reply;
    const auto receiveStart = platform.Now();
    EXPECT_EQ(link.Receive(reply), -1);
    EXPECT_EQ(reply, untouched);
    EXPECT_EQ(CountEvents(Kind::ReadTimeout), 4 + 50);
    EXPECT_GE(platform.Now() - receiveStart, 25000ms);
    EXPECT_LE(platform.Now() - receiveStart, 26000ms);

    EXPECT_EQ(link.Check(reply), LinkOwner::kNoSync);
    EXPECT_EQ(owner.reported, std::vector<int>{LinkOwner::kNoSync});
}

TEST_F(ControllerLinkTest, TenJunkBytesBeforeSyncUseTenTries) {
    controller.Faults().junkBeforeSync = 10;
    link.Send(builder.GetNumberOfLines());
    platform.ClearEvents();
    CommandFrame reply{};
    EXPECT_EQ(link.Receive(reply), 0);
    EXPECT_EQ(CountEvents(Kind::Pause), 10);
    EXPECT_EQ(link.Check(reply), 0);
    EXPECT_EQ(owner.decoded.size(), 1u);
}

TEST_F(ControllerLinkTest, ControllerStoppingAfterByte10LeavesAcksAndAChecksumFailure) {
    controller.Faults().stopAfterReplyByte = 10;
    CommandFrame reply{};
    EXPECT_EQ(Transaction(builder.GetCcSoftwarePartNumber(), reply), LinkOwner::kChecksumFailure);
    for (std::size_t n = 11; n < kFrameSize; ++n) EXPECT_EQ(reply[n], kAck) << "byte " << n;
    EXPECT_EQ(reply[0], 0xD6);
    EXPECT_EQ(owner.reported, std::vector<int>{LinkOwner::kChecksumFailure});
    EXPECT_TRUE(owner.decoded.empty());
}

TEST_F(ControllerLinkTest, CorruptChecksumIsReported) {
    controller.Faults().corruptChecksum = true;
    CommandFrame reply{};
    EXPECT_EQ(Transaction(builder.GetNumberOfLines(), reply), LinkOwner::kChecksumFailure);
}

TEST_F(ControllerLinkTest, OneRightSyncByteIsEnough) {
    CommandFrame frame;
    frame[0] = 0xD6;
    frame[1] = 0x00;
    frame[2] = 4;
    frame[4] = 6;
    frame.StoreChecksum();
    EXPECT_EQ(link.Check(frame), 0);
    frame[0] = 0x00;
    frame[1] = 0x19;
    EXPECT_EQ(link.Check(frame), 0);
    EXPECT_EQ(owner.decoded.size(), 2u);

    frame[1] = 0x00;
    EXPECT_EQ(link.Check(frame), LinkOwner::kNoSync);
    EXPECT_EQ(owner.reported, std::vector<int>{LinkOwner::kNoSync});
}

TEST_F(ControllerLinkTest, ResendWritesTheSameFrameAndReadsNoReply) {
    const CommandFrame request = builder.SetLinePrice(1, "3.499");
    CommandFrame reply{};
    Transaction(request, reply);
    EXPECT_EQ(link.LastSentFrame(), request);
    platform.ClearEvents();

    EXPECT_EQ(link.Resend(), 0);
    EXPECT_EQ(platform.WrittenBytes(),
              std::vector<std::uint8_t>(request.bytes.begin(), request.bytes.end()));
    EXPECT_EQ(CountEvents(Kind::Read), 22);  // the 22 ACKs, and no reply byte
    EXPECT_EQ(CountEvents(Kind::Open), 1);
    EXPECT_EQ(platform.Events().back().kind, Kind::Close);
}

TEST_F(ControllerLinkTest, EveryFrameOpensAndClosesItsOwnLine) {
    CommandFrame reply{};
    Transaction(builder.GetCcStatus(), reply);
    Transaction(builder.GetNumberOfLines(), reply);
    EXPECT_EQ(platform.OpenCount(), 4);
    EXPECT_EQ(CountEvents(Kind::Close), 4);
}

TEST_F(ControllerLinkTest, PortThatDoesNotOpenEndsBothHalvesQuickly) {
    platform.SetPortMissing(true);
    const auto start = platform.Now();
    EXPECT_EQ(link.Send(builder.GetCcStatus()), -1);
    CommandFrame reply{};
    EXPECT_EQ(link.Receive(reply), -1);
    EXPECT_LE(platform.Now() - start, 1000ms);
    EXPECT_FALSE(link.TestOpen("COM1"));
    platform.SetPortMissing(false);
    EXPECT_TRUE(link.TestOpen("COM1"));
}

// A line that answers every byte with garbage, as a controller at the wrong baud rate does.
class GarbageLine : public SerialLine {
public:
    explicit GarbageLine(int &writes) : m_writes(writes) {}
    bool Open(const std::string &, int, Parity, StopBits, int) override { return true; }
    void Close() override {}
    int WriteData(const std::uint8_t *, int count) override {
        ++m_writes;
        return count;
    }
    int ReadData(std::uint8_t *buffer, int, int) override {
        buffer[0] = 0x55;
        return 1;
    }
    std::string LastError() const override { return {}; }

private:
    int &m_writes;
};

class GarbagePlatform : public LinkPlatform {
public:
    std::unique_ptr<SerialLine> NewLine() override {
        ++lines;
        return std::make_unique<GarbageLine>(writes);
    }
    void Pause(std::chrono::milliseconds) override {}
    int lines = 0;
    int writes = 0;
};

TEST(ControllerLink, LineAnsweringOnlyGarbageDoesNotHoldSendForEver) {
    RecordingOwner owner;
    GarbagePlatform platform;
    ControllerLink link(owner, platform);
    FrameBuilder builder;
    EXPECT_EQ(link.Send(builder.GetCcStatus()), -1);
    EXPECT_EQ(platform.lines, 1);
    EXPECT_EQ(platform.writes, ControllerLink::kMaxStrayAnswers + 1);
}

}  // namespace
