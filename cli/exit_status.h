#pragma once

// voxa-ctl's exit statuses, as its help lists them.
namespace ExitStatus {

inline constexpr int kOk = 0;
inline constexpr int kTransactionFailed = 1;  // no sync, checksum, or a controller status
inline constexpr int kUsage = 2;
// A price that does not fit its line or its limits, a rejected password.
inline constexpr int kRefused = 3;

}  // namespace ExitStatus
