#include "time_records.h"

#include <gtest/gtest.h>

namespace {

struct DialCase {
    int hour;
    int dialHour;
    const char *ampm;
};

class TwelveHourDial : public ::testing::TestWithParam<DialCase> {};

TEST_P(TwelveHourDial, EveryHourOfTheDayHasItsPlace) {
    const DialCase c = GetParam();
    EXPECT_EQ(TimeRecord::FromTwentyFourHour(c.hour, 47, 5),
              (TimeRecord{c.dialHour, 47, 5, c.ampm}))
        << c.hour << ":47";
}

// Midnight and noon are the two twelves; 13 to 23 are the afternoon and evening.
INSTANTIATE_TEST_SUITE_P(Hours, TwelveHourDial,
                         ::testing::Values(DialCase{0, 12, "AM"}, DialCase{1, 1, "AM"},
                                           DialCase{11, 11, "AM"}, DialCase{12, 12, "PM"},
                                           DialCase{13, 1, "PM"}, DialCase{14, 2, "PM"},
                                           DialCase{18, 6, "PM"}, DialCase{22, 10, "PM"},
                                           DialCase{23, 11, "PM"}));

}  // namespace
