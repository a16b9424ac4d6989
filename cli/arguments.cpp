#include "arguments.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <vector>

std::optional<int> Arguments::ParseNumber(const std::string &text, int low, int high) {
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> Arguments::ParseSwitch(const std::string &text) {
    if (text == "on") return true;
    if (text == "off") return false;
    return std::nullopt;
}

std::optional<TimeRecord> Arguments::ParseTime(const std::string &text, bool withSeconds) {
    std::istringstream in(text);
    std::string clock;
    std::string ampm;
    std::string extra;
    if (!(in >> clock >> ampm) || (in >> extra)) return std::nullopt;
    for (char &c : ampm) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ampm != "AM" && ampm != "PM") return std::nullopt;

    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = clock.find(':', start)) != std::string::npos;
         start = colon + 1) {
        parts.push_back(clock.substr(start, colon - start));
    }
    parts.push_back(clock.substr(start));
    const bool secondsGiven = parts.size() == 3;
    if (parts.size() != 2 && !(withSeconds && secondsGiven)) return std::nullopt;
    if (parts[1].size() != 2 || (secondsGiven && parts[2].size() != 2)) return std::nullopt;

    const auto hour = ParseNumber(parts[0], 1, 12);
    const auto minute = ParseNumber(parts[1], 0, 59);
    const auto second = secondsGiven ? ParseNumber(parts[2], 0, 59) : std::optional<int>(0);
    if (!hour || !minute || !second) return std::nullopt;
    return TimeRecord{*hour, *minute, *second, ampm};
}

std::optional<DateRecord> Arguments::ParseDate(const std::string &text) {
    const std::size_t first = text.find('/');
    const std::size_t second = first == std::string::npos ? first : text.find('/', first + 1);
    if (second == std::string::npos) return std::nullopt;
    const auto month = ParseNumber(text.substr(0, first), 1, 12);
    const auto day = ParseNumber(text.substr(first + 1, second - first - 1), 1, 31);
    const auto year = ParseNumber(text.substr(second + 1), 1900, 9999);
    if (!month || !day || !year) return std::nullopt;
    return DateRecord{*month, *day, *year};
}
