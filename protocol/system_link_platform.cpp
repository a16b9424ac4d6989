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

bool SystemLinkPlatform::BeginTransaction(const std::string &portName, std::string &problem) {
    m_lock.reset();
    const std::string device = m_devices.DevicePath(portName);
    if (device.empty()) {
        return true;  // a name that opens nothing: the transaction fails on its own
    }
    auto lock = std::make_unique<LineLock>(portName, device, m_lockDirectory);
    bool waited = false;
    const LineLock::Outcome outcome = lock->Take(
        m_lineWait,
        [this, &waited] {
            waited = true;
            if (m_waiting) m_waiting(true);
        },
        [this] { return StopRequested(); });
    if (waited && m_waiting) m_waiting(false);
    switch (outcome) {
        case LineLock::Outcome::Taken:
            m_lock = std::move(lock);
            return true;
        case LineLock::Outcome::Busy:
        case LineLock::Outcome::Stopped:
            problem = lock->Problem();
            return false;
        case LineLock::Outcome::Unavailable:
            // Without a writable lock folder no program of the system can lock; the port's
            // exclusive open still keeps each frame whole.
            return true;
    }
    return true;
}

void SystemLinkPlatform::EndTransaction() {
    m_lock.reset();
}
