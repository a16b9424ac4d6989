#include "command_frame.h"

std::uint8_t CommandFrame::ComputeChecksum() const {
    unsigned sum = 0;
    for (std::size_t i = 2; i <= kLastDataIndex; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(~sum & 0xFF);
}
