#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "command_code.h"
#include "command_frame.h"

// A request frame made by hand, bytes from 3 on as given, for tests that talk to the
// controller without the workstation's frame builder.
inline CommandFrame RawRequest(CommandCode code, std::initializer_list<int> data = {}) {
    CommandFrame frame;
    frame[0] = kSyncByte1;
    frame[1] = kSyncByte2;
    frame[2] = ToByte(code);
    std::size_t i = 3;
    for (int byte : data) frame[i++] = static_cast<std::uint8_t>(byte);
    frame.StoreChecksum();
    return frame;
}
