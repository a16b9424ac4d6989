// voxa-ctl's subcommands against the simulated controller on virtual time. The sign
// system answers to a StreamConsole here, as it does in voxa-ctl itself, so the
// controller's messages reach standard error the way the user sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "arguments.h"
#include "command_code.h"
#include "command_line_client.h"
#include "controller_model.h"
#include "ctl_in_process_fixture.h"
#include "exit_status.h"

namespace {

using Words = std::vector<std::string>;

// The controller's wall clock stands still, so a time set is the time read back.
std::chrono::system_clock::time_point FixedNow() {
    using namespace std::chrono;
    return sys_days{year{2024} / 3 / 14} + hours{15} + minutes{20};
}

std::string Joined(const Words &words) {
    std::string text;
    for (const std::string &word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

class CtlClientTest : public CtlInProcess {
protected:
    CtlClientTest() : CtlInProcess(FixedNow) {}

    int Run(const Words &words) { return client.RunSubcommand(system, words); }

    static int Code(CommandCode code) { return ToByte(code); }

    CommandLineClient client{out, err};
};

// ---- Reading values ------------------------------------------------------------------

TEST_F(CtlClientTest, LineCountFormatsAndMasksFollowTheController) {
    state.lineCount = 3;
    state.lines[0] = {"88.889", "12.349", 0x05};
    state.lines[1] = {"8,88", "1,25", 0xA0};
    state.lines[2] = {"9.99", "9.99", 0x81};

    EXPECT_EQ(Run({"get-number-of-lines"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), "3\n");

    out.str("");
    controller.ClearRequests();
    EXPECT_EQ(Run({"read-line-formats"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), "1 88.889\n2 8,88\n3 9.99\n");
    ASSERT_EQ(RequestCodes(), (std::vector<int>{4, 1, 1, 1}));
    for (std::size_t n = 1; n < controller.Requests().size(); ++n)
        EXPECT_EQ(controller.Requests()[n][3], n - 1) << "format request " << n;

    out.str("");
    EXPECT_EQ(Run({"read-face-masks"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), "1 0x05\n2 0xa0\n3 0x81\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CtlClientTest, GetLinePriceAsksForTheLineCountedFromZero) {
    state.lines[4].price = "27.15";
    EXPECT_EQ(Run({"get-line-price", "5"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), "27.15\n");
    ASSERT_EQ(controller.Requests().size(), 1u);
    EXPECT_EQ(controller.Requests()[0].Code(), Code(CommandCode::GetLinePrice));
    EXPECT_EQ(controller.Requests()[0][3], 4);
}

TEST_F(CtlClientTest, ClockReadsOnTheTwelveHourDial) {
    model.SetClock({2031, 12, 25, 0, 5, 9});
    EXPECT_EQ(Run({"get-time"}), ExitStatus::kOk);
    EXPECT_EQ(Run({"get-date"}), ExitStatus::kOk);
    model.SetClock({2031, 12, 25, 23, 59, 1});
    EXPECT_EQ(Run({"get-time"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), "12:05:09 AM\n12/25/2031\n11:59:01 PM\n");
}

TEST_F(CtlClientTest, TimersAndIntensityRead) {
    state.onOffTimes = {ControllerModel::ShortTime{10, 45, true},
                        ControllerModel::ShortTime{4, 5, false}};
    state.switchTimes[1] = {9, 0, true};
    state.onOffTimerEnabled = true;
    state.daylightSaving = false;
    state.dutyCycles[3] = 64;
    state.faces[6] = {3, 2, {1, 5}};

    const std::vector<Words> runs{
        {"get-on-off-time", "0"},    {"get-on-off-time", "1"},  {"get-switch-time", "5", "2"},
        {"get-on-off-timer-switch"}, {"get-daylight-saving"},   {"get-duty-cycle", "4"},
        {"get-intensity-mode", "6"}, {"get-manual-level", "6"}, {"get-face-level", "6", "1"}};
    for (const Words &words : runs) EXPECT_EQ(Run(words), ExitStatus::kOk) << Joined(words);
    EXPECT_EQ(out.str(), "10:45 PM\n4:05 AM\n9:00 PM\non\noff\n64\nLight Sensor\n2\n5\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CtlClientTest, LogsStatusAndPartNumberRead) {
    state.resetCount = 7;
    state.failLog = {{0x01, 0x2A, 0x0F}, "LAMP FACE 6"};
    state.partNumber = "LV-CC 5.10.02";
    for (const char *name : {"get-reset-count", "get-fail-log", "get-cc-software-part-number"})
        EXPECT_EQ(Run({name}), ExitStatus::kOk) << name;
    EXPECT_EQ(out.str(), "Number of Resets: 7\nLDFS:012a f LAMP FACE 6\nLV-CC 5.10.02\n");
}

TEST_F(CtlClientTest, CcStatusSaysWhenNvramMustBeUpdated) {
    EXPECT_EQ(Run({"get-cc-status"}), ExitStatus::kOk);
    EXPECT_EQ(out.str().find("NVRAM must be updated"), std::string::npos) << out.str();

    out.str("");
    controller.Faults().ccStatusCode = ControllerStatus::kNvramMustBeUpdated;
    EXPECT_EQ(Run({"get-cc-status"}), ExitStatus::kOk);
    EXPECT_NE(out.str().find("NVRAM INVALID"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\nNVRAM must be updated\n"), std::string::npos) << out.str();
    // A status report is a value, not a failure: nothing is asked.
    EXPECT_EQ(err.str(), "");
}

// ---- Setting values ------------------------------------------------------------------

TEST_F(CtlClientTest, SetTimeSendsTheTwelveHourClockAndTheControllerTakesIt) {
    EXPECT_EQ(Run({"set-time", "12:30:05", "PM"}), ExitStatus::kOk);
    ASSERT_EQ(controller.Requests().size(), 1u);
    const CommandFrame &request = controller.Requests()[0];
    EXPECT_EQ(request.Code(), Code(CommandCode::SetTime));
    EXPECT_EQ(request[3], 0x80 | 12);
    EXPECT_EQ(request[4], 30);
    EXPECT_EQ(request[5], 5);
    ControllerModel::CivilTime clock = model.Clock();
    EXPECT_EQ(clock.hour, 12);
    EXPECT_EQ(clock.minute, 30);
    EXPECT_EQ(clock.second, 5);

    // Seconds may be left out, and the AM/PM word may share the time's argument.
    EXPECT_EQ(Run({"set-time", "7:05 am"}), ExitStatus::kOk);
    clock = model.Clock();
    EXPECT_EQ(clock.hour, 7);
    EXPECT_EQ(clock.minute, 5);
    EXPECT_EQ(clock.second, 0);

    EXPECT_EQ(Run({"get-time"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), "7:05:00 AM\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CtlClientTest, SetDateSendsTheCenturyApart) {
    EXPECT_EQ(Run({"set-date", "6/7/2002"}), ExitStatus::kOk);
    ASSERT_EQ(controller.Requests().size(), 1u);
    const CommandFrame &request = controller.Requests()[0];
    EXPECT_EQ(request.Code(), Code(CommandCode::SetDate));
    EXPECT_EQ(request[3], 6);
    EXPECT_EQ(request[4], 7);
    EXPECT_EQ(request[5], 2);
    EXPECT_EQ(request[6], 20);
    const ControllerModel::CivilTime clock = model.Clock();
    EXPECT_EQ(clock.year, 2002);
    EXPECT_EQ(clock.month, 6);
    EXPECT_EQ(clock.day, 7);
}

TEST_F(CtlClientTest, OnOffAndSwitchTimesLandInTheirOwnSlots) {
    EXPECT_EQ(Run({"set-on-off-time", "1", "7:05", "AM"}), ExitStatus::kOk);
    EXPECT_EQ(Run({"set-on-off-time", "0", "11:45 pm"}), ExitStatus::kOk);
    EXPECT_EQ(Run({"set-switch-time", "3", "2", "6:15", "PM"}), ExitStatus::kOk);
    EXPECT_EQ(state.onOffTimes[1], (ControllerModel::ShortTime{7, 5, false}));
    EXPECT_EQ(state.onOffTimes[0], (ControllerModel::ShortTime{11, 45, true}));
    EXPECT_EQ(state.switchTimes[1], (ControllerModel::ShortTime{6, 15, true}));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CtlClientTest, SwitchesTurnOnAndOff) {
    state.daylightSaving = false;
    EXPECT_EQ(Run({"set-daylight-saving", "on"}), ExitStatus::kOk);
    EXPECT_TRUE(state.daylightSaving);
    EXPECT_EQ(Run({"set-daylight-saving", "off"}), ExitStatus::kOk);
    EXPECT_FALSE(state.daylightSaving);

    state.onOffTimerEnabled = false;
    EXPECT_EQ(Run({"set-on-off-timer-switch", "on"}), ExitStatus::kOk);
    EXPECT_TRUE(state.onOffTimerEnabled);
    EXPECT_EQ(controller.Requests().back()[3], 1);
    EXPECT_EQ(Run({"set-on-off-timer-switch", "off"}), ExitStatus::kOk);
    EXPECT_FALSE(state.onOffTimerEnabled);
    EXPECT_EQ(controller.Requests().back()[3], 0);
}

TEST_F(CtlClientTest, IntensitySettingsReachTheRightFace) {
    EXPECT_EQ(Run({"set-duty-cycle", "3", "55"}), ExitStatus::kOk);
    EXPECT_EQ(Run({"set-face-level", "2", "1", "3"}), ExitStatus::kOk);
    EXPECT_EQ(Run({"set-manual-level", "7", "5"}), ExitStatus::kOk);
    EXPECT_EQ(Run({"set-intensity-mode", "4", "2"}), ExitStatus::kOk);
    EXPECT_EQ(state.dutyCycles[2], 55);
    EXPECT_EQ(state.faces[2].slotLevels[1], 3);
    EXPECT_EQ(state.faces[7].manualLevel, 5);
    EXPECT_EQ(state.faces[4].mode, 2);
    // Their neighbours keep what they had.
    EXPECT_EQ(state.faces[2].slotLevels[0], ControllerModel::Face{}.slotLevels[0]);
    EXPECT_EQ(state.faces[6].manualLevel, ControllerModel::Face{}.manualLevel);
    EXPECT_EQ(state.faces[3].mode, ControllerModel::Face{}.mode);
}

TEST_F(CtlClientTest, LogsAndSignTest) {
    state.resetCount = 9;
    EXPECT_EQ(Run({"clear-reset-log"}), ExitStatus::kOk);
    EXPECT_EQ(state.resetCount, 0);
    EXPECT_EQ(Run({"clear-fail-log"}), ExitStatus::kOk);
    EXPECT_EQ(state.failLog, ControllerModel::CodedText{});

    state.signTestFault = true;
    EXPECT_EQ(Run({"start-sign-test"}), ExitStatus::kOk);
    EXPECT_TRUE(state.signTestRunning);
    EXPECT_EQ(Run({"stop-sign-test"}), ExitStatus::kOk);
    EXPECT_FALSE(state.signTestRunning);
    char expected[32];
    std::snprintf(expected, sizeof expected, "LDFS:%02x%02x %x", state.lastSignTest.codes[0],
                  state.lastSignTest.codes[1], state.lastSignTest.codes[2]);
    EXPECT_NE(state.lastSignTest.codes[2], 0);
    EXPECT_EQ(out.str().rfind(expected, 0), 0u) << out.str();
}

TEST_F(CtlClientTest, PasswordIsChangedVerifiedAndRejected) {
    EXPECT_EQ(Run({"change-password", "night shift"}), ExitStatus::kOk);
    EXPECT_EQ(state.password, "night shift");
    EXPECT_EQ(Run({"verify-password", "night shift"}), ExitStatus::kOk);
    EXPECT_EQ(Run({"verify-password", "voxa"}), ExitStatus::kRefused);
    EXPECT_EQ(out.str(), "accepted\nrejected\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CtlClientTest, PasswordLongerThanTheFrameHoldsIsRefusedUnsent) {
    // The frame carries 17 characters; a longer password would be cut without a word and
    // the controller would keep a password nobody typed.
    const std::string longest(17, 'p');
    EXPECT_EQ(Run({"change-password", longest}), ExitStatus::kOk);
    EXPECT_EQ(state.password, longest);
    controller.ClearRequests();
    EXPECT_EQ(Run({"change-password", longest + "q"}), ExitStatus::kUsage);
    EXPECT_TRUE(controller.Requests().empty());
    EXPECT_EQ(state.password, longest);
    EXPECT_NE(err.str().find("17"), std::string::npos) << err.str();
}

TEST_F(CtlClientTest, TestOpenReportsWhetherThePortOpensAndWhyNot) {
    EXPECT_EQ(Run({"test-open", "COM3"}), ExitStatus::kOk);
    EXPECT_EQ(err.str(), "");
    platform.SetPortMissing(true);
    EXPECT_EQ(Run({"test-open", "COM9"}), ExitStatus::kTransactionFailed);
    EXPECT_EQ(out.str(), "opened\nfailed\n");
    EXPECT_EQ(err.str(), "voxa-ctl: Open(): open() failed: (2) No such file or directory\n");
    EXPECT_TRUE(controller.Requests().empty());
}

// ---- Prices --------------------------------------------------------------------------

struct PriceCase {
    const char *price;
    bool fits;
};

void PrintTo(const PriceCase &c, std::ostream *os) {
    *os << c.price << (c.fits ? " fits" : " does not fit");
}

class CtlSetLinePrice : public CtlClientTest, public ::testing::WithParamInterface<PriceCase> {};

// The check uses the format the controller reports, not the workstation's format of
// creation (8.889 for line 3), so a price that fits only the latter is refused.
TEST_P(CtlSetLinePrice, IsCheckedAgainstTheControllersFormatBeforeSending) {
    const PriceCase c = GetParam();
    state.lines[2] = {"88.89", "10.09", 0x03};
    const int status = Run({"set-line-price", "3", c.price});
    const std::vector<int> codes = RequestCodes();
    ASSERT_GE(codes.size(), 5u);
    // The controller's status first: one that wants its memory loaded is sent no price.
    EXPECT_EQ(codes[0], Code(CommandCode::GetCcStatus));
    EXPECT_EQ(codes[1], Code(CommandCode::GetNumberOfLines));
    if (c.fits) {
        EXPECT_EQ(status, ExitStatus::kOk);
        EXPECT_EQ(state.lines[2].price, c.price);
        const CommandFrame &request = controller.Requests().back();
        EXPECT_EQ(request.Code(), Code(CommandCode::SetLinePrice));
        EXPECT_EQ(request[3], 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(&request.bytes[4])), c.price);
        EXPECT_EQ(err.str(), "");
    } else {
        EXPECT_EQ(status, ExitStatus::kRefused);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), Code(CommandCode::SetLinePrice)), 0);
        EXPECT_EQ(state.lines[2].price, "10.09");
        EXPECT_EQ(err.str(), "voxa-ctl: Error: Bad Value, Price #3 (format 88.89)\n");
    }
    EXPECT_EQ(out.str(), "");
}

INSTANTIATE_TEST_SUITE_P(Prices, CtlSetLinePrice,
                         ::testing::Values(PriceCase{"12.39", true}, PriceCase{"00.09", true},
                                           PriceCase{"2.399", false}, PriceCase{"12.38", false},
                                           PriceCase{"12,39", false}, PriceCase{"2.39", false},
                                           PriceCase{"112.39", false}, PriceCase{"1a.39", false}));

TEST_F(CtlClientTest, PriceForALineTheControllerDoesNotHaveIsRefusedUnsent) {
    state.lineCount = 2;
    EXPECT_EQ(Run({"set-line-price", "3", "3.659"}), ExitStatus::kRefused);
    EXPECT_EQ(RequestCodes(), (std::vector<int>{34, 4, 1, 1}));
    EXPECT_EQ(err.str(), "voxa-ctl: line 3 is not installed\n");
}

// ---- Bad usage -----------------------------------------------------------------------

struct UsageCase {
    Words words;
    const char *message;  // part of what standard error must say
};

void PrintTo(const UsageCase &c, std::ostream *os) {
    if (c.words.empty()) *os << "(no words)";
    for (std::size_t i = 0; i < c.words.size(); ++i)
        *os << (i > 0 ? " " : "") << (c.words[i].empty() ? "(empty)" : c.words[i]);
}

class CtlUsage : public CtlClientTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CtlUsage, ExitsTwoWithAMessageAndSendsNothing) {
    const UsageCase &c = GetParam();
    EXPECT_EQ(Run(c.words), ExitStatus::kUsage) << Joined(c.words);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << Joined(c.words) << ": " << err.str();
    if (!c.words.empty()) {
        EXPECT_EQ(err.str().rfind("voxa-ctl: ", 0), 0u) << err.str();
    }
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(platform.OpenCount(), 0) << Joined(c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, CtlUsage,
    ::testing::Values(UsageCase{{"get-line-price", "0"}, "LINE must be 1 to 8"},
                      UsageCase{{"get-line-price", "9"}, "LINE must be 1 to 8"},
                      UsageCase{{"get-line-price", "1.5"}, "LINE must be 1 to 8"},
                      UsageCase{{"get-line-price", "+1"}, "LINE must be 1 to 8"},
                      UsageCase{{"get-line-price", ""}, "LINE must be 1 to 8"},
                      UsageCase{{"set-line-price", "9", "1.25"}, "LINE must be 1 to 8"},
                      UsageCase{{"set-duty-cycle", "6", "50"}, "LEVEL 1 to 5"},
                      UsageCase{{"set-duty-cycle", "1", "256"}, "PERCENT"},
                      UsageCase{{"set-duty-cycle", "1", "-1"}, "PERCENT"},
                      UsageCase{{"get-duty-cycle", "0"}, "LEVEL must be 1 to 5"},
                      UsageCase{{"set-face-level", "8", "0", "1"}, "FACE 0 to 7"},
                      UsageCase{{"set-face-level", "0", "2", "1"}, "SLOT 0 or 1"},
                      UsageCase{{"set-face-level", "0", "0", "6"}, "LEVEL 1 to 5"},
                      UsageCase{{"get-manual-level", "-1"}, "FACE must be 0 to 7"},
                      UsageCase{{"set-intensity-mode", "0", "4"}, "MODE 1 to 3"},
                      UsageCase{{"get-switch-time", "0", "3"}, "INDEX 1 or 2"},
                      UsageCase{{"get-on-off-time", "2"}, "INDEX must be 1 (on) or 0 (off)"}));

INSTANTIATE_TEST_SUITE_P(
    TimesDatesAndSwitches, CtlUsage,
    ::testing::Values(UsageCase{{"set-time", "13:00:00", "PM"}, "12:30:05 PM"},
                      UsageCase{{"set-time", "0:30", "AM"}, "12:30:05 PM"},
                      UsageCase{{"set-time", "12:60", "PM"}, "12:30:05 PM"},
                      UsageCase{{"set-time", "12:30:60", "PM"}, "12:30:05 PM"},
                      UsageCase{{"set-time", "7:5", "AM"}, "12:30:05 PM"},
                      UsageCase{{"set-time", "24:05"}, "12:30:05 PM"},
                      UsageCase{{"set-time", "7:05", "XM"}, "12:30:05 PM"},
                      UsageCase{{"set-on-off-time", "1", "7:05:30", "AM"}, "7:05 AM"},
                      UsageCase{{"set-on-off-time", "2", "7:05", "AM"}, "INDEX (1 on, 0 off)"},
                      UsageCase{{"set-switch-time", "0", "1", "24:00", "PM"}, "7:05 AM"},
                      UsageCase{{"set-date", "13/7/2002"}, "6/7/2002"},
                      UsageCase{{"set-date", "6/32/2002"}, "6/7/2002"},
                      UsageCase{{"set-date", "6/7/02"}, "6/7/2002"},
                      UsageCase{{"set-date", "6-7-2002"}, "6/7/2002"},
                      UsageCase{{"set-daylight-saving", "yes"}, "expected on or off"},
                      UsageCase{{"set-on-off-timer-switch", "1"}, "expected on or off"}));

INSTANTIATE_TEST_SUITE_P(
    Arguments, CtlUsage,
    ::testing::Values(
        UsageCase{{"set-price", "1", "2.099"}, "unknown subcommand \"set-price\""},
        UsageCase{{"GET-TIME"}, "unknown subcommand"},
        UsageCase{{"get-number-of-lines", "now"}, "usage: voxa-ctl get-number-of-lines"},
        UsageCase{{"set-line-price", "1"}, "usage: voxa-ctl set-line-price LINE PRICE"},
        UsageCase{{"set-time", "7:05", "AM", "sharp"}, "usage: voxa-ctl set-time"},
        UsageCase{{"verify-password", std::string(18, 'p')}, "PASSWORD must be at most 17"},
        UsageCase{{"test-open", "COM10"}, "COMn must be COM1 to COM9"},
        UsageCase{{"test-open", "COM0"}, "COMn must be COM1 to COM9"},
        UsageCase{{"test-open", "com1"}, "COMn must be COM1 to COM9"},
        UsageCase{{"test-open", "/dev/ttyS0"}, "COMn must be COM1 to COM9"},
        UsageCase{{}, "Usage: voxa-ctl"}));

// ---- Parsing -------------------------------------------------------------------------

struct TimeCase {
    const char *text;
    bool withSeconds;
    std::optional<TimeRecord> expected;
};

void PrintTo(const TimeCase &c, std::ostream *os) {
    *os << (*c.text == '\0' ? "(empty)" : c.text) << (c.withSeconds ? " with seconds" : "");
}

class CtlParseTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(CtlParseTime, TakesTwelveHourTimes) {
    const TimeCase &c = GetParam();
    EXPECT_EQ(Arguments::ParseTime(c.text, c.withSeconds), c.expected)
        << '"' << c.text << "\" with seconds " << c.withSeconds;
}

INSTANTIATE_TEST_SUITE_P(
    Good, CtlParseTime,
    ::testing::Values(TimeCase{"12:30:05 PM", true, TimeRecord{12, 30, 5, "PM"}},
                      TimeCase{"7:05 AM", true, TimeRecord{7, 5, 0, "AM"}},
                      TimeCase{"7:05 AM", false, TimeRecord{7, 5, 0, "AM"}},
                      TimeCase{"11:59:59 pm", true, TimeRecord{11, 59, 59, "PM"}},
                      TimeCase{"1:00 Am", false, TimeRecord{1, 0, 0, "AM"}},
                      TimeCase{"09:45  PM", false, TimeRecord{9, 45, 0, "PM"}},
                      // The 24-hour clock, on the dial the controller keeps.
                      TimeCase{"7:05", true, TimeRecord{7, 5, 0, "AM"}},
                      TimeCase{"19:05:30", true, TimeRecord{7, 5, 30, "PM"}},
                      TimeCase{"00:05", false, TimeRecord{12, 5, 0, "AM"}},
                      TimeCase{"12:00", false, TimeRecord{12, 0, 0, "PM"}},
                      TimeCase{"23:59:59", true, TimeRecord{11, 59, 59, "PM"}}));

INSTANTIATE_TEST_SUITE_P(
    Bad, CtlParseTime,
    ::testing::Values(
        TimeCase{"13:00 PM", true, std::nullopt}, TimeCase{"0:30 AM", true, std::nullopt},
        TimeCase{"12:60 PM", true, std::nullopt}, TimeCase{"12:30:60 PM", true, std::nullopt},
        TimeCase{"12:30:05 PM", false, std::nullopt}, TimeCase{"7:5 AM", true, std::nullopt},
        TimeCase{"7:005 AM", true, std::nullopt}, TimeCase{"7:05:5 AM", true, std::nullopt},
        TimeCase{"7:-5 AM", true, std::nullopt}, TimeCase{"-7:05 AM", true, std::nullopt},
        TimeCase{":05 AM", true, std::nullopt}, TimeCase{"7: AM", true, std::nullopt},
        TimeCase{"24:05", true, std::nullopt}, TimeCase{"7:05 XM", true, std::nullopt},
        TimeCase{"7:05 AM PM", true, std::nullopt}, TimeCase{"7:05AM", true, std::nullopt},
        TimeCase{"7:05:00:00 AM", true, std::nullopt}, TimeCase{"7.05 AM", true, std::nullopt},
        TimeCase{"", true, std::nullopt}, TimeCase{"19:05:30", false, std::nullopt},
        TimeCase{"19:5", true, std::nullopt}, TimeCase{"119:05", true, std::nullopt},
        TimeCase{"0:00 PM", true, std::nullopt}));

struct DateCase {
    const char *text;
    std::optional<DateRecord> expected;
};

void PrintTo(const DateCase &c, std::ostream *os) {
    *os << (*c.text == '\0' ? "(empty)" : c.text);
}

class CtlParseDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(CtlParseDate, TakesMonthDayYear) {
    const DateCase &c = GetParam();
    EXPECT_EQ(Arguments::ParseDate(c.text), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    All, CtlParseDate,
    ::testing::Values(DateCase{"6/7/2002", DateRecord{6, 7, 2002}},
                      DateCase{"12/31/1999", DateRecord{12, 31, 1999}},
                      DateCase{"02/09/2024", DateRecord{2, 9, 2024}},
                      DateCase{"13/7/2002", std::nullopt}, DateCase{"0/7/2002", std::nullopt},
                      DateCase{"6/0/2002", std::nullopt}, DateCase{"6/32/2002", std::nullopt},
                      DateCase{"6/7/02", std::nullopt}, DateCase{"6/7/10000", std::nullopt},
                      DateCase{"6/7", std::nullopt}, DateCase{"6-7-2002", std::nullopt},
                      DateCase{"6/7/2002/", std::nullopt}, DateCase{"/7/2002", std::nullopt},
                      DateCase{"6//2002", std::nullopt}, DateCase{"6/7/2002 1", std::nullopt},
                      DateCase{"", std::nullopt},
                      // Real calendar dates only, in either form.
                      DateCase{"2026-12-07", DateRecord{12, 7, 2026}},
                      DateCase{"2/29/2028", DateRecord{2, 29, 2028}},
                      DateCase{"2028-02-29", DateRecord{2, 29, 2028}},
                      DateCase{"2/29/2026", std::nullopt}, DateCase{"2/31/2026", std::nullopt},
                      DateCase{"4/31/2026", std::nullopt}, DateCase{"2026-02-30", std::nullopt},
                      DateCase{"2026-2-07", std::nullopt}, DateCase{"2026-12-7", std::nullopt},
                      DateCase{"1899-12-31", std::nullopt}, DateCase{"26-12-07", std::nullopt}));

TEST(CtlParse, NumbersStayInTheirRangeAndSwitchesAreOnOrOff) {
    EXPECT_EQ(Arguments::ParseNumber("1", 1, 5), 1);
    EXPECT_EQ(Arguments::ParseNumber("5", 1, 5), 5);
    for (const char *text : {"0", "6", "", " 3", "3 ", "3x", "+3", "0x3", "99999999999"})
        EXPECT_EQ(Arguments::ParseNumber(text, 1, 5), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(Arguments::ParseSwitch("on"), true);
    EXPECT_EQ(Arguments::ParseSwitch("off"), false);
    for (const char *text : {"", "1", "0", "yes", "no", "onn"})
        EXPECT_EQ(Arguments::ParseSwitch(text), std::nullopt) << '"' << text << '"';
}

// ---- Controller trouble --------------------------------------------------------------

TEST_F(CtlClientTest, ControllerStatusExitsOneWithItsMessageAndNoValue) {
    state.lineCount = 6;
    EXPECT_EQ(Run({"get-line-price", "7"}), ExitStatus::kTransactionFailed);
    EXPECT_EQ(err.str(), "voxa-ctl: Central Controller: Invalid Line Number\n");
    EXPECT_EQ(out.str(), "");
}

// The duty cycle dialog's range holds before anything is sent: the controller is never
// asked to refuse it.
TEST_F(CtlClientTest, DutyCycleAboveAHundredIsRefusedBeforeSending) {
    const int before = state.dutyCycles[1];
    EXPECT_EQ(Run({"set-duty-cycle", "2", "101"}), ExitStatus::kUsage);
    EXPECT_EQ(err.str(), "voxa-ctl: expected LEVEL 1 to 5 and PERCENT 0 to 100\n");
    EXPECT_TRUE(controller.Requests().empty());
    EXPECT_EQ(state.dutyCycles[1], before);
}

TEST_F(CtlClientTest, ForcedStatusOnASetExitsOneAndTheFaceKeepsItsLevel) {
    const int before = state.faces[3].manualLevel;
    controller.Faults().forcedStatus = ControllerStatus::kFaceUpdateProblem;
    controller.Faults().forcedStatusCount = 1;
    EXPECT_EQ(Run({"set-manual-level", "3", before == 5 ? "1" : "5"}),
              ExitStatus::kTransactionFailed);
    EXPECT_EQ(err.str(), "voxa-ctl: Central Controller: Face Update Problem\n");
    EXPECT_EQ(state.faces[3].manualLevel, before);
}

TEST_F(CtlClientTest, UnknownStatusNamesTheCommandOnEveryLine) {
    controller.Faults().forcedStatus = 99;
    controller.Faults().forcedStatusCount = -1;
    EXPECT_EQ(Run({"get-reset-count"}), ExitStatus::kTransactionFailed);
    EXPECT_NE(err.str().find("voxa-ctl: CC sent VOXA an unknown status.\n"
                             "voxa-ctl: Cmd Code: 0d Status:63\n"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(out.str(), "");
}

TEST_F(CtlClientTest, NvramQuestionIsAnsweredNoAndTheRunEnds) {
    controller.Faults().forcedStatus = ControllerStatus::kNvramMustBeUpdated;
    controller.Faults().forcedStatusCount = -1;
    EXPECT_EQ(Run({"read-line-formats"}), ExitStatus::kTransactionFailed);
    const std::string text = err.str();
    EXPECT_NE(text.find("voxa-ctl: Central Controller Has Reported That NVRAM Must Be Updated.\n"
                        "voxa-ctl: If Needed, Contact Supervisor or Lumivane for Assistance.\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("voxa-ctl: Update NVRAM? No\n"), std::string::npos) << text;
    // No load is begun, and the line formats are not asked for after the first refusal.
    EXPECT_EQ(RequestCodes(), std::vector<int>{Code(CommandCode::GetNumberOfLines)});
    EXPECT_EQ(out.str(), "");
}

TEST_F(CtlClientTest, SilentControllerEndsTheRunAtTheFirstFailedExchange) {
    controller.Faults().silent = true;
    EXPECT_EQ(Run({"read-line-formats"}), ExitStatus::kTransactionFailed);
    EXPECT_NE(err.str().find("voxa-ctl: Cmd Code: 04 Status:ffffffff\n"), std::string::npos)
        << err.str();
    // One send and one receive; the six format reads are never tried.
    EXPECT_EQ(platform.OpenCount(), 2);
    // The formats the workstation starts with are not the controller's answer.
    EXPECT_EQ(out.str(), "");
}

// The controller's communication failures are answered with a quiet resend; the run still
// ends with a line saying what happened.
class CtlQuietResend : public CtlClientTest, public ::testing::WithParamInterface<int> {};

TEST_P(CtlQuietResend, ExitsOneSayingThatTheResendWasNotConfirmed) {
    const int status = GetParam();
    controller.Faults().forcedStatus = static_cast<std::uint8_t>(status);
    controller.Faults().forcedStatusCount = 1;
    EXPECT_EQ(Run({"read-line-formats"}), ExitStatus::kTransactionFailed);
    const char *const kTexts[] = {"Checksum Failure", "Excessive Receive Failure",
                                  "Excessive Transmit Failure", "Receive Timeout Failure",
                                  "Transmit Timeout Failure"};
    EXPECT_EQ(err.str(), "voxa-ctl: " + std::string(kTexts[status - 6]) + " (controller status " +
                             std::to_string(status) +
                             "): the request was resent, and the resend got no confirmation\n");
    EXPECT_EQ(out.str(), "");
    // The request and its resend; the run ends there, before the formats are asked for.
    EXPECT_EQ(RequestCodes(), (std::vector<int>{4, 4}));
}

INSTANTIATE_TEST_SUITE_P(Statuses, CtlQuietResend, ::testing::Range(6, 11));

// A controller that answers a request for data with the bare acknowledgement code 38 gave
// no value: the run fails and prints none, never the value the sign system started with
// (the PC's clock, "System Started OK.  No failures.", six lines, a rejected password).
class CtlBareAcknowledgement : public CtlClientTest, public ::testing::WithParamInterface<Words> {};

TEST_P(CtlBareAcknowledgement, IsAFailureNotAValue) {
    controller.Faults().replyCode = Code(CommandCode::NeverSent);
    const Words &words = GetParam();
    EXPECT_EQ(Run(words), ExitStatus::kTransactionFailed) << Joined(words);
    EXPECT_EQ(out.str(), "") << Joined(words);
    EXPECT_NE(err.str().find("carried no data; no value was read."), std::string::npos)
        << Joined(words) << ": " << err.str();
    // Nothing is sent on the strength of a value that did not come.
    const std::vector<int> codes = RequestCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), Code(CommandCode::SetLinePrice)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Subcommands, CtlBareAcknowledgement,
    ::testing::Values(Words{"get-fail-log"}, Words{"get-time"}, Words{"get-date"},
                      Words{"get-duty-cycle", "3"}, Words{"get-number-of-lines"},
                      Words{"report", "--json"}, Words{"verify-password", "voxa"},
                      Words{"set-line-price", "1", "3.459"}, Words{"get-cc-software-part-number"},
                      Words{"get-line-price", "1"}, Words{"get-intensity-mode", "0"}),
    [](const auto &row) {
        std::string name;
        for (const char c : Joined(row.param))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// (A reply for another command fails the run: see the process tests.) The acknowledgement
// code still confirms a command.
TEST_F(CtlClientTest, AcknowledgementCodeConfirmsACommand) {
    controller.Faults().replyCode = Code(CommandCode::NeverSent);
    EXPECT_EQ(Run({"clear-fail-log"}), ExitStatus::kOk);
    EXPECT_EQ(err.str(), "");
}

TEST_F(CtlClientTest, PasswordCheckThatGetsNoAnswerIsAFailureNotARejection) {
    controller.Faults().silent = true;
    EXPECT_EQ(Run({"verify-password", "voxa"}), ExitStatus::kTransactionFailed);
    EXPECT_EQ(out.str(), "");
}

TEST_F(CtlClientTest, PasswordCheckRefusedByAStatusIsAFailureNotARejection) {
    controller.Faults().forcedStatus = ControllerStatus::kGlitch;
    controller.Faults().forcedStatusCount = 1;
    EXPECT_EQ(Run({"verify-password", "voxa"}), ExitStatus::kTransactionFailed);
    EXPECT_EQ(err.str().rfind("voxa-ctl: Central Controller Glitch!\n", 0), 0u) << err.str();
    EXPECT_EQ(out.str(), "");
}

TEST_F(CtlClientTest, SetLinePriceStopsWhenTheFormatsCannotBeRead) {
    controller.Faults().forcedStatus = ControllerStatus::kInvalidLineConfiguration;
    controller.Faults().forcedStatusCount = -1;
    EXPECT_EQ(Run({"set-line-price", "1", "3.659"}), ExitStatus::kTransactionFailed);
    const std::vector<int> codes = RequestCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), Code(CommandCode::SetLinePrice)), 0);
    EXPECT_EQ(err.str(), "voxa-ctl: Central Controller: Invalid Line Configuration\n");
}

}  // namespace
