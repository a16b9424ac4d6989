#pragma once

#include <chrono>
#include <memory>

#include "device_map.h"
#include "link_platform.h"

// The running workstation's surroundings: the real serial port and real time.
class SystemLinkPlatform : public LinkPlatform {
public:
    // The map is read at every open, so a change to it takes effect at the next frame.
    explicit SystemLinkPlatform(const DeviceMap &devices);

    std::unique_ptr<SerialLine> NewLine() override;
    void Pause(std::chrono::milliseconds duration) override;

private:
    const DeviceMap &m_devices;
};
