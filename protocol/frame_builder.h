#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "command_code.h"
#include "command_frame.h"
#include "time_records.h"

using NvramBlock = std::array<std::uint8_t, 16>;

// Builds request frames, one operation per command that has a request. The frame is
// held here and stays valid until the next build; the caller sends it at once.
class FrameBuilder {
public:
    // Room for a text, NUL included: the NUL must fall on byte 20 at the latest.
    static constexpr std::size_t kTextRoomFromByte3 = 18;
    static constexpr std::size_t kTextRoomFromByte4 = 17;

    const CommandFrame &GetLineFormat(int lineIndex);
    const CommandFrame &SetLinePrice(int lineIndex, std::string_view price);
    const CommandFrame &GetLinePrice(int lineIndex);
    const CommandFrame &GetNumberOfLines();
    const CommandFrame &ChangePassword(std::string_view password);
    const CommandFrame &SetDaylightSaving(bool on);
    const CommandFrame &GetDaylightSaving();
    const CommandFrame &SetTime(const TimeRecord &time);
    const CommandFrame &GetTime();
    const CommandFrame &GetDate();
    const CommandFrame &SetDate(const DateRecord &date);
    const CommandFrame &ClearResetLog();
    const CommandFrame &GetResetCount();
    const CommandFrame &ClearFailLog();
    const CommandFrame &GetFailLog();
    const CommandFrame &StopSignTest();
    const CommandFrame &StartSignTest();
    const CommandFrame &SetOnOffTime(int index, const ShortTimeRecord &time);
    const CommandFrame &GetOnOffTime(int index);
    const CommandFrame &SetOnOffTimerSwitch(bool enabled);
    const CommandFrame &GetOnOffTimerSwitch();
    const CommandFrame &SetDutyCycle(int level, int percent);
    const CommandFrame &GetDutyCycle(int level);
    const CommandFrame &SetSwitchTime(int index, const ShortTimeRecord &time);
    const CommandFrame &GetSwitchTime(int index);
    const CommandFrame &SetFaceLevel(int face, int slot, int level);
    const CommandFrame &GetFaceLevel(int face, int slot);
    const CommandFrame &SetManualLevel(int face, int level);
    const CommandFrame &GetManualLevel(int face);
    const CommandFrame &GetIntensityMode(int face);
    const CommandFrame &SetIntensityMode(int face, int mode);
    const CommandFrame &GetLineFaceMask(int lineIndex);
    const CommandFrame &VerifyPassword(std::string_view password);
    const CommandFrame &GetCcStatus();
    const CommandFrame &GetNvramSize();
    const CommandFrame &ReadNvramBlock(int address);
    const CommandFrame &WriteNvramBlock(int address, const NvramBlock &data);
    const CommandFrame &NvramTransferBegin();
    const CommandFrame &NvramLoadComplete();
    const CommandFrame &NvramSaveComplete();
    const CommandFrame &NvramTransferPrepare();
    const CommandFrame &NvramTransferEnd();
    const CommandFrame &GetCcSoftwarePartNumber();

    const CommandFrame &Frame() const { return m_frame; }
    // Overwrites the held frame's data and checksum with zeros, keeping its sync bytes and
    // command code: the frame of a password is not kept once its transaction is over.
    void WipeData();

    // Hour byte of a 12-hour time: hour in bits 0-3, bit 7 set exactly for "PM" or "pm".
    static std::uint8_t EncodeHour(int hour, std::string_view ampm);

private:
    void Start(CommandCode code);
    void Put(std::size_t index, int value);
    void PutText(std::size_t start, std::string_view text);
    void PutAddress(std::size_t start, int address);
    const CommandFrame &Finish();
    const CommandFrame &Plain(CommandCode code);
    const CommandFrame &WithByte3(CommandCode code, int value);

    CommandFrame m_frame;
};
