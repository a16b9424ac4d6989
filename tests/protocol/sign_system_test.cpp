#include "sign_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

#include "command_code.h"
#include "simulated_site.h"

namespace {

using namespace std::chrono_literals;

class SignSystemTest : public ::testing::Test {
protected:
    SimulatedSite site;
    SignSystem &system = site.system;
    ControllerModel::State &controller = site.model.Current();
};

TEST_F(SignSystemTest, NewModelHoldsItsValuesAtCreation) {
    RecordingConsole console;
    SimLinkPlatform platform(site.controller);
    SignSystem fresh(platform, console);
    EXPECT_EQ(fresh.NumberOfLines(), 6);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(fresh.GetFaceTag(i), "Not Installed");
        EXPECT_EQ(fresh.GetLineTag(i), "Not Installed");
    }
    EXPECT_EQ(fresh.GetLineFormat(1), "8.889");
    EXPECT_EQ(fresh.GetLineFormat(4), "8.88");
    EXPECT_EQ(fresh.GetLineFormat(5), "88.88");
    EXPECT_EQ(fresh.GetLineFormat(8), "8.88");
    EXPECT_EQ(fresh.GetFaceMask(2), 0xA8);
    EXPECT_EQ(fresh.GetFaceMask(7), 0x91);
    EXPECT_TRUE(fresh.DaylightSavingFlag());
    EXPECT_TRUE(fresh.LineTagsDisplayPending());
    EXPECT_FALSE(fresh.FailureFlag());
    EXPECT_EQ(fresh.CcSoftwarePartNumber(), "No CC SW PN");
    EXPECT_EQ(fresh.ResetLogText(), "System Started OK.  No resets.");
    EXPECT_EQ(fresh.FailLogText(), "System Started OK.  No failures.");
    EXPECT_EQ(fresh.GetPortName(), "");
    EXPECT_TRUE(platform.Events().empty());
}

TEST_F(SignSystemTest, CcClockStartsOnTheWorkstationsClockInTwelveHourForm) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const DateRecord date = system.CcDate();
    EXPECT_EQ(date.year, local.tm_year + 1900);
    EXPECT_EQ(date.month, local.tm_mon + 1);
    // Hours 13 to 23 are PM, noon is 12 PM and midnight 12 AM (the model was made a moment
    // before the clock was read here, so the minute may have turned in between).
    const TimeRecord time = system.CcTime();
    const int hour24 = (time.hour % 12) + (time.ampm == "PM" ? 12 : 0);
    EXPECT_GE(time.hour, 1);
    EXPECT_LE(time.hour, 12);
    EXPECT_TRUE(hour24 == local.tm_hour || (hour24 + 1) % 24 == local.tm_hour)
        << time.hour << " " << time.ampm << " at " << local.tm_hour << ":" << local.tm_min;
    site.controller.Faults().silent = true;
    EXPECT_EQ(system.GetDate(), date);  // no controller: the value of creation stays
}

TEST_F(SignSystemTest, TextsAreCutToTheirRoom) {
    system.SetFaceTag(0, std::string(300, 'f'));
    EXPECT_EQ(system.GetFaceTag(0), std::string(255, 'f'));
    system.SetLineTag(7, std::string(256, 'l'));
    EXPECT_EQ(system.GetLineTag(7).size(), 255u);
    system.SetPortName("COM12345678");
    EXPECT_EQ(system.GetPortName(), "COM1234");
    EXPECT_EQ(system.GetFaceTag(8), "");  // out of range reads nothing and writes nothing
    system.SetLineTag(-1, "x");
}

TEST_F(SignSystemTest, LineOperationsSendZeroBasedIndexes) {
    controller.lines[0].price = "2.899";
    EXPECT_EQ(system.GetLinePrice(1), "2.899");
    const auto frames = site.SentFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][2], 3);
    EXPECT_EQ(frames[0][3], 0);

    system.SetLinePrice(2, "3.499");
    EXPECT_EQ(controller.lines[1].price, "3.499");
    EXPECT_TRUE(site.console.messages.empty());
}

TEST_F(SignSystemTest, ReadLineFormatsFillsEveryInstalledLine) {
    controller.lineCount = 3;
    controller.lines[0].format = "88.889";
    controller.lines[1].format = "8,88";
    controller.lines[2].format = "9.99";
    EXPECT_EQ(system.GetNumberOfLines(), 3);
    system.ReadLineFormats();
    EXPECT_EQ(system.GetLineFormat(1), "88.889");
    EXPECT_EQ(system.GetLineFormat(2), "8,88");
    EXPECT_EQ(system.GetLineFormat(3), "9.99");
    EXPECT_EQ(system.GetLineFormat(4), "8.88");  // not installed: the value of creation
    EXPECT_EQ(site.SentCodes(), (std::vector<int>{4, 1, 1, 1}));
}

TEST_F(SignSystemTest, ReadFaceMasksWithSixLinesSendsSixCommands) {
    for (int n = 0; n < 8; ++n) controller.lines[n].faceMask = static_cast<std::uint8_t>(1 << n);
    system.GetNumberOfLines();
    site.platform.ClearEvents();
    system.ReadFaceMasks();
    const auto frames = site.SentFrames();
    ASSERT_EQ(frames.size(), 6u);
    for (std::size_t n = 0; n < frames.size(); ++n) {
        EXPECT_EQ(frames[n][2], 32);
        EXPECT_EQ(frames[n][3], n);
        EXPECT_EQ(system.GetFaceMask(static_cast<int>(n)), 1 << n);
    }
    EXPECT_EQ(system.GetFaceMask(6), 0x32);
    EXPECT_EQ(system.GetFaceMask(7), 0x91);
}

TEST_F(SignSystemTest, MoreThanEightLinesAreBoundedToEight) {
    controller.lineCount = 12;
    EXPECT_EQ(system.GetNumberOfLines(), 12);
    EXPECT_EQ(system.InstalledLineCount(), 8);
    site.platform.ClearEvents();
    system.ReadLineFormats();
    system.ReadFaceMasks();
    EXPECT_EQ(site.SentCodes(),
              (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 32, 32, 32, 32, 32, 32, 32, 32}));
    EXPECT_FALSE(system.LineChanged(9));
    system.SetLineChanged(9, true);  // out of range: ignored
    EXPECT_FALSE(system.LineChanged(9));
}

// A read that fails leaves the line unread: neither the format nor the face mask of the
// line read before it, which a failed read leaves behind, and no price fits it.
TEST_F(SignSystemTest, FailedFormatAndMaskReadsLeaveTheLineUnread) {
    controller.lineCount = 2;
    controller.lines[0].format = "88.88";
    controller.lines[0].faceMask = 0x0F;
    controller.lines[1].format = "8.889";
    controller.lines[1].faceMask = 0x30;
    system.GetNumberOfLines();
    controller.lineCount = 1;  // line 2 is now refused as an invalid line
    system.ReadLineFormats();
    system.ReadFaceMasks();
    EXPECT_EQ(system.GetLineFormat(1), "88.88");
    EXPECT_TRUE(system.LineFormatRead(1));
    EXPECT_EQ(system.GetLineFormat(2), "");
    EXPECT_FALSE(system.LineFormatRead(2));
    EXPECT_EQ(system.GetFaceMask(0), 0x0F);
    EXPECT_EQ(system.GetFaceMask(1), 0);
    EXPECT_FALSE(system.PriceCheck("12.34", 2));
    EXPECT_FALSE(system.PriceCheck("1.234", 2));
    EXPECT_EQ(site.console.messages,
              (std::vector<std::string>{"Central Controller: Invalid Line Number",
                                        "Central Controller: Invalid Line Number"}));

    // Read again once the line answers: known again.
    controller.lineCount = 2;
    system.ReadLineFormats();
    EXPECT_EQ(system.GetLineFormat(2), "8.889");
    EXPECT_TRUE(system.LineFormatRead(2));
}

TEST_F(SignSystemTest, IntensityModeMapsUnknownValuesToManual) {
    controller.faces[3].mode = 2;
    EXPECT_EQ(system.GetIntensityMode(3), IntensityMode::TimeOfDay);
    controller.faces[3].mode = 3;
    EXPECT_EQ(system.GetIntensityMode(3), IntensityMode::LightSensor);
    controller.faces[3].mode = 7;
    EXPECT_EQ(system.GetIntensityMode(3), IntensityMode::Manual);
    controller.faces[3].mode = 0;
    EXPECT_EQ(system.GetIntensityMode(3), IntensityMode::Manual);
}

TEST_F(SignSystemTest, IntensitySettingsRoundTrip) {
    system.SetIntensityMode(2, 3);
    EXPECT_EQ(controller.faces[2].mode, 3);
    system.SetManualLevel(2, 5);
    EXPECT_EQ(system.GetManualLevel(2), 5);
    system.SetFaceLevel(2, 0, 1);
    system.SetFaceLevel(2, 1, 4);
    EXPECT_EQ(system.GetFaceLevel(2, 0), 1);
    EXPECT_EQ(system.GetFaceLevel(2, 1), 4);
    system.SetDutyCycle(5, 100);
    EXPECT_EQ(system.GetDutyCycle(5), 100);
    EXPECT_TRUE(site.console.messages.empty());
    system.SetDutyCycle(5, 101);
    EXPECT_EQ(site.console.messages,
              std::vector<std::string>{"Central Controller: Duty Cycle Out of Range"});
    EXPECT_EQ(system.LastOutcome(), 18);
}

TEST_F(SignSystemTest, SwitchTimeIsNotTheOnOffTime) {
    system.SetOnOffTime(1, {6, 30, "AM"});
    system.SetOnOffTime(0, {11, 15, "PM"});
    system.SetSwitchTime(4, 1, {7, 45, "PM"});
    EXPECT_EQ(system.GetOnOffTime(1), (ShortTimeRecord{6, 30, "AM"}));
    EXPECT_EQ(system.GetSwitchTime(0, 1), (ShortTimeRecord{7, 45, "PM"}));
    EXPECT_EQ(system.GetOnOffTime(0), (ShortTimeRecord{11, 15, "PM"}));
    // The face is taken but not sent: the frame carries only the index.
    site.platform.ClearEvents();
    system.GetSwitchTime(6, 2);
    const auto frames = site.SentFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][3], 2);
    EXPECT_EQ(frames[0][4], 0);
}

TEST_F(SignSystemTest, ClockDateAndDaylightSaving) {
    system.SetTime({3, 4, 5, "PM"});
    const TimeRecord time = system.GetTime();
    EXPECT_EQ(time.hour, 3);
    EXPECT_EQ(time.ampm, "PM");
    EXPECT_GE(time.minute, 4);
    system.SetDate({6, 7, 2002});
    EXPECT_EQ(system.GetDate(), (DateRecord{6, 7, 2002}));
    system.SetDaylightSaving(false);
    EXPECT_FALSE(system.GetDaylightSaving());
    system.SetDaylightSaving(true);
    EXPECT_TRUE(system.GetDaylightSaving());
    system.SetOnOffTimerSwitch(true);
    EXPECT_TRUE(system.GetOnOffTimerSwitch());
}

TEST_F(SignSystemTest, LogsAndSignTest) {
    controller.resetCount = 4;
    EXPECT_EQ(system.GetResetCount(), "Number of Resets: 4");
    system.ClearResetLog();
    EXPECT_EQ(system.GetResetCount(), "Number of Resets: 0");
    system.StartSignTest();
    EXPECT_TRUE(controller.signTestRunning);
    EXPECT_EQ(system.RunTransaction(system.Builder().StopSignTest()), 0);
    EXPECT_EQ(system.SignTestResultText().rfind("LDFS:", 0), 0u);
    system.ClearFailLog();
    EXPECT_EQ(system.GetFailLog().rfind("LDFS:", 0), 0u);
}

TEST_F(SignSystemTest, VerifyPasswordAnswersFalseWhenTheControllerIsGone) {
    EXPECT_TRUE(system.VerifyPassword("voxa"));
    EXPECT_FALSE(system.VerifyPassword("wrong"));
    EXPECT_TRUE(system.VerifyPassword("voxa"));
    site.controller.Faults().silent = true;
    EXPECT_FALSE(system.VerifyPassword("voxa"));
}

TEST_F(SignSystemTest, ChangePasswordTakesEffect) {
    system.ChangePassword("night shift");
    EXPECT_EQ(controller.password, "night shift");
    EXPECT_TRUE(system.VerifyPassword("night shift"));
}

TEST_F(SignSystemTest, CcStatusReturnsTheNvramUpdateFlag) {
    EXPECT_FALSE(system.GetCcStatus());
    site.controller.Faults().ccStatusCode = 5;
    EXPECT_TRUE(system.GetCcStatus());
    EXPECT_TRUE(system.FailureFlag());
}

TEST_F(SignSystemTest, NvramBlocksAndTheirOutcome) {
    EXPECT_EQ(system.GetNvramSize(), 2048);
    NvramBlock data{};
    data.fill(0x5A);
    int outcome = -99;
    system.WriteNvramBlock(0x0010, data, &outcome);
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(system.ReadNvramBlock(0x0010, &outcome), data);
    EXPECT_EQ(outcome, 0);
    system.ReadNvramBlock(2048, &outcome);
    EXPECT_EQ(outcome, 22);
    EXPECT_TRUE(system.FailureFlag());
    EXPECT_EQ(site.console.messages,
              std::vector<std::string>{"NVRAM Address Invalid, Aborting Transfer"});
}

TEST_F(SignSystemTest, PartNumberAndFailedTransactions) {
    EXPECT_EQ(system.GetCcSoftwarePartNumber(), controller.partNumber);
    EXPECT_EQ(system.FailedTransactionCount(), 0);
    site.controller.Faults().silent = true;
    system.GetNumberOfLines();
    EXPECT_EQ(system.FailedTransactionCount(), 1);
    EXPECT_EQ(system.LastOutcome(), LinkOwner::kNoSync);
}

// Any transaction without a reply takes the link down; any reply that is decoded, even one
// that reports a problem, brings it up again. A garbled reply says nothing either way.
TEST_F(SignSystemTest, LinkIsDownFromATransactionWithoutReplyToTheNextReply) {
    using Fault = void (*)(SimulatedSite &, bool);
    const struct {
        const char *name;
        Fault fault;
        bool down;
        const char *problem;
    } kCases[] = {
        {"silent controller", [](SimulatedSite &s, bool on) { s.controller.Faults().silent = on; },
         true,
         "no answer from the Central Controller on COM1; check that it is switched on and "
         "connected to this port"},
        {"port that does not open",
         [](SimulatedSite &s, bool on) { s.platform.SetPortMissing(on); }, true,
         "Open(): open() failed: (2) No such file or directory"},
        {"refusing controller",
         [](SimulatedSite &s, bool on) {
             s.controller.Faults().forcedStatus = 12;
             s.controller.Faults().forcedStatusCount = on ? -1 : 0;
         },
         false, ""},
    };
    for (const auto &c : kCases) {
        SimulatedSite s;
        EXPECT_FALSE(s.system.LinkDown()) << c.name;  // nothing is known before the first
        c.fault(s, true);
        s.system.GetNumberOfLines();
        EXPECT_EQ(s.system.LinkDown(), c.down) << c.name;
        EXPECT_EQ(s.system.LinkProblem(), c.problem) << c.name;
        EXPECT_EQ(s.console.details.front(), c.problem) << c.name;

        // A reply whose checksum fails leaves the state as it was.
        c.fault(s, false);
        s.controller.Faults().corruptChecksum = true;
        s.system.GetNumberOfLines();
        EXPECT_EQ(s.system.LinkDown(), c.down) << c.name;

        s.controller.Faults().corruptChecksum = false;
        s.system.GetNumberOfLines();
        EXPECT_FALSE(s.system.LinkDown()) << c.name;
        EXPECT_EQ(s.system.LinkProblem(), "") << c.name;
    }
}

// A line that hangs up in the middle of a reply: the checksum test refuses what came, and
// the report says what happened on the line.
TEST_F(SignSystemTest, LineThatHangsUpMidReplyIsNamedWithTheChecksumReport) {
    SimulatedSite s;
    s.controller.Faults().unplugAfterBytes = 30;  // the request and 8 ACKs of the reply
    s.system.GetNumberOfLines();
    const std::string problem =
        "the line to the Central Controller on COM1 hung up in the middle of the reply; check "
        "that the cable or adapter is plugged in";
    EXPECT_EQ(s.system.LastOutcome(), LinkOwner::kChecksumFailure);
    EXPECT_FALSE(s.system.LinkDown());
    EXPECT_EQ(s.system.LinkProblem(), problem);
    EXPECT_EQ(s.console.messages,
              std::vector<std::string>{"CC sent VOXA an unknown status.\nCmd Code: 04 Status:fffffffd"});
    EXPECT_EQ(s.console.details, std::vector<std::string>{problem});

    // A garbled reply on a line that stays up says nothing more than the fixed text.
    SimulatedSite garbled;
    garbled.controller.Faults().corruptChecksum = true;
    garbled.system.GetNumberOfLines();
    EXPECT_EQ(garbled.console.details, std::vector<std::string>{""});
}

TEST_F(SignSystemTest, TestOpenDependsOnThePortOpening) {
    EXPECT_TRUE(system.TestOpen("COM3"));
    site.platform.SetPortMissing(true);
    EXPECT_FALSE(system.TestOpen("COM3"));
}

struct PriceCase {
    const char *price;
    int line;
    bool good;
};

class PriceCheck : public ::testing::TestWithParam<PriceCase> {};

TEST_P(PriceCheck, FollowsTheLineFormat) {
    SimulatedSite site;
    const PriceCase c = GetParam();
    EXPECT_EQ(site.system.PriceCheck(c.price, c.line), c.good) << c.price << " on line " << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    FormatsAtCreation, PriceCheck,
    ::testing::Values(PriceCase{"1.799", 1, true}, PriceCase{"1.798", 1, false},
                      PriceCase{"1,799", 1, false}, PriceCase{"1.79", 1, false},
                      PriceCase{"1.7999", 1, false}, PriceCase{"19.99", 5, true},
                      PriceCase{"2.09", 4, true}, PriceCase{"1.799", 5, false},
                      PriceCase{"a.799", 1, false}, PriceCase{"", 1, false},
                      PriceCase{"1.799", 9, false}));

TEST(PriceCheckFormats, UnknownFormatCharacterRejectsEveryText) {
    SimulatedSite site;
    site.model.Current().lines[0].format = "87.8";
    site.model.Current().lineCount = 2;
    site.model.Current().lines[1].format = "8,8";
    site.system.GetNumberOfLines();
    site.system.ReadLineFormats();
    for (const char *text : {"17.8", "1..8", "1778", "0000"})
        EXPECT_FALSE(site.system.PriceCheck(text, 1)) << text;
    EXPECT_TRUE(site.system.PriceCheck("1,5", 2));
    EXPECT_FALSE(site.system.PriceCheck("1.5", 2));
}

// ---- A password leaves no copy on this side of the line ----

struct PasswordCommand {
    const char *name;
    int code;
    std::function<void(SignSystem &, const std::string &)> send;
};

void PrintTo(const PasswordCommand &command, std::ostream *os) {
    *os << command.name;
}

class PasswordFrames : public SignSystemTest,
                       public ::testing::WithParamInterface<PasswordCommand> {
protected:
    static std::string TextOf(const CommandFrame &frame) {
        std::string text;
        for (std::size_t i = 3; i <= kLastDataIndex && frame[i] != 0; ++i) text += char(frame[i]);
        return text;
    }
    // The frame names its command and holds nothing else: the text and the checksum,
    // whose sum would give the text away, are zeros.
    static void ExpectOnlyTheCode(const CommandFrame &frame, int code) {
        EXPECT_EQ(frame[0], kSyncByte1);
        EXPECT_EQ(frame.Code(), code);
        for (std::size_t i = 3; i < kFrameSize; ++i) EXPECT_EQ(frame[i], 0) << "byte " << i;
    }
    std::vector<CommandFrame> FramesOf(int code) const {
        std::vector<CommandFrame> frames;
        for (const CommandFrame &frame : site.SentFrames())
            if (frame.Code() == code) frames.push_back(frame);
        return frames;
    }
};

TEST_P(PasswordFrames, AreWipedOnceTheTransactionIsOver) {
    const PasswordCommand &command = GetParam();
    // As long as the frame carries, so every text byte has to be wiped.
    const std::string password = "Seventeen chars!!";
    command.send(system, password);

    const std::vector<CommandFrame> sent = FramesOf(command.code);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(TextOf(sent[0]), password);
    ExpectOnlyTheCode(system.Builder().Frame(), command.code);
    ExpectOnlyTheCode(system.Link().LastSentFrame(), command.code);
}

TEST_P(PasswordFrames, QuietResendInsideTheTransactionStillCarriesThePassword) {
    const PasswordCommand &command = GetParam();
    site.controller.Faults().forcedStatus = ControllerStatus::kChecksumFailure;
    site.controller.Faults().forcedStatusCount = 1;
    site.controller.Faults().forcedStatusCommand = static_cast<std::uint8_t>(command.code);
    command.send(system, "dawn shift");

    const std::vector<CommandFrame> sent = FramesOf(command.code);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(TextOf(sent[0]), "dawn shift");
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_EQ(system.FailureCounter(0), 1);
    ExpectOnlyTheCode(system.Link().LastSentFrame(), command.code);
}

TEST_P(PasswordFrames, MessageAfterwardsStillNamesTheCommand) {
    const PasswordCommand &command = GetParam();
    site.controller.Faults().forcedStatus = 99;
    site.controller.Faults().forcedStatusCount = 1;
    command.send(system, "voxa");

    char expected[80];
    std::snprintf(expected, sizeof expected,
                  "CC sent VOXA an unknown status.\nCmd Code: %02x Status:63", command.code);
    EXPECT_EQ(site.console.messages, std::vector<std::string>{expected});
    ExpectOnlyTheCode(system.Link().LastSentFrame(), command.code);
}

INSTANTIATE_TEST_SUITE_P(BothCommands, PasswordFrames,
                         ::testing::Values(PasswordCommand{"VerifyPassword", 33,
                                                           [](SignSystem &s, const std::string &p) {
                                                               s.VerifyPassword(p);
                                                           }},
                                           PasswordCommand{"ChangePassword", 5,
                                                           [](SignSystem &s, const std::string &p) {
                                                               s.ChangePassword(p);
                                                           }}),
                         [](const auto &row) { return std::string(row.param.name); });

}  // namespace
