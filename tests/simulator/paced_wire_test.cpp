#include "paced_wire.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using Nanos = PacedWire::Nanos;
using Bytes = std::vector<std::uint8_t>;

// Each row puts bytes at the given times on a wire of 1 ms a byte and lists when they
// arrive: bytes put together queue behind each other, a byte put on an idle wire takes one
// byte time.
TEST(PacedWire, BytesArriveOneByteTimeAfterTheLaterOfPutAndTheByteBefore) {
    const struct {
        const char *name;
        std::vector<Nanos> put;
        std::vector<Nanos> arrive;
    } kCases[] = {
        {"one byte", {0ms}, {1ms}},
        {"three at once", {5ms, 5ms, 5ms}, {6ms, 7ms, 8ms}},
        {"spaced wider than a byte", {0ms, 3ms, 10ms}, {1ms, 4ms, 11ms}},
        {"put while the one before is on its way", {0ms, 500us, 1200us}, {1ms, 2ms, 3ms}},
        {"a burst after a pause", {0ms, 0ms, 20ms, 20ms}, {1ms, 2ms, 21ms, 22ms}},
    };
    for (const auto &c : kCases) {
        PacedWire wire(1ms);
        for (std::size_t i = 0; i < c.put.size(); ++i)
            wire.Put(static_cast<std::uint8_t>(i), c.put[i]);
        for (std::size_t i = 0; i < c.arrive.size(); ++i) {
            ASSERT_EQ(wire.NextArrival(), c.arrive[i]) << c.name << " byte " << i;
            EXPECT_TRUE(wire.TakeArrived(c.arrive[i] - 1ns).empty()) << c.name << " byte " << i;
            EXPECT_EQ(wire.TakeArrived(c.arrive[i]), Bytes{static_cast<std::uint8_t>(i)})
                << c.name << " byte " << i;
        }
        EXPECT_FALSE(wire.NextArrival()) << c.name;
    }
}

TEST(PacedWire, LateTakerGetsEveryArrivedByteInOrder) {
    PacedWire wire(1ms);
    for (std::uint8_t byte : {0xD6, 0x19, 0x04}) wire.Put(byte, 0ms);
    EXPECT_EQ(wire.TakeArrived(2500us), (Bytes{0xD6, 0x19}));
    EXPECT_EQ(wire.TakeArrived(1h), Bytes{0x04});
}

TEST(PacedWire, WithoutByteTimeBytesArriveWhenPut) {
    PacedWire wire;
    wire.Put(1, 7ms);
    wire.Put(2, 7ms);
    EXPECT_EQ(wire.NextArrival(), Nanos{7ms});
    EXPECT_EQ(wire.TakeArrived(7ms), (Bytes{1, 2}));
}

TEST(PacedWire, ClearLosesWhatWasOnItsWay) {
    PacedWire wire(1ms);
    wire.Put(1, 0ms);
    wire.Put(2, 0ms);
    wire.Clear();
    EXPECT_FALSE(wire.NextArrival());
    EXPECT_TRUE(wire.TakeArrived(1h).empty());
}

}  // namespace
