#include "controller_endpoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_code.h"
#include "raw_request.h"

namespace {

using namespace std::chrono_literals;
using Millis = ControllerEndpoint::Millis;
using Phase = ControllerEndpoint::Phase;
using Bytes = std::vector<std::uint8_t>;

CommandFrame Request(CommandCode code, std::initializer_list<int> data = {}) {
    return RawRequest(code, data);
}

// Drives the endpoint byte by byte, as the workstation's side of the line would, on a
// clock the test moves by hand.
class ControllerEndpointTest : public ::testing::Test {
protected:
    Bytes Put(std::uint8_t byte) {
        endpoint.ReceiveByte(byte, now);
        return endpoint.TakeOutput();
    }
    Bytes At(Millis when) {
        now = when;
        endpoint.Advance(now);
        return endpoint.TakeOutput();
    }
    Bytes After(Millis delay) { return At(now + delay); }

    // Sends a request whose every byte is ACKed at once, one byte per millisecond; the
    // clock stays at the time of the last byte.
    void SendRequest(const CommandFrame &request) {
        for (std::size_t i = 0; i < kFrameSize; ++i) {
            now += i == 0 ? 0ms : 1ms;
            ASSERT_EQ(Put(request[i]), Bytes{kAck}) << "request byte " << i;
        }
    }

    // Waits for the reply's sync byte and takes the whole reply, ACKing each byte.
    CommandFrame TakeReply() {
        CommandFrame reply;
        Bytes out = After(ControllerEndpoint::kReplyDelay);
        EXPECT_EQ(out, Bytes{kSyncByte1});
        reply[0] = out.empty() ? 0 : out.back();
        for (std::size_t i = 1; i < kFrameSize; ++i) {
            out = Put(kAck);
            EXPECT_EQ(out.size(), 1u) << "reply byte " << i;
            reply[i] = out.empty() ? 0 : out[0];
            now += 1ms;
        }
        EXPECT_TRUE(Put(kAck).empty());
        return reply;
    }

    CommandFrame Transaction(const CommandFrame &request) {
        SendRequest(request);
        return TakeReply();
    }

    ControllerEndpoint endpoint;
    Millis now{1000};
};

TEST_F(ControllerEndpointTest, IdleLineIgnoresEverythingButTheSyncByte) {
    for (std::uint8_t byte : {0x00, 0x06, 0x15, 0x19, 0xFF}) EXPECT_TRUE(Put(byte).empty());
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);
    EXPECT_FALSE(endpoint.NextDeadline());
    EXPECT_TRUE(After(1h).empty());
}

TEST_F(ControllerEndpointTest, AcksEveryRequestByteAndRepliesOnlyAfterTheLast) {
    const CommandFrame request = Request(CommandCode::GetNumberOfLines);
    for (std::size_t i = 0; i + 1 < kFrameSize; ++i) {
        EXPECT_EQ(Put(request[i]), Bytes{kAck});
        EXPECT_EQ(endpoint.CurrentPhase(), Phase::Receiving);
        // However long the workstation takes within the byte limit, nothing comes back.
        EXPECT_TRUE(After(900ms).empty());
    }
    EXPECT_EQ(Put(request[21]), Bytes{kAck});
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::ReplyDelay);
    EXPECT_TRUE(After(ControllerEndpoint::kReplyDelay - 1ms).empty());
    EXPECT_EQ(After(1ms), Bytes{kSyncByte1});
    ASSERT_EQ(endpoint.Requests().size(), 1u);
    EXPECT_EQ(endpoint.Requests().back(), request);
}

TEST_F(ControllerEndpointTest, ReplyFollowsTheAcksByteByByte) {
    SendRequest(Request(CommandCode::GetNumberOfLines));
    ASSERT_EQ(After(5ms), Bytes{kSyncByte1});
    const CommandFrame expected = endpoint.Model().Handle(Request(CommandCode::GetNumberOfLines));
    EXPECT_TRUE(After(ControllerEndpoint::kSyncRepeat - 1ms).empty());
    for (std::size_t i = 1; i < kFrameSize; ++i) {
        // Nothing moves without the ACK of the byte before, short of the ACK limit.
        if (i > 1) {
            EXPECT_TRUE(After(ControllerEndpoint::kAckLimit - 1ms).empty());
        }
        EXPECT_EQ(Put(kAck), Bytes{expected[i]}) << "reply byte " << i;
    }
    EXPECT_EQ(endpoint.RepliesCompleted(), 0);
    // The workstation's ACK of byte 21 ends the reply; its extra read finds nothing.
    EXPECT_TRUE(Put(kAck).empty());
    EXPECT_EQ(endpoint.RepliesCompleted(), 1);
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);
    EXPECT_TRUE(After(10s).empty());
}

TEST_F(ControllerEndpointTest, RepliesCarryTheModelsAnswer) {
    endpoint.Model().Current().lineCount = 4;
    const CommandFrame reply = Transaction(Request(CommandCode::GetNumberOfLines));
    EXPECT_EQ(reply.Code(), 4);
    EXPECT_EQ(reply.Status(), 0);
    EXPECT_EQ(reply[4], 4);
    EXPECT_TRUE(reply.ChecksumValid());

    CommandFrame badChecksum = Request(CommandCode::GetTime);
    badChecksum[kChecksumIndex] ^= 0xFF;
    EXPECT_EQ(Transaction(badChecksum).Status(), ControllerStatus::kChecksumFailure);
}

TEST_F(ControllerEndpointTest, SyncRepeatsUntilAcknowledged) {
    SendRequest(Request(CommandCode::GetTime));
    const Millis first = now + ControllerEndpoint::kReplyDelay;
    EXPECT_EQ(At(first), Bytes{kSyncByte1});
    EXPECT_TRUE(At(first + ControllerEndpoint::kSyncRepeat - 1ms).empty());
    EXPECT_EQ(At(first + ControllerEndpoint::kSyncRepeat), Bytes{kSyncByte1});
    EXPECT_EQ(At(first + 2 * ControllerEndpoint::kSyncRepeat), Bytes{kSyncByte1});
    // A late caller gets one sync byte, not a backlog.
    EXPECT_EQ(At(first + 5 * ControllerEndpoint::kSyncRepeat + 10ms), Bytes{kSyncByte1});
    EXPECT_EQ(*endpoint.NextDeadline(), first + 6 * ControllerEndpoint::kSyncRepeat);
    EXPECT_EQ(Put(kAck).size(), 1u);
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Replying);
    EXPECT_TRUE(At(first + 7 * ControllerEndpoint::kSyncRepeat).empty());
}

TEST_F(ControllerEndpointTest, UnacknowledgedSyncIsGivenUpAfterThirtySeconds) {
    SendRequest(Request(CommandCode::GetTime));
    const Millis first = now + ControllerEndpoint::kReplyDelay;
    int syncs = 0;
    while (const auto deadline = endpoint.NextDeadline()) {
        ASSERT_GT(*deadline, now);
        const Bytes out = At(*deadline);
        syncs += static_cast<int>(std::count(out.begin(), out.end(), kSyncByte1));
    }
    EXPECT_EQ(syncs, 120);  // at 0, 250, ..., 29750 ms; not at 30000
    EXPECT_EQ(now, first + ControllerEndpoint::kSyncGiveUp);
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);
    EXPECT_TRUE(Put(kAck).empty());
}

TEST_F(ControllerEndpointTest, MissingAckMidReplyDropsTheReply) {
    SendRequest(Request(CommandCode::GetTime));
    ASSERT_EQ(After(5ms).size(), 1u);
    ASSERT_EQ(Put(kAck).size(), 1u);
    ASSERT_EQ(Put(kAck).size(), 1u);  // byte 2 sent
    EXPECT_TRUE(After(ControllerEndpoint::kAckLimit - 1ms).empty());
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Replying);
    EXPECT_TRUE(After(1ms).empty());
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);
    EXPECT_TRUE(Put(kAck).empty());
}

TEST_F(ControllerEndpointTest, NewRequestAbandonsTheReplyAtAnyPoint) {
    // Mid-reply, while repeating sync, and in the reply delay.
    for (int repliesSent : {8, 0, -1}) {
        SendRequest(Request(CommandCode::GetTime));
        if (repliesSent >= 0) {
            ASSERT_EQ(After(5ms), Bytes{kSyncByte1});
        }
        for (int i = 0; i < repliesSent; ++i) ASSERT_EQ(Put(kAck).size(), 1u);
        endpoint.Model().Current().lineCount = 5;
        const CommandFrame reply = Transaction(Request(CommandCode::GetNumberOfLines));
        EXPECT_EQ(reply.Code(), 4) << repliesSent;
        EXPECT_EQ(reply[4], 5) << repliesSent;
        EXPECT_TRUE(reply.ChecksumValid());
    }
}

TEST_F(ControllerEndpointTest, SecondSyncByteRestartsTheFrame) {
    const CommandFrame request = Request(CommandCode::GetDate);
    EXPECT_EQ(Put(kSyncByte1), Bytes{kAck});
    EXPECT_EQ(Put(kSyncByte1), Bytes{kAck});  // taken as the start of a new frame
    for (std::size_t i = 1; i < kFrameSize; ++i) EXPECT_EQ(Put(request[i]), Bytes{kAck});
    ASSERT_EQ(endpoint.Requests().size(), 1u);
    EXPECT_EQ(endpoint.Requests().back(), request);
}

TEST_F(ControllerEndpointTest, WrongSecondByteDropsBackToIdle) {
    EXPECT_EQ(Put(kSyncByte1), Bytes{kAck});
    EXPECT_TRUE(Put(0x20).empty());
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);
    // The rest of the broken frame is ignored until the next sync byte.
    for (std::uint8_t byte : {0x04, 0x00, 0x00}) EXPECT_TRUE(Put(byte).empty());
    EXPECT_EQ(Transaction(Request(CommandCode::GetNumberOfLines))[4], 6);
}

TEST_F(ControllerEndpointTest, InterruptedRequestIsDiscardedAfterOneSecond) {
    const CommandFrame request = Request(CommandCode::GetTime);
    for (std::size_t i = 0; i < 10; ++i) ASSERT_EQ(Put(request[i]), Bytes{kAck});
    // A gap of exactly the limit is still tolerated.
    now += ControllerEndpoint::kInterByteLimit;
    EXPECT_EQ(Put(request[10]), Bytes{kAck});
    EXPECT_EQ(*endpoint.NextDeadline(), now + ControllerEndpoint::kInterByteLimit + 1ms);
    EXPECT_TRUE(After(ControllerEndpoint::kInterByteLimit + 1ms).empty());
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);
    for (std::size_t i = 11; i < kFrameSize; ++i) EXPECT_TRUE(Put(request[i]).empty());
    EXPECT_TRUE(endpoint.Requests().empty());
}

TEST_F(ControllerEndpointTest, SilentControllerAnswersNothing) {
    endpoint.Faults().silent = true;
    const CommandFrame request = Request(CommandCode::GetTime);
    for (std::size_t i = 0; i < kFrameSize; ++i) EXPECT_TRUE(Put(request[i]).empty());
    EXPECT_TRUE(After(1min).empty());
    EXPECT_TRUE(endpoint.Requests().empty());
}

TEST_F(ControllerEndpointTest, FallingSilentMidReplyEndsIt) {
    SendRequest(Request(CommandCode::GetTime));
    ASSERT_EQ(After(5ms).size(), 1u);
    ASSERT_EQ(Put(kAck).size(), 1u);
    endpoint.Faults().silent = true;
    EXPECT_TRUE(Put(kAck).empty());
    EXPECT_TRUE(After(1s).empty());
    endpoint.Faults().silent = false;
    EXPECT_TRUE(Put(kAck).empty());
    EXPECT_EQ(Transaction(Request(CommandCode::GetNumberOfLines))[4], 6);
}

TEST_F(ControllerEndpointTest, NakAtListedPositionsOncePerFrame) {
    endpoint.Faults().nakAt = {0, 5, 21};
    const CommandFrame request = Request(CommandCode::GetDate);
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < kFrameSize; ++i) {
            if (i == 0 || i == 5 || i == 21) {
                EXPECT_EQ(Put(request[i]), Bytes{kNak}) << i;
            }
            EXPECT_EQ(Put(request[i]), Bytes{kAck}) << i;
        }
        EXPECT_EQ(endpoint.Requests().back(), request);
        EXPECT_EQ(TakeReply().Code(), ToByte(CommandCode::GetDate));
    }
    EXPECT_EQ(endpoint.Requests().size(), 2u);
}

TEST_F(ControllerEndpointTest, JunkAnswerAtListedPositionsOncePerFrame) {
    endpoint.Faults().junkAnswerAt = {1, 13};
    const CommandFrame request = Request(CommandCode::GetDate);
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        if (i == 1 || i == 13) {
            EXPECT_EQ(Put(request[i]), Bytes{FaultPlan::kJunkAnswer}) << i;
        }
        EXPECT_EQ(Put(request[i]), Bytes{kAck}) << i;
    }
    EXPECT_EQ(endpoint.Requests().back(), request);
}

TEST_F(ControllerEndpointTest, NakRateIsRepeatableForOneSeed) {
    auto answers = [](std::uint32_t seed, double rate) {
        ControllerEndpoint e({}, seed);
        e.Faults().nakRate = rate;
        Bytes all;
        // All at one instant: each new request abandons the reply to the one before.
        const Millis t{0};
        for (int frame = 0; frame < 20; ++frame) {
            const CommandFrame request = Request(CommandCode::GetTime);
            std::size_t i = 0;
            while (i < kFrameSize) {
                e.ReceiveByte(request[i], t);
                const Bytes out = e.TakeOutput();
                all.insert(all.end(), out.begin(), out.end());
                i += out == Bytes{kAck} ? 1 : 0;
            }
        }
        return all;
    };
    const Bytes first = answers(7, 0.3);
    EXPECT_EQ(first, answers(7, 0.3));
    EXPECT_NE(first, answers(8, 0.3));
    const auto naks = std::count(first.begin(), first.end(), kNak);
    const auto acks = std::count(first.begin(), first.end(), kAck);
    EXPECT_EQ(acks, 20 * 22);
    // 440 ACKs at a NAK rate of 0.3 give about 190 NAKs.
    EXPECT_GT(naks, 120);
    EXPECT_LT(naks, 270);
    const Bytes none = answers(7, 0.0);
    EXPECT_EQ(std::count(none.begin(), none.end(), kNak), 0);
}

TEST_F(ControllerEndpointTest, StopAfterReplyByteFallsSilentForThatReply) {
    endpoint.Faults().stopAfterReplyByte = 10;
    SendRequest(Request(CommandCode::GetTime));
    ASSERT_EQ(After(5ms).size(), 1u);
    for (int i = 1; i <= 10; ++i) ASSERT_EQ(Put(kAck).size(), 1u) << i;
    EXPECT_TRUE(Put(kAck).empty());
    EXPECT_TRUE(After(1min).empty());
    EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);

    // Stopping after the sync byte leaves no repeats either.
    endpoint.Faults().stopAfterReplyByte = 0;
    SendRequest(Request(CommandCode::GetTime));
    EXPECT_EQ(After(5ms), Bytes{kSyncByte1});
    EXPECT_TRUE(After(1s).empty());
}

TEST_F(ControllerEndpointTest, CorruptChecksumSpoilsOnlyTheChecksum) {
    endpoint.Faults().corruptChecksum = true;
    const CommandFrame reply = Transaction(Request(CommandCode::GetNumberOfLines));
    EXPECT_FALSE(reply.ChecksumValid());
    EXPECT_EQ(reply[4], 6);
    EXPECT_EQ(reply[kChecksumIndex], static_cast<std::uint8_t>(~reply.ComputeChecksum()));
}

TEST_F(ControllerEndpointTest, ReplyCodeFaultAnswersForAnotherCommandWithAGoodChecksum) {
    endpoint.Faults().replyCode = 7;
    const CommandFrame reply = Transaction(Request(CommandCode::GetNumberOfLines));
    EXPECT_EQ(reply.Code(), 7);
    EXPECT_TRUE(reply.ChecksumValid());
    EXPECT_EQ(reply[4], 6);  // the data are still the request's answer
}

TEST_F(ControllerEndpointTest, JunkComesBeforeTheFirstSyncOnly) {
    endpoint.Faults().junkBeforeSync = 12;
    SendRequest(Request(CommandCode::GetTime));
    const Bytes out = After(5ms);
    ASSERT_EQ(out.size(), 13u);
    EXPECT_EQ(std::count(out.begin(), out.end(), kSyncByte1), 1);
    EXPECT_EQ(out.back(), kSyncByte1);
    EXPECT_EQ(After(ControllerEndpoint::kSyncRepeat), Bytes{kSyncByte1});
}

TEST_F(ControllerEndpointTest, CcStatusFaultStandsInForTheModelsCondition) {
    endpoint.Faults().ccStatusCode = 5;
    const CommandFrame reply = Transaction(Request(CommandCode::GetCcStatus));
    EXPECT_EQ(reply[4], 0x01);
    EXPECT_EQ(reply[5], 0x00);
    EXPECT_EQ(reply[6], 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(reply.bytes.data() + 7)), "NVRAM INVALID");
    EXPECT_EQ(endpoint.Model().Current().ccStatus, ControllerModel::CodedText{});
    // A completed load does not clear a fault; taking the fault away does.
    for (auto code : {CommandCode::NvramTransferBegin, CommandCode::NvramTransferPrepare}) {
        Transaction(Request(code));
    }
    Transaction(Request(CommandCode::WriteNvramBlock, {0, 0}));
    for (auto code : {CommandCode::NvramTransferEnd, CommandCode::NvramLoadComplete}) {
        Transaction(Request(code));
    }
    EXPECT_EQ(Transaction(Request(CommandCode::GetCcStatus))[6], 5);
    endpoint.Faults().ccStatusCode.reset();
    EXPECT_EQ(Transaction(Request(CommandCode::GetCcStatus))[6], 0);
}

TEST_F(ControllerEndpointTest, ForcedStatusForTheNextReplies) {
    endpoint.Faults().forcedStatus = ControllerStatus::kReceiveTimeoutFailure;
    endpoint.Faults().forcedStatusCount = 2;
    CommandFrame setPrice = Request(CommandCode::SetLinePrice, {0, '1', '.', '2', '9', '9'});
    for (int i = 0; i < 2; ++i) {
        const CommandFrame reply = Transaction(setPrice);
        EXPECT_EQ(reply.Status(), 9);
        EXPECT_EQ(reply.Code(), 2);
        EXPECT_TRUE(reply.ChecksumValid());
        // The command was not carried out.
        EXPECT_EQ(endpoint.Model().Current().lines[0].price, "3.499");
    }
    EXPECT_EQ(endpoint.Faults().forcedStatusCount, 0);
    EXPECT_EQ(Transaction(setPrice).Status(), 0);
    EXPECT_EQ(endpoint.Model().Current().lines[0].price, "1.299");

    endpoint.Faults().forcedStatus = 200;
    endpoint.Faults().forcedStatusCount = -1;
    for (int i = 0; i < 3; ++i) {
        const CommandFrame reply = Transaction(Request(CommandCode::GetNumberOfLines));
        EXPECT_EQ(reply.Status(), 200);
        EXPECT_EQ(reply[4], 0);
    }
    EXPECT_EQ(endpoint.Faults().forcedStatusCount, -1);
}

TEST_F(ControllerEndpointTest, ForcedStatusCanAimAtOneCommand) {
    endpoint.Faults().forcedStatus = ControllerStatus::kReceiveTimeoutFailure;
    endpoint.Faults().forcedStatusCount = 1;
    endpoint.Faults().forcedStatusCommand = ToByte(CommandCode::ReadNvramBlock);
    // Other commands pass untouched and do not use up the count.
    EXPECT_EQ(Transaction(Request(CommandCode::GetNvramSize)).Status(), 0);
    EXPECT_EQ(Transaction(Request(CommandCode::ReadNvramBlock, {0, 0x10})).Status(), 9);
    EXPECT_EQ(Transaction(Request(CommandCode::ReadNvramBlock, {0, 0x10})).Status(), 0);
}

TEST_F(ControllerEndpointTest, ReportedNvramSizeStandsInForTheMemorysOwn) {
    endpoint.Faults().reportedNvramSize = 0x1234;
    const CommandFrame size = Transaction(Request(CommandCode::GetNvramSize));
    EXPECT_EQ(size[4], 0x12);
    EXPECT_EQ(size[5], 0x34);
    EXPECT_TRUE(size.ChecksumValid());
    // The memory itself keeps its size: an address past it is refused.
    EXPECT_EQ(Transaction(Request(CommandCode::ReadNvramBlock, {0x08, 0x00})).Status(),
              ControllerStatus::kNvramAddressInvalid);
}

TEST_F(ControllerEndpointTest, SignTestFaultFindsFailuresWithoutChangingTheModelsOwn) {
    endpoint.Faults().signTestFails = true;
    Transaction(Request(CommandCode::StartSignTest));
    const CommandFrame reply = Transaction(Request(CommandCode::StopSignTest));
    EXPECT_NE(reply[6], 0);
    EXPECT_FALSE(endpoint.Model().Current().signTestFault);
    endpoint.Faults().signTestFails = false;
    Transaction(Request(CommandCode::StartSignTest));
    EXPECT_EQ(Transaction(Request(CommandCode::StopSignTest))[6], 0);
}

TEST_F(ControllerEndpointTest, TraceNamesEveryFrameAndEveryLostReply) {
    std::vector<std::string> lines;
    endpoint.SetTraceHook([&lines](const std::string &line) { lines.push_back(line); });
    Transaction(Request(CommandCode::GetNumberOfLines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "WS->CC Get number of lines (4): D6 19 04 00 00 00 00 00 00 00 00 00 00 00 00 00 "
              "00 00 00 00 00 FB");
    EXPECT_EQ(lines[1].rfind("CC->WS Get number of lines (4) status 0: D6 19 04 00 06", 0), 0u);

    lines.clear();
    SendRequest(Request(CommandCode::GetTime));
    After(1min);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[2].find("given up"), std::string::npos);
}

TEST_F(ControllerEndpointTest, SyncRepeatHookRunsBeforeEachRepeatOnly) {
    int repeats = 0;
    endpoint.SetSyncRepeatHook([&repeats] { ++repeats; });
    SendRequest(Request(CommandCode::GetTime));
    After(5ms);
    EXPECT_EQ(repeats, 0);
    After(ControllerEndpoint::kSyncRepeat);
    After(ControllerEndpoint::kSyncRepeat);
    EXPECT_EQ(repeats, 2);
}

TEST_F(ControllerEndpointTest, ReplyDelayIsTheTimeToTheFirstSyncByte) {
    for (const Millis delay : {0ms, 1ms, 40ms}) {
        endpoint.SetReplyDelay(delay);
        SendRequest(Request(CommandCode::GetNumberOfLines));
        if (delay > 0ms) {
            EXPECT_TRUE(After(delay - 1ms).empty()) << delay.count();
            EXPECT_EQ(After(1ms), Bytes{kSyncByte1}) << delay.count();
        } else {
            EXPECT_EQ(After(0ms), Bytes{kSyncByte1});
        }
        for (std::size_t i = 1; i <= kFrameSize; ++i) Put(kAck);
        EXPECT_EQ(endpoint.CurrentPhase(), Phase::Idle);
        now += 10ms;
    }
}

// Bytes from the workstation are counted over requests and acknowledgements alike; the
// one that reaches the count gets no answer, and nothing is answered after it.
TEST_F(ControllerEndpointTest, UnplugCutsTheLineAfterItsByteCount) {
    const CommandFrame request = Request(CommandCode::GetNumberOfLines);
    const struct {
        int after;
        std::size_t requestAcks;  // request bytes answered
        std::size_t replyBytes;   // reply bytes sent, the sync byte included
    } kCases[] = {{1, 0, 0}, {10, 9, 0}, {22, 21, 0}, {23, 22, 1}, {30, 22, 8}, {44, 22, 22}};
    for (const auto &c : kCases) {
        ControllerEndpoint fresh;
        fresh.Faults().unplugAfterBytes = c.after;
        Millis at{0};
        std::size_t acks = 0;
        std::size_t replyBytes = 0;
        for (std::size_t i = 0; i < kFrameSize; ++i) {
            fresh.ReceiveByte(request[i], at += 1ms);
            acks += fresh.TakeOutput().size();
        }
        fresh.Advance(at += ControllerEndpoint::kReplyDelay);
        replyBytes += fresh.TakeOutput().size();
        for (std::size_t i = 0; i < kFrameSize; ++i) {
            fresh.ReceiveByte(kAck, at += 1ms);
            replyBytes += fresh.TakeOutput().size();
        }
        EXPECT_EQ(acks, c.requestAcks) << c.after;
        EXPECT_EQ(replyBytes, c.replyBytes) << c.after;
        EXPECT_TRUE(fresh.Unplugged()) << c.after;
        // Nothing more, whatever comes and however long it waits.
        for (std::size_t i = 0; i < kFrameSize; ++i) fresh.ReceiveByte(request[i], at += 1ms);
        fresh.Advance(at += 1h);
        EXPECT_TRUE(fresh.TakeOutput().empty()) << c.after;
        EXPECT_FALSE(fresh.NextDeadline()) << c.after;
    }
    EXPECT_FALSE(endpoint.Unplugged());
}

TEST_F(ControllerEndpointTest, DescribeMarksABadChecksum) {
    CommandFrame frame = Request(CommandCode::GetDate);
    frame[kChecksumIndex] ^= 1;
    EXPECT_NE(ControllerEndpoint::Describe(frame, false).find("bad checksum"), std::string::npos);
}

struct TraceCase {
    CommandCode code;
    bool reply;
    bool showSecrets;
    const char *bytes;  // bytes 3 on, as the trace shows them
};

class DescribePasswords : public ::testing::TestWithParam<TraceCase> {};

// "voxa" is 76 6F 78 61: a password's text keeps its length but not its bytes, and the
// checksum that would give its sum away is hidden with it.
TEST_P(DescribePasswords, HidesThePasswordTextUnlessAsked) {
    const TraceCase &c = GetParam();
    CommandFrame frame = RawRequest(c.code, {'v', 'o', 'x', 'a'});
    const std::string text = ControllerEndpoint::Describe(frame, c.reply, c.showSecrets);
    const std::string bytes = text.substr(text.find(": ") + 2 + 3 * 3);
    EXPECT_EQ(bytes.substr(0, std::string(c.bytes).size()), c.bytes) << text;
    const bool hidden = bytes.find("76 6F 78 61") == std::string::npos;
    EXPECT_EQ(hidden, !c.reply && !c.showSecrets &&
                          (c.code == CommandCode::VerifyPassword ||
                           c.code == CommandCode::ChangePassword));
    EXPECT_EQ(text.substr(text.size() - 2) == "**", hidden) << text;
}

INSTANTIATE_TEST_SUITE_P(
    ControllerEndpointTest, DescribePasswords,
    ::testing::Values(
        TraceCase{CommandCode::VerifyPassword, false, false, "** ** ** ** 00"},
        TraceCase{CommandCode::ChangePassword, false, false, "** ** ** ** 00"},
        TraceCase{CommandCode::VerifyPassword, false, true, "76 6F 78 61 00"},
        TraceCase{CommandCode::VerifyPassword, true, false, "76 6F 78 61 00"},
        TraceCase{CommandCode::GetLinePrice, false, false, "76 6F 78 61 00"}));

}  // namespace
