#include "system_link_platform.h"

#include <thread>

#include "serial_port.h"

SystemLinkPlatform::SystemLinkPlatform(const DeviceMap &devices) : m_devices(devices) {}

std::unique_ptr<SerialLine> SystemLinkPlatform::NewLine() {
    return std::make_unique<SerialPort>(m_devices);
}

void SystemLinkPlatform::Pause(std::chrono::milliseconds duration) {
    if (duration > std::chrono::milliseconds::zero()) {
        std::this_thread::sleep_for(duration);
    }
}
