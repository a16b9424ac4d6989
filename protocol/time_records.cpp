#include "time_records.h"

TimeRecord TimeRecord::FromTwentyFourHour(int hour, int minute, int second) {
    const int h = ((hour % 24) + 24) % 24;
    const int dialHour = h % 12 == 0 ? 12 : h % 12;
    return TimeRecord{dialHour, minute, second, h < 12 ? "AM" : "PM"};
}
