#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

// One direction of a serial line at a fixed speed. A byte put on the wire arrives one byte
// time after the later of the moment it was put and the arrival of the byte before it, so
// bytes queue behind each other as they do in a UART. With a byte time of zero every byte
// arrives the moment it is put, as on a pseudo-terminal.
//
// Time is the caller's, counted from any fixed start.
class PacedWire {
public:
    using Nanos = std::chrono::nanoseconds;

    // One byte at 9600 baud, 8N1: a start bit, eight data bits and a stop bit.
    static constexpr Nanos kByteTimeAt9600{10'000'000'000LL / 9600};

    explicit PacedWire(Nanos byteTime = Nanos{0}) : m_byteTime(byteTime) {}

    Nanos ByteTime() const { return m_byteTime; }

    void Put(std::uint8_t byte, Nanos now);
    // The bytes that have arrived by now, oldest first.
    std::vector<std::uint8_t> TakeArrived(Nanos now);
    // When the next byte arrives; none while the wire is empty.
    std::optional<Nanos> NextArrival() const;
    // The line is cut: what was on its way is lost.
    void Clear() { m_bytes.clear(); }

private:
    Nanos m_byteTime;
    Nanos m_lastArrival{0};
    std::deque<std::pair<Nanos, std::uint8_t>> m_bytes;
};
