#pragma once

#include <string>

// The shapes in which dialogs hand times and dates to the sign system and get them back.
// Hours are on the 12-hour clock (1-12); the AM/PM text is "AM" or "PM".

struct TimeRecord {
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::string ampm;

    bool operator==(const TimeRecord &) const = default;
};

struct ShortTimeRecord {
    int hour = 0;
    int minute = 0;
    std::string ampm;

    bool operator==(const ShortTimeRecord &) const = default;
};

struct DateRecord {
    int month = 0;
    int day = 0;
    int year = 0;

    bool operator==(const DateRecord &) const = default;
};
