#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "time_records.h"

// voxa-ctl: reading the values its options and subcommands take. Nothing when the text is
// not such a value.
namespace Arguments {

using Words = std::vector<std::string>;

// Ports the workstation offers: COM1 to COM9.
inline constexpr int kHighestPort = 9;
// The years the controller's date carries (two bytes, year / 100 and year % 100).
inline constexpr int kFirstYear = 1900;
inline constexpr int kLastYear = 9999;

// A time on the 12-hour dial, "12:30:05 PM" or "7:05 AM" (AM/PM in any case), or on the 24-hour
// clock, "19:05:30" or "07:05"; seconds only when allowed, and then optional. Given back on the
// 12-hour dial the controller keeps.
std::optional<TimeRecord> ParseTime(const std::string &text, bool withSeconds);
// A real calendar date, "6/7/2002" (month first) or "2002-06-07" (ISO 8601), in the
// years the controller can hold: February 30 is not one.
std::optional<DateRecord> ParseDate(const std::string &text);
// A decimal number without sign or blanks in low to high.
std::optional<int> ParseNumber(const std::string &text, int low, int high);
std::optional<bool> ParseSwitch(const std::string &text);
// "COM1" to "COM9": the number.
std::optional<int> ParsePort(const std::string &text);

// An option a command line takes: --name, or --name VALUE / --name=VALUE when valued.
struct Option {
    std::string name;  // with its hyphens: "--wait"
    bool valued = false;
};

// The options and operands of a list of words.
struct Parsed {
    std::map<std::string, std::string> options;  // the last value given for each
    Words operands;
    bool Has(const std::string &name) const { return options.count(name) != 0; }
    const std::string *Value(const std::string &name) const;
};

// Splits words into the options of known and the operands. Every option takes the forms
// --name, --name VALUE and --name=VALUE as it is valued or not; "--" ends the options, so
// that later words are operands even when they start with "--". With stopAtOperand the
// first operand ends the options too, and it and every word after it are operands (a
// command's options stand before its subcommand). Any other word that starts with "--" is
// an unknown option. False, with the reason in problem, for an unknown option, a missing
// value, or a value given to an option that takes none.
bool TakeOptions(const Words &words, const std::vector<Option> &known, bool stopAtOperand,
                 Parsed &parsed, std::string &problem);

}  // namespace Arguments
