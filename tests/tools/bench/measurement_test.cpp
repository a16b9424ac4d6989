#include "measurement.h"

#include <gtest/gtest.h>

#include "paced_wire.h"

namespace {

using namespace std::chrono_literals;
using Nanos = Measurement::Nanos;

constexpr Nanos kByte = PacedWire::kByteTimeAt9600;

TEST(Measurement, TransactionFloorIsTheClosingReadTheReplyDelayAndTheWire) {
    const struct {
        Nanos byteTime;
        Nanos replyDelay;
        Nanos floor;
    } kCases[] = {
        // A pseudo-terminal: no wire time at all.
        {0ns, 0ms, 500ms},
        {0ns, 5ms, 505ms},
        // 9600 baud with an instant controller: the reply's sync byte waits for the last
        // request ACK to be through; 87 of the 88 bytes count.
        {kByte, 0ms, 500ms + 87 * kByte},
        // A controller slower than a byte: the last request ACK travels meanwhile.
        {kByte, 5ms, 500ms + 86 * kByte + 5ms},
    };
    for (const auto &c : kCases) {
        EXPECT_EQ(Measurement::TransactionFloor(c.byteTime, c.replyDelay), c.floor)
            << c.byteTime.count() << " ns a byte, " << c.replyDelay.count() << " ns";
    }
    EXPECT_EQ(
        std::chrono::round<std::chrono::microseconds>(Measurement::TransactionFloor(kByte, 0ms)),
        590625us);
}

TEST(Measurement, MedianIsTheMiddleRun) {
    const struct {
        std::vector<Nanos> samples;
        Nanos median;
    } kCases[] = {
        {{}, 0ns},
        {{7ms}, 7ms},
        {{9ms, 1ms, 5ms}, 5ms},
        {{9ms, 1ms, 5ms, 3ms}, 4ms},
        // One run slowed by the machine moves the median less than it would the mean.
        {{500ms, 2000ms, 501ms}, 501ms},
    };
    for (const auto &c : kCases) {
        Measurement m("work", 1, 500ms);
        for (const Nanos sample : c.samples) m.Add(sample);
        EXPECT_EQ(m.Median(), c.median) << c.samples.size() << " samples";
    }
}

TEST(Measurement, RatioSetsTheMedianBesideTheFloorOfAllItsTransactions) {
    Measurement m("start-up", 26, 500ms);
    EXPECT_EQ(m.Floor(), 13s);
    for (const Nanos sample : {13200ms, 13100ms, 14000ms}) m.Add(sample);
    EXPECT_DOUBLE_EQ(m.Ratio(), 13.2 / 13.0);
    const std::string row = m.Row();
    EXPECT_EQ(row.rfind("start-up (26)", 0), 0u) << row;
    for (const char *figure : {"13.200", "13.000", "1.015", "13.100", "14.000"}) {
        EXPECT_NE(row.find(figure), std::string::npos) << figure << " in " << row;
    }
}

}  // namespace
