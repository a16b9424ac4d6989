#pragma once

#include <memory>

#include "system_link_platform.h"

// The serial port and real time, as the workstation has them, until a stop signal arrives
// (ChildGuard). The simulator has ended by then, and the kernel may already have given its
// pseudo-terminal's number to another program's terminal: from then on no line opens, so
// neither a transaction under way nor its resends send a byte anywhere.
class StoppableLinkPlatform : public SystemLinkPlatform {
public:
    using SystemLinkPlatform::SystemLinkPlatform;

    std::unique_ptr<SerialLine> NewLine() override;
};
