#pragma once

#include <optional>
#include <string>

#include "time_records.h"

// voxa-ctl: reading the values its options and subcommands take. Nothing when the text is
// not such a value.
namespace Arguments {

// Ports the workstation offers: COM1 to COM9.
inline constexpr int kHighestPort = 9;

// "12:30:05 PM" or "7:05 AM" (seconds optional when allowed); AM/PM in any case.
std::optional<TimeRecord> ParseTime(const std::string &text, bool withSeconds);
// "6/7/2002".
std::optional<DateRecord> ParseDate(const std::string &text);
std::optional<int> ParseNumber(const std::string &text, int low, int high);
std::optional<bool> ParseSwitch(const std::string &text);

}  // namespace Arguments
