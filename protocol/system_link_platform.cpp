#include "system_link_platform.h"

#include <algorithm>
#include <thread>

#include "serial_port.h"

SystemLinkPlatform::SystemLinkPlatform(const DeviceMap &devices) : m_devices(devices) {}

std::unique_ptr<SerialLine> SystemLinkPlatform::NewLine() {
    auto port = std::make_unique<SerialPort>(m_devices);
    if (KeepAliveHook()) port->SetKeepAlive(KeepAliveHook(), kKeepAlivePeriod);
    return port;
}

void SystemLinkPlatform::Pause(std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + duration;
    for (Clock::duration left = duration; left > Clock::duration::zero();
         left = end - Clock::now()) {
        if (!KeepAliveHook()) {
            std::this_thread::sleep_for(left);
            return;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kKeepAlivePeriod));
        if (Clock::now() < end) KeepAlive();
    }
}

std::string SystemLinkPlatform::Activity() const {
    if (m_activities.empty()) return {};
    return m_progress.empty() ? m_activities.back() : m_activities.back() + ", " + m_progress;
}

bool SystemLinkPlatform::BeginTransaction(const std::string &portName, std::string &problem) {
    // Within a hold the line is kept from the transaction before.
    if (m_lock && m_lock->Held() && m_lockedPort == portName) {
        m_inTransaction = true;
        return true;
    }
    m_lock.reset();
    if (!m_activities.empty() && m_holdProblem) {
        problem = *m_holdProblem;
        return false;
    }
    const std::string device = m_devices.DevicePath(portName);
    if (device.empty()) {
        return true;  // a name that opens nothing: the transaction fails on its own
    }
    auto lock = std::make_unique<LineLock>(portName, device, m_lockDirectory);
    lock->SetActivity(Activity());
    lock->SetNotice(m_notice);
    bool waited = false;
    const LineLock::Outcome outcome = lock->Take(
        m_lineWait,
        [this, &waited] {
            waited = true;
            if (m_waiting) m_waiting(true);
        },
        [this] { KeepAlive(); }, [this] { return StopRequested(); });
    if (waited && m_waiting) m_waiting(false);
    switch (outcome) {
        case LineLock::Outcome::Taken:
            m_lock = std::move(lock);
            m_lockedPort = portName;
            m_inTransaction = true;
            return true;
        case LineLock::Outcome::Busy:
        case LineLock::Outcome::Stopped:
            problem = lock->Problem();
            if (!m_activities.empty()) m_holdProblem = problem;
            return false;
        case LineLock::Outcome::Unavailable:
            // Without a writable lock folder no program of the system can lock; the port's
            // exclusive open still keeps each frame whole.
            m_inTransaction = true;
            return true;
    }
    return true;
}

void SystemLinkPlatform::EndTransaction() {
    m_inTransaction = false;
    if (m_activities.empty()) m_lock.reset();
}

void SystemLinkPlatform::BeginHold(const std::string &activity) {
    m_activities.push_back(activity);
    m_progress.clear();
    if (m_lock) m_lock->SetActivity(Activity());
}

void SystemLinkPlatform::SetHoldProgress(const std::string &progress) {
    m_progress = progress;
    if (m_lock) m_lock->SetActivity(Activity());
}

void SystemLinkPlatform::LetGoOfHold() {
    if (m_inTransaction) return;
    m_lock.reset();
    m_holdProblem.reset();
}

void SystemLinkPlatform::EndHold() {
    if (m_activities.empty()) return;
    m_activities.pop_back();
    m_progress.clear();
    if (m_activities.empty()) {
        m_holdProblem.reset();
        if (!m_inTransaction) m_lock.reset();
    } else if (m_lock) {
        m_lock->SetActivity(Activity());
    }
}
