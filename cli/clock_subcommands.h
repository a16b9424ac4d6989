#pragma once

#include <chrono>
#include <ctime>
#include <functional>

class SubcommandTable;

// voxa-ctl: the controller's clock: time, date and the daylight-saving switch, and
// sync-clock, which sets all three from this PC's local time.
namespace ClockSubcommands {

// This PC's clock as sync-clock reads it, and its pause; tests hand in their own.
struct PcClock {
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
    std::function<void(std::chrono::milliseconds)> sleep;  // none: the real one
};

// Closer to midnight than this, sync-clock waits for the new day before it sends the date,
// so that the date and the time it sends belong to the same day.
inline constexpr std::chrono::seconds kMidnightMargin{5};

// The clock is read when a subcommand runs, not when it is added.
void AddTo(SubcommandTable &table, const PcClock &clock);

}  // namespace ClockSubcommands
