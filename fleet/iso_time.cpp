#include "iso_time.h"

#include <cctype>
#include <cstdio>

namespace {

// The digits at text[at, at + count) as a number; nothing when any is not a digit.
std::optional<int> Digits(const std::string &text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<std::time_t> IsoTime::Parse(const std::string &text) {
    // YYYY-MM-DDTHH:MM:SS, then fractions, then Z or +hh:mm / -hh:mm.
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != 't' && text[10] != ' ') || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2);
    const auto minute = Digits(text, 14, 2);
    const auto second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 ||
        *second > 60) {
        return std::nullopt;
    }
    std::size_t at = 19;
    if (text[at] == '.' || text[at] == ',') {
        ++at;
        const std::size_t first = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0) ++at;
        if (at == first) return std::nullopt;
    }
    long offset = 0;
    if (at < text.size() && (text[at] == 'Z' || text[at] == 'z') && at + 1 == text.size()) {
        offset = 0;
    } else if (at + 6 == text.size() && (text[at] == '+' || text[at] == '-') &&
               text[at + 3] == ':') {
        const auto hours = Digits(text, at + 1, 2);
        const auto minutes = Digits(text, at + 4, 2);
        if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
        offset = (*hours * 60L + *minutes) * 60L * (text[at] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    std::tm fields{};
    fields.tm_year = *year - 1900;
    fields.tm_mon = *month - 1;
    fields.tm_mday = *day;
    fields.tm_hour = *hour;
    fields.tm_min = *minute;
    fields.tm_sec = *second;
    const std::time_t utc = timegm(&fields);
    // timegm() moves 31 February on to March: a date that does not exist is refused.
    if (fields.tm_mday != *day || fields.tm_mon != *month - 1) return std::nullopt;
    return utc - offset;
}

std::string IsoTime::Format(std::time_t time) {
    std::tm fields{};
    gmtime_r(&time, &fields);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
    return text;
}
