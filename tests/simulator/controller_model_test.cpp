#include "controller_model.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "command_code.h"
#include "raw_request.h"

namespace {

using namespace std::chrono;
using Code = CommandCode;

// 7 June 2002, 12:30:05 on the controller's clock (the model runs on UTC plus offset).
const system_clock::time_point kStart = sys_days{year{2002} / 6 / 7} + 12h + 30min + 5s;

CommandFrame Request(Code code, std::initializer_list<int> data = {}) {
    return RawRequest(code, data);
}

CommandFrame TextRequest(Code code, std::size_t start, const std::string &text,
                         std::initializer_list<int> before = {}) {
    CommandFrame frame = Request(code, before);
    for (std::size_t i = 0; i < text.size() && start + i <= kLastDataIndex; ++i) {
        frame[start + i] = static_cast<std::uint8_t>(text[i]);
    }
    frame.StoreChecksum();
    return frame;
}

std::vector<int> Data(std::initializer_list<int> bytes) {
    return bytes;
}

std::vector<int> TextData(const std::string &text, std::initializer_list<int> before = {}) {
    std::vector<int> data = before;
    for (char c : text) data.push_back(static_cast<unsigned char>(c));
    return data;
}

// The full reply the controller must send: sync, code, status 0, data from byte 4.
CommandFrame Reply(std::uint8_t code, const std::vector<int> &data, std::uint8_t status = 0) {
    CommandFrame frame;
    frame[0] = kSyncByte1;
    frame[1] = kSyncByte2;
    frame[2] = code;
    frame[3] = status;
    for (std::size_t i = 0; i < data.size(); ++i) frame[4 + i] = static_cast<std::uint8_t>(data[i]);
    frame.StoreChecksum();
    return frame;
}

class ControllerModelTest : public ::testing::Test {
protected:
    ControllerModelTest() { model.Current().clockOffset = seconds{0}; }

    CommandFrame Handle(const CommandFrame &request) { return model.Handle(request); }
    std::uint8_t StatusOf(const CommandFrame &request) { return model.Handle(request).Status(); }

    system_clock::time_point now = kStart;
    ControllerModel model{[this] { return now; }};
    ControllerModel::State &state = model.Current();
};

struct DataCase {
    const char *name;
    CommandFrame request;
    std::vector<int> data;  // reply bytes from 4
};

class ControllerModelDataTest : public ControllerModelTest,
                                public ::testing::WithParamInterface<DataCase> {};

TEST_P(ControllerModelDataTest, AnswersWithTheDefaultSite) {
    const DataCase &c = GetParam();
    const CommandFrame reply = Handle(c.request);
    EXPECT_EQ(reply, Reply(c.request.Code(), c.data));
    EXPECT_TRUE(reply.ChecksumValid());
}

std::vector<int> NvramBlock(std::size_t address) {
    std::vector<int> data{0};  // byte 4 is not used
    const auto image = ControllerModel::InitialNvram(ControllerModel::kDefaultNvramSize);
    for (std::size_t i = 0; i < 16; ++i) data.push_back(image[address + i]);
    return data;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ControllerModelDataTest,
    ::testing::Values(
        DataCase{"LineFormat1", Request(Code::GetLineFormat, {0}), TextData("8.889")},
        DataCase{"LineFormat4", Request(Code::GetLineFormat, {3}), TextData("8.88")},
        DataCase{"LineFormat5", Request(Code::GetLineFormat, {4}), TextData("88.88")},
        DataCase{"LinePrice1", Request(Code::GetLinePrice, {0}), TextData("3.499")},
        DataCase{"LinePrice5", Request(Code::GetLinePrice, {4}), TextData("12.50")},
        DataCase{"NumberOfLines", Request(Code::GetNumberOfLines), Data({6})},
        DataCase{"DaylightSaving", Request(Code::GetDaylightSaving), Data({0})},
        DataCase{"Time", Request(Code::GetTime), Data({0x8C, 30, 5})},
        DataCase{"Date", Request(Code::GetDate), Data({6, 7, 2, 20})},
        DataCase{"ResetCount", Request(Code::GetResetCount), Data({3})},
        DataCase{"FailLog", Request(Code::GetFailLog), TextData("LAMP FACE 2", {0x00, 0x10, 0x02})},
        DataCase{"SignOnTime", Request(Code::GetOnOffTime, {1}), Data({0x05, 30})},
        DataCase{"SignOffTime", Request(Code::GetOnOffTime, {0}), Data({0x8B, 0})},
        DataCase{"TimerSwitch", Request(Code::GetOnOffTimerSwitch), Data({0})},
        DataCase{"DutyCycle1", Request(Code::GetDutyCycle, {1}), Data({10})},
        DataCase{"DutyCycle5", Request(Code::GetDutyCycle, {5}), Data({100})},
        DataCase{"SwitchTime1", Request(Code::GetSwitchTime, {1}), Data({0x06, 0})},
        DataCase{"SwitchTime2", Request(Code::GetSwitchTime, {2}), Data({0x88, 0})},
        DataCase{"DayLevel", Request(Code::GetFaceLevel, {7, 1}), Data({5})},
        DataCase{"NightLevel", Request(Code::GetFaceLevel, {0, 0}), Data({2})},
        DataCase{"ManualLevel", Request(Code::GetManualLevel, {2}), Data({4})},
        DataCase{"IntensityMode", Request(Code::GetIntensityMode, {2}), Data({1})},
        DataCase{"FaceMask", Request(Code::GetLineFaceMask, {5}), Data({0x03})},
        DataCase{"PasswordRight", TextRequest(Code::VerifyPassword, 3, "voxa"), Data({1})},
        DataCase{"PasswordWrongCase", TextRequest(Code::VerifyPassword, 3, "VOXA"), Data({0})},
        DataCase{"PasswordEmpty", Request(Code::VerifyPassword), Data({0})},
        DataCase{"CcStatusHealthy", Request(Code::GetCcStatus), Data({0, 0, 0})},
        DataCase{"NvramSize", Request(Code::GetNvramSize), Data({0x08, 0x00})},
        DataCase{"NvramBlock0", Request(Code::ReadNvramBlock, {0x00, 0x00}), NvramBlock(0)},
        DataCase{"NvramBlock7F0", Request(Code::ReadNvramBlock, {0x07, 0xF0}), NvramBlock(0x7F0)},
        DataCase{"PartNumber", Request(Code::GetCcSoftwarePartNumber), TextData("LV-CC 4.02.17")},
        DataCase{"TransferBegin", Request(Code::NvramTransferBegin), Data({})},
        DataCase{"TransferPrepare", Request(Code::NvramTransferPrepare), Data({})},
        DataCase{"TransferEnd", Request(Code::NvramTransferEnd), Data({})},
        DataCase{"LoadComplete", Request(Code::NvramLoadComplete), Data({})},
        DataCase{"SaveComplete", Request(Code::NvramSaveComplete), Data({})},
        DataCase{"ClearResetLog", Request(Code::ClearResetLog), Data({})},
        DataCase{"StartSignTest", Request(Code::StartSignTest), Data({})},
        DataCase{"StopSignTestIdle", Request(Code::StopSignTest), Data({0, 0, 0})}),
    [](const auto &row) { return std::string(row.param.name); });

struct RefusalCase {
    const char *name;
    CommandFrame request;
    std::uint8_t status;
};

class ControllerModelRefusalTest : public ControllerModelTest,
                                   public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ControllerModelRefusalTest, RefusesWithItsStatusAndChangesNothing) {
    const RefusalCase &c = GetParam();
    const ControllerModel::State before = state;
    const CommandFrame reply = Handle(c.request);
    // A refusal carries the request's code, the status and no data.
    EXPECT_EQ(reply, Reply(c.request.Code(), {}, c.status));
    EXPECT_EQ(state.lines[0].price, before.lines[0].price);
    EXPECT_EQ(state.password, before.password);
    EXPECT_EQ(state.dutyCycles, before.dutyCycles);
    EXPECT_EQ(state.onOffTimes, before.onOffTimes);
    EXPECT_EQ(state.switchTimes, before.switchTimes);
    EXPECT_EQ(state.clockOffset, before.clockOffset);
    EXPECT_EQ(state.nvram, before.nvram);
    for (int f = 0; f < ControllerModel::kFaceCount; ++f) {
        EXPECT_EQ(state.faces[f].mode, before.faces[f].mode);
        EXPECT_EQ(state.faces[f].manualLevel, before.faces[f].manualLevel);
        EXPECT_EQ(state.faces[f].slotLevels, before.faces[f].slotLevels);
    }
}

CommandFrame WithBadChecksum(CommandFrame frame) {
    frame[kChecksumIndex] ^= 0x01;
    return frame;
}

CommandFrame WriteBlock(int high, int low) {
    CommandFrame frame = Request(Code::WriteNvramBlock, {high, low});
    for (std::size_t i = 5; i <= kLastDataIndex; ++i) frame[i] = 0xEE;
    frame.StoreChecksum();
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    BadRequests, ControllerModelRefusalTest,
    ::testing::Values(
        RefusalCase{"LineAtCount", Request(Code::GetLineFormat, {6}), 12},
        RefusalCase{"LinePriceAtCount", TextRequest(Code::SetLinePrice, 4, "1.25", {6}), 12},
        RefusalCase{"LineFaceMaskPast7", Request(Code::GetLineFaceMask, {8}), 12},
        RefusalCase{"LinePriceLast", Request(Code::GetLinePrice, {255}), 12},
        RefusalCase{"FacePast7", Request(Code::GetIntensityMode, {8}), 13},
        RefusalCase{"FaceLevelFace", Request(Code::SetFaceLevel, {9, 1, 3}), 13},
        RefusalCase{"PriceLastDigitNot9", TextRequest(Code::SetLinePrice, 4, "1.798", {0}), 15},
        RefusalCase{"PriceCommaForPeriod", TextRequest(Code::SetLinePrice, 4, "1,799", {0}), 15},
        RefusalCase{"PriceTooShort", TextRequest(Code::SetLinePrice, 4, "1.79", {0}), 15},
        RefusalCase{"PriceTooLong", TextRequest(Code::SetLinePrice, 4, "1.7999", {0}), 15},
        RefusalCase{"PriceLetter", TextRequest(Code::SetLinePrice, 4, "A.799", {0}), 15},
        RefusalCase{"PriceEmpty", Request(Code::SetLinePrice, {0}), 15},
        RefusalCase{"DutyOver100", Request(Code::SetDutyCycle, {3, 101}), 18},
        RefusalCase{"DutyLevel0", Request(Code::SetDutyCycle, {0, 50}), 18},
        RefusalCase{"DutyLevel6", Request(Code::SetDutyCycle, {6, 50}), 18},
        RefusalCase{"GetDutyLevel6", Request(Code::GetDutyCycle, {6}), 18},
        RefusalCase{"Mode0", Request(Code::SetIntensityMode, {1, 0}), 20},
        RefusalCase{"Mode4", Request(Code::SetIntensityMode, {1, 4}), 20},
        RefusalCase{"ManualLevel0", Request(Code::SetManualLevel, {1, 0}), 20},
        RefusalCase{"ManualLevel6", Request(Code::SetManualLevel, {1, 6}), 20},
        RefusalCase{"FaceLevel6", Request(Code::SetFaceLevel, {1, 1, 6}), 20},
        RefusalCase{"FaceLevelSlot2", Request(Code::SetFaceLevel, {1, 2, 3}), 20},
        RefusalCase{"GetFaceLevelSlot2", Request(Code::GetFaceLevel, {1, 2}), 20},
        RefusalCase{"SwitchTimeIndex0", Request(Code::SetSwitchTime, {0, 6, 0}), 20},
        RefusalCase{"SwitchTimeIndex3", Request(Code::GetSwitchTime, {3}), 20},
        RefusalCase{"SwitchTimeHour13", Request(Code::SetSwitchTime, {1, 13, 0}), 20},
        RefusalCase{"ReadPastNvram", Request(Code::ReadNvramBlock, {0x08, 0x00}), 22},
        RefusalCase{"ReadFarPastNvram", Request(Code::ReadNvramBlock, {0xFF, 0xF0}), 22},
        RefusalCase{"WritePastNvram", WriteBlock(0x08, 0x00), 22},
        RefusalCase{"Code0", Request(Code{0}), 24},
        RefusalCase{"Code38", Request(Code::NeverSent), 24},
        RefusalCase{"Code45", Request(Code{45}), 24},
        RefusalCase{"Code255", Request(Code{255}), 24},
        RefusalCase{"BadChecksum", WithBadChecksum(TextRequest(Code::ChangePassword, 3, "x")), 6},
        RefusalCase{"BadChecksumPrice",
                    WithBadChecksum(TextRequest(Code::SetLinePrice, 4, "1.299", {0})), 6},
        RefusalCase{"TimeHour0", Request(Code::SetTime, {0x00, 30, 0}), 23},
        RefusalCase{"TimeHour13", Request(Code::SetTime, {0x8D, 30, 0}), 23},
        RefusalCase{"TimeMinute60", Request(Code::SetTime, {0x01, 60, 0}), 23},
        RefusalCase{"TimeSecond60", Request(Code::SetTime, {0x01, 0, 60}), 23},
        RefusalCase{"DateMonth13", Request(Code::SetDate, {13, 1, 2, 20}), 23},
        RefusalCase{"DateDay32", Request(Code::SetDate, {1, 32, 2, 20}), 23},
        RefusalCase{"DateYearByte100", Request(Code::SetDate, {1, 1, 100, 20}), 23},
        RefusalCase{"DateBeforeYear0", Request(Code::SetDate, {0, 1, 0, 0}), 23},
        RefusalCase{"OnOffIndex2", Request(Code::SetOnOffTime, {2, 5, 0}), 23},
        RefusalCase{"OnOffMinute60", Request(Code::SetOnOffTime, {1, 5, 60}), 23},
        RefusalCase{"GetOnOffIndex2", Request(Code::GetOnOffTime, {2}), 23}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(ControllerModelTest, ReplyRepeatsTheRequestCodeEvenForUnknownCodes) {
    EXPECT_EQ(Handle(Request(Code{200})).Code(), 200);
    EXPECT_EQ(Handle(WithBadChecksum(Request(Code::GetTime))).Code(), ToByte(Code::GetTime));
}

TEST_F(ControllerModelTest, LinesPastTheEighthAreNeverAnswered) {
    state.lineCount = 12;
    EXPECT_EQ(Handle(Request(Code::GetNumberOfLines))[4], 12);
    EXPECT_EQ(StatusOf(Request(Code::GetLineFormat, {7})), 0);
    EXPECT_EQ(StatusOf(Request(Code::GetLineFormat, {8})), 12);
    EXPECT_EQ(StatusOf(Request(Code::GetLineFormat, {11})), 12);
    state.lineCount = 0;
    EXPECT_EQ(StatusOf(Request(Code::GetLineFormat, {0})), 12);
}

TEST_F(ControllerModelTest, SetCommandsChangeWhatTheGetCommandsReport) {
    EXPECT_EQ(StatusOf(TextRequest(Code::SetLinePrice, 4, "1.799", {0})), 0);
    EXPECT_EQ(state.lines[0].price, "1.799");
    EXPECT_EQ(Handle(Request(Code::GetLinePrice, {0})), Reply(3, TextData("1.799")));
    EXPECT_EQ(StatusOf(TextRequest(Code::SetLinePrice, 4, "19.99", {4})), 0);
    EXPECT_EQ(state.lines[4].price, "19.99");

    EXPECT_EQ(StatusOf(Request(Code::SetDaylightSaving, {1})), 0);
    EXPECT_TRUE(state.daylightSaving);
    EXPECT_EQ(Handle(Request(Code::GetDaylightSaving))[4], 1);

    EXPECT_EQ(StatusOf(Request(Code::SetOnOffTime, {1, 0x87, 15})), 0);
    EXPECT_EQ(state.onOffTimes[1], (ControllerModel::ShortTime{7, 15, true}));
    EXPECT_EQ(state.onOffTimes[0], (ControllerModel::ShortTime{11, 0, true}));  // untouched
    EXPECT_EQ(Handle(Request(Code::GetOnOffTime, {1})), Reply(19, Data({0x87, 15})));

    EXPECT_EQ(StatusOf(Request(Code::SetOnOffTimerSwitch, {1})), 0);
    EXPECT_EQ(Handle(Request(Code::GetOnOffTimerSwitch))[4], 1);

    EXPECT_EQ(StatusOf(Request(Code::SetDutyCycle, {2, 0})), 0);
    EXPECT_EQ(StatusOf(Request(Code::SetDutyCycle, {5, 100})), 0);
    EXPECT_EQ(state.dutyCycles, (std::array<int, 5>{10, 0, 45, 70, 100}));

    EXPECT_EQ(StatusOf(Request(Code::SetSwitchTime, {2, 0x8A, 45})), 0);
    EXPECT_EQ(Handle(Request(Code::GetSwitchTime, {2})), Reply(25, Data({0x8A, 45})));
    EXPECT_EQ(Handle(Request(Code::GetSwitchTime, {1})), Reply(25, Data({0x06, 0})));

    EXPECT_EQ(StatusOf(Request(Code::SetFaceLevel, {3, 0, 1})), 0);
    EXPECT_EQ(state.faces[3].slotLevels, (std::array<int, 2>{1, 5}));
    EXPECT_EQ(StatusOf(Request(Code::SetManualLevel, {7, 5})), 0);
    EXPECT_EQ(Handle(Request(Code::GetManualLevel, {7}))[4], 5);
    EXPECT_EQ(StatusOf(Request(Code::SetIntensityMode, {6, 3})), 0);
    EXPECT_EQ(Handle(Request(Code::GetIntensityMode, {6}))[4], 3);
    EXPECT_EQ(state.faces[5].mode, 1);
}

TEST_F(ControllerModelTest, PasswordChangeTakesEffectAtOnce) {
    EXPECT_EQ(StatusOf(TextRequest(Code::ChangePassword, 3, "night shift")), 0);
    EXPECT_EQ(state.password, "night shift");
    EXPECT_EQ(Handle(TextRequest(Code::VerifyPassword, 3, "voxa"))[4], 0);
    EXPECT_EQ(Handle(TextRequest(Code::VerifyPassword, 3, "night shift"))[4], 1);
    // Seventeen characters fill the room from byte 3 to 19, with the NUL on byte 20.
    const std::string longest(17, 'p');
    EXPECT_EQ(StatusOf(TextRequest(Code::ChangePassword, 3, longest)), 0);
    EXPECT_EQ(Handle(TextRequest(Code::VerifyPassword, 3, longest))[4], 1);
    EXPECT_EQ(Handle(TextRequest(Code::VerifyPassword, 3, longest + "q"))[4], 0);
}

TEST_F(ControllerModelTest, TimesUseTheTwelveHourClockWithThePmBit) {
    EXPECT_EQ(StatusOf(Request(Code::SetTime, {0x8C, 30, 0})), 0);  // 12:30:00 PM
    EXPECT_EQ(model.Clock().hour, 12);
    EXPECT_EQ(Handle(Request(Code::GetTime)), Reply(9, Data({0x8C, 30, 0})));

    EXPECT_EQ(StatusOf(Request(Code::SetTime, {0x0C, 5, 9})), 0);  // 12:05:09 AM
    EXPECT_EQ(model.Clock().hour, 0);
    EXPECT_EQ(Handle(Request(Code::GetTime)), Reply(9, Data({0x0C, 5, 9})));

    EXPECT_EQ(StatusOf(Request(Code::SetTime, {0x8B, 59, 59})), 0);  // 11:59:59 PM
    EXPECT_EQ(model.Clock().hour, 23);
    EXPECT_EQ(Handle(Request(Code::GetTime)), Reply(9, Data({0x8B, 59, 59})));
    // Setting the time keeps the date.
    EXPECT_EQ(Handle(Request(Code::GetDate)), Reply(10, Data({6, 7, 2, 20})));
}

TEST_F(ControllerModelTest, ClockKeepsRunningFromTheTimeSet) {
    EXPECT_EQ(StatusOf(Request(Code::SetTime, {0x8B, 59, 30})), 0);
    now += 45s;
    EXPECT_EQ(Handle(Request(Code::GetTime)), Reply(9, Data({0x0C, 0, 15})));
    EXPECT_EQ(Handle(Request(Code::GetDate)), Reply(10, Data({6, 8, 2, 20})));
}

TEST_F(ControllerModelTest, DatesSplitTheYearIntoTwoBytes) {
    EXPECT_EQ(StatusOf(Request(Code::SetDate, {12, 31, 1, 20})), 0);
    EXPECT_EQ(model.Clock(), (ControllerModel::CivilTime{2001, 12, 31, 12, 30, 5}));
    EXPECT_EQ(Handle(Request(Code::GetDate)), Reply(10, Data({12, 31, 1, 20})));
    EXPECT_EQ(StatusOf(Request(Code::SetDate, {2, 29, 0, 20})), 0);
    EXPECT_EQ(Handle(Request(Code::GetDate)), Reply(10, Data({2, 29, 0, 20})));
    // Setting the date keeps the time.
    EXPECT_EQ(Handle(Request(Code::GetTime)), Reply(9, Data({0x8C, 30, 5})));
}

TEST_F(ControllerModelTest, DatesOutsideTheCalendarRollOver) {
    struct Case {
        std::initializer_list<int> request;
        std::vector<int> date;
    };
    const Case cases[] = {
        {{2, 31, 3, 20}, {3, 3, 3, 20}},    // 31 February 2003
        {{2, 31, 4, 20}, {3, 2, 4, 20}},    // 31 February 2004, a leap year
        {{3, 0, 2, 20}, {2, 28, 2, 20}},    // day 0
        {{0, 15, 2, 20}, {12, 15, 1, 20}},  // month 0
        {{0, 0, 0, 20}, {11, 30, 99, 19}},  // both
        {{2, 29, 0, 21}, {3, 1, 0, 21}},    // 2100 is no leap year
        {{1, 1, 3, 0}, {1, 1, 3, 0}},       // the year 3
    };
    for (const Case &c : cases) {
        EXPECT_EQ(StatusOf(Request(Code::SetDate, c.request)), 0);
        EXPECT_EQ(Handle(Request(Code::GetDate)), Reply(10, c.date));
    }
}

TEST_F(ControllerModelTest, LogsReportAndClear) {
    state.resetCount = 300;  // more than a byte holds
    EXPECT_EQ(Handle(Request(Code::GetResetCount))[4], 255);
    EXPECT_EQ(StatusOf(Request(Code::ClearResetLog)), 0);
    EXPECT_EQ(Handle(Request(Code::GetResetCount)), Reply(13, Data({0})));

    EXPECT_EQ(StatusOf(Request(Code::ClearFailLog)), 0);
    EXPECT_EQ(Handle(Request(Code::GetFailLog)), Reply(15, Data({0, 0, 0})));

    // The fail log text starts at byte 7 and holds 13 characters at most.
    state.failLog = {{1, 2, 3}, "ABCDEFGHIJKLMNOPQRSTU"};
    const CommandFrame reply = Handle(Request(Code::GetFailLog));
    EXPECT_EQ(reply, Reply(15, TextData("ABCDEFGHIJKLM", {1, 2, 3})));
    EXPECT_EQ(reply[kLastDataIndex], 0);
}

TEST_F(ControllerModelTest, SignTestFindsFailuresOnlyWhenFaulty) {
    EXPECT_EQ(StatusOf(Request(Code::StartSignTest)), 0);
    EXPECT_TRUE(state.signTestRunning);
    EXPECT_EQ(Handle(Request(Code::StopSignTest)), Reply(16, Data({0, 0, 0})));
    EXPECT_FALSE(state.signTestRunning);

    state.signTestFault = true;
    // Without a running test there is nothing to find.
    EXPECT_EQ(Handle(Request(Code::StopSignTest))[6], 0);
    EXPECT_EQ(StatusOf(Request(Code::StartSignTest)), 0);
    const CommandFrame reply = Handle(Request(Code::StopSignTest));
    EXPECT_EQ(reply.Status(), 0);
    EXPECT_NE(reply[6], 0);
    EXPECT_EQ(state.lastSignTest.codes,
              (std::array<std::uint8_t, 3>{reply[4], reply[5], reply[6]}));
    // The failure goes into the fail log too.
    EXPECT_EQ(state.failLog.codes, state.lastSignTest.codes);
    EXPECT_EQ(Handle(Request(Code::GetFailLog))[6], reply[6]);
}

TEST_F(ControllerModelTest, CcStatusTextStartsWithTheThirdCodeByte) {
    state.ccStatus = ControllerModel::ConditionReport(5);
    const CommandFrame reply = Handle(Request(Code::GetCcStatus));
    EXPECT_EQ(reply, Reply(34, TextData("NVRAM INVALID", {0x01, 0x00, 0x05})));
    EXPECT_EQ(reply[kLastDataIndex], 0);

    // A text too long for its room is cut so that the NUL stays on byte 20.
    state.ccStatus = {{0x0A, 0x0B, 0x07}, "ABCDEFGHIJKLMNOPQRS"};
    const CommandFrame cut = Handle(Request(Code::GetCcStatus));
    EXPECT_EQ(cut, Reply(34, TextData("ABCDEFGHIJKLM", {0x0A, 0x0B, 0x07})));

    // With the third code byte 0 the text is empty, whatever the model holds.
    state.ccStatus = {{0x01, 0x02, 0x00}, "IGNORED"};
    EXPECT_EQ(Handle(Request(Code::GetCcStatus)), Reply(34, Data({0x01, 0x02, 0x00})));
}

TEST_F(ControllerModelTest, TextRepliesAreCutToSixteenCharacters) {
    state.partNumber = "LV-CC 4.02.17 EXTENDED BUILD";
    const CommandFrame reply = Handle(Request(Code::GetCcSoftwarePartNumber));
    EXPECT_EQ(reply, Reply(44, TextData("LV-CC 4.02.17 EX")));
    EXPECT_EQ(reply[kLastDataIndex], 0);
}

TEST_F(ControllerModelTest, PriceTextWithoutNulEndsAtByte20) {
    state.lines[0].format = "88888888888888888";  // seventeen digits
    const std::string price = "12345678901234567";
    EXPECT_EQ(StatusOf(TextRequest(Code::SetLinePrice, 4, price, {0})), 0);
    EXPECT_EQ(state.lines[0].price, price);
}

TEST_F(ControllerModelTest, InitialNvramIsDeterministicAndVaried) {
    const auto image = ControllerModel::InitialNvram(4096);
    EXPECT_EQ(image, ControllerModel::InitialNvram(4096));
    EXPECT_EQ(state.nvram, ControllerModel::InitialNvram(2048));
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t a = 0; a < image.size(); a += 16) {
        blocks.emplace_back(image.begin() + static_cast<long>(a),
                            image.begin() + static_cast<long>(a + 16));
    }
    std::sort(blocks.begin(), blocks.end());
    // No two blocks alike, so a transfer that repeats or swaps a block shows.
    EXPECT_EQ(std::unique(blocks.begin(), blocks.end()), blocks.end());
}

TEST_F(ControllerModelTest, NvramBlocksWriteAndReadBack) {
    CommandFrame write = Request(Code::WriteNvramBlock, {0x01, 0x20});
    for (std::size_t i = 0; i < 16; ++i) write[5 + i] = static_cast<std::uint8_t>(0xA0 + i);
    write.StoreChecksum();
    EXPECT_EQ(Handle(write), Reply(37, {}));
    const CommandFrame read = Handle(Request(Code::ReadNvramBlock, {0x01, 0x20}));
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(read[5 + i], 0xA0 + i);
    EXPECT_EQ(read[4], 0);
    // The neighbours are untouched.
    EXPECT_EQ(state.nvram[0x11F], ControllerModel::InitialNvram(2048)[0x11F]);
    EXPECT_EQ(state.nvram[0x130], ControllerModel::InitialNvram(2048)[0x130]);
}

TEST_F(ControllerModelTest, NvramOfAnOddSizeEndsInAPartialBlock) {
    model.ResetNvram(100);
    EXPECT_EQ(Handle(Request(Code::GetNvramSize)), Reply(35, Data({0, 100})));
    const CommandFrame last = Handle(Request(Code::ReadNvramBlock, {0, 96}));
    ASSERT_EQ(last.Status(), 0);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(last[5 + i], state.nvram[96 + i]);
    for (std::size_t i = 4; i < 16; ++i) EXPECT_EQ(last[5 + i], 0xFF);
    // A write of the last block keeps the bytes inside the memory only.
    EXPECT_EQ(StatusOf(WriteBlock(0, 96)), 0);
    EXPECT_EQ(state.nvram.size(), 100u);
    EXPECT_EQ(state.nvram[99], 0xEE);
    EXPECT_EQ(StatusOf(Request(Code::ReadNvramBlock, {0, 100})), 22);

    model.ResetNvram(0x1234);
    EXPECT_EQ(Handle(Request(Code::GetNvramSize)), Reply(35, Data({0x12, 0x34})));
    model.ResetNvram(70000);
    EXPECT_EQ(state.nvram.size(), ControllerModel::kMaxNvramSize);
}

TEST_F(ControllerModelTest, TransferTracksItsPhaseAndALoadCuresTheUpdateCondition) {
    using Phase = ControllerModel::TransferPhase;
    state.ccStatus = ControllerModel::ConditionReport(5);
    EXPECT_EQ(StatusOf(Request(Code::NvramTransferBegin)), 0);
    EXPECT_EQ(state.transferPhase, Phase::Begun);
    EXPECT_EQ(StatusOf(Request(Code::NvramTransferPrepare)), 0);
    EXPECT_EQ(state.transferPhase, Phase::Prepared);
    EXPECT_EQ(StatusOf(Request(Code::NvramTransferEnd)), 0);
    EXPECT_EQ(state.transferPhase, Phase::Ended);
    // A load that wrote nothing cures nothing.
    EXPECT_EQ(StatusOf(Request(Code::NvramLoadComplete)), 0);
    EXPECT_EQ(state.transferPhase, Phase::Idle);
    EXPECT_EQ(state.loadsCompleted, 0);
    EXPECT_EQ(Handle(Request(Code::GetCcStatus))[6], 5);

    for (int request : {39, 42}) EXPECT_EQ(StatusOf(Request(Code{std::uint8_t(request)})), 0);
    EXPECT_EQ(StatusOf(WriteBlock(0, 0)), 0);
    EXPECT_EQ(StatusOf(WriteBlock(0, 16)), 0);
    EXPECT_EQ(state.transferBlocksWritten, 2);
    for (int request : {43, 40}) EXPECT_EQ(StatusOf(Request(Code{std::uint8_t(request)})), 0);
    EXPECT_EQ(state.loadsCompleted, 1);
    EXPECT_EQ(Handle(Request(Code::GetCcStatus)), Reply(34, Data({0, 0, 0})));

    for (int request : {39, 42, 35}) EXPECT_EQ(StatusOf(Request(Code{std::uint8_t(request)})), 0);
    EXPECT_EQ(state.transferBlocksWritten, 0);
    EXPECT_EQ(StatusOf(Request(Code::ReadNvramBlock, {0, 0})), 0);
    for (int request : {43, 41}) EXPECT_EQ(StatusOf(Request(Code{std::uint8_t(request)})), 0);
    EXPECT_EQ(state.savesCompleted, 1);
    EXPECT_EQ(state.transferBlocksRead, 1);
}

TEST(ControllerModelStatic, PriceFitsFormatFollowsTheLineFormatRule) {
    struct Case {
        const char *price;
        const char *format;
        bool fits;
    };
    const Case cases[] = {
        {"1.799", "8.889", true},  {"1.798", "8.889", false},
        {"1,799", "8.889", false}, {"1.79", "8.889", false},
        {"19.99", "88.88", true},  {"2.09", "8.88", true},
        {"1.799", "88.88", false}, {"12,50", "88,88", true},
        {"12.50", "88,88", false}, {"", "", true},
        {"7", "7", false},         {"1", "", false},
        {" 1.99", "88.88", false}, {"9.99", "9.99", true},
        {"8.99", "9.99", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ControllerModel::PriceFitsFormat(c.price, c.format), c.fits)
            << c.price << " / " << c.format;
    }
}

TEST(ControllerModelStatic, EncodeHourSetsThePmBit) {
    EXPECT_EQ(ControllerModel::EncodeHour(12, true), 0x8C);
    EXPECT_EQ(ControllerModel::EncodeHour(12, false), 0x0C);
    EXPECT_EQ(ControllerModel::EncodeHour(1, true), 0x81);
}

TEST(ControllerModelStatic, CommandNamesFollowTheCommandTable) {
    EXPECT_EQ(ControllerModel::CommandName(1), "Get line format");
    EXPECT_EQ(ControllerModel::CommandName(34), "Get CC status");
    EXPECT_EQ(ControllerModel::CommandName(44), "Get CC software part number");
    EXPECT_EQ(ControllerModel::CommandName(38), "unknown");
    EXPECT_EQ(ControllerModel::CommandName(0), "unknown");
    EXPECT_EQ(ControllerModel::CommandName(45), "unknown");
}

TEST(ControllerModelClock, StartsOnTheMachinesLocalTime) {
    const system_clock::time_point fixed = kStart;
    const ControllerModel model{[fixed] { return fixed; }};
    const std::time_t t = system_clock::to_time_t(fixed);
    std::tm local{};
    ASSERT_NE(localtime_r(&t, &local), nullptr);
    EXPECT_EQ(model.Clock(),
              (ControllerModel::CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                          local.tm_hour, local.tm_min, local.tm_sec}));
}

}  // namespace
