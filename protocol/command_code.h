#pragma once

#include <cstdint>

// The controller's command codes. A reply repeats the code of its request.
enum class CommandCode : std::uint8_t {
    GetLineFormat = 1,
    SetLinePrice = 2,
    GetLinePrice = 3,
    GetNumberOfLines = 4,
    ChangePassword = 5,
    SetDaylightSaving = 6,
    GetDaylightSaving = 7,
    SetTime = 8,
    GetTime = 9,
    GetDate = 10,
    SetDate = 11,
    ClearResetLog = 12,
    GetResetCount = 13,
    ClearFailLog = 14,
    GetFailLog = 15,
    StopSignTest = 16,
    StartSignTest = 17,
    SetOnOffTime = 18,
    GetOnOffTime = 19,
    SetOnOffTimerSwitch = 20,
    GetOnOffTimerSwitch = 21,
    SetDutyCycle = 22,
    GetDutyCycle = 23,
    SetSwitchTime = 24,
    GetSwitchTime = 25,
    SetFaceLevel = 26,
    GetFaceLevel = 27,
    SetManualLevel = 28,
    GetManualLevel = 29,
    GetIntensityMode = 30,
    SetIntensityMode = 31,
    GetLineFaceMask = 32,
    VerifyPassword = 33,
    GetCcStatus = 34,
    GetNvramSize = 35,
    ReadNvramBlock = 36,
    WriteNvramBlock = 37,
    NeverSent = 38,  // no request exists; a reply with this code counts as an acknowledgement
    NvramTransferBegin = 39,
    NvramLoadComplete = 40,
    NvramSaveComplete = 41,
    NvramTransferPrepare = 42,
    NvramTransferEnd = 43,
    GetCcSoftwarePartNumber = 44,
};

inline constexpr std::uint8_t kHighestCommandCode = 44;

constexpr std::uint8_t ToByte(CommandCode code) {
    return static_cast<std::uint8_t>(code);
}

// Controller statuses carried in byte 3 of a reply.
namespace ControllerStatus {
inline constexpr std::uint8_t kOk = 0;
inline constexpr std::uint8_t kNvramMustBeUpdated = 5;
inline constexpr std::uint8_t kChecksumFailure = 6;
inline constexpr std::uint8_t kExcessiveReceiveFailure = 7;
inline constexpr std::uint8_t kExcessiveTransmitFailure = 8;
inline constexpr std::uint8_t kReceiveTimeoutFailure = 9;
inline constexpr std::uint8_t kTransmitTimeoutFailure = 10;
inline constexpr std::uint8_t kGlitch = 11;
inline constexpr std::uint8_t kInvalidLine = 12;
inline constexpr std::uint8_t kInvalidFace = 13;
inline constexpr std::uint8_t kInvalidLineConfiguration = 14;
inline constexpr std::uint8_t kFormatMismatch = 15;
inline constexpr std::uint8_t kInvalidNumberOfDigits = 16;
inline constexpr std::uint8_t kLineUpdateProblem = 17;
inline constexpr std::uint8_t kDutyCycleOutOfRange = 18;
inline constexpr std::uint8_t kFaceUpdateProblem = 19;
inline constexpr std::uint8_t kIntensityModeError = 20;
inline constexpr std::uint8_t kIntensityModeError2 = 21;
inline constexpr std::uint8_t kNvramAddressInvalid = 22;
inline constexpr std::uint8_t kUnknownCommand = 24;
}  // namespace ControllerStatus
