#include "frame_builder.h"

#include <algorithm>

#include "secret_text.h"

void FrameBuilder::Start(CommandCode code) {
    m_frame = CommandFrame{};
    m_frame[0] = kSyncByte1;
    m_frame[1] = kSyncByte2;
    m_frame[2] = ToByte(code);
}

void FrameBuilder::Put(std::size_t index, int value) {
    m_frame[index] = static_cast<std::uint8_t>(value & 0xFF);
}

void FrameBuilder::PutText(std::size_t start, std::string_view text) {
    // A text stops at its first NUL and is cut to its room, so its own NUL never lands
    // beyond byte 20 and the checksum byte is never overwritten.
    const std::size_t room = kLastDataIndex - start;
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    text = text.substr(0, std::min(text.size(), room));
    for (std::size_t i = 0; i < text.size(); ++i) {
        m_frame[start + i] = static_cast<std::uint8_t>(text[i]);
    }
    m_frame[start + text.size()] = 0;
}

void FrameBuilder::PutAddress(std::size_t start, int address) {
    Put(start, (address >> 8) & 0xFF);
    Put(start + 1, address & 0xFF);
}

const CommandFrame &FrameBuilder::Plain(CommandCode code) {
    Start(code);
    return Finish();
}

const CommandFrame &FrameBuilder::WithByte3(CommandCode code, int value) {
    Start(code);
    Put(3, value);
    return Finish();
}

void FrameBuilder::WipeData() {
    SecretText::Wipe(m_frame.bytes.data() + 3, kFrameSize - 3);
}

const CommandFrame &FrameBuilder::Finish() {
    m_frame.StoreChecksum();
    return m_frame;
}

std::uint8_t FrameBuilder::EncodeHour(int hour, std::string_view ampm) {
    const bool pm = ampm == "PM" || ampm == "pm";
    return static_cast<std::uint8_t>((hour & 0x0F) | (pm ? 0x80 : 0x00));
}

const CommandFrame &FrameBuilder::GetLineFormat(int lineIndex) {
    return WithByte3(CommandCode::GetLineFormat, lineIndex);
}

const CommandFrame &FrameBuilder::SetLinePrice(int lineIndex, std::string_view price) {
    Start(CommandCode::SetLinePrice);
    Put(3, lineIndex);
    PutText(4, price);
    return Finish();
}

const CommandFrame &FrameBuilder::GetLinePrice(int lineIndex) {
    return WithByte3(CommandCode::GetLinePrice, lineIndex);
}

const CommandFrame &FrameBuilder::GetNumberOfLines() {
    return Plain(CommandCode::GetNumberOfLines);
}

const CommandFrame &FrameBuilder::ChangePassword(std::string_view password) {
    Start(CommandCode::ChangePassword);
    PutText(3, password);
    return Finish();
}

const CommandFrame &FrameBuilder::SetDaylightSaving(bool on) {
    return WithByte3(CommandCode::SetDaylightSaving, on ? 1 : 0);
}

const CommandFrame &FrameBuilder::GetDaylightSaving() {
    return Plain(CommandCode::GetDaylightSaving);
}

const CommandFrame &FrameBuilder::SetTime(const TimeRecord &time) {
    Start(CommandCode::SetTime);
    Put(3, EncodeHour(time.hour, time.ampm));
    Put(4, time.minute);
    Put(5, time.second);
    return Finish();
}

const CommandFrame &FrameBuilder::GetTime() {
    return Plain(CommandCode::GetTime);
}

const CommandFrame &FrameBuilder::GetDate() {
    return Plain(CommandCode::GetDate);
}

const CommandFrame &FrameBuilder::SetDate(const DateRecord &date) {
    Start(CommandCode::SetDate);
    Put(3, date.month);
    Put(4, date.day);
    Put(5, date.year % 100);
    Put(6, date.year / 100);
    return Finish();
}

const CommandFrame &FrameBuilder::ClearResetLog() {
    return Plain(CommandCode::ClearResetLog);
}

const CommandFrame &FrameBuilder::GetResetCount() {
    return Plain(CommandCode::GetResetCount);
}

const CommandFrame &FrameBuilder::ClearFailLog() {
    return Plain(CommandCode::ClearFailLog);
}

const CommandFrame &FrameBuilder::GetFailLog() {
    return Plain(CommandCode::GetFailLog);
}

const CommandFrame &FrameBuilder::StopSignTest() {
    return Plain(CommandCode::StopSignTest);
}

const CommandFrame &FrameBuilder::StartSignTest() {
    return Plain(CommandCode::StartSignTest);
}

const CommandFrame &FrameBuilder::SetOnOffTime(int index, const ShortTimeRecord &time) {
    Start(CommandCode::SetOnOffTime);
    Put(3, index);
    Put(4, EncodeHour(time.hour, time.ampm));
    Put(5, time.minute);
    return Finish();
}

const CommandFrame &FrameBuilder::GetOnOffTime(int index) {
    return WithByte3(CommandCode::GetOnOffTime, index);
}

const CommandFrame &FrameBuilder::SetOnOffTimerSwitch(bool enabled) {
    return WithByte3(CommandCode::SetOnOffTimerSwitch, enabled ? 1 : 0);
}

const CommandFrame &FrameBuilder::GetOnOffTimerSwitch() {
    return Plain(CommandCode::GetOnOffTimerSwitch);
}

const CommandFrame &FrameBuilder::SetDutyCycle(int level, int percent) {
    Start(CommandCode::SetDutyCycle);
    Put(3, level);
    Put(4, percent);
    return Finish();
}

const CommandFrame &FrameBuilder::GetDutyCycle(int level) {
    return WithByte3(CommandCode::GetDutyCycle, level);
}

const CommandFrame &FrameBuilder::SetSwitchTime(int index, const ShortTimeRecord &time) {
    Start(CommandCode::SetSwitchTime);
    Put(3, index);
    Put(4, EncodeHour(time.hour, time.ampm));
    Put(5, time.minute);
    return Finish();
}

const CommandFrame &FrameBuilder::GetSwitchTime(int index) {
    return WithByte3(CommandCode::GetSwitchTime, index);
}

const CommandFrame &FrameBuilder::SetFaceLevel(int face, int slot, int level) {
    Start(CommandCode::SetFaceLevel);
    Put(3, face);
    Put(4, slot);
    Put(5, level);
    return Finish();
}

const CommandFrame &FrameBuilder::GetFaceLevel(int face, int slot) {
    Start(CommandCode::GetFaceLevel);
    Put(3, face);
    Put(4, slot);
    return Finish();
}

const CommandFrame &FrameBuilder::SetManualLevel(int face, int level) {
    Start(CommandCode::SetManualLevel);
    Put(3, face);
    Put(4, level);
    return Finish();
}

const CommandFrame &FrameBuilder::GetManualLevel(int face) {
    return WithByte3(CommandCode::GetManualLevel, face);
}

const CommandFrame &FrameBuilder::GetIntensityMode(int face) {
    return WithByte3(CommandCode::GetIntensityMode, face);
}

const CommandFrame &FrameBuilder::SetIntensityMode(int face, int mode) {
    Start(CommandCode::SetIntensityMode);
    Put(3, face);
    Put(4, mode);
    return Finish();
}

const CommandFrame &FrameBuilder::GetLineFaceMask(int lineIndex) {
    return WithByte3(CommandCode::GetLineFaceMask, lineIndex);
}

const CommandFrame &FrameBuilder::VerifyPassword(std::string_view password) {
    Start(CommandCode::VerifyPassword);
    PutText(3, password);
    return Finish();
}

const CommandFrame &FrameBuilder::GetCcStatus() {
    return Plain(CommandCode::GetCcStatus);
}

const CommandFrame &FrameBuilder::GetNvramSize() {
    return Plain(CommandCode::GetNvramSize);
}

const CommandFrame &FrameBuilder::ReadNvramBlock(int address) {
    Start(CommandCode::ReadNvramBlock);
    PutAddress(3, address);
    return Finish();
}

const CommandFrame &FrameBuilder::WriteNvramBlock(int address, const NvramBlock &data) {
    Start(CommandCode::WriteNvramBlock);
    PutAddress(3, address);
    std::copy(data.begin(), data.end(), m_frame.bytes.begin() + 5);
    return Finish();
}

const CommandFrame &FrameBuilder::NvramTransferBegin() {
    return Plain(CommandCode::NvramTransferBegin);
}

const CommandFrame &FrameBuilder::NvramLoadComplete() {
    return Plain(CommandCode::NvramLoadComplete);
}

const CommandFrame &FrameBuilder::NvramSaveComplete() {
    return Plain(CommandCode::NvramSaveComplete);
}

const CommandFrame &FrameBuilder::NvramTransferPrepare() {
    return Plain(CommandCode::NvramTransferPrepare);
}

const CommandFrame &FrameBuilder::NvramTransferEnd() {
    return Plain(CommandCode::NvramTransferEnd);
}

const CommandFrame &FrameBuilder::GetCcSoftwarePartNumber() {
    return Plain(CommandCode::GetCcSoftwarePartNumber);
}
