#include "frame_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> Bytes(const CommandFrame &frame, std::size_t from, std::size_t to) {
    return std::vector<int>(frame.bytes.begin() + static_cast<long>(from),
                            frame.bytes.begin() + static_cast<long>(to) + 1);
}

TEST(CommandFrame, ChecksumIsNotOfSumOfBytes2To20) {
    CommandFrame frame;
    frame[0] = 0xD6;
    frame[1] = 0x19;
    frame[2] = 0x22;
    EXPECT_EQ(frame.ComputeChecksum(), 0xDD);
    frame[20] = 0xFF;  // 0x22 + 0xFF wraps to 0x21
    EXPECT_EQ(frame.ComputeChecksum(), 0xDE);
    frame[0] = 0x00;  // the sync bytes are not summed
    EXPECT_EQ(frame.ComputeChecksum(), 0xDE);
}

TEST(CommandFrame, ChecksumTestFailsOnWrongByte21EvenWithRightSync) {
    FrameBuilder builder;
    CommandFrame frame = builder.GetCcStatus();
    EXPECT_TRUE(frame.ChecksumValid());
    frame[21] ^= 0x01;
    EXPECT_FALSE(frame.ChecksumValid());
    frame = builder.GetCcStatus();
    frame[7] = 1;  // data changed after the checksum was stored
    EXPECT_FALSE(frame.ChecksumValid());
}

TEST(FrameBuilder, GetCcStatusIsSyncCodeZerosAndDD) {
    FrameBuilder builder;
    const CommandFrame &frame = builder.GetCcStatus();
    EXPECT_EQ(frame[0], 0xD6);
    EXPECT_EQ(frame[1], 0x19);
    EXPECT_EQ(frame[2], 0x22);
    for (std::size_t i = 3; i <= 20; ++i) EXPECT_EQ(frame[i], 0) << "byte " << i;
    EXPECT_EQ(frame[21], 0xDD);
}

TEST(FrameBuilder, SetLinePriceCarriesIndexTextAndNul) {
    FrameBuilder builder;
    const CommandFrame &frame = builder.SetLinePrice(0, "1.799");
    EXPECT_EQ(Bytes(frame, 0, 9),
              (std::vector<int>{0xD6, 0x19, 0x02, 0x00, 0x31, 0x2E, 0x37, 0x39, 0x39, 0x00}));
    for (std::size_t i = 9; i <= 20; ++i) EXPECT_EQ(frame[i], 0);
    EXPECT_EQ(frame[21], 0xF5);
}

TEST(FrameBuilder, SetTimeEncodesPmOnlyForPmOrLowerPm) {
    FrameBuilder builder;
    const CommandFrame pm = builder.SetTime({12, 30, 0, "PM"});
    EXPECT_EQ(Bytes(pm, 3, 5), (std::vector<int>{0x8C, 30, 0}));
    EXPECT_EQ(pm[21], 0x4D);
    EXPECT_EQ(builder.SetTime({12, 30, 0, "pm"}), pm);
    EXPECT_EQ(builder.SetTime({12, 30, 0, "Pm"})[3], 0x0C);
    EXPECT_EQ(builder.SetTime({12, 30, 0, "pM"})[3], 0x0C);
    EXPECT_EQ(builder.SetTime({7, 5, 9, ""})[3], 0x07);
    EXPECT_EQ(builder.SetTime({7, 5, 9, "AM"})[5], 9);
}

TEST(FrameBuilder, ShortTimesCarryIndexHourAndMinute) {
    FrameBuilder builder;
    EXPECT_EQ(Bytes(builder.SetOnOffTime(1, {6, 45, "PM"}), 2, 6),
              (std::vector<int>{18, 1, 0x86, 45, 0}));
    EXPECT_EQ(Bytes(builder.SetSwitchTime(2, {11, 0, "AM"}), 2, 6),
              (std::vector<int>{24, 2, 11, 0, 0}));
}

TEST(FrameBuilder, SetDateSendsMonthDayYearAndCentury) {
    FrameBuilder builder;
    EXPECT_EQ(Bytes(builder.SetDate({6, 7, 2002}), 2, 7), (std::vector<int>{11, 6, 7, 2, 20, 0}));
    EXPECT_EQ(Bytes(builder.SetDate({12, 31, 1999}), 3, 6), (std::vector<int>{12, 31, 99, 19}));
}

TEST(FrameBuilder, NvramAddressesTravelHighByteFirst) {
    FrameBuilder builder;
    EXPECT_EQ(Bytes(builder.ReadNvramBlock(0x1230), 2, 5), (std::vector<int>{36, 0x12, 0x30, 0}));
    NvramBlock data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xA0 + i);
    const CommandFrame &write = builder.WriteNvramBlock(0xFFF0, data);
    EXPECT_EQ(Bytes(write, 2, 4), (std::vector<int>{37, 0xFF, 0xF0}));
    EXPECT_EQ(write[5], 0xA0);
    EXPECT_EQ(write[20], 0xAF);
    EXPECT_TRUE(write.ChecksumValid());
}

TEST(FrameBuilder, OnlyTheLowEightBitsOfAValueAreKept) {
    FrameBuilder builder;
    EXPECT_EQ(builder.SetDutyCycle(3, 0x164)[4], 0x64);
    EXPECT_EQ(builder.GetLinePrice(256 + 2)[3], 2);
}

TEST(FrameBuilder, EmptyTextLeavesAllItsBytesZero) {
    FrameBuilder builder;
    const CommandFrame &frame = builder.VerifyPassword("");
    for (std::size_t i = 3; i <= 20; ++i) EXPECT_EQ(frame[i], 0);
}

struct TextRoomCase {
    const char *name;
    bool fromByte3;
    std::size_t room;
};

class FrameBuilderTextRoom : public ::testing::TestWithParam<TextRoomCase> {};

TEST_P(FrameBuilderTextRoom, OverlongTextIsCutAndNeverReachesTheChecksum) {
    const TextRoomCase c = GetParam();
    FrameBuilder builder;
    for (std::size_t length : {c.room - 1, c.room, c.room + 1, std::size_t{40}}) {
        const std::string text(length, 'A');
        const CommandFrame &frame =
            c.fromByte3 ? builder.ChangePassword(text) : builder.SetLinePrice(0, text);
        const std::size_t start = c.fromByte3 ? 3 : 4;
        const std::size_t kept = std::min(length, c.room);
        for (std::size_t i = 0; i < kept; ++i) EXPECT_EQ(frame[start + i], 'A');
        if (start + kept <= 20) {
            EXPECT_EQ(frame[start + kept], 0);
        }
        EXPECT_EQ(frame[20], 0) << "length " << length;  // the last text byte is always its NUL
        EXPECT_TRUE(frame.ChecksumValid()) << "length " << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Rooms, FrameBuilderTextRoom,
                         ::testing::Values(TextRoomCase{"FromByte3", true, 17},
                                           TextRoomCase{"FromByte4", false, 16}),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(FrameBuilder, EveryRequestCarriesItsCode) {
    FrameBuilder b;
    const std::vector<std::pair<int, CommandFrame>> frames = {
        {1, b.GetLineFormat(0)},
        {3, b.GetLinePrice(0)},
        {4, b.GetNumberOfLines()},
        {6, b.SetDaylightSaving(1)},
        {7, b.GetDaylightSaving()},
        {9, b.GetTime()},
        {10, b.GetDate()},
        {12, b.ClearResetLog()},
        {13, b.GetResetCount()},
        {14, b.ClearFailLog()},
        {15, b.GetFailLog()},
        {16, b.StopSignTest()},
        {17, b.StartSignTest()},
        {19, b.GetOnOffTime(0)},
        {20, b.SetOnOffTimerSwitch(1)},
        {21, b.GetOnOffTimerSwitch()},
        {23, b.GetDutyCycle(1)},
        {25, b.GetSwitchTime(1)},
        {26, b.SetFaceLevel(1, 1, 1)},
        {27, b.GetFaceLevel(1, 1)},
        {28, b.SetManualLevel(1, 1)},
        {29, b.GetManualLevel(1)},
        {30, b.GetIntensityMode(1)},
        {31, b.SetIntensityMode(1, 1)},
        {32, b.GetLineFaceMask(1)},
        {35, b.GetNvramSize()},
        {39, b.NvramTransferBegin()},
        {40, b.NvramLoadComplete()},
        {41, b.NvramSaveComplete()},
        {42, b.NvramTransferPrepare()},
        {43, b.NvramTransferEnd()},
        {44, b.GetCcSoftwarePartNumber()},
    };
    for (const auto &[code, frame] : frames) {
        EXPECT_EQ(frame[2], code);
        EXPECT_EQ(frame[0], 0xD6);
        EXPECT_TRUE(frame.ChecksumValid()) << "code " << code;
    }
    EXPECT_EQ(Bytes(b.SetFaceLevel(7, 1, 5), 3, 5), (std::vector<int>{7, 1, 5}));
    EXPECT_EQ(Bytes(b.GetFaceLevel(6, 0), 3, 4), (std::vector<int>{6, 0}));
}

}  // namespace
