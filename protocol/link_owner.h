#pragma once

#include <string>

#include "command_frame.h"

// What the controller link asks of the sign system that owns it: the port to open,
// and where checked replies and problem codes go.
class LinkOwner {
public:
    // Problem codes the link and the decoder report besides controller statuses.
    static constexpr int kNoSync = -1;
    static constexpr int kUnknownCommandCode = -2;
    static constexpr int kChecksumFailure = -3;

    virtual ~LinkOwner() = default;

    virtual std::string PortName() const = 0;
    // A reply that passed the sync and checksum tests; returns the decoder's result.
    virtual int Decode(const CommandFrame &reply) = 0;
    // A problem code: negative for the link's own findings, 1-255 for a controller status.
    virtual void Report(int code) = 0;
};
