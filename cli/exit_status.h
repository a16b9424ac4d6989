#pragma once

// voxa-ctl's exit statuses, one table for every subcommand, as its help lists them
// (SubcommandTable::kExitStatusText).
namespace ExitStatus {

inline constexpr int kOk = 0;
// A controller or line problem: no answer, a port that does not open, a line kept busy,
// a checksum, a controller status, a price not confirmed, a condition of the controller
// that needs a person (report), a file or an output that could not be written.
inline constexpr int kTransactionFailed = 1;
// Bad usage; nothing was sent.
inline constexpr int kUsage = 2;
// Refused by a check before anything was sent: a price that does not fit its line or its
// limits, a line that is not installed; or a rejected password.
inline constexpr int kRefused = 3;

}  // namespace ExitStatus
