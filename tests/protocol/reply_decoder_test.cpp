#include "reply_decoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "command_code.h"
#include "simulated_site.h"

namespace {

// A checked reply: code, status, and data from byte 4.
CommandFrame Reply(int code, int status, std::initializer_list<int> data = {}) {
    CommandFrame frame;
    frame[0] = kSyncByte1;
    frame[1] = kSyncByte2;
    frame[2] = static_cast<std::uint8_t>(code);
    frame[3] = static_cast<std::uint8_t>(status);
    std::size_t i = 4;
    for (int byte : data) frame[i++] = static_cast<std::uint8_t>(byte);
    frame.StoreChecksum();
    return frame;
}

CommandFrame TextReply(int code, std::size_t start, const std::string &text,
                       std::initializer_list<int> codes = {}) {
    CommandFrame frame = Reply(code, 0, codes);
    for (std::size_t i = 0; i < text.size(); ++i)
        frame[start + i] = static_cast<std::uint8_t>(text[i]);
    frame.StoreChecksum();
    return frame;
}

class ReplyDecoderTest : public ::testing::Test {
protected:
    // Raises the first failure counter with one quiet resend.
    void RaiseChecksumCounter() {
        site.system.Decode(Reply(2, 6));
        ASSERT_EQ(site.system.FailureCounter(0), 1);
    }

    SimulatedSite site;
    SignSystem &system = site.system;
};

TEST_F(ReplyDecoderTest, NumberOfLinesIsStoredAndDataRepliesKeepTheCounters) {
    RaiseChecksumCounter();
    EXPECT_EQ(system.Decode(Reply(4, 0, {6})), 0);
    EXPECT_EQ(system.NumberOfLines(), 6);
    EXPECT_EQ(system.FailureCounter(0), 1);
    system.Decode(Reply(4, 0, {3}));
    EXPECT_EQ(system.NumberOfLines(), 3);
}

// A text that does not end within the frame is no value: the field keeps what it held, and
// the outcome says no data came, so that nobody takes the old text for the answer.
TEST_F(ReplyDecoderTest, ATextWithoutItsEndCarriesNoData) {
    const struct {
        int code;
        std::size_t start;
        std::function<std::string()> field;
    } kCases[] = {
        {1, 4, [&] { return system.LineFormatScratch(); }},
        {3, 4, [&] { return system.LastLinePrice(); }},
        {15, 7, [&] { return system.FailLogText(); }},
        {34, 6, [&] { return system.CcStatusText(); }},
        {44, 4, [&] { return system.CcSoftwarePartNumber(); }},
    };
    for (const auto &c : kCases) {
        const std::string before = c.field();
        EXPECT_EQ(system.Decode(TextReply(c.code, c.start, std::string(21 - c.start, 'x'))),
                  SignSystem::kNoData)
            << "code " << c.code;
        EXPECT_EQ(c.field(), before) << "code " << c.code;
    }
}

// The bare acknowledgement answers a request that asks for nothing; for one that asks for
// data it carries none, and the value stays unread. The workstation shows nothing for it
// (its dialogs leave such a field empty); voxa-ctl says so.
TEST_F(ReplyDecoderTest, TheBareAcknowledgementOfADataRequestCarriesNoData) {
    site.controller.Faults().replyCode = ToByte(CommandCode::NeverSent);
    const std::string failLog = system.FailLogText();
    EXPECT_EQ(system.GetFailLog(), failLog);
    EXPECT_EQ(system.LastOutcome(), SignSystem::kNoData);
    EXPECT_EQ(system.GetNumberOfLines(), 6);
    EXPECT_EQ(system.LastOutcome(), SignSystem::kNoData);
    EXPECT_FALSE(system.VerifyPassword("voxa"));
    EXPECT_EQ(system.LastOutcome(), SignSystem::kNoData);
    EXPECT_TRUE(site.console.messages.empty());
    // A command that asks for nothing is confirmed by it, as ever.
    system.ClearFailLog();
    EXPECT_EQ(system.LastOutcome(), 0);

    system.SetStrictTransactions(true);
    system.GetTime();
    EXPECT_EQ(system.LastOutcome(), SignSystem::kNoData);
    EXPECT_EQ(site.console.messages,
              std::vector<std::string>{SignSystem::NoDataText(ToByte(CommandCode::GetTime))});
}

TEST_F(ReplyDecoderTest, AcknowledgementOnlyRepliesClearTheCounters) {
    for (int code :
         {2, 5, 6, 8, 11, 12, 14, 18, 20, 22, 24, 26, 28, 31, 37, 38, 39, 40, 41, 42, 43}) {
        RaiseChecksumCounter();
        EXPECT_EQ(system.Decode(Reply(code, 0)), 0);
        EXPECT_EQ(system.FailureCounter(0), 0) << "code " << code;
    }
}

TEST_F(ReplyDecoderTest, TimesKeepTheLowNibbleAndThePmBit) {
    system.Decode(Reply(9, 0, {0x8C, 30, 5}));
    EXPECT_EQ(system.CcTime(), (TimeRecord{12, 30, 5, "PM"}));
    system.Decode(Reply(9, 0, {0x0C, 30, 5}));
    EXPECT_EQ(system.CcTime(), (TimeRecord{12, 30, 5, "AM"}));
    system.Decode(Reply(19, 0, {0x87, 15}));
    EXPECT_EQ(system.OnOffTime(), (ShortTimeRecord{7, 15, "PM"}));
    system.Decode(Reply(25, 0, {0x16, 45}));  // bits 4-6 are not part of the hour
    EXPECT_EQ(system.SwitchTime(), (ShortTimeRecord{6, 45, "AM"}));
}

TEST_F(ReplyDecoderTest, DateIsMonthDayAndYearFromTwoBytes) {
    system.Decode(Reply(10, 0, {12, 31, 1, 20}));
    EXPECT_EQ(system.CcDate(), (DateRecord{12, 31, 2001}));
}

TEST_F(ReplyDecoderTest, TextWithoutNulLeavesTheFieldUnchanged) {
    system.Decode(TextReply(1, 4, "88.889"));
    EXPECT_EQ(system.LineFormatScratch(), "88.889");
    system.Decode(TextReply(1, 4, std::string(17, '8')));  // bytes 4-20 all nonzero
    EXPECT_EQ(system.LineFormatScratch(), "88.889");
    system.Decode(TextReply(44, 4, std::string(17, 'P')));
    EXPECT_EQ(system.CcSoftwarePartNumber(), "No CC SW PN");
    system.Decode(TextReply(44, 4, "LV-CC 4.02.17"));
    EXPECT_EQ(system.CcSoftwarePartNumber(), "LV-CC 4.02.17");
    system.Decode(TextReply(3, 4, "3.499"));
    EXPECT_EQ(system.LastLinePrice(), "3.499");
}

TEST_F(ReplyDecoderTest, StatusTextIsCodedAndFlagsFollowByte6) {
    system.Decode(Reply(34, 0, {0x01, 0x02, 0x00}));
    EXPECT_EQ(system.CcStatusText(), "LDFS:0102 0 ");
    EXPECT_FALSE(system.FailureFlag());
    EXPECT_FALSE(system.NvramUpdateFlag());

    system.Decode(Reply(34, 0, {0x01, 0x02, 0x05}));
    EXPECT_EQ(system.CcStatusText(), "LDFS:0102 5 \x05");
    EXPECT_TRUE(system.FailureFlag());
    EXPECT_TRUE(system.NvramUpdateFlag());
}

TEST_F(ReplyDecoderTest, StatusTextWithoutNulChangesNoFlag) {
    CommandFrame frame = TextReply(34, 6, std::string(15, 'E'), {0xAB, 0xCD});
    system.Decode(frame);
    EXPECT_EQ(system.CcStatusText(), "");
    EXPECT_FALSE(system.FailureFlag());
}

TEST_F(ReplyDecoderTest, LogsAndSignTest) {
    system.Decode(Reply(13, 0, {7}));
    EXPECT_EQ(system.ResetLogText(), "Number of Resets: 7");
    system.Decode(TextReply(15, 7, "LAMP 3", {0x1F, 0x0A, 0x02}));
    EXPECT_EQ(system.FailLogText(), "LDFS:1f0a 2 LAMP 3");
    system.Decode(Reply(16, 0, {0x00, 0x00, 0x00}));
    EXPECT_EQ(system.SignTestResultText(), "LDFS:0000 0 ");
    EXPECT_FALSE(system.FailureFlag());
    system.Decode(Reply(16, 0, {0x12, 0x34, 0x03}));
    EXPECT_EQ(system.SignTestResultText(), "LDFS:1234 3 ");
    EXPECT_TRUE(system.FailureFlag());
}

TEST_F(ReplyDecoderTest, StartSignTestClearsCountersOnlyWithACompleteText) {
    RaiseChecksumCounter();
    system.Decode(TextReply(17, 7, std::string(14, 'x')));
    EXPECT_EQ(system.FailureCounter(0), 1);
    system.Decode(TextReply(17, 7, "started"));
    EXPECT_EQ(system.FailureCounter(0), 0);
}

TEST_F(ReplyDecoderTest, SingleByteValues) {
    system.Decode(Reply(7, 0, {0}));
    EXPECT_FALSE(system.DaylightSavingFlag());
    system.Decode(Reply(21, 0, {2}));
    EXPECT_TRUE(system.OnOffTimerSwitch());
    system.Decode(Reply(23, 0, {85}));
    EXPECT_EQ(system.LastDutyCycle(), 85);
    system.Decode(Reply(27, 0, {4}));
    EXPECT_EQ(system.LastFaceLevel(), 4);
    system.Decode(Reply(29, 0, {2}));
    EXPECT_EQ(system.LastManualLevel(), 2);
    system.Decode(Reply(30, 0, {3}));
    EXPECT_EQ(system.LastIntensityMode(), 3);
    system.Decode(Reply(32, 0, {0x91}));
    EXPECT_EQ(system.LastFaceMask(), 0x91);
    system.Decode(Reply(33, 0, {1}));
    EXPECT_TRUE(system.PasswordAccepted());
    system.Decode(Reply(35, 0, {0x08, 0x00}));
    EXPECT_EQ(system.NvramSize(), 2048);
}

TEST_F(ReplyDecoderTest, NvramBlockComesFromBytes5To20) {
    CommandFrame frame = Reply(36, 0, {0xEE});
    for (std::size_t i = 5; i <= 20; ++i) frame[i] = static_cast<std::uint8_t>(i);
    frame.StoreChecksum();
    system.Decode(frame);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(system.LastNvramBlock()[i], i + 5);
}

TEST_F(ReplyDecoderTest, PasswordStatusClearsTheFlagBeforeTheMessage) {
    system.Decode(Reply(33, 0, {1}));
    ASSERT_TRUE(system.PasswordAccepted());
    EXPECT_EQ(system.Decode(Reply(33, 12)), 12);
    EXPECT_FALSE(system.PasswordAccepted());
    EXPECT_EQ(site.console.messages,
              std::vector<std::string>{"Central Controller: Invalid Line Number"});
}

TEST_F(ReplyDecoderTest, UnknownCommandCodesAreProblemMinusTwo) {
    site.system.GetNumberOfLines();  // so the last sent frame carries command 4
    site.console.messages.clear();
    EXPECT_EQ(system.Decode(Reply(45, 0)), LinkOwner::kUnknownCommandCode);
    EXPECT_EQ(system.Decode(Reply(0, 0)), LinkOwner::kUnknownCommandCode);
    ASSERT_EQ(site.console.messages.size(), 2u);
    EXPECT_EQ(site.console.messages[0],
              "CC sent VOXA an unknown status.\nCmd Code: 04 Status:fffffffe");
    EXPECT_NE(site.diagnostics.str().find("CC RETURNED UNKNOWN ERROR CONDITION."),
              std::string::npos);
}

}  // namespace
