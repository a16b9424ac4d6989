#include "arguments.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <sstream>

namespace {

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
        parts.push_back(text.substr(start, at - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string Upper(std::string text) {
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool RealDate(int year, int month, int day) {
    using namespace std::chrono;
    return year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                          std::chrono::day{static_cast<unsigned>(day)}}
        .ok();
}

}  // namespace

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

std::optional<int> Arguments::ParsePort(const std::string &text) {
    if (text.size() != 4 || text.rfind("COM", 0) != 0) return std::nullopt;
    return ParseNumber(text.substr(3), 1, kHighestPort);
}

std::optional<TimeRecord> Arguments::ParseTime(const std::string &text, bool withSeconds) {
    std::istringstream in(text);
    std::string clock;
    std::string ampm;
    std::string extra;
    if (!(in >> clock)) return std::nullopt;
    in >> ampm;
    if (in >> extra) return std::nullopt;
    ampm = Upper(ampm);
    const bool dial = !ampm.empty();
    if (dial && ampm != "AM" && ampm != "PM") return std::nullopt;

    const std::vector<std::string> parts = Split(clock, ':');
    const bool secondsGiven = parts.size() == 3;
    if (parts.size() != 2 && !(withSeconds && secondsGiven)) return std::nullopt;
    if (parts[0].size() > 2 || parts[1].size() != 2 || (secondsGiven && parts[2].size() != 2))
        return std::nullopt;
    const auto hour = dial ? ParseNumber(parts[0], 1, 12) : ParseNumber(parts[0], 0, 23);
    const auto minute = ParseNumber(parts[1], 0, 59);
    const auto second = secondsGiven ? ParseNumber(parts[2], 0, 59) : std::optional<int>(0);
    if (!hour || !minute || !second) return std::nullopt;
    if (!dial) return TimeRecord::FromTwentyFourHour(*hour, *minute, *second);
    return TimeRecord{*hour, *minute, *second, ampm};
}

std::optional<DateRecord> Arguments::ParseDate(const std::string &text) {
    std::optional<int> year;
    std::optional<int> month;
    std::optional<int> day;
    if (const std::vector<std::string> iso = Split(text, '-'); iso.size() == 3) {
        if (iso[0].size() != 4 || iso[1].size() != 2 || iso[2].size() != 2) return std::nullopt;
        year = ParseNumber(iso[0], kFirstYear, kLastYear);
        month = ParseNumber(iso[1], 1, 12);
        day = ParseNumber(iso[2], 1, 31);
    } else if (const std::vector<std::string> us = Split(text, '/'); us.size() == 3) {
        month = ParseNumber(us[0], 1, 12);
        day = ParseNumber(us[1], 1, 31);
        year = ParseNumber(us[2], kFirstYear, kLastYear);
    }
    if (!year || !month || !day || !RealDate(*year, *month, *day)) return std::nullopt;
    return DateRecord{*month, *day, *year};
}

const std::string *Arguments::Parsed::Value(const std::string &name) const {
    const auto found = options.find(name);
    return found == options.end() ? nullptr : &found->second;
}

bool Arguments::TakeOptions(const Words &words, const std::vector<Option> &known,
                            bool stopAtOperand, Parsed &parsed, std::string &problem) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string &word = words[i];
        if (optionsEnded || word.rfind("--", 0) != 0) {
            parsed.operands.push_back(word);
            if (stopAtOperand) optionsEnded = true;
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const Option *option = nullptr;
        for (const Option &candidate : known) {
            if (candidate.name == name) option = &candidate;
        }
        if (option == nullptr) {
            problem = "unknown option " + name;
            return false;
        }
        if (!option->valued) {
            if (equals != std::string::npos) {
                problem = name + " takes no value";
                return false;
            }
            parsed.options[name].clear();
        } else if (equals != std::string::npos) {
            parsed.options[name] = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            parsed.options[name] = words[++i];
        } else {
            problem = name + " needs a value";
            return false;
        }
    }
    return true;
}
