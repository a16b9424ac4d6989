#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// What the workstation does with its command line. --help and --version are answered
// before the window system is reached, so they work without a display; any other word
// that Qt did not take as one of its own options (-platform, -display, ...) is refused.
namespace WorkstationOptions {

inline constexpr int kOk = 0;
inline constexpr int kUsage = 2;

std::string Help();

// Before Qt: answers --help (-h) or --version on out and returns the exit status;
// nothing when the workstation is to start.
std::optional<int> Answer(const std::vector<std::string> &arguments, std::ostream &out);
// After Qt took its own options: the words left over (without the program's name) are
// refused on err with the usage exit status; nothing when none is left.
std::optional<int> RefuseLeftovers(const std::vector<std::string> &leftovers, std::ostream &err);

}  // namespace WorkstationOptions
