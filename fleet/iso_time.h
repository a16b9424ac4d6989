#pragma once

#include <ctime>
#include <optional>
#include <string>

// Times as the fleet's messages carry them: ISO 8601 in UTC ("2026-12-08T06:00:00Z"). A
// time with an offset ("2026-12-08T07:00:00+01:00") or fractions of a second is read too;
// what is written is always UTC to the second.
namespace IsoTime {

std::optional<std::time_t> Parse(const std::string &text);
std::string Format(std::time_t time);

}  // namespace IsoTime
