#include "controller_model.h"

#include <algorithm>
#include <array>
#include <ctime>

#include "command_code.h"

namespace {

using std::chrono::days;
using std::chrono::seconds;
using std::chrono::sys_days;
using std::chrono::sys_seconds;

constexpr std::size_t kRequestTextStart = 3;
constexpr std::size_t kReplyTextStart = 4;
constexpr std::size_t kFailLogTextStart = 7;
constexpr std::size_t kStatusTextStart = 6;
constexpr int kHighestYear = 255 * 100 + 99;

std::string ReadText(const CommandFrame &frame, std::size_t start) {
    std::string text;
    for (std::size_t i = start; i <= kLastDataIndex && frame[i] != 0; ++i) {
        text.push_back(static_cast<char>(frame[i]));
    }
    return text;
}

// Writes a text from start, cut so that its NUL falls on byte 20 at the latest.
void WriteText(CommandFrame &frame, std::size_t start, std::string_view text) {
    const std::size_t room = kLastDataIndex - start;
    const std::size_t length = std::min(text.size(), room);
    for (std::size_t i = 0; i < length; ++i) {
        frame[start + i] = static_cast<std::uint8_t>(text[i]);
    }
    frame[start + length] = 0;
}

bool DecodeShortTime(std::uint8_t hourByte, std::uint8_t minute, ControllerModel::ShortTime &time) {
    const int hour = hourByte & 0x0F;
    if (hour < 1 || hour > 12 || minute > 59) {
        return false;
    }
    time = {hour, minute, (hourByte & 0x80) != 0};
    return true;
}

void EncodeShortTime(const ControllerModel::ShortTime &time, CommandFrame &reply) {
    reply[4] = ControllerModel::EncodeHour(time.hour, time.pm);
    reply[5] = static_cast<std::uint8_t>(time.minute);
}

bool ValidLevel(int level) {
    return level >= 1 && level <= ControllerModel::kLevelCount;
}

ControllerModel::State DefaultState() {
    ControllerModel::State state;
    const std::array<const char *, ControllerModel::kMaxLines> formats{
        "8.889", "8.889", "8.889", "8.88", "88.88", "88.88", "8.88", "8.88"};
    const std::array<const char *, ControllerModel::kMaxLines> prices{
        "3.499", "3.599", "3.799", "2.09", "12.50", "19.99", "1.25", "4.10"};
    for (int i = 0; i < ControllerModel::kMaxLines; ++i) {
        // Every line on the front and back faces of the pylon.
        state.lines[i] = {formats[i], prices[i], 0x03};
    }
    state.switchTimes = {ControllerModel::ShortTime{6, 0, false},
                         ControllerModel::ShortTime{8, 0, true}};
    state.dutyCycles = {10, 25, 45, 70, 100};
    state.onOffTimes = {ControllerModel::ShortTime{11, 0, true},
                        ControllerModel::ShortTime{5, 30, false}};
    state.failLog = {{0x00, 0x10, 0x02}, "LAMP FACE 2"};
    state.nvram = ControllerModel::InitialNvram(ControllerModel::kDefaultNvramSize);
    return state;
}

seconds LocalUtcOffset(std::chrono::system_clock::time_point at) {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) {
        return seconds{0};
    }
    return seconds{local.tm_gmtoff};
}

}  // namespace

ControllerModel::ControllerModel(WallClock clock)
    : m_clock(clock ? std::move(clock) : [] { return std::chrono::system_clock::now(); }),
      m_state(DefaultState()) {
    m_state.clockOffset = LocalUtcOffset(m_clock());
}

std::vector<std::uint8_t> ControllerModel::InitialNvram(std::size_t size) {
    // A pattern that differs from block to block and page to page, so a transfer that
    // shifts, repeats or drops a block shows.
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 37 + (i >> 8) * 11 + 0x5A);
    }
    return bytes;
}

void ControllerModel::ResetNvram(std::size_t size) {
    m_state.nvram = InitialNvram(std::min(size, kMaxNvramSize));
}

ControllerModel::CodedText ControllerModel::ConditionReport(std::uint8_t code) {
    if (code == 0) {
        return {};
    }
    return {{0x01, 0x00, code},
            code == ControllerStatus::kNvramMustBeUpdated ? "NVRAM INVALID" : "CC FAULT"};
}

std::uint8_t ControllerModel::EncodeHour(int hour, bool pm) {
    return static_cast<std::uint8_t>((hour & 0x0F) | (pm ? 0x80 : 0x00));
}

CommandFrame ControllerModel::MakeReply(std::uint8_t code, std::uint8_t status) {
    CommandFrame reply;
    reply[0] = kSyncByte1;
    reply[1] = kSyncByte2;
    reply[2] = code;
    reply[3] = status;
    reply.StoreChecksum();
    return reply;
}

CommandFrame ControllerModel::Handle(const CommandFrame &request) {
    const std::uint8_t code = request.Code();
    if (!request.ChecksumValid()) {
        return MakeReply(code, ControllerStatus::kChecksumFailure);
    }
    CommandFrame reply = MakeReply(code, ControllerStatus::kOk);
    const std::uint8_t status = Carry(request, reply);
    if (status != ControllerStatus::kOk) {
        // A refused command answers with its status alone.
        return MakeReply(code, status);
    }
    reply.StoreChecksum();
    return reply;
}

std::uint8_t ControllerModel::Carry(const CommandFrame &request, CommandFrame &reply) {
    State &s = m_state;
    switch (static_cast<CommandCode>(request.Code())) {
        case CommandCode::GetLineFormat:
        case CommandCode::SetLinePrice:
        case CommandCode::GetLinePrice:
        case CommandCode::GetLineFaceMask:
            return LineCommand(request, reply);
        case CommandCode::GetNumberOfLines:
            reply[4] = static_cast<std::uint8_t>(s.lineCount);
            return ControllerStatus::kOk;
        case CommandCode::ChangePassword:
            s.password = ReadText(request, kRequestTextStart);
            return ControllerStatus::kOk;
        case CommandCode::VerifyPassword:
            reply[4] = ReadText(request, kRequestTextStart) == s.password ? 1 : 0;
            return ControllerStatus::kOk;
        case CommandCode::SetDaylightSaving:
        case CommandCode::GetDaylightSaving:
        case CommandCode::SetTime:
        case CommandCode::GetTime:
        case CommandCode::GetDate:
        case CommandCode::SetDate:
        case CommandCode::SetOnOffTime:
        case CommandCode::GetOnOffTime:
        case CommandCode::SetOnOffTimerSwitch:
        case CommandCode::GetOnOffTimerSwitch:
        case CommandCode::SetSwitchTime:
        case CommandCode::GetSwitchTime:
            return ClockCommand(request, reply);
        case CommandCode::ClearResetLog:
            s.resetCount = 0;
            return ControllerStatus::kOk;
        case CommandCode::GetResetCount:
            reply[4] = static_cast<std::uint8_t>(std::clamp(s.resetCount, 0, 255));
            return ControllerStatus::kOk;
        case CommandCode::ClearFailLog:
            s.failLog = {};
            return ControllerStatus::kOk;
        case CommandCode::GetFailLog:
            std::copy(s.failLog.codes.begin(), s.failLog.codes.end(), reply.bytes.begin() + 4);
            WriteText(reply, kFailLogTextStart, s.failLog.text);
            return ControllerStatus::kOk;
        case CommandCode::StartSignTest:
            s.signTestRunning = true;
            return ControllerStatus::kOk;
        case CommandCode::StopSignTest:
            // A stop without a running test reports a clean result: no test, no failures.
            s.lastSignTest = {};
            if (s.signTestRunning && s.signTestFault) {
                s.lastSignTest = s.signTestFailure;
                s.failLog = s.lastSignTest;
            }
            s.signTestRunning = false;
            std::copy(s.lastSignTest.codes.begin(), s.lastSignTest.codes.end(),
                      reply.bytes.begin() + 4);
            return ControllerStatus::kOk;
        case CommandCode::SetDutyCycle:
            if (!ValidLevel(request[3]) || request[4] > 100) {
                return ControllerStatus::kDutyCycleOutOfRange;
            }
            s.dutyCycles[request[3] - 1] = request[4];
            return ControllerStatus::kOk;
        case CommandCode::GetDutyCycle:
            if (!ValidLevel(request[3])) {
                return ControllerStatus::kDutyCycleOutOfRange;
            }
            reply[4] = static_cast<std::uint8_t>(s.dutyCycles[request[3] - 1]);
            return ControllerStatus::kOk;
        case CommandCode::SetFaceLevel:
        case CommandCode::GetFaceLevel:
        case CommandCode::SetManualLevel:
        case CommandCode::GetManualLevel:
        case CommandCode::GetIntensityMode:
        case CommandCode::SetIntensityMode:
            return FaceCommand(request, reply);
        case CommandCode::GetCcStatus:
            std::copy(s.ccStatus.codes.begin(), s.ccStatus.codes.end(), reply.bytes.begin() + 4);
            // The text starts with the third code byte itself; with that byte 0 it is empty.
            if (s.ccStatus.codes[2] != 0) {
                WriteText(reply, kStatusTextStart + 1, s.ccStatus.text);
            }
            return ControllerStatus::kOk;
        case CommandCode::GetNvramSize:
        case CommandCode::ReadNvramBlock:
        case CommandCode::WriteNvramBlock:
        case CommandCode::NvramTransferBegin:
        case CommandCode::NvramLoadComplete:
        case CommandCode::NvramSaveComplete:
        case CommandCode::NvramTransferPrepare:
        case CommandCode::NvramTransferEnd:
            return NvramCommand(request, reply);
        case CommandCode::GetCcSoftwarePartNumber:
            WriteText(reply, kReplyTextStart, s.partNumber);
            return ControllerStatus::kOk;
        case CommandCode::NeverSent:
            break;
    }
    return ControllerStatus::kUnknownCommand;
}

std::uint8_t ControllerModel::LineCommand(const CommandFrame &request, CommandFrame &reply) {
    const int index = request[3];
    if (index >= m_state.lineCount || index >= kMaxLines) {
        return ControllerStatus::kInvalidLine;
    }
    PriceLine &line = m_state.lines[index];
    switch (static_cast<CommandCode>(request.Code())) {
        case CommandCode::GetLineFormat:
            WriteText(reply, kReplyTextStart, line.format);
            break;
        case CommandCode::SetLinePrice: {
            const std::string price = ReadText(request, kReplyTextStart);
            if (!PriceFitsFormat(price, line.format)) {
                return ControllerStatus::kFormatMismatch;
            }
            line.price = price;
            break;
        }
        case CommandCode::GetLinePrice:
            WriteText(reply, kReplyTextStart, line.price);
            break;
        default:
            reply[4] = line.faceMask;
            break;
    }
    return ControllerStatus::kOk;
}

std::uint8_t ControllerModel::FaceCommand(const CommandFrame &request, CommandFrame &reply) {
    const int faceIndex = request[3];
    if (faceIndex >= kFaceCount) {
        return ControllerStatus::kInvalidFace;
    }
    Face &face = m_state.faces[faceIndex];
    const int slot = request[4];
    switch (static_cast<CommandCode>(request.Code())) {
        case CommandCode::SetFaceLevel:
            if (slot > 1 || !ValidLevel(request[5])) {
                return ControllerStatus::kIntensityModeError;
            }
            face.slotLevels[slot] = request[5];
            break;
        case CommandCode::GetFaceLevel:
            if (slot > 1) {
                return ControllerStatus::kIntensityModeError;
            }
            reply[4] = static_cast<std::uint8_t>(face.slotLevels[slot]);
            break;
        case CommandCode::SetManualLevel:
            if (!ValidLevel(request[4])) {
                return ControllerStatus::kIntensityModeError;
            }
            face.manualLevel = request[4];
            break;
        case CommandCode::GetManualLevel:
            reply[4] = static_cast<std::uint8_t>(face.manualLevel);
            break;
        case CommandCode::SetIntensityMode:
            if (request[4] < 1 || request[4] > 3) {
                return ControllerStatus::kIntensityModeError;
            }
            face.mode = request[4];
            break;
        default:
            reply[4] = static_cast<std::uint8_t>(face.mode);
            break;
    }
    return ControllerStatus::kOk;
}

std::uint8_t ControllerModel::ClockCommand(const CommandFrame &request, CommandFrame &reply) {
    State &s = m_state;
    switch (static_cast<CommandCode>(request.Code())) {
        case CommandCode::SetDaylightSaving:
            s.daylightSaving = request[3] != 0;
            break;
        case CommandCode::GetDaylightSaving:
            reply[4] = s.daylightSaving ? 1 : 0;
            break;
        case CommandCode::SetTime: {
            ShortTime time;
            if (!DecodeShortTime(request[3], request[4], time) || request[5] > 59) {
                return kValueRefused;
            }
            CivilTime now = Clock();
            now.hour = time.hour % 12 + (time.pm ? 12 : 0);
            now.minute = time.minute;
            now.second = request[5];
            SetClock(now);
            break;
        }
        case CommandCode::GetTime: {
            const CivilTime now = Clock();
            const int hour12 = now.hour % 12 == 0 ? 12 : now.hour % 12;
            reply[4] = EncodeHour(hour12, now.hour >= 12);
            reply[5] = static_cast<std::uint8_t>(now.minute);
            reply[6] = static_cast<std::uint8_t>(now.second);
            break;
        }
        case CommandCode::GetDate: {
            const CivilTime now = Clock();
            reply[4] = static_cast<std::uint8_t>(now.month);
            reply[5] = static_cast<std::uint8_t>(now.day);
            reply[6] = static_cast<std::uint8_t>(now.year % 100);
            reply[7] = static_cast<std::uint8_t>(now.year / 100);
            break;
        }
        case CommandCode::SetDate: {
            const int month = request[3];
            const int day = request[4];
            if (month > 12 || day > 31 || request[5] > 99) {
                return kValueRefused;
            }
            int year = request[6] * 100 + request[5];
            // Month 0 is the December before; day 0 the last day of the month before.
            const int monthIndex = month == 0 ? 12 : month;
            year -= month == 0 ? 1 : 0;
            const sys_days first{std::chrono::year{year} / monthIndex / 1};
            const std::chrono::year_month_day date{first + days{day - 1}};
            if (static_cast<int>(date.year()) < 0 || static_cast<int>(date.year()) > kHighestYear) {
                return kValueRefused;
            }
            CivilTime now = Clock();
            now.year = static_cast<int>(date.year());
            now.month = static_cast<int>(static_cast<unsigned>(date.month()));
            now.day = static_cast<int>(static_cast<unsigned>(date.day()));
            SetClock(now);
            break;
        }
        case CommandCode::SetOnOffTime:
            if (request[3] > 1 ||
                !DecodeShortTime(request[4], request[5], s.onOffTimes[request[3]])) {
                return kValueRefused;
            }
            break;
        case CommandCode::GetOnOffTime:
            if (request[3] > 1) {
                return kValueRefused;
            }
            EncodeShortTime(s.onOffTimes[request[3]], reply);
            break;
        case CommandCode::SetOnOffTimerSwitch:
            s.onOffTimerEnabled = request[3] != 0;
            break;
        case CommandCode::GetOnOffTimerSwitch:
            reply[4] = s.onOffTimerEnabled ? 1 : 0;
            break;
        case CommandCode::SetSwitchTime:
            if (request[3] < 1 || request[3] > 2 ||
                !DecodeShortTime(request[4], request[5], s.switchTimes[request[3] - 1])) {
                return ControllerStatus::kIntensityModeError;
            }
            break;
        default:  // Get switch time
            if (request[3] < 1 || request[3] > 2) {
                return ControllerStatus::kIntensityModeError;
            }
            EncodeShortTime(s.switchTimes[request[3] - 1], reply);
            break;
    }
    return ControllerStatus::kOk;
}

std::uint8_t ControllerModel::NvramCommand(const CommandFrame &request, CommandFrame &reply) {
    State &s = m_state;
    const std::size_t address = static_cast<std::size_t>(request[3]) << 8 | request[4];
    switch (static_cast<CommandCode>(request.Code())) {
        case CommandCode::GetNvramSize:
            reply[4] = static_cast<std::uint8_t>(s.nvram.size() >> 8);
            reply[5] = static_cast<std::uint8_t>(s.nvram.size() & 0xFF);
            break;
        case CommandCode::ReadNvramBlock:
            if (address >= s.nvram.size()) {
                return ControllerStatus::kNvramAddressInvalid;
            }
            for (std::size_t i = 0; i < kNvramBlockSize; ++i) {
                reply[5 + i] = address + i < s.nvram.size() ? s.nvram[address + i] : 0xFF;
            }
            ++s.transferBlocksRead;
            break;
        case CommandCode::WriteNvramBlock:
            if (address >= s.nvram.size()) {
                return ControllerStatus::kNvramAddressInvalid;
            }
            for (std::size_t i = 0; i < kNvramBlockSize && address + i < s.nvram.size(); ++i) {
                s.nvram[address + i] = request[5 + i];
            }
            ++s.transferBlocksWritten;
            break;
        case CommandCode::NvramTransferBegin:
            s.transferPhase = TransferPhase::Begun;
            s.transferBlocksRead = 0;
            s.transferBlocksWritten = 0;
            break;
        case CommandCode::NvramTransferPrepare:
            s.transferPhase = TransferPhase::Prepared;
            break;
        case CommandCode::NvramTransferEnd:
            s.transferPhase = TransferPhase::Ended;
            break;
        case CommandCode::NvramLoadComplete:
            if (s.transferBlocksWritten > 0) {
                ++s.loadsCompleted;
                if (s.ccStatus.codes[2] == ControllerStatus::kNvramMustBeUpdated) {
                    s.ccStatus = {};
                }
            }
            s.transferPhase = TransferPhase::Idle;
            break;
        default:  // NVRAM save complete
            if (s.transferBlocksRead > 0) {
                ++s.savesCompleted;
            }
            s.transferPhase = TransferPhase::Idle;
            break;
    }
    return ControllerStatus::kOk;
}

sys_seconds ControllerModel::ControllerNow() const {
    return std::chrono::floor<seconds>(m_clock()) + m_state.clockOffset;
}

ControllerModel::CivilTime ControllerModel::Clock() const {
    const sys_seconds now = ControllerNow();
    const sys_days today = std::chrono::floor<days>(now);
    const std::chrono::year_month_day date{today};
    const std::chrono::hh_mm_ss<seconds> time{now - today};
    return {static_cast<int>(date.year()),
            static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()),
            static_cast<int>(time.seconds().count())};
}

void ControllerModel::SetClock(const CivilTime &time) {
    const sys_days day{std::chrono::year{time.year} / time.month / time.day};
    const sys_seconds target = day + std::chrono::hours{time.hour} +
                               std::chrono::minutes{time.minute} + seconds{time.second};
    m_state.clockOffset = target - std::chrono::floor<seconds>(m_clock());
}

bool ControllerModel::PriceFitsFormat(std::string_view price, std::string_view format) {
    if (price.size() != format.size()) {
        return false;
    }
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = price[i];
        switch (format[i]) {
            case '8':
                if (c < '0' || c > '9') {
                    return false;
                }
                break;
            case '9':
            case '.':
            case ',':
                if (c != format[i]) {
                    return false;
                }
                break;
            default:
                return false;
        }
    }
    return true;
}

std::string_view ControllerModel::CommandName(std::uint8_t code) {
    static constexpr std::array<std::string_view, kHighestCommandCode + 1> kNames{
        "unknown",
        "Get line format",
        "Set line price",
        "Get line price",
        "Get number of lines",
        "Change password",
        "Set daylight saving",
        "Get daylight saving",
        "Set time",
        "Get time",
        "Get date",
        "Set date",
        "Clear reset log",
        "Get reset count",
        "Clear fail log",
        "Get fail log",
        "Stop sign test",
        "Start sign test",
        "Set on/off time",
        "Get on/off time",
        "Set on/off timer switch",
        "Get on/off timer switch",
        "Set duty cycle",
        "Get duty cycle",
        "Set switch time",
        "Get switch time",
        "Set face level",
        "Get face level",
        "Set manual level",
        "Get manual level",
        "Get intensity mode",
        "Set intensity mode",
        "Get line face mask",
        "Verify password",
        "Get CC status",
        "Get NVRAM size",
        "Read NVRAM block",
        "Write NVRAM block",
        "unknown",
        "NVRAM transfer begin",
        "NVRAM load complete",
        "NVRAM save complete",
        "NVRAM transfer prepare",
        "NVRAM transfer end",
        "Get CC software part number",
    };
    return code < kNames.size() ? kNames[code] : kNames[0];
}
