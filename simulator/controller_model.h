#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "command_frame.h"

// Our model of the Central Controller's installation, answering one request frame at a
// time. Its whole state is public through Current() so tests can set up a site and see
// exactly what a command changed.
//
// Choices where the real controller's behaviour is not known to the workstation:
// - Values that no dedicated status covers (a time with hour 0 or minute 60, an on/off
//   index other than 0 and 1, a date past day 31 or month 12) are refused with
//   kValueRefused, which the workstation reports as an unknown status naming the
//   command. Switch times belong to the intensity settings and are refused with the
//   intensity mode error instead.
// - Set date takes day 0 and month 0 (the workstation lets both through) and rolls
//   over as a calendar does: day 0 is the last day of the month before, month 0 the
//   December before, 31 February the 3rd of March (2nd in a leap year).
// - Texts in requests end at their NUL or, lacking one, at byte 20.
// - NVRAM: block reads and writes are served at any time, in or out of a transfer;
//   the transfer commands 39-43 always acknowledge and only track the transfer's
//   phase and counts. A read of the last block past the end of the memory returns 0xFF
//   for the missing bytes; a write there keeps only the bytes inside it. "NVRAM load
//   complete" after at least one block written cures the "NVRAM must be updated"
//   condition (code byte 5) of Get CC status.
// - Daylight saving is a flag only: the clock does not jump when it changes.
class ControllerModel {
public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    static constexpr int kMaxLines = 8;
    static constexpr int kFaceCount = 8;
    static constexpr int kLevelCount = 5;
    static constexpr std::size_t kDefaultNvramSize = 2048;
    static constexpr std::size_t kMaxNvramSize = 0xFFFF;
    static constexpr std::size_t kNvramBlockSize = 16;
    static constexpr std::uint8_t kValueRefused = 23;

    // A time on the controller's 12-hour clock: hour 1-12, minute 0-59.
    struct ShortTime {
        int hour = 12;
        int minute = 0;
        bool pm = false;
        bool operator==(const ShortTime &) const = default;
    };

    struct PriceLine {
        std::string format;
        std::string price;
        std::uint8_t faceMask = 0;
    };

    struct Face {
        int mode = 1;  // 1 Manual, 2 Time of Day, 3 Light Sensor
        int manualLevel = 4;
        std::array<int, 2> slotLevels{2, 5};  // slot 0 night / after switch time 2, slot 1 day
    };

    // Three code bytes and a text, as the fail log, the sign test and the status report.
    struct CodedText {
        std::array<std::uint8_t, 3> codes{};
        std::string text;
        bool operator==(const CodedText &) const = default;
    };

    enum class TransferPhase { Idle, Begun, Prepared, Ended };

    struct State {
        int lineCount = 6;  // may be set above 8; only lines 0-7 exist
        std::array<PriceLine, kMaxLines> lines;
        std::array<Face, kFaceCount> faces;
        std::array<ShortTime, 2> switchTimes;     // [0] switch time 1, [1] switch time 2
        std::array<int, kLevelCount> dutyCycles;  // [0] level 1 ... [4] level 5
        std::array<ShortTime, 2> onOffTimes;      // [0] sign-off time, [1] sign-on time
        bool onOffTimerEnabled = false;
        std::chrono::seconds clockOffset{0};  // controller clock minus the wall clock (UTC)
        bool daylightSaving = false;
        std::string password = "voxa";
        int resetCount = 3;
        CodedText failLog;
        CodedText ccStatus;  // codes[2] nonzero: a failure; 5: NVRAM must be updated
        bool signTestRunning = false;
        bool signTestFault = false;  // the sign test finds failing segments
        // What a sign test that finds failing segments reports: face bits 0 and 2, segment
        // group 0x24, three segments.
        CodedText signTestFailure{{0x05, 0x24, 0x03}, "SIGN TEST"};
        CodedText lastSignTest;
        std::vector<std::uint8_t> nvram;
        TransferPhase transferPhase = TransferPhase::Idle;
        int transferBlocksRead = 0;
        int transferBlocksWritten = 0;
        int loadsCompleted = 0;
        int savesCompleted = 0;
        std::string partNumber = "LV-CC 4.02.17";
    };

    // The controller's clock on the 24-hour dial, as the controller keeps it.
    struct CivilTime {
        int year = 2000;
        int month = 1;
        int day = 1;
        int hour = 0;
        int minute = 0;
        int second = 0;
        bool operator==(const CivilTime &) const = default;
    };

    // An empty clock means the system clock. The controller's clock starts on the
    // machine's local time.
    explicit ControllerModel(WallClock clock = {});

    CommandFrame Handle(const CommandFrame &request);

    State &Current() { return m_state; }
    const State &Current() const { return m_state; }

    // Replaces the memory with size bytes of the initial pattern.
    void ResetNvram(std::size_t size);
    static std::vector<std::uint8_t> InitialNvram(std::size_t size);

    CivilTime Clock() const;
    void SetClock(const CivilTime &time);

    // The line format rule: same length; '8' any digit, '9' only 9, '.' and ','
    // themselves; any other format character matches nothing.
    static bool PriceFitsFormat(std::string_view price, std::string_view format);

    // "Get line format" and the like; "unknown" outside 1-44 and for 38.
    static std::string_view CommandName(std::uint8_t code);

    // What Get CC status reports for a condition code: the code as the third code byte
    // and a short text after it.
    static CodedText ConditionReport(std::uint8_t code);

    static std::uint8_t EncodeHour(int hour, bool pm);
    static CommandFrame MakeReply(std::uint8_t code, std::uint8_t status);

private:
    std::uint8_t Carry(const CommandFrame &request, CommandFrame &reply);
    std::uint8_t LineCommand(const CommandFrame &request, CommandFrame &reply);
    std::uint8_t FaceCommand(const CommandFrame &request, CommandFrame &reply);
    std::uint8_t ClockCommand(const CommandFrame &request, CommandFrame &reply);
    std::uint8_t NvramCommand(const CommandFrame &request, CommandFrame &reply);
    std::chrono::sys_seconds ControllerNow() const;

    WallClock m_clock;
    State m_state;
};
