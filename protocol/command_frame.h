#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// One frame on the controller line, request or reply: two sync bytes, the command
// code, eighteen data bytes and a checksum. In a reply, byte 3 is the controller's
// status and the reply data begin at byte 4.
inline constexpr std::size_t kFrameSize = 22;
inline constexpr std::size_t kChecksumIndex = 21;
inline constexpr std::size_t kLastDataIndex = 20;
inline constexpr std::uint8_t kSyncByte1 = 0xD6;
inline constexpr std::uint8_t kSyncByte2 = 0x19;

// Handshake bytes: every byte on the line is answered with one of these.
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;

struct CommandFrame {
    std::array<std::uint8_t, kFrameSize> bytes{};

    std::uint8_t &operator[](std::size_t index) { return bytes[index]; }
    std::uint8_t operator[](std::size_t index) const { return bytes[index]; }

    std::uint8_t Code() const { return bytes[2]; }
    std::uint8_t Status() const { return bytes[3]; }

    // Bitwise NOT of the 8-bit sum of bytes 2 to 20.
    std::uint8_t ComputeChecksum() const;
    bool ChecksumValid() const { return bytes[kChecksumIndex] == ComputeChecksum(); }
    void StoreChecksum() { bytes[kChecksumIndex] = ComputeChecksum(); }

    bool operator==(const CommandFrame &) const = default;
};
