#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "device_map.h"
#include "line_lock.h"
#include "link_platform.h"

// The running workstation's surroundings: the real serial port and real time.
class SystemLinkPlatform : public LinkPlatform {
public:
    // The map is read at every open, so a change to it takes effect at the next frame.
    explicit SystemLinkPlatform(const DeviceMap &devices);

    std::unique_ptr<SerialLine> NewLine() override;
    void Pause(std::chrono::milliseconds duration) override;
    bool BeginTransaction(const std::string &portName, std::string &problem) override;
    void EndTransaction() override;

    // How long a transaction waits for a line that another program holds (60 s, more
    // than the longest transaction, a silent controller's); zero fails at once.
    static constexpr std::chrono::milliseconds kLineWait{60000};
    void SetLineWait(std::chrono::milliseconds wait) { m_lineWait = wait; }
    // Called with true when a transaction starts to wait for the line, with false when
    // the wait is over (the workstation shows the wait cursor meanwhile).
    void SetWaitingHook(std::function<void(bool)> hook) { m_waiting = std::move(hook); }
    // Where the lock files are made (the system's lock folder unless a test says else).
    void SetLockDirectory(std::string directory) { m_lockDirectory = std::move(directory); }
    // Tells whether the program was asked to stop (a signal arrived): a wait for the line
    // or for a reply then ends, and no transaction starts.
    void SetStopCheck(std::function<bool()> stop) { m_stop = std::move(stop); }
    bool StopRequested() const override { return m_stop && m_stop(); }

private:
    const DeviceMap &m_devices;
    std::chrono::milliseconds m_lineWait = kLineWait;
    std::function<void(bool)> m_waiting;
    std::function<bool()> m_stop;
    std::string m_lockDirectory = LineLock::kDefaultDirectory;
    std::unique_ptr<LineLock> m_lock;
};
