#include "reply_decoder.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "command_code.h"
#include "sign_system.h"

namespace {

int HourOf(std::uint8_t hourByte) {
    return hourByte & 0x0F;
}
const char *AmPmOf(std::uint8_t hourByte) {
    return (hourByte & 0x80) != 0 ? "PM" : "AM";
}

bool IsReportedDirectly(int code) {
    return code == -3 || code == 1 || (code >= 3 && code <= 22) || code == 258;
}

}  // namespace

std::optional<std::string> ReplyDecoder::TextAt(const CommandFrame &reply, std::size_t start) {
    for (std::size_t i = start; i <= kLastDataIndex; ++i) {
        if (reply[i] == 0) {
            return std::string(reply.bytes.begin() + static_cast<std::ptrdiff_t>(start),
                               reply.bytes.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return std::nullopt;
}

std::string ReplyDecoder::CodeText(const CommandFrame &reply, const std::string &text) {
    char head[32];
    std::snprintf(head, sizeof head, "LDFS:%02x%02x %x ", reply[4], reply[5], reply[6]);
    return head + text;
}

int ReplyDecoder::Decode(const CommandFrame &reply) {
    const int code = reply.Code();
    if (code == 0 || code > kHighestCommandCode) {
        Report(LinkOwner::kUnknownCommandCode);
        return LinkOwner::kUnknownCommandCode;
    }
    const int status = reply.Status();
    if (status != ControllerStatus::kOk) {
        if (code == ToByte(CommandCode::VerifyPassword)) {
            m_system.m_passwordAccepted = false;
        }
        Report(status);
        return status;
    }
    return Store(reply) ? 0 : SignSystem::kNoData;
}

bool ReplyDecoder::CarriesData(int commandCode) {
    switch (static_cast<CommandCode>(commandCode)) {
        case CommandCode::GetLineFormat:
        case CommandCode::GetLinePrice:
        case CommandCode::GetNumberOfLines:
        case CommandCode::GetDaylightSaving:
        case CommandCode::GetTime:
        case CommandCode::GetDate:
        case CommandCode::GetResetCount:
        case CommandCode::GetFailLog:
        case CommandCode::StopSignTest:
        case CommandCode::GetOnOffTime:
        case CommandCode::GetOnOffTimerSwitch:
        case CommandCode::GetDutyCycle:
        case CommandCode::GetSwitchTime:
        case CommandCode::GetFaceLevel:
        case CommandCode::GetManualLevel:
        case CommandCode::GetIntensityMode:
        case CommandCode::GetLineFaceMask:
        case CommandCode::VerifyPassword:
        case CommandCode::GetCcStatus:
        case CommandCode::GetNvramSize:
        case CommandCode::ReadNvramBlock:
        case CommandCode::GetCcSoftwarePartNumber:
            return true;
        default:
            return false;
    }
}

bool ReplyDecoder::Store(const CommandFrame &reply) {
    SignSystem &s = m_system;
    // A text without its end within the frame leaves its field as it was.
    bool complete = true;
    const auto text = [&](std::size_t start) {
        std::optional<std::string> found = TextAt(reply, start);
        complete = found.has_value();
        return found;
    };
    switch (static_cast<CommandCode>(reply.Code())) {
        case CommandCode::GetLineFormat:
            if (auto format = text(4))
                s.m_lineFormatScratch = CutToRoom(*format, SignSystem::kFormatRoom);
            break;
        case CommandCode::GetLinePrice:
            if (auto price = text(4))
                s.m_lastLinePrice = CutToRoom(*price, SignSystem::kFormatRoom);
            break;
        case CommandCode::GetNumberOfLines:
            s.m_numberOfLines = reply[4];
            break;
        case CommandCode::GetDaylightSaving:
            s.m_daylightSaving = reply[4] != 0;
            break;
        case CommandCode::GetTime:
            s.m_ccTime = TimeRecord{HourOf(reply[4]), reply[5], reply[6], AmPmOf(reply[4])};
            break;
        case CommandCode::GetDate:
            s.m_ccDate = DateRecord{reply[4], reply[5], reply[6] + 100 * reply[7]};
            break;
        case CommandCode::GetResetCount: {
            char count[64];
            std::snprintf(count, sizeof count, "Number of Resets: %d", reply[4]);
            s.m_resetLogText = count;
            break;
        }
        case CommandCode::GetFailLog:
            if (auto log = text(7))
                s.m_failLogText = CutToRoom(CodeText(reply, *log), SignSystem::kLogRoom);
            break;
        case CommandCode::StopSignTest:
            s.m_signTestResultText = CodeText(reply, "");
            if (reply[6] != 0) s.m_failureFlag = true;
            break;
        case CommandCode::GetOnOffTime:
            s.m_onOffTime = ShortTimeRecord{HourOf(reply[4]), reply[5], AmPmOf(reply[4])};
            break;
        case CommandCode::GetOnOffTimerSwitch:
            s.m_onOffTimerSwitch = reply[4] != 0;
            break;
        case CommandCode::GetDutyCycle:
            s.m_lastDutyCycle = reply[4];
            break;
        case CommandCode::GetSwitchTime:
            s.m_switchTime = ShortTimeRecord{HourOf(reply[4]), reply[5], AmPmOf(reply[4])};
            break;
        case CommandCode::GetFaceLevel:
            s.m_lastFaceLevel = reply[4];
            break;
        case CommandCode::GetManualLevel:
            s.m_lastManualLevel = reply[4];
            break;
        case CommandCode::GetIntensityMode:
            s.m_lastIntensityMode = reply[4];
            break;
        case CommandCode::GetLineFaceMask:
            s.m_lastFaceMask = reply[4];
            break;
        case CommandCode::VerifyPassword:
            s.m_passwordAccepted = reply[4] != 0;
            break;
        case CommandCode::GetCcStatus:
            if (auto status = text(6)) {
                s.m_ccStatusText = CutToRoom(CodeText(reply, *status), SignSystem::kLogRoom);
                if (reply[6] != 0) s.m_failureFlag = true;
                if (reply[6] == ControllerStatus::kNvramMustBeUpdated) s.m_nvramUpdateFlag = true;
            }
            break;
        case CommandCode::GetNvramSize:
            s.m_nvramSize = reply[4] * 256 + reply[5];
            break;
        case CommandCode::ReadNvramBlock:
            std::copy_n(reply.bytes.begin() + 5, s.m_lastNvramBlock.size(),
                        s.m_lastNvramBlock.begin());
            break;
        case CommandCode::GetCcSoftwarePartNumber:
            if (auto number = text(4))
                s.m_ccSoftwarePartNumber = CutToRoom(*number, SignSystem::kPartNumberRoom);
            break;
        case CommandCode::StartSignTest:
            // The text that follows is not kept; only a complete one confirms the command.
            if (TextAt(reply, 7)) s.ResetFailureCounters();
            break;
        default:
            // Every other command is acknowledged without data. Only these replies clear
            // the failure counters; a reply that carries data does not.
            s.ResetFailureCounters();
            break;
    }
    return complete;
}

void ReplyDecoder::Report(int code) {
    if (!IsReportedDirectly(code)) {
        *m_system.m_diagnostics << "CC RETURNED UNKNOWN ERROR CONDITION." << std::endl;
    }
    m_system.HandleStatus(code);
}
