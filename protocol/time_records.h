#pragma once

#include <string>

// The shapes in which dialogs hand times and dates to the sign system and get them back.
// Hours are on the 12-hour clock (1-12); the AM/PM text is "AM" or "PM".

struct TimeRecord {
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::string ampm;

    // A time of the PC's 24-hour clock on the 12-hour dial: 0:05 is 12:05 AM, 12:30 is
    // 12:30 PM, 13:00 is 1:00 PM. Hours outside 0-23 are taken modulo 24.
    static TimeRecord FromTwentyFourHour(int hour, int minute, int second = 0);

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
